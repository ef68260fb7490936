#include "common/column_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace tandrel {
namespace {

TEST(ColumnLayout, LinesFromTheSettingsFile) {
    const struct {
        std::string line;
        std::string caption;
        int width;
        bool right;
        int tag;
    } cases[] = {
        {"Total Size:90:R:101", "Total Size", 90, true, 101},
        {"Path", "Path", 50, false, 0},
        {"At 10:30:40:R:5", "At 10:30", 40, true, 5},
        {"Size: 80 : R : 7", "Size", 80, true, 7},
        {"Bar:wide:C:x", "Bar", 50, false, 0},
        {"Neg:-5:L:-3", "Neg", 50, false, -3},
        // Widths past any screen, and numbers past int, read as unreadable.
        {"Huge:100001:R:0", "Huge", 50, true, 0},
        {"Max:100000:R:0", "Max", 100000, true, 0},
        {"Wrap:4294967386:R:4294967297", "Wrap", 50, true, 0},
        {"", "", 50, false, 0},
        {":::", "", 50, false, 0},
    };
    for (const auto& c : cases) {
        const ColumnLayoutLine column = ParseColumnLayoutLine(c.line, 50);
        EXPECT_EQ(column.caption, c.caption) << c.line;
        EXPECT_EQ(column.width, c.width) << c.line;
        EXPECT_EQ(column.alignRight, c.right) << c.line;
        EXPECT_EQ(column.tag, c.tag) << c.line;
    }
    // Many colons: every piece but the last three stays in the caption.
    const std::string colons(20000, ':');
    EXPECT_EQ(ParseColumnLayoutLine(colons + "7:R:1", 50).caption, colons.substr(0, 19999));
}

}  // namespace
}  // namespace tandrel
