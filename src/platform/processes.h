#pragma once
// Processes: enumeration, the administrator test and starting programs.
#include <string>
#include <string_view>
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

// The arguments of a command line: blanks separate them, double quotes group
// (and are dropped), two double quotes inside quotes stand for one.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
// Starts a whole command line (its first argument found on PATH); returns the
// process id. Throws std::system_error with the reason when it cannot start.
int RunCommandLine(const std::string& commandLine, const std::string& workingFolder = {});

// How StartElevated ended.
enum class ElevatedStart {
    Direct,      // already an administrator: started as an ordinary process
    NotStarted,  // no elevation program, or it could not be started
    Started,     // started through the elevation program (and waited for when asked)
};
// Runs a program as root through pkexec (looked up on PATH). An administrator
// (alreadyAdministrator: root or the "is_admin" switch) starts it directly.
// With wait the call returns when the program has ended and exitCode holds
// its exit code (pkexec's own when the user refused or no agent answered).
ElevatedStart StartElevated(const std::vector<std::string>& argv, const std::string& workingFolder, bool wait,
                            bool alreadyAdministrator, int* exitCode = nullptr);

}  // namespace tandrel::platform
