#include "scan/scan_job.h"

#include "common/format_numbers.h"
#include "common/messages.h"
#include "common/strings.h"
#include "platform/file_system.h"
#include "scan/disk_scanner.h"
#include "scan/folder_walk.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_line_format.h"
#include "scan/snapshot_lines.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_store.h"

namespace tandrel {

TThreadDiskTreemap::TThreadDiskTreemap(ScanModel& model) : TWorkerThread(&model.ProgressText), model_(model) {}

TThreadDiskTreemap::~TThreadDiskTreemap() { WaitFor(); }

bool TThreadDiskTreemap::BeforeStart() {
    const std::string& path = model_.ScanPath;
    if (platform::DirectoryExists(path)) {
        liveScan_ = true;
    } else if (platform::FileExists(path)) {
        liveScan_ = false;
    } else {
        Fail("Path not found: " + path);
        return false;
    }
    // Published before the worker starts, so it never hides the worker's own line.
    SetProgress("Working...");
    return true;
}

void TThreadDiskTreemap::Execute() {
    if (!model_.Root()) {
        Fail("the scan model has no root node");
    } else if (liveScan_) {
        RunLiveScan();
    } else {
        RunSnapshotLoad();
    }
}

void TThreadDiskTreemap::RunLiveScan() {
    model_.SnapshotLines.Clear();
    model_.SnapshotLines.Add(kFilesSectionMarker);
    // Lives as long as this scan: links are counted once within one scan only.
    HardLinkSet hardLinks;
    try {
        model_.LastScanStats =
            ScanDirectoryToTreemap(model_, model_.ScanPath, model_.Root(), nullptr, platform::FindRecord{},
                                   model_.HardLinksOnce ? &hardLinks : nullptr);
    } catch (...) {
        model_.SnapshotLines.Clear();  // drops the half-written body
        throw;
    }
    // Also after a cancel: the temporary snapshot holds what was scanned.
    SaveTempSnapshot(model_, model_.ScanPath);
}

void TThreadDiskTreemap::RunSnapshotLoad() {
    SnapshotLineReader reader;
    std::string error;
    if (!LoadExtendedVolume(model_.ScanPath, reader, &error)) {
        Fail("Could not load snapshot " + model_.ScanPath + ": " + error);
        return;
    }
    SeekSectionStart(reader);
    SnapshotLoadReport report;
    LoadSnapshotToTreemap(model_, reader, "", model_.Root(), nullptr, &report);
    skippedLines_ = report.skippedLines;
    if (!report.error.empty()) {
        Fail("Could not load snapshot " + model_.ScanPath + ": " + report.error);
        return;
    }
    model_.DiskTreeMapEntries.ForEach([](TDiskTreeMapEntry& node) { node._Modified = true; });
    {
        std::lock_guard<std::mutex> lock(model_.csModifiedCount);
        model_.DirectoryEntries.ForEach([](TDirectoryEntry& record) { record._ModifiedCount = 1; });
    }
    if (skippedLines_ > 0) {
        GetMessages().AddErrorLine("Snapshot " + model_.ScanPath + " loaded with " + FormatCount(skippedLines_) +
                                   " lines skipped");
    }
}

void TThreadDiskTreemap::OnFail(const std::string& text) {
    // A failed load leaves no half model behind that could pass for the snapshot.
    if (!liveScan_) {
        model_.ResetTreemap(model_.ScanPath, false);
        model_.ResetDirectoryEntries();
    }
    GetMessages().ShowMessage(MessageKind::Error, text);
}

void PrepareScan(ScanModel& model, const std::string& path, bool includeFreeSpace) {
    model.CancelOperation = false;
    model.PauseOperation = false;
    model.ScanPath = ResolveSnapshotPath(model, path);
    if (!model.TempSnapshotFn.empty() && ContainsText(model.TempSnapshotFn, ".temp_snapshot") &&
        platform::FileExists(model.TempSnapshotFn)) {
        platform::DeleteFile(model.TempSnapshotFn);
    }
    model.TempSnapshotFn.clear();
    model.TempSnapshotRootPath.clear();
    model.ResetTreemap(model.ScanPath, includeFreeSpace);
    model.ResetDirectoryEntries();
}

}  // namespace tandrel
