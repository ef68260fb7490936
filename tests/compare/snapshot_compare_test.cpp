#include "compare/snapshot_compare.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/date_time.h"
#include "compare/snapshot_compare_thread.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/folder_records.h"
#include "scan/snapshot_file.h"
#include "support/comparison_sides.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

// Returns once a worker sleeps in its pause, so what is checked next cannot
// still move.
void WaitUntilPaused(const TStopToken& token) {
    while (token.PausedWorkers() == 0) std::this_thread::yield();
}

using testing::RecordingMessages;
using testing::TempDir;

const TDateTime kT0 = EncodeDateTime(2021, 3, 4, 5, 6, 7, 0);

TDateTime AddSeconds(TDateTime t, double seconds) { return t + seconds / 86400.0; }

std::string FileLine(const std::string& name, std::int64_t size, TDateTime modified) {
    return name + "|" + std::to_string(size) + "|" + FormatDateTimeMs(kT0) + "|" + FormatDateTimeMs(modified) + "|32";
}

using Side = testing::ComparisonSide;

std::string RowText(const TMergedFileEntry& row) {
    return std::to_string(row.Status) + " " +
           (row.FileLeft ? row.GetFileParentPath_Left() + "/" + row.FileLeft->FileName : "-") + " " +
           (row.FileRight ? row.GetFileParentPath_Right() + "/" + row.FileRight->FileName : "-");
}

std::vector<std::string> FileRows(TSnapshotComparison& c) {
    std::vector<std::string> rows;
    c.MergedFiles.ForEach([&](TMergedFileEntry& row) { rows.push_back(RowText(row)); });
    return rows;
}

std::vector<std::string> FolderRows(TSnapshotComparison& c) {
    std::vector<std::string> rows;
    c.MergedFolders.ForEach([&](TMergedFolderEntry& row) {
        rows.push_back(std::string(row.DirLeft ? "L" : "-") + (row.DirRight ? "R " : "- ") + row.Path + " " +
                       std::to_string(row.SizeLeft) + "/" + std::to_string(row.SizeRight));
    });
    return rows;
}

TMergedFileEntry* RowOf(TSnapshotComparison& c, const std::string& name) {
    TMergedFileEntry* found = nullptr;
    c.MergedFiles.ForEach([&](TMergedFileEntry& row) {
        if (!found &&
            ((row.FileLeft && row.FileLeft->FileName == name) || (row.FileRight && row.FileRight->FileName == name))) {
            found = &row;
        }
    });
    return found;
}

// ---- the same-time test and the scope ----

TEST(SnapshotCompareTime, SameTimeWithinASecondOrOneHourShift) {
    struct Case {
        double seconds;
        bool same;
    } cases[] = {
        {0, true},      {0.9, true},   {-0.9, true},   {1.0, false},  {1.5, false},
        {-1.5, false},  {3599, false}, {3599.5, true}, {3600, true},  {-3600, true},
        {3600.9, true}, {3601, false}, {3602, false},  {7200, false}, {86400, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SameSnapshotFileTime(kT0, AddSeconds(kT0, c.seconds)), c.same) << c.seconds;
    }
}

TEST(SnapshotCompareScope, FolderItselfAndBelowAreInScope) {
    EXPECT_EQ(ComparisonScopeOf("/Data/Photos"), "/data/photos/");
    EXPECT_EQ(ComparisonScopeOf("/mnt/D/"), "/mnt/d/");
    EXPECT_EQ(ComparisonScopeOf("/"), "/");
    struct Case {
        const char* path;
        const char* scope;
        bool inside;
    } cases[] = {
        {"/data/photos", "/data/photos/", true},  // the plain folder itself
        {"/Data/Photos/2020", "/data/photos/", true},
        {"/data/photos2", "/data/photos/", false},
        {"/data", "/data/photos/", false},
        {"/mnt/c/x", "/mnt/d/", false},
        {"/anything", "/", true},
        {"/", "/", true},
        {"/x", "", true},
    };
    for (const Case& c : cases) EXPECT_EQ(InComparisonScope(c.path, c.scope), c.inside) << c.path << " in " << c.scope;
}

// ---- merges on lists built in memory ----

