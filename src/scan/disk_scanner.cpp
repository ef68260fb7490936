#include "scan/disk_scanner.h"

#include "scan/folder_walk.h"
#include "scan/scan_sinks.h"

namespace tandrel {

TDirectoryStats ScanDirectoryToTreemap(ScanModel& model, const std::string& path, TDiskTreeMapEntry* node,
                                       TDirectoryEntry* parentRecord, const platform::FindRecord& find,
                                       HardLinkSet* hardLinks) {
    if (!node) return {};
    TreeSink sink(model);
    FolderWalkOptions options;
    options.hardLinks = hardLinks;
    FolderWalk<TreeSink> walk(model, sink, path, std::move(options));
    platform::FindRecord own = find;
    return walk.Run(TreeSink::Folder{node, parentRecord, nullptr}, find.name.empty() ? nullptr : &own);
}

TDirectoryStats ScanDirectoryToLists(ScanModel& model, const std::string& path, TOwningStore<TFileEntry>& files,
                                     TOwningStore<TDirectoryEntry>& folders, TDirectoryEntry* parentRecord) {
    ListSink sink(model, files, folders);
    FolderWalk<ListSink> walk(model, sink, path);
    return walk.Run(ListSink::Folder{parentRecord, nullptr});
}

}  // namespace tandrel
