#include "scan/snapshot_loader.h"

#include <gtest/gtest.h>

#include "common/date_time.h"
#include "scan/scan_test_helpers.h"

namespace tandrel {
namespace {

using testing::ChildNamed;
using testing::RecordNamed;

const std::string kTimes = "|2020-01-02 03:04:05.000|2020-01-02 03:04:05.678|32";

class SnapshotLoaderTest : public ::testing::Test {
protected:
    TDirectoryStats Load(const TStringList& lines) {
        model.ResetTreemap("", false);
        model.ResetDirectoryEntries();
        SnapshotLineReader reader = SnapshotLineReader::FromLines(lines);
        return LoadSnapshotToTreemap(model, reader, "", model.Root(), nullptr, &report);
    }
    ScanModel model;
    SnapshotLoadReport report;
};

TEST_F(SnapshotLoaderTest, FolderLinesNestByPathPrefix) {
    TDirectoryStats stats =
        Load({"|/c/a/", "f1|10" + kTimes, "|/c/a/b/|2020-01-01 00:00:00.000|2020-01-01 00:00:00.000|16",
              "f2|5" + kTimes, "|/c/a/c/", "|/c/a/cd/", "f3|1" + kTimes});
    EXPECT_EQ(report.skippedLines, 0);
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(stats.FilesCount, 3);
    EXPECT_EQ(stats.DirectoriesCount, 3);
    EXPECT_EQ(stats.Size, 16);
    TDiskTreeMapEntry* root = model.Root();
    EXPECT_EQ(root->Name, "/c/a");
    EXPECT_EQ(root->SizeTotal, 16);
    EXPECT_EQ(root->SizeRoot(), 10);
    // "c" and "cd" are siblings: a prefix test on paths ending in "/" cannot mix them up.
    ASSERT_NE(ChildNamed(root, "b"), nullptr);
    ASSERT_NE(ChildNamed(root, "c"), nullptr);
    ASSERT_NE(ChildNamed(root, "cd"), nullptr);
    EXPECT_EQ(ChildNamed(ChildNamed(root, "cd"), "f3")->SizeTotal, 1);
    TDiskTreeMapEntry* f1 = ChildNamed(root, "f1");
    EXPECT_EQ(f1->DateM, EncodeDateTime(2020, 1, 2, 3, 4, 5, 0));  // milliseconds are not read
    EXPECT_EQ(model.DirectoryEntries[0]->FolderName, "/c/a");
    EXPECT_EQ(RecordNamed(model, "cd")->CalcPath(), "/c/a/cd");
    EXPECT_EQ(RecordNamed(model, "b")->Level, 1);
    EXPECT_EQ(model.ScanDepth, 0);
    model.LastScanStats = stats;
    testing::ExpectFinishedModelInvariants(model);
}

TEST_F(SnapshotLoaderTest, MalformedLinesAreSkippedAndCounted) {
    Load({
        "orphan|1" + kTimes,  // a file before any folder
        "|/r/",
        "nosize",
        "bad|abc" + kTimes,
        "neg|-5" + kTimes,
        "|",
        "|   |",
        "",
        "|/r/",  // the open folder again
        "ok|3" + kTimes,
        "|/r/s/",
        "|/r//",  // no name below /r/
        "in_s|4" + kTimes,
        "|/elsewhere/",  // a second top-level block: left out with its lines
        "late|1" + kTimes,
        "|/r/t/",
    });
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.skippedLines, 12);
    TDiskTreeMapEntry* root = model.Root();
    EXPECT_EQ(root->Name, "/r");
    EXPECT_EQ(root->ChildrenEntries.size(), 2u);
    EXPECT_EQ(ChildNamed(ChildNamed(root, "s"), "in_s")->SizeTotal, 4);
    EXPECT_EQ(ChildNamed(root, "t"), nullptr);
    EXPECT_EQ(root->SizeTotal, 7);
    testing::ExpectFinishedModelInvariants(model);
}

TEST_F(SnapshotLoaderTest, InputWithoutAnyFolderIsAnError) {
    Load({"just some text", "more|text"});
    EXPECT_EQ(report.error, "snapshot holds no folder");
    EXPECT_EQ(report.skippedLines, 2);
}

TEST_F(SnapshotLoaderTest, DeepNestingLoadsUpToTheLimitAndIsRefusedBeyondIt) {
    auto nested = [](int depth) {
        TStringList lines;
        std::string path = "/";
        for (int i = 0; i <= depth; ++i) {
            lines.push_back("|" + path);
            path += "a/";
        }
        return lines;
    };
    Load(nested(3000));
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(model.DirectoryEntries[0]->TotalDirs, 3000);
    EXPECT_EQ(model.DirectoryEntries[3000]->Level, 3000);

    ScanModel deep;
    deep.ResetTreemap("", false);
    SnapshotLineReader reader = SnapshotLineReader::FromLines(nested(kMaxSnapshotFolderDepth + 100));
    SnapshotLoadReport deepReport;
    LoadSnapshotToTreemap(deep, reader, "", deep.Root(), nullptr, &deepReport);
    EXPECT_NE(deepReport.error.find("nest deeper"), std::string::npos);
    // Nothing was completed: a refused load never looks finished.
    int filesRecords = 0;
    deep.DirectoryEntries.ForEach([&](TDirectoryEntry& r) { filesRecords += r.FolderName == "[files]"; });
    EXPECT_EQ(filesRecords, 0);
}

TEST_F(SnapshotLoaderTest, DamagedStreamEndsWithAnError) {
    SnapshotLinesWriter writer;
    writer.Add("|/r/");
    for (int i = 0; i < 20000; ++i) writer.Add("file" + std::to_string(i) + "|" + std::to_string(i) + kTimes);
    std::string body = writer.TakeCompressed();
    for (std::string damaged : {body.substr(0, body.size() / 2), body.substr(0, 40) + std::string(200, 'x')}) {
        ScanModel m;
        m.ResetTreemap("", false);
        SnapshotLineReader reader = SnapshotLineReader::FromCompressed(damaged);
        SnapshotLoadReport r;
        LoadSnapshotToTreemap(m, reader, "", m.Root(), nullptr, &r);
        EXPECT_FALSE(r.error.empty());
        EXPECT_LE(m.DirectoryEntries.Count(), 1);  // at most the root record, never completed
    }
}

TEST_F(SnapshotLoaderTest, CallWithAPathStopsAtTheFirstLineOutsideIt) {
    model.ResetTreemap("", false);
    model.ResetDirectoryEntries();
    SnapshotLineReader reader = SnapshotLineReader::FromLines({"x|1" + kTimes, "|/p/q/", "y|2" + kTimes, "|/p/z/"});
    TDirectoryStats stats = LoadSnapshotToTreemap(model, reader, "/p", model.Root(), nullptr, &report);
    EXPECT_EQ(stats.FilesCount, 2);
    EXPECT_EQ(stats.DirectoriesCount, 2);
    EXPECT_EQ(model.Root()->Name, "/p");
    std::string_view next;
    EXPECT_FALSE(reader.Next(next));  // /p/z/ is below /p/, so everything was read
}

TEST_F(SnapshotLoaderTest, ListsFormFillsFlatLists) {
    SnapshotLineReader reader = SnapshotLineReader::FromLines(
        {"orphan|1" + kTimes, "|/c/a/", "f1|10" + kTimes, "|/c/a/b/", "f2|5" + kTimes, "|/c/a/c/"});
    TOwningStore<TFileEntry> files;
    TOwningStore<TDirectoryEntry> folders;
    TDirectoryStats stats = LoadSnapshotToLists(model, reader, "", files, folders, nullptr, &report);
    EXPECT_EQ(report.skippedLines, 1);
    EXPECT_EQ(stats.FilesCount, 2);
    EXPECT_EQ(stats.Size, 15);
    ASSERT_EQ(folders.Count(), 3);
    EXPECT_EQ(folders[0]->FolderName, "/c/a");
    EXPECT_EQ(folders[0]->TotalSize, 15);
    EXPECT_EQ(folders[0]->RootDirs, 2);
    EXPECT_EQ(folders[2]->CalcPath(), "/c/a/c");
    EXPECT_EQ(folders[2]->Idx, 3);
    EXPECT_EQ(folders[1]->Level, 1);
    EXPECT_TRUE(folders[0]->ChildrenEntries.empty());
    ASSERT_EQ(files.Count(), 2);
    EXPECT_EQ(files[1]->FileName, "f2");
    EXPECT_EQ(files[1]->OwnerFolder, folders[1]);
    EXPECT_EQ(files[1]->DateM, EncodeDateTime(2020, 1, 2, 3, 4, 5, 0));
    EXPECT_EQ(model.ListScanDepth, 0);
    EXPECT_TRUE(model.DirectoryEntries.Empty());
}

TEST_F(SnapshotLoaderTest, CancelStopsTheLoadWithoutCompletingFolders) {
    model.CancelOperation = true;
    TDirectoryStats stats = Load({"|/r/", "f|1" + kTimes});
    EXPECT_EQ(stats.FilesCount, 0);
    EXPECT_TRUE(model.DirectoryEntries.Empty());
}

}  // namespace
}  // namespace tandrel
