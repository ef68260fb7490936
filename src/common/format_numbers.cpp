// Number texts. Values are rounded half away from zero on their shortest
// decimal form, so 1.125 shows as 1.13 and 0.285 as 0.29, as a reader expects.
#include "common/format_numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/messages.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

struct Digits {
    bool negative = false;
    std::string whole;     // at least one digit
    std::string fraction;  // exactly the requested number of digits
};

// The value rounded to the given decimals, as decimal digits.
Digits RoundToDigits(double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 20) decimals = 20;
    Digits d;
    d.negative = std::signbit(value);
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = text.find('.');
    d.whole = std::string(text.substr(0, point));
    std::string rest = point == std::string_view::npos ? std::string() : std::string(text.substr(point + 1));
    const bool roundUp = static_cast<int>(rest.size()) > decimals && rest[decimals] >= '5';
    rest.resize(decimals, '0');
    d.fraction = rest;
    if (roundUp) {
        // Carry through the fraction, then the whole part.
        int i = decimals - 1;
        for (; i >= 0 && d.fraction[i] == '9'; --i) d.fraction[i] = '0';
        if (i >= 0) {
            ++d.fraction[i];
        } else {
            int j = static_cast<int>(d.whole.size()) - 1;
            for (; j >= 0 && d.whole[j] == '9'; --j) d.whole[j] = '0';
            if (j >= 0)
                ++d.whole[j];
            else
                d.whole.insert(d.whole.begin(), '1');
        }
    }
    // No "-0" or "-0.00".
    if (d.whole.find_first_not_of('0') == std::string::npos && d.fraction.find_first_not_of('0') == std::string::npos)
        d.negative = false;
    return d;
}

std::string Compose(const Digits& d, std::string_view thousands, std::string_view decimal) {
    std::string out;
    if (d.negative) out += '-';
    const std::size_t n = d.whole.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += thousands;
        out += d.whole[i];
    }
    if (!d.fraction.empty()) {
        out += decimal;
        out += d.fraction;
    }
    return out;
}

std::string NotANumber(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

std::int64_t Saturated(std::int64_t value, std::int64_t factor) {
    std::int64_t result = 0;
    if (!__builtin_mul_overflow(value, factor, &result)) return result;
    return value < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
}

bool SameUnit(std::string_view unit, std::string_view name) {
    if (unit.size() != name.size()) return false;
    for (std::size_t i = 0; i < unit.size(); ++i) {
        char c = unit[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return true;
}

}  // namespace

std::string FormatCount(double value) {
    if (!std::isfinite(value)) return NotANumber(value);
    return Compose(RoundToDigits(value, 0), ",", "");
}

std::string FormatCountSigned(double value) {
    if (value > 0 || std::fabs(value) < 0.00001) return "+" + FormatCount(value);
    return FormatCount(value);
}

std::string FormatGrouped(int decimals, double value) {
    if (!std::isfinite(value)) return NotANumber(value);
    const platform::LocaleSeparators& s = platform::GetLocaleSeparators();
    return Compose(RoundToDigits(value, decimals), s.thousands, s.decimal);
}

std::string FormatFixed(int decimals, double value) {
    if (!std::isfinite(value)) return NotANumber(value);
    return Compose(RoundToDigits(value, decimals), "", platform::GetLocaleSeparators().decimal);
}

std::string FormatBytes(std::int64_t bytes) {
    const double b = static_cast<double>(bytes);
    // Plain digits: "1023b" reads better than "1,023b" next to "1.00KB".
    if (bytes < 1024) return std::to_string(bytes) + "b";
    if (bytes < 1048576) return FormatGrouped(2, b / 1024) + "KB";
    if (bytes < 1073741824) return FormatGrouped(2, b / 1048576) + "MB";
    return FormatGrouped(2, b / 1073741824) + "GB";
}

std::string FormatPercentChange(int decimals, double newValue, double oldValue) {
    if (std::fabs(oldValue) < 0.00001) return {};
    const std::string text = FormatGrouped(decimals, (newValue - oldValue) / oldValue * 100) + "%";
    return newValue > oldValue ? "+" + text : text;
}

std::int64_t SizeInUnitToBytes(std::string_view unit, std::int64_t value) {
    if (SameUnit(unit, "bytes")) return value;
    if (SameUnit(unit, "kb")) return Saturated(value, 1024);
    if (SameUnit(unit, "mb")) return Saturated(value, 1024 * 1024);
    if (SameUnit(unit, "gb")) return Saturated(value, 1024 * 1024 * 1024);
    GetMessages().ShowMessage(MessageKind::Info, "Unknown size type");
    return value;
}

std::string PadZero(std::string_view text, int width) {
    std::string out;
    if (width > static_cast<int>(text.size())) out.assign(width - text.size(), '0');
    out += text;
    return out;
}

}  // namespace tandrel