class SnapshotMergeTest : public ::testing::Test {
protected:
    Side left{c.LeftFolders, c.LeftFiles};
    Side right{c.RightFolders, c.RightFiles};
    TSnapshotComparison c;
    RecordingMessages messages;

    void Merge() {
        c.SortLeftFiles();
        c.SortRightFiles();
        c.MergeFolders();
        c.MergeFiles();
    }
};

TEST_F(SnapshotMergeTest, TimeAndSizeChangesClassifyFiles) {
    struct Case {
        const char* name;
        double shift;
        std::int64_t rightSize;
        std::uint8_t status;
    } cases[] = {
        {"same", 0, 10, MergedFile_Identical},
        {"shift-0.9", 0.9, 10, MergedFile_Identical},
        {"shift-1.5", 1.5, 10, MergedFile_Updated},
        {"one-hour", 3600, 10, MergedFile_Identical},
        {"one-hour-back", -3600, 10, MergedFile_Identical},
        {"shift-3602", 3602, 10, MergedFile_Updated},
        {"bigger", 0, 11, MergedFile_Updated},
        {"huge", 0, (std::int64_t{1} << 32) + 10, MergedFile_Updated},  // differs above 32 bits only
    };
    TDirectoryEntry* l = left.Folder(nullptr, "/r");
    TDirectoryEntry* r = right.Folder(nullptr, "/r");
    // Sizes and times unique per case, so no two rows could pair as a move.
    int n = 0;
    for (const Case& k : cases) {
        left.File(l, k.name, 10 + 1000 * n, AddSeconds(kT0, 10000 * n));
        right.File(r, k.name, k.rightSize + 1000 * n, AddSeconds(kT0, 10000 * n + k.shift));
        ++n;
    }
    Merge();
    for (const Case& k : cases) {
        TMergedFileEntry* row = RowOf(c, k.name);
        ASSERT_NE(row, nullptr) << k.name;
        EXPECT_EQ(row->Status, k.status) << k.name;
        EXPECT_NE(row->FileLeft, nullptr);
        EXPECT_NE(row->FileRight, nullptr);
    }
    EXPECT_EQ(c.MergedFiles.Count(), static_cast<int>(std::size(cases)));
}

TEST_F(SnapshotMergeTest, RenameAndMoveArePairedBothWays) {
    TDirectoryEntry* l = left.Folder(nullptr, "/r", 310);
    TDirectoryEntry* la = left.Folder(l, "a", 300);
    left.Folder(l, "b");
    left.File(la, "old-name.dat", 100, kT0);
    left.File(la, "moving.dat", 200, AddSeconds(kT0, 50));
    left.File(l, "gone.txt", 10, kT0);
    TDirectoryEntry* r = right.Folder(nullptr, "/r", 310);
    TDirectoryEntry* ra = right.Folder(r, "a", 100);
    TDirectoryEntry* rb = right.Folder(r, "b", 200);
    right.File(ra, "new-name.dat", 100, kT0);
    // The move also crossed a daylight-saving change.
    right.File(rb, "moving.dat", 200, AddSeconds(kT0, 50 + 3600));
    right.File(r, "fresh.txt", 10, AddSeconds(kT0, 30));  // same size, other time: not a move
    Merge();

    TMergedFileEntry* oldName = RowOf(c, "old-name.dat");
    TMergedFileEntry* newName = RowOf(c, "new-name.dat");
    ASSERT_TRUE(oldName && newName);
    EXPECT_EQ(oldName->Status, MergedFile_Moved);
    EXPECT_EQ(newName->Status, MergedFile_Moved);
    EXPECT_EQ(oldName->ReferenceFile, newName);
    EXPECT_EQ(newName->ReferenceFile, oldName);
    EXPECT_EQ(oldName->GetFileParentPathX2(), "/r/a");

    TMergedFileEntry* movedFrom = nullptr;
    TMergedFileEntry* movedTo = nullptr;
    c.MergedFiles.ForEach([&](TMergedFileEntry& row) {
        if (row.FileName != "moving.dat") return;
        (row.FileLeft ? movedFrom : movedTo) = &row;
    });
    ASSERT_TRUE(movedFrom && movedTo);
    EXPECT_EQ(movedFrom->Status, MergedFile_Moved);
    EXPECT_EQ(movedFrom->ReferenceFile, movedTo);
    EXPECT_EQ(movedTo->ReferenceFile, movedFrom);
    EXPECT_EQ(movedFrom->GetFileParentPath_Left(), "/r/a");
    EXPECT_EQ(movedFrom->GetFileParentPath_Right(), "");
    EXPECT_EQ(movedTo->GetFileParentPath_Right(), "/r/b");
    EXPECT_EQ(movedTo->GetFileParentPathX2(), "/r/b");

    EXPECT_EQ(RowOf(c, "gone.txt")->Status, MergedFile_Deleted);
    EXPECT_EQ(RowOf(c, "fresh.txt")->Status, MergedFile_New);
    EXPECT_EQ(RowOf(c, "gone.txt")->ReferenceFile, nullptr);
}

