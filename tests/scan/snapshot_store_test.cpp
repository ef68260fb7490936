#include "scan/snapshot_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/app_folders.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "scan/snapshot_details.h"
#include "scan/snapshot_file.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"
#include "support/interrupted_write.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

const TStringList kLines = {"|files.v2|", "|/data/", "a.txt|5|2021-01-01 00:00:00.000|2021-01-01 00:00:00.000|32"};

// A model that has just scanned /data.
void FakeScan(ScanModel& model) {
    model.SnapshotLines.Clear();
    for (const auto& line : kLines) model.SnapshotLines.Add(line);
    model.LastScanStats.DirectoriesCount = 1;
    model.LastScanStats.FilesCount = 1;
    model.LastScanStats.Size = 5;
}

TStringList BodyLines(const std::string& file) {
    SnapshotLineReader reader;
    std::string error;
    EXPECT_TRUE(LoadExtendedVolume(file, reader, &error)) << error;
    TStringList lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    return lines;
}

// Sets an environment variable for the life of the object.
class EnvScope {
public:
    EnvScope(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvScope() {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool hadOld_ = false;
    std::string old_;
};

TEST(TempSnapshotFileNameTest, SafeRootPathThenTimeStamp) {
    const std::string stamp = "_[0-9]{8}_[0-9]{6}_[0-9]{3}\\.temp_snapshot";
    struct Case {
        std::string folder, root, pattern;
    };
    const std::vector<Case> cases = {
        {"/s/", "/home/u/My Docs", "/s/_home_u_My Docs" + stamp},
        {"/s", "/", "/s/" + stamp},                 // the root of roots
        {"/s/", "/data/x_", "/s/_data_x" + stamp},  // no second "_"
        {"/s/", "/a:b*c", "/s/_a_b_c" + stamp},
        {"/my__snaps/", "/d", "/my__snaps/_d" + stamp},  // the folder is never changed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.root);
        const std::string name = TempSnapshotFileName(c.folder, c.root);
        EXPECT_TRUE(std::regex_match(name, std::regex(c.pattern))) << name;
        EXPECT_EQ(ExtractFileName(name).find("__"), std::string::npos);
    }
}

TEST(SaveTempSnapshotTest, WritesHeaderAndBodyAndReplacesTheOldOne) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    model.SnapshotsPath = dir.Path("snaps/new");  // made on demand
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    const std::string first = model.TempSnapshotFn;
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(ExtractFilePath(first), dir.Path("snaps/new/"));
    EXPECT_TRUE(EndsWith(first, ".temp_snapshot"));
    EXPECT_EQ(model.TempSnapshotRootPath, "/data");
    EXPECT_EQ(model.SnapshotLines.Count(), 0);
    EXPECT_EQ(BodyLines(first), kLines);
    const TSnapshotDetails details = GetSnapshotDetails(model, first);
    EXPECT_EQ(details.Description, ">temp snapshot");
    EXPECT_EQ(details.RootPath, "/data/");
    EXPECT_EQ(details.FilesCount, 1);
    EXPECT_EQ(details.SizeInBytes, 5);
    EXPECT_TRUE(messages.shown.empty());

    // The next scan's snapshot replaces the first file.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    EXPECT_NE(model.TempSnapshotFn, first);
    EXPECT_FALSE(platform::FileExists(first));
    EXPECT_TRUE(platform::FileExists(model.TempSnapshotFn));
}

TEST(SaveTempSnapshotTest, FallsBackWhenTheFolderIsMissingOrNotWritable) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;

    // A folder that cannot be made: reported, then the settings folder.
    const std::string blocked = dir.WriteFile("file", "x") + "/sub";
    model.SnapshotsPath = blocked;
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "SnapshotsPath: " + blocked + " does not exist. Switching to app_settings");
    EXPECT_EQ(model.SnapshotsPath, AppSettingsFolder());
    EXPECT_EQ(ExtractFilePath(model.TempSnapshotFn), AppSettingsFolder());

    // An existing folder nobody may write to (not even root): the data folder.
    model.SnapshotsPath = "/proc";
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    EXPECT_EQ(ExtractFilePath(model.TempSnapshotFn), DataFolder());
    EXPECT_EQ(BodyLines(model.TempSnapshotFn), kLines);

    // Neither is writable: nothing is written and the lines are dropped.
    const std::string previous = model.TempSnapshotFn;
    {
        EnvScope cache("XDG_CACHE_HOME", "/proc/no_such_folder");
        FakeScan(model);
        SaveTempSnapshot(model, "/data");
    }
    EXPECT_TRUE(model.TempSnapshotFn.empty());
    EXPECT_TRUE(model.TempSnapshotRootPath.empty());
    EXPECT_FALSE(platform::FileExists(previous));
    EXPECT_EQ(model.SnapshotLines.Count(), 0);
    messages.shown.clear();
    EXPECT_FALSE(SaveSnapshot(model, "x", false));
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Not enough information available to save snapshot"}));
}

