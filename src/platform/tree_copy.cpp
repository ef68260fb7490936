#include "platform/tree_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"

namespace tandrel::platform {

namespace {

std::string StripSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool Lexists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string RealPath(const std::string& path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// "name (2).ext", "name (3).ext", ...: the first free one.
std::string NumberedName(const std::string& target) {
    const std::string name = BaseName(target);
    const std::string folder = target.substr(0, target.size() - name.size());
    std::size_t dot = name.find_last_of('.');
    if (dot == 0 || dot == std::string::npos) dot = name.size();
    for (int n = 2;; ++n) {
        std::string candidate = folder + name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
        if (!Lexists(candidate)) return candidate;
    }
}

// Swaps two names in one step, or, where the file system cannot, puts
// staged in place of target and leaves the old target at staged.
bool SwapInto(const std::string& staged, const std::string& target) {
    if (renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    std::string aside = target + ".old-" + std::to_string(getpid());
    if (::rename(target.c_str(), aside.c_str()) != 0) return false;
    if (::rename(staged.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::rename(aside.c_str(), target.c_str());
        errno = error;
        return false;
    }
    return ::rename(aside.c_str(), staged.c_str()) == 0;
}

class Runner {
public:
    Runner(TreeOperation operation, const TreeCopyCallbacks& callbacks, TreeCopyReport& report)
        : operation_(operation), callbacks_(callbacks), report_(report) {}

    ItemOutcome DoItem(const std::string& item, const std::string& destination, std::string& landed);
    bool Stopped() {
        if (!stopped_ && callbacks_.keepGoing && !callbacks_.keepGoing()) stopped_ = true;
        if (stopped_) report_.cancelled = true;
        return stopped_;
    }

private:
    void Line(const std::string& text) {
        ++report_.failures;
        if (callbacks_.failure) callbacks_.failure(text);
    }
    void Failure(const std::string& target, int error) {
        Line((operation_ == TreeOperation::Copy ? "Could not copy file to : " : "Could not move file to : ") + target +
             " (" + std::strerror(error) + ")");
    }
    void Progress(const std::string& item, std::int64_t extra = 0) {
        if (callbacks_.progress) callbacks_.progress(item, report_.bytesCopied + extra);
    }
    bool CopyEntry(const std::string& source, const std::string& target, dev_t device);
    bool CopyRegularFile(const std::string& source, const std::string& target, std::int64_t size);
    bool CopyFolder(const std::string& source, const std::string& target, const struct stat& st);
    // Deletes a tree without following links or entering other file systems.
    // report: failures become "Could not delete ..." lines.
    bool DeleteTree(const std::string& path, bool report);

    TreeOperation operation_;
    const TreeCopyCallbacks& callbacks_;
    TreeCopyReport& report_;
    bool verify_ = false;         // check every copied file against its source
    bool stopOnFailure_ = false;  // a failed item is undone anyway
    bool stopped_ = false;
    int tempCounter_ = 0;
};

bool Runner::CopyRegularFile(const std::string& source, const std::string& target, std::int64_t size) {
    if (Stopped()) return false;
    Progress(source);
    bool ok = CopyFile(source, target, true, [&](std::int64_t done) {
        Progress(source, done);
        return !Stopped();
    });
    if (!ok) {
        if (LastError() != ECANCELED) Failure(target, LastError());
        return false;
    }
    if (verify_ && !SameFileContent(source, target)) {
        ::unlink(target.c_str());
        Failure(target, EIO);
        return false;
    }
    ++report_.filesCopied;
    report_.bytesCopied += size;
    return true;
}

bool Runner::CopyFolder(const std::string& source, const std::string& target, const struct stat& st) {
    FolderEnumerator folder(source, st.st_dev);
    if (!folder.IsOpen()) {
        Failure(target, folder.Error() ? folder.Error() : EACCES);
        return false;
    }
    // Writable while it fills; its own permissions and time come last.
    if (::mkdir(target.c_str(), 0700) != 0) {
        Failure(target, errno);
        return false;
    }
    bool ok = true;
    FindRecord record;
    while (folder.Next(record)) {
        const std::string from = Join(source, record.name);
        const std::string to = Join(target, record.name);
        if (!CopyEntry(from, to, st.st_dev)) {
            ok = false;
            if (stopped_ || stopOnFailure_) break;
        }
    }
    if (ok && folder.Error() != 0) {
        Failure(target, folder.Error());
        ok = false;
    }
    ::chmod(target.c_str(), st.st_mode & 07777);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = st.st_mtim;
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    return ok;
}

bool Runner::CopyEntry(const std::string& source, const std::string& target, dev_t device) {
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) {
        Failure(target, errno);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        if (Stopped()) return false;
        std::string link(PATH_MAX, '\0');
        ssize_t length = readlink(source.c_str(), link.data(), link.size());
        if (length < 0 || symlink(link.substr(0, static_cast<std::size_t>(length)).c_str(), target.c_str()) != 0) {
            Failure(target, errno);
            return false;
        }
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = st.st_mtim;
        ::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return true;
    }
    if (S_ISREG(st.st_mode)) return CopyRegularFile(source, target, st.st_size);
    if (S_ISDIR(st.st_mode)) {
        // Another file system mounted inside the tree is not ours to copy.
        if (st.st_dev != device) {
            Failure(target, EXDEV);
            return false;
        }
        return CopyFolder(source, target, st);
    }
    // Pipes, sockets and devices have no content to copy.
    Failure(target, ENOTSUP);
    return false;
}

bool Runner::DeleteTree(const std::string& path, bool report) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(path.c_str()) == 0) return true;
        if (report) Line("Could not delete file: " + path);
        return false;
    }
    bool ok = true;
    {
        FolderEnumerator folder(path, st.st_dev);
        FindRecord record;
        while (folder.IsOpen() && folder.Next(record)) {
            const std::string child = Join(path, record.name);
            if (record.IsReparsePoint() && record.IsDirectory()) {
                struct stat childStat;
                // A mount point stays; a link to a folder is removed as a link.
                if (lstat(child.c_str(), &childStat) == 0 && !S_ISLNK(childStat.st_mode)) {
                    ok = false;
                    continue;
                }
            }
            if (!DeleteTree(child, report)) ok = false;
        }
    }
    if (ok && ::rmdir(path.c_str()) == 0) return true;
    if (report) Line("Could not delete folder: " + path);
    return false;
}

ItemOutcome Runner::DoItem(const std::string& item, const std::string& destination, std::string& landed) {
    const std::string source = StripSlash(item);
    struct stat st;
    if (source.empty() || lstat(source.c_str(), &st) != 0) {
        Line("File or directory does not exist: " + source);
        return ItemOutcome::Failed;
    }
    std::string target = Join(destination, BaseName(source));
    if (S_ISDIR(st.st_mode)) {
        // A folder copied or moved into itself would never end.
        const std::string from = RealPath(source), into = RealPath(destination);
        if (!from.empty() && (into == from || into.rfind(from + "/", 0) == 0)) {
            Failure(target, EINVAL);
            return ItemOutcome::Failed;
        }
    }
    bool replace = false;
    while (Lexists(target)) {
        ConflictAnswer answer = callbacks_.conflict ? callbacks_.conflict(source, target) : ConflictAnswer::Skip;
        if (answer == ConflictAnswer::Cancel) {
            stopped_ = true;
            report_.cancelled = true;
            return ItemOutcome::Cancelled;
        }
        if (answer == ConflictAnswer::Skip) return ItemOutcome::Skipped;
        if (answer == ConflictAnswer::KeepBoth) {
            std::string other = callbacks_.keepBothName ? callbacks_.keepBothName(target) : std::string();
            target = other.empty() || Lexists(other) ? NumberedName(target) : other;
            continue;
        }
        struct stat old;
        if (lstat(target.c_str(), &old) == 0 && old.st_dev == st.st_dev && old.st_ino == st.st_ino) {
            // Replacing an item by itself would only destroy it.
            Failure(target, EINVAL);
            return ItemOutcome::Failed;
        }
        replace = true;
        break;
    }
    Progress(source);

    if (operation_ == TreeOperation::Move) {
        int error = 0;
        if (!replace) {
            if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
                landed = target;
                return ItemOutcome::Done;
            }
            error = errno;
            if (error == EINVAL || error == ENOSYS) {
                // A file system without no-replace renames: checked above.
                error = ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
                if (error == 0) {
                    landed = target;
                    return ItemOutcome::Done;
                }
            }
        } else {
            struct stat old;
            lstat(target.c_str(), &old);
            bool swapped = false;
            if (!S_ISDIR(st.st_mode) && !S_ISDIR(old.st_mode)) {
                // One rename replaces a file and never leaves a gap.
                if (::rename(source.c_str(), target.c_str()) == 0) {
                    landed = target;
                    return ItemOutcome::Done;
                }
                error = errno;
            } else {
                swapped = SwapInto(source, target);
                error = swapped ? 0 : errno;
            }
            if (swapped) {
                // The old item now sits at the source's name.
                DeleteTree(source, true);
                landed = target;
                return ItemOutcome::Done;
            }
        }
        if (error != EXDEV) {
            Failure(target, error);
            return ItemOutcome::Failed;
        }
    }

