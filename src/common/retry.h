#pragma once
// Retrying file access: another process may hold a file for a moment, and
// sleeping and trying again is the only defence we have against that.
#include <functional>

namespace tandrel {

// How often the retrying file routines try before giving up.
inline constexpr int kRetryAttempts = 11;

// Calls attempt until it returns true, at most `attempts` times, sleeping
// delayMs between failed attempts (not after the last). An exception thrown
// by attempt counts as a failure. True when an attempt succeeded.
bool RetryAttempts(int attempts, int delayMs, const std::function<bool()>& attempt);

namespace test_hooks {
// Replaces the sleep between attempts (it receives the delay in ms), so tests
// neither wait nor lose sight of how often and how long the loops would
// sleep. An empty function restores real sleeping.
void SetRetrySleep(std::function<void(int delayMs)> sleep);
}  // namespace test_hooks

}  // namespace tandrel
