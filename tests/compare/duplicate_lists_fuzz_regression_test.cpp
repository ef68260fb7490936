// Damaged lines of the saved ".filelist" and ".results": each is left out,
// the good lines around it load.
#include <gtest/gtest.h>

#include <string>

#include "common/paths.h"
#include "common/text_file.h"
#include "compare/duplicate_finder.h"
#include "platform/file_system.h"

namespace tandrel {
namespace {

TEST(DuplicateListsFuzzRegression, DamagedLinesAreLeftOut) {
    const std::string spec = "/fuzz/regression";
    const std::string good = "a|/d/|4096|2023-03-15 12:00:00.000|1001";
    const struct {
        const char* what;
        const char* line;
        bool fileListKeepsIt;  // the ".filelist" reads no group
    } cases[] = {
        {"negative size", "b|/d/|-4096|2023-03-15 12:00:00.000|1001", false},
        {"size past int64", "b|/d/|9223372036854775808|2023-03-15 12:00:00.000|1001", false},
        {"group past int", "b|/d/|4096|2023-03-15 12:00:00.000|4294968297", true},
        {"negative group", "b|/d/|4096|2023-03-15 12:00:00.000|-1001", true},
        {"too few fields", "b|/d/|4096", false},
    };
    ScanModel model;
    TCompareCache cache("", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(platform::ForceFolders(ExtractFilePath(DuplicatesResultsFile(spec))));
        ASSERT_TRUE(SaveTextFile({good, c.line, good}, DuplicatesResultsFile(spec)));
        ASSERT_TRUE(SaveTextFile({good, c.line, good}, DuplicatesFileListFile(spec)));
        TDuplicateFinder finder(model, cache);
        ASSERT_TRUE(finder.LoadResults(spec));
        EXPECT_EQ(finder.Entries.size(), 2u);
        for (const auto& entry : finder.Entries) EXPECT_EQ(entry->DuplicateGroupId, 1001);
        ASSERT_TRUE(finder.LoadFileList(spec));
        EXPECT_EQ(finder.Entries.size(), c.fileListKeepsIt ? 3u : 2u);
        EXPECT_EQ(finder.duplicateFilesLVItems.Count(), static_cast<int>(finder.Entries.size()));
    }
}

}  // namespace
}  // namespace tandrel
