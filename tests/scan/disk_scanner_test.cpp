#include "scan/disk_scanner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "scan/filtered_scan.h"
#include "scan/folder_walk.h"
#include "scan/folder_records.h"
#include "scan/scan_test_helpers.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ChildNamed;
using testing::RecordNamed;
using testing::TakeBodyLines;
using testing::TempDir;

// root: a.txt (10), beta/ (y 20, sub/ z 5), Alpha/ (x.bin 100), gamma/ (empty)
struct FixtureTree {
    TempDir dir;
    FixtureTree() {
        dir.WriteFile("a.txt", std::string(10, 'a'));
        dir.WriteFile("beta/y", std::string(20, 'y'));
        dir.WriteFile("beta/sub/z", std::string(5, 'z'));
        dir.WriteFile("Alpha/x.bin", std::string(100, 'x'));
        dir.MakeFolder("gamma");
    }
};

class DiskScannerTest : public ::testing::Test {
protected:
    void TearDown() override {
        test_hooks::SetFolderVisitHook({});
        platform::test_hooks::DenyAccessBelow("");
    }
    TDirectoryStats Scan(const std::string& path, HardLinkSet* hardLinks = nullptr) {
        model.ResetTreemap(path, false);
        model.ResetDirectoryEntries();
        model.SnapshotLines.Clear();
        return ScanDirectoryToTreemap(model, path, model.Root(), nullptr, platform::FindRecord{}, hardLinks);
    }
    ScanModel model;
};

TEST_F(DiskScannerTest, FinishedScanHoldsTheModelInvariantsAndCounts) {
    FixtureTree tree;
    TDirectoryStats stats = Scan(tree.dir.path());
    model.LastScanStats = stats;
    testing::ExpectFinishedModelInvariants(model);

    EXPECT_EQ(stats.FilesCount, 4);
    EXPECT_EQ(stats.DirectoriesCount, 4);
    EXPECT_EQ(stats.Size, 135);
    TDirectoryEntry* root = model.DirectoryEntries[0];
    EXPECT_EQ(root->FolderName, tree.dir.path());
    EXPECT_EQ(root->TotalSize, stats.Size);
    EXPECT_EQ(root->TotalFiles, stats.FilesCount);
    EXPECT_EQ(root->TotalDirs, stats.DirectoriesCount);
    EXPECT_EQ(root->RootFiles, 1);
    EXPECT_EQ(root->RootDirs, 3);
    EXPECT_EQ(model.Root()->Name, tree.dir.path());

    TDiskTreeMapEntry* beta = ChildNamed(model.Root(), "beta");
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->EntryType, EntryType_Directory);
    EXPECT_EQ(beta->SizeTotal, 25);
    EXPECT_EQ(beta->SizeRoot(), 20);
    EXPECT_EQ(GetNodeFullPath(model, ChildNamed(beta, "sub")), tree.dir.Path("beta/sub"));
    TDiskTreeMapEntry* y = ChildNamed(beta, "y");
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->DateM, FileModificationTime(tree.dir.Path("beta/y")));

    TDirectoryEntry* sub = RecordNamed(model, "sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->Level, 2);
    EXPECT_EQ(sub->CalcPath(), tree.dir.Path("beta/sub"));
    // Every file added anywhere below counted once on the way up.
    EXPECT_EQ(root->_ModifiedCount, 4);
    EXPECT_EQ(RecordNamed(model, "beta")->_ModifiedCount, 2);
    // Every folder record was queued for the statistics view, in walk order.
    ASSERT_EQ(model.NewDirectoryEntries.size(), 5u);
    EXPECT_EQ(model.NewDirectoryEntries[0], root);
}

