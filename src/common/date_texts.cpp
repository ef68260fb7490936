// File times as local date-times, timestamped names and duration texts.
#include <cmath>
#include <cstdlib>

#include "common/date_time.h"

namespace tandrel {

namespace {

void AppendPadded(std::string& out, std::int64_t value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

// Steps 2 and 3 of a duration text: "1d 1h 1m 1s" of a non-negative count.
std::string DurationText(std::int64_t s) {
    std::string out;
    const auto part = [&out](std::int64_t value, char unit) {
        out += std::to_string(value);
        out += unit;
        out += ' ';
    };
    const std::int64_t d = s / 86400, h = s % 86400 / 3600, m = s % 3600 / 60, sec = s % 60;
    if (d > 0) part(d, 'd');
    if (h > 0) part(h, 'h');
    if (m > 0) part(m, 'm');
    if (sec > 0 || out.empty()) part(sec, 's');
    out.pop_back();
    return out;
}

// Whole seconds of a day count; far out-of-range values saturate instead of
// overflowing the conversion.
std::int64_t RoundedSeconds(double days) {
    const double s = std::round(days * 86400.0);
    if (std::isnan(s)) return 0;
    if (s >= 9.2e18) return INT64_MAX;
    if (s <= -9.2e18) return -INT64_MAX;
    return static_cast<std::int64_t>(s);
}

}  // namespace

TDateTime FileTimeToLocalDateTime(platform::FileTime time) {
    if (time == 0) return 0;
    platform::CalendarFields f;
    if (!platform::FileTimeToLocalFields(time, f)) return 0;
    if (f.year < 1800 || f.year > 3000) return 0;
    TDateTime result = 0;
    if (!TryEncodeDateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond, result)) return 0;
    return result;
}

platform::FileTime LocalDateTimeToFileTime(TDateTime value) {
    if (value == 0) return 0;
    platform::FileTime time = 0;
    if (!platform::LocalFieldsToFileTime(DecodeDateTime(value), time)) return 0;
    return time;
}

TDateTime FileModificationTime(const std::string& file) {
    platform::FileTime lastWrite = 0;
    if (!platform::GetFileTimes(file, nullptr, &lastWrite)) return 0;
    return FileTimeToLocalDateTime(lastWrite);
}

std::string AddTimestampToFileName(std::string_view name) { return AddTimestampToFileName(name, Now()); }

std::string AddTimestampToFileName(std::string_view name, TDateTime at) {
    // Only a dot in the last path component starts an extension.
    const std::size_t slash = name.rfind(platform::PathDelim);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) dot = name.size();
    const std::string_view base = name.substr(0, dot);
    std::string out(base);
    if (!base.empty() && base.back() != '_' && base.back() != platform::PathDelim) out += '_';
    const platform::CalendarFields f = DecodeDateTime(at);
    AppendPadded(out, f.year, 4);
    AppendPadded(out, f.month, 2);
    AppendPadded(out, f.day, 2);
    out += '_';
    AppendPadded(out, f.hour, 2);
    AppendPadded(out, f.minute, 2);
    AppendPadded(out, f.second, 2);
    out += '_';
    AppendPadded(out, f.millisecond, 3);
    out += name.substr(dot);
    return out;
}

std::string FormatHms(std::int64_t seconds) {
    std::string out;
    std::uint64_t s = seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    if (seconds < 0) out += '-';
    AppendPadded(out, static_cast<std::int64_t>(s / 3600), 2);
    out += ':';
    AppendPadded(out, static_cast<std::int64_t>(s % 3600 / 60), 2);
    out += ':';
    AppendPadded(out, static_cast<std::int64_t>(s % 60), 2);
    return out;
}

std::string FormatDuration(TDateTime days) {
    const std::int64_t s = RoundedSeconds(days);
    // The sign follows the rounded count, so a tiny negative rest is plain "0s".
    if (s < 0) return "(-)" + DurationText(-s);
    return DurationText(s);
}

std::string FormatRelativeTime(bool allowPast, TDateTime x) { return FormatRelativeTime(allowPast, x, Now()); }

std::string FormatRelativeTime(bool allowPast, TDateTime x, TDateTime now) {
    const std::int64_t s = RoundedSeconds(x - now);
    if (s < 0 && !allowPast) return "<expired>";
    if (s < 0) return DurationText(-s) + " ago";
    return DurationText(s);
}

}  // namespace tandrel
