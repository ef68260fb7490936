#include "common/app_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/command_line.h"
#include "common/paths.h"
#include "platform/current_folder.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

// Points one environment variable elsewhere for a test and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(AppFolders, SettingsAndDataFollowTheXdgFoldersAndAreCreated) {
    testing::TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path("config").c_str());
    ScopedEnv cache("XDG_CACHE_HOME", dir.Path("cache").c_str());
    ScopedEnv data("XDG_DATA_HOME", dir.Path("data").c_str());

    EXPECT_EQ(AppSettingsFolder(), dir.Path("config/tandrel/"));
    EXPECT_TRUE(platform::DirectoryExists(dir.Path("config/tandrel")));
    EXPECT_EQ(DataFolder(), dir.Path("cache/tandrel/"));
    EXPECT_EQ(DebugFolder(), dir.Path("cache/tandrel/debug/"));
    EXPECT_TRUE(platform::DirectoryExists(dir.Path("cache/tandrel/debug")));
    EXPECT_EQ(UserDataHome(), dir.Path("data"));
    EXPECT_FALSE(platform::PathExists(dir.Path("data")));
}

TEST(AppFolders, DefaultsBelowHomeWhenXdgIsUnsetOrRelative) {
    testing::TempDir dir;
    ScopedEnv home("HOME", dir.path().c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv cache("XDG_CACHE_HOME", "relative/cache");
    ScopedEnv data("XDG_DATA_HOME", "");
    EXPECT_EQ(AppSettingsFolder(), dir.Path(".config/tandrel/"));
    EXPECT_EQ(DataFolder(), dir.Path(".cache/tandrel/"));
    EXPECT_EQ(UserDataHome(), dir.Path(".local/share"));
}

TEST(AppFolders, FileNamesResolveUnlessAlreadyPaths) {
    testing::TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path("config").c_str());
    ScopedEnv cache("XDG_CACHE_HOME", dir.Path("cache").c_str());
    EXPECT_EQ(AppSettingsFile("tandrel.ini"), dir.Path("config/tandrel/tandrel.ini"));
    EXPECT_EQ(AppSettingsFile("/etc/x.ini"), "/etc/x.ini");
    EXPECT_EQ(DataFile("list.csv"), dir.Path("cache/tandrel/list.csv"));
    EXPECT_EQ(DataFile("sub/list.csv"), "sub/list.csv");
    EXPECT_EQ(DataFile("/abs/list.csv"), "/abs/list.csv");
}

TEST(AppFolders, NoinstallSwitchUsesTheExecutablesFolder) {
    SetCommandLineArgs({"/noinstall"});
    EXPECT_EQ(AppSettingsFolder(), ExeFolder());
    EXPECT_EQ(AppSettingsFile("a.ini"), ExeFolder() + "a.ini");
    SetCommandLineArgs({});
}

TEST(AppFolders, TransferMakesTheSettingsFolderCurrent) {
    testing::TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path("config").c_str());
    std::string saved = platform::CurrentFolder();
    EXPECT_TRUE(TransferSettingsFromProgramFilesToLocalSettings());
    EXPECT_EQ(platform::CurrentFolder(), dir.Path("config/tandrel"));
    platform::SetCurrentFolder(saved);
}

}  // namespace
}  // namespace tandrel
