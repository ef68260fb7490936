#include "scan/tree_edits.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "platform/file_system.h"
#include "scan/disk_scanner.h"
#include "scan/scan_model.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

void Scan(ScanModel& model, const std::string& path) {
    std::lock_guard lock(model.csTreemap);
    model.ResetTreemap(path, false);
    model.ResetDirectoryEntries();
    model.SnapshotLines.Clear();
    ScanDirectoryToTreemap(model, path, model.Root(), nullptr, platform::FindRecord{});
}

// Every live node as "path size", folders with their total: what the map shows.
std::map<std::string, std::int64_t> Image(ScanModel& model) {
    std::map<std::string, std::int64_t> image;
    std::lock_guard lock(model.csTreemap);
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (IsRemovedNode(&node) || &node == model.FreeSpaceEntry) return;
        image[NodeFullPath(&node)] = node.SizeTotal;
    });
    return image;
}

class TreeEditsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile("a/one.txt", std::string(100, 'x'));
        dir.WriteFile("a/deep/two.bin", std::string(2000, 'y'));
        dir.WriteFile("b/three.txt", std::string(30, 'z'));
        Scan(model, dir.path());
    }
    bool Apply(TFileOperation operation, const std::string& path, const std::string& newPath = {}) {
        std::lock_guard lock(model.csTreemap);
        return ApplyDiskChange(model, {operation, path, newPath});
    }
    // The tree after the edits equals a fresh scan of the disk.
    void ExpectSameAsAFreshScan() {
        ScanModel fresh;
        Scan(fresh, dir.path());
        EXPECT_EQ(Image(model), Image(fresh));
    }

    TempDir dir;
    ScanModel model;
};

TEST_F(TreeEditsTest, AddedFilesInNewFoldersGrowEveryAncestor) {
    dir.WriteFile("a/new/inner/four.dat", std::string(500, 'n'));
    dir.WriteFile("five.txt", "12345");
    dir.MakeFolder("empty");
    EXPECT_TRUE(Apply(TFileOperation::foAdded, dir.Path("a/new/inner/four.dat")));
    EXPECT_TRUE(Apply(TFileOperation::foAdded, dir.Path("five.txt")));
    // A new empty folder does not appear by itself.
    EXPECT_FALSE(Apply(TFileOperation::foAdded, dir.Path("empty")));
    // A fresh scan would list the empty folder, which the edits rightly left out.
    platform::RemoveFolder(dir.Path("empty"));
    ExpectSameAsAFreshScan();
    std::lock_guard lock(model.csTreemap);
    EXPECT_EQ(NodeLookup(model, dir.Path("five.txt"))->DateM, 0) << "an added file has no modification time yet";
}

TEST_F(TreeEditsTest, AGrownFileGrowsItsAncestorsAndAnUnchangedOneChangesNothing) {
    dir.WriteFile("a/deep/two.bin", std::string(2000 + 1048576, 'y'));
    EXPECT_TRUE(Apply(TFileOperation::foModified, dir.Path("a/deep/two.bin")));
    EXPECT_TRUE(Apply(TFileOperation::foModified, dir.Path("a/one.txt")));
    ExpectSameAsAFreshScan();
    std::lock_guard lock(model.csTreemap);
    EXPECT_EQ(model.Root()->SizeTotal, 2130 + 1048576);
}

TEST_F(TreeEditsTest, ARemovedFolderLeavesWithEverythingBelowAndOnlyWhenItIsGone) {
    EXPECT_FALSE(Apply(TFileOperation::foRemoved, dir.Path("a"))) << "still on disk";
    TDiskTreeMapEntry* deep = nullptr;
    {
        std::lock_guard lock(model.csTreemap);
        deep = NodeLookup(model, dir.Path("a/deep"));
        ASSERT_NE(deep, nullptr);
    }
    platform::DeleteFile(dir.Path("a/one.txt"));
    platform::DeleteFile(dir.Path("a/deep/two.bin"));
    platform::RemoveFolder(dir.Path("a/deep"));
    platform::RemoveFolder(dir.Path("a"));
    EXPECT_TRUE(Apply(TFileOperation::foRemoved, dir.Path("a") + "/"));
    EXPECT_TRUE(IsRemovedNode(deep)) << "a pointer still held sees a husk, never freed memory";
    EXPECT_FALSE(Apply(TFileOperation::foRemoved, dir.Path("a"))) << "no node left";
    ExpectSameAsAFreshScan();
}

TEST_F(TreeEditsTest, ARenameChangesOnlyTheNameEvenWhenTheFileMovedElsewhere) {
    ASSERT_EQ(std::rename(dir.Path("a/one.txt").c_str(), dir.Path("a/uno.txt").c_str()), 0);
    EXPECT_TRUE(Apply(TFileOperation::foRenamed, dir.Path("a/one.txt"), dir.Path("a/uno.txt")));
    ExpectSameAsAFreshScan();
    // Moved into another folder: the node stays under its old folder with the new name.
    ASSERT_EQ(std::rename(dir.Path("b/three.txt").c_str(), dir.Path("a/drei.txt").c_str()), 0);
    EXPECT_TRUE(Apply(TFileOperation::foRenamed, dir.Path("b/three.txt"), dir.Path("a/drei.txt")));
    std::lock_guard lock(model.csTreemap);
    EXPECT_NE(NodeLookup(model, dir.Path("b/drei.txt")), nullptr);
}

