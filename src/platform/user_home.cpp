#include "platform/user_home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tandrel::platform {

namespace {

std::string PasswordHome() {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) return {};
    return found->pw_dir;
}

}  // namespace

std::string UserHomeFolder() {
    const char* home = std::getenv("HOME");
    std::string folder = (home && home[0] == '/') ? std::string(home) : PasswordHome();
    if (folder.empty() || folder[0] != '/') return "/";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace tandrel::platform
