#pragma once
// The duplicate finder: collects the files of one or more folder trees,
// groups files of identical content and keeps the groups on the records
// themselves (a group number and a group key). Saved per set of folders so a
// later run can reopen them.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/integer_list_x.h"
#include "common/types.h"
#include "common/worker_thread.h"
#include "compare/compare_cache.h"
#include "scan/filtered_scan.h"
#include "scan/scan_model.h"

namespace tandrel {

// One collected file.
class TFileEntryDuplicates {
public:
    std::string FileName;  // emptied when deleted through the finder
    std::string Path;      // its folder, ending in "/"; emptied on deletion
    std::int64_t Size = 0;
    TDateTime DateM = 0;   // local last-write time when collected; 0 for imported files
    std::string Checksum;  // the group key; empty until compared
    bool Processed = false;
    int DuplicateGroupId = 0;  // 0 = in no group, else from 1001 upward

    std::string FullFileName() const { return Path + FileName; }
};

using TDuplicateList = std::vector<std::unique_ptr<TFileEntryDuplicates>>;

// The row index value that opens a group in the shown rows.
inline constexpr int kGroupSeparatorRow = -100;
// The smallest file the finder collects.
inline constexpr std::int64_t kDuplicateMinSize = 1024;
inline constexpr int kFirstGroupId = 1001;

// "tandrel_cache_" and the folder specification with every character other
// than blank, "'+,-.", digits, letters, "[]^_~" made "_", runs of "__"
// collapsed and a trailing "_" removed.
std::string DuplicatesBaseName(std::string_view folders);
// The ".filelist" and ".results" of a folder specification in the settings folder.
std::string DuplicatesFileListFile(std::string_view folders);
std::string DuplicatesResultsFile(std::string_view folders);
// The log of files deleted through the finder, in the settings folder.
std::string DeletedFilesLogFile();
// Appends "yyyy-mm-dd hh:nn:ss: deleting PATH" to the log.
void LogDeletedFile(const std::string& path);

// The key of a group whose first file is first: its size with thousands
// separators padded with blanks to 16 characters, a blank, its full path.
std::string DuplicateGroupKey(const TFileEntryDuplicates& first);

// Duplicate order: Size descending, then Path in folder path order, then
// FileName ignoring case. Negative when a goes first.
int CompareDuplicates(const TFileEntryDuplicates& a, const TFileEntryDuplicates& b);

// "Files: 12 ( 3.00MB ) , Unique files: 4 ( 1.00MB )".
std::string DuplicatesSummaryText(int files, std::int64_t totalSize, int groups, std::int64_t uniqueSize);

// The shown rows of the group filter and their totals.
struct TDuplicateRows {
    std::vector<int> rows;  // positions in the duplicate list; kGroupSeparatorRow opens a group
    int files = 0;
    int groups = 0;
    std::int64_t totalSize = 0;
    std::int64_t uniqueSize = 0;
    std::string Summary() const { return DuplicatesSummaryText(files, totalSize, groups, uniqueSize); }
};

struct TGroupFilterOptions {
    std::string filter;  // words over full paths ("-word" excludes)
    bool matchFilename = false;
    bool matchParentFolderName = false;
};

// One pair of folders holding copies of the same files.
struct FileGroupStats {
    std::string Path1, Path2;
    std::int64_t Size1 = 0;
    int Files1 = 0;
    std::int64_t Size2 = 0;
    int Files2 = 0;
    std::int64_t IdentSize = 0;
    int IdentFiles = 0;
    float S1 = 0, S2 = 0, F1 = 0, F2 = 0;
};

// Counts of one search, shown as "Cache" and "Disk": the pair verdicts that
// came from the comparison cache, and the files whose content was read.
struct TDuplicateCounters {
    int fromCache = 0;
    int fromDisk = 0;
};

// The groups a running search has finished, for a window that shows them
// while the search goes on. The search adds each group whole, once all its
// members are known, so a reader never sees half of one; group k (from 0)
// gets the number kFirstGroupId + k when the search ends.
class TFoundGroups {
public:
    void Clear() {
        std::lock_guard lock(mutex_);
        groups_.clear();
    }
    // The finished groups of one size: positions in the duplicate list, each
    // group in index-list order, the groups in the order of their first members.
    void Add(std::vector<std::vector<int>> groups) {
        std::lock_guard lock(mutex_);
        for (auto& group : groups)
            if (group.size() >= 2) groups_.push_back(std::move(group));
    }
    // From a run of one size: member k of the run is at position(k) in the
    // duplicate list and joined the class of run member first(k) (its own
    // index when it leads one). Classes of one member are no groups.
    template <typename Run, typename Position, typename First>
    void AddRun(const Run& run, Position position, First first) {
        // One pass: a run of thousands of files of one size must not cost
        // a pass per class.
        std::vector<std::vector<int>> members(run.size());
        for (std::size_t k = 0; k < run.size(); ++k)
            members[static_cast<std::size_t>(first(run[k]))].push_back(position(run[k]));
        std::vector<std::vector<int>> groups;
        for (auto& group : members)
            if (group.size() >= 2) groups.push_back(std::move(group));
        Add(std::move(groups));
    }
    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return groups_.size();
    }
    // Copies of the groups from index from on.
    std::vector<std::vector<int>> From(std::size_t from) const {
        std::lock_guard lock(mutex_);
        if (from >= groups_.size()) return {};
        return {groups_.begin() + static_cast<std::ptrdiff_t>(from), groups_.end()};
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<int>> groups_;
};

class TDuplicateFinder {
public:
    // Stops and pauses through model, publishes progress in its ProgressText.
    TDuplicateFinder(ScanModel& model, TCompareCache& cache) : model_(model), cache_(cache) {}

