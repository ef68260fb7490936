#include "common/compare.h"

#include <cmath>

#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

std::string_view TrimPiece(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// The next piece of a path and the rest after its separator; an exhausted
// path keeps giving empty pieces, which pads the shorter path.
std::string_view NextPiece(std::string_view& rest, bool& exhausted) {
    if (exhausted) return {};
    const std::size_t delim = rest.find(platform::PathDelim);
    std::string_view piece = rest.substr(0, delim);
    if (delim == std::string_view::npos) {
        exhausted = true;
        rest = {};
    } else {
        rest.remove_prefix(delim + 1);
    }
    return TrimPiece(piece);
}

}  // namespace

int CompareTextLocale(std::string_view a, std::string_view b) { return platform::CollateCompare(a, b); }

int CompareLogical(std::string_view a, std::string_view b) { return platform::CollateCompareLogical(a, b); }

int ComparePaths(std::string_view a, std::string_view b) {
    if (platform::SameTextIgnoreCase(a, b)) return 0;
    bool doneA = false, doneB = false;
    while (!doneA || !doneB) {
        const std::string_view pieceA = NextPiece(a, doneA);
        const std::string_view pieceB = NextPiece(b, doneB);
        const int c = CompareTextLocale(pieceA, pieceB);
        if (c != 0) return c;
    }
    return 0;
}

int CompareInt64Desc(std::int64_t a, std::int64_t b) { return a < b ? 1 : (a > b ? -1 : 0); }

int CompareSingleDesc(float a, float b) { return b > a ? 1 : (b < a ? -1 : 0); }

int CompareDoubleDesc(double a, double b) { return b > a ? 1 : (b < a ? -1 : 0); }

bool SameFloat(double x) { return std::fabs(x) < 0.00001; }

bool SameDateTime(TDateTime a, TDateTime b) { return std::fabs(a - b) < 0.00001; }

bool SameFileTime(TDateTime a, TDateTime b) {
    const double seconds = std::fabs(a - b) * 86400.0;
    return seconds < 2 || (seconds > 3598 && seconds < 3602);
}

float SecondsBetween(TDateTime a, TDateTime b) { return static_cast<float>((a - b) * 86400.0); }

float AbsSecondsBetween(TDateTime a, TDateTime b) { return std::fabs(SecondsBetween(a, b)); }

}  // namespace tandrel
