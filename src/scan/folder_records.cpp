#include "scan/folder_records.h"

#include "platform/file_system.h"

namespace tandrel {

namespace {
std::function<void(const std::string&)>& FolderVisitHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}
}  // namespace

namespace test_hooks {
void SetFolderVisitHook(std::function<void(const std::string& path)> hook) { FolderVisitHook() = std::move(hook); }
}  // namespace test_hooks

void NotifyFolderVisit(const std::string& path) {
    auto& hook = FolderVisitHook();
    if (hook) hook(path);
}

std::string_view FolderNameOf(std::string_view path) {
    while (!path.empty() && path.back() == platform::PathDelim) path.remove_suffix(1);
    const auto slash = path.rfind(platform::PathDelim);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void SetProgressPath(ScanModel& model, std::string_view path) {
    TStringList& lines = model.ProgressText.LockList();
    if (lines.size() != 1) lines.resize(1);
    lines[0].assign(1, '>');
    lines[0].append(path);
    model.ProgressText.UnlockList();
}

TDirectoryEntry* AddTreeFolderRecord(ScanModel& model, TDirectoryEntry* parentRecord, std::string_view folderName) {
    TDirectoryEntry* record = model.DirectoryEntries.Add();
    record->ParentIdx = parentRecord;
    record->FolderName.AssignIn(model.DirectoryEntries.Names, folderName);
    record->Idx = model.DirectoryEntries.Count();
    // Known now, not only when the folder is done: the statistics list
    // folders by depth while the scan is still inside them.
    record->Level = parentRecord ? parentRecord->Level + 1 : 0;
    {
        std::lock_guard<std::mutex> lock(model.csNewDirectoryEntries);
        model.NewDirectoryEntries.push_back(record);
    }
    if (record->Idx != 1 && parentRecord) parentRecord->ChildrenEntries.push_back(record);
    return record;
}

TDirectoryEntry* AddListFolderRecord(TOwningStore<TDirectoryEntry>& folders, TDirectoryEntry* parentRecord,
                                     std::string_view folderName) {
    TDirectoryEntry* record = folders.Add();
    record->ParentIdx = parentRecord;
    record->FolderName.AssignIn(folders.Names, folderName);
    record->Idx = folders.Count();
    return record;
}

void CompleteFolderRecord(TDirectoryEntry& record, const TDirectoryStats& total, const TDirectoryStats& own,
                          int level) {
    record.TotalSize = total.Size;
    record.RootSize = own.Size;
    record.TotalDirs = total.DirectoriesCount;
    record.RootDirs = own.DirectoriesCount;
    record.TotalFiles = total.FilesCount;
    record.RootFiles = own.FilesCount;
    record.Level = level;
}

void AddFilesRecord(ScanModel& model, TDirectoryEntry& folder) {
    TDirectoryEntry* files = model.DirectoryEntries.Add();
    files->ParentIdx = &folder;
    files->FolderName.AssignIn(model.DirectoryEntries.Names, "[files]");
    files->TotalSize = files->RootSize = folder.RootSize;
    files->TotalFiles = files->RootFiles = folder.RootFiles;
    files->Level = folder.Level + 1;
    files->Idx = model.DirectoryEntries.Count();
}

}  // namespace tandrel
