#include "scan/snapshot_details.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "scan/snapshot_file.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

TDirectoryStats Counts(int folders, int files, std::int64_t size) {
    TDirectoryStats counts;
    counts.DirectoriesCount = folders;
    counts.FilesCount = files;
    counts.Size = size;
    return counts;
}

std::string WriteSnapshot(const TempDir& dir, const std::string& name, const TStringList& header) {
    const std::string file = dir.Path(name);
    EXPECT_TRUE(SaveExtendedVolume(TStringList{"|files.v2|", "|/data/"}, file, LinesToText(header)));
    return file;
}

void SetFileDate(const std::string& file, TDateTime when) {
    ASSERT_TRUE(platform::SetLastWriteTime(file, LocalDateTimeToFileTime(when)));
}

TEST(SnapshotDetailsTest, ReadsTheHeaderValues) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    const std::string file = WriteSnapshot(
        dir, "a.snapshot",
        BuildSnapshotHeader("/data", "2024-05-06 07:08:09.010", "[weekly] backup", Counts(12, 345, 6'000'000'000)));
    const TSnapshotDetails details = GetSnapshotDetails(model, file);
    EXPECT_EQ(details.SnapshotFn, file);
    EXPECT_EQ(details.RootPath, "/data/");
    // The ">" keeps a bracketed description from being read as a section.
    EXPECT_EQ(details.Description, ">[weekly] backup");
    EXPECT_EQ(details.SnapshotCreatedDt, EncodeDateTime(2024, 5, 6, 7, 8, 9, 0));
    EXPECT_EQ(details.SnapshotFnDt, FileModificationTime(file));
    EXPECT_EQ(details.FoldersCount, 12);
    EXPECT_EQ(details.FilesCount, 345);
    EXPECT_EQ(details.SizeInBytes, 6'000'000'000);
    EXPECT_TRUE(messages.shown.empty());

    // A root path with "|" and a line break comes back whole.
    const std::string odd = WriteSnapshot(
        dir, "b.snapshot", BuildSnapshotHeader("/da|ta\n", "2024-05-06 07:08:09.010", "x", Counts(0, 0, 0)));
    EXPECT_EQ(GetSnapshotDetails(model, odd).RootPath, "/da|ta\n/");
}

TEST(SnapshotDetailsTest, CacheIsReusedWhileTheFileTimeStays) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    const TDateTime fileDate = EncodeDateTime(2023, 1, 2, 3, 4, 5, 0);
    const std::string file =
        WriteSnapshot(dir, "c.snapshot", BuildSnapshotHeader("/one", "2024-01-01 00:00:00.000", "d", Counts(1, 1, 1)));
    SetFileDate(file, fileDate);
    EXPECT_EQ(GetSnapshotDetails(model, file).RootPath, "/one/");

    // Rewritten with the same file time: the cached facts stay.
    WriteSnapshot(dir, "c.snapshot", BuildSnapshotHeader("/two", "2024-01-01 00:00:00.000", "d", Counts(1, 1, 1)));
    SetFileDate(file, fileDate);
    EXPECT_EQ(GetSnapshotDetails(model, file).RootPath, "/one/");
    EXPECT_EQ(model.SnapshotDetailsCache.size(), 1u);

    // A new file time reads the file again.
    SetFileDate(file, fileDate + 1);
    EXPECT_EQ(GetSnapshotDetails(model, file).RootPath, "/two/");
    EXPECT_EQ(model.SnapshotDetailsCache.size(), 2u);
}

TEST(SnapshotDetailsTest, FilesBeforeMay2007AreNotRead) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    const std::string file =
        WriteSnapshot(dir, "old.snapshot", BuildSnapshotHeader("/r", "2024-01-01 00:00:00.000", "d", Counts(1, 2, 3)));
    const TDateTime fileDate = EncodeDateTime(2007, 5, 12, 23, 59, 0, 0);
    SetFileDate(file, fileDate);
    const TSnapshotDetails details = GetSnapshotDetails(model, file);
    EXPECT_EQ(details.RootPath, "pre 13/may/07");
    EXPECT_EQ(details.Description, "pre 13/may/07");
    EXPECT_EQ(details.SnapshotCreatedDt, FileModificationTime(file));
    EXPECT_NEAR(details.SnapshotCreatedDt, fileDate, 1e-6);
    EXPECT_EQ(details.FilesCount, 0);
    EXPECT_EQ(details.SizeInBytes, 0);
}

TEST(SnapshotDetailsTest, CorruptHeadersAreReported) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    const TStringList good = BuildSnapshotHeader("/r", "2024-01-01 10:00:00.000", "d", Counts(1, 2, 3));
    const auto without = [&](const std::string& key) {
        TStringList header = good;
        SetHeaderValue(key, header, {});
        return header;
    };
    const auto with = [&](const std::string& key, const std::string& value) {
        TStringList header = good;
        SetHeaderValue(key, header, {value});
        return header;
    };
    struct Case {
        const char* what;
        TStringList header;
        std::string message;  // "" for none
        bool createdIsFileTime;
        std::int64_t size;
        int files;
    };
    const std::vector<Case> cases = {
        {"no created", without("created"), "Corrupt snapshot (2): ", true, 0, 0},
        {"created not a date", with("created", "yesterday"), "Corrupt snapshot (3): ", true, 3, 2},
        {"created too small", with("created", "1900-01-05 00:00:00.000"), "Corrupt snapshot (3): ", true, 3, 2},
        {"no size", without("size"), "Corrupt snapshot (4): ", false, 0, 2},
        {"size not a number", with("size", "12 bytes"), "Corrupt snapshot (4): ", false, 0, 2},
        {"counts not numbers", with("files_count", "many"), "", false, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages.shown.clear();
        const std::string file = WriteSnapshot(dir, std::string(c.what) + ".snapshot", c.header);
        const TSnapshotDetails details = GetSnapshotDetails(model, file);
        if (c.message.empty()) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0], c.message + file);
        }
        EXPECT_EQ(details.SnapshotCreatedDt,
                  c.createdIsFileTime ? FileModificationTime(file) : EncodeDateTime(2024, 1, 1, 10, 0, 0, 0));
        EXPECT_EQ(details.SizeInBytes, c.size);
        EXPECT_EQ(details.FilesCount, c.files);
    }

    // Not a container at all: the file's own facts, no header values.
    messages.shown.clear();
    const std::string plain = dir.WriteFile("plain.snapshot", "|files.v2|\r\n|/r/\r\n");
    const TSnapshotDetails details = GetSnapshotDetails(model, plain);
    EXPECT_EQ(details.SnapshotCreatedDt, FileModificationTime(plain));
    EXPECT_EQ(details.RootPath, "pre 13/may/07");
    EXPECT_TRUE(messages.shown.empty());
}

