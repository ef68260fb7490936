#pragma once
// The layout line of one list column, "caption:width:R|L:tag", as the
// settings file keeps it. The line comes from a file the user may edit, so
// every field may be missing or garbage.
#include <string>
#include <string_view>

namespace tandrel {

struct ColumnLayoutLine {
    std::string caption;
    int width = 0;
    bool alignRight = false;
    int tag = 0;
};

// Wider than any screen: such a width is taken as unreadable, so the sum of
// a list's columns stays far from the int range of the header.
inline constexpr int kMaxColumnLayoutWidth = 100000;

// A caption holding ":" keeps its pieces (the last three fields are width,
// alignment and tag). A missing, unreadable, negative or absurd width gives
// defaultWidth; an unreadable tag gives 0; only "R" aligns right.
ColumnLayoutLine ParseColumnLayoutLine(std::string_view line, int defaultWidth);

}  // namespace tandrel
