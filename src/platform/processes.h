#pragma once
// Processes: enumeration, the administrator test and starting programs.
#include <string>
#include <vector>

namespace tandrel::platform {

// Ids of the running processes whose executable file has this name
// (compared ignoring case, as "quorvel" or "tandrel").
std::vector<int> FindProcessesByExeName(const std::string& exeName);
// True when the effective user is root.
bool IsAdministrator();
// Starts a program found on PATH with these arguments (argv[0] is the
// program); returns its process id, or -1 when it could not be started.
int StartProcess(const std::vector<std::string>& argv, const std::string& workingFolder = {});

}  // namespace tandrel::platform
