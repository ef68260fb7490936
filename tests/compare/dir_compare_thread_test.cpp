#include "compare/dir_compare_thread.h"

#include <gtest/gtest.h>

#include <string>

#include "compare/file_content_compare.h"
#include "platform/file_system.h"
#include "scan/scan_thread_x.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

class DirCompareThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string big(kCompareBlockSize + 5, 'x');
        std::string bigChanged = big;
        bigChanged.back() = 'y';
        Pair("same.txt", "hello", "hello");
        Pair("sub/deeper/same.bin", big, big);
        Pair("sub/loose.bin", big, bigChanged);
        Pair("sizes.txt", "short", "longer");
        Pair("empty", "", "");
        dir.WriteFile("left/only-left.txt", "alone");
        dir.MakeFolder("right/folder-not-file");
        dir.WriteFile("left/folder-not-file", "x");
        dir.WriteFile("left/locked/file", "data");
        dir.WriteFile("right/locked/file", "data");
    }
    void TearDown() override { platform::test_hooks::DenyAccessBelow(""); }

    void Pair(const std::string& relative, const std::string& left, const std::string& right) {
        dir.WriteFile("left/" + relative, left);
        dir.WriteFile("right/" + relative, right);
    }

    // Lists the left tree as the comparison view does and runs the worker.
    void Run() {
        TStopToken listing;  // the listing's own: a cancel set for the comparison stays
        entries = MakeCompareEntries(ScanFiles(listing, dir.Path("left"), true, "", ""));
        std::vector<TFileEntryCompare*> list;
        for (auto& e : entries) list.push_back(e.get());
        TThreadCompareX thread(model, cache);
        thread.Init(list, dir.Path("left"), dir.Path("right/"));
        thread.Start();
        thread.WaitFor();
        EXPECT_FALSE(thread.threadRunning);
        EXPECT_EQ(nullptr, thread.fileCurrent.load());
    }

    TFileCompareResult StatusOf(const std::string& relative) const {
        for (const auto& e : entries) {
            if (e->Path + e->FileName == dir.Path("left/" + relative)) return e->Status();
        }
        ADD_FAILURE() << relative << " not listed";
        return FC_EMPTY;
    }

    TempDir dir;
    ScanModel model;
    TCompareCache cache{dir.Path("cache/identical.ini"), dir.Path("cache/loose.ini")};
    TFileEntryCompareList entries;
};

TEST_F(DirCompareThreadTest, EveryLeftFileGetsItsVerdict) {
    platform::test_hooks::DenyAccessBelow(dir.Path("right/locked"));
    Run();
    const struct {
        const char* file;
        TFileCompareResult want;
    } cases[] = {
        {"same.txt", FC_IDENTICAL},
        {"sub/deeper/same.bin", FC_IDENTICAL},
        {"sub/loose.bin", FC_LOOSE_COPY},
        {"sizes.txt", FC_SIZE_DIFFERENT},
        {"empty", FC_IDENTICAL},
        {"only-left.txt", FC_RIGHT_MISSING},
        {"folder-not-file", FC_RIGHT_MISSING},
        {"locked/file", FC_ACCESS_VIOLATION},
    };
    ASSERT_EQ(std::size(cases), entries.size());
    for (const auto& c : cases) EXPECT_EQ(c.want, StatusOf(c.file)) << c.file;
    EXPECT_EQ("Comparing file 8 of 8: " + entries.back()->FileName + "\r\n", model.ProgressText.GetText());
    // Verdicts read from content are remembered; an unreadable pair is not.
    EXPECT_EQ(3, cache.IdenticalCount());
    EXPECT_EQ(1, cache.DifferentCount());
}

TEST_F(DirCompareThreadTest, SecondRunIsAnsweredFromTheCache) {
    Run();
    // Unreadable content now; the unchanged pairs still get their verdicts.
    platform::test_hooks::DenyAccessBelow(dir.Path("right/sub"));
    Run();
    EXPECT_EQ(FC_IDENTICAL, StatusOf("sub/deeper/same.bin"));
    EXPECT_EQ(FC_LOOSE_COPY, StatusOf("sub/loose.bin"));
}

TEST_F(DirCompareThreadTest, CancelLeavesTheRemainingEntriesUncompared) {
    model.CancelOperation = true;
    Run();
    for (const auto& e : entries) EXPECT_EQ(FC_EMPTY, e->Status()) << e->FileName;
}

TEST_F(DirCompareThreadTest, ComparesWhileTheListingGoesOn) {
    // The listing hands over each folder's files as it moves on; the worker
    // waits for more until the feed is closed.
    TThreadCompareX thread(model, cache);
    thread.Init({}, dir.Path("left"), dir.Path("right"));
    thread.OpenFeed();
    thread.Start();
    TThreadScanX scan(model);
    scan.Init(dir.Path("left"), true, "", "", 0, 0, {});
    scan.OnFilesListed = [&](const TFileTypeList& files, std::size_t from) {
        std::vector<TFileEntryCompare*> batch;
        for (std::size_t i = from; i < files.size(); ++i) {
            entries.push_back(MakeCompareEntry(*files[i]));
            batch.push_back(entries.back().get());
        }
        thread.Feed(batch);
    };
    scan.Start();
    scan.WaitFor();
    EXPECT_TRUE(thread.threadRunning) << "still waiting for the feed";
    thread.CloseFeed();
    thread.WaitFor();
    EXPECT_FALSE(thread.threadRunning);
    ASSERT_EQ(8u, entries.size());
    ASSERT_EQ(8u, thread.fileIdxToCompareAr.size());
    EXPECT_EQ(FC_LOOSE_COPY, StatusOf("sub/loose.bin"));
    EXPECT_EQ(FC_RIGHT_MISSING, StatusOf("only-left.txt"));
    for (const auto& e : entries) EXPECT_NE(FC_EMPTY, e->Status()) << e->FileName;
}

TEST(RightFileOf, JoinsTheRelativeFolderUnderTheRightRoot) {
    TFileEntryCompare e;
    e.FileName = "f.txt";
    e.Path = "/l/a/b/";
    EXPECT_EQ("/r/a/b/f.txt", RightFileOf(e, "/l", "/r"));
    EXPECT_EQ("/r/a/b/f.txt", RightFileOf(e, "/l/", "/r/"));
    e.Path = "/l/";
    EXPECT_EQ("/r/f.txt", RightFileOf(e, "/l", "/r"));
}

}  // namespace
}  // namespace tandrel
