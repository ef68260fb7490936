#pragma once
// The comparison cache: verdicts on pairs of files, keyed by path and
// modification time of both files, so unchanged files are not read again.
// Two lists, identical pairs and different pairs, each kept in the locale
// order ignoring case and searched by bisection; one file per list.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/types.h"
#include "compare/compare_result.h"
#include "platform/file_system.h"

namespace tandrel {

// Lower-cased path (with "|" and line breaks escaped), "|", the last-write
// time as "yyyy-mm-dd hh:nn:ss.zzz".
std::string CacheFileKey(std::string_view path, TDateTime lastWrite);

// Both orders of a pair's key. Not valid when either file's time cannot be
// read: such a pair is neither looked up nor stored.
struct TComparePairKeys {
    std::string aThenB;
    std::string bThenA;
    bool valid = false;
};
// Reads both files' last-write times now. Take the keys before reading the
// contents, so a file changed during the comparison is stored under its old
// time, where no later lookup finds it.
TComparePairKeys MakePairKeys(const std::string& fileA, const std::string& fileB);
// The same from last-write times the caller has just read.
TComparePairKeys MakePairKeys(const std::string& fileA, platform::FileTime timeA, const std::string& fileB,
                              platform::FileTime timeB);
// The same from local last-write times (as a listing reports them).
TComparePairKeys MakePairKeysAt(const std::string& fileA, TDateTime localTimeA, const std::string& fileB,
                                TDateTime localTimeB);

class TCompareCache {
public:
    using StatusFn = std::function<void(const std::string&)>;

    // Uses the two files of the thorough method in the settings folder.
    TCompareCache();
    TCompareCache(std::string identicalFile, std::string differentFile);

    // The only comparison method: points the cache at "compare_T_identical.ini"
    // and "compare_T_loose.ini" in the settings folder and clears the loaded
    // flag. Unsaved verdicts are kept and merged with the files at the next load.
    void SelectThoroughMethod();
    void SetFileNames(std::string identicalFile, std::string differentFile);

    // FC_IDENTICAL, FC_LOOSE_COPY or FC_CACHE_MISS for the pair in either order.
    TFileCompareResult Lookup(const std::string& fileA, const std::string& fileB);
    TFileCompareResult Lookup(const TComparePairKeys& keys);
    // Records FC_IDENTICAL or FC_LOOSE_COPY (any other result is ignored);
    // a pair already known in either order is not added twice.
    void Store(const std::string& fileA, const std::string& fileB, TFileCompareResult result);
    void Store(const TComparePairKeys& keys, TFileCompareResult result);
    // Store for many pairs at once: one merge instead of one insertion each.
    void StoreMany(const std::vector<TComparePairKeys>& pairs, TFileCompareResult result);
    // The same for pairs of files given by their file keys (CacheFileKey),
    // each pair's key made once: a run of a thousand files of one size
    // stores half a million pairs. An empty file key stands for a file whose
    // time is unknown, whose pairs are skipped.
    void StorePairs(const std::vector<std::string>& fileKeys, const std::vector<std::pair<int, int>>& pairs,
                    TFileCompareResult result);

    // Reads both files when the loaded flag is not set (status reports the
    // two steps). Every lookup and store loads first, so the lists in memory
    // always hold what was on disk and a save never drops it.
    void Load(const StatusFn& status = {});
    bool Loaded();
    // Writes each changed list, merged with what its file holds now (another
    // run may have added to it). False when a file could not be written.
    bool Save();
    // Deletes both files and empties the lists. False when a file stays.
    bool Clear();

    // Entries in each list (loading first).
    int IdenticalCount();
    int DifferentCount();

private:
    struct List {
        TStringList keys;
        std::string file;
        bool changed = false;
    };
    void LoadLocked(const StatusFn& status);
    void EnsureLoadedLocked();
    static void LoadList(List& list);
    // Sorts added and puts its keys in the list.
    static void AddKeysLocked(List& list, TStringList&& added);
    static bool SaveList(List& list);

    // Both lists, their files and loaded_. Held across a whole load or save
    // (the file reads and writes included), so a lookup never sees half a
    // list. A leaf: no model lock is taken under it, and none of a caller's
    // locks may be held when calling in. Load's status callback runs under
    // it, so the callback must not call into the cache.
    std::mutex lock_;
    List identical_;
    List different_;
    bool loaded_ = false;
};

// The process-wide cache used by every comparison.
TCompareCache& ComparisonCache();
// At exit: writes the changed lists; a failure becomes a line in the log.
void SaveComparisonCache();
// The settings button: clears the cache and tells the user.
void ClearComparisonCache();

}  // namespace tandrel
