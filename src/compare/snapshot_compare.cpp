#include "compare/snapshot_compare.h"

#include <algorithm>
#include <cmath>

#include "common/compare.h"
#include "common/messages.h"
#include "common/paths.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

// Seconds from a to b as the comparison measures them: a 32-bit float, with a
// shift of one hour counted as none.
float ShiftedSeconds(TDateTime from, TDateTime to) {
    float seconds = static_cast<float>((to - from) * 86400.0);
    const float magnitude = std::fabs(seconds);
    if (magnitude > 3599.0f && magnitude < 3601.0f) seconds = 0.0f;
    return seconds;
}

std::string ParentPathOf(const TFileEntry* file) {
    if (!file || !file->OwnerFolder) return {};
    return file->OwnerFolder->CalcPath();
}

int OwnerIdx(const TFileEntry* file) { return file->OwnerFolder ? file->OwnerFolder->Idx : 0; }

void SortFileList(TOwningStore<TFileEntry>& files, std::vector<TFileEntry*>& sorted) {
    sorted.clear();
    sorted.reserve(static_cast<std::size_t>(files.Count()));
    files.ForEach([&](TFileEntry& file) { sorted.push_back(&file); });
    std::sort(sorted.begin(), sorted.end(), [](const TFileEntry* a, const TFileEntry* b) {
        const int idxA = OwnerIdx(a), idxB = OwnerIdx(b);
        if (idxA != idxB) return idxA < idxB;
        return CompareTextLocale(a->FileName, b->FileName) < 0;
    });
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

}  // namespace

// ---- rows ----

std::string TMergedFileEntry::GetFileParentPath_Left() const { return ParentPathOf(FileLeft); }

std::string TMergedFileEntry::GetFileParentPath_Right() const { return ParentPathOf(FileRight); }

std::string TMergedFileEntry::GetFileParentPathX2() const {
    if (FileLeft) return GetFileParentPath_Left();
    return GetFileParentPath_Right();
}

bool SameSnapshotFileTime(TDateTime a, TDateTime b) { return std::fabs(ShiftedSeconds(a, b)) < 1.0f; }

std::string ComparisonScopeOf(std::string_view folderPath) {
    return AddTrailingBackslash(platform::LowerCase(folderPath));
}

bool InComparisonScope(std::string_view folderPath, std::string_view scope) {
    if (scope.empty()) return true;
    // Lower-cased with "/" at the end, so "/a/b" is in "/a/b/" but "/a/bc" is not.
    const std::string key = AddTrailingBackslash(platform::LowerCase(folderPath));
    return key.size() >= scope.size() && std::string_view(key).substr(0, scope.size()) == scope;
}

// ---- folder sides ----

void TSnapshotComparison::FolderSide::Clear() {
    paths.clear();
    inScope.clear();
    mergedRow.clear();
    ready = false;
    list = nullptr;
}

int TSnapshotComparison::FolderSide::PositionOf(const TDirectoryEntry* folder) const {
    if (!folder || !list) return -1;
    // The loaders number folders by position (Idx = position + 1).
    const int position = folder->Idx - 1;
    if (position >= 0 && position < list->Count() && (*list)[static_cast<std::size_t>(position)] == folder) {
        return position;
    }
    return -1;
}

void TSnapshotComparison::FolderSide::Build(TOwningStore<TDirectoryEntry>& folders, const std::string& scope) {
    Clear();
    list = &folders;
    const std::size_t count = static_cast<std::size_t>(folders.Count());
    paths.resize(count);
    inScope.resize(count, true);
    mergedRow.assign(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        const TDirectoryEntry* folder = folders[i];
        const int parent = PositionOf(folder->ParentIdx);
        // Parents come before their children, so the parent's path is ready:
        // one join per folder instead of a walk to the root.
        if (parent >= 0 && static_cast<std::size_t>(parent) < i) {
            paths[i] = PathJoin(paths[static_cast<std::size_t>(parent)], folder->FolderName);
        } else {
            paths[i] = folder->CalcPath();
        }
        if (!scope.empty()) inScope[i] = InComparisonScope(paths[i], scope);
    }
    ready = true;
}

