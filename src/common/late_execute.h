#pragma once
// Calls deferred to the window's thread: each runs once, after its delay, at
// the next DrainLateExecute on or after its due time. Any thread may enqueue.
#include <chrono>
#include <functional>

namespace tandrel {

// Queues a one-shot call due after the given delay (negative counts as 0).
// The call never runs inside LateExecute itself, not even with 0 ms.
void LateExecute(int milliseconds, std::function<void()> call);
// Runs, on the calling thread and in due order, every call that is due now;
// calls queued meanwhile (also by the calls themselves) wait for the next
// drain. An exception from a call is shown as an error and the others still
// run. Returns how many calls ran.
int DrainLateExecute();
// Milliseconds until the next call is due (0 when one is due), -1 when none.
int NextLateExecuteDelayMs();
// Told the delay until the next due call whenever a call is queued, and after
// a drain that leaves calls waiting; the window arms its timer with it. It
// may be called on any thread, so it only arms a timer and never drains the
// queue itself. An empty function removes the hook.
void SetLateExecuteWakeup(std::function<void(int delayMs)> wakeup);
// The clock due times are read from: the steady clock, or for tests a clock
// they move themselves, so no test sleeps until a call is due. It is read
// under the queue's lock and must not queue calls. An empty function brings
// back the steady clock.
using LateExecuteClock = std::function<std::chrono::steady_clock::time_point()>;
void SetLateExecuteClock(LateExecuteClock clock);

}  // namespace tandrel
