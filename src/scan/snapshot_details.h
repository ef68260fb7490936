#pragma once
// The header facts of stored snapshots, for the snapshot list.
#include <string>
#include <vector>

#include "scan/scan_model.h"

namespace tandrel {

// The header facts of a snapshot file, from the model's cache while the
// file's modification time is unchanged. Reports corrupt headers and falls
// back to the file's time for the creation time.
TSnapshotDetails GetSnapshotDetails(ScanModel& model, const std::string& file);

// Every "*.snapshot" file directly in the folder, newest first.
std::vector<TSnapshotDetails> ListSnapshots(ScanModel& model, const std::string& folder);

}  // namespace tandrel
