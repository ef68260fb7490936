#include "common/late_execute.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

#include "common/messages.h"

namespace tandrel {

namespace {

using Clock = std::chrono::steady_clock;

struct Entry {
    Clock::time_point due;
    std::uint64_t sequence = 0;  // keeps calls with the same due time in queue order
    std::function<void()> call;
};

struct Queue {
    std::mutex lock;
    std::vector<Entry> entries;
    std::uint64_t nextSequence = 0;
    std::function<void(int)> wakeup;
    LateExecuteClock clock;
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

// Caller holds the lock.
Clock::time_point NowLocked(const Queue& q) { return q.clock ? q.clock() : Clock::now(); }

bool DueBefore(const Entry& a, const Entry& b) { return a.due != b.due ? a.due < b.due : a.sequence < b.sequence; }

// Caller holds the lock.
int DelayLocked(const Queue& q, Clock::time_point now) {
    if (q.entries.empty()) return -1;
    const auto next = std::min_element(q.entries.begin(), q.entries.end(), DueBefore)->due;
    if (next <= now) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::min<std::int64_t>(ms, INT32_MAX));
}

void Wake(int delayMs, const std::function<void(int)>& wakeup) {
    if (wakeup && delayMs >= 0) wakeup(delayMs);
}

void RunReportingErrors(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        GetMessages().ShowMessage(MessageKind::Error, e.what());
    } catch (...) {
        GetMessages().ShowMessage(MessageKind::Error, "Unknown exception in a deferred call");
    }
}

}  // namespace

void LateExecute(int milliseconds, std::function<void()> call) {
    if (!call) return;
    Queue& q = TheQueue();
    std::function<void(int)> wakeup;
    int delay = 0;
    {
        std::lock_guard<std::mutex> guard(q.lock);
        const Clock::time_point now = NowLocked(q);
        q.entries.push_back(
            {now + std::chrono::milliseconds(std::max(milliseconds, 0)), q.nextSequence++, std::move(call)});
        delay = DelayLocked(q, now);
        wakeup = q.wakeup;
    }
    Wake(delay, wakeup);
}

int DrainLateExecute() {
    Queue& q = TheQueue();
    std::vector<Entry> due;
    {
        std::lock_guard<std::mutex> guard(q.lock);
        const Clock::time_point now = NowLocked(q);
        const auto firstLater =
            std::stable_partition(q.entries.begin(), q.entries.end(), [now](const Entry& e) { return e.due <= now; });
        due.assign(std::make_move_iterator(q.entries.begin()), std::make_move_iterator(firstLater));
        q.entries.erase(q.entries.begin(), firstLater);
    }
    std::sort(due.begin(), due.end(), DueBefore);
    for (const Entry& entry : due) RunReportingErrors(entry.call);

    std::function<void(int)> wakeup;
    int delay = -1;
    {
        std::lock_guard<std::mutex> guard(q.lock);
        delay = DelayLocked(q, NowLocked(q));
        wakeup = q.wakeup;
    }
    Wake(delay, wakeup);
    return static_cast<int>(due.size());
}

int NextLateExecuteDelayMs() {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> guard(q.lock);
    return DelayLocked(q, NowLocked(q));
}

void SetLateExecuteWakeup(std::function<void(int delayMs)> wakeup) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> guard(q.lock);
    q.wakeup = std::move(wakeup);
}

void SetLateExecuteClock(LateExecuteClock clock) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> guard(q.lock);
    q.clock = std::move(clock);
}

}  // namespace tandrel
