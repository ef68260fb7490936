#include "common/integer_list_x.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/types.h"

namespace tandrel {
namespace {

using Action = TIntegerListXAction;
using Event = std::tuple<int, Action>;

std::vector<int> Elements(const TIntegerListX& list) { return {list.begin(), list.end()}; }

TEST(TIntegerListX, EveryMembershipChangeRaisesOneEvent) {
    TIntegerListX list;
    std::vector<Event> events;
    list.FOnChange = [&](TIntegerListX& sender, int item, Action action) {
        EXPECT_EQ(&list, &sender);
        events.emplace_back(item, action);
    };
    list.Add(0);  // data index 0 is a real element and is reported too
    list.Add(7);
    list.Insert(1, 5);
    EXPECT_EQ((std::vector<int>{0, 5, 7}), Elements(list));
    EXPECT_EQ(5, list.Extract(5));
    EXPECT_EQ(0, list.Extract(42));  // not listed: nothing happens
    EXPECT_EQ(1, list.Remove(7));
    EXPECT_EQ(-1, list.Remove(7));
    list.Add(3);
    list.SetItem(1, 9);
    list.SetItem(1, 9);  // unchanged: no event
    list.Exchange(0, 1);
    list.Sort([](int a, int b) { return a - b; });
    list.Clear();
    EXPECT_EQ(0, list.Count());
    const std::vector<Event> expected{
        {0, Action::Added}, {7, Action::Added},   {5, Action::Added}, {5, Action::Extracted}, {7, Action::Deleted},
        {3, Action::Added}, {3, Action::Deleted}, {9, Action::Added}, {0, Action::Deleted},   {9, Action::Deleted}};
    EXPECT_EQ(expected, events);
}

TEST(TIntegerListX, AccessorsCheckTheirIndex) {
    TIntegerListX list;
    EXPECT_THROW(list.First(), TandrelError);
    EXPECT_THROW(list.Last(), TandrelError);
    EXPECT_THROW(list.Insert(1, 4), TandrelError);
    list = TIntegerListX{4, 8, 15};
    EXPECT_EQ(4, list.First());
    EXPECT_EQ(15, list.Last());
    EXPECT_EQ(8, list[1]);
    EXPECT_EQ(2, list.IndexOf(15));
    EXPECT_EQ(-1, list.IndexOf(16));
    EXPECT_THROW(list.GetItem(3), TandrelError);
    EXPECT_THROW(list.SetItem(-1, 0), TandrelError);
    EXPECT_THROW(list.Delete(3), TandrelError);
    EXPECT_EQ((std::vector<int>{4, 8, 15}), Elements(list));
    // A permutation must name every index once; a bad one changes nothing.
    list.Permute({2, 0, 1});
    EXPECT_EQ((std::vector<int>{15, 4, 8}), Elements(list));
    for (const std::vector<int>& bad : {std::vector<int>{0, 1}, {0, 0, 1}, {0, 1, 3}, {-1, 0, 1}})
        EXPECT_THROW(list.Permute(bad), TandrelError);
    EXPECT_EQ((std::vector<int>{15, 4, 8}), Elements(list));
}

TEST(TIntegerListX, StreamRoundTripSetsLoadingWhileReading) {
    TIntegerListX written{0, -1, 2147483647, -2147483647 - 1, 300};
    std::stringstream stream;
    written.WriteData(stream);
    const std::string bytes = stream.str();
    ASSERT_EQ(2u + 5 * 5, bytes.size());
    EXPECT_EQ(1, bytes.front());                                             // list marker
    EXPECT_EQ(0, bytes.back());                                              // end marker
    EXPECT_EQ(std::string("\x04\x2c\x01\x00\x00", 5), bytes.substr(21, 5));  // 300, little-endian

    TIntegerListX read{99, 98};
    std::vector<Event> events;
    read.FOnChange = [&](TIntegerListX& sender, int item, Action action) {
        EXPECT_TRUE(sender.FLoading);
        events.emplace_back(item, action);
    };
    ASSERT_TRUE(read.ReadData(stream));
    EXPECT_FALSE(read.FLoading);
    EXPECT_EQ(Elements(written), Elements(read));
    ASSERT_EQ(7u, events.size());  // the two old elements deleted, five added
    EXPECT_EQ(Event(99, Action::Deleted), events[0]);
    EXPECT_EQ(Event(300, Action::Added), events[6]);
}

TEST(TIntegerListX, MalformedStreamLeavesTheListEmpty) {
    const std::string cases[] = {
        "",                                          // nothing
        std::string("\x02\x00", 2),                  // not a list
        std::string("\x01\x04\x01\x00", 4),          // element cut short
        std::string("\x01\x04\x01\x00\x00\x00", 6),  // no end marker
        std::string("\x01\x07\x00", 3),              // unknown element tag
    };
    for (const std::string& bytes : cases) {
        TIntegerListX list{1, 2};
        std::istringstream stream(bytes);
        EXPECT_FALSE(list.ReadData(stream)) << testing::PrintToString(bytes);
        EXPECT_EQ(0, list.Count());
        EXPECT_FALSE(list.FLoading);
    }
    TIntegerListX empty;
    std::stringstream stream;
    empty.WriteData(stream);
    TIntegerListX read{5};
    EXPECT_TRUE(read.ReadData(stream));
    EXPECT_EQ(0, read.Count());
}

TEST(TIntegerListX, SortsAMillionIndicesIntoATotalOrder) {
    std::vector<int> keys(1'000'000);
    std::mt19937 random(7);
    for (int& key : keys) key = static_cast<int>(random() % 100000);
    TIntegerListX list;
    list.Reserve(static_cast<int>(keys.size()));
    for (int i = 0; i < static_cast<int>(keys.size()); ++i) list.Add(i);
    // Key descending, index ascending on ties: a total order.
    list.Sort([&](int a, int b) { return keys[a] != keys[b] ? (keys[b] < keys[a] ? -1 : 1) : a - b; });
    for (int i = 1; i < list.Count(); ++i) {
        const int a = list[i - 1], b = list[i];
        ASSERT_TRUE(keys[a] > keys[b] || (keys[a] == keys[b] && a < b)) << i;
    }
}

}  // namespace
}  // namespace tandrel
