#include "scan/statistics_comparators.h"

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
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
        case DirectoryAnalysisKey::Level:
            return CompareInt64Desc(a.Level, b.Level);
        case DirectoryAnalysisKey::Share:
            return CompareSingleDesc(a.PercentOfParent(), b.PercentOfParent());
        case DirectoryAnalysisKey::TotalSize:
            return CompareInt64Desc(a.TotalSize, b.TotalSize);
        case DirectoryAnalysisKey::TotalDirs:
            return CompareInt64Desc(a.TotalDirs, b.TotalDirs);
        case DirectoryAnalysisKey::TotalFiles:
            return CompareInt64Desc(a.TotalFiles, b.TotalFiles);
        case DirectoryAnalysisKey::RootSize:
            return CompareInt64Desc(a.RootSize, b.RootSize);
        case DirectoryAnalysisKey::RootDirs:
            return CompareInt64Desc(a.RootDirs, b.RootDirs);
        case DirectoryAnalysisKey::RootFiles:
            return CompareInt64Desc(a.RootFiles, b.RootFiles);
        case DirectoryAnalysisKey::FolderName:
            return CompareTextLocale(a.FolderName, b.FolderName);
    }
    return 0;
}

}  // namespace

// ---- folder statistics ----

const std::vector<std::string_view>& DirectoryAnalysisCaptions() {
    static const std::vector<std::string_view> captions = {"Path",       "Full Path",   "level",      "Bar",
                                                           "Total Size", "% of parent", "Total Dirs", "Total Files",
                                                           "Root Size",  "Root Dirs",   "Root Files", "Date"};
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
    std::sort(rows.begin(), rows.end(),
              [&](int a, int b) { return CompareDirectoryAnalysis(key, inverse, *entries[a], *entries[b]) < 0; });
}

// ---- folder chart ----

