// Copying and moving single files.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <string>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

using detail::Fail;

namespace {
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting a delayed write error.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t written = ::write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CopyByReadWrite(int in, int out) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(got))) return false;
    }
}

bool CopyByReadWrite(int in, int out, const CopyChunkCallback& onChunk, std::int64_t copied) {
    if (!onChunk) return CopyByReadWrite(in, out);
    std::string buffer(1 << 20, '\0');
    for (;;) {
        ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) return false;
        copied += got;
        if (!onChunk(copied)) {
            errno = ECANCELED;
            return false;
        }
    }
}

// In-kernel copy where the file systems allow it, else plain reads and writes.
// With a chunk callback the copy goes in steps, so it can report and stop.
bool CopyContent(int in, int out, const CopyChunkCallback& onChunk = {}) {
    const std::size_t step = onChunk ? std::size_t{1} << 24 : std::size_t{1} << 30;
    std::int64_t copied = 0;
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, step, 0);
        if (n > 0) {
            copied += n;
            if (onChunk && !onChunk(copied)) {
                errno = ECANCELED;
                return false;
            }
            continue;
        }
        if (n == 0 && copied > 0) return true;
        if (n < 0 && copied > 0) return false;
        // Nothing copied yet: unsupported here, or a file that reports size 0
        // although it has content (/proc); read it the ordinary way.
        if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EBADF) {
            return false;
        }
        return CopyByReadWrite(in, out, onChunk, copied);
    }
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool MoveLinkAcrossDevices(const std::string& source, const std::string& target) {
    char buffer[PATH_MAX];
    ssize_t length = readlink(source.c_str(), buffer, sizeof buffer - 1);
    if (length < 0) return Fail(errno);
    buffer[length] = '\0';
    if (symlink(buffer, target.c_str()) != 0) return Fail(errno);
    if (unlink(source.c_str()) != 0) {
        int error = errno;
        unlink(target.c_str());
        return Fail(error);
    }
    return true;
}

bool MoveFileAcrossDevices(const std::string& source, const std::string& target) {
    if (!CopyFile(source, target, true)) return false;
    // Only a complete copy lets the source go; if it cannot, undo the copy so
    // that the file is not left twice.
    if (unlink(source.c_str()) != 0) {
        int error = errno;
        unlink(target.c_str());
        return Fail(error);
    }
    return true;
}
}  // namespace

bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) {
    return CopyFile(source, target, failIfExists, CopyChunkCallback{});
}

bool CopyFile(const std::string& source, const std::string& target, bool failIfExists,
              const CopyChunkCallback& onChunk) {
    if (detail::ReadAccessDenied(source)) return false;
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return Fail(errno);
    struct stat sourceStat;
    if (fstat(in.get(), &sourceStat) != 0) return Fail(errno);
    if (S_ISDIR(sourceStat.st_mode)) return Fail(EISDIR);
    // Truncating the target would destroy a source that is the same file.
    struct stat targetStat;
    if (stat(target.c_str(), &targetStat) == 0) {
        if (failIfExists) return Fail(EEXIST);
        if (SameFile(sourceStat, targetStat)) return Fail(EINVAL);
    }
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
    Fd out(::open(target.c_str(), flags, sourceStat.st_mode & 0777));
    if (out.get() < 0) return Fail(errno);

    bool ok = CopyContent(in.get(), out.get(), onChunk);
    int error = errno;
    if (ok) {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = sourceStat.st_mtim;
        ok = futimens(out.get(), times) == 0;
        error = errno;
    }
    if (!out.Close() && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        // A partial copy is no copy; it must not pass for one.
        unlink(target.c_str());
        return Fail(error);
    }
    return true;
}

bool ReplaceFile(const std::string& source, const std::string& target) {
    if (::rename(source.c_str(), target.c_str()) == 0) return true;
    return Fail(errno);
}

bool MoveFile(const std::string& source, const std::string& target) {
    // Like the rename of the original platform, an existing target is never replaced.
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without no-replace renames: check, then rename.
        struct stat st;
        if (lstat(target.c_str(), &st) == 0) return Fail(EEXIST);
        if (rename(source.c_str(), target.c_str()) == 0) return true;
        error = errno;
    }
    if (error != EXDEV) return Fail(error);
    struct stat sourceStat;
    if (lstat(source.c_str(), &sourceStat) != 0) return Fail(errno);
    if (S_ISLNK(sourceStat.st_mode)) return MoveLinkAcrossDevices(source, target);
    if (S_ISDIR(sourceStat.st_mode)) return Fail(EXDEV);
    return MoveFileAcrossDevices(source, target);
}

}  // namespace tandrel::platform
