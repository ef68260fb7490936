#include "scan/tree_size_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "scan/disk_scanner.h"
#include "scan/folder_records.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

constexpr std::int64_t MB = 1048576;

// Keeps its own copy of the tree from the events alone, as an item model
// would, and logs the events.
class MirrorObserver : public TTreeSizeObserver {
public:
    explicit MirrorObserver(TTreeSizeTree& tree) : tree_(tree) { tree.SetObserver(this); }
    ~MirrorObserver() override { tree_.SetObserver(nullptr); }

    void BeforeInsert(TTreeSizeNode* parent, int row) override {
        EXPECT_EQ(row, static_cast<int>(mirror[parent].size()));
    }
    void AfterInsert(TTreeSizeNode* parent, int row) override {
        TTreeSizeNode* node = parent ? parent->Children.at(row) : tree_.Top();
        auto& rows = mirror[parent];
        rows.insert(rows.begin() + row, node);
        log.push_back("insert " + Name(node) + " at " + std::to_string(row));
    }
    void BeforeMove(TTreeSizeNode* parent, int from, int to) override {
        EXPECT_EQ(mirror[parent], parent->Children) << "the tree moved before telling";
    }
    void AfterMove(TTreeSizeNode* parent, int from, int to) override {
        auto& rows = mirror[parent];
        std::rotate(rows.begin() + to, rows.begin() + from, rows.begin() + from + 1);
        log.push_back("move " + Name(rows[to]) + " " + std::to_string(from) + "->" + std::to_string(to));
    }
    void TextChanged(TTreeSizeNode* node) override { log.push_back("text " + node->Text); }
    void AfterClear() override {
        mirror.clear();
        log.push_back("clear");
    }

    // The copy equals the tree, and every node knows its row.
    void ExpectInStep() {
        for (auto& [parent, rows] : mirror) {
            if (!parent) continue;
            EXPECT_EQ(rows, parent->Children) << Name(parent);
            for (int i = 0; i < static_cast<int>(rows.size()); ++i) EXPECT_EQ(rows[i]->Row, i);
        }
    }
    static std::string Name(const TTreeSizeNode* node) { return node->Record->FolderName; }

    std::map<TTreeSizeNode*, std::vector<TTreeSizeNode*>> mirror;
    std::vector<std::string> log;

private:
    TTreeSizeTree& tree_;
};

std::vector<std::string> ChildNames(const TTreeSizeNode* node) {
    std::vector<std::string> names;
    for (const TTreeSizeNode* child : node->Children) names.push_back(child->Record->FolderName);
    return names;
}

// Folder records driven by hand the way a scan drives them.
class TreeByHand : public ::testing::Test {
protected:
    TDirectoryEntry* Folder(TDirectoryEntry* parent, const char* name) {
        TDirectoryEntry* record = AddTreeFolderRecord(model, parent, name);
        if (parent) record->Level = parent->Level + 1;
        return record;
    }
    // A file of that size added in the record's folder.
    void AddFile(TDirectoryEntry* record, std::int64_t size) {
        std::lock_guard<std::mutex> lock(model.csModifiedCount);
        for (TDirectoryEntry* r = record; r; r = r->ParentIdx) {
            r->_ModifiedCount++;
            r->TotalSize += size;
        }
    }
    ScanModel model;
    TTreeSizeTree tree;
    MirrorObserver observer{tree};
};

TEST_F(TreeByHand, LargeFolderAddedLateMovesAboveSmallerSiblings) {
    TDirectoryEntry* root = Folder(nullptr, "/data");
    TDirectoryEntry* a = Folder(root, "a");
    TDirectoryEntry* b = Folder(root, "b");
    AddFile(a, 3 * MB);
    AddFile(b, 2 * MB);
    EXPECT_TRUE(tree.Update(model));
    ASSERT_NE(tree.Top(), nullptr);
    EXPECT_EQ(tree.Top()->Record, root);
    EXPECT_EQ(tree.Top()->Text, "5.0 MB /data");
    EXPECT_EQ(TTreeSizeTree::NodeOf(*a)->Text, "3.0 MB a");
    EXPECT_EQ(ChildNames(tree.Top()), (std::vector<std::string>{"a", "b"}));

    // c arrives late and outgrows both; d ties with a and stays behind it.
    TDirectoryEntry* c = Folder(root, "c");
    TDirectoryEntry* d = Folder(root, "d");
    AddFile(c, 10 * MB);
    AddFile(d, 3 * MB);
    observer.log.clear();
    EXPECT_FALSE(tree.Update(model));
    EXPECT_EQ(ChildNames(tree.Top()), (std::vector<std::string>{"c", "a", "d", "b"}));
    EXPECT_EQ(observer.log, (std::vector<std::string>{"insert c at 2", "insert d at 3", "text 18.0 MB /data",
                                                      "move c 2->0", "move d 3->2"}));
    observer.ExpectInStep();

    // Nothing changed: nothing happens.
    observer.log.clear();
    tree.Update(model);
    EXPECT_TRUE(observer.log.empty());
}

