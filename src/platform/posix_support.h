#pragma once
// Helpers shared by the POSIX implementation files of this layer; not part of
// its public interface.
#include <sys/stat.h>

#include <string>

#include "platform/file_system.h"

namespace tandrel::platform::detail {

// Records errno as this thread's last error and returns false, so a failing
// call can end with "return Fail(errno);".
bool Fail(int error);

// True when the test hook denies reading this path (sets EACCES as last error).
bool ReadAccessDenied(const std::string& path);

// What one entry needs from stat/statx: type, mode, size, device and times.
struct EntryStat {
    mode_t mode = 0;
    dev_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t linkCount = 1;
    std::int64_t size = 0;
    FileTime lastWriteTime = 0;
    FileTime creationTime = 0;
};

// stat (or lstat with noFollow) of name relative to dirFd (AT_FDCWD for a plain
// path); returns errno, 0 on success.
int StatEntry(int dirFd, const char* name, bool noFollow, EntryStat& out);

// The attribute word of an entry from its lstat data. parentDevice is the
// device of the folder holding it (a folder on another device is a mount
// point); targetIsFolder tells whether a symbolic link points to a folder.
std::uint32_t AttributesOf(const std::string& name, const EntryStat& st, dev_t parentDevice, bool targetIsFolder);

// Fills a find record from lstat data of name inside the folder dirFd.
bool FillFindRecord(int dirFd, const char* name, dev_t parentDevice, FindRecord& record);

}  // namespace tandrel::platform::detail
