#include "scan/change_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>

#include "common/paths.h"
#include "platform/file_system.h"

namespace tandrel {

const char* const kWatchLimitMessage =
    "Monitor changes: the system's limit of watched folders is reached (fs.inotify.max_user_watches); "
    "changes in some folders are not followed until the next scan";
const char* const kOverflowMessage =
    "Monitor changes: too many changes at once, some were lost; the map may differ from the disk until the "
    "next scan";

namespace {

std::atomic<int> watchLimitForTest{0};
std::atomic<bool> holdReadingForTest{false};

constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM |
                                IN_MOVED_TO | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

using Clock = std::chrono::steady_clock;

}  // namespace

namespace test_hooks {
void SetWatchLimit(int folders) { watchLimitForTest = folders; }
void HoldWatcherReading(bool hold) { holdReadingForTest = hold; }
}  // namespace test_hooks

struct TShellChangeThread::Impl {
    std::string directory;
    TWatcherEvents events;
    int inotifyFd = -1;
    int wakeFd = -1;

    // Watch descriptor to folder path, and back for moved or removed folders.
    std::unordered_map<int, std::string> folders;
    std::map<std::string, int> watches;
    bool limitReported = false;

    // The batch being collected.
    std::vector<TDiskChange> batch;
    Clock::time_point batchStart;
    // Move halves waiting for their pair: cookie to the batch entry, which
    // stays a removal when no pair comes.
    std::unordered_map<std::uint32_t, std::size_t> pendingMoves;
    std::unordered_map<std::uint32_t, bool> pendingMoveIsFolder;
    // The last batch entry of each path: repeated writes to one file are one change.
    std::unordered_map<std::string, std::size_t> lastOfPath;

    ~Impl() {
        if (inotifyFd >= 0) close(inotifyFd);
        if (wakeFd >= 0) close(wakeFd);
    }

    void Message(const std::string& text) {
        if (events.OnMessage) events.OnMessage(text);
    }

    bool AddWatch(const std::string& path) {
        const int limit = watchLimitForTest.load();
        int wd = -1;
        if (limit > 0 && static_cast<int>(folders.size()) >= limit) {
            errno = ENOSPC;
        } else {
            wd = inotify_add_watch(inotifyFd, path.c_str(), kMask);
        }
        if (wd < 0) {
            if ((errno == ENOSPC || errno == ENOMEM) && !limitReported) {
                limitReported = true;
                Message(kWatchLimitMessage);
            }
            return false;
        }
        // A folder watched again (moved back, or met twice) keeps one path.
        if (auto old = folders.find(wd); old != folders.end()) watches.erase(old->second);
        folders[wd] = path;
        watches[path] = wd;
        return true;
    }

    // The folder and every folder below it, without following links or
    // leaving the file system.
    bool AddTree(const std::string& top) {
        if (!AddWatch(top)) return false;
        std::vector<std::string> pending{top};
        while (!pending.empty()) {
            const std::string current = std::move(pending.back());
            pending.pop_back();
            platform::FolderEnumerator entries(current);
            platform::FindRecord record;
            while (entries.Next(record)) {
                if (!record.IsDirectory() || record.IsReparsePoint()) continue;
                const std::string path = PathJoin(current, record.name);
                if (AddWatch(path)) pending.push_back(path);
            }
        }
        return true;
    }

    // The watches of a folder and everything below it, as stored paths.
    template <typename Visit>
    void ForEachWatchUnder(const std::string& top, Visit visit) {
        std::vector<std::pair<std::string, int>> found;
        for (auto it = watches.lower_bound(top); it != watches.end(); ++it) {
            const std::string& path = it->first;
            if (path.compare(0, top.size(), top) != 0) break;
            if (path.size() > top.size() && path[top.size()] != platform::PathDelim) continue;
            found.emplace_back(path, it->second);
        }
        for (auto& [path, wd] : found) visit(path, wd);
    }

    void ForgetWatchesUnder(const std::string& top) {
        ForEachWatchUnder(top, [&](const std::string& path, int wd) {
            inotify_rm_watch(inotifyFd, wd);
            watches.erase(path);
            folders.erase(wd);
        });
    }

    void RenameWatchesUnder(const std::string& from, const std::string& to) {
        ForEachWatchUnder(from, [&](const std::string& path, int wd) {
            const std::string moved = to + path.substr(from.size());
            watches.erase(path);
            watches[moved] = wd;
            folders[wd] = moved;
        });
    }

    void Push(TDiskChange change) {
        if (batch.empty()) batchStart = Clock::now();
        if (change.operation == TFileOperation::foModified) {
            const auto last = lastOfPath.find(change.path);
            if (last != lastOfPath.end()) {
                const TFileOperation before = batch[last->second].operation;
                if (before == TFileOperation::foAdded || before == TFileOperation::foModified) return;
            }
        }
        lastOfPath[change.path] = batch.size();
        batch.push_back(std::move(change));
    }

    void Decode(const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            Message(kOverflowMessage);
            return;
        }
        if (event.mask & IN_IGNORED) {
            if (auto it = folders.find(event.wd); it != folders.end()) {
                if (auto back = watches.find(it->second); back != watches.end() && back->second == event.wd)
                    watches.erase(back);
                folders.erase(it);
            }
            return;
        }
        // Events of a watched folder itself are reported by its parent's watch.
        if (event.len == 0 || event.name[0] == '\0') return;
        const auto folder = folders.find(event.wd);
        if (folder == folders.end()) return;
        const std::string path = PathJoin(folder->second, event.name);
        const bool isFolder = (event.mask & IN_ISDIR) != 0;

