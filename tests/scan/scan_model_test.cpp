#include "scan/scan_model.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

// A small tree: root "/r" with folder "d" (files f1 3 bytes, f2 5 bytes) and file "g" 7 bytes.
struct SmallTree {
    ScanModel model;
    TDiskTreeMapEntry *root, *d, *f1, *f2, *g;
    SmallTree() {
        model.ResetTreemap("", false);
        root = model.Root();
        root->Name = "/r";
        d = Add(root, "d", EntryType_Directory, 0);
        f1 = Add(d, "f1", EntryType_File, 3);
        f2 = Add(d, "f2", EntryType_File, 5);
        g = Add(root, "g", EntryType_File, 7);
        d->SizeTotal = 8;
        root->SizeTotal = 15;
    }
    TDiskTreeMapEntry* Add(TDiskTreeMapEntry* parent, const std::string& name, TEntryType type, std::int64_t size) {
        TDiskTreeMapEntry* n = model.DiskTreeMapEntries.Add();
        n->Name = name;
        n->EntryType = type;
        n->SizeTotal = size;
        n->ParentNodeIdx = parent;
        parent->ChildrenEntries.push_back(n);
        return n;
    }
};

TEST(ScanModelTest, ChildrenBytesSizeSumsAnInclusiveRange) {
    SmallTree t;
    EXPECT_EQ(t.d->GetChildrenBytesSize(0, 1), 8);
    EXPECT_EQ(t.d->GetChildrenBytesSize(1, 1), 5);
    EXPECT_EQ(t.d->GetChildrenBytesSize(3, 2), 0);
    EXPECT_EQ(t.root->GetChildrenBytesSize(0, 1), t.root->SizeTotal);
    EXPECT_EQ(t.d->GetChildrenBytesSize(-5, 99), 8);  // clamped, never read past the list
}

TEST(ScanModelTest, ChildrenOrderIsSizeDescendingThenNameDescendingIgnoringCase) {
    SmallTree t;
    TDiskTreeMapEntry* a = t.Add(t.d, "A.txt", EntryType_File, 4);
    TDiskTreeMapEntry* b = t.Add(t.d, "b.txt", EntryType_File, 4);
    t.d->SortDiskTreeMapChildren();  // not modified: nothing happens
    EXPECT_EQ(t.d->ChildrenEntries[0], t.f1);
    t.d->_Modified = true;
    t.d->SortDiskTreeMapChildren();
    EXPECT_EQ(t.d->ChildrenEntries, (std::vector<TDiskTreeMapEntry*>{t.f2, b, a, t.f1}));
    EXPECT_TRUE(t.d->_Modified);
    EXPECT_LT(CompareTreeMapChildren(b, a), 0);
    EXPECT_EQ(CompareTreeMapChildren(a, a), 0);
}

TEST(ScanModelTest, SortedChildrenFollowTheChildrenOrderWhateverTheStartingOrder) {
    // Few sizes, so most pairs tie and the names decide; names that differ
    // by case, accents and digits only.
    const char* const names[] = {"a", "B", "b2", "B10", "é", "e", "Z", "z_1", "10", "9", "résumé", "Resume"};
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        SmallTree t;
        for (int i = 0; i < 60; ++i) {
            t.Add(t.d, std::string(names[rng() % std::size(names)]) + std::to_string(rng() % 3), EntryType_File,
                  static_cast<std::int64_t>(rng() % 4));
        }
        if (round % 2) {
            // Already in size order, as after most scan slices.
            std::stable_sort(t.d->ChildrenEntries.begin(), t.d->ChildrenEntries.end(),
                             [](auto* a, auto* b) { return a->SizeTotal > b->SizeTotal; });
        }
        std::vector<TDiskTreeMapEntry*> before = t.d->ChildrenEntries;
        t.d->_Modified = true;
        t.d->SortDiskTreeMapChildren();
        const auto& after = t.d->ChildrenEntries;
        for (std::size_t i = 1; i < after.size(); ++i) {
            EXPECT_LE(CompareTreeMapChildren(after[i - 1], after[i]), 0)
                << after[i - 1]->Name << " / " << after[i]->Name;
        }
        std::sort(before.begin(), before.end());
        std::vector<TDiskTreeMapEntry*> sortedAfter = after;
        std::sort(sortedAfter.begin(), sortedAfter.end());
        EXPECT_EQ(before, sortedAfter);  // the same children, none lost or doubled
    }
}

