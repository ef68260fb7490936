// Date patterns of automatic snapshot names.
#include <charconv>

#include "common/command_line.h"
#include "common/date_time.h"

namespace tandrel {

namespace {

TandrelError InvalidDate(const std::string& text) {
    return TandrelError("invalid date " + text + ". Date format= yyyymmdd / yyyy-mm-dd / yyyy/mm/dd");
}

// The option "date" as a date-time, or now when it is not given.
TDateTime ReferenceDate() {
    const std::string option = GetOption("date");
    if (option.empty()) return Now();
    std::string text = option;
    for (char& c : text)
        if (c == '/') c = '-';
    if (text.size() == 8) text = text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') throw InvalidDate(option);
    int fields[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        const char* first = text.data() + starts[i];
        const char* last = first + lengths[i];
        const auto [ptr, ec] = std::from_chars(first, last, fields[i]);
        if (ec != std::errc() || ptr != last || *first == '-' || *first == '+') throw InvalidDate(option);
    }
    TDateTime result = 0;
    if (!TryEncodeDateTime(fields[0], fields[1], fields[2], 0, 0, 0, 0, result)) throw InvalidDate(option);
    return result;
}

TDateTime ApplyDateOffset(TDateTime date) {
    const std::string option = GetOption("dateoffset");
    if (option.empty()) return date;
    int days = 0;
    const char* first = option.data();
    const char* last = first + option.size();
    if (*first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, last, days);
    if (ec != std::errc() || ptr != last || days < -3000000 || days > 3000000)
        throw TandrelError("invalid dateoffset " + option);
    return date + days;
}

std::string Two(int value) {
    const char digits[2] = {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
    return std::string(digits, 2);
}

}  // namespace

std::string ExpandDatePattern(std::string_view pattern) {
    const platform::CalendarFields f = DecodeDateTime(ApplyDateOffset(ReferenceDate()));
    const std::string year = std::to_string(f.year);
    const struct {
        std::string_view token;
        std::string value;
    } replacements[] = {
        {"[d]", std::to_string(f.day)}, {"[dd]", Two(f.day)},        {"[m]", std::to_string(f.month)},
        {"[mm]", Two(f.month)},         {"[yy]", Two(f.year % 100)}, {"[yyyy]", year},
        {"[hh]", Two(f.hour)},          {"[ii]", Two(f.minute)},     {"[ss]", Two(f.second)},
    };
    // One pass from left to right, so a replaced value is never read again.
    std::string out;
    out.reserve(pattern.size() + 16);
    std::size_t i = 0;
    while (i < pattern.size()) {
        bool replaced = false;
        if (pattern[i] == '[') {
            for (const auto& r : replacements) {
                if (pattern.substr(i, r.token.size()) == r.token) {
                    out += r.value;
                    i += r.token.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += pattern[i++];
    }
    return out;
}

}  // namespace tandrel
