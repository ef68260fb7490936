#include "scan/statistics_comparators.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>

#include "common/compare.h"
#include "common/paths.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

template <typename T>
int Sign(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// The last resort of every chain: distinct records never compare equal.
template <typename T>
int CompareAddresses(const T* a, const T* b) {
    if (a == b) return 0;
    return std::less<const T*>()(a, b) ? -1 : 1;
}

int CompareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareDirectoryKey(DirectoryAnalysisKey key, const TDirectoryEntry& a, const TDirectoryEntry& b) {
    switch (key) {
        case DirectoryAnalysisKey::LoadOrder: {
            const int c = Sign(a.Idx, b.Idx);
            return c != 0 ? c : CompareTextLocale(a.FolderName, b.FolderName);
        }
        case DirectoryAnalysisKey::Level: return CompareInt64Desc(a.Level, b.Level);
        case DirectoryAnalysisKey::Share: return CompareSingleDesc(a.PercentOfParent(), b.PercentOfParent());
        case DirectoryAnalysisKey::TotalSize: return CompareInt64Desc(a.TotalSize, b.TotalSize);
        case DirectoryAnalysisKey::TotalDirs: return CompareInt64Desc(a.TotalDirs, b.TotalDirs);
        case DirectoryAnalysisKey::TotalFiles: return CompareInt64Desc(a.TotalFiles, b.TotalFiles);
        case DirectoryAnalysisKey::RootSize: return CompareInt64Desc(a.RootSize, b.RootSize);
        case DirectoryAnalysisKey::RootDirs: return CompareInt64Desc(a.RootDirs, b.RootDirs);
        case DirectoryAnalysisKey::RootFiles: return CompareInt64Desc(a.RootFiles, b.RootFiles);
        case DirectoryAnalysisKey::FolderName: return CompareTextLocale(a.FolderName, b.FolderName);
    }
    return 0;
}

}  // namespace

// ---- folder statistics ----

const std::vector<std::string_view>& DirectoryAnalysisCaptions() {
    static const std::vector<std::string_view> captions = {
        "Path",      "Full Path",   "level",     "Bar",       "Total Size", "% of parent",
        "Total Dirs", "Total Files", "Root Size", "Root Dirs", "Root Files", "Date"};
    return captions;
}

DirectoryAnalysisKey DirectoryAnalysisKeyOfCaption(std::string_view caption) {
    struct Entry {
        std::string_view caption;
        DirectoryAnalysisKey key;
    };
    static const Entry table[] = {
        {"Path", DirectoryAnalysisKey::LoadOrder},       {"Full Path", DirectoryAnalysisKey::LoadOrder},
        {"level", DirectoryAnalysisKey::Level},          {"Bar", DirectoryAnalysisKey::Share},
        {"Total Size", DirectoryAnalysisKey::TotalSize}, {"% of parent", DirectoryAnalysisKey::Share},
        {"Total Dirs", DirectoryAnalysisKey::TotalDirs}, {"Total Files", DirectoryAnalysisKey::TotalFiles},
        {"Root Size", DirectoryAnalysisKey::RootSize},   {"Root Dirs", DirectoryAnalysisKey::RootDirs},
        {"Root Files", DirectoryAnalysisKey::RootFiles},
    };
    for (const Entry& entry : table)
        if (entry.caption == caption) return entry.key;
    return DirectoryAnalysisKey::FolderName;
}

DirectoryAnalysisKey DirectoryAnalysisKeyOfColumn(int column) {
    const auto& captions = DirectoryAnalysisCaptions();
    if (column < 0 || column >= static_cast<int>(captions.size())) return DirectoryAnalysisKey::FolderName;
    return DirectoryAnalysisKeyOfCaption(captions[column]);
}

int CompareDirectoryAnalysis(DirectoryAnalysisKey key, bool inverse, const TDirectoryEntry& a,
                             const TDirectoryEntry& b) {
    int c = CompareDirectoryKey(key, a, b);
    if (c == 0) c = Sign(a.Idx, b.Idx);
    if (c == 0) c = CompareAddresses(&a, &b);
    return inverse ? -c : c;
}

int CompareDirectoryAnalysis(int column, bool inverse, const TDirectoryEntry& a, const TDirectoryEntry& b) {
    return CompareDirectoryAnalysis(DirectoryAnalysisKeyOfColumn(column), inverse, a, b);
}