    TDuplicateList Entries;               // the duplicate list
    TIntegerListX duplicateFilesLVItems;  // positions in Entries, in duplicate order
    TDuplicateCounters Counters;
    std::int64_t _tempMinSize = 0;
    std::int64_t _tempMaxSize = 0;
    // Cleared when a search starts; filled as it finishes each size.
    TFoundGroups FoundGroups;

    // The minimum size of a collection: never below 1024 bytes.
    static std::int64_t EffectiveMinSize(std::int64_t minSize);

    // Replaces the list with the found files (emptying files) and sorts the index list.
    void TakeScanResult(TFileTypeList&& files);
    // The same, leaving files as they are.
    void TakeScanResult(const TFileTypeList& files);
    // Fills the index list with every position and sorts it in duplicate order.
    void FillIndexList();
    void Clear();

    // The ".filelist" of the specification; false when it cannot be written.
    bool SaveFileList(std::string_view folders) const;
    // Reads the ".filelist" instead of collecting; false when it is missing.
    bool LoadFileList(std::string_view folders);
    // A plain list of full paths: current sizes, files below 1024 bytes (or
    // missing) skipped, DateM 0. False when the list cannot be read.
    bool ImportList(const std::string& file);

    // Groups equal files. Runs on the caller's thread (a worker); stops on the
    // model's cancel, leaving the groups found so far. False when cancelled.
    bool FindDuplicates();

    // The ".results": every grouped entry in index-list order.
    bool SaveResults(std::string_view folders) const;
    // Reads the ".results" up to its first empty line; false when it is missing.
    bool LoadResults(std::string_view folders);

    // Drops grouped positions whose file is gone; returns how many.
    // progress gets "Checking file k of n: path".
    int CleanUpDeleted(const std::function<void(const std::string&)>& progress = {});
    // The first entry with this full path (ignoring case) loses its name,
    // folder, key and group. False when no entry has it.
    bool MarkDeleted(const std::string& fullPath);

    // The rows shown for the options (see TDuplicateRows).
    TDuplicateRows GroupFilter(const TGroupFilterOptions& options);

    // Positions of every entry with the key.
    std::vector<int> GroupMembers(const std::string& key) const;
    // How many entries with the key still exist on disk.
    int ExistingCopies(const std::string& key) const;
    // How many of them exist and hold text (lower-cased) in their lower-cased path.
    int CopiesUnder(const std::string& key, const std::string& text) const;

    // The pairs of folders among the shown rows; sizes within
    // _tempMinSize/_tempMaxSize.
    std::vector<FileGroupStats> FolderPairStatistics(const std::vector<int>& rows);

    const TFileEntryDuplicates& Entry(int position) const { return *Entries[static_cast<std::size_t>(position)]; }
    TFileEntryDuplicates& Entry(int position) { return *Entries[static_cast<std::size_t>(position)]; }

private:
    ScanModel& model_;
    TCompareCache& cache_;
};

// Runs FindDuplicates on a worker; the caller polls threadRunning.
class TThreadFindDuplicates : public TWorkerThread {
public:
    TThreadFindDuplicates(ScanModel& model, TDuplicateFinder& finder)
        : TWorkerThread(&model.ProgressText), finder_(finder) {}
    ~TThreadFindDuplicates() override { WaitFor(); }
    // Read after threadRunning went false: the search ran to its end.
    bool completed = false;

protected:
    void Execute() override { completed = finder_.FindDuplicates(); }
    std::string ErrorPrefix() const override { return "Find duplicates failed: "; }

private:
    TDuplicateFinder& finder_;
};

namespace test_hooks {
// Replaces the content hash of the search (nullptr restores it), so a test
// can make different files collide.
void SetDuplicateHash(std::uint64_t (*hash)(const void* data, std::size_t size, std::uint64_t seed));
// Buckets of up to this many files are compared side by side instead of
// hashed to the end (0: never; negative restores the default).
void SetDuplicateLockstepLimit(int files);
}  // namespace test_hooks

}  // namespace tandrel