TEST_F(DiskScannerTest, FolderOfManyFilesAddsEveryFileOnceUpTheTree) {
    // More files than one hold of the model lock takes, and a count that
    // leaves a part batch at the end.
    TempDir dir;
    std::int64_t size = 0;
    for (int i = 1; i <= 601; ++i) {
        dir.WriteFile("deep/many/f" + std::to_string(i), std::string(static_cast<std::size_t>(i % 7), 'x'));
        size += i % 7;
    }
    dir.WriteFile("top.txt", "abc");
    TDirectoryStats stats = Scan(dir.path());
    model.LastScanStats = stats;
    testing::ExpectFinishedModelInvariants(model);
    EXPECT_EQ(stats.FilesCount, 602);
    EXPECT_EQ(stats.Size, size + 3);
    EXPECT_EQ(model.Root()->SizeTotal, size + 3);
    EXPECT_EQ(model.DirectoryEntries[0]->_ModifiedCount, 602);
    EXPECT_EQ(RecordNamed(model, "deep")->_ModifiedCount, 601);
    EXPECT_EQ(RecordNamed(model, "many")->RootFiles, 601);
    EXPECT_EQ(RecordNamed(model, "many")->RootSize, size);
}

TEST_F(DiskScannerTest, LinesComeInPreOrderWithSubfoldersSortedByName) {
    FixtureTree tree;
    Scan(tree.dir.path() + "/");  // a trailing "/" makes no difference
    const std::string r = tree.dir.path() + "/";
    std::vector<std::string> lines = TakeBodyLines(model);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "|" + r);  // the root: no times
    EXPECT_EQ(lines[1].substr(0, 9), "a.txt|10|");
    EXPECT_EQ(lines[2].substr(0, r.size() + 8), "|" + r + "Alpha/|");
    EXPECT_EQ(lines[3].substr(0, 10), "x.bin|100|");
    EXPECT_EQ(lines[4].substr(0, r.size() + 7), "|" + r + "beta/|");
    EXPECT_EQ(lines[5].substr(0, 5), "y|20|");
    EXPECT_EQ(lines[6].substr(0, r.size() + 11), "|" + r + "beta/sub/|");
    EXPECT_EQ(lines[7].substr(0, 4), "z|5|");
    EXPECT_EQ(lines[8].substr(0, r.size() + 8), "|" + r + "gamma/|");
    // A subfolder's line carries its times and the folder attribute.
    EXPECT_EQ(lines[2].substr(lines[2].size() - 3), "|16");
    EXPECT_EQ(model.Root()->Name, tree.dir.path());
}

TEST_F(DiskScannerTest, EmptyFolderGivesOneRecordAndOneEmptyFilesRecord) {
    TempDir dir;
    TDirectoryStats stats = Scan(dir.path());
    EXPECT_EQ(stats.FilesCount + stats.DirectoriesCount + stats.Size, 0);
    EXPECT_TRUE(model.Root()->ChildrenEntries.empty());
    EXPECT_EQ(model.Root()->SizeTotal, 0);
    ASSERT_EQ(model.DirectoryEntries.Count(), 2);
    EXPECT_EQ(model.DirectoryEntries[1]->FolderName, "[files]");
    EXPECT_EQ(model.DirectoryEntries[1]->TotalFiles, 0);
    testing::ExpectFinishedModelInvariants(model);
}

TEST_F(DiskScannerTest, LinkedFolderIsLeftOutButLinkedFileCounts) {
    TempDir target, dir;
    target.WriteFile("inside.txt", "12345");
    ASSERT_EQ(symlink(target.path().c_str(), dir.Path("linked").c_str()), 0);
    ASSERT_EQ(symlink(target.Path("inside.txt").c_str(), dir.Path("filelink").c_str()), 0);
    TDirectoryStats stats = Scan(dir.path());
    EXPECT_EQ(stats.DirectoriesCount, 0);
    EXPECT_EQ(model.DirectoryEntries[0]->RootDirs, 0);
    EXPECT_EQ(ChildNamed(model.Root(), "linked"), nullptr);
    // A link to a file is a file of the link's own size.
    EXPECT_EQ(stats.FilesCount, 1);
    ASSERT_NE(ChildNamed(model.Root(), "filelink"), nullptr);
    std::vector<std::string> lines = TakeBodyLines(model);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 9), "filelink|");
    testing::ExpectFinishedModelInvariants(model);
}

