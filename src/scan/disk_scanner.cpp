#include "scan/disk_scanner.h"

#include <algorithm>
#include <vector>

#include "common/compare.h"
#include "common/paths.h"
#include "scan/folder_records.h"
#include "scan/snapshot_line_format.h"

namespace tandrel {

namespace {

using platform::FindRecord;
using platform::FolderEnumerator;
using platform::PathDelim;

void SortByName(std::vector<FindRecord>& folders) {
    std::sort(folders.begin(), folders.end(), [](const FindRecord& a, const FindRecord& b) {
        return CompareTextLocale(a.name, b.name) < 0;
    });
}

// The walk keeps one path buffer, one line buffer and one find record for the
// whole tree, so a file costs no allocation beyond its node's name. The
// enumeration of a folder ends before its subfolders are entered, which is
// what lets the find record be shared.
class TreemapScan {
public:
    TreemapScan(ScanModel& model, const std::string& path) : m_(model), path_(path) {}

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
        std::vector<FindRecord> subfolders;
        bool stopped = false;
        {
            FolderEnumerator folder(path_);
            while (folder.Next(entry_)) {
                if (!m_.WaitWhilePaused()) {
                    stopped = true;
                    break;
                }
                if (entry_.IsDirectory()) {
                    // Linked folders and other file systems are left out entirely.
                    if (!entry_.IsReparsePoint()) subfolders.push_back(entry_);
                    continue;
                }
                AddFile(node, record, own);
            }
        }

        if (!stopped) {
            SortByName(subfolders);
            for (FindRecord& sub : subfolders) {
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
    void AddFile(TDiskTreeMapEntry* node, TDirectoryEntry* record, TDirectoryStats& own) {
        const std::int64_t size = entry_.size;
        own.FilesCount++;
        own.Size += size;
        const TDateTime lastWrite = ScanTimeToDateTime(entry_.lastWriteTime);
        line_.clear();
        AppendFileLine(line_, entry_, lastWrite);
        m_.SnapshotLines.Add(line_);

        std::lock_guard<std::recursive_mutex> lock(m_.csTreemap);
        TDiskTreeMapEntry* file = m_.DiskTreeMapEntries.Add();
        file->EntryType = EntryType_File;
        file->Name = entry_.name;
        file->SizeTotal = file->SizeRoot = size;
        file->DateM = lastWrite;
        file->ParentNodeIdx = node;
        node->ChildrenEntries.push_back(file);
        for (TDiskTreeMapEntry* n = node; n; n = n->ParentNodeIdx) {
            n->_Modified = true;
            n->SizeTotal += size;
        }
        node->SizeRoot += size;
        {
            std::lock_guard<std::mutex> counterLock(m_.csModifiedCount);
            for (TDirectoryEntry* r = record; r; r = r->ParentIdx) {
                r->_ModifiedCount++;
                r->TotalSize += size;
                r->TotalFiles++;
            }
        }
        record->RootSize += size;
        record->RootFiles++;
    }

    ScanModel& m_;
    std::string path_;
    std::string line_;
    FindRecord entry_;
};

class ListScan {
public:
    ListScan(ScanModel& model, const std::string& path, TOwningStore<TFileEntry>& files,
             TOwningStore<TDirectoryEntry>& folders)
        : m_(model), path_(path), files_(files), folders_(folders) {}

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
        std::vector<FindRecord> subfolders;
        bool stopped = false;
        {
            FolderEnumerator folder(path_);
            while (folder.Next(entry_)) {
                if (!m_.WaitWhilePaused()) {
                    stopped = true;
                    break;
                }
                if (entry_.IsDirectory()) {
                    if (!entry_.IsReparsePoint()) subfolders.push_back(entry_);
                    continue;
                }
                own.FilesCount++;
                own.Size += entry_.size;
                TFileEntry* file = files_.Add();
                file->FileName = entry_.name;
                file->OwnerFolder = record;
                file->Size = entry_.size;
                file->DateM = ScanTimeToDateTime(entry_.lastWriteTime);
            }
        }

        if (!stopped) {
            SortByName(subfolders);
            for (const FindRecord& sub : subfolders) {
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
    FindRecord entry_;
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
