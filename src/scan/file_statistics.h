#pragma once
// The file statistics: which file nodes of a scan pass the name, folder, size
// and date filter, and the limits behind the filter's controls.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_filter.h"
#include "common/types.h"
#include "scan/scan_model.h"

namespace tandrel {

// The filter's inputs as the controls hold them.
struct TFileFilterInput {
    std::string NameWords;            // "Filename:"
    std::string FolderWords;          // "Directory:"
    std::int64_t SizeFrom = 5;        // "Size more than:", already truncated; 0 is no limit
    std::int64_t SizeTo = 0;          // "Size less than:"; 0 is no limit
    std::string ByteUnit = "MB";      // "bytes", "kb", "MB" or "GB"
    std::optional<TDateTime> After;   // the "after:" picker when ticked
    std::optional<TDateTime> Before;  // the "before:" picker when ticked
};

// The byte unit's factor: "bytes" 1, "kb" 1024, "mb" 1048576, "gb"
// 1073741824, compared in lower case. Throws TandrelError
// "Unknown byte unit: " + unit for any other.
std::int64_t ByteUnitFactor(std::string_view unit);

// The limits a filter run tests every file against.
struct TFileFilterLimits {
    TextFilter Name;
    TextFilter Folder;
    std::int64_t MinSize = 0;         // 0: none
    std::int64_t MaxSize = 0;         // 0: none
    std::optional<TDateTime> After;   // start of the "after:" day
    std::optional<TDateTime> Before;  // start of the day after the "before:" day
};

// Throws as ByteUnitFactor does. Sizes beyond the 64-bit range saturate.
TFileFilterLimits PrepareFileFilter(const TFileFilterInput& input);

// The size and date tests alone (the keyword tests need the texts).
bool PassesSizeAndDate(const TFileFilterLimits& limits, const TDiskTreeMapEntry& node);

// Every node but the root whose type is file, in list order, that passes the
// filter. The free-space node counts only while it is part of the tree.
// Takes the model lock. Throws as ByteUnitFactor does, before any row is made.
std::vector<TDiskTreeMapEntry*> FilterFiles(ScanModel& model, const TFileFilterInput& input);
// The same with limits already prepared (a refilter with the same inputs).
std::vector<TDiskTreeMapEntry*> FilterFiles(ScanModel& model, const TFileFilterLimits& limits);

// One item of the date menu of the two pickers.
struct TDateMenuItem {
    std::string_view Caption;
    int Days;
};
// "Last day", "Last 2 days", ... "Last 30 days".
const std::vector<TDateMenuItem>& DateMenuItems();

// What a date menu item sets: "after:" ticked at the start of today minus
// the days, "before:" at today's start and unticked.
struct TDateMenuChoice {
    TDateTime After = 0;
    bool AfterTicked = true;
    TDateTime Before = 0;
    bool BeforeTicked = false;
};
TDateMenuChoice LastDaysChoice(int days, TDateTime now);

// The date part of a date-time (the start of its day).
TDateTime DatePart(TDateTime value);

}  // namespace tandrel