TEST_F(DiskScannerTest, UnreadableFolderKeepsNodeRecordAndLineWithZeroCounts) {
    FixtureTree tree;
    platform::test_hooks::DenyAccessBelow(tree.dir.Path("beta"));
    TDirectoryStats stats = Scan(tree.dir.path());
    EXPECT_EQ(stats.FilesCount, 2);
    EXPECT_EQ(stats.DirectoriesCount, 3);
    TDiskTreeMapEntry* beta = ChildNamed(model.Root(), "beta");
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->SizeTotal, 0);
    EXPECT_TRUE(beta->ChildrenEntries.empty());
    TDirectoryEntry* record = RecordNamed(model, "beta");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->TotalFiles + record->TotalDirs + record->TotalSize, 0);
    // Its line is there, with the next folder's line right after it.
    std::vector<std::string> lines = TakeBodyLines(model);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4].rfind("|" + tree.dir.Path("beta/|"), 0), 0u);
    EXPECT_EQ(lines[5].rfind("|" + tree.dir.Path("gamma/|"), 0), 0u);
    testing::ExpectFinishedModelInvariants(model);
}

TEST_F(DiskScannerTest, CancelInADeepFolderLeavesAPartialModelWithMatchingCounts) {
    FixtureTree tree;
    const std::string deep = tree.dir.Path("beta/sub");
    test_hooks::SetFolderVisitHook([&](const std::string& path) {
        if (path == deep) model.CancelOperation = true;
    });
    TDirectoryStats stats = Scan(tree.dir.path());

    // Alpha was finished before; root, beta and sub were cut short.
    for (const char* name : {"sub", "beta"}) ASSERT_NE(RecordNamed(model, name), nullptr);
    int filesRecords = 0, fileNodes = 0;
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        if (r.FolderName == "[files]") {
            ++filesRecords;
            EXPECT_EQ(r.ParentIdx->FolderName, "Alpha");
        }
    });
    EXPECT_EQ(filesRecords, 1);
    EXPECT_EQ(ChildNamed(model.Root(), "gamma"), nullptr);
    EXPECT_TRUE(ChildNamed(ChildNamed(model.Root(), "beta"), "sub")->ChildrenEntries.empty());
    // The counts cover exactly what was scanned: the nodes and the lines.
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& n) {
        if (n.EntryType == EntryType_File && &n != model.FreeSpaceEntry) ++fileNodes;
    });
    EXPECT_EQ(stats.FilesCount, fileNodes);
    EXPECT_EQ(stats.FilesCount, 3);
    EXPECT_EQ(stats.DirectoriesCount, 3);
    EXPECT_EQ(stats.Size, 130);
    EXPECT_EQ(model.Root()->SizeTotal, 130);
    EXPECT_EQ(model.DirectoryEntries[0]->TotalSize, 130);  // the live sums
    EXPECT_EQ(TakeBodyLines(model).size(), 7u);
}

TEST_F(DiskScannerTest, CancelBeforeTheStartCreatesNothing) {
    FixtureTree tree;
    model.ResetTreemap(tree.dir.path(), false);
    model.ResetDirectoryEntries();
    model.CancelOperation = true;
    TDirectoryStats stats = ScanDirectoryToTreemap(model, tree.dir.path(), model.Root(), nullptr, {});
    EXPECT_EQ(stats.FilesCount, 0);
    EXPECT_TRUE(model.DirectoryEntries.Empty());
}

TEST_F(DiskScannerTest, ProgressTextNamesTheFolderBeingVisited) {
    FixtureTree tree;
    std::vector<std::string> seen;
    test_hooks::SetFolderVisitHook([&](const std::string&) { seen.push_back(model.ProgressText.GetStrings(0)); });
    Scan(tree.dir.path());
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], ">" + tree.dir.path());
    EXPECT_EQ(seen[1], ">" + tree.dir.Path("Alpha"));
    EXPECT_EQ(seen[3], ">" + tree.dir.Path("beta/sub"));
}

