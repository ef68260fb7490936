#pragma once
// One left file of the directory comparison.
#include <atomic>
#include <cstdint>
#include <string>

#include "common/types.h"
#include "compare/compare_result.h"

namespace tandrel {

class TFileEntryCompare {
public:
    TFileEntryCompare() = default;
    // Copies take a snapshot of the status the worker may be writing.
    TFileEntryCompare(const TFileEntryCompare& other) { *this = other; }
    TFileEntryCompare& operator=(const TFileEntryCompare& other) {
        FileName = other.FileName;
        Path = other.Path;
        Size = other.Size;
        CompareStatus.store(other.CompareStatus.load(std::memory_order_relaxed), std::memory_order_relaxed);
        DateM = other.DateM;
        Checksum = other.Checksum;
        Processed = other.Processed;
        DuplicateGroupId = other.DuplicateGroupId;
        return *this;
    }

    std::string FileName;
    std::string Path;  // full folder path under the left root, ending in "/"
    std::int64_t Size = 0;
    // Written by the comparison worker while the view repaints: one byte,
    // atomic, so the view sees either the old or the new status.
    std::atomic<TFileCompareResult> CompareStatus{FC_EMPTY};
    TDateTime DateM = 0;
    std::string Checksum;      // used by the duplicate finder only
    bool Processed = false;    // used by the duplicate finder only
    int DuplicateGroupId = 0;  // used by the duplicate finder only

    TFileCompareResult Status() const { return CompareStatus.load(std::memory_order_relaxed); }
    void SetStatus(TFileCompareResult status) { CompareStatus.store(status, std::memory_order_relaxed); }
};

}  // namespace tandrel
