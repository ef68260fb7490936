#include "scan/scan_overview.h"

#include <gtest/gtest.h>

#include "common/date_time.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

TEST(SnapshotAgeText, SplitsWholeSecondsIntoParts) {
    const TDateTime now = EncodeDateTime(2013, 6, 26, 12, 0, 0, 0);
    const struct {
        double secondsAgo;
        const char* text;
    } cases[] = {
        {3 * 86400 + 4 * 3600 + 5, "3d 4h 5s"},
        {12 * 60, "12m"},
        {0.9, "0s"},  // truncated, never rounded up
        {0, "0s"},
        {2 * 86400 + 3 * 3600 + 61, "2d 3h 1m 1s"},
        {-5, "<expired>"},
    };
    for (const auto& c : cases) EXPECT_EQ(SnapshotAgeText(now - c.secondsAgo / 86400.0, now), c.text) << c.secondsAgo;
}

TEST(BuildOverviewRows, EmptyModelGivesNoRows) {
    ScanModel model;
    EXPECT_TRUE(BuildOverviewRows(model, "/", Now()).empty());
}

TEST(BuildOverviewRows, SixRowsFromTheRootRecord) {
    testing::TempDir dir;
    ScanModel model;
    TDirectoryEntry* root = model.DirectoryEntries.Add();
    root->FolderName = dir.path();
    root->TotalSize = 1234567;
    root->TotalDirs = 1000;
    root->TotalFiles = 12;

    const TDateTime now = EncodeDateTime(2020, 1, 2, 3, 4, 5, 6);
    OverviewRows live = BuildOverviewRows(model, dir.path(), now);
    const OverviewRows expected = {{"Date of snapshot", "2020-01-02 03:04:05.006"},
                                   {"Age of snapshot", "0s"},
                                   {"Path:", dir.path()},
                                   {"Total size:", "1,234,567"},
                                   {"Directories:", "1,000"},
                                   {"Files:", "12"}};
    EXPECT_EQ(live, expected);

    // A snapshot file: its modification time is the date, and the age runs from it.
    const std::string file = dir.WriteFile("a.snapshot", "x");
    const TDateTime saved = EncodeDateTime(2019, 12, 31, 0, 0, 0, 250);
    ASSERT_TRUE(platform::SetLastWriteTime(file, LocalDateTimeToFileTime(saved)));
    OverviewRows loaded = BuildOverviewRows(model, file, now);
    EXPECT_EQ(loaded[0].second, "2019-12-31 00:00:00.250");
    EXPECT_EQ(loaded[1].second.rfind("2d 3h 4m 4s", 0), 0u) << loaded[1].second;
}

}  // namespace
}  // namespace tandrel