namespace {
DirectoryAnalysisKey ChartKeyOfColumn(int column) {
    switch (column) {
        case 1:
            return DirectoryAnalysisKey::Share;
        case 2:
            return DirectoryAnalysisKey::TotalSize;
        case 3:
            return DirectoryAnalysisKey::Share;
        case 4:
            return DirectoryAnalysisKey::TotalDirs;
        case 5:
            return DirectoryAnalysisKey::TotalFiles;
        case 6:
            return DirectoryAnalysisKey::RootSize;
        case 7:
            return DirectoryAnalysisKey::RootDirs;
        case 8:
            return DirectoryAnalysisKey::RootFiles;
        case 11:
            return DirectoryAnalysisKey::Level;
        default:
            return DirectoryAnalysisKey::FolderName;  // 0 "Path", 9 "Date", 10 "Full Path"
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
        case 1:
            return FileNodeKey::FullPath;
        case 2:
            return FileNodeKey::Size;
        case 3:
        case 4:
            return FileNodeKey::Date;
        default:
            return FileNodeKey::Name;
    }
}

FileNodeKey SearchResultsKeyOfColumn(int column) {
    switch (column) {
        case 1:
            return FileNodeKey::Size;
        case 2:
            return FileNodeKey::FullPath;
        default:
            return FileNodeKey::Name;
    }
}

namespace {
// The tie-break of every file order: Name (locale, case ignored), Name byte
// by byte, then the address.
int CompareNames(const TDiskTreeMapEntry& a, const TDiskTreeMapEntry& b) {
    int c = CompareTextLocale(a.Name, b.Name);
    if (c == 0) c = CompareBytes(a.Name, b.Name);
    if (c == 0) c = CompareAddresses(&a, &b);
    return c;
}
}  // namespace

int CompareFileNodes(ScanModel& model, FileNodeKey key, bool inverse, const TDiskTreeMapEntry& a,
                     const TDiskTreeMapEntry& b) {
    int c = 0;
    switch (key) {
        case FileNodeKey::Name:
            break;
        case FileNodeKey::FullPath:
            c = CompareTextLocale(GetNodeFullPath(model, &a), GetNodeFullPath(model, &b));
            break;
        case FileNodeKey::Size:
            c = CompareInt64Desc(a.SizeTotal, b.SizeTotal);
            break;
        case FileNodeKey::Date:
            c = CompareDoubleDesc(a.DateM, b.DateM);
            break;
    }
    if (c == 0) c = CompareNames(a, b);
    return inverse ? -c : c;
}

int CompareFileAnalysis(ScanModel& model, int column, bool inverse, const TDiskTreeMapEntry& a,
                        const TDiskTreeMapEntry& b) {
    return CompareFileNodes(model, FileAnalysisKeyOfColumn(column), inverse, a, b);
}

int CompareSearchResults(ScanModel& model, int column, bool inverse, const TDiskTreeMapEntry& a,
                         const TDiskTreeMapEntry& b) {
    return CompareFileNodes(model, SearchResultsKeyOfColumn(column), inverse, a, b);
}

namespace {

// Rows with their byte keys in one shared buffer: a million small strings
// would cost a heap block each. Each row carries eight bytes of its key as a
// number, so most comparisons never leave the row array.
class KeyedRows {
public:
    void Reserve(std::size_t rows, std::size_t bytes) {
        rows_.reserve(rows);
        pool_.reserve(bytes);
    }
    void Begin(TDiskTreeMapEntry* node) { rows_.push_back({0, pool_.size(), 0, node}); }
    // Takes over the rows and keys of other.
    void Append(KeyedRows&& other) {
        const std::size_t shift = pool_.size();
        pool_ += other.pool_;
        rows_.reserve(rows_.size() + other.rows_.size());
        for (Row row : other.rows_) {
            row.offset += shift;
            rows_.push_back(row);
        }
    }
    // A collation key ends in its only zero byte, so keys put one after the
    // other still compare part by part.
    void AppendCollationKey(std::string_view text) { platform::AppendCollateSortKey(pool_, text); }
    void AppendBytes(std::string_view text) { pool_ += text; }
    void End() {
        Row& row = rows_.back();
        row.length = pool_.size() - row.offset;
        row.word = WordAt(row, 0);
    }

    // Sorts by key, then by address, and writes the nodes back into out.
    void SortInto(TDiskTreeMapEntry** out) {
        SortRange(rows_.data(), rows_.size(), 0);
        for (std::size_t i = 0; i < rows_.size(); ++i) out[i] = rows_[i].node;
    }
    // After SortInto(out): calls f(out + start, n) for every run of n > 1
    // rows whose keys are equal.
    template <typename F>
    void ForEachEqualRun(TDiskTreeMapEntry** out, F f) const {
        std::size_t start = 0;
        for (std::size_t i = 1; i <= rows_.size(); ++i) {
            if (i < rows_.size() && Key(rows_[i]) == Key(rows_[start])) continue;
            if (i - start > 1) f(out + start, i - start);
            start = i;
        }
    }

private:
    struct Row {
        std::uint64_t word;  // the key's 8 bytes at the sort's current depth, big-endian
        std::size_t offset;
        std::size_t length;
        TDiskTreeMapEntry* node;
    };

    std::string_view Key(const Row& row) const { return {pool_.data() + row.offset, row.length}; }

    // 8 key bytes from depth on, zero-padded past the end. A key either ends
    // in a byte that is not zero (the name's own bytes come last) or holds
    // its only zero byte at its end (a lone collation key), so no key is
    // another one padded with zeros: padded words order exactly as the keys
    // do, a key before its longer extensions.
    std::uint64_t WordAt(const Row& row, std::size_t depth) const {
        std::uint64_t word = 0;
        const char* key = pool_.data() + row.offset;
        for (std::size_t i = depth; i < depth + 8; ++i)
            word = (word << 8) | (i < row.length ? static_cast<unsigned char>(key[i]) : 0u);
        return word;
    }

