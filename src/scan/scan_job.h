#pragma once
// The worker that fills the scan model: a live scan of a folder (saved as a
// temporary snapshot afterwards) or the load of a snapshot file.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "scan/scan_model.h"

namespace tandrel {

class TThreadDiskTreemap {
public:
    explicit TThreadDiskTreemap(ScanModel& model);
    // Waits for the worker; stopping it early is the caller's (AppClosing).
    ~TThreadDiskTreemap();
    TThreadDiskTreemap(const TThreadDiskTreemap&) = delete;
    TThreadDiskTreemap& operator=(const TThreadDiskTreemap&) = delete;

    // Decides from model.ScanPath what to do and starts the worker. A path
    // that is neither a folder nor a file starts nothing: Failed() is then true.
    void Start();
    void WaitFor();

    // True from Start until the worker's last action.
    std::atomic<bool> threadRunning{false};

    bool IsLiveScan() const { return liveScan_; }
    // Read these after threadRunning went false.
    bool Failed() const { return failed_; }
    const std::string& ErrorText() const { return error_; }
    std::int64_t SkippedLines() const { return skippedLines_; }

private:
    // The worker body, run by Start on the thread.
    void Execute();
    void RunLiveScan();
    void RunSnapshotLoad();
    void Fail(const std::string& text);

    ScanModel& model_;
    std::thread thread_;
    bool liveScan_ = false;
    bool failed_ = false;
    std::string error_;
    std::int64_t skippedLines_ = 0;
};

// What a starter does before a scan or load: clears the flags, sets ScanPath
// (a bare snapshot name is looked up in the snapshot folders), deletes the
// recorded temporary snapshot and resets both halves of the model.
void PrepareScan(ScanModel& model, const std::string& path, bool includeFreeSpace);

}  // namespace tandrel
