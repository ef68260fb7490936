// The "compare-snapshots", "compare-dirs" and "compare-files" verbs.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_job.h"
#include "cli/cli_verbs.h"
#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/strings.h"
#include "common/tsv_field.h"
#include "compare/compare_cache.h"
#include "compare/dir_compare_thread.h"
#include "compare/file_compare_thread.h"
#include "compare/file_content_compare.h"
#include "compare/snapshot_compare_report.h"
#include "compare/snapshot_compare_thread.h"
#include "platform/file_system.h"
#include "scan/scan_thread_x.h"
#include "scan/snapshot_store.h"

namespace tandrel::cli {

namespace {

constexpr int kCancelledExit = 130;

int Usage(const std::string& problem, const char* usage) {
    std::fprintf(stderr, "%s\nUsage: tandrel-cli %s\n", problem.c_str(), usage);
    return 2;
}

std::string DateText(TDateTime date) { return date == 0 ? "" : FormatDateTimeSec(date); }

// ---- compare-snapshots ----

// A path as given when it exists, else a bare snapshot name in the snapshots folder.
std::string ResolveSide(ScanModel& model, const std::string& path) {
    return platform::PathExists(path) ? AbsolutePath(path) : ResolveSnapshotPath(model, path);
}

void PrintOverview(TSnapshotComparison& comparison) {
    const TDateTime now = Now();
    std::printf("Description\tLeft snapshot\tRight snapshot\tdifference\t%% difference\n");
    for (const auto& row : BuildComparisonOverview(comparison, ComparisonSideDate(comparison.LeftPath, now),
                                                   ComparisonSideDate(comparison.RightPath, now), now)) {
        std::printf("%s\t%s\t%s\t%s\t%s\n", row.description.c_str(), row.left.c_str(), row.right.c_str(),
                    row.difference.c_str(), row.percent.c_str());
    }
}

const TMergedFileEntry& FileRow(TSnapshotComparison& comparison, int p) {
    return *comparison.MergedFiles[static_cast<std::size_t>(p)];
}

void PrintFileLists(TSnapshotComparison& comparison) {
    const TFileRowLists rows = FilterFileRows(comparison, TComparisonShow{}, "");
    std::printf("\nNew files:\n");
    for (int p : rows.added) {
        const TMergedFileEntry& row = FileRow(comparison, p);
        std::printf("%s\t%s\t%s\n", FormatBytes(row.SizeRight).c_str(), DateText(row.DateMRight).c_str(),
                    RightFilePath(row).c_str());
    }
    std::printf("%s\n", FileTotalsText(rows.addedTotals.count, rows.addedTotals.sizeRight).c_str());

    std::printf("\nDeleted files:\n");
    for (int p : rows.deleted) {
        const TMergedFileEntry& row = FileRow(comparison, p);
        std::printf("%s\t%s\t%s\n", FormatBytes(row.SizeLeft).c_str(), DateText(row.DateMLeft).c_str(),
                    LeftFilePath(row).c_str());
    }
    std::printf("%s\n", FileTotalsText(rows.deletedTotals.count, rows.deletedTotals.sizeLeft).c_str());

    std::printf("\nUpdated files:\n");
    for (int p : rows.updated) {
        const TMergedFileEntry& row = FileRow(comparison, p);
        std::printf("%s\t%s\t%s\t%s\t%s\n", FormatBytes(row.SizeLeft).c_str(), DateText(row.DateMLeft).c_str(),
                    FormatBytes(row.SizeRight).c_str(), DateText(row.DateMRight).c_str(), RightFilePath(row).c_str());
    }
    std::printf("%s\n", UpdatedTotalsText(rows.updatedTotals).c_str());

    std::printf("\nRenamed/moved files:\n");
    for (int p : rows.moved) {
        const TMergedFileEntry& row = FileRow(comparison, p);
        const std::string from = row.ReferenceFile ? LeftFilePath(*row.ReferenceFile) : "";
        std::printf("%s\t%s\t%s\t%s\n", FormatBytes(row.SizeRight).c_str(), DateText(row.DateMRight).c_str(),
                    from.c_str(), RightFilePath(row).c_str());
    }
    std::printf("%s\n", FileTotalsText(rows.movedTotals.count, rows.movedTotals.sizeRight).c_str());
}

std::string SizeField(bool present, std::int64_t size) { return present ? std::to_string(size) : ""; }

void PrintTsvLine(const std::vector<std::string>& fields) {
    const std::string line = TsvLine(fields);
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void PrintTsv(TSnapshotComparison& comparison) {
    comparison.MergedFiles.ForEach([](TMergedFileEntry& row) {
        PrintTsvLine({std::to_string(row.Status), LeftFilePath(row), RightFilePath(row),
                      SizeField(row.FileLeft, row.SizeLeft), SizeField(row.FileRight, row.SizeRight)});
    });
    comparison.MergedFolders.ForEach([](TMergedFolderEntry& row) {
        PrintTsvLine({"F", row.DirLeft ? row.DirLeft->CalcPath() : "", row.DirRight ? row.DirRight->CalcPath() : "",
                      SizeField(row.DirLeft, row.SizeLeft), SizeField(row.DirRight, row.SizeRight)});
    });
}

// ---- compare-dirs ----

struct DirCompareOptions {
    std::string left, right, filter, exclude;
    std::int64_t minSize = 0;
    bool recursive = true;
    bool tsv = false;
    bool all = false;  // every row, not only the ones that differ
};

// Lists LEFT and compares every listed file with its counterpart under
// RIGHT, the comparison starting on the files of each folder as soon as the
// listing has moved on from it.
TFileEntryCompareList ListAndCompare(ScanModel& model, const DirCompareOptions& options, bool& listingFailed) {
    TFileEntryCompareList entries;
    TThreadCompareX job(model, ComparisonCache());
    job.Init({}, options.left, options.right);
    job.OpenFeed();
    TThreadScanX scan(model);
    scan.Init(options.left, options.recursive, options.filter, options.exclude, options.minSize, 0, {});
    scan.OnFilesListed = [&](const TFileTypeList& files, std::size_t from) {
        std::vector<TFileEntryCompare*> batch;
        for (std::size_t i = from; i < files.size(); ++i) {
            entries.push_back(MakeCompareEntry(*files[i]));
            batch.push_back(entries.back().get());
        }
        job.Feed(batch);
    };
    scan.KeepFiles = false;
    // The cache is read on the other core while the listing waits on the
    // file system.
    std::thread cacheLoader([] { ComparisonCache().Load(); });
    RunShowingProgress(
        model,
        [&] {
            job.Start();
            scan.Start();
        },
        scan.threadRunning);
    scan.WaitFor();
    job.CloseFeed();
    RunShowingProgress(
        model, [] {}, job.threadRunning);
    cacheLoader.join();
    job.WaitFor();
    SaveComparisonCache();
    listingFailed = scan.Failed();
    if (listingFailed) std::fprintf(stderr, "%s\n", scan.ErrorText().c_str());
    // Walk order depends on the file system; the report is in path order.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a->Path != b->Path ? a->Path < b->Path : a->FileName < b->FileName;
    });
    return entries;
}

// Like diff -rq: only the rows that differ, unless every row is asked for;
// the tab-separated form always has every row.
int ReportDirComparison(const TFileEntryCompareList& entries, bool tsv, bool all) {
    int counts[FC_FILE_MISSING + 1] = {};
    for (const auto& entry : entries) {
        const TFileCompareResult status = entry->Status();
        ++counts[status];
        const std::string path = entry->Path + entry->FileName;
        if (tsv)
            PrintTsvLine({std::to_string(status), std::string(CompareResultText(status)), path});
        else if (all || status != FC_IDENTICAL)
            std::printf("%s\t%s\n", std::string(CompareResultText(status)).c_str(), path.c_str());
    }
    std::printf("Files: %s", FormatCount(static_cast<double>(entries.size())).c_str());
    for (TFileCompareResult status :
         {FC_IDENTICAL, FC_LOOSE_COPY, FC_SIZE_DIFFERENT, FC_RIGHT_MISSING, FC_ACCESS_VIOLATION}) {
        std::printf(", %s: %s", std::string(CompareResultText(status)).c_str(), FormatCount(counts[status]).c_str());
    }
    const int notCompared = counts[FC_EMPTY] + counts[FC_CANCELLED];
    if (notCompared > 0) std::printf(", not compared: %s", FormatCount(notCompared).c_str());
    std::printf("\n");
    if (counts[FC_ACCESS_VIOLATION] > 0) return 2;
    return counts[FC_IDENTICAL] == static_cast<int>(entries.size()) ? 0 : 1;
}

}  // namespace