TEST_F(DiskScannerTest, ExceptionInTheWalkLeavesNoLockHeld) {
    FixtureTree tree;
    test_hooks::SetFolderVisitHook([&](const std::string& path) {
        if (path == tree.dir.Path("beta")) throw std::runtime_error("boom");
    });
    EXPECT_THROW(Scan(tree.dir.path()), std::runtime_error);
    std::thread other([&] {
        std::unique_lock<std::recursive_mutex> lock(model.csTreemap, std::try_to_lock);
        EXPECT_TRUE(lock.owns_lock());
    });
    other.join();
}

TEST_F(DiskScannerTest, ListsFormFillsFlatListsInWalkOrder) {
    FixtureTree tree;
    TOwningStore<TFileEntry> files;
    TOwningStore<TDirectoryEntry> folders;
    TDirectoryStats stats = ScanDirectoryToLists(model, tree.dir.path(), files, folders, nullptr);
    EXPECT_EQ(stats.FilesCount, 4);
    EXPECT_EQ(stats.DirectoriesCount, 4);
    EXPECT_EQ(stats.Size, 135);
    ASSERT_EQ(folders.Count(), 5);
    const std::vector<std::string> expected = {tree.dir.path(), tree.dir.Path("Alpha"), tree.dir.Path("beta"),
                                               tree.dir.Path("beta/sub"), tree.dir.Path("gamma")};
    for (int i = 0; i < folders.Count(); ++i) {
        EXPECT_EQ(folders[i]->CalcPath(), expected[i]);
        EXPECT_EQ(folders[i]->Idx, i + 1);
        EXPECT_TRUE(folders[i]->ChildrenEntries.empty());
    }
    EXPECT_EQ(folders[3]->Level, 2);
    EXPECT_EQ(folders[2]->TotalSize, 25);
    EXPECT_EQ(folders[2]->RootDirs, 1);
    ASSERT_EQ(files.Count(), 4);
    files.ForEach([&](TFileEntry& f) {
        ASSERT_NE(f.OwnerFolder, nullptr);
        if (f.FileName == "z") {
            EXPECT_EQ(f.OwnerFolder->CalcPath(), tree.dir.Path("beta/sub"));
            EXPECT_EQ(f.Size, 5);
            EXPECT_EQ(f.DateM, FileModificationTime(tree.dir.Path("beta/sub/z")));
        }
    });
    EXPECT_EQ(model.ListScanDepth, 0);
    EXPECT_TRUE(model.DirectoryEntries.Empty());
}

TEST_F(DiskScannerTest, PauseHoldsTheWalkUntilResumed) {
    test_hooks::SetPauseStepMs(5);
    FixtureTree tree;
    model.ResetTreemap(tree.dir.path(), false);
    model.ResetDirectoryEntries();
    model.PauseOperation = true;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        ScanDirectoryToTreemap(model, tree.dir.path(), model.Root(), nullptr, {});
        done = true;
    });
    // Checked once the walk sleeps in its pause, not after a guessed time.
    while (model.PausedWorkers() == 0 && !done) std::this_thread::yield();
    ASSERT_GT(model.PausedWorkers(), 0);
    {
        std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
        EXPECT_EQ(model.DiskTreeMapEntries.Count(), 2);  // root and free space only
        EXPECT_EQ(model.DirectoryEntries.Count(), 1);
    }
    model.PauseOperation = false;
    worker.join();
    EXPECT_EQ(model.DirectoryEntries[0]->TotalFiles, 4);
    test_hooks::SetPauseStepMs(0);
}