void SortDirectoryAnalysisRows(std::vector<int>& rows, const TOwningStore<TDirectoryEntry>& entries,
                               DirectoryAnalysisKey key, bool inverse) {
    std::sort(rows.begin(), rows.end(), [&](int a, int b) {
        return CompareDirectoryAnalysis(key, inverse, *entries[a], *entries[b]) < 0;
    });
}

// ---- folder chart ----

namespace {
DirectoryAnalysisKey ChartKeyOfColumn(int column) {
    switch (column) {
        case 1: return DirectoryAnalysisKey::Share;
        case 2: return DirectoryAnalysisKey::TotalSize;
        case 3: return DirectoryAnalysisKey::Share;
        case 4: return DirectoryAnalysisKey::TotalDirs;
        case 5: return DirectoryAnalysisKey::TotalFiles;
        case 6: return DirectoryAnalysisKey::RootSize;
        case 7: return DirectoryAnalysisKey::RootDirs;
        case 8: return DirectoryAnalysisKey::RootFiles;
        case 11: return DirectoryAnalysisKey::Level;
        default: return DirectoryAnalysisKey::FolderName;  // 0 "Path", 9 "Date", 10 "Full Path"
    }
}
}  // namespace

int CompareDirectoryChart(int column, bool inverse, const TDirectoryEntry& a, const TDirectoryEntry& b) {
    const DirectoryAnalysisKey key = ChartKeyOfColumn(column);
    int c = CompareDirectoryKey(key, a, b);
    if (c == 0 && key != DirectoryAnalysisKey::FolderName) c = CompareTextLocale(a.FolderName, b.FolderName);
    if (c == 0) c = Sign(a.Idx, b.Idx);
    if (c == 0) c = CompareAddresses(&a, &b);
    return inverse ? -c : c;
}

void SortDirectoryChartRows(std::vector<TDirectoryEntry*>& rows, int column, bool inverse) {
    std::sort(rows.begin(), rows.end(), [&](const TDirectoryEntry* a, const TDirectoryEntry* b) {
        return CompareDirectoryChart(column, inverse, *a, *b) < 0;
    });
}

// ---- file nodes ----

FileNodeKey FileAnalysisKeyOfColumn(int column) {
    switch (column) {
        case 1: return FileNodeKey::FullPath;
        case 2: return FileNodeKey::Size;
        case 3:
        case 4: return FileNodeKey::Date;
        default: return FileNodeKey::Name;
    }
}

FileNodeKey SearchResultsKeyOfColumn(int column) {
    switch (column) {
        case 1: return FileNodeKey::Size;
        case 2: return FileNodeKey::FullPath;
        default: return FileNodeKey::Name;
    }
}

int CompareFileNodes(FileNodeKey key, bool inverse, const TDiskTreeMapEntry& a, const TDiskTreeMapEntry& b) {
    int c = 0;
    switch (key) {
        case FileNodeKey::Name: break;
        case FileNodeKey::FullPath: c = CompareTextLocale(GetNodeFullPath(&a), GetNodeFullPath(&b)); break;
        case FileNodeKey::Size: c = CompareInt64Desc(a.SizeTotal, b.SizeTotal); break;
        case FileNodeKey::Date: c = CompareDoubleDesc(a.DateM, b.DateM); break;
    }
    if (c == 0) c = CompareTextLocale(a.Name, b.Name);
    if (c == 0) c = CompareBytes(a.Name, b.Name);
    if (c == 0) c = CompareAddresses(&a, &b);
    return inverse ? -c : c;
}

int CompareFileAnalysis(int column, bool inverse, const TDiskTreeMapEntry& a, const TDiskTreeMapEntry& b) {
    return CompareFileNodes(FileAnalysisKeyOfColumn(column), inverse, a, b);
}

int CompareSearchResults(int column, bool inverse, const TDiskTreeMapEntry& a, const TDiskTreeMapEntry& b) {
    return CompareFileNodes(SearchResultsKeyOfColumn(column), inverse, a, b);
}