    // A copy, or a move to another file system: copy, then swap in or delete.
    const bool move = operation_ == TreeOperation::Move;
    verify_ = move;
    stopOnFailure_ = move;
    std::string staged = target;
    if (replace) {
        do {
            staged = Join(destination,
                          ".tandrel-partial-" + std::to_string(getpid()) + "-" + std::to_string(++tempCounter_));
        } while (Lexists(staged));
    }
    if (!CopyEntry(source, staged, st.st_dev)) {
        // A move leaves its source whole and takes back its half copy; a
        // plain copy keeps what it copied, except a replacement in waiting.
        if (move || replace) DeleteTree(staged, false);
        return stopped_ ? ItemOutcome::Cancelled : ItemOutcome::Failed;
    }
    if (replace) {
        if (!SwapInto(staged, target)) {
            Failure(target, errno);
            DeleteTree(staged, false);
            return ItemOutcome::Failed;
        }
        DeleteTree(staged, true);
    }
    landed = target;
    if (move) DeleteTree(source, true);
    return ItemOutcome::Done;
}

}  // namespace

bool SameFileContent(const std::string& a, const std::string& b) {
    File first, second;
    if (!first.Open(a, File::Mode::Read) || !second.Open(b, File::Mode::Read)) return false;
    if (first.Size() != second.Size()) return false;
    std::string one(1 << 20, '\0'), two(1 << 20, '\0');
    for (;;) {
        std::int64_t got = first.Read(one.data(), one.size());
        if (got < 0) return false;
        std::int64_t got2 = 0;
        while (got2 < got) {
            std::int64_t n = second.Read(two.data() + got2, static_cast<std::size_t>(got - got2));
            if (n <= 0) return false;
            got2 += n;
        }
        if (got == 0) return second.Read(two.data(), 1) == 0;
        if (std::memcmp(one.data(), two.data(), static_cast<std::size_t>(got)) != 0) return false;
    }
}

TreeCopyReport CopyOrMoveTree(TreeOperation operation, const std::vector<std::string>& items,
                              const std::string& destination, const TreeCopyCallbacks& callbacks) {
    TreeCopyReport report;
    Runner runner(operation, callbacks, report);
    const std::string folder = StripSlash(destination);
    for (const std::string& item : items) {
        std::string landed;
        ItemOutcome outcome = runner.Stopped() ? ItemOutcome::Cancelled : runner.DoItem(item, folder, landed);
        report.outcomes.push_back(outcome);
        report.targets.push_back(outcome == ItemOutcome::Done ? landed : std::string());
    }
    return report;
}

}  // namespace tandrel::platform
