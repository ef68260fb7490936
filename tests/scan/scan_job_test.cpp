#include "scan/scan_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/file_system.h"
#include "scan/folder_records.h"
#include "scan/scan_test_helpers.h"
#include "scan/snapshot_details.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_lines.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

// Returns once a worker sleeps in its pause, so what is checked next cannot
// still move.
using testing::ChildNamed;
using testing::ModelImage;
using testing::RecordingMessages;
using testing::TempDir;

class ScanJobTest : public ::testing::Test {
protected:
    void SetUp() override { model.SnapshotsPath = snapshots.path(); }
    void TearDown() override { test_hooks::SetFolderVisitHook({}); }

    // Runs the job on path the way the scan command does.
    void RunJob(const std::string& path, TThreadDiskTreemap& job) {
        PrepareScan(model, path, false);
        job.Start();
        job.WaitFor();
        EXPECT_FALSE(job.threadRunning);
    }
    // A copy of the temporary snapshot, as a saved snapshot would be.
    std::string CopyOfTempSnapshot() {
        const std::string copy = snapshots.Path("copy.snapshot");
        EXPECT_TRUE(platform::CopyFile(model.TempSnapshotFn, copy, false));
        return copy;
    }

    RecordingMessages messages;
    TempDir snapshots;
    ScanModel model;
};

TEST_F(ScanJobTest, LiveScanSavedAndLoadedAgainGivesTheSameModel) {
    TempDir dir;
    // Names the line format must escape, and bytes that are not UTF-8.
    dir.WriteFile("pipe|name.txt", "12345");
    dir.WriteFile("line\nbreak", "1");
    dir.WriteFile("carriage\rreturn", "22");
    dir.WriteFile("literal%7C", "333");
    dir.WriteFile("bad\xff\xfe", "4444");
    dir.WriteFile("dir|x/inner%25", "55555");
    dir.WriteFile("Sub/deeper/file", std::string(1000, 'f'));
    dir.MakeFolder("empty");

    TThreadDiskTreemap scan(model);
    RunJob(dir.path(), scan);
    ASSERT_FALSE(scan.Failed()) << scan.ErrorText();
    EXPECT_TRUE(scan.IsLiveScan());
    testing::ExpectFinishedModelInvariants(model);
    TDirectoryEntry* root = model.DirectoryEntries[0];
    EXPECT_EQ(root->TotalSize, model.LastScanStats.Size);
    EXPECT_EQ(root->TotalFiles, model.LastScanStats.FilesCount);
    EXPECT_EQ(root->TotalDirs, model.LastScanStats.DirectoriesCount);
    EXPECT_EQ(model.LastScanStats.FilesCount, 7);
    ASSERT_NE(model.TempSnapshotFn, "");
    EXPECT_EQ(model.TempSnapshotRootPath, dir.path());
    const std::vector<std::string> scanned = ModelImage(model);
    const TDirectoryStats scanStats = model.LastScanStats;

    const std::string saved = CopyOfTempSnapshot();
    TThreadDiskTreemap load(model);
    RunJob(saved, load);
    ASSERT_FALSE(load.Failed()) << load.ErrorText();
    EXPECT_FALSE(load.IsLiveScan());
    EXPECT_EQ(load.SkippedLines(), 0);
    testing::ExpectFinishedModelInvariants(model);
    EXPECT_EQ(ModelImage(model), scanned);
    for (const char* name : {"pipe|name.txt", "line\nbreak", "carriage\rreturn", "literal%7C", "bad\xff\xfe"})
        EXPECT_NE(ChildNamed(model.Root(), name), nullptr) << name;
    EXPECT_NE(ChildNamed(ChildNamed(model.Root(), "dir|x"), "inner%25"), nullptr);
    // A load marks everything for one full rebuild and keeps the live counts.
    model.DiskTreeMapEntries.ForEach([](TDiskTreeMapEntry& n) { EXPECT_TRUE(n._Modified); });
    model.DirectoryEntries.ForEach([](TDirectoryEntry& r) { EXPECT_EQ(r._ModifiedCount, 1); });
    EXPECT_EQ(model.LastScanStats.Size, scanStats.Size);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScanJobTest, CancelledScanKeepsThePartialModelAndSavesIt) {
    TempDir dir;
    dir.WriteFile("a.txt", "0123456789");
    dir.WriteFile("beta/y", "yy");
    dir.WriteFile("beta/sub/z", "zzz");
    dir.MakeFolder("gamma");
    test_hooks::SetFolderVisitHook([&](const std::string& path) {
        if (path == dir.Path("beta/sub")) model.CancelOperation = true;
    });
    TThreadDiskTreemap scan(model);
    RunJob(dir.path(), scan);
    EXPECT_FALSE(scan.Failed());
    EXPECT_EQ(model.LastScanStats.FilesCount, 2);
    EXPECT_EQ(model.LastScanStats.Size, 12);
    model.DirectoryEntries.ForEach([](TDirectoryEntry& r) { EXPECT_NE(r.FolderName, "[files]"); });
    ASSERT_TRUE(platform::FileExists(model.TempSnapshotFn));
    // The header's counts describe the body that was written.
    TSnapshotDetails details = GetSnapshotDetails(model, model.TempSnapshotFn);
    EXPECT_EQ(details.FilesCount, 2);
    EXPECT_EQ(details.SizeInBytes, 12);

    test_hooks::SetFolderVisitHook({});
    const std::string saved = CopyOfTempSnapshot();
    TThreadDiskTreemap load(model);
    RunJob(saved, load);
    ASSERT_FALSE(load.Failed()) << load.ErrorText();
    TDiskTreeMapEntry* beta = ChildNamed(model.Root(), "beta");
    ASSERT_NE(beta, nullptr);
    ASSERT_NE(ChildNamed(beta, "sub"), nullptr);
    EXPECT_EQ(ChildNamed(model.Root(), "gamma"), nullptr);
    EXPECT_EQ(model.Root()->SizeTotal, 12);
}

