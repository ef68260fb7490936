#include "scan/file_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "common/split.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

std::int64_t SaturatedProduct(std::int64_t value, std::int64_t factor) {
    std::int64_t result = 0;
    if (!__builtin_mul_overflow(value, factor, &result)) return result;
    return value < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
}

TextFilter KeywordFilter(std::string_view text) { return PrepareTextFilter(SplitList(platform::LowerCase(text), " ")); }

}  // namespace

std::int64_t ByteUnitFactor(std::string_view unit) {
    const std::string lower = platform::LowerCase(unit);
    if (lower == "bytes") return 1;
    if (lower == "kb") return 1024;
    if (lower == "mb") return 1048576;
    if (lower == "gb") return 1073741824;
    throw TandrelError("Unknown byte unit: " + std::string(unit));
}

TDateTime DatePart(TDateTime value) { return std::floor(value); }

TFileFilterLimits PrepareFileFilter(const TFileFilterInput& input) {
    const std::int64_t factor = ByteUnitFactor(input.ByteUnit);
    TFileFilterLimits limits;
    limits.MinSize = SaturatedProduct(input.SizeFrom, factor);
    limits.MaxSize = SaturatedProduct(input.SizeTo, factor);
    if (input.After) limits.After = DatePart(*input.After);
    // The whole "before:" day counts: the limit is the start of the next day.
    if (input.Before) limits.Before = DatePart(*input.Before) + 1;
    limits.Name = KeywordFilter(input.NameWords);
    limits.Folder = KeywordFilter(input.FolderWords);
    return limits;
}

bool PassesSizeAndDate(const TFileFilterLimits& limits, const TDiskTreeMapEntry& node) {
    if (limits.MinSize != 0 && node.SizeTotal < limits.MinSize) return false;
    if (limits.MaxSize != 0 && node.SizeTotal > limits.MaxSize) return false;
    if (limits.Before && !(node.DateM <= *limits.Before)) return false;
    if (limits.After && !(node.DateM >= *limits.After)) return false;
    return true;
}

std::vector<TDiskTreeMapEntry*> FilterFiles(ScanModel& model, const TFileFilterInput& input) {
    return FilterFiles(model, PrepareFileFilter(input));
}

std::vector<TDiskTreeMapEntry*> FilterFiles(ScanModel& model, const TFileFilterLimits& limits) {
    std::vector<TDiskTreeMapEntry*> rows;
    std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
    if (model.DiskTreeMapEntries.Count() < 2) return rows;
    const TDiskTreeMapEntry* root = model.DiskTreeMapEntries[0];
    // Free space that is not part of the tree is no file of the scan.
    const TDiskTreeMapEntry* freeSpace = model.FreeSpaceEntry;
    const bool freeSpaceListed = freeSpace && std::find(root->ChildrenEntries.begin(), root->ChildrenEntries.end(),
                                                        freeSpace) != root->ChildrenEntries.end();
    const bool byName = !limits.Name.MatchesEverything();
    const bool byFolder = !limits.Folder.MatchesEverything();
    // Files of one folder lie next to each other in the list: the folder's
    // verdict is kept while its files go by.
    const TDiskTreeMapEntry* lastParent = nullptr;
    bool lastParentPasses = true;

    const int count = model.DiskTreeMapEntries.Count();
    for (int i = 1; i < count; ++i) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries[i];
        if (node->EntryType != EntryType_File && node->EntryType != EntryType_FreeSpace) continue;
        if (node == freeSpace && !freeSpaceListed) continue;
        if (!PassesSizeAndDate(limits, *node)) continue;
        if (byName && !MatchesTextFilter(limits.Name, node->Name)) continue;
        if (byFolder) {
            if (node->ParentNodeIdx != lastParent || !lastParent) {
                lastParent = node->ParentNodeIdx;
                lastParentPasses = MatchesTextFilter(limits.Folder, GetNodeFullPath(model, lastParent));
            }
            if (!lastParentPasses) continue;
        }
        rows.push_back(node);
    }
    return rows;
}

const std::vector<TDateMenuItem>& DateMenuItems() {
    static const std::vector<TDateMenuItem> items = {
        {"Last day", 1},      {"Last 2 days", 2},   {"Last 3 days", 3},   {"Last 5 days", 5},
        {"Last 10 days", 10}, {"Last 15 days", 15}, {"Last 30 days", 30},
    };
    return items;
}

TDateMenuChoice LastDaysChoice(int days, TDateTime now) {
    TDateMenuChoice choice;
    choice.Before = DatePart(now);
    choice.After = choice.Before - days;
    return choice;
}

}  // namespace tandrel