void TSnapshotComparison::PrepareSides() {
    if (!left_.ready) left_.Build(LeftFolders, ComparisonScope);
    if (!right_.ready) right_.Build(RightFolders, ComparisonScope);
}

// ---- the lists ----

void TSnapshotComparison::ClearInputs() {
    MergedFiles.Clear();
    MergedFolders.Clear();
    leftSorted_.clear();
    rightSorted_.clear();
    leftSortedReady_ = rightSortedReady_ = false;
    left_.Clear();
    right_.Clear();
    LeftFiles.Clear();
    RightFiles.Clear();
    LeftFolders.Clear();
    RightFolders.Clear();
}

void TSnapshotComparison::SortLeftFiles() {
    SortFileList(LeftFiles, leftSorted_);
    leftSortedReady_ = true;
}

void TSnapshotComparison::SortRightFiles() {
    SortFileList(RightFiles, rightSorted_);
    rightSortedReady_ = true;
}

bool TSnapshotComparison::MergeFolders() {
    MergedFolders.Clear();
    // The scope may have changed since the last merge.
    left_.ready = right_.ready = false;
    PrepareSides();
    for (const std::string& path : left_.paths) {
        if (path.empty()) {
            GetMessages().ShowMessage(MessageKind::Error, "Corrupt left snapshot");
            return false;
        }
    }
    for (const std::string& path : right_.paths) {
        if (path.empty()) {
            GetMessages().ShowMessage(MessageKind::Error, "Corrupt right snapshot");
            return false;
        }
    }

    const std::size_t leftCount = left_.paths.size(), rightCount = right_.paths.size();
    std::size_t i = 0, j = 0;
    while (i < leftCount || j < rightCount) {
        const bool hasLeft = i < leftCount, hasRight = j < rightCount;
        if (hasLeft && !left_.inScope[i]) {
            ++i;
            continue;
        }
        const int order = !hasLeft ? 1 : (!hasRight ? -1 : ComparePaths(left_.paths[i], right_.paths[j]));
        const int row = MergedFolders.Count();
        TMergedFolderEntry* entry = MergedFolders.Add();
        if (order <= 0) {
            TDirectoryEntry* folder = LeftFolders[i];
            entry->DirLeft = folder;
            entry->Path = left_.paths[i];
            entry->SizeLeft = folder->TotalSize;
            entry->DateMLeft = folder->DateM;
            left_.mergedRow[i++] = row;
        }
        if (order >= 0) {
            TDirectoryEntry* folder = RightFolders[j];
            entry->DirRight = folder;
            if (order > 0) entry->Path = right_.paths[j];
            entry->SizeRight = folder->TotalSize;
            entry->DateMRight = folder->DateM;
            right_.mergedRow[j++] = row;
        }
    }
    return true;
}

const std::string& TSnapshotComparison::FolderPath(const FolderSide& side, const TFileEntry& file) const {
    static const std::string kNone;
    const int position = side.PositionOf(file.OwnerFolder);
    return position >= 0 ? side.paths[static_cast<std::size_t>(position)] : kNone;
}

int TSnapshotComparison::CompareFiles(const TFileEntry& left, const TFileEntry& right) const {
    const int leftPosition = left_.PositionOf(left.OwnerFolder);
    const int rightPosition = right_.PositionOf(right.OwnerFolder);
    const int leftRow = leftPosition >= 0 ? left_.mergedRow[static_cast<std::size_t>(leftPosition)] : -1;
    const int rightRow = rightPosition >= 0 ? right_.mergedRow[static_cast<std::size_t>(rightPosition)] : -1;
    int order;
    if (leftRow >= 0 && rightRow >= 0) {
        // Merged folder rows are in folder path order and a shared row means
        // equal paths: an integer comparison instead of a path comparison.
        order = Sign(leftRow - rightRow);
    } else {
        order = ComparePaths(FolderPath(left_, left), FolderPath(right_, right));
    }
    if (order != 0) return order;
    return CompareTextLocale(left.FileName, right.FileName);
}

