#include "gui/shell/shell_registration.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "platform/file_system.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

// Characters that break naive quoting in a desktop entry or in sh.
const std::string kAwkward = "my dir 'q' \"dq\" $HOME `id` back\\slash &;|*";

bool IsExecutable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 0111) == 0111;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

// Runs argv (found on PATH) in the folder and waits for it; its exit code,
// -1 when it did not run to its end.
int RunAndWait(const std::vector<std::string>& argv, const std::string& folder = {}) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (error != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Each test starts from an empty data folder (the test main isolated it).
class ShellRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(UserDataHome());
        fs::create_directories(UserDataHome());
    }
    void TearDown() override { fs::remove_all(UserDataHome()); }

    // A stand-in for the program that records each call as one record of
    // arguments, every argument in brackets, ended by a NUL (names may hold
    // line breaks).
    std::string FakeExecutable(const std::string& folderName) {
        std::string exe = tmp.WriteFile(folderName + "/tandrel",
                                        "#!/bin/sh\n"
                                        "line=\n"
                                        "for a in \"$@\"; do line=\"$line[$a]\"; done\n"
                                        "printf '%s\\0' \"$line\" >> \"$TANDREL_RECORD\"\n");
        chmod(exe.c_str(), 0755);
        return exe;
    }
    std::vector<std::string> RecordedCalls() {
        std::vector<std::string> calls;
        std::string text = ReadBytes(record);
        for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            calls.push_back(text.substr(start, end - start));
        std::sort(calls.begin(), calls.end());
        return calls;
    }

    RecordingMessages messages;
    TempDir tmp;
    std::string record = tmp.Path("calls.txt");
};

