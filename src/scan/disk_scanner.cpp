#include "scan/disk_scanner.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "common/compare.h"
#include "common/paths.h"
#include "scan/folder_prefetch.h"
#include "scan/folder_records.h"
#include "scan/snapshot_line_format.h"

namespace tandrel {

namespace {

using platform::FindRecord;
using platform::PathDelim;

// Listing threads beside the walk. The walk itself lists whatever no thread
// has started, and lists ahead rather than wait for a thread, so one lister
// fewer than the cores keeps every core on the kernel's directory reads and
// stats, which are most of a scan.
int ListingThreads() {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores - 1, 1, 3);
}

std::string WithDelim(const std::string& path) {
    return !path.empty() && path.back() == PathDelim ? path : path + PathDelim;
}

// The walk keeps one path buffer and one line buffer for the whole tree; a
// file's name moves from its listing into its node, so a file costs no
// allocation beyond that. Listings come from the prefetcher in walk order.
class TreemapScan {
public:
    TreemapScan(ScanModel& model, const std::string& path)
        : m_(model),
          path_(path),
          prefetch_(WithDelim(path), ListingThreads(), model.CancelOperation, model.PauseOperation) {}

    // path_ holds the folder (trailing "/" optional); find is null for the scan root.
    TDirectoryStats Visit(TDiskTreeMapEntry* node, TDirectoryEntry* parentRecord, FindRecord* find) {
        TDirectoryStats result;
        if (m_.StopRequested()) return result;
        SetProgressPath(m_, path_);
        NotifyFolderVisit(path_);
        if (path_.empty() || path_.back() != PathDelim) path_ += PathDelim;
        const std::size_t pathLength = path_.size();

        line_.clear();
        AppendFolderLine(line_, path_, find && !find->name.empty() ? find : nullptr);
        m_.SnapshotLines.Add(line_);

        TDirectoryEntry* record;
        {
            std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
            if (node == m_.Root()) {
                node->Name = RemoveTrailingBackslash(path_);
            } else if (find && !find->name.empty()) {
                node->Name = std::move(find->name);  // the subfolder's name, no longer needed
            } else {
                node->Name.assign(FolderNameOf(path_));
            }
            record = AddTreeFolderRecord(m_, parentRecord,
                                         parentRecord ? FolderNameOf(path_) : RemoveTrailingBackslash(path_));
        }

        TDirectoryStats own;
        bool stopped = false;
        // Linked folders and other file systems are not in the listing's
        // subfolders: they are left out entirely.
        std::unique_ptr<FolderListing> listing = prefetch_.Take(path_);
        {
            std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
            node->ChildrenEntries.reserve(node->ChildrenEntries.size() + listing->entries.size());
        }
        {
            // Files are added in short batches under one hold of the model
            // lock: the window waits at most one batch, and a folder of many
            // files costs few lock round trips. The batch's sums go up the
            // ancestors once, before the lock is let go, so the window never
            // sees a node's size without its files.
            std::unique_lock<std::recursive_mutex> lock(m_.csTreemap, std::defer_lock);
            Batch batch;
            const auto release = [&] {
                AddBatchToAncestors(node, record, batch);
                lock.unlock();
            };
            for (FindRecord& entry : listing->entries) {
                if (m_.PauseOperation.load(std::memory_order_relaxed) && lock.owns_lock()) release();
                if (!m_.WaitWhilePaused()) {
                    stopped = true;
                    break;
                }
                if (entry.IsDirectory()) continue;
                if (!lock.owns_lock()) lock.lock();
                AddFile(node, own, batch, entry);
                if (batch.files == kFilesPerLock) release();
            }
            if (lock.owns_lock()) release();
        }

        if (!stopped) {
            for (std::uint32_t index : listing->sortedSubfolders) {
                FindRecord& sub = listing->entries[index];
                own.DirectoriesCount++;
                m_.ScanDepth++;
                TDiskTreeMapEntry* child;
                {
                    std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
                    child = m_.DiskTreeMapEntries.Add();
                    child->EntryType = EntryType_Directory;
                    child->ParentNodeIdx = node;
                    node->ChildrenEntries.push_back(child);
                }
                path_.resize(pathLength);
                path_ += sub.name;
                result.Add(Visit(child, record, &sub));
                path_.resize(pathLength);
                m_.ScanDepth--;
                if (m_.StopRequested()) {
                    stopped = true;
                    break;
                }
            }
        }

        // A stopped walk still reports what it did scan, so the counts of a
        // cancelled scan match its nodes and its snapshot lines.
        result.Add(own);
        if (!stopped) {
            std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
            CompleteFolderRecord(*record, result, own, m_.ScanDepth);
            AddFilesRecord(m_, *record);
        }
        return result;
    }

private:
    static constexpr int kFilesPerLock = 256;

    // Files added since the ancestors were last brought up to date.
    struct Batch {
        int files = 0;
        std::int64_t size = 0;
    };

