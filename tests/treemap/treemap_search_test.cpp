#include "treemap/treemap_search.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "scan/tree_edits.h"
#include "treemap_test_tree.h"

namespace tandrel {
namespace {

using testing::TreemapTree;

// /r/Music/a.mp3, /r/live/b.mp3, /r/Music/Live Sets/c.mp3, /r/docs/notes.txt
class TreemapSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        music = tree.Add(tree.root, "Music", EntryType_Directory, 0);
        live = tree.Add(tree.root, "live", EntryType_Directory, 0);
        sets = tree.Add(music, "Live Sets", EntryType_Directory, 0);
        docs = tree.Add(tree.root, "docs", EntryType_Directory, 0);
        tree.Add(music, "a.mp3", EntryType_File, 10);
        tree.Add(live, "b.mp3", EntryType_File, 20);
        tree.Add(sets, "c.mp3", EntryType_File, 30);
        tree.Add(docs, "notes.txt", EntryType_File, 40);
    }
    std::set<std::string> Hits(const std::string& text) {
        std::set<std::string> paths;
        for (TDiskTreeMapEntry* node : SearchTreemap(tree.model, text)) paths.insert(NodeFullPath(node));
        return paths;
    }

    TreemapTree tree;
    TDiskTreeMapEntry *music = nullptr, *live = nullptr, *sets = nullptr, *docs = nullptr;
};

TEST_F(TreemapSearchTest, KeywordsMatchTheFullPathAndTheName) {
    const struct {
        const char* text;
        std::set<std::string> hits;
    } cases[] = {
        // An exclusion looks at the whole path: b.mp3 lies in "live", c.mp3 in "Live Sets".
        {"mp3 -live", {"/r/Music/a.mp3"}},
        // A word only in a folder's name matches the folder and all below it.
        {"MUSIC", {"/r/Music", "/r/Music/a.mp3", "/r/Music/Live Sets", "/r/Music/Live Sets/c.mp3"}},
        {"\"live sets\" mp3", {"/r/Music/Live Sets/c.mp3"}},
        {"mp3 txt", {}},
        {"s/c.", {"/r/Music/Live Sets/c.mp3"}},  // across a folder and a name
    };
    for (const auto& c : cases) EXPECT_EQ(Hits(c.text), c.hits) << c.text;
}

// Split over threads, the hits are those of one pass, in node-list order,
// parts starting in the middle of a folder's children included.
TEST_F(TreemapSearchTest, ASearchSplitOverThreadsFindsTheSameNodesInOrder) {
    for (const char* text : {"mp3", "live -sets", "r/"}) {
        const auto one = SearchTreemap(tree.model, text);
        EXPECT_FALSE(one.empty()) << text;
        EXPECT_EQ(SearchTreemap(tree.model, text, 3), one) << text;
    }
}

TEST_F(TreemapSearchTest, ADashAloneMatchesEveryNodeButNeverARemovedOne) {
    const int nodes = tree.model.DiskTreeMapEntries.Count();
    EXPECT_EQ(static_cast<int>(SearchTreemap(tree.model, " -  ").size()), nodes);
    // In node-list order, the root first.
    EXPECT_EQ(SearchTreemap(tree.model, "-").front(), tree.root);

    tree.root->ChildrenEntries.erase(tree.root->ChildrenEntries.begin() + 2);  // docs
    docs->EntryType = EntryType_Unknown;
    docs->ParentNodeIdx = nullptr;
    docs->Name.clear();
    EXPECT_EQ(Hits("docs"), std::set<std::string>{});
}

}  // namespace
}  // namespace tandrel
