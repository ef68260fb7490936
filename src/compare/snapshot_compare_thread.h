#pragma once
// The worker of a snapshot comparison: loads the left snapshot and the right
// snapshot (or scans the right folder), sorts, merges and finds moves.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "compare/snapshot_compare.h"
#include "scan/scan_model.h"

namespace tandrel {

class TThreadCompareSnapshots {
public:
    explicit TThreadCompareSnapshots(ScanModel& model = CurrentModel(),
                                     TSnapshotComparison& comparison = CurrentSnapshotComparison());
    // Waits for the worker; stopping it early is the caller's (CancelOperation).
    ~TThreadCompareSnapshots();
    TThreadCompareSnapshots(const TThreadCompareSnapshots&) = delete;
    TThreadCompareSnapshots& operator=(const TThreadCompareSnapshots&) = delete;

    // Sets threadRunning, then runs Execute on the worker. The paths are the
    // comparison's RightPath and LeftPath, set before.
    void Start();
    void WaitFor();
    // The whole comparison on the calling thread.
    void Execute();

    // True from Start until the worker's last action, also when it failed.
    std::atomic<bool> threadRunning{false};

    // Read these after threadRunning went false. A cancelled run is not a
    // failure; it ends quietly.
    bool Failed() const { return failed_; }
    const std::string& ErrorText() const { return error_; }
    std::int64_t SkippedLines() const { return skippedLines_; }

private:
    void Run();
    bool LoadRightSide();
    bool LoadSnapshot(const std::string& file, TOwningStore<TFileEntry>& files, TOwningStore<TDirectoryEntry>& folders);
    void Compare();
    // Publishes one progress line; false when the run is to stop.
    bool Step(std::string_view text);
    bool Stopped();
    void Fail(const std::string& text);

    ScanModel& model_;
    TSnapshotComparison& lists_;
    std::thread thread_;
    bool failed_ = false;
    std::string error_;
    std::int64_t skippedLines_ = 0;
};

namespace test_hooks {
// Called with every progress line of the comparison steps, right after it is
// published. Set it while no comparison runs; an empty function removes it.
void SetCompareStepHook(std::function<void(std::string_view step)> hook);
}  // namespace test_hooks

}  // namespace tandrel
