// Whole-file reads and writes through one file descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

using detail::Fail;

File::~File() { Close(); }

bool File::Open(const std::string& path, Mode mode) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::CreateTruncate:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Mode::CreateNew:
            flags |= O_WRONLY | O_CREAT | O_EXCL;
            break;
        case Mode::Append:
            flags |= O_WRONLY | O_CREAT | O_APPEND;
            break;
        case Mode::ReadWrite:
            flags |= O_RDWR;
            break;  // an existing file only
    }
    if ((mode == Mode::Read || mode == Mode::ReadWrite) && detail::ReadAccessDenied(path)) return false;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Fail(errno);
    // A folder opens read-only on POSIX but is no file to read.
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Fail(EISDIR);
    }
    fd_ = fd;
    return true;
}

bool File::OpenTemporary(const std::string& folder) {
    Close();
    int fd;
    do {
        fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // File systems without unnamed files: make one and remove its name.
        std::string pattern = folder;
        if (pattern.empty() || pattern.back() != '/') pattern += '/';
        pattern += ".tandrel_XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(pattern.c_str());
    }
    if (fd < 0) return Fail(errno);
    fd_ = fd;
    return true;
}

std::int64_t File::Read(void* buffer, std::size_t count) {
    if (fd_ < 0) {
        Fail(EBADF);
        return -1;
    }
    ssize_t got;
    do {
        got = ::read(fd_, buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) Fail(errno);
    return got;
}

bool File::Write(const void* buffer, std::size_t count) {
    if (fd_ < 0) return Fail(EBADF);
    const char* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        ssize_t written = ::write(fd_, bytes, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

std::int64_t File::Size() const {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        Fail(fd_ < 0 ? EBADF : errno);
        return -1;
    }
    return st.st_size;
}

bool File::Seek(std::int64_t offset) {
    if (fd_ < 0) return Fail(EBADF);
    if (lseek(fd_, offset, SEEK_SET) < 0) return Fail(errno);
    return true;
}

bool File::Sync() {
    if (fd_ < 0) return Fail(EBADF);
    if (::fsync(fd_) != 0) return Fail(errno);
    return true;
}

bool File::Close() {
    if (fd_ < 0) return true;
    int fd = fd_;
    fd_ = -1;
    // close may report a delayed write error (NFS, full disk); EINTR still closed it.
    if (::close(fd) != 0 && errno != EINTR) return Fail(errno);
    return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    File file;
    if (!file.Open(path, File::Mode::Read)) return false;
    std::int64_t size = file.Size();
    if (size > 0) bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, maxBytes)));
    // Read until the end rather than trusting the size: /proc files report 0.
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        std::size_t want = std::min(sizeof buffer, maxBytes - bytes.size());
        std::int64_t got = file.Read(buffer, want);
        if (got < 0) {
            bytes.clear();
            return false;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
    File file;
    if (!file.Open(path, File::Mode::CreateTruncate)) return false;
    bool written = file.Write(bytes);
    bool closed = file.Close();
    return written && closed;
}

}  // namespace tandrel::platform
