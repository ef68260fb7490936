// Calendar arithmetic and the fixed date-time texts. The text routines run
// once per file in every scan and snapshot load, so they are written by hand:
// no streams, no locale, no temporary strings.
#include "common/date_time.h"

#include <cmath>

namespace tandrel {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Day numbers of the day before 0001-01-01 and of the day after 9999-12-31;
// values strictly between them are calendar dates (negative days count their
// time of day towards minus infinity).
constexpr double kBeforeFirstDay = -693594;
constexpr double kEndDay = 2958466;

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// 1899-12-30 is day 0; 1970-01-01 is day 25569.
constexpr std::int64_t kUnixEpochDay = 25569;

char* PutDigits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Writes "yyyy-mm-dd hh:nn:ss" and, with ms, ".zzz"; returns the length.
std::size_t PutDateTime(char* buffer, TDateTime value, bool ms) {
    const platform::CalendarFields f = DecodeDateTime(value);
    char* p = PutDigits(buffer, f.year, 4);
    *p++ = '-';
    p = PutDigits(p, f.month, 2);
    *p++ = '-';
    p = PutDigits(p, f.day, 2);
    *p++ = ' ';
    p = PutDigits(p, f.hour, 2);
    *p++ = ':';
    p = PutDigits(p, f.minute, 2);
    *p++ = ':';
    p = PutDigits(p, f.second, 2);
    if (ms) {
        *p++ = '.';
        p = PutDigits(p, f.millisecond, 3);
    }
    return static_cast<std::size_t>(p - buffer);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads minDigits..maxDigits decimal digits; more digits than that fail.
bool ReadNumber(const char*& p, const char* end, int minDigits, int maxDigits, int& value) {
    int count = 0;
    value = 0;
    while (p < end && IsDigit(*p)) {
        if (++count > maxDigits) return false;
        value = value * 10 + (*p - '0');
        ++p;
    }
    return count >= minDigits;
}

bool ReadChar(const char*& p, const char* end, char c) {
    if (p == end || *p != c) return false;
    ++p;
    return true;
}

void SkipBlanks(const char*& p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
}

// "AM" or "PM" in any case; adjusts a 12-hour clock value.
bool ReadDayHalf(const char*& p, const char* end, int& hour, bool& found) {
    found = false;
    if (end - p < 2) return true;
    const char first = static_cast<char>(p[0] & ~0x20);
    const char second = static_cast<char>(p[1] & ~0x20);
    if ((first != 'A' && first != 'P') || second != 'M') return true;
    if (hour < 1 || hour > 12) return false;
    if (first == 'A' && hour == 12) hour = 0;
    if (first == 'P' && hour != 12) hour += 12;
    p += 2;
    found = true;
    return true;
}

// The time part after the date: "hh", "hh:nn" or "hh:nn:ss[.fraction]".
bool ReadTime(const char*& p, const char* end, int& hour, int& minute, int& second) {
    if (!ReadNumber(p, end, 1, 2, hour)) return false;
    bool hasSeconds = false;
    if (ReadChar(p, end, ':')) {
        if (!ReadNumber(p, end, 1, 2, minute)) return false;
        if (ReadChar(p, end, ':')) {
            if (!ReadNumber(p, end, 1, 2, second)) return false;
            hasSeconds = true;
            if (p < end && (*p == '.' || *p == ',')) {
                ++p;
                while (p < end && IsDigit(*p)) ++p;
            }
        }
    }
    const char* beforeMarker = p;
    SkipBlanks(p, end);
    bool marker = false;
    if (!ReadDayHalf(p, end, hour, marker)) return false;
    if (!marker) p = beforeMarker;
    if (hasSeconds) return true;  // whatever follows the seconds is ignored
    SkipBlanks(p, end);
    return p == end;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

TDateTime Now() {
    const platform::CalendarFields f = platform::NowLocalFields();
    TDateTime result = 0;
    TryEncodeDateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond, result);
    return result;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 || millisecond > 999)
        return false;
    const double days = static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochDay);
    const double time = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / kMsPerDay;
    // Before 1899-12-30 the fraction still counts forward from midnight.
    result = days >= 0 ? days + time : days - time;
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    TDateTime result = 0;
    if (!TryEncodeDateTime(year, month, day, hour, minute, second, millisecond, result))
        throw TandrelError("Invalid date or time: " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                           std::to_string(day) + " " + std::to_string(hour) + ":" + std::to_string(minute) + ":" +
                           std::to_string(second) + "." + std::to_string(millisecond));
    return result;
}

platform::CalendarFields DecodeDateTime(TDateTime value) {
    if (!std::isfinite(value) || value <= kBeforeFirstDay || value >= kEndDay) value = 0;
    const double whole = std::trunc(value);
    std::int64_t day = static_cast<std::int64_t>(whole);
    std::int64_t ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {  // 23:59:59.9995 and later round into the next day
        ms -= kMsPerDay;
        ++day;
    }
    platform::CalendarFields f;
    CivilFromDays(day - kUnixEpochDay, f.year, f.month, f.day);
    f.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    f.second = static_cast<int>(ms % 60);
    ms /= 60;
    f.minute = static_cast<int>(ms % 60);
    f.hour = static_cast<int>(ms / 60);
    return f;
}

std::string FormatDateTimeMs(TDateTime value) {
    char buffer[32];
    return std::string(buffer, PutDateTime(buffer, value, true));
}

std::string FormatDateTimeSec(TDateTime value) {
    char buffer[32];
    return std::string(buffer, PutDateTime(buffer, value, false));
}

void AppendDateTimeMs(std::string& out, TDateTime value) {
    char buffer[32];
    out.append(buffer, PutDateTime(buffer, value, true));
}

void AppendDateTimeSec(std::string& out, TDateTime value) {
    char buffer[32];
    out.append(buffer, PutDateTime(buffer, value, false));
}

bool TryParseIsoDateTime(std::string_view text, TDateTime& result) {
    const char* p = text.data();
    const char* end = p + text.size();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    SkipBlanks(p, end);
    if (!ReadNumber(p, end, 4, 4, year) || !ReadChar(p, end, '-') || !ReadNumber(p, end, 1, 2, month) ||
        !ReadChar(p, end, '-') || !ReadNumber(p, end, 1, 2, day))
        return false;
    const char* afterDate = p;
    while (p < end && (*p == ' ' || *p == '\t' || *p == 'T')) ++p;
    if (p < end) {
        if (p == afterDate || !ReadTime(p, end, hour, minute, second)) return false;
    }
    return TryEncodeDateTime(year, month, day, hour, minute, second, 0, result);
}

TDateTime ParseIsoDateTime(std::string_view text) {
    TDateTime result = 0;
    if (!TryParseIsoDateTime(text, result))
        throw TandrelError("'" + std::string(text) + "' is not a valid date and time");
    return result;
}

}  // namespace tandrel