TEST_F(SnapshotMergeTest, SameSizeCandidatesPairInDateOrder) {
    TDirectoryEntry* l = left.Folder(nullptr, "/r");
    TDirectoryEntry* r = right.Folder(nullptr, "/r");
    // Name order differs from date order on both sides, so only the date
    // order gives these pairs.
    left.File(l, "p1", 500, kT0);
    left.File(l, "p2", 500, AddSeconds(kT0, 100));
    right.File(r, "q1", 500, AddSeconds(kT0, 100));
    right.File(r, "q2", 500, kT0);
    right.File(r, "q0", 500, AddSeconds(kT0, -5000));
    Merge();
    EXPECT_EQ(RowOf(c, "p1")->ReferenceFile, RowOf(c, "q2"));
    EXPECT_EQ(RowOf(c, "q2")->ReferenceFile, RowOf(c, "p1"));
    EXPECT_EQ(RowOf(c, "p2")->ReferenceFile, RowOf(c, "q1"));
    EXPECT_EQ(RowOf(c, "q1")->ReferenceFile, RowOf(c, "p2"));
    EXPECT_EQ(RowOf(c, "q0")->Status, MergedFile_New);
    EXPECT_EQ(RowOf(c, "q0")->ReferenceFile, nullptr);
    for (const char* name : {"p1", "p2", "q1", "q2"}) EXPECT_EQ(RowOf(c, name)->Status, MergedFile_Moved) << name;
}

TEST_F(SnapshotMergeTest, FoldersMatchComponentByComponentIgnoringCase) {
    // Load order: a folder's block, then its siblings. "A/x" lies inside "A",
    // so it comes before "A B" although "A B" < "A/x" as plain text.
    TDirectoryEntry* l = left.Folder(nullptr, "/r", 6);
    TDirectoryEntry* la = left.Folder(l, "A", 3);
    left.File(left.Folder(la, "x", 3), "f", 3, kT0);
    left.File(left.Folder(l, "A B", 2), "f", 2, kT0);
    left.File(left.Folder(l, "Docs", 1), "Read.Me", 1, kT0);
    TDirectoryEntry* r = right.Folder(nullptr, "/r", 7);
    TDirectoryEntry* ra = right.Folder(r, "A", 3);
    right.File(right.Folder(ra, "x", 3), "f", 3, kT0);
    right.File(right.Folder(r, "A B", 2), "f", 2, kT0);
    right.File(right.Folder(r, "docs", 2), "read.me", 2, kT0);
    Merge();
    EXPECT_EQ(FolderRows(c), (std::vector<std::string>{"LR /r 6/7", "LR /r/A 3/3", "LR /r/A/x 3/3", "LR /r/A B 2/2",
                                                       "LR /r/Docs 1/2"}));
    EXPECT_EQ(FileRows(c), (std::vector<std::string>{"0 /r/A/x/f /r/A/x/f", "0 /r/A B/f /r/A B/f",
                                                     "4 /r/Docs/Read.Me /r/docs/read.me"}));
    EXPECT_EQ(RowOf(c, "Read.Me")->FileName, "Read.Me");
}

