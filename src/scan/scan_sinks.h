#pragma once
// Where a folder walk or a snapshot load puts what it finds: the model's tree
// (nodes, folder records and snapshot lines) or flat lists for a comparison.
// Inline, so the walk's per-file calls compile into its loop.
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "common/paths.h"
#include "platform/file_system.h"
#include "scan/folder_records.h"
#include "scan/scan_model.h"
#include "scan/snapshot_line_format.h"
#include "scan/snapshot_lines.h"

namespace tandrel {

// The snapshot lines of a live scan: one per folder, one per file, in walk
// order. One line buffer serves the whole tree.
class SnapshotLineSink {
public:
    explicit SnapshotLineSink(SnapshotLinesWriter& lines) : lines_(lines) {}
    void Folder(const std::string& pathWithDelim, const platform::FindRecord* find) {
        line_.clear();
        AppendFolderLine(line_, pathWithDelim, find);
        lines_.Add(line_);
    }
    void File(const platform::FindRecord& entry, TDateTime lastWrite) {
        line_.clear();
        AppendFileLine(line_, entry, lastWrite);
        lines_.Add(line_);
    }

private:
    SnapshotLinesWriter& lines_;
    std::string line_;
};

// The model's tree, which the window reads while the walk writes: nodes and
// records change under csTreemap. Files are added in short batches under one
// hold of the lock: the window waits at most one batch, and a folder of many
// files costs few lock round trips. The batch's sums go up the ancestors
// once, before the lock is let go, so the window never sees a node's size
// without its files.
class TreeSink {
public:
    struct Folder {
        TDiskTreeMapEntry* node = nullptr;
        TDirectoryEntry* parentRecord = nullptr;
        TDirectoryEntry* record = nullptr;
    };
    static constexpr bool kPauseAfterFile = false;

    explicit TreeSink(ScanModel& model)
        : m_(model), lines_(model.SnapshotLines), lock_(model.csTreemap, std::defer_lock) {}

    int& Depth() { return m_.ScanDepth; }

    bool Enter(const std::string& path) {
        SetProgressPath(m_, path);
        NotifyFolderVisit(path);
        return true;
    }

    void Open(Folder& f, const std::string& path, platform::FindRecord* find) {
        lines_.Folder(path, find && !find->name.empty() ? find : nullptr);
        std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
        TNameArena& names = m_.DiskTreeMapEntries.Names;
        if (f.node == m_.Root()) {
            f.node->Name = RemoveTrailingBackslash(path);
        } else if (find && !find->name.empty()) {
            f.node->Name.AssignIn(names, find->name);
        } else {
            f.node->Name.AssignIn(names, FolderNameOf(path));
        }
        f.record = AddTreeFolderRecord(m_, f.parentRecord,
                                       f.parentRecord ? FolderNameOf(path) : RemoveTrailingBackslash(path));
    }

    void Reserve(Folder& f, std::size_t entries) {
        std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
        f.node->ChildrenEntries.reserve(f.node->ChildrenEntries.size() + entries);
    }

    void SubfolderMet(const platform::FindRecord&) {}

    // An uncounted file (another name of one already counted) is listed and
    // written to the snapshot with its size, but weighs nothing in the sums.
    void AddFile(Folder& f, platform::FindRecord& entry, bool counted) {
        if (!lock_.owns_lock()) lock_.lock();
        const std::int64_t size = counted ? entry.size : 0;
        const TDateTime lastWrite = ScanTimeToDateTime(entry.lastWriteTime);
        lines_.File(entry, lastWrite);

        TDiskTreeMapEntry* file = m_.DiskTreeMapEntries.Add();
        file->EntryType = EntryType_File;
        file->Name.AssignIn(m_.DiskTreeMapEntries.Names, entry.name);
        file->SizeTotal = size;
        file->DateM = lastWrite;
        file->ParentNodeIdx = f.node;
        f.node->ChildrenEntries.push_back(file);
        batch_.files++;
        batch_.size += size;
        if (batch_.files == kFilesPerLock) Flush(f);
    }

    // Brings the ancestors up to date and lets go of the lock.
    void Flush(Folder& f) {
        if (!lock_.owns_lock()) return;
        AddBatchToAncestors(f);
        lock_.unlock();
    }