TEST_F(DiskScannerTest, ClosingEndsAWalkBlockedEnteringAFolderWithPartialCounts) {
    FixtureTree tree;
    // The walk blocks as it enters beta until the window is closed.
    std::mutex mutex;
    std::condition_variable changed;
    bool blocked = false;
    test_hooks::SetFolderVisitHook([&](const std::string& path) {
        if (path != tree.dir.Path("beta")) return;
        std::unique_lock<std::mutex> lock(mutex);
        blocked = true;
        changed.notify_all();
        changed.wait(lock, [&] { return model.AppClosing.load(); });
    });
    model.ResetTreemap(tree.dir.path(), false);
    model.ResetDirectoryEntries();
    TDirectoryStats stats;
    std::thread worker([&] { stats = ScanDirectoryToTreemap(model, tree.dir.path(), model.Root(), nullptr, {}); });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return blocked; });
        model.AppClosing = true;
        changed.notify_all();
    }
    worker.join();
    // a.txt and Alpha were walked; nothing of beta's files, sub or gamma.
    EXPECT_EQ(stats.FilesCount, 2);
    EXPECT_EQ(stats.Size, 110);
    EXPECT_LT(stats.FilesCount, 4);
    EXPECT_EQ(model.Root()->SizeTotal, 110);
    EXPECT_EQ(ChildNamed(model.Root(), "gamma"), nullptr);
    EXPECT_TRUE(ChildNamed(model.Root(), "beta")->ChildrenEntries.empty());
}

// The same tree walked into the tree, into flat lists and into the filtered
// file list: the same folders, the same files, the same counts.
TEST_F(DiskScannerTest, EverySinkReceivesTheSameTree) {
    FixtureTree tree;
    tree.dir.WriteFile("beta/sub/deeper/w", std::string(7, 'w'));
    using File = std::tuple<std::string, std::int64_t, TDateTime>;  // full path, size, time
    const TDirectoryStats treeStats = Scan(tree.dir.path());
    std::vector<std::string> treeFolders;
    for (int i = 0; i < model.DirectoryEntries.Count(); ++i)
        if (model.DirectoryEntries[i]->FolderName != "[files]")
            treeFolders.push_back(model.DirectoryEntries[i]->CalcPath());
    std::map<std::string, File> treeFiles;
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& n) {
        if (n.EntryType != EntryType_File || &n == model.FreeSpaceEntry) return;
        std::string path = n.Name;
        for (const TDiskTreeMapEntry* p = n.ParentNodeIdx; p; p = p->ParentNodeIdx) path = p->Name.str() + "/" + path;
        treeFiles[path] = File{path, n.SizeRoot(), n.DateM};
    });

    TOwningStore<TFileEntry> files;
    TOwningStore<TDirectoryEntry> folders;
    const TDirectoryStats listStats = ScanDirectoryToLists(model, tree.dir.path(), files, folders, nullptr);
    std::vector<std::string> listFolders;
    for (int i = 0; i < folders.Count(); ++i) listFolders.push_back(folders[i]->CalcPath());
    std::map<std::string, File> listFiles;
    files.ForEach([&](TFileEntry& f) {
        const std::string path = f.OwnerFolder->CalcPath() + "/" + f.FileName;
        listFiles[path] = File{path, f.Size, f.DateM};
    });

    EXPECT_EQ(treeStats.FilesCount, 5);
    EXPECT_EQ(treeStats.DirectoriesCount, 5);
    EXPECT_EQ(treeStats.Size, 142);
    EXPECT_EQ(listStats.FilesCount, treeStats.FilesCount);
    EXPECT_EQ(listStats.DirectoriesCount, treeStats.DirectoriesCount);
    EXPECT_EQ(listStats.Size, treeStats.Size);
    EXPECT_EQ(listFolders, treeFolders);  // the same walk order
    EXPECT_EQ(treeFolders.size(), 6u);
    EXPECT_EQ(listFiles, treeFiles);

    TStopToken stop;
    TScan filtered(stop);
    filtered.paths = tree.dir.path();
    filtered.flagRecursive = true;
    filtered.Scan();
    std::map<std::string, std::int64_t> filteredFiles, expectedFiles;
    for (const auto& f : filtered.tempFilesAr) filteredFiles[f->FullFileName()] = f->Size;
    for (const auto& [path, file] : treeFiles) expectedFiles[path] = std::get<1>(file);
    EXPECT_EQ(filteredFiles, expectedFiles);
    EXPECT_EQ(filtered.rootStatistics.FilesCount, treeStats.FilesCount);
    EXPECT_EQ(filtered.rootStatistics.DirectoriesCount, treeStats.DirectoriesCount);
    EXPECT_EQ(filtered.rootStatistics.Size, treeStats.Size);
}