namespace {

// Rows with their byte keys in one shared buffer: a million small strings
// would cost a heap block each.
class KeyedRows {
public:
    void Reserve(std::size_t rows, std::size_t bytes) {
        rows_.reserve(rows);
        pool_.reserve(bytes);
    }
    void Begin(TDiskTreeMapEntry* node) { rows_.push_back({pool_.size(), 0, node}); }
    // A collation key ends in its only zero byte, so keys put one after the
    // other still compare part by part.
    void AppendCollationKey(std::string_view text) { pool_ += platform::CollateSortKey(text); }
    void AppendBytes(std::string_view text) { pool_ += text; }
    void End() { rows_.back().length = pool_.size() - rows_.back().offset; }

    // Sorts by key, then by address, and writes the nodes back into out.
    void SortInto(TDiskTreeMapEntry** out) {
        const char* base = pool_.data();
        std::sort(rows_.begin(), rows_.end(), [base](const Row& a, const Row& b) {
            const std::string_view ka(base + a.offset, a.length), kb(base + b.offset, b.length);
            const int c = ka.compare(kb);
            if (c != 0) return c < 0;
            return std::less<const TDiskTreeMapEntry*>()(a.node, b.node);
        });
        for (std::size_t i = 0; i < rows_.size(); ++i) out[i] = rows_[i].node;
    }

private:
    struct Row {
        std::size_t offset;
        std::size_t length;
        TDiskTreeMapEntry* node;
    };
    std::vector<Row> rows_;
    std::string pool_;
};

// The name tie-breaks of CompareFileNodes: locale order, then bytes.
void AppendNameKey(KeyedRows& keyed, const TDiskTreeMapEntry* node) {
    keyed.AppendCollationKey(node->Name);
    keyed.AppendBytes(node->Name);
}

void SortByName(TDiskTreeMapEntry** first, std::size_t count) {
    if (count < 2) return;
    KeyedRows keyed;
    keyed.Reserve(count, count * 48);
    for (std::size_t i = 0; i < count; ++i) {
        keyed.Begin(first[i]);
        AppendNameKey(keyed, first[i]);
        keyed.End();
    }
    keyed.SortInto(first);
}

void SortByFullPath(TDiskTreeMapEntry** first, std::size_t count) {
    if (count < 2) return;
    // Files of one folder share its path: built once per folder.
    std::unordered_map<const TDiskTreeMapEntry*, std::string> folderPaths;
    KeyedRows keyed;
    keyed.Reserve(count, count * 160);
    for (std::size_t i = 0; i < count; ++i) {
        TDiskTreeMapEntry* node = first[i];
        keyed.Begin(node);
        if (const TDiskTreeMapEntry* parent = node->ParentNodeIdx) {
            auto it = folderPaths.find(parent);
            if (it == folderPaths.end()) it = folderPaths.emplace(parent, GetNodeFullPath(parent)).first;
            keyed.AppendCollationKey(PathJoin(it->second, node->Name));
        } else {
            keyed.AppendCollationKey(node->Name);
        }
        AppendNameKey(keyed, node);
        keyed.End();
    }
    keyed.SortInto(first);
}

// Sorts by a number first; only runs of equal numbers need the name keys.
template <typename Value>
void SortByNumberThenName(TDiskTreeMapEntry** first, std::size_t count, Value value) {
    std::sort(first, first + count,
              [&](const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) { return value(a) > value(b); });
    std::size_t runStart = 0;
    for (std::size_t i = 1; i <= count; ++i) {
        if (i < count && !(value(first[i]) < value(first[runStart]))) continue;
        SortByName(first + runStart, i - runStart);
        runStart = i;
    }
}

}  // namespace

void SortFileNodes(std::vector<TDiskTreeMapEntry*>& rows, FileNodeKey key, bool inverse) {
    TDiskTreeMapEntry** first = rows.data();
    const std::size_t count = rows.size();
    switch (key) {
        case FileNodeKey::Name: SortByName(first, count); break;
        case FileNodeKey::FullPath: SortByFullPath(first, count); break;
        case FileNodeKey::Size:
            SortByNumberThenName(first, count, [](const TDiskTreeMapEntry* n) { return n->SizeTotal; });
            break;
        case FileNodeKey::Date:
            SortByNumberThenName(first, count, [](const TDiskTreeMapEntry* n) { return n->DateM; });
            break;
    }
    // Every order is total, so the inverse order is the natural one reversed.
    if (inverse) std::reverse(rows.begin(), rows.end());
}

}  // namespace tandrel
