#pragma once
// Running a scan or snapshot load from the command line: progress on standard
// error while it is a terminal, Ctrl-C cancels like the Cancel button.
#include <atomic>
#include <functional>
#include <string>

#include "scan/scan_model.h"

namespace tandrel::cli {

struct JobOutcome {
    bool ok = false;  // the job ran to its end (a cancelled scan is not ok)
    bool cancelled = false;
    bool liveScan = false;
    std::string error;
    bool reported = false;  // the job has shown the error itself
};

// Calls start (which starts a worker), then waits while running is set,
// showing the model's progress line; Ctrl-C sets CancelOperation and the
// filtered scanner's cancel flag.
void RunShowingProgress(ScanModel& model, const std::function<void()>& start, const std::atomic<bool>& running);

// Scans the folder or loads the snapshot file at path into the model and waits.
JobOutcome RunScanJob(ScanModel& model, const std::string& path);

// The path made absolute against the current folder, without trailing "/".
std::string AbsolutePath(const std::string& path);

}  // namespace tandrel::cli