TEST(ScanModelTest, IncreaseSizeOfParentsAppliesLargeDeltasToEveryAncestor) {
    SmallTree t;
    const std::int64_t big = 5LL << 30;
    t.f1->SizeTotal = 3 + big;
    t.f1->IncreaseSizeOfParents(big);
    EXPECT_EQ(t.d->SizeTotal, 8 + big);
    EXPECT_EQ(t.d->SizeRoot(), 8 + big);
    EXPECT_EQ(t.root->SizeTotal, 15 + big);
    EXPECT_EQ(t.root->SizeRoot(), 7);  // only the direct parent's own bytes change
    EXPECT_EQ(t.root->ChildrenEntries[0], t.d);
    EXPECT_EQ(t.d->ChildrenEntries[0], t.f1);  // re-sorted
    t.f1->SizeTotal = 3;
    t.f1->IncreaseSizeOfParents(-big);
    EXPECT_EQ(t.d->SizeTotal, 8);
    EXPECT_EQ(t.root->SizeTotal, 15);
    EXPECT_TRUE(t.root->_Modified && t.d->_Modified);
    EXPECT_FALSE(t.f1->_Modified);
}

TEST(ScanModelTest, FullPathJoinsNamesAndOnlyTheRootMayEndInTheSeparator) {
    RecordingMessages messages;
    SmallTree t;
    EXPECT_EQ(GetNodeFullPath(t.model, nullptr), "");
    EXPECT_EQ(GetNodeFullPath(t.model, t.root), "/r");
    EXPECT_EQ(GetNodeFullPath(t.model, t.f2), "/r/d/f2");
    t.root->Name = "/";
    EXPECT_EQ(GetNodeFullPath(t.model, t.root), "/");
    EXPECT_EQ(GetNodeFullPath(t.model, t.f2), "/d/f2");
    EXPECT_TRUE(messages.shown.empty());
    t.f2->Name = "x/";
    EXPECT_EQ(GetNodeFullPath(t.model, t.f2), "/d/x/");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "error GetNodeFullPath 1: result <> removetrailingbackslash(result)");
}

TEST(ScanModelTest, RecordPathPercentAndChildrenOrder) {
    struct Case {
        const char* root;
        const char* expected;
    };
    for (const Case& c : {Case{"/", "/a/b"}, Case{"/mnt/data", "/mnt/data/a/b"}}) {
        TDirectoryEntry root, a, b;
        root.FolderName = c.root;
        a.FolderName = "a";
        a.ParentIdx = &root;
        b.FolderName = "b";
        b.ParentIdx = &a;
        EXPECT_EQ(b.CalcPath(), c.expected);
        EXPECT_EQ(root.CalcPath(), c.root);
    }
    TDirectoryEntry parent, big, small;
    big.ParentIdx = small.ParentIdx = &parent;
    EXPECT_EQ(parent.PercentOfParent(), 101.0f);
    EXPECT_EQ(big.PercentOfParent(), 0.0f);  // empty parent
    parent.TotalSize = 400;
    big.TotalSize = 300;
    small.TotalSize = 100;
    EXPECT_FLOAT_EQ(big.PercentOfParent(), 75.0f);
    parent.ChildrenEntries = {&small, &big};
    SortDirectoryChildren(parent);
    EXPECT_EQ(parent.ChildrenEntries[0], &big);
}

TEST(ScanModelTest, ResetCreatesRootAndFreeSpaceNodeAndClearsRecords) {
    ScanModel model;
    TempDir dir;
    model.DirectoryEntries.Add();
    model.NewDirectoryEntries.push_back(model.DirectoryEntries[0]);
    model.ScanDepth = 3;
    const std::int64_t freeBefore = platform::GetDiskFreeBytes(dir.path());
    model.ResetTreemap(dir.path(), true);  // a plain folder: free space not offered
    const std::int64_t freeAfter = platform::GetDiskFreeBytes(dir.path());
    model.ResetDirectoryEntries();
    ASSERT_EQ(model.DiskTreeMapEntries.Count(), 2);
    TDiskTreeMapEntry* root = model.Root();
    EXPECT_EQ(root->EntryType, EntryType_Root);
    EXPECT_NE(root->_BoxInfo, nullptr);
    EXPECT_TRUE(root->ChildrenEntries.empty());
    EXPECT_EQ(root->SizeTotal, 0);
    ASSERT_EQ(model.FreeSpaceEntry, model.DiskTreeMapEntries[1]);
    EXPECT_EQ(model.FreeSpaceEntry->Name, "Free Space");
    EXPECT_EQ(model.FreeSpaceEntry->EntryType, EntryType_File);
    EXPECT_EQ(model.FreeSpaceEntry->ParentNodeIdx, root);
    // Tests running beside this one change the free space meanwhile.
    EXPECT_GE(model.FreeSpaceEntry->SizeTotal, std::min(freeBefore, freeAfter) - (64 << 20));
    EXPECT_LE(model.FreeSpaceEntry->SizeTotal, std::max(freeBefore, freeAfter) + (64 << 20));
    EXPECT_TRUE(model.DirectoryEntries.Empty());
    EXPECT_TRUE(model.NewDirectoryEntries.empty());
    EXPECT_EQ(model.ScanDepth, 0);
}

