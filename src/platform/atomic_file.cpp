#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/posix_support.h"

namespace tandrel::platform {

namespace {

using detail::Fail;

constexpr std::string_view kPartialMark = ".partial-";
// Pieces small enough that a test hook can stop a writer inside a file.
constexpr std::size_t kPieceBytes = std::size_t(1) << 16;
// Room for the mark, the pid and the counter within NAME_MAX.
constexpr std::size_t kMaxKeptNameBytes = 200;

std::atomic<test_hooks::AtomicWriteHook> writeHook{nullptr};
std::atomic<unsigned> counter{0};

// A link is followed to the file it names, so replacing a linked settings
// file keeps the link.
std::string ResolveTarget(const std::string& target) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    char* real = realpath(target.c_str(), nullptr);
    if (!real) return target;  // a dangling link is replaced by the file
    std::string resolved(real);
    std::free(real);
    return resolved;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Hidden, and unique among processes (pid) and within one (counter).
std::string TemporaryName(const std::string& target, unsigned number) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(nameStart, kMaxKeptNameBytes);
    std::string path = target.substr(0, nameStart);
    path += '.';
    path += name;
    path += kPartialMark;
    path += std::to_string(static_cast<long>(getpid()));
    path += '-';
    path += std::to_string(number);
    return path;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // some file systems refuse a folder sync; the rename stands anyway
    ::close(fd);
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target) : target_(ResolveTarget(target)) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = TemporaryName(target_, counter.fetch_add(1));
        if (file_.Open(temporary_, File::Mode::CreateNew)) break;
        // A name left by an earlier process that had this pid: take the next.
        if (LastError() != EEXIST) break;
    }
    if (!file_.IsOpen()) {
        temporary_.clear();
        return;
    }
    // The new file keeps the permissions of the one it replaces.
    struct stat st;
    if (stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::chmod(temporary_.c_str(), st.st_mode & 07777);
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Write(const void* buffer, std::size_t count) {
    if (!file_.IsOpen() || failed_) return false;
    const auto* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        const std::size_t piece = std::min(count, kPieceBytes);
        if (!file_.Write(bytes, piece)) {
            failed_ = true;
            return false;
        }
        written_ += static_cast<std::int64_t>(piece);
        bytes += piece;
        count -= piece;
        if (auto hook = writeHook.load(); hook && !hook(target_, written_)) {
            failed_ = true;
            return Fail(EIO);
        }
    }
    return true;
}

bool AtomicFile::Commit() {
    if (!file_.IsOpen()) return false;
    bool ok = !failed_ && file_.Sync();
    ok = file_.Close() && ok;
    if (ok && ReplaceFile(temporary_, target_)) {
        temporary_.clear();
        SyncFolder(FolderOf(target_));
        return true;
    }
    const int error = LastError();
    Discard();
    return Fail(error);
}

void AtomicFile::Discard() {
    file_.Close();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool IsAtomicTemporaryName(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (name.empty() || name.front() != '.') return false;
    const std::size_t mark = name.rfind(kPartialMark);
    if (mark == std::string_view::npos) return false;
    std::string_view rest = name.substr(mark + kPartialMark.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return false;
    return std::all_of(rest.begin(), rest.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
}

int RemoveStaleAtomicTemporaries(const std::string& folder) {
    std::vector<std::string> stale;
    {
        FolderEnumerator entries(folder);
        FindRecord record;
        while (entries.Next(record)) {
            if (record.IsDirectory() || !IsAtomicTemporaryName(record.name)) continue;
            const std::size_t mark = record.name.rfind(kPartialMark) + kPartialMark.size();
            const long pid = std::strtol(record.name.c_str() + mark, nullptr, 10);
            // Only a writer that is gone; one still running may yet commit.
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(record.name);
        }
    }
    int removed = 0;
    for (const std::string& name : stale) {
        std::string path = folder;
        if (path.empty() || path.back() != '/') path += '/';
        if (::unlink((path + name).c_str()) == 0) ++removed;
    }
    return removed;
}

namespace test_hooks {
void SetAtomicWriteHook(AtomicWriteHook hook) { writeHook.store(hook); }
}  // namespace test_hooks

}  // namespace tandrel::platform