TEST_F(SnapshotMergeTest, OneSidedFoldersAndFilesAtEitherEnd) {
    TDirectoryEntry* l = left.Folder(nullptr, "/r");
    left.File(left.Folder(l, "b"), "only-left", 1, kT0);
    left.Folder(l, "c");
    TDirectoryEntry* r = right.Folder(nullptr, "/r");
    right.File(right.Folder(r, "a"), "only-right", 2, kT0);
    right.Folder(r, "c");
    right.File(right.Folder(r, "z"), "after-last", 3, kT0);
    Merge();
    EXPECT_EQ(FolderRows(c),
              (std::vector<std::string>{"LR /r 0/0", "-R /r/a 0/0", "L- /r/b 0/0", "LR /r/c 0/0", "-R /r/z 0/0"}));
    EXPECT_EQ(FileRows(c),
              (std::vector<std::string>{"1 - /r/a/only-right", "2 /r/b/only-left -", "1 - /r/z/after-last"}));
}

TEST_F(SnapshotMergeTest, CorruptSideGivesItsMessageAndNoFolderRows) {
    for (const bool corruptLeft : {true, false}) {
        SCOPED_TRACE(corruptLeft);
        c.ClearInputs();
        messages.shown.clear();
        TDirectoryEntry* l = left.Folder(nullptr, corruptLeft ? "" : "/r");
        TDirectoryEntry* r = right.Folder(nullptr, corruptLeft ? "/r" : "");
        left.File(l, "f", 1, kT0);
        right.File(r, "f", 1, kT0);
        Merge();
        EXPECT_EQ(messages.shown,
                  std::vector<std::string>{corruptLeft ? "Corrupt left snapshot" : "Corrupt right snapshot"});
        EXPECT_EQ(c.MergedFolders.Count(), 0);
        // The file merge still runs; the folder paths differ, so no pair.
        EXPECT_EQ(FileRows(c).size(), 2u);
    }
}

TEST_F(SnapshotMergeTest, ClearingInputsDropsRowsThatPointIntoThem) {
    TDirectoryEntry* l = left.Folder(nullptr, "/r");
    left.File(l, "f", 1, kT0);
    Merge();
    ASSERT_EQ(c.MergedFiles.Count(), 1);
    c.ClearInputs();
    EXPECT_EQ(c.MergedFiles.Count(), 0);
    EXPECT_EQ(c.MergedFolders.Count(), 0);
}

// ---- whole runs on snapshot files and live folders ----

class SnapshotCompareRunTest : public ::testing::Test {
protected:
    void TearDown() override {
        test_hooks::SetCompareStepHook({});
        test_hooks::SetPauseStepMs(0);
    }

    std::string Snapshot(const std::string& name, TStringList body, bool withMarker = true) {
        if (withMarker) body.insert(body.begin(), "|files.v2|");
        const std::string file = dir.Path(name);
        EXPECT_TRUE(SaveExtendedVolume(body, file, "|version|\r\n3\r\n"));
        return file;
    }
    void Run(const std::string& leftFile, const std::string& rightPath) {
        c.LeftPath = leftFile;
        c.RightPath = rightPath;
        TThreadCompareSnapshots thread(model, c);
        thread.Start();
        thread.WaitFor();
        EXPECT_FALSE(thread.threadRunning);
        failed = thread.Failed();
        error = thread.ErrorText();
    }

    TempDir dir;
    ScanModel model;
    TSnapshotComparison c;
    RecordingMessages messages;
    bool failed = false;
    std::string error;
};

