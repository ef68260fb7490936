#include "scan/folder_prefetch.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "common/compare.h"

namespace tandrel {

std::unique_ptr<FolderListing> ListFolder(const std::string& folderWithDelim, std::uint64_t device,
                                          SubfolderOrder order) {
    auto listing = std::make_unique<FolderListing>();
    std::optional<platform::FolderEnumerator> opened;
    if (device != 0)
        opened.emplace(folderWithDelim, device);
    else
        opened.emplace(folderWithDelim);
    platform::FolderEnumerator& folder = *opened;
    listing->opened = folder.IsOpen();
    listing->device = folder.Device();
    platform::FindRecord record;
    while (folder.Next(record)) {
        if (record.IsDirectory() && !record.IsReparsePoint())
            listing->subfolders.push_back(static_cast<std::uint32_t>(listing->entries.size()));
        listing->entries.push_back(std::move(record));
    }
    if (order == SubfolderOrder::Enumeration) return listing;
    auto& entries = listing->entries;
    std::sort(listing->subfolders.begin(), listing->subfolders.end(), [&entries](std::uint32_t a, std::uint32_t b) {
        return CompareTextLocale(entries[a].name, entries[b].name) < 0;
    });
    return listing;
}

FolderPrefetcher::FolderPrefetcher(const std::string& rootWithDelim, int threads, const TStopToken& stop,
                                   SubfolderOrder order, std::function<bool(const std::string&)> skip)
    : stop_(stop), order_(order), skip_(std::move(skip)) {
    pending_.push_back(rootWithDelim);
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

FolderPrefetcher::~FolderPrefetcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void FolderPrefetcher::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idleWorkers_;
        workAvailable_.wait(
            lock, [this] { return closing_ || (!pending_.empty() && bufferedEntries_ < kMaxBufferedEntries); });
        --idleWorkers_;
        if (closing_) return;
        if (StopRequested()) {
            pending_.clear();
            continue;
        }
        if (stop_.PauseOperation.load(std::memory_order_relaxed)) {
            // The walk waits too; poll rather than list ahead while paused.
            workAvailable_.wait_for(lock, std::chrono::milliseconds(100));
            continue;
        }
        std::string folder = std::move(pending_.back());
        pending_.pop_back();
        ListAndPublish(lock, folder);
    }
}

// Lists the folder without holding the lock, then publishes the listing.
void FolderPrefetcher::ListAndPublish(std::unique_lock<std::mutex>& lock, const std::string& folder) {
    inProgress_.insert(folder);
    const std::uint64_t device = device_;
    lock.unlock();
    std::unique_ptr<FolderListing> listing = ListFolder(folder, device, order_);
    lock.lock();
    inProgress_.erase(folder);
    if (device_ == 0) device_ = listing->device;
    Publish(folder, std::move(listing));
}

// Called with mutex_ held. Wakes a thread only when one waits for this:
// a scan publishes one listing per folder, and needless wake-ups cost more
// than the listing.
void FolderPrefetcher::Publish(const std::string& folder, std::unique_ptr<FolderListing> listing) {
    // Children go on the stack last-first, so the first one in walk order is on top.
    for (auto it = listing->subfolders.rbegin(); it != listing->subfolders.rend(); ++it) {
        std::string child = folder;
        child += listing->entries[*it].name;
        child += platform::PathDelim;
        if (skip_ && skip_(child)) continue;
        pending_.push_back(std::move(child));
    }
    bufferedEntries_ += listing->entries.size();
    const bool awaited = folder == awaited_;
    ready_.emplace(folder, std::move(listing));
    if (idleWorkers_ > 0 && !pending_.empty() && bufferedEntries_ < kMaxBufferedEntries) workAvailable_.notify_one();
    if (awaited) listingReady_.notify_one();
}

std::unique_ptr<FolderListing> FolderPrefetcher::Take(const std::string& folderWithDelim) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        auto found = ready_.find(folderWithDelim);
        if (found != ready_.end()) {
            std::unique_ptr<FolderListing> listing = std::move(found->second);
            ready_.erase(found);
            const bool wasHeldBack = bufferedEntries_ >= kResumeBelowEntries;
            bufferedEntries_ -= listing->entries.size();
            if (wasHeldBack && idleWorkers_ > 0 && bufferedEntries_ < kResumeBelowEntries && !pending_.empty())
                workAvailable_.notify_all();
            return listing;
        }
        if (inProgress_.count(folderWithDelim)) {
            if (!pending_.empty() && !StopRequested()) {
                std::string next = std::move(pending_.back());
                pending_.pop_back();
                ListAndPublish(lock, next);
                continue;
            }
            awaited_ = folderWithDelim;
            listingReady_.wait(lock);
            awaited_.clear();
            continue;
        }
        // Not started yet (the workers are busy elsewhere or held back):
        // list it here, and let the workers go on with its children.
        auto pending = std::find(pending_.rbegin(), pending_.rend(), folderWithDelim);
        if (pending != pending_.rend()) pending_.erase(std::next(pending).base());
        ListAndPublish(lock, folderWithDelim);
    }
}

}  // namespace tandrel
