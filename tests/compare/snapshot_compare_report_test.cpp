#include "compare/snapshot_compare_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/date_time.h"
#include "support/comparison_sides.h"
#include "support/recording_messages.h"

namespace tandrel {
namespace {

const TDateTime kT0 = EncodeDateTime(2021, 3, 4, 5, 6, 7, 0);

class SnapshotReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        TDirectoryEntry* l = left.Folder(nullptr, "/r", 300);
        TDirectoryEntry* r = right.Folder(nullptr, "/r", 150);
        l->TotalDirs = 4;
        l->TotalFiles = 5;
        r->TotalDirs = 3;
        r->TotalFiles = 5;
        TDirectoryEntry* gone = left.Folder(l, "gone", 100);
        left.Folder(l, "same", 50);
        right.Folder(r, "same", 50);
        left.Folder(l, "grow", 10);
        right.Folder(r, "grow", 30);
        left.Folder(l, "empty-left", 0);
        TDirectoryEntry* added = right.Folder(r, "new", 20);

        left.File(l, "keep.txt", 10, kT0);
        right.File(r, "keep.txt", 10, kT0);
        left.File(l, "tmpfile.txt", 100, kT0 + 1);
        right.File(r, "tmpfile.txt", 40, kT0 + 2);
        left.File(l, "deleted.bin", 7, kT0 + 3);
        right.File(r, "added.bin", 9, kT0 + 4);
        left.File(gone, "old.dat", 55, kT0 + 5);
        right.File(added, "new.dat", 55, kT0 + 5);

        c.SortLeftFiles();
        c.SortRightFiles();
        c.MergeFolders();
        c.MergeFiles();
    }

