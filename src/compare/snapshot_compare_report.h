#pragma once
// What a finished snapshot comparison tells the user: the overview of the
// two sides, the rows of each kind the show switches and filter words let
// through, and the totals of each kind. Shared by the comparison page and
// the command line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"
#include "compare/snapshot_compare.h"

namespace tandrel {

struct TComparisonOverviewRow {
    std::string description, left, right, difference, percent;
};

// The date a side stands for: now for a live folder, else the snapshot
// file's modification time.
TDateTime ComparisonSideDate(const std::string& path, TDateTime now);

// "Date of snapshot", "Age of snapshot", "Path:", "Total size:",
// "Directories:", "Files:". A side without any folder (an empty snapshot)
// leaves its path and totals cells empty, and the differences with them.
std::vector<TComparisonOverviewRow> BuildComparisonOverview(TSnapshotComparison& comparison, TDateTime leftDate,
                                                            TDateTime rightDate, TDateTime now);

// Which kinds of rows are listed.
struct TComparisonShow {
    bool identical = false;
    bool added = true;
    bool deleted = true;
    bool updated = true;
    bool moved = true;
};

enum class TFolderRowKind { None, Identical, New, Deleted, Updated };
// A folder on one side only with size 0 is of no kind and never listed.
TFolderRowKind ClassifyFolderRow(const TMergedFolderEntry& row);

// Positions in the merged folder list.
struct TFolderRowLists {
    std::vector<int> all, added, deleted, updated;
};
TFolderRowLists FilterFolderRows(TSnapshotComparison& comparison, const TComparisonShow& show,
                                 std::string_view filterText);

struct TFileTotals {
    int count = 0;
    std::int64_t sizeLeft = 0;
    std::int64_t sizeRight = 0;
};

// Positions in the merged file list. A move is listed once in moved (its
// new-location half) and with both halves in all.
struct TFileRowLists {
    std::vector<int> all, added, deleted, updated, moved;
    TFileTotals addedTotals, deletedTotals, updatedTotals, movedTotals;
};
// A word filter over long lists runs on up to four threads, one part of
// rowsPerPart rows or more each.
TFileRowLists FilterFileRows(TSnapshotComparison& comparison, const TComparisonShow& show, std::string_view filterText,
                             int rowsPerPart = 250000);

// "Total files: 3, total size: 1.00KB", of the right sizes (new, moved) or
// the left sizes (deleted).
std::string FileTotalsText(int count, std::int64_t size);
// "Total files: 2, total size (left): ..., total size (right): ...,
// difference: -1.00KB, -50.00%".
std::string UpdatedTotalsText(const TFileTotals& totals);

// Full paths of a file row's two sides; "" for an absent side.
std::string LeftFilePath(const TMergedFileEntry& row);
std::string RightFilePath(const TMergedFileEntry& row);

}  // namespace tandrel