// tree: a/data (1000) with a second name b/alias; c/shared (300) whose other
// name lies outside the tree; single (7).
TEST_F(DiskScannerTest, HardLinksAddTheirBytesOnceOnlyWhenAsked) {
    TempDir tree, outside;
    tree.WriteFile("a/data", std::string(1000, 'd'));
    tree.MakeFolder("b");
    ASSERT_EQ(link(tree.Path("a/data").c_str(), tree.Path("b/alias").c_str()), 0);
    outside.WriteFile("outside", std::string(300, 's'));
    tree.MakeFolder("c");
    ASSERT_EQ(link(outside.Path("outside").c_str(), tree.Path("c/shared").c_str()), 0);
    tree.WriteFile("single", std::string(7, '1'));

    struct Case {
        bool once;
        std::int64_t total, aliasWeight;
    };
    for (const Case& c : {Case{false, 2307, 1000}, Case{true, 1307, 0}}) {
        SCOPED_TRACE(c.once ? "counted once" : "counted per name");
        HardLinkSet links;
        const TDirectoryStats stats = Scan(tree.path(), c.once ? &links : nullptr);
        model.LastScanStats = stats;
        EXPECT_EQ(stats.FilesCount, 4);
        EXPECT_EQ(stats.Size, c.total);
        EXPECT_EQ(model.Root()->SizeTotal, c.total);
        EXPECT_EQ(model.DirectoryEntries[0]->TotalSize, c.total);
        // The first name met keeps the bytes, the later one weighs nothing;
        // the file whose other name is outside counts at its one sighting.
        EXPECT_EQ(ChildNamed(ChildNamed(model.Root(), "a"), "data")->SizeTotal, 1000);
        TDiskTreeMapEntry* b = ChildNamed(model.Root(), "b");
        EXPECT_EQ(b->SizeTotal, c.aliasWeight);
        EXPECT_EQ(ChildNamed(b, "alias")->SizeTotal, c.aliasWeight);
        EXPECT_EQ(RecordNamed(model, "b")->TotalSize, c.aliasWeight);
        EXPECT_EQ(ChildNamed(model.Root(), "c")->SizeTotal, 300);
        testing::ExpectFinishedModelInvariants(model);
        // The snapshot lists every name with its own size either way.
        int aliasLines = 0;
        for (const std::string& line : TakeBodyLines(model)) aliasLines += line.starts_with("alias|1000|");
        EXPECT_EQ(aliasLines, 1);
    }
}

TEST_F(DiskScannerTest, OneLinkSetSpansTheRootsOfOneScan) {
    TempDir first, second;
    first.WriteFile("f", std::string(500, 'f'));
    ASSERT_EQ(link(first.Path("f").c_str(), second.Path("g").c_str()), 0);
    HardLinkSet links;
    EXPECT_EQ(Scan(first.path(), &links).Size, 500);
    EXPECT_EQ(Scan(second.path(), &links).Size, 0);
    EXPECT_EQ(model.Root()->SizeTotal, 0);
    HardLinkSet fresh;  // another scan counts it again
    EXPECT_EQ(Scan(second.path(), &fresh).Size, 500);
}

}  // namespace
}  // namespace tandrel
