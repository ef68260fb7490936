// The "scan" and "summary" verbs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_job.h"
#include "cli/cli_verbs.h"
#include "common/app_folders.h"
#include "common/command_line.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/format_numbers.h"
#include "common/strings.h"
#include "common/types.h"
#include "platform/file_system.h"
#include "scan/scan_overview.h"
#include "scan/snapshot_store.h"

namespace tandrel::cli {

namespace {

bool IsFilesRecord(const TDirectoryEntry& record) {
    const TDirectoryEntry* parent = record.ParentIdx;
    if (!parent || record.FolderName != "[files]") return false;
    return std::find(parent->ChildrenEntries.begin(), parent->ChildrenEntries.end(), &record) ==
           parent->ChildrenEntries.end();
}

void PrintLargestFolders(ScanModel& model, std::size_t top) {
    std::vector<TDirectoryEntry*> folders;
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& record) {
        if (record.ParentIdx && !IsFilesRecord(record)) folders.push_back(&record);
    });
    const std::size_t n = std::min(top, folders.size());
    std::partial_sort(folders.begin(), folders.begin() + static_cast<std::ptrdiff_t>(n), folders.end(),
                      [](const TDirectoryEntry* a, const TDirectoryEntry* b) { return a->TotalSize > b->TotalSize; });
    std::printf("Largest folders:\n");
    for (std::size_t i = 0; i < n; ++i)
        std::printf("%s\t%s\n", FormatBytes(folders[i]->TotalSize).c_str(), folders[i]->CalcPath().c_str());
}

void PrintLargestFiles(ScanModel& model, std::size_t top) {
    std::vector<TDiskTreeMapEntry*> files;
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (node.EntryType == EntryType_File && &node != model.FreeSpaceEntry) files.push_back(&node);
    });
    const std::size_t n = std::min(top, files.size());
    std::partial_sort(
        files.begin(), files.begin() + static_cast<std::ptrdiff_t>(n), files.end(),
        [](const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) { return a->SizeTotal > b->SizeTotal; });
    std::printf("Largest files:\n");
    for (std::size_t i = 0; i < n; ++i)
        std::printf("%s\t%s\n", FormatBytes(files[i]->SizeTotal).c_str(), GetNodeFullPath(model, files[i]).c_str());
}

// A live scan leaves a temporary snapshot; a summary has no use for it.
void ForgetTempSnapshot(ScanModel& model) {
    if (Contains(model.TempSnapshotFn, ".temp_snapshot")) DeleteFileIfExists(model.TempSnapshotFn);
    model.TempSnapshotFn.clear();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

}  // namespace

int RunScan(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {"saveas", "comment", "date", "dateoffset"}, {"hardlinks-once"});
    if (!parsed.error.empty() || parsed.positional.size() != 1) {
        std::fprintf(stderr,
                     "%s\nUsage: tandrel-cli scan FOLDER [--saveas NAME] [--comment TEXT] "
                     "[--date YYYYMMDD] [--dateoffset N] [--hardlinks-once]\n",
                     parsed.error.empty() ? "scan takes one folder." : parsed.error.c_str());
        return 2;
    }
    const std::string folder = AbsolutePath(parsed.positional[0]);
    if (!platform::DirectoryExists(folder)) return Fail("Folder not found: " + folder);

    // The snapshot name placeholders read these as the program's own options.
    std::vector<std::string> options;
    for (const char* name : {"date", "dateoffset"})
        if (parsed.options.count(name)) options.push_back(std::string(name) + "=" + parsed.options[name]);
    SetCommandLineArgs(options);
    std::string target;
    if (parsed.options.count("saveas")) {
        try {
            target = ExpandDatePattern(parsed.options["saveas"]);
        } catch (const TandrelError& error) {
            return Fail(error.what());
        }
    }

    ScanModel& model = CurrentModel();
    model.SnapshotsPath = AppSettingsFolder();
    model.HardLinksOnce = parsed.options.count("hardlinks-once") > 0;
    JobOutcome outcome = RunScanJob(model, folder);
    if (!outcome.ok && !outcome.cancelled) return outcome.reported ? 1 : Fail(outcome.error);
    if (model.TempSnapshotFn.empty()) return Fail("No snapshot could be written.");
    if (!target.empty()) {
        const std::string comment = Trim(parsed.options["comment"]);
        if (!Contains(target, ".snapshot")) target += ".snapshot";
        if (!comment.empty()) target = ReplaceAll(target, ".snapshot", " - " + MakeFileNameSafe(comment) + ".snapshot");
        if (!SaveSnapshot(model, target, true)) return Fail("Could not save the snapshot as " + target);
    }
    if (outcome.cancelled) std::fprintf(stderr, "Cancelled: the snapshot holds the part scanned so far.\n");
    std::printf("%s\n", model.TempSnapshotFn.c_str());
    return outcome.cancelled ? 130 : 0;
}

int RunSummary(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {"top"}, {"hardlinks-once"});
    std::int64_t top = 10;
    if (parsed.error.empty() && parsed.options.count("top") && (!TryStrToInt64(parsed.options["top"], top) || top < 0))
        parsed.error = "--top needs a number.";
    if (!parsed.error.empty() || parsed.positional.size() > 1) {
        std::fprintf(stderr, "%s\nUsage: tandrel-cli summary [FOLDER|SNAPSHOT] [--top N] [--hardlinks-once]\n",
                     parsed.error.empty() ? "summary takes one folder or snapshot." : parsed.error.c_str());
        return 2;
    }
    ScanModel& model = CurrentModel();
    model.SnapshotsPath = AppSettingsFolder();
    model.HardLinksOnce = parsed.options.count("hardlinks-once") > 0;
    std::string path = parsed.positional.empty() ? "." : parsed.positional[0];
    path = platform::PathExists(path) ? AbsolutePath(path) : ResolveSnapshotPath(model, path);
    JobOutcome outcome = RunScanJob(model, path);
    if (outcome.liveScan) ForgetTempSnapshot(model);
    if (!outcome.ok) return outcome.reported ? 1 : Fail(outcome.error);

    for (const auto& [description, value] : BuildOverviewRows(model, path, Now()))
        std::printf("%s\t%s\n", description.c_str(), value.c_str());
    if (top > 0) {
        PrintLargestFolders(model, static_cast<std::size_t>(top));
        PrintLargestFiles(model, static_cast<std::size_t>(top));
    }
    return 0;
}

}  // namespace tandrel::cli
