// The "duplicates" verb: collects, searches and prints the groups as the
// duplicates page shows them. It never deletes.
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_job.h"
#include "cli/cli_verbs.h"
#include "common/format_numbers.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/tsv_field.h"
#include "compare/compare_cache.h"
#include "compare/duplicate_finder.h"
#include "platform/file_system.h"
#include "scan/scan_thread_x.h"

namespace tandrel::cli {

namespace {

constexpr int kCancelledExit = 130;

int Usage(const std::string& problem, const char* usage) {
    std::fprintf(stderr, "%s\nUsage: tandrel-cli %s\n", problem.c_str(), usage);
    return 2;
}

// Every folder of the ";"-separated specification made absolute, keeping a
// leading "-" (an excluded folder); blank items dropped.
std::string AbsoluteSpecification(const std::string& spec, bool& anyFolder) {
    std::string result;
    anyFolder = false;
    for (const std::string& item : SplitString(spec, ";", true)) {
        if (item.empty()) continue;
        const bool excluded = item.front() == '-';
        const std::string folder = AbsolutePath(excluded ? item.substr(1) : item);
        if (!excluded && platform::DirectoryExists(folder)) anyFolder = true;
        if (!result.empty()) result += ';';
        result += (excluded ? "-" : "") + folder;
    }
    return result;
}

bool ParseSize(ParsedArgs& parsed, const char* name, std::int64_t& value) {
    if (!parsed.options.count(name)) return true;
    return TryStrToInt64(parsed.options[name], value) && value >= 0;
}

}  // namespace

int RunDuplicates(const std::vector<std::string>& args) {
    const char* usage =
        "duplicates PATH[;PATH...] [--filter MASKS] [--exclude MASKS] [--min-size N] [--max-size N] [--no-subdirs] "
        "[--tsv]";
    ParsedArgs parsed = ParseArgs(args, {"filter", "exclude", "min-size", "max-size"}, {"no-subdirs", "tsv"});
    if (!parsed.error.empty()) return Usage(parsed.error, usage);
    if (parsed.positional.size() != 1) return Usage("duplicates takes one folder specification.", usage);
    std::int64_t minSize = 0, maxSize = 0;
    if (!ParseSize(parsed, "min-size", minSize) || !ParseSize(parsed, "max-size", maxSize))
        return Usage("--min-size and --max-size need a number of bytes.", usage);
    bool anyFolder = false;
    const std::string spec = AbsoluteSpecification(parsed.positional[0], anyFolder);
    if (!anyFolder) {
        std::fprintf(stderr, "Folder not found: %s\n", parsed.positional[0].c_str());
        return 2;
    }
    const std::string filter = parsed.options.count("filter") ? parsed.options["filter"] : "*.*";

    ScanModel& model = CurrentModel();
    TDuplicateFinder finder(model, ComparisonCache());
    TThreadScanX scan(model);
    scan.Init(spec, !parsed.options.count("no-subdirs"), filter, parsed.options["exclude"],
              TDuplicateFinder::EffectiveMinSize(minSize), maxSize,
              [&model](const std::string& dir) { model.ProgressText.SetText(dir); });
    // The cache is read on the other core while the listing waits on the
    // file system.
    std::thread cacheLoader([] { ComparisonCache().Load(); });
    RunShowingProgress(
        model, [&] { scan.Start(); }, scan.threadRunning);
    scan.WaitFor();
    cacheLoader.join();
    if (scan.Failed()) {
        std::fprintf(stderr, "%s\n", scan.ErrorText().c_str());
        return 2;
    }
    if (model.StopRequested()) {
        std::fprintf(stderr, "Cancelled.\n");
        return kCancelledExit;
    }
    finder.TakeScanResult(std::move(scan.tempFilesAr));
    scan.tempFilesAr.clear();
    finder.SaveFileList(spec);

    TThreadFindDuplicates find(model, finder);
    RunShowingProgress(
        model, [&] { find.Start(); }, find.threadRunning);
    find.WaitFor();
    SaveComparisonCache();
    if (find.Failed()) {
        std::fprintf(stderr, "%s\n", find.ErrorText().c_str());
        return 2;
    }
    if (!find.completed) {
        std::fprintf(stderr, "Cancelled.\n");
        return kCancelledExit;
    }
    finder.SaveResults(spec);

    const TDuplicateRows rows = finder.GroupFilter({});
    const bool tsv = parsed.options.count("tsv") > 0;
    bool firstGroup = true;
    for (int row : rows.rows) {
        if (row == kGroupSeparatorRow) {
            if (!tsv && !firstGroup) std::printf("\n");
            firstGroup = false;
            continue;
        }
        const TFileEntryDuplicates& entry = finder.Entry(row);
        if (tsv) {
            const std::string line =
                TsvLine({std::to_string(entry.DuplicateGroupId), std::to_string(entry.Size), entry.FullFileName()});
            std::fwrite(line.data(), 1, line.size(), stdout);
        } else {
            std::printf("%d\t%s\t%s\n", entry.DuplicateGroupId, FormatCount(static_cast<double>(entry.Size)).c_str(),
                        entry.FullFileName().c_str());
        }
    }
    if (!tsv) {
        std::printf("\n%s\n", rows.Summary().c_str());
        std::fprintf(stderr, "Cache: %d, Disk: %d\n", finder.Counters.fromCache, finder.Counters.fromDisk);
    }
    return rows.groups > 0 ? 1 : 0;
}

}  // namespace tandrel::cli
