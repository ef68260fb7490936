#include "compare/compare_cache.h"

#include <algorithm>
#include <iterator>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

constexpr const char* kIdenticalFileName = "compare_T_identical.ini";
constexpr const char* kDifferentFileName = "compare_T_loose.ini";

bool KeyLess(const std::string& a, const std::string& b) { return platform::CollateCompare(a, b) < 0; }

// The first position whose key sorts after key.
std::size_t UpperBound(const TStringList& keys, std::string_view key) {
    std::size_t low = 0, high = keys.size();
    while (low < high) {
        std::size_t mid = low + (high - low) / 2;
        if (platform::CollateCompare(keys[mid], key) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

// Distinct keys can collate equal (other Unicode normal forms of one name),
// so the whole run of equal keys before the insertion point is checked.
bool Contains(const TStringList& keys, std::string_view key) {
    for (std::size_t at = UpperBound(keys, key); at > 0; --at) {
        const std::string& candidate = keys[at - 1];
        if (platform::SameTextIgnoreCase(candidate, key)) return true;
        if (platform::CollateCompare(candidate, key) != 0) return false;
    }
    return false;
}

bool ContainsPair(const TStringList& keys, const TComparePairKeys& pair) {
    return Contains(keys, pair.aThenB) || Contains(keys, pair.bThenA);
}

void SortUnique(TStringList& keys) {
    if (!std::is_sorted(keys.begin(), keys.end(), KeyLess)) std::stable_sort(keys.begin(), keys.end(), KeyLess);
    auto same = [](const std::string& a, const std::string& b) { return platform::SameTextIgnoreCase(a, b); };
    keys.erase(std::unique(keys.begin(), keys.end(), same), keys.end());
}

// Both lists sorted; the result sorted and without repeats.
TStringList MergeKeys(TStringList first, TStringList&& second) {
    std::size_t middle = first.size();
    first.insert(first.end(), std::make_move_iterator(second.begin()), std::make_move_iterator(second.end()));
    second.clear();
    std::inplace_merge(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(middle), first.end(), KeyLess);
    SortUnique(first);
    return first;
}

TStringList ReadKeys(const std::string& file) {
    TStringList lines;
    if (!file.empty()) LoadTextFileRetry(lines, file);
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    SortUnique(lines);
    return lines;
}

}  // namespace

std::string CacheFileKey(std::string_view path, TDateTime lastWrite) {
    std::string key = EscapeLineName(platform::LowerCase(path));
    key += '|';
    AppendDateTimeMs(key, lastWrite);
    return key;
}

TComparePairKeys MakePairKeys(const std::string& fileA, const std::string& fileB) {
    platform::FileTime timeA = 0, timeB = 0;
    if (!platform::GetFileTimes(fileA, nullptr, &timeA) || !platform::GetFileTimes(fileB, nullptr, &timeB)) {
        return {};
    }
    return MakePairKeys(fileA, timeA, fileB, timeB);
}

TComparePairKeys MakePairKeys(const std::string& fileA, platform::FileTime timeA, const std::string& fileB,
                              platform::FileTime timeB) {
    return MakePairKeysAt(fileA, FileTimeToLocalDateTime(timeA), fileB, FileTimeToLocalDateTime(timeB));
}

TComparePairKeys MakePairKeysAt(const std::string& fileA, TDateTime localTimeA, const std::string& fileB,
                                TDateTime localTimeB) {
    TComparePairKeys keys;
    std::string keyA = CacheFileKey(fileA, localTimeA);
    std::string keyB = CacheFileKey(fileB, localTimeB);
    keys.aThenB = keyA + '|' + keyB;
    keys.bThenA = keyB + '|' + keyA;
    keys.valid = true;
    return keys;
}

TCompareCache::TCompareCache() { SelectThoroughMethod(); }

TCompareCache::TCompareCache(std::string identicalFile, std::string differentFile) {
    SetFileNames(std::move(identicalFile), std::move(differentFile));
}

void TCompareCache::SelectThoroughMethod() {
    SetFileNames(AppSettingsFile(kIdenticalFileName), AppSettingsFile(kDifferentFileName));
}

void TCompareCache::SetFileNames(std::string identicalFile, std::string differentFile) {
    std::lock_guard guard(lock_);
    // Verdicts not yet written belong to the files they were found for.
    if (identical_.file != identicalFile || different_.file != differentFile) {
        SaveList(identical_);
        SaveList(different_);
        identical_.keys.clear();
        different_.keys.clear();
    }
    identical_.file = std::move(identicalFile);
    different_.file = std::move(differentFile);
    loaded_ = false;
}

TFileCompareResult TCompareCache::Lookup(const std::string& fileA, const std::string& fileB) {
    return Lookup(MakePairKeys(fileA, fileB));
}

TFileCompareResult TCompareCache::Lookup(const TComparePairKeys& keys) {
    if (!keys.valid) return FC_CACHE_MISS;
    std::lock_guard guard(lock_);
    EnsureLoadedLocked();
    if (ContainsPair(identical_.keys, keys)) return FC_IDENTICAL;
    if (ContainsPair(different_.keys, keys)) return FC_LOOSE_COPY;
    return FC_CACHE_MISS;
}

void TCompareCache::Store(const std::string& fileA, const std::string& fileB, TFileCompareResult result) {
    Store(MakePairKeys(fileA, fileB), result);
}

void TCompareCache::Store(const TComparePairKeys& keys, TFileCompareResult result) {
    if (!keys.valid || (result != FC_IDENTICAL && result != FC_LOOSE_COPY)) return;
    std::lock_guard guard(lock_);
    EnsureLoadedLocked();
    List& list = result == FC_IDENTICAL ? identical_ : different_;
    if (ContainsPair(list.keys, keys)) return;
    list.keys.insert(list.keys.begin() + static_cast<std::ptrdiff_t>(UpperBound(list.keys, keys.aThenB)), keys.aThenB);
    list.changed = true;
}

void TCompareCache::StoreMany(const std::vector<TComparePairKeys>& pairs, TFileCompareResult result) {
    if (result != FC_IDENTICAL && result != FC_LOOSE_COPY) return;
    std::lock_guard guard(lock_);
    EnsureLoadedLocked();
    List& list = result == FC_IDENTICAL ? identical_ : different_;
    TStringList added;
    for (const TComparePairKeys& keys : pairs) {
        if (keys.valid && !ContainsPair(list.keys, keys)) added.push_back(keys.aThenB);
    }
    AddKeysLocked(list, std::move(added));
}

void TCompareCache::StorePairs(const std::vector<std::string>& fileKeys, const std::vector<std::pair<int, int>>& pairs,
                               TFileCompareResult result) {
    if (result != FC_IDENTICAL && result != FC_LOOSE_COPY) return;
    std::lock_guard guard(lock_);
    EnsureLoadedLocked();
    List& list = result == FC_IDENTICAL ? identical_ : different_;
    TStringList added;
    added.reserve(pairs.size());
    std::string reversed;
    for (const auto& [a, b] : pairs) {
        const std::string& keyA = fileKeys[static_cast<std::size_t>(a)];
        const std::string& keyB = fileKeys[static_cast<std::size_t>(b)];
        if (keyA.empty() || keyB.empty()) continue;
        std::string key;
        key.reserve(keyA.size() + 1 + keyB.size());
        key.append(keyA).append(1, '|').append(keyB);
        if (!list.keys.empty()) {
            reversed.assign(keyB).append(1, '|').append(keyA);
            if (Contains(list.keys, key) || Contains(list.keys, reversed)) continue;
        }
        added.push_back(std::move(key));
    }
    AddKeysLocked(list, std::move(added));
}

void TCompareCache::AddKeysLocked(List& list, TStringList&& added) {
    if (added.empty()) return;
    SortUnique(added);
    list.changed = true;
    // A few keys go in one by one; a merge pays for a pass over the whole list.
    if (added.size() * 64 < list.keys.size()) {
        for (std::string& key : added) {
            const std::size_t at = UpperBound(list.keys, key);
            list.keys.insert(list.keys.begin() + static_cast<std::ptrdiff_t>(at), std::move(key));
        }
        return;
    }
    list.keys = MergeKeys(std::move(list.keys), std::move(added));
}

void TCompareCache::Load(const StatusFn& status) {
    std::lock_guard guard(lock_);
    if (!loaded_) LoadLocked(status);
}

bool TCompareCache::Loaded() {
    std::lock_guard guard(lock_);
    return loaded_;
}

void TCompareCache::EnsureLoadedLocked() {
    if (!loaded_) LoadLocked({});
}

void TCompareCache::LoadLocked(const StatusFn& status) {
    if (status) status("Loading cache stats (1)...");
    LoadList(identical_);
    if (status) status("Loading cache stats (2)...");
    LoadList(different_);
    loaded_ = true;
}

void TCompareCache::LoadList(List& list) {
    TStringList onDisk = ReadKeys(list.file);
    // Unsaved verdicts (from before the file names were selected again) stay.
    list.keys = list.changed ? MergeKeys(std::move(onDisk), std::move(list.keys)) : std::move(onDisk);
}

bool TCompareCache::Save() {
    std::lock_guard guard(lock_);
    bool identicalSaved = SaveList(identical_);
    bool differentSaved = SaveList(different_);
    return identicalSaved && differentSaved;
}

bool TCompareCache::SaveList(List& list) {
    if (!list.changed) return true;
    if (list.file.empty()) return false;
    // The merge takes the keys over; they come back whether or not the write works.
    TStringList merged = MergeKeys(ReadKeys(list.file), std::move(list.keys));
    // Replaced in one step, so a failed write or a kill never leaves a
    // truncated cache behind.
    platform::ForceFolders(ExtractFilePath(list.file));
    if (!ReplaceTextFile(merged, list.file)) {
        list.keys = std::move(merged);
        return false;
    }
    list.keys = std::move(merged);
    list.changed = false;
    return true;
}

bool TCompareCache::Clear() {
    std::lock_guard guard(lock_);
    for (List* list : {&identical_, &different_}) {
        if (!list->file.empty()) platform::DeleteFile(list->file);
        list->keys.clear();
        list->changed = false;
    }
    loaded_ = false;
    return !platform::PathExists(identical_.file) && !platform::PathExists(different_.file);
}

int TCompareCache::IdenticalCount() {
    std::lock_guard guard(lock_);
    EnsureLoadedLocked();
    return static_cast<int>(identical_.keys.size());
}

int TCompareCache::DifferentCount() {
    std::lock_guard guard(lock_);
    EnsureLoadedLocked();
    return static_cast<int>(different_.keys.size());
}

TCompareCache& ComparisonCache() {
    static TCompareCache cache;
    return cache;
}

void SaveComparisonCache() {
    if (!ComparisonCache().Save()) GetMessages().AddErrorLine("The comparison cache could not be saved");
}

void ClearComparisonCache() {
    if (ComparisonCache().Clear()) {
        ShowInfo("Cache cleared");
    } else {
        ShowError("The comparison cache files could not be deleted");
    }
}

}  // namespace tandrel
