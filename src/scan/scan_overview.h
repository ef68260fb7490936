#pragma once
// The overview of a scan: when it was taken, how old it is, which folder it
// covers and the totals of its root, as (description, value) rows.
#include <string>
#include <utility>
#include <vector>

#include "common/types.h"
#include "scan/scan_model.h"

namespace tandrel {

using OverviewRows = std::vector<std::pair<std::string, std::string>>;

// "3d 4h 5s", "12m", "0s"; "<expired>" for a date in the future.
std::string SnapshotAgeText(TDateTime snapshotDate, TDateTime now);

// The six rows, or none when the model holds no folder records. The snapshot
// date is now for a live scan (scanPath is a folder), else the file's
// modification time.
OverviewRows BuildOverviewRows(ScanModel& model, const std::string& scanPath, TDateTime now);

}  // namespace tandrel
