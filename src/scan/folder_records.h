#pragma once
// Steps shared by the disk scanner and the snapshot loaders: folder records,
// their completion, the progress line and the folder-visit test hook.
#include <functional>
#include <string>
#include <string_view>

#include "scan/scan_model.h"

namespace tandrel {

// The last component of a folder path ("/a/b/" and "/a/b" give "b").
std::string_view FolderNameOf(std::string_view path);

// Publishes ">" + path as the one progress line, reusing the line's storage.
void SetProgressPath(ScanModel& model, std::string_view path);

// A new record in the model's DirectoryEntries, queued for the statistics view
// and linked under its parent (the first record of the list is the root and
// is linked nowhere). The caller holds csTreemap when the window may read.
TDirectoryEntry* AddTreeFolderRecord(ScanModel& model, TDirectoryEntry* parentRecord, std::string_view folderName);
// A new record of a flat list, linked nowhere.
TDirectoryEntry* AddListFolderRecord(TOwningStore<TDirectoryEntry>& folders, TDirectoryEntry* parentRecord,
                                     std::string_view folderName);

// Gives a finished folder its exact totals.
void CompleteFolderRecord(TDirectoryEntry& record, const TDirectoryStats& total, const TDirectoryStats& own, int level);
// The "[files]" record standing for the folder's own files.
void AddFilesRecord(ScanModel& model, TDirectoryEntry& folder);

// Runs the folder-visit test hook, if one is set.
void NotifyFolderVisit(const std::string& path);

namespace test_hooks {
// Called with the folder path whenever a scan or a snapshot load enters a
// folder, after its progress line is published. Set it while nothing scans;
// an empty function removes it.
void SetFolderVisitHook(std::function<void(const std::string& path)> hook);
}  // namespace test_hooks

}  // namespace tandrel
