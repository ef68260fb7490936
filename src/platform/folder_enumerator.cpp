// One pass over the entries of a folder; the hot path of every scan.
//
// The directory is read with getdents64 on a plain descriptor rather than
// through a DIR stream: fdopendir costs an fstat and an fcntl per folder, and
// a scan of many small folders spends a good part of its system calls there.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

namespace {
// Big enough for a few hundred entries per call; a folder of a few dozen
// entries is read in one call plus the one that reports its end.
constexpr std::size_t kDirBufferSize = 32 * 1024;
}  // namespace

struct FolderEnumerator::Impl {
    int fd = -1;
    dev_t device = 0;
    int error = 0;
    std::unique_ptr<char[]> buffer;
    std::size_t filled = 0;  // bytes in buffer from the last read
    std::size_t next = 0;    // offset of the next record in buffer
    bool atEnd = false;

    void Open(const std::string& folder, int extraFlags) {
        if (detail::ReadAccessDenied(folder)) {
            error = EACCES;
            return;
        }
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
        if (fd < 0) {
            error = errno;
            detail::Fail(error);
            return;
        }
        buffer.reset(new char[kDirBufferSize]);
    }

    void CloseWithError(int err) {
        error = err;
        if (fd >= 0) ::close(fd);
        fd = -1;
        detail::Fail(err);
    }

    // The next raw entry; null at the end or on a read error.
    const dirent64* NextEntry() {
        while (next >= filled) {
            if (atEnd) return nullptr;
            const ssize_t got = getdents64(fd, buffer.get(), kDirBufferSize);
            if (got <= 0) {
                atEnd = true;
                if (got < 0) {
                    error = errno;
                    detail::Fail(error);
                }
                return nullptr;
            }
            filled = static_cast<std::size_t>(got);
            next = 0;
        }
        const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + next);
        next += entry->d_reclen;
        return entry;
    }
};

namespace {
bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// When an entry can be listed but not stat'ed (a folder with read but no search
// permission), the record still carries what the listing knows.
void FillFromDirent(const dirent64* entry, FindRecord& record) {
    record.name = entry->d_name;
    record.size = 0;
    record.creationTime = record.lastWriteTime = 0;
    record.linkCount = 1;
    record.device = record.inode = 0;
    switch (entry->d_type) {
        case DT_DIR:
            record.attributes = FILE_ATTRIBUTE_DIRECTORY;
            break;
        case DT_REG:
            record.attributes = FILE_ATTRIBUTE_ARCHIVE;
            break;
        case DT_LNK:
            record.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT;
            break;
        default:
            record.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM;
            break;
    }
    if (record.name[0] == '.') record.attributes |= FILE_ATTRIBUTE_HIDDEN;
}
}  // namespace

FolderEnumerator::FolderEnumerator(const std::string& folder) : impl_(new Impl) {
    impl_->Open(folder, 0);
    if (impl_->fd < 0) return;
    struct stat st;
    if (fstat(impl_->fd, &st) != 0) {
        impl_->CloseWithError(errno);
        return;
    }
    impl_->device = st.st_dev;
}

FolderEnumerator::FolderEnumerator(const std::string& folder, std::uint64_t device) : impl_(new Impl) {
    impl_->Open(folder, O_NOFOLLOW);
    if (impl_->fd >= 0) impl_->device = static_cast<dev_t>(device);
}

FolderEnumerator::~FolderEnumerator() {
    if (impl_->fd >= 0) ::close(impl_->fd);
    delete impl_;
}

bool FolderEnumerator::IsOpen() const { return impl_->fd >= 0; }

int FolderEnumerator::Error() const { return impl_->error; }

std::uint64_t FolderEnumerator::Device() const { return impl_->fd >= 0 ? impl_->device : 0; }

bool FolderEnumerator::Next(FindRecord& record) {
    if (impl_->fd < 0) return false;
    for (;;) {
        const dirent64* entry = impl_->NextEntry();
        if (!entry) return false;
        if (IsDotOrDotDot(entry->d_name)) continue;
        if (detail::FillFindRecord(impl_->fd, entry->d_name, impl_->device, record)) return true;
        // An entry removed since the listing was read is simply gone.
        if (LastError() == ENOENT) continue;
        FillFromDirent(entry, record);
        return true;
    }
}

}  // namespace tandrel::platform
