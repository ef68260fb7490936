#include "common/list_x.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace tandrel {
namespace {

struct Item {
    int size;
    int id;
};

TEST(TListX, LockAndAddFromManyThreads) {
    std::vector<Item> items(4000);
    TListX<Item> list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i) list.LockAndAdd(&items[t * 1000 + i]);
        });
    for (std::thread& t : threads) t.join();
    ASSERT_EQ(4000, list.Count());
    std::vector<Item*> sorted(list.begin(), list.end());
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 4000; ++i) EXPECT_EQ(&items[i], sorted[i]);
}

TEST(TListX, LockListExcludesLockAndAdd) {
    Item item{1, 1};
    TListX<Item> list;
    list.LockList();
    std::thread adder([&] { list.LockAndAdd(&item); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(0, list.Count());  // the adder waits for the lock
    list.UnlockList();
    adder.join();
    EXPECT_EQ(1, list.Count());
}

TEST(TListX, SortAndSortXOrderByTheComparison) {
    std::vector<Item> items = {{30, 0}, {10, 1}, {20, 2}, {10, 3}};
    TListX<Item> list;
    for (Item& item : items) list.Add(&item);
    list.Sort([](const Item* a, const Item* b) { return a->size - b->size; });
    std::vector<int> ids;
    for (const Item* item : list) ids.push_back(item->id);
    EXPECT_EQ((std::vector<int>{1, 3, 2, 0}), ids);

    list.SortX([](const Item* a, const Item* b) { return b->size - a->size; });
    EXPECT_EQ(30, list[0]->size);
    EXPECT_EQ(10, list[3]->size);
}

TEST(TListX, InconsistentComparisonStaysInsideTheList) {
    std::vector<Item> items(200);
    TListX<Item> list;
    for (int i = 0; i < 200; ++i) {
        items[i] = {i % 7, i};
        list.Add(&items[i]);
    }
    // Claims "less" for every pair, equal items and an item with itself included.
    list.Sort([](const Item*, const Item*) { return -1; });
    ASSERT_EQ(200, list.Count());
    std::vector<Item*> seen(list.begin(), list.end());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen.end(), std::adjacent_find(seen.begin(), seen.end()));
}

TEST(TListX, IndexOfAndRemoveDoNotOwn) {
    Item a{1, 1}, b{2, 2};
    TListX<Item> list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    EXPECT_EQ(1, list.IndexOf(&b));
    EXPECT_EQ(0, list.Remove(&a));
    EXPECT_EQ(-1, list.Remove(nullptr));
    EXPECT_EQ(2, list.Count());
    EXPECT_EQ(&b, list[0]);
    EXPECT_EQ(1, a.size);  // removing leaves the item alone
}

}  // namespace
}  // namespace tandrel
