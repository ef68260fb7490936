#include "compare/snapshot_compare_thread.h"

#include "common/format_numbers.h"
#include "common/messages.h"
#include "common/paths.h"
#include "platform/file_system.h"
#include "scan/disk_scanner.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_lines.h"
#include "scan/snapshot_loader.h"

namespace tandrel {

namespace {
std::function<void(std::string_view)>& StepHook() {
    static std::function<void(std::string_view)> hook;
    return hook;
}
}  // namespace

namespace test_hooks {
void SetCompareStepHook(std::function<void(std::string_view step)> hook) { StepHook() = std::move(hook); }
}  // namespace test_hooks

TThreadCompareSnapshots::TThreadCompareSnapshots(ScanModel& model, TSnapshotComparison& comparison)
    : TWorkerThread(&model.ProgressText), model_(model), lists_(comparison) {}

TThreadCompareSnapshots::~TThreadCompareSnapshots() { WaitFor(); }

void TThreadCompareSnapshots::Execute() {
    model_.ListScanDepth = 0;
    lists_.ClearInputs();
    Progress().Clear();

    const std::string& right = lists_.RightPath;
    const std::string& left = lists_.LeftPath;
    // A missing side would compare as "everything new" or "everything
    // deleted", or as no change at all: an error, not an empty result.
    if (!platform::FileExists(right) && !platform::DirectoryExists(right)) {
        Fail("Snapshot not found: " + right);
        return;
    }
    if (!platform::FileExists(left)) {
        Fail("Snapshot not found: " + left);
        return;
    }
    if (!LoadRightSide() || Stopped()) return;
    Step("Processing left snapshot...");
    if (!LoadSnapshot(left, lists_.LeftFiles, lists_.LeftFolders)) return;
    Progress().Clear();
    Compare();
}

bool TThreadCompareSnapshots::LoadRightSide() {
    Step("Processing right snapshot...");
    lists_.ComparisonScope.clear();
    const std::string& right = lists_.RightPath;
    if (platform::FileExists(right)) return LoadSnapshot(right, lists_.RightFiles, lists_.RightFolders);
    if (!platform::DirectoryExists(right)) {
        Fail("Right snapshot or volume unavailable");
        return false;
    }
    // The same absolute form a snapshot stores, so the scope test compares
    // like with like.
    const std::string folder = RemoveTrailingBackslash(ExpandFileName(right));
    ScanDirectoryToLists(model_, folder, lists_.RightFiles, lists_.RightFolders, nullptr);
    if (Stopped()) return false;
    lists_.ComparisonScope = ComparisonScopeOf(folder);
    return true;
}

bool TThreadCompareSnapshots::LoadSnapshot(const std::string& file, TOwningStore<TFileEntry>& files,
                                           TOwningStore<TDirectoryEntry>& folders) {
    SnapshotLineReader reader;
    std::string error;
    if (!LoadExtendedVolume(file, reader, &error)) {
        Fail("Could not load snapshot " + file + ": " + error);
        return false;
    }
    if (Stopped()) return false;
    SeekSectionStart(reader);
    SnapshotLoadReport report;
    LoadSnapshotToLists(model_, reader, "", files, folders, nullptr, &report);
    skippedLines_ += report.skippedLines;
    if (Stopped()) return false;
    // A half-read side would show everything after the damage as new or
    // deleted: the comparison stops instead.
    if (!report.error.empty()) {
        Fail("Could not load snapshot " + file + ": " + report.error);
        return false;
    }
    if (report.skippedLines > 0) {
        GetMessages().AddErrorLine("Snapshot " + file + " loaded with " + FormatCount(report.skippedLines) +
                                   " lines skipped");
    }
    return true;
}

void TThreadCompareSnapshots::Compare() {
    if (!Step("Comparing snapshots...")) return;
    if (!Step("Sorting files list 1...")) return;
    lists_.SortLeftFiles();
    if (!Step("Sorting files list 2...")) return;
    lists_.SortRightFiles();
    if (!Step("Processing directories...")) return;
    lists_.MergeFolders();
    if (!Step("Comparing files...")) return;
    lists_.MergeFiles();
}

bool TThreadCompareSnapshots::Step(std::string_view text) {
    if (Stopped()) return false;
    SetProgress(text);
    if (auto& hook = StepHook()) hook(text);
    return true;
}

bool TThreadCompareSnapshots::Stopped() { return !model_.WaitWhilePaused(); }

void TThreadCompareSnapshots::OnFail(const std::string& text) {
    SetProgress(text);
    GetMessages().ShowMessage(MessageKind::Error, text);
}

}  // namespace tandrel