TEST(SaveSnapshotTest, MovesTheTemporarySnapshotWithANewDescription) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    model.SnapshotsPath = dir.path();
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    const std::string temp = model.TempSnapshotFn;

    ASSERT_TRUE(SaveSnapshot(model, "[weekly] backup", false));
    const std::string saved = AppSettingsFolder() + "[weekly] backup.snapshot";
    EXPECT_EQ(model.TempSnapshotFn, saved);
    EXPECT_FALSE(platform::FileExists(temp));
    EXPECT_EQ(messages.notifications, (std::vector<std::string>{"Snapshot saved"}));
    EXPECT_EQ(BodyLines(saved), kLines);
    const TSnapshotDetails details = GetSnapshotDetails(model, saved);
    EXPECT_EQ(details.Description, ">[weekly] backup");
    EXPECT_EQ(details.RootPath, "/data/");
    EXPECT_EQ(details.SizeInBytes, 5);
    // The header holds the description once, without growing blank lines.
    const TStringList header = TextToLines(ReadExtendedVolumeHeader(saved));
    EXPECT_EQ(std::count(header.begin(), header.end(), "|description|"), 1);
    EXPECT_EQ(std::count(header.begin(), header.end(), ""), 1);

    // The same name again: a counter before the extension; automatic saves
    // do not notify.
    // The next scan's temporary snapshot leaves the saved one alone.
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    EXPECT_TRUE(platform::FileExists(saved));
    ASSERT_TRUE(SaveSnapshot(model, "[weekly] backup.snapshot", true));
    EXPECT_EQ(model.TempSnapshotFn, AppSettingsFolder() + "[weekly] backup_00001.snapshot");
    EXPECT_EQ(messages.notifications.size(), 1u);
    EXPECT_EQ(GetSnapshotDetails(model, model.TempSnapshotFn).Description, ">[weekly] backup_00001");

    // A full target path is kept, with its name made safe.
    FakeScan(model);
    SaveTempSnapshot(model, "/data");
    ASSERT_TRUE(SaveSnapshot(model, dir.Path("out/a:b.snapshot"), true));
    EXPECT_EQ(model.TempSnapshotFn, dir.Path("out/a_b.snapshot"));
    EXPECT_EQ(BodyLines(model.TempSnapshotFn), kLines);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(SaveSnapshotTest, RefusesWithAMessage) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    struct Case {
        const char* what;
        std::string tempFile;
        std::string target;
        std::string message;
    };
    const std::string notTemp = dir.WriteFile("plain.snapshot", "x");
    const std::string blocker = dir.WriteFile("blocker", "x");
    const std::vector<Case> cases = {
        {"nothing recorded", "", "t", "Not enough information available to save snapshot"},
        {"recorded file gone", dir.Path("gone.temp_snapshot"), "t",
         "Not enough information available to save snapshot"},
        {"not a temporary snapshot", notTemp, "t", "Temp file not in correct format:" + notTemp},
        {"folder cannot be made", "temp", blocker + "/sub/t.snapshot", "Snapshots folder could not be created"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages.shown.clear();
        if (c.tempFile == "temp") {
            model.SnapshotsPath = dir.path();
            FakeScan(model);
            SaveTempSnapshot(model, "/data");
        } else {
            model.TempSnapshotFn = c.tempFile;
        }
        const std::string before = model.TempSnapshotFn;
        EXPECT_FALSE(SaveSnapshot(model, c.target, false));
        EXPECT_EQ(messages.shown, (std::vector<std::string>{c.message}));
        EXPECT_EQ(model.TempSnapshotFn, before);
        EXPECT_TRUE(messages.notifications.empty());
    }
}

// A second process of this very executable, for the "another instance" test.
class SiblingProcess {
public:
    SiblingProcess() {
        pid_ = fork();
        if (pid_ == 0) {
            sleep(60);
            _exit(0);
        }
    }
    ~SiblingProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
};