TEST_F(ScanJobTest, PausedScanMakesNoProgressUntilResumed) {
    test_hooks::SetPauseStepMs(5);
    TempDir dir;
    dir.WriteFile("a/b/c.txt", "c");
    PrepareScan(model, dir.path(), false);
    model.PauseOperation = true;
    TThreadDiskTreemap scan(model);
    scan.Start();
    // Checked once the worker sleeps in its pause, not after a guessed time.
    while (model.PausedWorkers() == 0 && scan.threadRunning) std::this_thread::yield();
    ASSERT_GT(model.PausedWorkers(), 0);
    EXPECT_TRUE(scan.threadRunning);
    {
        std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
        EXPECT_EQ(model.DirectoryEntries.Count(), 1);
        EXPECT_EQ(model.DiskTreeMapEntries.Count(), 2);
    }
    model.PauseOperation = false;
    scan.WaitFor();
    EXPECT_FALSE(scan.threadRunning);
    EXPECT_EQ(model.LastScanStats.FilesCount, 1);
    test_hooks::SetPauseStepMs(0);
}

TEST_F(ScanJobTest, ExceptionInTheWorkerEndsTheJobWithAnError) {
    TempDir dir;
    dir.WriteFile("sub/f", "x");
    test_hooks::SetFolderVisitHook([&](const std::string& path) {
        if (path == dir.Path("sub")) throw std::runtime_error("disk vanished");
    });
    TThreadDiskTreemap scan(model);
    RunJob(dir.path(), scan);
    EXPECT_TRUE(scan.Failed());
    EXPECT_NE(scan.ErrorText().find("disk vanished"), std::string::npos);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], scan.ErrorText());
    EXPECT_EQ(model.TempSnapshotFn, "");
}

TEST_F(ScanJobTest, DamagedSnapshotFailsAndLeavesNoHalfModel) {
    SnapshotLinesWriter writer;
    writer.Add("|files.v2|");
    writer.Add("|/r/");
    for (int i = 0; i < 5000; ++i)
        writer.Add("f" + std::to_string(i) + "|1|2020-01-01 00:00:00.000|2020-01-01 00:00:00.000|32");
    std::string body = writer.TakeCompressed();
    const std::string file = snapshots.Path("damaged.snapshot");
    ASSERT_TRUE(SaveExtendedVolume(file, "|version|\r\n3\r\n", body.substr(0, body.size() * 2 / 3)));

    TThreadDiskTreemap load(model);
    RunJob(file, load);
    EXPECT_TRUE(load.Failed());
    EXPECT_NE(load.ErrorText().find(file), std::string::npos);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(model.Root()->ChildrenEntries.empty());
    EXPECT_TRUE(model.DirectoryEntries.Empty());
}

TEST_F(ScanJobTest, SnapshotWithBadLinesLoadsAndSaysSo) {
    const std::string file = snapshots.WriteFile("plain.snapshot", "|files.v2|\r\n|/r/\r\nok|5|x|y|32\r\nbroken\r\n");
    TThreadDiskTreemap load(model);
    RunJob(file, load);
    ASSERT_FALSE(load.Failed()) << load.ErrorText();
    EXPECT_EQ(load.SkippedLines(), 1);
    ASSERT_EQ(messages.errorLines.size(), 1u);
    EXPECT_NE(messages.errorLines[0].find("loaded with 1 lines skipped"), std::string::npos);
    EXPECT_EQ(model.Root()->SizeTotal, 5);
}

TEST_F(ScanJobTest, MissingPathStartsNothing) {
    PrepareScan(model, snapshots.Path("nothing_here"), false);
    TThreadDiskTreemap job(model);
    job.Start();
    EXPECT_FALSE(job.threadRunning);
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.ErrorText(), "Path not found: " + snapshots.Path("nothing_here"));
}

TEST_F(ScanJobTest, PrepareScanClearsFlagsAndTheRecordedTempSnapshot) {
    const std::string temp = snapshots.WriteFile("old_20200101.temp_snapshot", "x");
    const std::string saved = snapshots.WriteFile("kept.snapshot", "x");
    model.TempSnapshotFn = temp;
    model.TempSnapshotRootPath = "/old";
    model.CancelOperation = true;
    model.PauseOperation = true;
    PrepareScan(model, snapshots.path(), false);
    EXPECT_FALSE(platform::FileExists(temp));
    EXPECT_EQ(model.TempSnapshotFn, "");
    EXPECT_EQ(model.TempSnapshotRootPath, "");
    EXPECT_FALSE(model.CancelOperation || model.PauseOperation);
    EXPECT_EQ(model.ScanPath, snapshots.path());
    EXPECT_EQ(model.DiskTreeMapEntries.Count(), 2);

    model.TempSnapshotFn = saved;  // a saved snapshot is never deleted
    PrepareScan(model, "kept.snapshot", false);
    EXPECT_TRUE(platform::FileExists(saved));
    EXPECT_EQ(model.ScanPath, saved);  // a bare name is found in the snapshots folder
}

}  // namespace
}  // namespace tandrel
