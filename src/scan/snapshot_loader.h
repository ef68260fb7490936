#pragma once
// Rebuilds a scan from the lines of a "|files.v2|" section: into the scan
// model (tree) or into flat lists for a comparison. A snapshot is untrusted
// text: malformed lines are skipped and counted, never trusted.
#include <cstdint>
#include <string>

#include "scan/scan_model.h"
#include "scan/snapshot_lines.h"

namespace tandrel {

// What a load had to leave out, and why it failed (empty when it did not).
struct SnapshotLoadReport {
    std::int64_t skippedLines = 0;
    std::string error;
};

// Deeper nesting than any real file system gives is refused: the views walk
// the tree recursively.
inline constexpr int kMaxSnapshotFolderDepth = 4096;

// Reads folder and file lines from the reader's position. With an empty path
// (the job's call) the first folder line is the root and goes into node;
// lines after the root's block are skipped. With a path, the call stops at
// the first folder line not below it (that line is read again next).
TDirectoryStats LoadSnapshotToTreemap(ScanModel& model, SnapshotLineReader& lines, const std::string& path,
                                      TDiskTreeMapEntry* node, TDirectoryEntry* parentRecord,
                                      SnapshotLoadReport* report = nullptr);

// The same into flat lists: one record per folder, one entry per file.
TDirectoryStats LoadSnapshotToLists(ScanModel& model, SnapshotLineReader& lines, const std::string& path,
                                    TOwningStore<TFileEntry>& files, TOwningStore<TDirectoryEntry>& folders,
                                    TDirectoryEntry* parentRecord, SnapshotLoadReport* report = nullptr);

}  // namespace tandrel
