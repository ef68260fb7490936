#include "scan/folder_statistics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/date_time.h"
#include "scan/disk_scanner.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

// root: top.txt (3), big/ (a.bin 100, b.bin 20), docs/ (sub/ n.txt 7)
class FolderStatisticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.WriteFile("top.txt", "abc");
        tree.WriteFile("big/a.bin", std::string(100, 'a'));
        tree.WriteFile("big/b.bin", std::string(20, 'b'));
        tree.WriteFile("docs/sub/n.txt", std::string(7, 'n'));
        model.ResetTreemap(tree.path(), false);
        model.ResetDirectoryEntries();
        ScanDirectoryToTreemap(model, tree.path(), model.Root(), nullptr, platform::FindRecord{});
    }
    std::vector<std::string> RowTexts(const std::vector<int>& rows) {
        std::vector<std::string> texts;
        for (int row : rows) {
            const TDirectoryEntry* r = model.DirectoryEntries[row];
            texts.push_back(r->CalcPath().substr(tree.path().size()) + " " + std::to_string(r->Level));
        }
        return texts;
    }
    TempDir tree;
    ScanModel model;
};

TEST_F(FolderStatisticsTest, ThresholdListsRecordsDownToItsLevelInListOrder) {
    struct Case {
        double threshold;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {0, {" 0"}},
        {1, {" 0", "/big 1", "/docs 1", "/[files] 1"}},
        {1.9, {" 0", "/big 1", "/docs 1", "/[files] 1"}},  // truncated
        {2, {" 0", "/big 1", "/big/[files] 2", "/docs 1", "/docs/sub 2", "/docs/[files] 2", "/[files] 1"}},
        {-1, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RowTexts(FolderStatisticsRows(model, c.threshold)), c.rows) << c.threshold;
    }
}

TEST_F(FolderStatisticsTest, ExportWritesHeaderAndOneLinePerRowInRowOrder) {
    std::vector<const TDirectoryEntry*> rows;
    for (int row : FolderStatisticsRows(model, 1)) rows.push_back(model.DirectoryEntries[row]);
    std::swap(rows[1], rows[2]);  // the rows' present order, not the list's
    TempDir out;
    const TDateTime at = EncodeDateTime(2024, 3, 10, 23, 59, 1, 7);
    const std::string file = ExportFolderStatistics(rows, out.path(), at);
    EXPECT_EQ(file, out.Path("treeoutput_20240310_235901_007.csv"));

    const std::string p = tree.path();
    const std::string expected =
        "\xEF\xBB\xBF"
        "path:String:4000\ttotal_size: integer\troot_size: integer\ttotal_dirs: integer\troot_dirs: integer\t"
        "Date:Date\tfull_path:String:4000\ttotal_files: integer\troot_files: integer\tlevel: integer\r\n"
        "+" +
        p + ",130,3,3,2,," + p +
        ",4,1,0\r\n"
        "  +" +
        p + "/docs,7,0,1,1,," + p +
        "/docs,1,0,1\r\n"
        "  +" +
        p + "/big,120,120,0,0,," + p +
        "/big,2,2,1\r\n"
        "  +" +
        p + "/[files],3,3,0,0,," + p + "/[files],1,1,1\r\n";
    EXPECT_EQ(testing::ReadBytes(file), expected);
}

TEST(FolderStatisticsExport, PathsThatWouldSplitTheLineAreQuoted) {
    TDirectoryEntry root, child;
    root.FolderName = "/data";
    child.FolderName = "a,\"b\"";
    child.ParentIdx = &root;
    child.Level = 1;
    child.TotalSize = child.RootSize = 5;
    child.TotalFiles = child.RootFiles = 1;
    EXPECT_EQ(FolderStatisticsExportLine(child), "\"  +/data/a,\"\"b\"\"\",5,5,0,0,,\"/data/a,\"\"b\"\"\",1,1,1");
    EXPECT_EQ(FolderStatisticsExportLine(root), "+/data,0,0,0,0,,/data,0,0,0");
}

TEST(FolderStatisticsExport, UnwritableFolderGivesNoFileName) {
    TempDir out;
    const std::string blocker = out.WriteFile("blocker", "x");
    EXPECT_EQ(ExportFolderStatistics({}, blocker + "/inside", 45361.5), "");
}

}  // namespace
}  // namespace tandrel
