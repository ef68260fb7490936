// Process enumeration through /proc, the root test and starting programs.
#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <climits>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/file_system.h"
#include "platform/posix_support.h"
#include "platform/processes.h"
#include "platform/text_collate.h"

extern char** environ;

namespace tandrel::platform {

namespace {
std::string_view BaseName(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view WithoutExtension(std::string_view name) {
    auto dot = name.rfind('.');
    return (dot == std::string_view::npos || dot == 0) ? name : name.substr(0, dot);
}

bool IsAllDigits(const char* text) {
    if (!*text) return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

// The executable's base name of a process, "" when it cannot be read (other
// users' processes, kernel threads).
std::string ExeBaseName(const char* pid) {
    std::string link = std::string("/proc/") + pid + "/exe";
    char target[PATH_MAX];
    ssize_t length = readlink(link.c_str(), target, sizeof target);
    if (length <= 0) return {};
    std::string_view path(target, static_cast<std::size_t>(length));
    // A replaced or removed executable shows as "name (deleted)".
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() > deleted.size() && path.substr(path.size() - deleted.size()) == deleted) {
        path.remove_suffix(deleted.size());
    }
    return std::string(BaseName(path));
}
}  // namespace

std::vector<int> FindProcessesByExeName(const std::string& exeName) {
    std::vector<int> ids;
    std::string_view wanted = BaseName(exeName);
    if (wanted.empty()) return ids;
    std::string_view wantedStem = WithoutExtension(wanted);
    DIR* proc = opendir("/proc");
    if (!proc) {
        detail::Fail(errno);
        return ids;
    }
    while (const dirent* entry = readdir(proc)) {
        if (!IsAllDigits(entry->d_name)) continue;
        std::string exe = ExeBaseName(entry->d_name);
        if (exe.empty()) continue;
        if (SameAsciiIgnoreCase(exe, wanted) || SameAsciiIgnoreCase(exe, wantedStem)) {
            ids.push_back(std::stoi(entry->d_name));
        }
    }
    closedir(proc);
    return ids;
}

bool IsAdministrator() { return geteuid() == 0; }

namespace {
// Spawns without reaping; the process id, or -1 with the error recorded.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& workingFolder) {
    if (argv.empty() || argv[0].empty()) {
        detail::Fail(EINVAL);
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    pid_t pid = -1;
    int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        detail::Fail(error);
        return -1;
    }
    return pid;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool FoundOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        // An empty entry would mean the current folder: never run from there.
        if (!folder.empty()) {
            const std::string candidate = std::string(folder) + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return true;
        }
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}
}  // namespace

int StartProcess(const std::vector<std::string>& argv, const std::string& workingFolder) {
    const pid_t pid = Spawn(argv, workingFolder);
    if (pid < 0) return -1;
    // The program runs on its own; reaping it here keeps it from staying a zombie.
    std::thread([pid] { WaitForExit(pid); }).detach();
    return pid;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false, quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (c == '"') {
            inArgument = true;
            if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                current += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) args.push_back(std::move(current));
    return args;
}

int RunCommandLine(const std::string& commandLine, const std::string& workingFolder) {
    const std::vector<std::string> argv = SplitCommandLine(commandLine);
    if (argv.empty()) throw std::system_error(EINVAL, std::generic_category(), "empty command line");
    const int pid = StartProcess(argv, workingFolder);
    if (pid < 0) throw std::system_error(LastError(), std::generic_category(), argv[0]);
    return pid;
}

ElevatedStart StartElevated(const std::vector<std::string>& argv, const std::string& workingFolder, bool wait,
                            bool alreadyAdministrator, int* exitCode) {
    if (alreadyAdministrator) {
        if (!wait) return StartProcess(argv, workingFolder) < 0 ? ElevatedStart::NotStarted : ElevatedStart::Direct;
        const pid_t pid = Spawn(argv, workingFolder);
        if (pid < 0) return ElevatedStart::NotStarted;
        const int code = WaitForExit(pid);
        if (exitCode) *exitCode = code;
        return ElevatedStart::Direct;
    }
    // Without pkexec there is nobody to ask for the password: fail at once.
    if (!FoundOnPath("pkexec")) {
        detail::Fail(ENOENT);
        return ElevatedStart::NotStarted;
    }
    std::vector<std::string> elevated{"pkexec"};
    elevated.insert(elevated.end(), argv.begin(), argv.end());
    const pid_t pid = Spawn(elevated, workingFolder);
    if (pid < 0) return ElevatedStart::NotStarted;
    if (!wait) {
        std::thread([pid] { WaitForExit(pid); }).detach();
        return ElevatedStart::Started;
    }
    const int code = WaitForExit(pid);
    if (exitCode) *exitCode = code;
    return ElevatedStart::Started;
}

}  // namespace tandrel::platform