TEST(ScanModelTest, FreeSpaceOfAMountPointIsIncludedAndExcludedOnce) {
    ASSERT_TRUE(ScanModel::CanIncludeFreeSpace(" / "));
    EXPECT_FALSE(ScanModel::CanIncludeFreeSpace(TempDir().path()));
    ScanModel model;
    model.ResetTreemap("/", true);
    TDiskTreeMapEntry* root = model.Root();
    const std::int64_t free = model.FreeSpaceEntry->SizeTotal;
    ASSERT_EQ(root->ChildrenEntries, std::vector<TDiskTreeMapEntry*>{model.FreeSpaceEntry});
    EXPECT_EQ(root->SizeTotal, free);
    EXPECT_EQ(root->SizeRoot(), free);

    model.ExcludeFreeSpace();
    model.ExcludeFreeSpace();  // a second exclude must not subtract again
    EXPECT_TRUE(root->ChildrenEntries.empty());
    EXPECT_EQ(root->SizeTotal, 0);
    model.IncludeFreeSpace();
    model.IncludeFreeSpace();
    EXPECT_EQ(root->ChildrenEntries.size(), 1u);
    EXPECT_EQ(root->SizeTotal, free);
    EXPECT_EQ(root->SizeRoot(), free);
}

TEST(ScanModelTest, WaitWhilePausedSleepsUntilResumedOrStopped) {
    test_hooks::SetPauseStepMs(2);
    ScanModel model;
    EXPECT_TRUE(model.WaitWhilePaused());
    model.PauseOperation = true;
    std::thread resume([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        model.PauseOperation = false;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(model.WaitWhilePaused());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    resume.join();

    model.PauseOperation = true;
    std::thread cancel([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        model.AppClosing = true;
    });
    EXPECT_FALSE(model.WaitWhilePaused());
    cancel.join();
    test_hooks::SetPauseStepMs(0);
}

TEST(ScanModelTest, FileInfoKnowsOnlyThisProgramsVersion) {
    EXPECT_EQ(AppVersionText(), "0.1.0 build:1");
    TFileInfo self = GetFileInfo(platform::ExecutablePath());
    EXPECT_EQ(self.Version, AppVersionText());
    TempDir dir;
    TFileInfo other = GetFileInfo(dir.WriteFile("x.txt", "x"));
    EXPECT_EQ(other.Version, "debug build:0");
    EXPECT_EQ(other.Description, "");
    EXPECT_EQ(other.Comments, "");
    TFileInfo missing = GetFileInfo(dir.Path("missing"));
    EXPECT_EQ(missing.Version + missing.Description + missing.Comments, "");
}

TEST(OwningStoreTest, ItemsKeepTheirPlaceAcrossChunksAndClearEndsThem) {
    TOwningStore<TDirectoryEntry> store;
    std::vector<TDirectoryEntry*> items;
    for (int round = 0; round < 2; ++round) {
        items.clear();
        for (int i = 0; i < 10000; ++i) {
            TDirectoryEntry* item = store.Add();
            EXPECT_EQ(item->TotalSize, 0);
            ASSERT_TRUE(item->FolderName.empty());
            item->FolderName = "a folder name too long for the short string buffer " + std::to_string(i);
            item->TotalSize = i;
            items.push_back(item);
        }
        ASSERT_EQ(store.Count(), 10000);
        for (int i = 0; i < 10000; ++i) {
            ASSERT_EQ(store[i], items[i]);
            ASSERT_EQ(items[i]->TotalSize, i);
            ASSERT_TRUE(items[i]->FolderName.ends_with(" " + std::to_string(i)));
        }
        store.Clear();  // the strings are freed (the leak checker of the sanitizer build sees it)
        EXPECT_TRUE(store.Empty());
    }
}

TEST(ScanModelTest, CurrentModelIsOneInstance) { EXPECT_EQ(&CurrentModel(), &CurrentModel()); }

}  // namespace
}  // namespace tandrel