void TSnapshotComparison::MergeFiles() {
    MergedFiles.Clear();
    PrepareSides();
    if (!leftSortedReady_) SortLeftFiles();
    if (!rightSortedReady_) SortRightFiles();

    const bool scoped = !ComparisonScope.empty();
    const std::size_t leftCount = leftSorted_.size(), rightCount = rightSorted_.size();
    std::size_t i = 0, j = 0;
    while (i < leftCount || j < rightCount) {
        TFileEntry* left = i < leftCount ? leftSorted_[i] : nullptr;
        TFileEntry* right = j < rightCount ? rightSorted_[j] : nullptr;
        if (left && scoped) {
            const int position = left_.PositionOf(left->OwnerFolder);
            const bool inScope = position >= 0 ? left_.inScope[static_cast<std::size_t>(position)]
                                               : InComparisonScope(ParentPathOf(left), ComparisonScope);
            if (!inScope) {
                ++i;
                continue;
            }
        }
        const int order = !left ? 1 : (!right ? -1 : CompareFiles(*left, *right));
        TMergedFileEntry* entry = MergedFiles.Add();
        if (order <= 0) {
            entry->FileLeft = left;
            entry->FileName = left->FileName;
            entry->SizeLeft = left->Size;
            entry->DateMLeft = left->DateM;
            ++i;
        }
        if (order >= 0) {
            entry->FileRight = right;
            if (order > 0) entry->FileName = right->FileName;
            entry->SizeRight = right->Size;
            entry->DateMRight = right->DateM;
            ++j;
        }
        if (order == 0) {
            const bool same =
                entry->SizeLeft == entry->SizeRight && SameSnapshotFileTime(entry->DateMLeft, entry->DateMRight);
            entry->Status = same ? MergedFile_Identical : MergedFile_Updated;
        } else {
            entry->Status = order > 0 ? MergedFile_New : MergedFile_Deleted;
        }
    }
    DetectMovedFiles();
}

void TSnapshotComparison::DetectMovedFiles() {
    std::vector<TMergedFileEntry*> deleted, added;
    MergedFiles.ForEach([&](TMergedFileEntry& row) {
        if (row.Status != MergedFile_New && row.Status != MergedFile_Deleted) return;
        if (row.FileLeft) deleted.push_back(&row);
        if (row.FileRight) added.push_back(&row);
    });
    // Biggest first, newest first among equal sizes; the row order settles
    // full ties, so a run gives the same pairs every time.
    std::sort(deleted.begin(), deleted.end(), [](const TMergedFileEntry* a, const TMergedFileEntry* b) {
        if (a->SizeLeft != b->SizeLeft) return a->SizeLeft > b->SizeLeft;
        if (a->DateMLeft != b->DateMLeft) return a->DateMLeft > b->DateMLeft;
        return a < b;
    });
    std::sort(added.begin(), added.end(), [](const TMergedFileEntry* a, const TMergedFileEntry* b) {
        if (a->SizeRight != b->SizeRight) return a->SizeRight > b->SizeRight;
        if (a->DateMRight != b->DateMRight) return a->DateMRight > b->DateMRight;
        return a < b;
    });

    std::size_t l = 0, r = 0;
    while (l < deleted.size() && r < added.size()) {
        TMergedFileEntry* a = deleted[l];
        TMergedFileEntry* b = added[r];
        if (a->SizeLeft > b->SizeRight) {
            ++l;
            continue;
        }
        if (a->SizeLeft < b->SizeRight) {
            ++r;
            continue;
        }
        const float seconds = ShiftedSeconds(a->DateMLeft, b->DateMRight);
        if (seconds > 1.0f) {
            ++r;  // the new file is newer than any deleted one still to come
        } else if (seconds < -1.0f) {
            ++l;
        } else {
            a->Status = b->Status = MergedFile_Moved;
            a->ReferenceFile = b;
            b->ReferenceFile = a;
            ++l;
            ++r;
        }
    }
}

TSnapshotComparison& CurrentSnapshotComparison() {
    static TSnapshotComparison comparison;
    return comparison;
}

}  // namespace tandrel
