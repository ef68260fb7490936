#include "scan/statistics_comparators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tandrel {
namespace {

int SignOf(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// Two folder records under one root, each larger in some fields: a key read
// from the wrong field, or sorted the wrong way, picks the other record.
struct FolderPair {
    TDirectoryEntry root, a, b;
    FolderPair() {
        root.FolderName = "/data";
        root.Idx = 1;
        root.TotalSize = 1000;
        a = Make("beta", 2, 1, 600, 1, 9, 50, 3, 1);
        b = Make("Alpha", 3, 2, 300, 5, 2, 100, 0, 4);
    }
    TDirectoryEntry Make(const char* name, int idx, int level, std::int64_t total, int totalDirs, int totalFiles,
                         std::int64_t rootSize, int rootDirs, int rootFiles) {
        TDirectoryEntry r;
        r.FolderName = name;
        r.Idx = idx;
        r.Level = level;
        r.TotalSize = total;
        r.TotalDirs = totalDirs;
        r.TotalFiles = totalFiles;
        r.RootSize = rootSize;
        r.RootDirs = rootDirs;
        r.RootFiles = rootFiles;
        r.ParentIdx = &root;
        return r;
    }
};

TEST(DirectoryAnalysisOrder, EveryCaptionSortsByItsKeyInItsDirection) {
    FolderPair p;
    struct Case {
        const char* caption;
        char first;  // 'a' or 'b' in the natural order
    };
    const Case cases[] = {
        {"Path", 'a'},        {"Full Path", 'a'},  {"level", 'b'},          {"Bar", 'a'},       {"Total Size", 'a'},
        {"% of parent", 'a'}, {"Total Dirs", 'b'}, {"Total Files", 'a'},    {"Root Size", 'b'}, {"Root Dirs", 'a'},
        {"Root Files", 'b'},  {"Date", 'b'},       {"no such column", 'b'},
    };
    for (const Case& c : cases) {
        const DirectoryAnalysisKey key = DirectoryAnalysisKeyOfCaption(c.caption);
        const int expected = c.first == 'a' ? -1 : 1;
        EXPECT_EQ(SignOf(CompareDirectoryAnalysis(key, false, p.a, p.b)), expected) << c.caption;
        EXPECT_EQ(SignOf(CompareDirectoryAnalysis(key, false, p.b, p.a)), -expected) << c.caption;
        EXPECT_EQ(SignOf(CompareDirectoryAnalysis(key, true, p.a, p.b)), -expected) << c.caption;
    }
    // Column positions are those of the designed captions, so the key stays
    // with its caption when the view drops "Path" and "Bar".
    const auto& captions = DirectoryAnalysisCaptions();
    ASSERT_EQ(captions.size(), 12u);
    for (int column = 0; column < 12; ++column) {
        EXPECT_EQ(SignOf(CompareDirectoryAnalysis(column, false, p.a, p.b)),
                  SignOf(CompareDirectoryAnalysis(DirectoryAnalysisKeyOfCaption(captions[column]), false, p.a, p.b)))
            << captions[column];
    }
}

TEST(DirectoryAnalysisOrder, EqualKeysFallBackToLoadOrder) {
    FolderPair p;
    p.b.TotalSize = p.a.TotalSize;
    EXPECT_LT(CompareDirectoryAnalysis(DirectoryAnalysisKey::TotalSize, false, p.a, p.b), 0);
    EXPECT_GT(CompareDirectoryAnalysis(DirectoryAnalysisKey::TotalSize, true, p.a, p.b), 0);
    EXPECT_EQ(CompareDirectoryAnalysis(DirectoryAnalysisKey::TotalSize, false, p.a, p.a), 0);
    // The root's share is 101: above every folder.
    EXPECT_LT(CompareDirectoryAnalysis(DirectoryAnalysisKey::Share, false, p.root, p.a), 0);
}

TEST(DirectoryChartOrder, EveryColumnSortsByItsKeyAndTiesGoByName) {
    FolderPair p;
    // Columns: Path, Bar, Total Size, % of parent, Total Dirs, Total Files,
    // Root Size, Root Dirs, Root Files, Date, Full Path, level.
    const char expectedFirst[] = {'b', 'a', 'a', 'a', 'b', 'a', 'b', 'a', 'b', 'b', 'b', 'b'};
    for (int column = 0; column < 12; ++column) {
        const int expected = expectedFirst[column] == 'a' ? -1 : 1;
        EXPECT_EQ(SignOf(CompareDirectoryChart(column, false, p.a, p.b)), expected) << column;
        EXPECT_EQ(SignOf(CompareDirectoryChart(column, true, p.a, p.b)), -expected) << column;
    }
    // Equal sizes: "Alpha" before "beta", whichever came first.
    p.b.TotalSize = p.a.TotalSize;
    EXPECT_GT(CompareDirectoryChart(2, false, p.a, p.b), 0);
    EXPECT_GT(CompareDirectoryChart(3, false, p.a, p.b), 0);

    std::vector<TDirectoryEntry*> rows = {&p.a, &p.b};
    SortDirectoryChartRows(rows, 4, false);  // Total Dirs, largest first
    EXPECT_EQ(rows[0], &p.b);
}

// Nodes under /r/alpha and /r/zeta; each pair below disagrees on some keys.
struct FileNodes {
    ScanModel model;
    TDiskTreeMapEntry *root, *alpha, *zeta;
    FileNodes() {
        root = Add(nullptr, "/r", EntryType_Root);
        alpha = Add(root, "alpha", EntryType_Directory);
        zeta = Add(root, "zeta", EntryType_Directory);
    }
    TDiskTreeMapEntry* Add(TDiskTreeMapEntry* parent, const char* name, TEntryType type, std::int64_t size = 0,
                           TDateTime date = 0) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries.Add();
        node->Name = name;
        node->EntryType = type;
        node->SizeTotal = size;
        node->DateM = date;
        node->ParentNodeIdx = parent;
        if (parent) parent->ChildrenEntries.push_back(node);
        return node;
    }
};

TEST(FileNodeOrder, ColumnsOfBothListsSortByTheirKeys) {
    FileNodes t;
    TDiskTreeMapEntry* a = t.Add(t.alpha, "b.txt", EntryType_File, 10, 2);
    TDiskTreeMapEntry* b = t.Add(t.zeta, "A.txt", EntryType_File, 20, 1);
    TDiskTreeMapEntry* c = t.Add(t.zeta, "c.txt", EntryType_File, 50, 3);
    struct Case {
        bool search;  // lvSearchResults, else lvFileAnalysis
        int column;
        TDiskTreeMapEntry *x, *y;
        bool xFirst;
    };
    const Case cases[] = {
        {false, 0, a, b, false},  // Filename: "A.txt" before "b.txt", case ignored
        {false, 1, a, b, true},   // Path: /r/alpha/b.txt before /r/zeta/A.txt
        {false, 2, a, b, false},  // Size: largest first
        {false, 3, a, b, true},   // Created: by DateM, latest first
        {false, 4, a, b, true},   // Modified
        {false, 9, a, b, false},  // any other column: Filename
        {true, 0, a, c, true},    // Filename
        {true, 1, a, c, false},   // Size
        {true, 2, a, b, true},    // Path
        {true, 2, b, c, true},    // same folder: A.txt before c.txt
    };
    for (const Case& k : cases) {
        auto compare = k.search ? CompareSearchResults : CompareFileAnalysis;
        const int expected = k.xFirst ? -1 : 1;
        SCOPED_TRACE(std::string(k.search ? "search " : "files ") + std::to_string(k.column));
        EXPECT_EQ(SignOf(compare(t.model, k.column, false, *k.x, *k.y)), expected);
        EXPECT_EQ(SignOf(compare(t.model, k.column, false, *k.y, *k.x)), -expected);
        EXPECT_EQ(SignOf(compare(t.model, k.column, true, *k.x, *k.y)), -expected);
        EXPECT_EQ(compare(t.model, k.column, false, *k.x, *k.x), 0);
    }
}

// The fast sort must give exactly the comparator's order, ties included:
// equal sizes and dates, one name in two folders, names equal but for case.
TEST(FileNodeOrder, KeyedSortMatchesTheComparatorForEveryKeyAndDirection) {
    FileNodes t;
    TDiskTreeMapEntry* sub = t.Add(t.alpha, "Sub", EntryType_Directory);
    std::vector<TDiskTreeMapEntry*> rows = {
        t.Add(t.alpha, "readme", EntryType_File, 5, 1),   t.Add(t.zeta, "readme", EntryType_File, 5, 1),
        t.Add(t.zeta, "README", EntryType_File, 5, 2),    t.Add(sub, "Übersicht.pdf", EntryType_File, 0, 2),
        t.Add(t.alpha, "uber.pdf", EntryType_File, 0, 3), t.Add(t.alpha, "z 10.log", EntryType_File, 7, 3),
        t.Add(t.alpha, "z 9.log", EntryType_File, 5, 1),  t.Add(t.zeta, "日本.txt", EntryType_File, 7, 1),
        t.Add(sub, "alpha", EntryType_File, 0, 0),        t.Add(t.root, "top-level", EntryType_File, 9, 0),
    };
    for (FileNodeKey key : {FileNodeKey::Name, FileNodeKey::FullPath, FileNodeKey::Size, FileNodeKey::Date}) {
        for (bool inverse : {false, true}) {
            std::vector<TDiskTreeMapEntry*> expected = rows;
            std::sort(expected.begin(), expected.end(), [&](const TDiskTreeMapEntry* x, const TDiskTreeMapEntry* y) {
                return CompareFileNodes(t.model, key, inverse, *x, *y) < 0;
            });
            std::vector<TDiskTreeMapEntry*> sorted = rows;
            std::reverse(sorted.begin(), sorted.end());
            SortFileNodes(sorted, key, inverse);
            EXPECT_EQ(sorted, expected) << static_cast<int>(key) << " inverse " << inverse;
        }
    }
    // Equal sizes go by name: README/readme (5 bytes) before "z 9.log".
    std::vector<TDiskTreeMapEntry*> bySize = rows;
    SortFileNodes(bySize, FileNodeKey::Size, false);
    EXPECT_EQ(bySize[0]->Name, "top-level");
    EXPECT_EQ(bySize[3]->Name.size(), 6u);
    EXPECT_EQ(bySize[6]->Name, "z 9.log");
}

// Long lists make their keys on several threads; the order is the same.
TEST(FileNodeOrder, LongListsSortIntoTheComparatorsOrder) {
    FileNodes t;
    const char* words[] = {"Report", "photo", "Übersicht", "naïve", "日本", "data"};
    std::vector<TDiskTreeMapEntry*> rows;
    for (int i = 0; i < 250000; ++i) {
        TDiskTreeMapEntry* folder = i % 3 == 0 ? t.alpha : t.zeta;
        const std::string name = std::string(words[(i * 7) % 6]) + "_" + std::to_string((i * 7919) % 100000);
        rows.push_back(t.Add(folder, name.c_str(), EntryType_File, i % 1000, 0));
    }
    for (FileNodeKey key : {FileNodeKey::Name, FileNodeKey::FullPath}) {
        std::vector<TDiskTreeMapEntry*> sorted = rows;
        SortFileNodes(sorted, key, false);
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [&](const auto* x, const auto* y) {
            return CompareFileNodes(t.model, key, false, *x, *y) < 0;
        })) << static_cast<int>(key);
        std::sort(sorted.begin(), sorted.end());
        std::vector<TDiskTreeMapEntry*> original = rows;
        std::sort(original.begin(), original.end());
        EXPECT_EQ(sorted, original);
    }
}

}  // namespace
}  // namespace tandrel
