#include "common/retry.h"

#include <chrono>
#include <exception>
#include <mutex>
#include <thread>

namespace tandrel {

namespace {

std::mutex sleepMutex;
std::function<void(int)> sleepOverride;

void SleepBetweenAttempts(int delayMs) {
    std::function<void(int)> sleep;
    {
        std::lock_guard<std::mutex> lock(sleepMutex);
        sleep = sleepOverride;
    }
    if (sleep) {
        sleep(delayMs);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
}

}  // namespace

bool RetryAttempts(int attempts, int delayMs, const std::function<bool()>& attempt) {
    for (int i = 1; i <= attempts; ++i) {
        bool ok = false;
        try {
            ok = attempt();
        } catch (const std::exception&) {
            ok = false;
        }
        if (ok) return true;
        if (i < attempts) SleepBetweenAttempts(delayMs);
    }
    return false;
}

namespace test_hooks {
void SetRetrySleep(std::function<void(int delayMs)> sleep) {
    std::lock_guard<std::mutex> lock(sleepMutex);
    sleepOverride = std::move(sleep);
}
}  // namespace test_hooks

}  // namespace tandrel
