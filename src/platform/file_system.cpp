// Single-path queries and changes: existence, attributes, times, folders,
// deletion, free space.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <limits>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

using detail::Fail;

namespace {
// The path without trailing "/" (except the root itself).
std::string StripTrailingDelims(const std::string& path) {
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}

// The textual parent: "." for a bare name, "/" for a name right below the root.
std::string TextualParent(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool StatFollow(const std::string& path, struct stat& st) {
    if (stat(path.c_str(), &st) != 0) return Fail(errno);
    return true;
}
}  // namespace

bool GetFindRecord(const std::string& path, FindRecord& record) {
    if (path.empty()) return Fail(ENOENT);
    std::string full = StripTrailingDelims(path);
    struct stat parent;
    // Without a readable parent the entry cannot be a mount point below it.
    dev_t parentDevice = 0;
    if (full == "/") {
        if (lstat("/", &parent) != 0) return Fail(errno);
        parentDevice = parent.st_dev;
    } else if (stat(TextualParent(full).c_str(), &parent) == 0) {
        parentDevice = parent.st_dev;
    } else {
        struct stat self;
        if (lstat(full.c_str(), &self) != 0) return Fail(errno);
        parentDevice = self.st_dev;
    }
    return detail::FillFindRecord(AT_FDCWD, full.c_str(), parentDevice, record);
}

std::uint32_t GetAttributes(const std::string& path) {
    FindRecord record;
    return GetFindRecord(path, record) ? record.attributes : INVALID_FILE_ATTRIBUTES;
}

bool PathExists(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return Fail(errno);
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return StatFollow(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return StatFollow(path, st) && S_ISDIR(st.st_mode);
}

std::int64_t GetFileSize(const std::string& path) {
    struct stat st;
    if (!StatFollow(path, st)) return -1;
    if (S_ISDIR(st.st_mode)) {
        Fail(EISDIR);
        return -1;
    }
    return st.st_size;
}

bool GetFileSizeAndTime(const std::string& path, std::int64_t& size, FileTime& lastWriteTime) {
    struct stat st;
    if (!StatFollow(path, st)) return false;
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    size = st.st_size;
    lastWriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return true;
}

bool GetFileTimes(const std::string& path, FileTime* creationTime, FileTime* lastWriteTime) {
    detail::EntryStat st;
    if (int error = detail::StatEntry(AT_FDCWD, path.c_str(), false, st); error != 0) return Fail(error);
    if (creationTime) *creationTime = st.creationTime;
    if (lastWriteTime) *lastWriteTime = st.lastWriteTime;
    return true;
}

bool SetLastWriteTime(const std::string& path, FileTime lastWriteTime) {
    std::int64_t seconds, nanoseconds;
    FileTimeToUnix(lastWriteTime, seconds, nanoseconds);
    if (seconds < static_cast<std::int64_t>(std::numeric_limits<time_t>::min()) ||
        seconds > static_cast<std::int64_t>(std::numeric_limits<time_t>::max())) {
        return Fail(EOVERFLOW);
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // access time unchanged
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(nanoseconds);
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return Fail(errno);
    return true;
}

bool SetAttributesNormal(const std::string& path) {
    struct stat st;
    if (!StatFollow(path, st)) return false;
    if (st.st_mode & S_IWUSR) return true;
    if (chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) return Fail(errno);
    return true;
}

bool SetExecutable(const std::string& path) {
    struct stat st;
    if (!StatFollow(path, st)) return false;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode | S_IXUSR | ((mode & S_IRGRP) ? S_IXGRP : 0) | ((mode & S_IROTH) ? S_IXOTH : 0);
    if (wanted == mode) return true;
    if (chmod(path.c_str(), wanted) != 0) return Fail(errno);
    return true;
}

bool CopyPermissions(const std::string& source, const std::string& target) {
    struct stat st;
    if (!StatFollow(source, st)) return false;
    if (chmod(target.c_str(), st.st_mode & 07777) != 0) return Fail(errno);
    return true;
}

bool CreateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) != 0) return Fail(errno);
    return true;
}

bool ForceFolders(const std::string& path) {
    if (path.empty()) return Fail(ENOENT);
    std::string full = StripTrailingDelims(path);
    if (DirectoryExists(full)) return true;
    std::string parent = TextualParent(full);
    if (parent != full && parent != "." && !ForceFolders(parent)) return false;
    // Another thread or process may create it meanwhile; that counts as success.
    if (mkdir(full.c_str(), 0777) != 0 && errno != EEXIST) return Fail(errno);
    return DirectoryExists(full) || Fail(ENOTDIR);
}

bool DeleteFile(const std::string& path) {
    if (unlink(path.c_str()) != 0) return Fail(errno);
    return true;
}

bool RemoveFolder(const std::string& path) {
    if (rmdir(path.c_str()) != 0) return Fail(errno);
    return true;
}

std::int64_t GetDiskFreeBytes(const std::string& path) {
    struct statvfs vfs;
    if (statvfs(path.c_str(), &vfs) != 0) {
        Fail(errno);
        return -1;
    }
    return static_cast<std::int64_t>(vfs.f_bfree) * static_cast<std::int64_t>(vfs.f_frsize);
}

std::string ExecutablePath() {
    std::string buffer(PATH_MAX, '\0');
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
        Fail(errno);
        return {};
    }
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

}  // namespace tandrel::platform
