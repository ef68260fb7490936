#include "scan/compact_storage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/scan_model.h"

namespace tandrel {
namespace {

// Lengths around the header's one-byte limit, names past a quarter block
// (a block of their own) and a name longer than a whole block.
const std::vector<std::size_t> kLengths = {0, 1, 15, 16, 126, 127, 128, 255, 16 << 10, 17 << 10, 70 << 10};

std::string TextOf(std::size_t length, char seed) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(seed + static_cast<char>(i % 91));
    return text;
}

TEST(NodeNameTest, ArenaAndHeapNamesReadBackExactly) {
    TNameArena arena;
    std::vector<TNodeName> inArena(kLengths.size()), onHeap(kLengths.size());
    for (std::size_t i = 0; i < kLengths.size(); ++i) {
        inArena[i].AssignIn(arena, TextOf(kLengths[i], 'a'));
        onHeap[i] = TextOf(kLengths[i], 'b');
    }
    // Every name is still whole after all the others were added.
    for (std::size_t i = 0; i < kLengths.size(); ++i) {
        EXPECT_EQ(inArena[i].view(), TextOf(kLengths[i], 'a')) << kLengths[i];
        EXPECT_EQ(onHeap[i].view(), TextOf(kLengths[i], 'b')) << kLengths[i];
        EXPECT_EQ(inArena[i].empty(), kLengths[i] == 0);
    }
    // Bytes with the header's flag bit set and an embedded zero are names too.
    const std::string odd("\xff\x80\0x|\r\n", 7);
    TNodeName name;
    name.AssignIn(arena, odd);
    EXPECT_EQ(name.view(), odd);
    EXPECT_GT(arena.Bytes(), std::size_t(70) << 10);
}

TEST(NodeNameTest, AssignmentsCopyAndReplaceWithoutSharing) {
    TNameArena arena;
    TNodeName a;
    a.AssignIn(arena, "arena name long enough to matter");
    TNodeName b = a;  // a heap copy: outlives nothing of a
    a = "heap";
    EXPECT_EQ(b, "arena name long enough to matter");
    EXPECT_EQ(a, "heap");
    // Assigning a name its own bytes, or a part of them, keeps them readable.
    b = b.view().substr(6, 4);
    EXPECT_EQ(b, "name");
    a = a;
    EXPECT_EQ(a.str(), "heap");
    a.clear();
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.view(), "");
}

TEST(ChildListTest, BehavesAsTheVectorItReplaces) {
    TChildList<int*> list;
    std::vector<int*> expected;
    int items[64];
    EXPECT_EQ(list.begin(), list.end());
    for (int i = 0; i < 40; ++i) {
        list.push_back(&items[i]);
        expected.push_back(&items[i]);
    }
    list.insert(list.begin(), &items[50]);
    expected.insert(expected.begin(), &items[50]);
    list.insert(list.begin() + 7, &items[51]);
    expected.insert(expected.begin() + 7, &items[51]);
    list.erase(list.begin() + 3);
    expected.erase(expected.begin() + 3);
    list.erase(list.begin() + 10, list.begin() + 20);
    expected.erase(expected.begin() + 10, expected.begin() + 20);
    list.insert(list.end(), &items[52]);
    expected.insert(expected.end(), &items[52]);
    EXPECT_EQ(list, expected);
    EXPECT_EQ(list.back(), &items[52]);

    TChildList<int*> copy = list;
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(copy, expected);
    copy.release();
    EXPECT_EQ(copy.size(), 0u);
    EXPECT_EQ(copy.capacity(), 0u);
    copy = {&items[1], &items[2]};
    EXPECT_EQ(copy, (std::vector<int*>{&items[1], &items[2]}));
}

TEST(OwningStoreTest, NamesOfItemsGoWithTheStore) {
    TOwningStore<TDiskTreeMapEntry> store;
    for (int i = 0; i < 5000; ++i) store.Add()->Name.AssignIn(store.Names, "item " + std::to_string(i));
    store[4999]->Name = "renamed outside the arena";
    EXPECT_EQ(store[1234]->Name, "item 1234");
    EXPECT_EQ(store[4999]->Name, "renamed outside the arena");
    EXPECT_GT(store.NameBytes(), 0u);
    store.Clear();
    EXPECT_EQ(store.NameBytes(), 0u);
    // A store used again after Clear starts a fresh arena.
    store.Add()->Name.AssignIn(store.Names, "again");
    EXPECT_EQ(store[0]->Name, "again");
}

}  // namespace
}  // namespace tandrel
