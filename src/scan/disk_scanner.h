#pragma once
// The folder walk: into the scan model (with the snapshot lines of every
// folder and file) or into flat lists for a comparison.
#include <string>

#include "platform/file_system.h"
#include "scan/scan_model.h"

namespace tandrel {

class HardLinkSet;

// Scans path into node (the root node for the top call, which passes a find
// record with an empty name and no parent record). Writes the folder and file
// lines into model.SnapshotLines. On cancel the model keeps what was scanned
// and the counts returned cover exactly that. With hardLinks, a file already
// met under another name (in this call or an earlier one given the same set)
// adds no bytes to the sizes; its snapshot line keeps its size.
TDirectoryStats ScanDirectoryToTreemap(ScanModel& model, const std::string& path, TDiskTreeMapEntry* node,
                                       TDirectoryEntry* parentRecord, const platform::FindRecord& find,
                                       HardLinkSet* hardLinks = nullptr);

// The same walk into flat lists: one record per folder, one entry per file;
// no nodes, no lines, no locks.
TDirectoryStats ScanDirectoryToLists(ScanModel& model, const std::string& path, TOwningStore<TFileEntry>& files,
                                     TOwningStore<TDirectoryEntry>& folders, TDirectoryEntry* parentRecord);

}  // namespace tandrel
