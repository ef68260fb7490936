#pragma once
// The process's current folder.
#include <string>

namespace tandrel::platform {

// The current folder without trailing "/" (except for "/" itself); "" on failure.
std::string CurrentFolder();
bool SetCurrentFolder(const std::string& folder);

}  // namespace tandrel::platform
