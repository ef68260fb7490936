#include "common/compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace tandrel {
namespace {

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

TEST(CompareTextLocale, IgnoresCaseAndFollowsTheLocale) {
    EXPECT_EQ(0, CompareTextLocale("ABC", "abc"));
    EXPECT_EQ(-1, CompareTextLocale("apple", "Banana"));  // byte order would put "B" first
    EXPECT_EQ(1, CompareTextLocale("b", "A"));
    EXPECT_EQ(-1, CompareTextLocale("", "a"));
}

TEST(CompareLogical, DigitRunsByValue) {
    EXPECT_EQ(-1, CompareLogical("file2", "file10"));
    EXPECT_EQ(1, CompareLogical("file10", "File9"));
    EXPECT_EQ(0, CompareLogical("File2", "file2"));
}

TEST(ComparePaths, FolderBeforeItsContents) {
    // Each path sorts before the next one.
    const std::vector<std::string> ordered = {"/", "/a", "/a/b", "/a/b/c", "/a/z", "/a-b", "/ab", "/b", "/B/a"};
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        for (std::size_t j = 0; j < ordered.size(); ++j) {
            const int want = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(want, Sign(ComparePaths(ordered[i], ordered[j]))) << ordered[i] << " vs " << ordered[j];
        }
    }
}

TEST(ComparePaths, EqualIgnoringCaseAndBlanksAroundPieces) {
    EXPECT_EQ(0, ComparePaths("/Data/Photos", "/data/photos"));
    EXPECT_EQ(0, ComparePaths("/a/ b /c", "/a/b/c"));
    EXPECT_EQ(0, ComparePaths("/a/", "/a"));  // a trailing separator adds an empty piece
    EXPECT_EQ(0, ComparePaths("", ""));
}

TEST(DescendingComparators, LargerFirst) {
    EXPECT_EQ(1, CompareInt64Desc(1, 2));
    EXPECT_EQ(-1, CompareInt64Desc(2, 1));
    EXPECT_EQ(0, CompareInt64Desc(5, 5));
    EXPECT_EQ(1, CompareInt64Desc(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(1, CompareSingleDesc(1.0f, 1.5f));
    EXPECT_EQ(-1, CompareSingleDesc(1.5f, 1.0f));
    EXPECT_EQ(0, CompareSingleDesc(2.0f, 2.0f));
    EXPECT_EQ(1, CompareDoubleDesc(-3.0, 0.0));
    EXPECT_EQ(-1, CompareDoubleDesc(0.0, -3.0));
    EXPECT_EQ(0, CompareDoubleDesc(0.25, 0.25));

    std::vector<std::int64_t> sizes = {3, 10, 1, 7};
    std::sort(sizes.begin(), sizes.end(), [](auto a, auto b) { return CompareInt64Desc(a, b) < 0; });
    EXPECT_EQ((std::vector<std::int64_t>{10, 7, 3, 1}), sizes);
}

TEST(SameFileTime, TwoSecondsOrADaylightSavingHour) {
    const double second = 1.0 / 86400;
    const TDateTime base = 41451.5;
    const struct {
        double seconds;
        bool same;
    } cases[] = {
        {0, true},      {1.9, true},  {2.1, false},   {10, false},     {3597, false},
        {3598.5, true}, {3600, true}, {3601.5, true}, {3602.5, false}, {7200, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.same, SameFileTime(base, base + c.seconds * second)) << c.seconds;
        EXPECT_EQ(c.same, SameFileTime(base + c.seconds * second, base)) << c.seconds;
    }
}

TEST(SameValues, Tolerances) {
    EXPECT_TRUE(SameFloat(0.000009));
    EXPECT_TRUE(SameFloat(-0.000009));
    EXPECT_FALSE(SameFloat(0.00002));
    EXPECT_TRUE(SameDateTime(41451.5, 41451.500009));
    EXPECT_FALSE(SameDateTime(41451.5, 41451.50002));
}

TEST(SecondsBetween, SignedAndAbsolute) {
    const TDateTime a = 41451.5, b = a - 90.0 / 86400;
    EXPECT_NEAR(90.0f, SecondsBetween(a, b), 0.01f);
    EXPECT_NEAR(-90.0f, SecondsBetween(b, a), 0.01f);
    EXPECT_NEAR(90.0f, AbsSecondsBetween(b, a), 0.01f);
}

}  // namespace
}  // namespace tandrel