    std::vector<std::string> FileNames(const std::vector<int>& rows) {
        std::vector<std::string> names;
        for (int p : rows) names.push_back(c.MergedFiles[static_cast<std::size_t>(p)]->FileName);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> FolderPaths(const std::vector<int>& rows) {
        std::vector<std::string> paths;
        for (int p : rows) paths.push_back(c.MergedFolders[static_cast<std::size_t>(p)]->Path);
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    TSnapshotComparison c;
    testing::ComparisonSide left{c.LeftFolders, c.LeftFiles};
    testing::ComparisonSide right{c.RightFolders, c.RightFiles};
    testing::RecordingMessages messages;
};

using Names = std::vector<std::string>;

TEST_F(SnapshotReportTest, FileRowsByKindWithTotals) {
    TFileRowLists rows = FilterFileRows(c, TComparisonShow{}, "");
    EXPECT_EQ((Names{"added.bin", "deleted.bin", "new.dat", "old.dat", "tmpfile.txt"}), FileNames(rows.all));
    EXPECT_EQ((Names{"added.bin"}), FileNames(rows.added));
    EXPECT_EQ((Names{"deleted.bin"}), FileNames(rows.deleted));
    EXPECT_EQ((Names{"tmpfile.txt"}), FileNames(rows.updated));
    EXPECT_EQ((Names{"new.dat"}), FileNames(rows.moved)) << "a move is listed once, by its new location";

    EXPECT_EQ("Total files: 1, total size: 9b", FileTotalsText(rows.addedTotals.count, rows.addedTotals.sizeRight));
    EXPECT_EQ("Total files: 1, total size: 7b", FileTotalsText(rows.deletedTotals.count, rows.deletedTotals.sizeLeft));
    EXPECT_EQ("Total files: 1, total size: 55b", FileTotalsText(rows.movedTotals.count, rows.movedTotals.sizeRight));
    EXPECT_EQ("Total files: 1, total size (left): 100b, total size (right): 40b, difference: -60b, -60.00%",
              UpdatedTotalsText(rows.updatedTotals));
    EXPECT_EQ("Total files: 0, total size (left): 0b, total size (right): 2.00KB, difference: 2.00KB",
              UpdatedTotalsText(TFileTotals{0, 0, 2048}));
}

TEST_F(SnapshotReportTest, ShowSwitchesAndFilterWords) {
    TComparisonShow show;
    show.added = false;
    show.identical = true;
    TFileRowLists rows = FilterFileRows(c, show, "");
    EXPECT_TRUE(rows.added.empty());
    EXPECT_EQ((Names{"deleted.bin", "keep.txt", "new.dat", "old.dat", "tmpfile.txt"}), FileNames(rows.all));

    rows = FilterFileRows(c, TComparisonShow{}, "-TMP");
    EXPECT_TRUE(rows.updated.empty());
    EXPECT_EQ(0, rows.updatedTotals.count);
    // A move matches by either of its names.
    EXPECT_EQ((Names{"new.dat", "old.dat"}), FileNames(FilterFileRows(c, TComparisonShow{}, "old.dat").all));
    EXPECT_EQ((Names{"/r/new"}), FolderPaths(FilterFolderRows(c, TComparisonShow{}, "new").all));
}

// Split over threads, the lists and totals are those of one pass, in row order.
TEST_F(SnapshotReportTest, FilterSplitOverThreadsGivesTheSameLists) {
    for (const char* words : {"-TMP", ".dat", "r new"}) {
        const TFileRowLists one = FilterFileRows(c, TComparisonShow{}, words);
        const TFileRowLists split = FilterFileRows(c, TComparisonShow{}, words, 2);
        SCOPED_TRACE(words);
        EXPECT_FALSE(one.all.empty());
        EXPECT_EQ(one.all, split.all);
        EXPECT_EQ(one.added, split.added);
        EXPECT_EQ(one.deleted, split.deleted);
        EXPECT_EQ(one.updated, split.updated);
        EXPECT_EQ(one.moved, split.moved);
        for (auto totals : {&TFileRowLists::addedTotals, &TFileRowLists::deletedTotals, &TFileRowLists::updatedTotals,
                            &TFileRowLists::movedTotals}) {
            EXPECT_EQ((one.*totals).count, (split.*totals).count);
            EXPECT_EQ((one.*totals).sizeLeft, (split.*totals).sizeLeft);
            EXPECT_EQ((one.*totals).sizeRight, (split.*totals).sizeRight);
        }
    }
}

TEST_F(SnapshotReportTest, FolderRowsByKind) {
    TFolderRowLists rows = FilterFolderRows(c, TComparisonShow{}, "");
    EXPECT_EQ((Names{"/r/new"}), FolderPaths(rows.added));
    EXPECT_EQ((Names{"/r/gone"}), FolderPaths(rows.deleted));
    EXPECT_EQ((Names{"/r", "/r/grow"}), FolderPaths(rows.updated));
    // "same" is identical (hidden by default); "empty-left" is of no kind.
    EXPECT_EQ((Names{"/r", "/r/gone", "/r/grow", "/r/new"}), FolderPaths(rows.all));
    TComparisonShow all;
    all.identical = true;
    EXPECT_EQ((Names{"/r", "/r/gone", "/r/grow", "/r/new", "/r/same"}), FolderPaths(FilterFolderRows(c, all, "").all));
}

TEST_F(SnapshotReportTest, OverviewOfBothSides) {
    auto rows = BuildComparisonOverview(c, kT0, kT0 + 2, kT0 + 3);
    ASSERT_EQ(6u, rows.size());
    auto text = [](const TComparisonOverviewRow& r) {
        return r.description + "|" + r.left + "|" + r.right + "|" + r.difference + "|" + r.percent;
    };
    EXPECT_EQ("Date of snapshot|2021-03-04 05:06:07.000|2021-03-06 05:06:07.000||", text(rows[0]));
    EXPECT_EQ("Age of snapshot|3d|1d|2d|", text(rows[1]));
    EXPECT_EQ("Path:|/r|/r||", text(rows[2]));
    EXPECT_EQ("Total size:|300|150|-150|-50.00%", text(rows[3]));
    EXPECT_EQ("Directories:|4|3|-1|-25.00%", text(rows[4]));
    EXPECT_EQ("Files:|5|5|+0|0.00%", text(rows[5]));

    TSnapshotComparison empty;
    rows = BuildComparisonOverview(empty, kT0, kT0, kT0);
    EXPECT_EQ("Total size:||||", text(rows[3]));
}

}  // namespace
}  // namespace tandrel
