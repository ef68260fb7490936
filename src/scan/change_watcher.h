#pragma once
// Follows a folder tree on disk after a scan: one inotify watch per folder
// (added as folders appear), a move's two halves paired by their cookie into
// a rename, and the events of at most 100 ms handed over as one batch so that
// a program writing thousands of files costs a few refreshes, not thousands.
// The worker never touches the model: batches and messages go to callbacks,
// which run on the worker; the window posts them to its own thread.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/worker_thread.h"
#include "scan/tree_edits.h"

namespace tandrel {

struct TWatcherEvents {
    // One batch of changes in the order the disk reported them.
    std::function<void(std::vector<TDiskChange>)> OnChange;
    // A limit reached or changes lost: a line for the user.
    std::function<void(const std::string&)> OnMessage;
    // The tree's folders are watched; changes from now on are reported.
    std::function<void()> OnReady;
};

// The texts of the messages.
extern const char* const kWatchLimitMessage;
extern const char* const kOverflowMessage;

class TShellChangeThread : public TWorkerThread {
public:
    TShellChangeThread(std::string directory, TWatcherEvents events);
    // Stops and joins.
    ~TShellChangeThread() override;

    // Asks the worker to end; it wakes at once.
    void Terminate();
    // The longest time a change waits before its batch is handed over.
    static constexpr int kBatchMs = 100;

protected:
    bool BeforeStart() override;
    void Execute() override;
    std::string ErrorPrefix() const override { return "Change monitoring failed: "; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The watcher the treemap view keeps on the scanned folder: active, it runs
// one worker; inactive, none.
class TFileSystemWatcher {
public:
    TFileSystemWatcher() = default;
    TFileSystemWatcher(const TFileSystemWatcher&) = delete;
    TFileSystemWatcher& operator=(const TFileSystemWatcher&) = delete;
    ~TFileSystemWatcher();

    void SetWatchedDir(const std::string& folder);
    const std::string& WatchedDir() const { return watchedDir_; }
    void SetOnChange(TWatcherEvents events);
    // Starts the worker when it becomes active, stops it when it becomes inactive.
    void SetActived(bool active);
    bool Actived() const { return actived_; }

private:
    void Restart();

    bool actived_ = false;
    std::string watchedDir_;
    TWatcherEvents events_;
    std::unique_ptr<TShellChangeThread> thread_;
};

namespace test_hooks {
// Folders a watcher may watch at most, as if the system's limit were that;
// 0 or less for the system's own limit.
void SetWatchLimit(int folders);
// While held, workers leave the system's queue unread, so a burst can
// overflow it.
void HoldWatcherReading(bool hold);
}  // namespace test_hooks

}  // namespace tandrel
