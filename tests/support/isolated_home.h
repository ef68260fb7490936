#pragma once
// Points the XDG folders and HOME into one fresh temporary folder, so no test
// ever touches the user's real settings, caches or snapshots.
#include <string>

namespace tandrel::testing {

// Creates the folder and sets the variables; returns the folder ("" on failure).
std::string IsolateUserFolders();
// Removes the folder made by IsolateUserFolders.
void RemoveIsolatedFolders(const std::string& root);

}  // namespace tandrel::testing
