// Process enumeration through /proc, the root test and starting programs.
#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>

#include "platform/file_system.h"
#include "platform/posix_support.h"
#include "platform/processes.h"

extern char** environ;

namespace tandrel::platform {

namespace {
bool SameAsciiIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

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

int StartProcess(const std::vector<std::string>& argv, const std::string& workingFolder) {
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
    // The program runs on its own; reaping it here keeps it from staying a zombie.
    std::thread([pid] {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
    }).detach();
    return pid;
}

}  // namespace tandrel::platform
