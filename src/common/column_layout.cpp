#include "common/column_layout.h"

#include <cstdint>
#include <limits>

#include "common/strings.h"

namespace tandrel {

namespace {

bool ReadInt(std::string_view text, int& value) {
    std::int64_t parsed = 0;
    if (!TryStrToInt64(text, parsed) || parsed < std::numeric_limits<int>::min() ||
        parsed > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

ColumnLayoutLine ParseColumnLayoutLine(std::string_view line, int defaultWidth) {
    // The fields after the caption, found from the end: up to three.
    std::string_view fields[3];
    std::size_t colons = 0;
    for (char c : line) colons += c == ':';
    const std::size_t found = colons < 3 ? colons : 3;
    std::string_view caption = line;
    for (std::size_t i = 0; i < found; ++i) {
        const std::size_t at = caption.rfind(':');
        fields[found - 1 - i] = caption.substr(at + 1);
        caption = caption.substr(0, at);
    }

    ColumnLayoutLine column;
    column.caption = std::string(caption);
    int width = 0;
    column.width =
        found > 0 && ReadInt(fields[0], width) && width >= 0 && width <= kMaxColumnLayoutWidth ? width : defaultWidth;
    column.alignRight = found > 1 && Trim(fields[1]) == "R";
    int tag = 0;
    column.tag = found > 2 && ReadInt(fields[2], tag) ? tag : 0;
    return column;
}

}  // namespace tandrel
