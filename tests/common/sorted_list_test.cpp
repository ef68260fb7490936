#include "common/sorted_list.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "platform/text_collate.h"

namespace tandrel {
namespace {

bool IsLocaleSorted(const TStringList& list) {
    for (std::size_t i = 1; i < list.size(); ++i)
        if (platform::CollateCompare(list[i - 1], list[i]) > 0) return false;
    return true;
}

TEST(SortedListTest, InsertSortedIgnoresCaseAndGoesAfterEqualLines) {
    TStringList list = {"a", "C"};
    InsertSorted(list, "b");
    EXPECT_EQ(list, (TStringList{"a", "b", "C"}));
    InsertSorted(list, "B");
    EXPECT_EQ(list, (TStringList{"a", "b", "B", "C"}));
    TStringList empty;
    InsertSorted(empty, "x");
    EXPECT_EQ(empty, TStringList{"x"});
}

TEST(SortedListTest, InsertSortedKeepsManyLinesInOrder) {
    std::mt19937 random(7);
    TStringList list;
    for (int i = 0; i < 500; ++i) InsertSorted(list, "name" + std::to_string(random() % 1000));
    EXPECT_EQ(list.size(), 500u);
    EXPECT_TRUE(IsLocaleSorted(list));
}

TEST(SortedListTest, FindSorted) {
    const TStringList list = {"apple", "Banana", "cherry"};
    EXPECT_EQ(FindSorted(list, "banana"), 1);
    EXPECT_EQ(FindSorted(list, "apple"), 0);
    EXPECT_EQ(FindSorted(list, "CHERRY"), 2);
    EXPECT_EQ(FindSorted(list, "blueberry"), -1);
    EXPECT_EQ(FindSorted(list, "aardvark"), -1);
    EXPECT_EQ(FindSorted({}, "x"), -1);
}

TEST(SortedListTest, IndexOfTrimmedText) {
    const TStringList list = {"one", "  Two\t", "two"};
    EXPECT_EQ(IndexOfTrimmedText(list, "two "), 1);
    EXPECT_EQ(IndexOfTrimmedText(list, "ONE"), 0);
    EXPECT_EQ(IndexOfTrimmedText(list, "three"), -1);
}

TEST(SortedListTest, SortLogicalComparesNumbersByValue) {
    TStringList list = {"file10.txt", "File2.txt", "file1.txt"};
    SortLogical(list);
    EXPECT_EQ(list, (TStringList{"file1.txt", "File2.txt", "file10.txt"}));
    SortLocale(list);
    EXPECT_EQ(list, (TStringList{"file1.txt", "file10.txt", "File2.txt"}));
}

TEST(SortedListTest, SortsLargeSortedAndAllEqualInputs) {
    TStringList sorted;
    for (int i = 0; i < 100000; ++i) sorted.push_back("line " + std::to_string(100000 + i));
    TStringList reversed(sorted.rbegin(), sorted.rend());
    SortLocale(reversed);
    EXPECT_EQ(reversed, sorted);
    TStringList equal(100000, "same");
    SortLogical(equal);
    EXPECT_EQ(equal, TStringList(100000, "same"));
}

TEST(SortedListTest, SortStringsSortsAnyCollectionAndKeepsDuplicates) {
    std::deque<std::string> strings = {"b", "A", "c", "a", "B"};
    SortStrings(strings);
    ASSERT_EQ(strings.size(), 5u);
    EXPECT_TRUE(platform::SameTextIgnoreCase(strings[0], "a"));
    EXPECT_TRUE(platform::SameTextIgnoreCase(strings[1], "a"));
    EXPECT_TRUE(platform::SameTextIgnoreCase(strings[2], "b"));
    EXPECT_TRUE(platform::SameTextIgnoreCase(strings[3], "b"));
    EXPECT_EQ(strings[4], "c");
}

}  // namespace
}  // namespace tandrel