    // Whole keys from depth on (all rows of a range share the bytes before),
    // then addresses.
    bool Less(const Row& a, const Row& b, std::size_t depth) const {
        const std::string_view ka(pool_.data() + a.offset + std::min(depth, a.length),
                                  a.length - std::min(depth, a.length));
        const std::string_view kb(pool_.data() + b.offset + std::min(depth, b.length),
                                  b.length - std::min(depth, b.length));
        const int c = ka.compare(kb);
        return c != 0 ? c < 0 : std::less<const TDiskTreeMapEntry*>()(a.node, b.node);
    }

    // A three-way radix quicksort over the keys' 8-byte words, each row
    // carrying its word at the current depth: paths share long folder
    // prefixes, which a comparison sort would read again on every compare.
    // The rows of a range share their first depth bytes and hold their words
    // at depth. Ranges wait on a list of their own, so no input can run the
    // call stack out.
    void SortRange(Row* first, std::size_t count, std::size_t startDepth) {
        struct Range {
            Row* rows;
            std::size_t n, depth;
        };
        std::vector<Range> pending{{first, count, startDepth}};
        while (!pending.empty()) {
            auto [rows, n, depth] = pending.back();
            pending.pop_back();
            if (n < 2) continue;
            if (n < 16) {
                std::sort(rows, rows + n, [&, depth = depth](const Row& a, const Row& b) { return Less(a, b, depth); });
                continue;
            }
            const std::uint64_t a = rows[0].word, b = rows[n / 2].word, c = rows[n - 1].word;
            const std::uint64_t pivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
            std::size_t lt = 0, i = 0, gt = n;
            while (i < gt) {
                if (rows[i].word < pivot) {
                    std::swap(rows[lt++], rows[i++]);
                } else if (rows[i].word > pivot) {
                    std::swap(rows[i], rows[--gt]);
                } else {
                    ++i;
                }
            }
            pending.push_back({rows, lt, depth});
            pending.push_back({rows + gt, n - gt, depth});
            // The equal rows go on with their next word, unless every key of
            // them has ended: then only length and address are left.
            Row* equal = rows + lt;
            const std::size_t equalCount = gt - lt;
            bool more = false;
            for (std::size_t k = 0; k < equalCount; ++k) {
                equal[k].word = WordAt(equal[k], depth + 8);
                more = more || equal[k].length > depth + 8;
            }
            if (more) {
                pending.push_back({equal, equalCount, depth + 8});
            } else {
                std::sort(equal, equal + equalCount, [](const Row& x, const Row& y) {
                    return x.length != y.length ? x.length < y.length
                                                : std::less<const TDiskTreeMapEntry*>()(x.node, y.node);
                });
            }
        }
    }

