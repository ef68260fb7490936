#include "scan/scan_overview.h"

#include <cmath>
#include <cstdint>

#include "common/date_time.h"
#include "common/format_numbers.h"
#include "platform/file_system.h"

namespace tandrel {

std::string SnapshotAgeText(TDateTime snapshotDate, TDateTime now) {
    // Truncated toward zero, so less than a second reads "0s"; rounded to the
    // millisecond first, or day fractions would turn 5 s into 4.999.
    const double seconds = std::trunc(std::round((now - snapshotDate) * 86400000.0) / 1000.0);
    if (seconds < 0) return "<expired>";
    // Whole seconds: FormatDuration rounds, which must not turn 0.9 s into 1s.
    return FormatDuration(seconds / 86400.0);
}

OverviewRows BuildOverviewRows(ScanModel& model, const std::string& scanPath, TDateTime now) {
    OverviewRows rows;
    if (model.DirectoryEntries.Empty()) return rows;
    const TDirectoryEntry* root = model.DirectoryEntries[0];
    const TDateTime snapshotDate = platform::DirectoryExists(scanPath) ? now : FileModificationTime(scanPath);
    rows.emplace_back("Date of snapshot", FormatDateTimeMs(snapshotDate));
    rows.emplace_back("Age of snapshot", SnapshotAgeText(snapshotDate, now));
    rows.emplace_back("Path:", root->CalcPath());
    rows.emplace_back("Total size:", FormatCount(static_cast<double>(root->TotalSize)));
    rows.emplace_back("Directories:", FormatCount(root->TotalDirs));
    rows.emplace_back("Files:", FormatCount(root->TotalFiles));
    return rows;
}

}  // namespace tandrel
