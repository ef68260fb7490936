#pragma once
// The worker of a snapshot comparison: loads the left snapshot and the right
// snapshot (or scans the right folder), sorts, merges and finds moves.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/worker_thread.h"
#include "compare/snapshot_compare.h"
#include "scan/scan_model.h"

namespace tandrel {

class TThreadCompareSnapshots : public TWorkerThread {
public:
    // Its progress line is the model's ProgressText.
    TThreadCompareSnapshots(ScanModel& model, TSnapshotComparison& comparison);
    // Waits for the worker; stopping it early is the caller's (CancelOperation).
    ~TThreadCompareSnapshots() override;

    // Start compares the comparison's RightPath and LeftPath, set before. A
    // cancelled run is not a failure; it ends quietly. Read this after
    // threadRunning went false.
    std::int64_t SkippedLines() const { return skippedLines_; }

private:
    void Execute() override;
    std::string ErrorPrefix() const override { return "Snapshot comparison failed: "; }
    void OnFail(const std::string& text) override;
    bool LoadRightSide();
    bool LoadSnapshot(const std::string& file, TOwningStore<TFileEntry>& files, TOwningStore<TDirectoryEntry>& folders);
    void Compare();
    // Publishes one progress line; false when the run is to stop.
    bool Step(std::string_view text);
    bool Stopped();

    ScanModel& model_;
    TSnapshotComparison& lists_;
    std::int64_t skippedLines_ = 0;
};

namespace test_hooks {
// Called with every progress line of the comparison steps, right after it is
// published. Set it while no comparison runs; an empty function removes it.
void SetCompareStepHook(std::function<void(std::string_view step)> hook);
}  // namespace test_hooks

}  // namespace tandrel
