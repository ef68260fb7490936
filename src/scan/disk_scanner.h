#pragma once
// The folder walk: into the scan model (with the snapshot lines of every
// folder and file) or into flat lists for a comparison.
#include <string>

#include "platform/file_system.h"
#include "scan/scan_model.h"

namespace tandrel {

// Scans path into node (the root node for the top call, which passes a find
// record with an empty name and no parent record). Writes the folder and file
// lines into model.SnapshotLines. On cancel the model keeps what was scanned
// and the counts returned cover exactly that.
TDirectoryStats ScanDirectoryToTreemap(ScanModel& model, const std::string& path, TDiskTreeMapEntry* node,
                                       TDirectoryEntry* parentRecord, const platform::FindRecord& find);

// The same walk into flat lists: one record per folder, one entry per file;
// no nodes, no lines, no locks.
TDirectoryStats ScanDirectoryToLists(ScanModel& model, const std::string& path, TOwningStore<TFileEntry>& files,
                                     TOwningStore<TDirectoryEntry>& folders, TDirectoryEntry* parentRecord);

}  // namespace tandrel