TEST(ListSnapshotsTest, ListsSnapshotsNewestFirst) {
    TempDir dir;
    RecordingMessages messages;
    ScanModel model;
    WriteSnapshot(dir, "middle.snapshot", BuildSnapshotHeader("/m", "2022-01-01 00:00:00.000", "d", Counts(0, 0, 0)));
    WriteSnapshot(dir, "newest.snapshot", BuildSnapshotHeader("/n", "2024-01-01 00:00:00.000", "d", Counts(0, 0, 0)));
    WriteSnapshot(dir, "oldest.snapshot", BuildSnapshotHeader("/o", "2020-01-01 00:00:00.000", "d", Counts(0, 0, 0)));
    WriteSnapshot(dir, "x.temp_snapshot", BuildSnapshotHeader("/t", "2025-01-01 00:00:00.000", "d", Counts(0, 0, 0)));
    dir.MakeFolder("folder.snapshot");
    dir.MakeFolder("sub");
    WriteSnapshot(dir, "sub/inner.snapshot",
                  BuildSnapshotHeader("/s", "2025-01-01 00:00:00.000", "d", Counts(0, 0, 0)));
    std::vector<std::string> roots;
    for (const auto& details : ListSnapshots(model, dir.path())) roots.push_back(details.RootPath);
    EXPECT_EQ(roots, (std::vector<std::string>{"/n/", "/m/", "/o/"}));
}

}  // namespace
}  // namespace tandrel
