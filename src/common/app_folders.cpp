#include "common/app_folders.h"

#include <cstdlib>

#include "common/command_line.h"
#include "common/paths.h"
#include "platform/current_folder.h"
#include "platform/file_system.h"
#include "platform/user_home.h"

namespace tandrel {

namespace {

constexpr const char* kAppFolderName = "tandrel";

// An XDG base folder: the variable when it holds an absolute path (relative
// values are invalid and ignored), else the default below the home folder.
std::string XdgFolder(const char* variable, const char* homeRelativeDefault) {
    const char* value = std::getenv(variable);
    if (value && value[0] == platform::PathDelim) return value;
    return PathJoin(platform::UserHomeFolder(), homeRelativeDefault);
}

std::string ForcedFolder(const std::string& folder) {
    std::string result = AddTrailingBackslash(folder);
    if (!platform::DirectoryExists(result)) platform::ForceFolders(result);
    return result;
}

}  // namespace

std::string AppSettingsFolder() {
    if (HasSwitch("noinstall")) return ExeFolder();
    return ForcedFolder(PathJoin(XdgFolder("XDG_CONFIG_HOME", ".config"), kAppFolderName));
}

std::string AppSettingsFile(std::string_view name) {
    if (!name.empty() && name.front() == platform::PathDelim) return std::string(name);
    return PathJoin(AppSettingsFolder(), name);
}

std::string DataFolder() { return ForcedFolder(PathJoin(XdgFolder("XDG_CACHE_HOME", ".cache"), kAppFolderName)); }

std::string DataFile(std::string_view name) {
    if (name.find(platform::PathDelim) != std::string_view::npos) return std::string(name);
    return PathJoin(DataFolder(), name);
}

std::string UserDataHome() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string DebugFolder() { return ForcedFolder(DataFolder() + "debug"); }

bool TransferSettingsFromProgramFilesToLocalSettings() { return platform::SetCurrentFolder(AppSettingsFolder()); }

}  // namespace tandrel