TEST_F(TreeEditsTest, AFolderThatArrivedAddsEveryFileBelowItButNotThroughLinks) {
    TempDir outside;
    outside.WriteFile("big.bin", std::string(4000, 'o'));
    dir.WriteFile("copied/x.txt", "xx");
    dir.WriteFile("copied/deeper/y.txt", "yyy");
    ASSERT_EQ(symlink(outside.path().c_str(), dir.Path("copied/elsewhere").c_str()), 0);
    std::lock_guard lock(model.csTreemap);
    const std::vector<TDiskChange> changes =
        ExpandAddedFolders(model, {{TFileOperation::foAdded, dir.Path("copied"), {}},
                                   {TFileOperation::foRemoved, dir.Path("b/three.txt"), {}},
                                   {TFileOperation::foAdded, outside.path(), {}}});
    std::vector<std::string> paths;
    for (const TDiskChange& change : changes) paths.push_back(change.path);
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> expected{dir.Path("b/three.txt"), dir.Path("copied/deeper/y.txt"),
                                      dir.Path("copied/x.txt"), outside.path()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected) << "a folder outside the tree is passed on, not walked";
    for (const TDiskChange& change : changes) ApplyDiskChange(model, change);
    EXPECT_EQ(NodeLookup(model, dir.Path("copied/deeper/y.txt"))->SizeTotal, 3);
    EXPECT_EQ(FolderLookup(model, dir.Path("copied"))->SizeTotal, 5);
}

TEST_F(TreeEditsTest, PathsOutsideTheTreeAndLookalikesChangeNothing) {
    TempDir other;
    other.WriteFile("x.txt", "x");
    const auto before = Image(model);
    std::lock_guard lock(model.csTreemap);
    EXPECT_FALSE(FileUpdate(model, other.Path("x.txt")));
    EXPECT_EQ(FolderLookup(model, dir.path() + "x"), nullptr);
    EXPECT_EQ(FolderLookup(model, dir.Path("A/DEEP")), NodeLookup(model, dir.Path("a/deep")))
        << "names compare ignoring ASCII case";
    EXPECT_EQ(NodeLookup(model, dir.Path("a/missing")), nullptr);
    EXPECT_EQ(Image(model), before);
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

// Each folder's children in order, by name: the order the map lays them out in.
std::map<std::string, std::vector<std::string>> ChildOrder(ScanModel& model) {
    std::map<std::string, std::vector<std::string>> order;
    std::lock_guard lock(model.csTreemap);
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (IsRemovedNode(&node) || node.EntryType == EntryType_File) return;
        auto& names = order[NodeFullPath(&node)];
        for (const TDiskTreeMapEntry* child : node.ChildrenEntries) names.push_back(child->Name);
    });
    return order;
}

TEST_F(TreeEditsTest, ABatchEndsInTheSameTreeAsItsChangesOneByOne) {
    ScanModel oneByOne;
    Scan(oneByOne, dir.path());
    // Many files in one folder, some grown, some removed, a rename, a moved
    // folder, and reports already out of date.
    std::vector<TDiskChange> changes;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "bulk/f" + std::to_string(i) + ".dat";
        dir.WriteFile(name, std::string(static_cast<std::size_t>(1 + (i * 37) % 500), 'b'));
        changes.push_back({TFileOperation::foAdded, dir.Path(name), {}});
    }
    for (int i = 0; i < 300; i += 3) {
        platform::DeleteFile(dir.Path("bulk/f" + std::to_string(i) + ".dat"));
        changes.push_back({TFileOperation::foRemoved, dir.Path("bulk/f" + std::to_string(i) + ".dat"), {}});
    }
    dir.WriteFile("a/one.txt", std::string(4000, 'x'));
    changes.push_back({TFileOperation::foModified, dir.Path("a/one.txt"), {}});
    ASSERT_EQ(std::rename(dir.Path("b/three.txt").c_str(), dir.Path("b/Three-renamed.txt").c_str()), 0);
    changes.push_back({TFileOperation::foRenamed, dir.Path("b/three.txt"), dir.Path("b/Three-renamed.txt")});
    dir.WriteFile("b/Three-renamed.txt", std::string(70, 'z'));
    changes.push_back({TFileOperation::foModified, dir.Path("b/Three-renamed.txt"), {}});
    ASSERT_EQ(std::rename(dir.Path("a/deep").c_str(), dir.Path("a/deeper").c_str()), 0);
    changes.push_back({TFileOperation::foRenamed, dir.Path("a/deep"), dir.Path("a/deeper")});
    dir.WriteFile("a/deeper/late.txt", "late");
    changes.push_back({TFileOperation::foAdded, dir.Path("a/deeper/late.txt"), {}});
    changes.push_back({TFileOperation::foRemoved, dir.Path("a/one.txt"), {}});  // still there: dropped
    changes.push_back({TFileOperation::foAdded, dir.Path("bulk/f0.dat"), {}});  // gone again: dropped

    {
        std::lock_guard lock(oneByOne.csTreemap);
        for (const TDiskChange& change : ExpandAddedFolders(oneByOne, changes)) ApplyDiskChange(oneByOne, change);
    }
    {
        std::lock_guard lock(model.csTreemap);
        EXPECT_TRUE(ApplyDiskChangeBatch(model, changes));
    }
    EXPECT_EQ(Image(model), Image(oneByOne));
    EXPECT_EQ(ChildOrder(model), ChildOrder(oneByOne));
    ExpectSameAsAFreshScan();
    std::lock_guard lock(model.csTreemap);
    EXPECT_FALSE(ApplyDiskChangeBatch(model, {{TFileOperation::foRemoved, dir.Path("nothing/here"), {}}}));
}

}  // namespace
}  // namespace tandrel
