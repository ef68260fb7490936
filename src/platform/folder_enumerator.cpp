// One pass over the entries of a folder; the hot path of every scan.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

struct FolderEnumerator::Impl {
    DIR* dir = nullptr;
    dev_t device = 0;
    int error = 0;
};

namespace {
bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// When an entry can be listed but not stat'ed (a folder with read but no search
// permission), the record still carries what the listing knows.
void FillFromDirent(const dirent* entry, FindRecord& record) {
    record.name = entry->d_name;
    record.size = 0;
    record.creationTime = record.lastWriteTime = 0;
    switch (entry->d_type) {
        case DT_DIR: record.attributes = FILE_ATTRIBUTE_DIRECTORY; break;
        case DT_REG: record.attributes = FILE_ATTRIBUTE_ARCHIVE; break;
        case DT_LNK: record.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT; break;
        default: record.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM; break;
    }
    if (record.name[0] == '.') record.attributes |= FILE_ATTRIBUTE_HIDDEN;
}
}  // namespace

FolderEnumerator::FolderEnumerator(const std::string& folder) : impl_(new Impl) {
    if (detail::ReadAccessDenied(folder)) {
        impl_->error = EACCES;
        return;
    }
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        impl_->error = errno;
        if (fd >= 0) ::close(fd);
        detail::Fail(impl_->error);
        return;
    }
    impl_->device = st.st_dev;
    impl_->dir = fdopendir(fd);
    if (!impl_->dir) {
        impl_->error = errno;
        ::close(fd);
        detail::Fail(impl_->error);
    }
}

FolderEnumerator::~FolderEnumerator() {
    if (impl_->dir) closedir(impl_->dir);
    delete impl_;
}

bool FolderEnumerator::IsOpen() const { return impl_->dir != nullptr; }

int FolderEnumerator::Error() const { return impl_->error; }

bool FolderEnumerator::Next(FindRecord& record) {
    if (!impl_->dir) return false;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(impl_->dir);
        if (!entry) {
            if (errno != 0) {
                impl_->error = errno;
                detail::Fail(errno);
            }
            return false;
        }
        if (IsDotOrDotDot(entry->d_name)) continue;
        if (detail::FillFindRecord(dirfd(impl_->dir), entry->d_name, impl_->device, record)) return true;
        // An entry removed since the listing was read is simply gone.
        if (LastError() == ENOENT) continue;
        FillFromDirent(entry, record);
        return true;
    }
}

}  // namespace tandrel::platform