    std::vector<Row> rows_;
    std::string pool_;
};

// The name tie-breaks of CompareFileNodes: locale order, then bytes.
void AppendNameKey(KeyedRows& keyed, const TDiskTreeMapEntry* node) {
    keyed.AppendCollationKey(node->Name);
    keyed.AppendBytes(node->Name);
}

// Keys for every row, made by up to four threads on long lists: making the
// keys costs more than sorting them. make(keyed, node) appends one row's key
// and must only read shared state; it runs off the calling thread, so it
// must not take the model lock the caller holds.
template <typename Make>
KeyedRows MakeKeys(TDiskTreeMapEntry** first, std::size_t count, std::size_t bytesPerRow, const Make& make) {
    constexpr std::size_t kRowsPerThread = 100000;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads = std::clamp<std::size_t>(count / kRowsPerThread, 1, std::min<std::size_t>(cores, 4));
    std::vector<KeyedRows> parts(threads);
    auto build = [&](std::size_t part) {
        const std::size_t begin = count * part / threads, end = count * (part + 1) / threads;
        KeyedRows& keyed = parts[part];
        keyed.Reserve(end - begin, (end - begin) * bytesPerRow);
        for (std::size_t i = begin; i < end; ++i) {
            keyed.Begin(first[i]);
            make(keyed, first[i]);
            keyed.End();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t part = 1; part < threads; ++part) workers.emplace_back(build, part);
    build(0);
    for (std::thread& worker : workers) worker.join();
    for (std::size_t part = 1; part < threads; ++part) parts[0].Append(std::move(parts[part]));
    return std::move(parts[0]);
}

void SortByName(TDiskTreeMapEntry** first, std::size_t count) {
    if (count < 2) return;
    MakeKeys(first, count, 48, [](KeyedRows& keyed, const TDiskTreeMapEntry* node) {
        AppendNameKey(keyed, node);
    }).SortInto(first);
}

void SortByFullPath(TDiskTreeMapEntry** first, std::size_t count) {
    if (count < 2) return;
    // Files of one folder share its path: built once per folder (the caller
    // holds the model lock), with the separator the names follow.
    std::unordered_map<const TDiskTreeMapEntry*, std::string> folderPaths;
    for (std::size_t i = 0; i < count; ++i) {
        const TDiskTreeMapEntry* parent = first[i]->ParentNodeIdx;
        if (parent && !folderPaths.contains(parent)) folderPaths.emplace(parent, PathJoin(NodeFullPath(parent), ""));
    }
    // The key is the full path's alone: equal paths are rare, so the name
    // tie-breaks are settled after the sort instead of made for every row.
    KeyedRows keyed = MakeKeys(first, count, 96, [&folderPaths](KeyedRows& keyed, const TDiskTreeMapEntry* node) {
        thread_local std::string path;
        path.clear();
        if (const TDiskTreeMapEntry* parent = node->ParentNodeIdx) path += folderPaths.at(parent);
        path += node->Name;
        keyed.AppendCollationKey(path);
    });
    keyed.SortInto(first);
    keyed.ForEachEqualRun(first, [](TDiskTreeMapEntry** run, std::size_t n) {
        std::sort(run, run + n,
                  [](const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) { return CompareNames(*a, *b) < 0; });
    });
}

// From this many rows on, collation keys are cheaper than comparing names
// pairwise (measured: a key costs about five comparisons).
constexpr std::size_t kKeyedRunMin = 64;

// Sorts by a number first, read once per row into an array of its own (the
// comparisons then touch no node); only runs of equal numbers need the name
// keys.
template <typename Value>
void SortByNumberThenName(TDiskTreeMapEntry** first, std::size_t count, Value value) {
    using Number = decltype(value(first[0]));
    struct Row {
        Number number;
        TDiskTreeMapEntry* node;
    };
    std::vector<Row> rows(count);
    for (std::size_t i = 0; i < count; ++i) rows[i] = {value(first[i]), first[i]};
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.number > b.number; });
    for (std::size_t i = 0; i < count; ++i) first[i] = rows[i].node;
    std::size_t runStart = 0;
    for (std::size_t i = 1; i <= count; ++i) {
        if (i < count && !(rows[i].number < rows[runStart].number)) continue;
        const std::size_t run = i - runStart;
        if (run >= kKeyedRunMin) {
            SortByName(first + runStart, run);
        } else if (run > 1) {
            // A short run compares fewer times than it would make keys.
            std::sort(first + runStart, first + i,
                      [](const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) { return CompareNames(*a, *b) < 0; });
        }
        runStart = i;
    }
}

}  // namespace

void SortFileNodes(std::vector<TDiskTreeMapEntry*>& rows, FileNodeKey key, bool inverse) {
    TDiskTreeMapEntry** first = rows.data();
    const std::size_t count = rows.size();
    switch (key) {
        case FileNodeKey::Name:
            SortByName(first, count);
            break;
        case FileNodeKey::FullPath:
            SortByFullPath(first, count);
            break;
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
