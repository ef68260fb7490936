#pragma once
// Lists folders ahead of a pre-order walk, on worker threads. Listing a folder
// (directory reads and one stat per entry) is most of a scan's time and is
// done by the kernel, so two threads listing different folders finish in
// about half the time while the walk consumes their listings in its own order.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/stop_token.h"
#include "platform/file_system.h"

namespace tandrel {

// The order a walk enters subfolders in: sorted by name (the tree and its
// snapshot lines) or as the file system lists them (the filtered file list).
enum class SubfolderOrder { Sorted, Enumeration };

// One folder's entries in enumeration order, and the positions of its
// subfolders (reparse points left out) in the walk's order.
struct FolderListing {
    bool opened = false;
    std::uint64_t device = 0;  // of the folder, when opened
    std::vector<platform::FindRecord> entries;
    std::vector<std::uint32_t> subfolders;  // indexes into entries
};

// Lists one folder now, on the calling thread. device is the folder's own
// when known from its parent's listing, 0 when it must be looked up.
std::unique_ptr<FolderListing> ListFolder(const std::string& folderWithDelim, std::uint64_t device = 0,
                                          SubfolderOrder order = SubfolderOrder::Sorted);

class FolderPrefetcher {
public:
    // rootWithDelim ends with "/"; the walk asks for its subfolders as
    // parent path + name + "/". A stop on the token ends the workers early;
    // while it pauses they list nothing. skip, when set, names the subfolders
    // (path with "/") the walk will not enter, so none is listed ahead.
    FolderPrefetcher(const std::string& rootWithDelim, int threads, const TStopToken& stop,
                     SubfolderOrder order = SubfolderOrder::Sorted, std::function<bool(const std::string&)> skip = {});
    ~FolderPrefetcher();
    FolderPrefetcher(const FolderPrefetcher&) = delete;
    FolderPrefetcher& operator=(const FolderPrefetcher&) = delete;

    // The listing of a folder the walk enters: taken from the workers, or
    // listed here when none has started it yet. While a worker lists it, the
    // walk lists the next pending folder instead of waiting: a hand-over per
    // folder costs two context switches, about as much as listing one.
    std::unique_ptr<FolderListing> Take(const std::string& folderWithDelim);

private:
    void Work();
    void ListAndPublish(std::unique_lock<std::mutex>& lock, const std::string& folder);
    void Publish(const std::string& folder, std::unique_ptr<FolderListing> listing);
    bool StopRequested() const { return stop_.StopRequested(); }

    // At most this many listed entries wait for the walk, so memory stays
    // small; held-back workers resume once the walk has taken half of them.
    static constexpr std::size_t kMaxBufferedEntries = 20000;
    static constexpr std::size_t kResumeBelowEntries = kMaxBufferedEntries / 2;

    const TStopToken& stop_;
    const SubfolderOrder order_;
    const std::function<bool(const std::string&)> skip_;
    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable listingReady_;
    std::vector<std::string> pending_;  // a stack: the top is the next folder in walk order
    std::unordered_set<std::string> inProgress_;
    std::unordered_map<std::string, std::unique_ptr<FolderListing>> ready_;
    std::size_t bufferedEntries_ = 0;
    // Every folder the walk enters lies on the scan root's file system (others
    // are not entered), so the root's device serves them all.
    std::uint64_t device_ = 0;
    int idleWorkers_ = 0;  // workers waiting for work: notify only them
    std::string awaited_;  // the folder the walk waits for, if any
    bool closing_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace tandrel
