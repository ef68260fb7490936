#include "common/section_list.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

const TStringList kSettings = {
    "[created]", "",    "2024-05-01 10:00:00", "[Comment]", "  first line", "   ", "second line  ", "[count]", " 42 ",
    "[bad]",     "4x2",
};

TEST(SectionListTest, GetSectionLinesStopsAtNextSectionAndSkipsBlanks) {
    EXPECT_EQ(GetSectionText(kSettings, "created", false), "2024-05-01 10:00:00");
    EXPECT_EQ(GetSectionLines("[Comment]", kSettings, false), (TStringList{"  first line", "second line  "}));
    EXPECT_EQ(GetSectionText(kSettings, "Comment", false), "first line\r\nsecond line");
    EXPECT_TRUE(GetSectionLines("missing", kSettings, false).empty());
}

TEST(SectionListTest, IgnoreCaseIsHonoured) {
    EXPECT_TRUE(GetSectionLines("comment", kSettings, false).empty());
    EXPECT_EQ(GetSectionLines("comment", kSettings, true).size(), 2u);
}

TEST(SectionListTest, EmptyWantedSectionDoesNotTakeTheNextOnesValues) {
    const TStringList list = {"[a]", "[b]", "x", "[a]", "y", "[c]", "z"};
    EXPECT_EQ(GetSectionLines("a", list, false), TStringList{"y"});
    EXPECT_TRUE(GetSectionLines("a", TStringList{"[a]", "[b]", "x"}, false).empty());
}

TEST(SectionListTest, GetSectionInt) {
    EXPECT_EQ(GetSectionInt(kSettings, "count", false), 42);
    EXPECT_EQ(GetSectionInt(kSettings, "bad", false), 0);
    EXPECT_EQ(GetSectionInt(kSettings, "Comment", false), 0);
    EXPECT_EQ(GetSectionInt(kSettings, "missing", false), 0);
    EXPECT_EQ(GetSectionInt({"[n]", "-7"}, "n", false), -7);
}

TEST(SectionListTest, SetSectionLinesReplacesValuesInPlace) {
    TStringList list = {"[a]", "1", "", "2", "", "[b]", "3"};
    SetSectionLines("a", list, {"x", "y"});
    EXPECT_EQ(list, (TStringList{"[a]", "x", "y", "[b]", "3"}));
    SetSectionLines("[b]", list, {});
    EXPECT_EQ(list, (TStringList{"[a]", "x", "y", "[b]"}));
    SetSectionText(list, "b", "z");
    EXPECT_EQ(list, (TStringList{"[a]", "x", "y", "[b]", "z"}));
}

TEST(SectionListTest, SetSectionLinesAppendsMissingSection) {
    TStringList list = {"[a]", "1"};
    SetSectionLines("new", list, {"p", "q"});
    EXPECT_EQ(list, (TStringList{"[a]", "1", "[new]", "p", "q"}));
    // The section line is found exactly, so another case is another section.
    SetSectionText(list, "A", "2");
    EXPECT_EQ(list, (TStringList{"[a]", "1", "[new]", "p", "q", "[A]", "2"}));
    EXPECT_EQ(GetSectionText(list, "new", false), "p\r\nq");
}

}  // namespace
}  // namespace tandrel
