#pragma once
// The application's own folders. The environment is read on every call, so
// a change of XDG_CONFIG_HOME or XDG_CACHE_HOME takes effect at once.
#include <string>
#include <string_view>

namespace tandrel {

// Settings, logs, temporary and (by default) saved snapshots:
// $XDG_CONFIG_HOME/tandrel/ (default ~/.config/tandrel/), created on demand.
// With the switch "noinstall": ExeFolder(). Always ends in "/".
std::string AppSettingsFolder();
// A name starting with "/" unchanged, else inside AppSettingsFolder().
std::string AppSettingsFile(std::string_view name);

// Scratch and fallback data: $XDG_CACHE_HOME/tandrel/ (default
// ~/.cache/tandrel/), created on demand. Ends in "/".
std::string DataFolder();
// A name containing "/" unchanged, else inside DataFolder().
std::string DataFile(std::string_view name);
// DataFolder() + "debug/", created on demand.
std::string DebugFolder();

// Where desktop integration files of this user go: $XDG_DATA_HOME (default
// ~/.local/share), without trailing "/". Not created here.
std::string UserDataHome();

// Runs once at start-up before anything reads settings: makes the settings
// folder the current folder. Nothing is ever stored beside an installed
// executable here, so there are no old settings to move. False when the
// current folder could not be changed.
bool TransferSettingsFromProgramFilesToLocalSettings();

}  // namespace tandrel
