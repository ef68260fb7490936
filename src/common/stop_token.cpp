#include "common/stop_token.h"

#include <chrono>
#include <thread>

namespace tandrel {

namespace {
constexpr int kDefaultPauseStepMs = 500;
std::atomic<int> pauseStepMs{kDefaultPauseStepMs};
}  // namespace

namespace test_hooks {
void SetPauseStepMs(int ms) { pauseStepMs = ms > 0 ? ms : kDefaultPauseStepMs; }
}  // namespace test_hooks

bool TStopToken::WaitWhilePaused() const {
    if (!PauseOperation.load(std::memory_order_relaxed)) return !StopRequested();
    ++pausedWorkers_;
    while (PauseOperation.load() && !StopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseStepMs.load()));
    --pausedWorkers_;
    return !StopRequested();
}

}  // namespace tandrel