        if (event.mask & IN_CREATE) {
            // Files may land in a new folder before its watch exists: the
            // folder's addition makes the view take everything below it.
            if (isFolder) AddTree(path);
            Push({TFileOperation::foAdded, path, {}});
        } else if (event.mask & IN_MOVED_FROM) {
            if (batch.empty()) batchStart = Clock::now();
            pendingMoves[event.cookie] = batch.size();
            pendingMoveIsFolder[event.cookie] = isFolder;
            lastOfPath.erase(path);
            batch.push_back({TFileOperation::foRemoved, path, {}});
        } else if (event.mask & IN_MOVED_TO) {
            const auto pending = pendingMoves.find(event.cookie);
            if (pending != pendingMoves.end()) {
                TDiskChange& change = batch[pending->second];
                if (isFolder) RenameWatchesUnder(change.path, path);
                change.operation = TFileOperation::foRenamed;
                change.newPath = path;
                pendingMoves.erase(pending);
                pendingMoveIsFolder.erase(event.cookie);
                lastOfPath.erase(path);
            } else {
                if (isFolder) AddTree(path);
                Push({TFileOperation::foAdded, path, {}});
            }
        } else if (event.mask & IN_DELETE) {
            Push({TFileOperation::foRemoved, path, {}});
        } else if ((event.mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB)) && !isFolder) {
            Push({TFileOperation::foModified, path, {}});
        }
    }

    void Flush() {
        // A folder moved out of the tree is no longer ours to watch.
        for (const auto& [cookie, place] : pendingMoves)
            if (pendingMoveIsFolder[cookie]) ForgetWatchesUnder(batch[place].path);
        pendingMoves.clear();
        pendingMoveIsFolder.clear();
        lastOfPath.clear();
        std::vector<TDiskChange> ready;
        ready.swap(batch);
        if (!ready.empty() && events.OnChange) events.OnChange(std::move(ready));
    }

    // Reads what the system queued; false when the descriptor failed.
    bool ReadEvents() {
        alignas(inotify_event) char buffer[65536];
        const ssize_t length = read(inotifyFd, buffer, sizeof buffer);
        if (length < 0) return errno == EAGAIN || errno == EINTR;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            Decode(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        return true;
    }
};

TShellChangeThread::TShellChangeThread(std::string directory, TWatcherEvents events) : impl_(std::make_unique<Impl>()) {
    impl_->directory = RemoveTrailingBackslash(directory);
    if (impl_->directory.empty()) impl_->directory = "/";
    impl_->events = std::move(events);
}

TShellChangeThread::~TShellChangeThread() {
    Terminate();
    WaitFor();
}

void TShellChangeThread::Terminate() {
    if (impl_->wakeFd < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(impl_->wakeFd, &one, sizeof one);
}

bool TShellChangeThread::BeforeStart() {
    impl_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    impl_->inotifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (impl_->inotifyFd < 0) {
        // Too many watchers of this user: the same limit in other words.
        if (errno == EMFILE || errno == ENFILE || errno == ENOSPC) impl_->Message(kWatchLimitMessage);
        Fail("inotify: " + std::string(std::strerror(errno)));
        return false;
    }
    if (impl_->wakeFd < 0) {
        Fail("eventfd: " + std::string(std::strerror(errno)));
        return false;
    }
    return true;
}

void TShellChangeThread::Execute() {
    Impl& impl = *impl_;
    // A path that is no folder (a snapshot file, a folder gone meanwhile):
    // nothing is watched and nothing said.
    const bool watching = platform::DirectoryExists(impl.directory) && impl.AddTree(impl.directory);
    if (watching && impl.events.OnReady) impl.events.OnReady();
    for (;;) {
        const bool hold = holdReadingForTest.load();
        pollfd fds[2] = {{impl.wakeFd, POLLIN, 0}, {watching && !hold ? impl.inotifyFd : -1, POLLIN, 0}};
        int timeout = -1;
        if (!impl.batch.empty()) {
            const auto due = impl.batchStart + std::chrono::milliseconds(kBatchMs);
            timeout = static_cast<int>(
                std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count()));
        } else if (hold) {
            timeout = 5;  // looks at the hook again
        }
        const int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            Fail("poll: " + std::string(std::strerror(errno)));
            return;
        }
        if (fds[0].revents & POLLIN) return;
        if (fds[1].revents & POLLIN) {
            if (!impl.ReadEvents()) {
                Fail("inotify read: " + std::string(std::strerror(errno)));
                return;
            }
        }
        if (!impl.batch.empty() && Clock::now() >= impl.batchStart + std::chrono::milliseconds(kBatchMs)) impl.Flush();
    }
}

// ---- the watcher ----

TFileSystemWatcher::~TFileSystemWatcher() { thread_.reset(); }

void TFileSystemWatcher::SetWatchedDir(const std::string& folder) {
    if (RemoveTrailingBackslash(folder) == RemoveTrailingBackslash(watchedDir_)) return;
    watchedDir_ = folder;
    Restart();
}

void TFileSystemWatcher::SetOnChange(TWatcherEvents events) {
    events_ = std::move(events);
    Restart();
}

void TFileSystemWatcher::SetActived(bool active) {
    if (active == actived_) return;
    actived_ = active;
    Restart();
}

void TFileSystemWatcher::Restart() {
    thread_.reset();
    if (!actived_ || !events_.OnChange || watchedDir_.empty()) return;
    thread_ = std::make_unique<TShellChangeThread>(watchedDir_, events_);
    if (!thread_->Start()) thread_.reset();
}

}  // namespace tandrel