int RunCompareSnapshots(const std::vector<std::string>& args) {
    const char* usage = "compare-snapshots LEFT RIGHT [--tsv]";
    ParsedArgs parsed = ParseArgs(args, {}, {"tsv"});
    if (!parsed.error.empty()) return Usage(parsed.error, usage);
    if (parsed.positional.size() != 2) return Usage("compare-snapshots takes two paths.", usage);

    ScanModel& model = CurrentModel();
    model.SnapshotsPath = AppSettingsFolder();
    TSnapshotComparison& comparison = CurrentSnapshotComparison();
    comparison.LeftPath = ResolveSide(model, parsed.positional[0]);
    comparison.RightPath = ResolveSide(model, parsed.positional[1]);
    // The left side is always a stored scan; a folder there is a mistake.
    if (!platform::FileExists(comparison.LeftPath)) {
        std::fprintf(stderr, "Snapshot not found: %s\n", comparison.LeftPath.c_str());
        return 2;
    }
    TThreadCompareSnapshots job(model, comparison);
    RunShowingProgress(
        model, [&] { job.Start(); }, job.threadRunning);
    job.WaitFor();
    if (job.Failed()) return 2;  // the job has shown its message
    if (model.StopRequested()) {
        std::fprintf(stderr, "Cancelled.\n");
        return kCancelledExit;
    }
    if (parsed.options.count("tsv")) {
        PrintTsv(comparison);
    } else {
        PrintOverview(comparison);
        PrintFileLists(comparison);
    }
    return 0;
}

