#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/file_system.h"
#include "platform/posix_support.h"
#include "platform/user_home.h"

namespace tandrel::platform {

using detail::Fail;

namespace {

std::string Parent(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Absolute, without a trailing "/", "." and ".." resolved textually; links
// are not followed, so a link is trashed as itself.
std::string Absolute(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char buffer[4096];
        if (!getcwd(buffer, sizeof buffer)) return {};
        full = std::string(buffer) + "/" + full;
    }
    std::string out;
    std::size_t i = 0;
    while (i < full.size()) {
        std::size_t next = full.find('/', i);
        if (next == std::string::npos) next = full.size();
        std::string part = full.substr(i, next - i);
        i = next + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            std::size_t slash = out.find_last_of('/');
            out.erase(slash == std::string::npos ? 0 : slash);
            continue;
        }
        out += "/" + part;
    }
    return out.empty() ? "/" : out;
}

// Percent-encodes everything but unreserved characters and "/", as the
// trash info's Path key wants.
std::string EncodePath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string DeletionDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    return buffer;
}

bool MakeFolder(const std::string& path, mode_t mode) {
    if (mkdir(path.c_str(), mode) == 0) return true;
    if (errno != EEXIST) return false;
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates every missing folder of the path.
bool MakeFolderTree(const std::string& path) {
    if (path.empty() || path == "/") return true;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) || Fail(ENOTDIR);
    if (!MakeFolderTree(Parent(path))) return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST || Fail(errno);
}

// files/ and info/ of a trash folder, created as needed.
bool PrepareTrash(const std::string& trash) {
    return MakeFolder(trash, 0700) && MakeFolder(trash + "/files", 0700) && MakeFolder(trash + "/info", 0700);
}

// The mount point holding the path: the highest folder above it on the same device.
std::string TopDir(const std::string& absolutePath, dev_t device) {
    std::string top = Parent(absolutePath);
    while (top != "/") {
        std::string up = Parent(top);
        struct stat st;
        if (stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
        top = up;
    }
    return top;
}

struct TrashChoice {
    std::string folder;
    std::string pathBase;  // the Path key is relative to this ("" = absolute)
};

bool ChooseTrash(const std::string& item, dev_t device, TrashChoice& choice) {
    const std::string home = HomeTrashFolder();
    // The home trash counts when its (possibly still missing) folder's
    // nearest existing ancestor lies on the item's device.
    std::string probe = home;
    struct stat st;
    while (stat(probe.c_str(), &st) != 0 && probe != "/") probe = Parent(probe);
    if (st.st_dev == device) {
        std::string dataHome = Parent(home);
        if (!MakeFolderTree(dataHome) || !PrepareTrash(home)) return Fail(errno);
        choice = {home, {}};
        return true;
    }
    const std::string top = TopDir(item, device);
    const std::string uid = std::to_string(getuid());
    const std::string shared = (top == "/" ? "" : top) + "/.Trash";
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0 && st.st_dev == device &&
        PrepareTrash(shared + "/" + uid)) {
        choice = {shared + "/" + uid, top};
        return true;
    }
    const std::string own = (top == "/" ? "" : top) + "/.Trash-" + uid;
    if (PrepareTrash(own) && lstat(own.c_str(), &st) == 0 && st.st_dev == device) {
        choice = {own, top};
        return true;
    }
    return Fail(errno ? errno : EXDEV);
}

}  // namespace

std::string HomeTrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base = (data && data[0] == '/') ? std::string(data) : UserHomeFolder() + "/.local/share";
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/Trash";
}

bool MoveToTrash(const std::string& path, std::string* trashedAs) {
    const std::string item = Absolute(path);
    if (item.empty() || item == "/") return Fail(EINVAL);
    struct stat st;
    if (lstat(item.c_str(), &st) != 0) return Fail(errno);
    // A mount point cannot be renamed away from its place.
    struct stat parent;
    if (lstat(Parent(item).c_str(), &parent) != 0) return Fail(errno);
    if (parent.st_dev != st.st_dev) return Fail(EBUSY);
    TrashChoice trash;
    if (!ChooseTrash(item, st.st_dev, trash)) return false;

    // A trash at the top of a file system names its items relative to that
    // top, so they restore wherever the medium is mounted next.
    std::string original = item;
    if (!trash.pathBase.empty()) original = item.substr(trash.pathBase == "/" ? 1 : trash.pathBase.size() + 1);
    const std::string info = "[Trash Info]\nPath=" + EncodePath(original) + "\nDeletionDate=" + DeletionDate() + "\n";

    const std::string name = BaseName(item);
    for (int attempt = 1; attempt < 100000; ++attempt) {
        const std::string candidate = attempt == 1 ? name : name + "." + std::to_string(attempt);
        const std::string infoPath = trash.folder + "/info/" + candidate + ".trashinfo";
        // The info file claims the name: whoever creates it first owns it.
        int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Fail(errno);
        }
        bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        int writeError = errno;
        if (::close(fd) != 0) written = false;
        if (!written) {
            unlink(infoPath.c_str());
            return Fail(writeError ? writeError : EIO);
        }
        const std::string target = trash.folder + "/files/" + candidate;
        int moved = renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without no-replace renames: check, then rename.
            struct stat existing;
            if (lstat(target.c_str(), &existing) == 0)
                errno = EEXIST;
            else
                moved = ::rename(item.c_str(), target.c_str());
        }
        if (moved == 0) {
            if (trashedAs) *trashedAs = target;
            return true;
        }
        int error = errno;
        unlink(infoPath.c_str());
        // A stray entry in files/ without its info file: try the next name.
        if (error == EEXIST || error == ENOTEMPTY) continue;
        return Fail(error);
    }
    return Fail(EEXIST);
}

}  // namespace tandrel::platform