TEST_F(SnapshotCompareRunTest, UnchangedTreeASecondLaterIsAllIdentical) {
    const TStringList body = {"|/v/", FileLine("a.txt", 5, kT0), "|/v/sub/", FileLine("b.bin", 7, AddSeconds(kT0, 9)),
                              FileLine("c.bin", 7, AddSeconds(kT0, 9))};
    const std::string older = Snapshot("older.snapshot", body);
    const std::string newer = Snapshot("newer.snapshot", body);
    Run(older, newer);
    EXPECT_FALSE(failed) << error;
    EXPECT_EQ(FolderRows(c), (std::vector<std::string>{"LR /v 19/19", "LR /v/sub 14/14"}));
    EXPECT_EQ(FileRows(c), (std::vector<std::string>{"0 /v/a.txt /v/a.txt", "0 /v/sub/b.bin /v/sub/b.bin",
                                                     "0 /v/sub/c.bin /v/sub/c.bin"}));
    EXPECT_TRUE(c.ComparisonScope.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SnapshotCompareRunTest, SnapshotWithoutMarkerLineIsReadFromItsFirstLine) {
    const std::string older = Snapshot("older.snapshot", {"|/v/", FileLine("a", 1, kT0)}, false);
    const std::string newer =
        Snapshot("newer.snapshot", {"|/v/", FileLine("a", 1, AddSeconds(kT0, 3600)), FileLine("b", 2, kT0)});
    Run(older, newer);
    EXPECT_FALSE(failed) << error;
    EXPECT_EQ(FileRows(c), (std::vector<std::string>{"0 /v/a /v/a", "1 - /v/b"}));
}

TEST_F(SnapshotCompareRunTest, UnreadableOrMissingSideFailsWithoutRows) {
    const std::string good = Snapshot("good.snapshot", {"|/v/", FileLine("a", 1, kT0)});
    const std::string notSnapshot = dir.WriteFile("junk.snapshot", std::string("\x00\x01\x02\xff", 4));
    const std::string empty = Snapshot("empty.snapshot", {});
    struct Case {
        std::string left, right, errorStart;
    } cases[] = {
        {good, dir.Path("missing.snapshot"), "Snapshot not found: "},
        {dir.Path("missing.snapshot"), good, "Snapshot not found: "},
        {dir.path(), good, "Snapshot not found: "},  // a folder is no left snapshot
        {good, notSnapshot, "Could not load snapshot "},
        {empty, good, "Could not load snapshot "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.left + " | " + k.right);
        messages.shown.clear();
        Run(k.left, k.right);
        EXPECT_TRUE(failed);
        EXPECT_EQ(error.rfind(k.errorStart, 0), 0u) << error;
        EXPECT_EQ(messages.shown, std::vector<std::string>{error});
        EXPECT_EQ(c.MergedFiles.Count(), 0);
        EXPECT_EQ(c.MergedFolders.Count(), 0);
    }
}

TEST_F(SnapshotCompareRunTest, LivePlainFolderMatchesItselfAndItsFiles) {
    const TDateTime when = EncodeDateTime(2022, 6, 1, 12, 0, 0, 0);
    const std::string tree = dir.MakeFolder("tree");
    for (const char* file : {"tree/top.txt", "tree/Keep/inner.txt", "tree/Other/skip.txt", "tree/Keep/zz/new.txt"}) {
        ASSERT_TRUE(platform::SetLastWriteTime(dir.WriteFile(file, "1234"), LocalDateTimeToFileTime(when)));
    }
    // The left snapshot covers the whole tree; the right side is one plain folder of it.
    const std::string snapshot =
        Snapshot("tree.snapshot",
                 {"|" + tree + "/", FileLine("top.txt", 4, when), "|" + tree + "/Keep/", FileLine("inner.txt", 4, when),
                  FileLine("removed.txt", 4, kT0), "|" + tree + "/Other/", FileLine("skip.txt", 4, when)});
    Run(snapshot, tree + "/Keep/");
    EXPECT_FALSE(failed) << error;
    EXPECT_EQ(c.ComparisonScope, platform::LowerCase(tree) + "/keep/");
    // Outside the scope: the tree root and Other give no rows at all.
    EXPECT_EQ(FolderRows(c), (std::vector<std::string>{"LR " + tree + "/Keep 8/8", "-R " + tree + "/Keep/zz 0/4"}));
    EXPECT_EQ(FileRows(c),
              (std::vector<std::string>{"0 " + tree + "/Keep/inner.txt " + tree + "/Keep/inner.txt",
                                        "2 " + tree + "/Keep/removed.txt -", "1 - " + tree + "/Keep/zz/new.txt"}));
}

TEST_F(SnapshotCompareRunTest, LiveFolderOfAnotherVolumeComesOutAllNew) {
    const std::string tree = dir.MakeFolder("live");
    dir.WriteFile("live/a.txt", "x");
    dir.WriteFile("live/sub/b.txt", "yy");
    const std::string snapshot =
        Snapshot("c.snapshot", {"|/mnt/c/", FileLine("a.txt", 1, kT0), "|/mnt/c/sub/", FileLine("b.txt", 2, kT0)});
    Run(snapshot, tree);
    EXPECT_FALSE(failed) << error;
    EXPECT_EQ(FolderRows(c), (std::vector<std::string>{"-R " + tree + " 0/3", "-R " + tree + "/sub 0/2"}));
    EXPECT_EQ(FileRows(c), (std::vector<std::string>{"1 - " + tree + "/a.txt", "1 - " + tree + "/sub/b.txt"}));
}

TEST_F(SnapshotCompareRunTest, CancelBetweenStepsKeepsLaterListsEmpty) {
    const std::string older = Snapshot("older.snapshot", {"|/v/", FileLine("a", 1, kT0), FileLine("b", 2, kT0)});
    const std::string newer = Snapshot("newer.snapshot", {"|/v/", FileLine("a", 1, kT0), FileLine("c", 3, kT0)});

    std::vector<std::string> steps;
    test_hooks::SetCompareStepHook([&](std::string_view step) { steps.emplace_back(step); });
    Run(older, newer);
    const std::vector<std::string> allSteps = {"Processing right snapshot...",
                                               "Processing left snapshot...",
                                               "Comparing snapshots...",
                                               "Sorting files list 1...",
                                               "Sorting files list 2...",
                                               "Processing directories...",
                                               "Comparing files..."};
    EXPECT_EQ(steps, allSteps);

    struct Case {
        const char* step;
        int leftFiles, rightFiles, leftSorted, rightSorted, folderRows, fileRows;
    } cases[] = {
        {"Processing right snapshot...", 0, 0, 0, 0, 0, 0}, {"Processing left snapshot...", 0, 2, 0, 0, 0, 0},
        {"Comparing snapshots...", 2, 2, 0, 0, 0, 0},       {"Sorting files list 1...", 2, 2, 2, 0, 0, 0},
        {"Sorting files list 2...", 2, 2, 2, 2, 0, 0},      {"Processing directories...", 2, 2, 2, 2, 1, 0},
        {"Comparing files...", 2, 2, 2, 2, 1, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.step);
        model.CancelOperation = false;
        test_hooks::SetCompareStepHook([&](std::string_view step) {
            if (step == k.step) model.CancelOperation = true;
        });
        Run(older, newer);
        EXPECT_FALSE(failed);  // a cancelled run ends quietly
        EXPECT_EQ(c.LeftFiles.Count(), k.leftFiles);
        EXPECT_EQ(c.RightFiles.Count(), k.rightFiles);
        EXPECT_EQ(static_cast<int>(c.LeftFilesSorted().size()), k.leftSorted);
        EXPECT_EQ(static_cast<int>(c.RightFilesSorted().size()), k.rightSorted);
        EXPECT_EQ(c.MergedFolders.Count(), k.folderRows);
        EXPECT_EQ(c.MergedFiles.Count(), k.fileRows);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SnapshotCompareRunTest, PauseHoldsTheRunUntilReleased) {
    const std::string older = Snapshot("older.snapshot", {"|/v/", FileLine("a", 1, kT0)});
    test_hooks::SetPauseStepMs(5);
    test_hooks::SetCompareStepHook([&](std::string_view step) {
        if (step == "Sorting files list 2...") model.PauseOperation = true;
    });
    c.LeftPath = c.RightPath = older;
    TThreadCompareSnapshots thread(model, c);
    thread.Start();
    WaitUntilPaused(model);
    EXPECT_TRUE(thread.threadRunning);
    EXPECT_EQ(c.MergedFolders.Count(), 0);
    EXPECT_EQ(model.ProgressText.GetText(), "Sorting files list 2...\r\n");
    model.PauseOperation = false;
    thread.WaitFor();
    EXPECT_FALSE(thread.threadRunning);
    EXPECT_EQ(FileRows(c), std::vector<std::string>{"0 /v/a /v/a"});
}

}  // namespace
}  // namespace tandrel