TEST_F(TreeByHand, UnchangedSubtreesAreSkippedWhole) {
    TDirectoryEntry* root = Folder(nullptr, "/data");
    TDirectoryEntry* a = Folder(root, "a");
    TDirectoryEntry* b = Folder(root, "b");
    TDirectoryEntry* b1 = Folder(b, "b1");
    AddFile(a, 2 * MB);
    AddFile(b1, 1 * MB);
    tree.Update(model);
    EXPECT_EQ(ChildNames(tree.Top()), (std::vector<std::string>{"a", "b"}));

    // Sizes that moved without their counters are not looked at: b is not
    // visited, nor is b1 below it, although b1's counter moved.
    b->TotalSize += 5 * MB;
    b1->TotalSize += 5 * MB;
    b1->_ModifiedCount++;
    observer.log.clear();
    tree.Update(model);
    EXPECT_TRUE(observer.log.empty());

    // Once the counters say so, b moves up and both texts are renewed.
    AddFile(b1, 0);
    tree.Update(model);
    EXPECT_EQ(ChildNames(tree.Top()), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(TTreeSizeTree::NodeOf(*b1)->Text, "6.0 MB b1");
    observer.ExpectInStep();
}

TEST_F(TreeByHand, RecordsWithoutParentNodeOrWithANodeAreReported) {
    testing::RecordingMessages messages;
    TDirectoryEntry* root = Folder(nullptr, "/data");
    TDirectoryEntry* a = Folder(root, "a");
    tree.Update(model);
    // Queued twice, and a record whose parent never got a node.
    TDirectoryEntry* unqueued = model.DirectoryEntries.Add();
    unqueued->ParentIdx = root;
    TDirectoryEntry* orphan = model.DirectoryEntries.Add();
    orphan->ParentIdx = unqueued;
    model.NewDirectoryEntries = {a, orphan};
    tree.Update(model);
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"x14", "x13"}));
    EXPECT_EQ(tree.NodeCount(), 2);
    EXPECT_EQ(orphan->TreeNodeX, nullptr);
}

TEST_F(TreeByHand, ResortPassSortsChangedRecordsOnly) {
    TDirectoryEntry* root = Folder(nullptr, "/data");
    TDirectoryEntry* small = Folder(root, "small");
    TDirectoryEntry* large = Folder(root, "large");
    TDirectoryEntry* x = Folder(large, "x");
    TDirectoryEntry* y = Folder(large, "y");
    AddFile(small, 1);
    AddFile(x, 1);
    AddFile(y, 2);
    ResortChangedDirectoryChildren(model);
    EXPECT_EQ(root->ChildrenEntries, (std::vector<TDirectoryEntry*>{large, small}));
    EXPECT_EQ(large->ChildrenEntries, (std::vector<TDirectoryEntry*>{y, x}));

    x->TotalSize = 10;  // no counter moved: left as it is
    ResortChangedDirectoryChildren(model);
    EXPECT_EQ(large->ChildrenEntries, (std::vector<TDirectoryEntry*>{y, x}));
    AddFile(x, 0);
    ResortChangedDirectoryChildren(model);
    EXPECT_EQ(large->ChildrenEntries, (std::vector<TDirectoryEntry*>{x, y}));
}

// A real scan: every folder gets a node, siblings by size, largest first.
TEST(TreeSizeTreeScan, ScannedTreeHasANodePerFolderSortedBySize) {
    testing::TempDir dir;
    dir.WriteFile("a/f", std::string(10, 'a'));
    dir.WriteFile("b/f", std::string(300, 'b'));
    dir.WriteFile("b/c/f", std::string(20, 'c'));
    dir.WriteFile("b/d/f", std::string(40, 'd'));
    dir.WriteFile("e/f", std::string(100, 'e'));
    ScanModel model;
    model.ResetTreemap(dir.path(), false);
    model.ResetDirectoryEntries();
    ScanDirectoryToTreemap(model, dir.path(), model.Root(), nullptr, platform::FindRecord{});

    TTreeSizeTree tree;
    MirrorObserver observer(tree);
    ResortChangedDirectoryChildren(model);
    tree.Update(model);
    observer.ExpectInStep();
    int folders = 0;
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        if (r.FolderName == "[files]") {
            EXPECT_EQ(r.TreeNodeX, nullptr);
            return;
        }
        ++folders;
        TTreeSizeNode* node = TTreeSizeTree::NodeOf(r);
        ASSERT_NE(node, nullptr) << r.FolderName;
        EXPECT_EQ(node->Record, &r);
        for (std::size_t i = 1; i < node->Children.size(); ++i)
            EXPECT_GE(node->Children[i - 1]->Record->TotalSize, node->Children[i]->Record->TotalSize);
    });
    EXPECT_EQ(tree.NodeCount(), folders);
    EXPECT_EQ(ChildNames(tree.Top()), (std::vector<std::string>{"b", "e", "a"}));
    EXPECT_EQ(tree.Top()->Text, "0.0 MB " + dir.path());
    EXPECT_EQ(ChildNames(tree.Top()->Children[0]), (std::vector<std::string>{"d", "c"}));

    tree.Clear();
    EXPECT_TRUE(tree.Empty());
    EXPECT_EQ(observer.log.back(), "clear");
}

}  // namespace
}  // namespace tandrel
