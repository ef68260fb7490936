#pragma once
// The worker that fills the scan model: a live scan of a folder (saved as a
// temporary snapshot afterwards) or the load of a snapshot file.
#include <cstdint>
#include <string>

#include "common/worker_thread.h"
#include "scan/scan_model.h"

namespace tandrel {

class TThreadDiskTreemap : public TWorkerThread {
public:
    // Its progress line is the model's ProgressText.
    explicit TThreadDiskTreemap(ScanModel& model);
    // Waits for the worker; stopping it early is the caller's (AppClosing).
    ~TThreadDiskTreemap() override;

    bool IsLiveScan() const { return liveScan_; }
    // Read it after threadRunning went false.
    std::int64_t SkippedLines() const { return skippedLines_; }

private:
    // Decides from model.ScanPath what to do. A path that is neither a
    // folder nor a file starts nothing: Failed() is then true.
    bool BeforeStart() override;
    void Execute() override;
    std::string ErrorPrefix() const override { return "Scan failed: "; }
    void OnFail(const std::string& text) override;
    void RunLiveScan();
    void RunSnapshotLoad();

    ScanModel& model_;
    bool liveScan_ = false;
    std::int64_t skippedLines_ = 0;
};

// What a starter does before a scan or load: clears the flags, sets ScanPath
// (a bare snapshot name is looked up in the snapshot folders), deletes the
// recorded temporary snapshot and resets both halves of the model.
void PrepareScan(ScanModel& model, const std::string& path, bool includeFreeSpace);

}  // namespace tandrel
