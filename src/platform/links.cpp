// Symbolic links: the shortcuts of this platform.
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

bool ReadSymbolicLink(const std::string& path, std::string& target) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0) return detail::Fail(errno);
    if (length == static_cast<ssize_t>(sizeof buffer)) return detail::Fail(ENAMETOOLONG);
    target.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

}  // namespace tandrel::platform
