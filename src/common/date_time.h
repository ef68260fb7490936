#pragma once
// Date-times as day counts since 1899-12-30 (local time): calendar
// arithmetic, the fixed "yyyy-mm-dd hh:nn:ss.zzz" texts of the stored formats
// and their reader, file times, and duration texts.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/types.h"
#include "platform/file_system.h"
#include "platform/time_zone.h"

namespace tandrel {

// The current local time.
TDateTime Now();

// Proleptic Gregorian calendar, no time zone. Years 1..9999; throws
// TandrelError when a field is out of range.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       TDateTime& result);
// Fields of a date-time, rounded to the nearest millisecond. A value that is
// not finite or lies far outside the calendar decodes as 1899-12-30 00:00.
platform::CalendarFields DecodeDateTime(TDateTime value);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// "yyyy-mm-dd hh:nn:ss.zzz" and "yyyy-mm-dd hh:nn:ss", whatever the locale.
std::string FormatDateTimeMs(TDateTime value);
std::string FormatDateTimeSec(TDateTime value);
// The same texts appended to out (no temporary strings on hot paths).
void AppendDateTimeMs(std::string& out, TDateTime value);
void AppendDateTimeSec(std::string& out, TDateTime value);

// Reads "yyyy-mm-dd" optionally followed by blanks or "T" and "hh", "hh:nn"
// or "hh:nn:ss" (month, day and time fields may have one digit), an optional
// AM/PM marker; a fraction after the seconds and anything after it are
// ignored. Throws TandrelError when the text is not such a date.
TDateTime ParseIsoDateTime(std::string_view text);
bool TryParseIsoDateTime(std::string_view text, TDateTime& result);

// Local date-time of a file time; 0 for the zero time, for a time that
// cannot be converted and for years outside 1800..3000.
TDateTime FileTimeToLocalDateTime(platform::FileTime time);
// The inverse; 0 for the date-time 0 ("no time") or when it cannot be converted.
platform::FileTime LocalDateTimeToFileTime(TDateTime value);
// Last-write time of a file; 0 when it is missing or unreadable.
TDateTime FileModificationTime(const std::string& file);

// "base_yyyymmdd_hhnnss_zzz.ext" with the current time.
std::string AddTimestampToFileName(std::string_view name);
std::string AddTimestampToFileName(std::string_view name, TDateTime at);

// "hh:nn:ss"; hours may have more than two digits. Negative counts get "-".
std::string FormatHms(std::int64_t seconds);
// "1d 1h 1m 1s", "1h", "0s"; negative durations get "(-)" in front.
std::string FormatDuration(TDateTime days);
// The duration from now to x; "<expired>" for a past x unless allowPast,
// then the duration followed by " ago".
std::string FormatRelativeTime(bool allowPast, TDateTime x);
std::string FormatRelativeTime(bool allowPast, TDateTime x, TDateTime now);

// Replaces [d] [dd] [m] [mm] [yy] [yyyy] [hh] [ii] [ss] by the parts of the
// reference date: the command-line option "date" (yyyymmdd, yyyy-mm-dd or
// yyyy/mm/dd) or now, plus the option "dateoffset" in days. Throws
// TandrelError for a malformed option.
std::string ExpandDatePattern(std::string_view pattern);

}  // namespace tandrel
