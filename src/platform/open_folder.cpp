#include "platform/open_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_support.h"

namespace tandrel::platform {

OpenFolder::~OpenFolder() { Close(); }

void OpenFolder::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    opened_ = false;
}

bool OpenFolder::Open(const std::string& path) {
    if (opened_ && path == path_) return fd_ >= 0;
    Close();
    path_ = path;
    opened_ = true;
    fd_ = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd_ >= 0 || detail::Fail(errno);
}

bool OpenFolder::GetFileSizeAndTime(const std::string& name, std::int64_t& size, FileTime& lastWriteTime) const {
    if (fd_ < 0) return detail::Fail(ENOENT);
    struct stat st;
    if (::fstatat(fd_, name.c_str(), &st, 0) != 0) return detail::Fail(errno);
    if (S_ISDIR(st.st_mode)) return detail::Fail(EISDIR);
    size = st.st_size;
    lastWriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return true;
}

}  // namespace tandrel::platform
