#pragma once
// Sort orders of the folder statistics, the folder chart, the file statistics
// and the search results. Each comparator is negative when a goes first;
// inverse negates the whole result, tie-breaks included. Every order is a
// consistent total order, because the lists sort with an unstable sort.
#include <string_view>
#include <vector>

#include "scan/scan_model.h"

namespace tandrel {

// ---- folder statistics (lvDirectoryAnalysis) ----

// What a folder statistics column sorts by. The key belongs to the column's
// caption, so removing columns from the view changes no column's order.
enum class DirectoryAnalysisKey {
    LoadOrder,  // Idx ascending
    Level,
    Share,
    TotalSize,
    TotalDirs,
    TotalFiles,
    RootSize,
    RootDirs,
    RootFiles,
    FolderName,  // ascending text
};

// The designed captions in order: "Path", "Full Path", "level", "Bar",
// "Total Size", "% of parent", "Total Dirs", "Total Files", "Root Size",
// "Root Dirs", "Root Files", "Date".
const std::vector<std::string_view>& DirectoryAnalysisCaptions();
// The key of a caption; "Date" and unknown captions sort by FolderName.
DirectoryAnalysisKey DirectoryAnalysisKeyOfCaption(std::string_view caption);
// The key of a position in the designed column order.
DirectoryAnalysisKey DirectoryAnalysisKeyOfColumn(int column);

// Numbers and shares descending, load order and names ascending; equal keys
// fall back to load order (Idx), which is unique within a scan.
int CompareDirectoryAnalysis(DirectoryAnalysisKey key, bool inverse, const TDirectoryEntry& a,
                             const TDirectoryEntry& b);
// The same with the column given as a position in the designed order.
int CompareDirectoryAnalysis(int column, bool inverse, const TDirectoryEntry& a, const TDirectoryEntry& b);
// Sorts a row index list of positions in entries. The caller holds the model lock.
void SortDirectoryAnalysisRows(std::vector<int>& rows, const TOwningStore<TDirectoryEntry>& entries,
                               DirectoryAnalysisKey key, bool inverse);

// ---- folder chart (lvDirectoryChart) ----

// Columns: "Path", "Bar", "Total Size", "% of parent", "Total Dirs",
// "Total Files", "Root Size", "Root Dirs", "Root Files", "Date", "Full Path",
// "level". "Date" has no key of its own and sorts by FolderName. Equal keys
// fall back to FolderName, then to load order.
int CompareDirectoryChart(int column, bool inverse, const TDirectoryEntry& a, const TDirectoryEntry& b);
void SortDirectoryChartRows(std::vector<TDirectoryEntry*>& rows, int column, bool inverse);

// ---- file statistics (lvFileAnalysis) and search results (lvSearchResults) ----

enum class FileNodeKey {
    Name,      // ascending text
    FullPath,  // the node's full path, ascending text
    Size,      // SizeTotal descending
    Date,      // DateM descending
};

// lvFileAnalysis: "Filename", "Path", "Size", "Created", "Modified"; any
// other column sorts by Name.
FileNodeKey FileAnalysisKeyOfColumn(int column);
// lvSearchResults: "Filename", "Size", "Path"; any other column sorts by Name.
FileNodeKey SearchResultsKeyOfColumn(int column);

// Equal keys fall back to Name (locale, case ignored), then to Name byte by
// byte, then to the nodes' addresses, so no two distinct nodes compare equal.
// FullPath builds both paths under the lock of the model holding the nodes:
// for whole lists use SortFileNodes.
int CompareFileNodes(ScanModel& model, FileNodeKey key, bool inverse, const TDiskTreeMapEntry& a,
                     const TDiskTreeMapEntry& b);
int CompareFileAnalysis(ScanModel& model, int column, bool inverse, const TDiskTreeMapEntry& a,
                        const TDiskTreeMapEntry& b);
int CompareSearchResults(ScanModel& model, int column, bool inverse, const TDiskTreeMapEntry& a,
                         const TDiskTreeMapEntry& b);

// Sorts rows into exactly the order of CompareFileNodes, fast enough for a
// million rows: texts are compared through collation keys made once per row
// (names, or full paths built once per folder), and for sizes and dates the
// name keys are made only for runs of equal values. The caller holds the
// model lock.
void SortFileNodes(std::vector<TDiskTreeMapEntry*>& rows, FileNodeKey key, bool inverse);

}  // namespace tandrel