TEST_F(ShellRegistration, RegisterStateAndUnregisterRoundTrip) {
    const std::string exe = "/opt/tandrel/bin/tandrel";
    EXPECT_FALSE(IsContextMenuRegistered(exe));
    ASSERT_TRUE(RegisterContextMenu(exe));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(IsContextMenuRegistered(exe));
    EXPECT_FALSE(IsContextMenuRegistered("/opt/tandrel/bin/tandrel2"));
    EXPECT_FALSE(IsContextMenuRegistered(""));

    EXPECT_EQ(ReadBytes(ShellDesktopEntryFile()),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Tandrel\n"
              "Icon=drive-harddisk\n"
              "Exec=\"/opt/tandrel/bin/tandrel\" %f\n"
              "Terminal=false\n"
              "NoDisplay=true\n"
              "MimeType=inode/directory;\n");
    std::string serviceMenu = ReadBytes(ShellServiceMenuFile());
    for (const char* line : {"\nMimeType=inode/directory;\n", "\nActions=tandrel;\n", "\n[Desktop Action tandrel]\n",
                             "\nName=Tandrel\n", "\nExec=\"/opt/tandrel/bin/tandrel\" %f\n"})
        EXPECT_NE(serviceMenu.find(line), std::string::npos) << line;
    EXPECT_EQ(ReadBytes(ShellNautilusScriptFile()).rfind("#!/bin/sh\n", 0), 0u);
    EXPECT_TRUE(IsExecutable(ShellServiceMenuFile()));
    EXPECT_TRUE(IsExecutable(ShellNautilusScriptFile()));

    ASSERT_TRUE(UnregisterContextMenu());
    EXPECT_FALSE(IsContextMenuRegistered(exe));
    for (const std::string& file : {ShellDesktopEntryFile(), ShellServiceMenuFile(), ShellNautilusScriptFile()})
        EXPECT_FALSE(platform::PathExists(file)) << file;
    // Nothing registered any more: removing again is quiet.
    EXPECT_TRUE(UnregisterContextMenu());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ShellRegistration, RegisteringAgainRewritesEachFileOnce) {
    ASSERT_TRUE(RegisterContextMenu("/old/tandrel"));
    ASSERT_TRUE(RegisterContextMenu("/new/tandrel"));
    EXPECT_TRUE(IsContextMenuRegistered("/new/tandrel"));
    EXPECT_FALSE(IsContextMenuRegistered("/old/tandrel"));
    // No second entry and no temporary file left beside any of them.
    EXPECT_EQ(Entries(UserDataHome() + "/applications"), std::vector<std::string>{"tandrel.desktop"});
    EXPECT_EQ(Entries(UserDataHome() + "/kio/servicemenus"), std::vector<std::string>{"tandrel.desktop"});
    EXPECT_EQ(Entries(UserDataHome() + "/nautilus/scripts"), std::vector<std::string>{"Tandrel"});
    EXPECT_EQ(ReadBytes(ShellServiceMenuFile()).find("/old/"), std::string::npos);
    EXPECT_EQ(ReadBytes(ShellNautilusScriptFile()).find("/old/"), std::string::npos);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DesktopExec, QuotesForTheKeyAndReadsBack) {
    const struct {
        std::string path, value;
    } cases[] = {
        {"/usr/bin/tandrel", R"("/usr/bin/tandrel")"},
        {"/opt/my apps/tandrel", R"("/opt/my apps/tandrel")"},
        {"/a\"b", R"("/a\\"b")"},
        {"/a$b", R"("/a\\$b")"},
        {"/a`b", R"("/a\\`b")"},
        {"/a\\b", R"("/a\\\\b")"},
        {"/100%f", R"("/100%%f")"},
        {"/it's", R"("/it's")"},
        {"/tab\there", R"("/tab\there")"},
        {"/line\nbreak", R"("/line\nbreak")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteDesktopExecArgument(c.path), c.value) << c.path;
        EXPECT_EQ(SplitDesktopExec(c.value + " %f"), (std::vector<std::string>{c.path, "%f"})) << c.value;
    }
    // Forms written by hand or by other tools.
    EXPECT_EQ(SplitDesktopExec("/usr/bin/tandrel %f"), (std::vector<std::string>{"/usr/bin/tandrel", "%f"}));
    EXPECT_EQ(SplitDesktopExec("  \"/a b\"   --x=\"1 2\" %U "), (std::vector<std::string>{"/a b", "--x=1 2", "%U"}));
    EXPECT_EQ(SplitDesktopExec(R"(/a\sb)"), (std::vector<std::string>{"/a", "b"}));
    EXPECT_TRUE(SplitDesktopExec("").empty());
}

TEST_F(ShellRegistration, StateReadsTheCommandOfTheEntry) {
    const struct {
        const char* text;
        bool registered;
    } cases[] = {
        {"[Desktop Entry]\nExec=\"/opt/t\" %f\n", true},
        {"[Desktop Entry]\r\nName=Tandrel\r\nExec = /opt/t %f\r\n", true},
        {"[Desktop Entry]\nExec=\"/opt/t2\" %f\n", false},
        {"[Desktop Entry]\nExec=\"/opt\" %f\n", false},
        {"[Desktop Entry]\nExec=/usr/bin/other /opt/t\n", false},
        {"[Desktop Entry]\nName=Tandrel\n\n[Desktop Action x]\nExec=/opt/t %f\n", false},
        {"[Desktop Entry]\nTryExec=/opt/t\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(platform::ForceFolders(UserDataHome() + "/applications"));
        ASSERT_TRUE(platform::WriteFileBytes(ShellDesktopEntryFile(), c.text));
        EXPECT_EQ(IsContextMenuRegistered("/opt/t"), c.registered) << c.text;
    }
    platform::DeleteFile(ShellDesktopEntryFile());
    EXPECT_FALSE(IsContextMenuRegistered("/opt/t"));
}

// gio reads desktop entries as the GNOME desktop does: the entry must start
// the real executable with the folder, awkward characters and all.
TEST_F(ShellRegistration, DesktopEntryStartsTheExecutableWithTheFolder) {
    if (RunAndWait({"sh", "-c", "command -v gio >/dev/null"}) != 0) GTEST_SKIP() << "gio is not installed";
    // Not "%" in the executable's path: gio checks that the program exists
    // before it turns "%%" back into "%", and so refuses such an entry.
    std::string exe = FakeExecutable("bin " + kAwkward);
    std::string folder = tmp.MakeFolder("scan " + kAwkward + " 100%f");
    ASSERT_TRUE(RegisterContextMenu(exe));
    setenv("TANDREL_RECORD", record.c_str(), 1);
    ASSERT_EQ(RunAndWait({"gio", "launch", ShellDesktopEntryFile(), folder}), 0);
    // gio does not wait for the program it starts.
    for (int i = 0; i < 100 && RecordedCalls().empty(); ++i) usleep(20000);
    EXPECT_EQ(RecordedCalls(), std::vector<std::string>{"[" + folder + "]"});
}

TEST_F(ShellRegistration, NautilusScriptHandsEachFolderOverIntact) {
    std::string exe = FakeExecutable("bin " + kAwkward + " 100%f");
    std::string shown = tmp.MakeFolder("shown " + kAwkward);
    std::string inside = tmp.MakeFolder("shown " + kAwkward + "/-sub 'x' 100%f");
    std::string other = tmp.MakeFolder("other\nline");
    std::string file = tmp.WriteFile("shown " + kAwkward + "/a file", "x");
    ASSERT_TRUE(RegisterContextMenu(exe));
    setenv("TANDREL_RECORD", record.c_str(), 1);

    const struct {
        std::vector<std::string> selection;  // as Nautilus passes it, run in the folder on show
        std::vector<std::string> calls;
    } cases[] = {
        {{inside}, {"[" + inside + "]"}},
        {{"-sub 'x' 100%f"}, {"[" + inside + "]"}},                  // relative to the folder on show
        {{inside, other}, {"[" + inside + "]", "[" + other + "]"}},  // one call each
        {{}, {"[" + shown + "]"}},                                   // nothing selected: the folder on show
        {{file}, {}},                                                // files are no folders to scan
    };
    for (const auto& c : cases) {
        platform::DeleteFile(record);
        std::vector<std::string> argv = {"sh", ShellNautilusScriptFile()};
        argv.insert(argv.end(), c.selection.begin(), c.selection.end());
        EXPECT_EQ(RunAndWait(argv, shown), 0);
        std::vector<std::string> expected = c.calls;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(RecordedCalls(), expected) << (c.selection.empty() ? "(none)" : c.selection[0]);
    }
}

TEST_F(ShellRegistration, WriteFailureStopsWithOneMessage) {
    // A file where a folder of the entries belongs makes that entry unwritable.
    const struct {
        const char* blocker;
        bool entryWritten, serviceMenuWritten;
    } cases[] = {
        {"applications", false, false},
        {"kio", true, false},
        {"nautilus/scripts", true, true},
    };
    for (const auto& c : cases) {
        SetUp();
        messages.shown.clear();
        std::string blocker = UserDataHome() + "/" + c.blocker;
        ASSERT_TRUE(platform::ForceFolders(UserDataHome() + "/nautilus"));
        ASSERT_TRUE(platform::WriteFileBytes(blocker, "not a folder"));
        EXPECT_FALSE(RegisterContextMenu("/opt/t")) << c.blocker;
        EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not open registry"}) << c.blocker;
        EXPECT_EQ(platform::FileExists(ShellDesktopEntryFile()), c.entryWritten) << c.blocker;
        EXPECT_EQ(platform::FileExists(ShellServiceMenuFile()), c.serviceMenuWritten) << c.blocker;
        EXPECT_FALSE(platform::FileExists(ShellNautilusScriptFile())) << c.blocker;
        EXPECT_EQ(ReadBytes(blocker), "not a folder");
    }
    // Without a full path there is nothing the file managers could start.
    for (const char* exe : {"", "bin/tandrel"}) {
        SetUp();
        messages.shown.clear();
        EXPECT_FALSE(RegisterContextMenu(exe));
        EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not open registry"});
        EXPECT_TRUE(Entries(UserDataHome()).empty());
    }
}

TEST_F(ShellRegistration, RemovalFailuresNameTheirKey) {
    ASSERT_TRUE(RegisterContextMenu("/opt/t"));
    // A folder in place of a file cannot be removed like one.
    auto block = [](const std::string& file) {
        platform::DeleteFile(file);
        ASSERT_TRUE(platform::ForceFolders(file));
        ASSERT_TRUE(platform::WriteFileBytes(file + "/keep", "x"));
    };

    block(ShellDesktopEntryFile());
    EXPECT_FALSE(UnregisterContextMenu());
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not delete key 1"});
    // The menus were still removed.
    EXPECT_FALSE(platform::PathExists(ShellServiceMenuFile()));
    EXPECT_FALSE(platform::PathExists(ShellNautilusScriptFile()));

    messages.shown.clear();
    fs::remove_all(ShellDesktopEntryFile());
    ASSERT_TRUE(RegisterContextMenu("/opt/t"));
    block(ShellNautilusScriptFile());
    EXPECT_FALSE(UnregisterContextMenu());
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not delete key 2"});
    EXPECT_FALSE(platform::PathExists(ShellDesktopEntryFile()));
    EXPECT_FALSE(platform::PathExists(ShellServiceMenuFile()));
}

}  // namespace
}  // namespace tandrel
