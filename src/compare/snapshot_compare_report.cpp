#include "compare/snapshot_compare_report.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <unordered_map>

#include "common/date_time.h"
#include "common/files.h"
#include "common/format_numbers.h"
#include "common/paths.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/text_filter.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/scan_overview.h"

namespace tandrel {

namespace {

const TDirectoryEntry* RootOf(TOwningStore<TDirectoryEntry>& folders) { return folders.Empty() ? nullptr : folders[0]; }

std::string Count(double value) { return FormatCount(value); }

// The row of one root total; cells stay empty for a side without a root.
TComparisonOverviewRow TotalRow(const char* description, const TDirectoryEntry* left, const TDirectoryEntry* right,
                                double (*total)(const TDirectoryEntry&)) {
    TComparisonOverviewRow row{description, "", "", "", ""};
    if (left) row.left = Count(total(*left));
    if (right) row.right = Count(total(*right));
    if (left && right) {
        row.difference = FormatCountSigned(total(*right) - total(*left));
        row.percent = FormatPercentChange(2, total(*right), total(*left));
    }
    return row;
}

TextFilter FilterOf(std::string_view filterText) {
    return PrepareTextFilter(SplitList(platform::LowerCase(filterText), " "));
}

std::string JoinFile(const std::string& folder, const std::string& name) {
    if (folder.empty()) return {};
    return PathJoin(folder, name);
}

}  // namespace

TDateTime ComparisonSideDate(const std::string& path, TDateTime now) {
    return platform::DirectoryExists(path) ? now : FileModificationTime(path);
}

std::vector<TComparisonOverviewRow> BuildComparisonOverview(TSnapshotComparison& comparison, TDateTime leftDate,
                                                            TDateTime rightDate, TDateTime now) {
    const TDirectoryEntry* left = RootOf(comparison.LeftFolders);
    const TDirectoryEntry* right = RootOf(comparison.RightFolders);
    std::vector<TComparisonOverviewRow> rows;
    rows.push_back({"Date of snapshot", FormatDateTimeMs(leftDate), FormatDateTimeMs(rightDate), "", ""});
    rows.push_back({"Age of snapshot", SnapshotAgeText(leftDate, now), SnapshotAgeText(rightDate, now),
                    FormatDuration(rightDate - leftDate), ""});
    rows.push_back({"Path:", left ? left->CalcPath() : "", right ? right->CalcPath() : "", "", ""});
    rows.push_back(TotalRow("Total size:", left, right,
                            [](const TDirectoryEntry& d) { return static_cast<double>(d.TotalSize); }));
    rows.push_back(TotalRow("Directories:", left, right,
                            [](const TDirectoryEntry& d) { return static_cast<double>(d.TotalDirs); }));
    rows.push_back(
        TotalRow("Files:", left, right, [](const TDirectoryEntry& d) { return static_cast<double>(d.TotalFiles); }));
    return rows;
}

TFolderRowKind ClassifyFolderRow(const TMergedFolderEntry& row) {
    if (row.DirLeft && row.DirRight)
        return row.SizeLeft == row.SizeRight ? TFolderRowKind::Identical : TFolderRowKind::Updated;
    if (!row.DirLeft && row.SizeLeft == 0 && row.SizeRight > 0) return TFolderRowKind::New;
    if (!row.DirRight && row.SizeLeft > 0 && row.SizeRight == 0) return TFolderRowKind::Deleted;
    return TFolderRowKind::None;
}

TFolderRowLists FilterFolderRows(TSnapshotComparison& comparison, const TComparisonShow& show,
                                 std::string_view filterText) {
    const TextFilter filter = FilterOf(filterText);
    TFolderRowLists lists;
    const int count = comparison.MergedFolders.Count();
    for (int p = 0; p < count; ++p) {
        const TMergedFolderEntry& row = *comparison.MergedFolders[static_cast<std::size_t>(p)];
        const TFolderRowKind kind = ClassifyFolderRow(row);
        const bool shown =
            (kind == TFolderRowKind::Identical && show.identical) || (kind == TFolderRowKind::New && show.added) ||
            (kind == TFolderRowKind::Deleted && show.deleted) || (kind == TFolderRowKind::Updated && show.updated);
        if (!shown) continue;
        if (!filter.MatchesEverything() && !MatchesTextFilter(filter, row.Path)) continue;
        lists.all.push_back(p);
        if (kind == TFolderRowKind::New) lists.added.push_back(p);
        if (kind == TFolderRowKind::Deleted) lists.deleted.push_back(p);
        if (kind == TFolderRowKind::Updated) lists.updated.push_back(p);
    }
    return lists;
}

namespace {

// The rows [begin, end) that pass the boxes and the filter.
TFileRowLists FilterFileRowRange(TSnapshotComparison& comparison, const TComparisonShow& show, const TextFilter& filter,
                                 int begin, int end) {
    TFileRowLists lists;
    // The rows of one folder pair mostly come together: the pair's two paths
    // are searched once per run of rows, and each folder's path is built and
    // lowered once.
    std::unordered_map<const TDirectoryEntry*, std::string> loweredPaths;
    auto LoweredPathOf = [&](const TDirectoryEntry* folder) -> const std::string& {
        auto [slot, added] = loweredPaths.try_emplace(folder);
        if (added && folder) AppendLowerCase(slot->second, folder->CalcPath());
        return slot->second;
    };
    PrefixedTextFilter matcher(filter);
    std::string lowered;
    const TDirectoryEntry* leftFolder = nullptr;
    const TDirectoryEntry* rightFolder = nullptr;
    bool pathsSet = false;
    for (int p = begin; p < end; ++p) {
        const TMergedFileEntry& row = *comparison.MergedFiles[static_cast<std::size_t>(p)];
        const bool shown =
            (row.Status == MergedFile_Identical && show.identical) || (row.Status == MergedFile_New && show.added) ||
            (row.Status == MergedFile_Deleted && show.deleted) || (row.Status == MergedFile_Moved && show.moved) ||
            (row.Status == MergedFile_Updated && show.updated);
        if (!shown) continue;
        if (!filter.MatchesEverything()) {
            const TDirectoryEntry* left = row.FileLeft ? row.FileLeft->OwnerFolder : nullptr;
            const TDirectoryEntry* right = row.FileRight ? row.FileRight->OwnerFolder : nullptr;
            if (!pathsSet || left != leftFolder || right != rightFolder) {
                leftFolder = left, rightFolder = right, pathsSet = true;
                lowered.clear();
                lowered += LoweredPathOf(left);
                lowered += ' ';
                lowered += LoweredPathOf(right);
                lowered += ' ';
                matcher.SetPrefix(lowered);
            }
            std::string& suffix = matcher.NewSuffix();
            AppendLowerCase(suffix, row.FileName);
            suffix += ' ';
            if (row.Status == MergedFile_Moved && row.ReferenceFile)
                AppendLowerCase(suffix, row.ReferenceFile->FileName);
            if (!matcher.MatchesSuffix()) continue;
        }
        lists.all.push_back(p);
        switch (row.Status) {
            case MergedFile_New:
                lists.added.push_back(p);
                ++lists.addedTotals.count;
                lists.addedTotals.sizeRight += row.SizeRight;
                break;
            case MergedFile_Deleted:
                lists.deleted.push_back(p);
                ++lists.deletedTotals.count;
                lists.deletedTotals.sizeLeft += row.SizeLeft;
                break;
            case MergedFile_Updated:
                lists.updated.push_back(p);
                ++lists.updatedTotals.count;
                lists.updatedTotals.sizeLeft += row.SizeLeft;
                lists.updatedTotals.sizeRight += row.SizeRight;
                break;
            case MergedFile_Moved:
                if (!row.FileLeft) {
                    lists.moved.push_back(p);
                    ++lists.movedTotals.count;
                    lists.movedTotals.sizeRight += row.SizeRight;
                }
                break;
            default:
                break;
        }
    }
    return lists;
}

void AddTotals(TFileTotals& to, const TFileTotals& from) {
    to.count += from.count;
    to.sizeLeft += from.sizeLeft;
    to.sizeRight += from.sizeRight;
}

void AppendRows(std::vector<int>& to, const std::vector<int>& from) { to.insert(to.end(), from.begin(), from.end()); }

}  // namespace

TFileRowLists FilterFileRows(TSnapshotComparison& comparison, const TComparisonShow& show, std::string_view filterText,
                             int rowsPerPart) {
    const TextFilter filter = FilterOf(filterText);
    const int count = comparison.MergedFiles.Count();
    // A word filter over a million rows is split over the cores; the parts
    // only read the comparison, and are joined in row order.
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int parts =
        filter.MatchesEverything() ? 1 : std::clamp(count / std::max(1, rowsPerPart), 1, std::min(cores, 4));
    std::vector<TFileRowLists> results(static_cast<std::size_t>(parts));
    auto run = [&](int part) {
        results[static_cast<std::size_t>(part)] = FilterFileRowRange(
            comparison, show, filter, static_cast<int>(static_cast<std::int64_t>(count) * part / parts),
            static_cast<int>(static_cast<std::int64_t>(count) * (part + 1) / parts));
    };
    std::vector<std::thread> workers;
    for (int part = 1; part < parts; ++part) workers.emplace_back(run, part);
    run(0);
    for (std::thread& worker : workers) worker.join();
    TFileRowLists lists = std::move(results[0]);
    for (std::size_t part = 1; part < results.size(); ++part) {
        const TFileRowLists& more = results[part];
        AppendRows(lists.all, more.all);
        AppendRows(lists.added, more.added);
        AppendRows(lists.deleted, more.deleted);
        AppendRows(lists.updated, more.updated);
        AppendRows(lists.moved, more.moved);
        AddTotals(lists.addedTotals, more.addedTotals);
        AddTotals(lists.deletedTotals, more.deletedTotals);
        AddTotals(lists.updatedTotals, more.updatedTotals);
        AddTotals(lists.movedTotals, more.movedTotals);
    }
    return lists;
}

std::string FileTotalsText(int count, std::int64_t size) {
    return "Total files: " + FormatCount(count) + ", total size: " + FormatBytes(size);
}

std::string UpdatedTotalsText(const TFileTotals& totals) {
    const std::int64_t difference = totals.sizeRight - totals.sizeLeft;
    std::string text = "Total files: " + FormatCount(totals.count) +
                       ", total size (left): " + FormatBytes(totals.sizeLeft) +
                       ", total size (right): " + FormatBytes(totals.sizeRight) +
                       ", difference: " + (difference < 0 ? "-" : "") + FormatBytes(std::llabs(difference));
    if (totals.sizeLeft != 0)
        text +=
            ", " + FormatPercentChange(2, static_cast<double>(totals.sizeRight), static_cast<double>(totals.sizeLeft));
    return text;
}

std::string LeftFilePath(const TMergedFileEntry& row) {
    return row.FileLeft ? JoinFile(row.GetFileParentPath_Left(), row.FileLeft->FileName) : "";
}

std::string RightFilePath(const TMergedFileEntry& row) {
    return row.FileRight ? JoinFile(row.GetFileParentPath_Right(), row.FileRight->FileName) : "";
}

}  // namespace tandrel
