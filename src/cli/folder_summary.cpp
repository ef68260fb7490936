#include "cli/folder_summary.h"

#include <algorithm>

#include "common/paths.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

// Keeps the n largest files in a min-heap so the walk stays O(files log n).
class LargestFiles {
public:
    explicit LargestFiles(std::size_t n) : n_(n) {}

    void Offer(const std::string& folder, const platform::FindRecord& record) {
        if (n_ == 0) return;
        if (heap_.size() == n_ && record.size <= heap_.front().size) return;
        heap_.push_back({PathJoin(folder, record.name), record.size});
        std::push_heap(heap_.begin(), heap_.end(), Greater);
        if (heap_.size() > n_) {
            std::pop_heap(heap_.begin(), heap_.end(), Greater);
            heap_.pop_back();
        }
    }

    std::vector<LargeFile> TakeSorted() {
        std::sort(heap_.begin(), heap_.end(), Greater);
        return std::move(heap_);
    }

private:
    static bool Greater(const LargeFile& a, const LargeFile& b) { return a.size > b.size; }
    std::size_t n_;
    std::vector<LargeFile> heap_;
};

}  // namespace

FolderSummary SummarizeFolder(const std::string& folder, std::size_t largestCount,
                              const std::function<void(const FolderSummary&)>& progress) {
    FolderSummary summary;
    summary.folder = folder;
    LargestFiles largest(largestCount);
    std::vector<std::string> pending{folder};
    platform::FindRecord record;
    std::int64_t sinceProgress = 0;
    while (!pending.empty()) {
        std::string current = std::move(pending.back());
        pending.pop_back();
        platform::FolderEnumerator entries(current);
        if (!entries.IsOpen()) {
            ++summary.unreadableFolders;
            continue;
        }
        while (entries.Next(record)) {
            if (record.IsReparsePoint() && record.IsDirectory()) {
                ++summary.skippedReparsePoints;
            } else if (record.IsDirectory()) {
                ++summary.folders;
                pending.push_back(PathJoin(current, record.name));
            } else {
                ++summary.files;
                summary.bytes += record.size;
                largest.Offer(current, record);
            }
            if (progress && ++sinceProgress == 4096) {
                sinceProgress = 0;
                progress(summary);
            }
        }
    }
    summary.largest = largest.TakeSorted();
    return summary;
}

}  // namespace tandrel