TEST(DeleteTempSnapshotsTest, DeletesLeftoversUnlessAnotherInstanceRuns) {
    TempDir dir;
    ScanModel model;
    const std::string settings = AppSettingsFolder();
    const auto writeLeftovers = [&] {
        platform::WriteFileBytes(settings + "a.temp_snapshot", "x");
        platform::WriteFileBytes(settings + "b.TEMP_SNAPSHOT", "x");
    };
    const std::string keep = settings + "keep.snapshot";
    platform::WriteFileBytes(keep, "x");

    // Another instance may still need its temporary snapshots; ours goes anyway.
    writeLeftovers();
    model.TempSnapshotFn = dir.WriteFile("own.temp_snapshot", "x");
    {
        SiblingProcess sibling;
        ASSERT_GT(sibling.pid(), 0);
        EXPECT_TRUE(AnotherInstanceRuns());
        DeleteTempSnapshots(model, true);
    }
    EXPECT_TRUE(platform::FileExists(settings + "a.temp_snapshot"));
    EXPECT_FALSE(platform::FileExists(dir.Path("own.temp_snapshot")));

    // Alone (other test programs may run beside this one, so say it): every
    // leftover in the settings folder goes, nothing else.
    DeleteTempSnapshots(model, false);
    EXPECT_FALSE(platform::FileExists(settings + "a.temp_snapshot"));
    EXPECT_FALSE(platform::FileExists(settings + "b.TEMP_SNAPSHOT"));
    EXPECT_TRUE(platform::FileExists(keep));

    // A saved snapshot recorded as the current one is never deleted.
    model.TempSnapshotFn = keep;
    DeleteTempSnapshots(model, false);
    EXPECT_TRUE(platform::FileExists(keep));
    platform::DeleteFile(keep);
}

TEST(ResolveSnapshotPathTest, LooksInTheSnapshotsFolderThenTheSettingsFolder) {
    TempDir dir;
    ScanModel model;
    model.SnapshotsPath = dir.path();
    const std::string inSnapshots = dir.WriteFile("both.snapshot", "x");
    platform::WriteFileBytes(AppSettingsFolder() + "both.snapshot", "x");
    const std::string inSettings = AppSettingsFolder() + "settings_only.snapshot";
    platform::WriteFileBytes(inSettings, "x");

    EXPECT_EQ(ResolveSnapshotPath(model, "both.snapshot"), inSnapshots);
    EXPECT_EQ(ResolveSnapshotPath(model, "settings_only.snapshot"), inSettings);
    EXPECT_EQ(ResolveSnapshotPath(model, "missing.snapshot"), "missing.snapshot");
    EXPECT_EQ(ResolveSnapshotPath(model, "sub/both.snapshot"), "sub/both.snapshot");
    model.SnapshotsPath.clear();
    EXPECT_EQ(ResolveSnapshotPath(model, "both.snapshot"), AppSettingsFolder() + "both.snapshot");
    platform::DeleteFile(AppSettingsFolder() + "both.snapshot");
    platform::DeleteFile(inSettings);
}

TEST(SnapshotSaveTest, AKilledSaveKeepsThePreviousSnapshotAndListsOnlyIt) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    model.SnapshotsPath = dir.path();
    const std::string file = dir.Path("week.snapshot");
    TDirectoryStats counts;
    counts.FilesCount = 1;
    counts.Size = 5;
    ASSERT_TRUE(SaveExtendedVolume(
        kLines, file, LinesToText(BuildSnapshotHeader("/data", "2024-05-06 07:08:09.010", "week", counts))));
    const std::string before = testing::ReadBytes(file);

    // A big body streamed out; the writer dies inside it.
    std::string body;
    for (int i = 0; body.size() < 400000; ++i) body += std::to_string(i * 2654435761u);
    ASSERT_TRUE(testing::KillWhileWriting([&] { SaveExtendedVolume(file, "description\r\n>next", body); }, 200000));
    EXPECT_EQ(testing::ReadBytes(file), before);
    const std::vector<TSnapshotDetails> listed = ListSnapshots(model, dir.path());
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].SnapshotFn, file);
    EXPECT_EQ(listed[0].Description, ">week");
    EXPECT_EQ(listed[0].FilesCount, 1);
    EXPECT_EQ(BodyLines(file), kLines);

    // The half file of the dead writer is cleaned up with the leftovers.
    EXPECT_EQ(ListFileNames(dir.path()).size(), 2u);
    DeleteTempSnapshots(model, false);
    EXPECT_EQ(ListFileNames(dir.path()), std::vector<std::string>{"week.snapshot"});
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace tandrel