    // The caller holds csTreemap.
    void AddFile(TDiskTreeMapEntry* node, TDirectoryStats& own, Batch& batch, FindRecord& entry) {
        const std::int64_t size = entry.size;
        own.FilesCount++;
        own.Size += size;
        const TDateTime lastWrite = ScanTimeToDateTime(entry.lastWriteTime);
        line_.clear();
        AppendFileLine(line_, entry, lastWrite);
        m_.SnapshotLines.Add(line_);

        TDiskTreeMapEntry* file = m_.DiskTreeMapEntries.Add();
        file->EntryType = EntryType_File;
        file->Name = std::move(entry.name);
        file->SizeTotal = file->SizeRoot = size;
        file->DateM = lastWrite;
        file->ParentNodeIdx = node;
        node->ChildrenEntries.push_back(file);
        batch.files++;
        batch.size += size;
    }

    // The caller holds csTreemap; empties the batch.
    void AddBatchToAncestors(TDiskTreeMapEntry* node, TDirectoryEntry* record, Batch& batch) {
        if (batch.files == 0) return;
        for (TDiskTreeMapEntry* n = node; n; n = n->ParentNodeIdx) {
            n->_Modified = true;
            n->SizeTotal += batch.size;
        }
        node->SizeRoot += batch.size;
        {
            std::lock_guard<std::mutex> counterLock(m_.csModifiedCount);
            for (TDirectoryEntry* r = record; r; r = r->ParentIdx) {
                r->_ModifiedCount += batch.files;
                r->TotalSize += batch.size;
                r->TotalFiles += batch.files;
            }
        }
        record->RootSize += batch.size;
        record->RootFiles += batch.files;
        batch = Batch{};
    }

    ScanModel& m_;
    std::string path_;
    std::string line_;
    FolderPrefetcher prefetch_;
};

class ListScan {
public:
    ListScan(ScanModel& model, const std::string& path, TOwningStore<TFileEntry>& files,
             TOwningStore<TDirectoryEntry>& folders)
        : m_(model),
          path_(path),
          files_(files),
          folders_(folders),
          prefetch_(WithDelim(path), ListingThreads(), model.CancelOperation, model.PauseOperation) {}

    TDirectoryStats Visit(TDirectoryEntry* parentRecord) {
        TDirectoryStats result;
        if (m_.StopRequested()) return result;
        SetProgressPath(m_, path_);
        NotifyFolderVisit(path_);
        if (path_.empty() || path_.back() != PathDelim) path_ += PathDelim;
        const std::size_t pathLength = path_.size();

        TDirectoryEntry* record = AddListFolderRecord(
            folders_, parentRecord, parentRecord ? FolderNameOf(path_) : RemoveTrailingBackslash(path_));

        TDirectoryStats own;
        bool stopped = false;
        std::unique_ptr<FolderListing> listing = prefetch_.Take(path_);
        for (FindRecord& entry : listing->entries) {
            if (!m_.WaitWhilePaused()) {
                stopped = true;
                break;
            }
            if (entry.IsDirectory()) continue;
            own.FilesCount++;
            own.Size += entry.size;
            TFileEntry* file = files_.Add();
            file->FileName = std::move(entry.name);
            file->OwnerFolder = record;
            file->Size = entry.size;
            file->DateM = ScanTimeToDateTime(entry.lastWriteTime);
        }

        if (!stopped) {
            for (std::uint32_t index : listing->sortedSubfolders) {
                const FindRecord& sub = listing->entries[index];
                own.DirectoriesCount++;
                m_.ListScanDepth++;
                path_.resize(pathLength);
                path_ += sub.name;
                result.Add(Visit(record));
                path_.resize(pathLength);
                m_.ListScanDepth--;
                if (m_.StopRequested()) {
                    stopped = true;
                    break;
                }
            }
        }

        result.Add(own);
        if (!stopped) CompleteFolderRecord(*record, result, own, m_.ListScanDepth);
        return result;
    }

private:
    ScanModel& m_;
    std::string path_;
    TOwningStore<TFileEntry>& files_;
    TOwningStore<TDirectoryEntry>& folders_;
    FolderPrefetcher prefetch_;
};

}  // namespace

TDirectoryStats ScanDirectoryToTreemap(ScanModel& model, const std::string& path, TDiskTreeMapEntry* node,
                                       TDirectoryEntry* parentRecord, const platform::FindRecord& find) {
    if (!node) return {};
    TreemapScan scan(model, path);
    FindRecord own = find;
    return scan.Visit(node, parentRecord, find.name.empty() ? nullptr : &own);
}

TDirectoryStats ScanDirectoryToLists(ScanModel& model, const std::string& path, TOwningStore<TFileEntry>& files,
                                     TOwningStore<TDirectoryEntry>& folders, TDirectoryEntry* parentRecord) {
    ListScan scan(model, path, files, folders);
    return scan.Visit(parentRecord);
}

}  // namespace tandrel
