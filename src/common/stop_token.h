#pragma once
// The one place where a job learns that it must stop or wait: the window's
// Cancel and Pause buttons and the window's close set these flags, and every
// engine polls the token it was handed. The scan model is such a token, so
// every job that works on a model stops through that model.
#include <atomic>

namespace tandrel {

class TStopToken {
public:
    std::atomic<bool> CancelOperation{false};
    std::atomic<bool> PauseOperation{false};
    std::atomic<bool> AppClosing{false};

    // True when a cancel or close was asked for.
    bool StopRequested() const { return CancelOperation.load() || AppClosing.load(); }
    // Sleeps in pause steps (500 ms) while paused; false when a stop was asked for.
    bool WaitWhilePaused() const;
    // Clears cancel and pause for a new job; a close stays.
    void ClearForNewJob() {
        CancelOperation = false;
        PauseOperation = false;
    }
    // Workers sleeping in WaitWhilePaused now: a test waits for this rather
    // than for a guessed time.
    int PausedWorkers() const { return pausedWorkers_.load(); }

private:
    mutable std::atomic<int> pausedWorkers_{0};
};

namespace test_hooks {
// Length of one sleep step while paused (500 ms unless a test shortens it);
// 0 or less restores the default.
void SetPauseStepMs(int ms);
}  // namespace test_hooks

}  // namespace tandrel
