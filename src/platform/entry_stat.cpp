// stat data of one entry and the attribute word made from it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "platform/posix_support.h"

namespace tandrel::platform::detail {

namespace {
// Some sandboxes refuse statx; after the first ENOSYS plain fstatat serves.
std::atomic<bool> statxMissing{false};

int StatWithFstatat(int dirFd, const char* name, bool noFollow, EntryStat& out) {
    struct stat st;
    if (fstatat(dirFd, name, &st, noFollow ? AT_SYMLINK_NOFOLLOW : 0) != 0) return errno;
    out.mode = st.st_mode;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.linkCount = static_cast<std::uint32_t>(st.st_nlink);
    out.size = st.st_size;
    out.lastWriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    out.creationTime = out.lastWriteTime;
    return 0;
}
}  // namespace

int StatEntry(int dirFd, const char* name, bool noFollow, EntryStat& out) {
    if (!statxMissing.load(std::memory_order_relaxed)) {
        struct statx sx;
        int flags = AT_STATX_DONT_SYNC | (noFollow ? AT_SYMLINK_NOFOLLOW : 0);
        if (statx(dirFd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
            out.mode = sx.stx_mode;
            out.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
            out.inode = sx.stx_ino;
            out.linkCount = sx.stx_nlink;
            out.size = static_cast<std::int64_t>(sx.stx_size);
            out.lastWriteTime = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
            out.creationTime = (sx.stx_mask & STATX_BTIME) ? FileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                                                           : out.lastWriteTime;
            return 0;
        }
        if (errno != ENOSYS) return errno;
        statxMissing.store(true, std::memory_order_relaxed);
    }
    return StatWithFstatat(dirFd, name, noFollow, out);
}

std::uint32_t AttributesOf(const std::string& name, const EntryStat& st, dev_t parentDevice, bool targetIsFolder) {
    std::uint32_t attributes;
    if (S_ISLNK(st.mode)) {
        attributes =
            (targetIsFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE) | FILE_ATTRIBUTE_REPARSE_POINT;
    } else if (S_ISDIR(st.mode)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
        // A folder on another file system is a mount point inside the walk.
        if (st.device != parentDevice) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    } else if (S_ISREG(st.mode)) {
        attributes = FILE_ATTRIBUTE_ARCHIVE;
    } else {
        attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM;
    }
    if (!name.empty() && name[0] == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
    // A link's own mode is always rwx; only real entries can be read-only.
    if (!S_ISLNK(st.mode) && (st.mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

bool FillFindRecord(int dirFd, const char* name, dev_t parentDevice, FindRecord& record) {
    EntryStat st;
    if (int error = StatEntry(dirFd, name, true, st); error != 0) return Fail(error);
    bool targetIsFolder = false;
    if (S_ISLNK(st.mode)) {
        EntryStat target;
        targetIsFolder = StatEntry(dirFd, name, false, target) == 0 && S_ISDIR(target.mode);
    }
    // name may be a whole path; the record holds only its last component.
    std::string_view full(name);
    auto slash = full.rfind('/');
    record.name = (slash == std::string_view::npos || full.size() == 1) ? full : full.substr(slash + 1);
    record.attributes = AttributesOf(record.name, st, parentDevice, targetIsFolder);
    record.size = (record.attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : st.size;  // folders, linked ones too, are 0
    record.creationTime = st.creationTime;
    record.lastWriteTime = st.lastWriteTime;
    record.linkCount = st.linkCount;
    record.device = st.device;
    record.inode = st.inode;
    return true;
}

}  // namespace tandrel::platform::detail
