// Local calendar time with the offset in force at each date (localtime_r/mktime).
#include <time.h>

#include <limits>

#include "platform/time_zone.h"

namespace tandrel::platform {

namespace {
bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// mktime would quietly normalise "February 30"; such fields are refused instead.
bool FieldsAreValid(const CalendarFields& f) {
    if (f.month < 1 || f.month > 12) return false;
    if (f.day < 1 || f.day > DaysInMonth(f.year, f.month)) return false;
    return f.hour >= 0 && f.hour <= 23 && f.minute >= 0 && f.minute <= 59 && f.second >= 0 && f.second <= 59 &&
           f.millisecond >= 0 && f.millisecond <= 999;
}
}  // namespace

bool FileTimeToLocalFields(FileTime time, CalendarFields& fields) {
    std::int64_t seconds, nanoseconds;
    FileTimeToUnix(time, seconds, nanoseconds);
    if (seconds < std::numeric_limits<time_t>::min() || seconds > std::numeric_limits<time_t>::max()) {
        return false;
    }
    time_t t = static_cast<time_t>(seconds);
    struct tm tm;
    if (!localtime_r(&t, &tm)) return false;
    fields.year = tm.tm_year + 1900;
    fields.month = tm.tm_mon + 1;
    fields.day = tm.tm_mday;
    fields.hour = tm.tm_hour;
    fields.minute = tm.tm_min;
    // A leap second (only in "right/" zones) shows as the last second of the minute.
    fields.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    fields.millisecond = static_cast<int>(nanoseconds / 1'000'000);
    return true;
}

bool LocalFieldsToFileTime(const CalendarFields& fields, FileTime& time) {
    if (!FieldsAreValid(fields)) return false;
    if (fields.year < std::numeric_limits<int>::min() + 1900) return false;
    struct tm tm = {};
    tm.tm_year = fields.year - 1900;
    tm.tm_mon = fields.month - 1;
    tm.tm_mday = fields.day;
    tm.tm_hour = fields.hour;
    tm.tm_min = fields.minute;
    tm.tm_sec = fields.second;
    tm.tm_isdst = -1;  // let the zone rules decide, as for any date
    // mktime returns -1 both for failure and for 1969-12-31 23:59:59 UTC; an
    // untouched week day tells them apart.
    tm.tm_wday = -1;
    time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1) && tm.tm_wday == -1) return false;
    FileTime result = FileTimeFromUnix(t, static_cast<std::int64_t>(fields.millisecond) * 1'000'000);
    if (result == 0 && t != -11'644'473'600) return false;  // beyond a file time's range
    time = result;
    return true;
}

CalendarFields NowLocalFields() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    CalendarFields fields;
    FileTimeToLocalFields(FileTimeFromUnix(now.tv_sec, now.tv_nsec), fields);
    return fields;
}

}  // namespace tandrel::platform
