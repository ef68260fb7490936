#pragma once
// What changed between two scans of one tree: the two sides as flat folder
// and file lists, merged by path into folder rows and file rows. Every file
// row says identical, new, deleted, updated or renamed/moved.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"
#include "scan/scan_model.h"

namespace tandrel {

// One row of the folder comparison. It carries no status: which sides are
// present and the two sizes tell new, deleted, updated and identical apart.
class TMergedFolderEntry {
public:
    TDirectoryEntry* DirLeft = nullptr;
    TDirectoryEntry* DirRight = nullptr;
    std::string Path;  // the left folder's full path when there is one, else the right's
    std::int64_t SizeRight = 0;
    std::int64_t SizeLeft = 0;
    TDateTime DateMRight = 0;
    TDateTime DateMLeft = 0;
    // Counterpart of a moved folder; folders are never paired, so always null.
    TMergedFolderEntry* ReferenceFolder = nullptr;
};

enum TMergedFileStatus : std::uint8_t {
    MergedFile_Identical = 0,
    MergedFile_New = 1,
    MergedFile_Deleted = 2,
    MergedFile_Moved = 3,
    MergedFile_Updated = 4,
};

// One row of the file comparison.
class TMergedFileEntry {
public:
    TFileEntry* FileLeft = nullptr;
    TFileEntry* FileRight = nullptr;
    std::string FileName;  // the left file's name when there is one, else the right's
    std::int64_t SizeRight = 0;
    std::int64_t SizeLeft = 0;
    TDateTime DateMRight = 0;
    TDateTime DateMLeft = 0;
    std::uint8_t Status = MergedFile_Identical;
    // Status 3 only: the row of the other half of the move.
    TMergedFileEntry* ReferenceFile = nullptr;

    // Full path of the folder holding the left file; "" without one.
    std::string GetFileParentPath_Left() const;
    std::string GetFileParentPath_Right() const;
    // The left file's folder when there is a left file, else the right's.
    std::string GetFileParentPathX2() const;
};

// The same-time test of the comparison: seconds apart (as a 32-bit float)
// below 1, where a shift of one hour (strictly between 3599 and 3601 seconds,
// from daylight saving or time-zone handling) counts as no change.
bool SameSnapshotFileTime(TDateTime a, TDateTime b);

// The scope of a live right side: the lower-cased folder path with "/" at
// the end. Left folders outside it take no part.
std::string ComparisonScopeOf(std::string_view folderPath);
// True when the folder path lies in the scope. The folder that is the scope
// itself counts as inside, so a plain folder's own files are compared too.
bool InComparisonScope(std::string_view folderPath, std::string_view scope);

// The six lists of a comparison and the steps that fill the merged two.
// Merged rows point into the four input lists, so those live as long as the
// rows; clearing the inputs clears the rows with them.
class TSnapshotComparison {
public:
    TSnapshotComparison() = default;
    TSnapshotComparison(const TSnapshotComparison&) = delete;
    TSnapshotComparison& operator=(const TSnapshotComparison&) = delete;

    // Inputs of a run: the right side (snapshot file or live folder) and the
    // left snapshot file.
    std::string RightPath;
    std::string LeftPath;
    // Empty unless the right side is a live folder (see ComparisonScopeOf).
    std::string ComparisonScope;

    TOwningStore<TDirectoryEntry> LeftFolders;
    TOwningStore<TDirectoryEntry> RightFolders;
    TOwningStore<TFileEntry> LeftFiles;
    TOwningStore<TFileEntry> RightFiles;
    TOwningStore<TMergedFolderEntry> MergedFolders;
    TOwningStore<TMergedFileEntry> MergedFiles;

    // Empties the four input lists, and the merged lists that point into them.
    void ClearInputs();

    // The file lists in comparison order: by the owner folder's Idx (load
    // order, which is folder path order), then by name ignoring case.
    void SortLeftFiles();
    void SortRightFiles();
    const std::vector<TFileEntry*>& LeftFilesSorted() const { return leftSorted_; }
    const std::vector<TFileEntry*>& RightFilesSorted() const { return rightSorted_; }

    // One pass over both folder lists, which must be in folder path order.
    // A folder without a full path means a damaged snapshot: the message
    // "Corrupt left snapshot" or "Corrupt right snapshot" is shown and no
    // rows are made (false).
    bool MergeFolders();
    // One pass over both sorted file lists (sorting first when that was not
    // done), then the moved detection.
    void MergeFiles();
    // Pairs deleted and new rows of the same size and time as moves: one
    // sort of those rows, then one pass.
    void DetectMovedFiles();

private:
    // Per folder of one side: its full path, whether it lies in the scope,
    // and the merged folder row it went into (-1 for none).
    struct FolderSide {
        std::vector<std::string> paths;
        std::vector<bool> inScope;
        std::vector<int> mergedRow;
        bool ready = false;

        void Build(TOwningStore<TDirectoryEntry>& folders, const std::string& scope);
        void Clear();
        // Position of a folder in its list; -1 when it is not one of them.
        int PositionOf(const TDirectoryEntry* folder) const;
        const TOwningStore<TDirectoryEntry>* list = nullptr;
    };

    void PrepareSides();
    // Order of two files in the merge: folder first, then name.
    int CompareFiles(const TFileEntry& left, const TFileEntry& right) const;
    const std::string& FolderPath(const FolderSide& side, const TFileEntry& file) const;

    std::vector<TFileEntry*> leftSorted_;
    std::vector<TFileEntry*> rightSorted_;
    bool leftSortedReady_ = false;
    bool rightSortedReady_ = false;
    FolderSide left_;
    FolderSide right_;
};

// The comparison the view shows: one for the whole program.
TSnapshotComparison& CurrentSnapshotComparison();

}  // namespace tandrel
