#include "scan/file_statistics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "scan/disk_scanner.h"
#include "scan/statistics_comparators.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

constexpr std::int64_t MB = 1048576;

std::vector<std::string> Names(const std::vector<TDiskTreeMapEntry*>& rows) {
    std::vector<std::string> names;
    for (const TDiskTreeMapEntry* node : rows) names.push_back(node->Name);
    return names;
}

// Sparse files around the default lower limit of 5 MB.
TEST(FileStatistics, DefaultFilterListsFilesOfAtLeastFiveMegabytesLargestFirst) {
    TempDir tree;
    const std::pair<const char*, std::int64_t> files[] = {
        {"exact.iso", 5 * MB},   {"below.iso", 5 * MB - 1},   {"media/big.mkv", 9 * MB},
        {"media/small.txt", 10}, {"deep/er/six.bin", 6 * MB},
    };
    for (const auto& [name, size] : files) std::filesystem::resize_file(tree.WriteFile(name, ""), size);
    ScanModel model;
    model.ResetTreemap(tree.path(), false);
    model.ResetDirectoryEntries();
    ScanDirectoryToTreemap(model, tree.path(), model.Root(), nullptr, platform::FindRecord{});

    std::vector<TDiskTreeMapEntry*> rows = FilterFiles(model, TFileFilterInput{});
    SortFileNodes(rows, FileAnalysisKeyOfColumn(2), false);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"big.mkv", "six.bin", "exact.iso"}));

    // The free-space node is a file of the scan only while it is in the tree.
    model.FreeSpaceEntry->SizeTotal = 50 * MB;
    EXPECT_EQ(FilterFiles(model, TFileFilterInput{}).size(), 3u);
    model.Root()->ChildrenEntries.push_back(model.FreeSpaceEntry);
    EXPECT_EQ(Names(FilterFiles(model, TFileFilterInput{})).at(0), "Free Space");
}

// root /r: a/ (report.pdf, old report.doc), b/Reports/ (x.txt), c.txt
class FilterByHand : public ::testing::Test {
protected:
    void SetUp() override {
        model.ResetTreemap("", false);
        root = model.Root();
        root->Name = "/r";
        TDiskTreeMapEntry* a = Add(root, "a", EntryType_Directory);
        TDiskTreeMapEntry* reports = Add(Add(root, "b", EntryType_Directory), "Reports", EntryType_Directory);
        Add(a, "report.pdf", EntryType_File, 2048, EncodeDateTime(2024, 3, 10, 23, 59, 0, 0));
        Add(a, "old report.doc", EntryType_File, 1024, EncodeDateTime(2024, 3, 11, 0, 0, 1, 0));
        Add(reports, "x.txt", EntryType_File, 1023, EncodeDateTime(2024, 3, 10, 0, 0, 0, 0));
        Add(root, "c.txt", EntryType_File, 0, EncodeDateTime(2024, 3, 9, 23, 59, 59, 0));
    }
    TDiskTreeMapEntry* Add(TDiskTreeMapEntry* parent, const char* name, TEntryType type, std::int64_t size = 0,
                           TDateTime date = 0) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries.Add();
        node->Name = name;
        node->EntryType = type;
        node->SizeTotal = size;
        node->DateM = date;
        node->ParentNodeIdx = parent;
        parent->ChildrenEntries.push_back(node);
        return node;
    }
    static TFileFilterInput NoLimits() {
        TFileFilterInput input;
        input.SizeFrom = 0;
        return input;
    }
    ScanModel model;
    TDiskTreeMapEntry* root = nullptr;
};

TEST_F(FilterByHand, KeywordsSizesAndDatesSelectFilesInListOrder) {
    struct Case {
        const char* what;
        TFileFilterInput input;
        std::vector<std::string> names;
    };
    auto with = [](auto change) {
        TFileFilterInput input = NoLimits();
        change(input);
        return input;
    };
    const TDateTime march10 = EncodeDateTime(2024, 3, 10, 9, 30, 0, 0);  // the picker's time is ignored
    const Case cases[] = {
        {"no limits", NoLimits(), {"report.pdf", "old report.doc", "x.txt", "c.txt"}},
        {"name words", with([](auto& i) { i.NameWords = "REPORT -old"; }), {"report.pdf"}},
        {"quoted phrase", with([](auto& i) { i.NameWords = "\"old report\""; }), {"old report.doc"}},
        {"folder words on the parent's path", with([](auto& i) { i.FolderWords = "reports"; }), {"x.txt"}},
        {"folder words exclude", with([](auto& i) { i.FolderWords = "/r -/a"; }), {"x.txt", "c.txt"}},
        {"at least 1 kb",
         with([](auto& i) {
             i.SizeFrom = 1;
             i.ByteUnit = "Kb";
         }),
         {"report.pdf", "old report.doc"}},
        {"at most 1024 bytes",
         with([](auto& i) {
             i.SizeTo = 1024;
             i.ByteUnit = "bytes";
         }),
         {"old report.doc", "x.txt", "c.txt"}},
        {"before: the whole day", with([&](auto& i) { i.Before = march10; }), {"report.pdf", "x.txt", "c.txt"}},
        {"after: from the day's start",
         with([&](auto& i) { i.After = march10; }),
         {"report.pdf", "old report.doc", "x.txt"}},
        {"after and before: one day", with([&](auto& i) { i.After = i.Before = march10; }), {"report.pdf", "x.txt"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Names(FilterFiles(model, c.input)), c.names) << c.what;
}

TEST_F(FilterByHand, UnknownByteUnitRaisesItsMessage) {
    TFileFilterInput input;
    input.ByteUnit = "TB";
    try {
        FilterFiles(model, input);
        FAIL() << "no error";
    } catch (const TandrelError& e) {
        EXPECT_STREQ(e.what(), "Unknown byte unit: TB");
    }
    EXPECT_EQ(ByteUnitFactor("GB"), 1073741824);
    EXPECT_EQ(ByteUnitFactor("mb"), 1048576);
    // A huge limit saturates instead of wrapping round to a negative one.
    input.ByteUnit = "GB";
    input.SizeFrom = std::int64_t{1} << 40;
    EXPECT_GT(PrepareFileFilter(input).MinSize, 0);
    EXPECT_TRUE(FilterFiles(model, input).empty());
}

TEST(FileStatisticsDateMenu, LastDaysSetsAfterAndUnticksBefore) {
    ASSERT_EQ(DateMenuItems().size(), 7u);
    EXPECT_EQ(DateMenuItems().front().Caption, "Last day");
    EXPECT_EQ(DateMenuItems().back().Days, 30);
    const TDateMenuChoice choice = LastDaysChoice(3, EncodeDateTime(2024, 3, 10, 14, 30, 0, 0));
    EXPECT_EQ(choice.After, EncodeDateTime(2024, 3, 7, 0, 0, 0, 0));
    EXPECT_EQ(choice.Before, EncodeDateTime(2024, 3, 10, 0, 0, 0, 0));
    EXPECT_TRUE(choice.AfterTicked);
    EXPECT_FALSE(choice.BeforeTicked);
}

}  // namespace
}  // namespace tandrel