int RunCompareDirs(const std::vector<std::string>& args) {
    const char* usage =
        "compare-dirs LEFT RIGHT [--filter MASKS] [--exclude MASKS] [--min-size BYTES] [--no-subdirs] [--all] [--tsv]";
    ParsedArgs parsed = ParseArgs(args, {"filter", "exclude", "min-size"}, {"no-subdirs", "all", "tsv"});
    if (!parsed.error.empty()) return Usage(parsed.error, usage);
    if (parsed.positional.size() != 2) return Usage("compare-dirs takes two folders.", usage);
    DirCompareOptions options;
    options.left = AbsolutePath(parsed.positional[0]);
    options.right = AbsolutePath(parsed.positional[1]);
    options.filter = parsed.options["filter"];
    options.exclude = parsed.options["exclude"];
    options.recursive = !parsed.options.count("no-subdirs");
    options.tsv = parsed.options.count("tsv") > 0;
    options.all = parsed.options.count("all") > 0;
    if (parsed.options.count("min-size") &&
        (!TryStrToInt64(parsed.options["min-size"], options.minSize) || options.minSize < 0)) {
        return Usage("--min-size needs a number of bytes.", usage);
    }
    for (const std::string& folder : {options.left, options.right}) {
        if (!platform::DirectoryExists(folder)) {
            std::fprintf(stderr, "Folder not found: %s\n", folder.c_str());
            return 2;
        }
    }

    ScanModel& model = CurrentModel();
    bool listingFailed = false;
    TFileEntryCompareList entries = ListAndCompare(model, options, listingFailed);
    const int code = ReportDirComparison(entries, options.tsv, options.all);
    if (model.StopRequested()) {
        std::fprintf(stderr, "Cancelled.\n");
        return kCancelledExit;
    }
    return listingFailed ? 2 : code;
}

int RunCompareFiles(const std::vector<std::string>& args) {
    const char* usage = "compare-files A B";
    ParsedArgs parsed = ParseArgs(args, {});
    if (!parsed.error.empty()) return Usage(parsed.error, usage);
    if (parsed.positional.size() != 2) return Usage("compare-files takes two files.", usage);
    const std::string a = AbsolutePath(parsed.positional[0]);
    const std::string b = AbsolutePath(parsed.positional[1]);
    for (const std::string& file : {a, b}) {
        if (!platform::FileExists(file)) {
            std::fprintf(stderr, "file: %s not found\n", file.c_str());
            std::printf("%s\n", std::string(CompareResultText(FC_FILE_MISSING)).c_str());
            return 1;
        }
    }
    TFileCompareResult result = FC_IDENTICAL;
    if (SameFilePath(a, b)) {
        std::fprintf(stderr, "File 1 and 2, both refer to the same file.\n");
    } else {
        ScanModel& model = CurrentModel();
        // The files as they are now: the cache is not asked. The waiting
        // loop shows the job's progress line, the model's ProgressText.
        TThreadCompareFile job(model, ComparisonCache(), &model.ProgressText);
        job.progressText = BlockProgressInMiB;
        job.Init(a, b, false);
        RunShowingProgress(
            model, [&] { job.Start(); }, job.threadRunning);
        job.WaitFor();
        result = job.compareStatus.load();
    }
    std::printf("%s\n", std::string(CompareResultText(result)).c_str());
    switch (result) {
        case FC_IDENTICAL:
            return 0;
        case FC_LOOSE_COPY:
        case FC_SIZE_DIFFERENT:
            return 1;
        case FC_CANCELLED:
            return kCancelledExit;
        default:
            return 2;
    }
}

}  // namespace tandrel::cli
