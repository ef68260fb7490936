// Inputs the fuzz targets of the snapshot readers turned up, as bytes: each
// must load to a defined result, never overflow or crash.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "scan/snapshot_loader.h"
#include "scan/scan_test_helpers.h"

namespace tandrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(SnapshotFuzzRegression, BodiesLoadToADefinedResult) {
    const struct {
        const char* what;
        std::string body;
        std::int64_t skipped;
        std::int64_t size;
        int files;
    } cases[] = {
        // Two sizes whose sum leaves the int64 range: the second is garbage.
        {"sum of one folder", "|/c/\r\nf|9223372036854775807\r\ng|9223372036854775807\r\n", 1, kMax, 1},
        {"sum across folders", "|/c/\nf|9223372036854775807\n|/c/a/\ng|1\nh|0\n", 1, kMax, 2},
        {"just below the range", "|/c/\nf|9223372036854775806\ng|1\ng|1\n", 1, kMax, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string& body = c.body;
        {
            ScanModel model;
            model.ResetTreemap("", false);
            model.ResetDirectoryEntries();
            SnapshotLineReader reader = SnapshotLineReader::FromText(body);
            SnapshotLoadReport report;
            const TDirectoryStats stats = LoadSnapshotToTreemap(model, reader, "", model.Root(), nullptr, &report);
            EXPECT_EQ(report.error, "");
            EXPECT_EQ(report.skippedLines, c.skipped);
            EXPECT_EQ(stats.Size, c.size);
            EXPECT_EQ(stats.FilesCount, c.files);
            EXPECT_EQ(model.Root()->SizeTotal, c.size);
            testing::ExpectFinishedModelInvariants(model);
        }
        {
            ScanModel model;
            TOwningStore<TFileEntry> files;
            TOwningStore<TDirectoryEntry> folders;
            SnapshotLineReader reader = SnapshotLineReader::FromText(body);
            SnapshotLoadReport report;
            const TDirectoryStats stats = LoadSnapshotToLists(model, reader, "", files, folders, nullptr, &report);
            EXPECT_EQ(report.skippedLines, c.skipped);
            EXPECT_EQ(stats.Size, c.size);
            EXPECT_EQ(files.Count(), c.files);
        }
    }
}

}  // namespace
}  // namespace tandrel