    Folder NewChild(Folder& parent) {
        std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
        TDiskTreeMapEntry* child = m_.DiskTreeMapEntries.Add();
        child->EntryType = EntryType_Directory;
        child->ParentNodeIdx = parent.node;
        parent.node->ChildrenEntries.push_back(child);
        return Folder{child, parent.record, nullptr};
    }

    void Complete(Folder& f, const TDirectoryStats& total, const TDirectoryStats& own) {
        std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
        CompleteFolderRecord(*f.record, total, own, m_.ScanDepth);
        AddFilesRecord(m_, *f.record);
    }

private:
    static constexpr int kFilesPerLock = 256;

    // The caller holds csTreemap; empties the batch.
    void AddBatchToAncestors(Folder& f) {
        if (batch_.files == 0) return;
        for (TDiskTreeMapEntry* n = f.node; n; n = n->ParentNodeIdx) {
            n->_Modified = true;
            n->SizeTotal += batch_.size;
        }
        {
            std::lock_guard<std::mutex> counterLock(m_.csModifiedCount);
            for (TDirectoryEntry* r = f.record; r; r = r->ParentIdx) {
                r->_ModifiedCount += batch_.files;
                r->TotalSize += batch_.size;
                r->TotalFiles += batch_.files;
            }
        }
        f.record->RootSize += batch_.size;
        f.record->RootFiles += batch_.files;
        batch_ = Batch{};
    }

    // Files added since the ancestors were last brought up to date.
    struct Batch {
        int files = 0;
        std::int64_t size = 0;
    };

    ScanModel& m_;
    SnapshotLineSink lines_;
    std::unique_lock<std::recursive_mutex> lock_;
    Batch batch_;
};

// Flat lists for a comparison: one record per folder, one entry per file; no
// nodes, no lines, no locks. A snapshot load into lists fills them the same way.
class ListSink {
public:
    struct Folder {
        TDirectoryEntry* parentRecord = nullptr;
        TDirectoryEntry* record = nullptr;
    };
    static constexpr bool kPauseAfterFile = false;

    ListSink(ScanModel& model, TOwningStore<TFileEntry>& files, TOwningStore<TDirectoryEntry>& folders)
        : m_(model), files_(files), folders_(folders) {}

    int& Depth() { return m_.ListScanDepth; }

    bool Enter(const std::string& path) {
        SetProgressPath(m_, path);
        NotifyFolderVisit(path);
        return true;
    }

    // name is the folder's name below its parent; the path names a root.
    void OpenNamed(Folder& f, const std::string& pathWithDelim, std::string_view name) {
        f.record = AddListFolderRecord(folders_, f.parentRecord,
                                       f.parentRecord ? name : RemoveTrailingBackslash(pathWithDelim));
    }
    void Open(Folder& f, const std::string& path, platform::FindRecord*) { OpenNamed(f, path, FolderNameOf(path)); }

    void Reserve(Folder&, std::size_t) {}
    void SubfolderMet(const platform::FindRecord&) {}

    void AddFile(Folder& f, platform::FindRecord& entry) {
        Add(f, std::move(entry.name), entry.size, ScanTimeToDateTime(entry.lastWriteTime));
    }
    void AddFile(Folder& f, SnapshotFileLine& line) { Add(f, std::move(line.name), line.size, line.lastWrite); }

    void Flush(Folder&) {}
    Folder NewChild(Folder& parent) { return Folder{parent.record, nullptr}; }

    void Complete(Folder& f, const TDirectoryStats& total, const TDirectoryStats& own) {
        CompleteFolderRecord(*f.record, total, own, m_.ListScanDepth);
    }

private:
    void Add(Folder& f, std::string&& name, std::int64_t size, TDateTime lastWrite) {
        TFileEntry* file = files_.Add();
        file->FileName = std::move(name);
        file->OwnerFolder = f.record;
        file->Size = size;
        file->DateM = lastWrite;
    }

    ScanModel& m_;
    TOwningStore<TFileEntry>& files_;
    TOwningStore<TDirectoryEntry>& folders_;
};

}  // namespace tandrel
