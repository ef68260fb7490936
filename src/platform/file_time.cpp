#include "platform/file_system.h"

namespace tandrel::platform {

namespace {
constexpr std::int64_t TicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t EpochDifference = 11'644'473'600;
}  // namespace

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    // Normalise so that nanoseconds lie in [0, 1e9): times before 1970 may come
    // as negative seconds with a positive or negative fraction.
    seconds += nanoseconds / 1'000'000'000;
    nanoseconds %= 1'000'000'000;
    if (nanoseconds < 0) {
        nanoseconds += 1'000'000'000;
        seconds -= 1;
    }
    std::int64_t ticks;
    if (__builtin_add_overflow(seconds, EpochDifference, &ticks) ||
        __builtin_mul_overflow(ticks, TicksPerSecond, &ticks) ||
        __builtin_add_overflow(ticks, nanoseconds / 100, &ticks)) {
        return 0;  // beyond what a file time can hold: no time
    }
    return ticks;
}

void FileTimeToUnix(FileTime time, std::int64_t& seconds, std::int64_t& nanoseconds) {
    // Floor division keeps the fraction non-negative for times before 1970.
    std::int64_t whole = time / TicksPerSecond;
    std::int64_t rest = time % TicksPerSecond;
    if (rest < 0) {
        rest += TicksPerSecond;
        whole -= 1;
    }
    seconds = whole - EpochDifference;
    nanoseconds = rest * 100;
}

}  // namespace tandrel::platform
