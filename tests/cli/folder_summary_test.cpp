#include "cli/folder_summary.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

TEST(FolderSummary, CountsFilesFoldersAndBytesWithoutFollowingLinks) {
    TempDir dir;
    dir.WriteFile("a.bin", std::string(1000, 'a'));
    dir.WriteFile("sub/b.bin", std::string(5000, 'b'));
    dir.WriteFile("sub/deeper/c.bin", std::string(300, 'c'));
    dir.MakeFolder("empty");
    // A link back up the tree would loop forever if followed.
    ASSERT_EQ(symlink(dir.path().c_str(), dir.Path("sub/loop").c_str()), 0);

    FolderSummary summary = SummarizeFolder(dir.path(), 2);

    EXPECT_EQ(summary.folders, 3);  // sub, sub/deeper, empty
    EXPECT_EQ(summary.files, 3);
    EXPECT_EQ(summary.bytes, 6300);
    EXPECT_EQ(summary.skippedReparsePoints, 1);
    ASSERT_EQ(summary.largest.size(), 2u);
    EXPECT_EQ(summary.largest[0].path, dir.Path("sub/b.bin"));
    EXPECT_EQ(summary.largest[1].path, dir.Path("a.bin"));
}

TEST(FolderSummary, MissingFolderCountsAsUnreadable) {
    TempDir dir;
    FolderSummary summary = SummarizeFolder(dir.Path("missing"), 5);
    EXPECT_EQ(summary.unreadableFolders, 1);
    EXPECT_EQ(summary.files, 0);
    EXPECT_TRUE(summary.largest.empty());
}

}  // namespace
}  // namespace tandrel
