#pragma once
// The worker of a directory comparison: every listed left file is looked up
// at the same relative place under the right root and compared by presence,
// size and content (answered from the comparison cache when it can be).
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "compare/compare_cache.h"
#include "compare/file_content_compare.h"
#include "compare/file_entry_compare.h"
#include "scan/filtered_scan.h"
#include "scan/scan_model.h"

namespace tandrel {

// The comparison list: one entry per left file, owned by whoever listed them.
using TFileEntryCompareList = std::vector<std::unique_ptr<TFileEntryCompare>>;

// Turns a filtered scan's result into comparison entries, in the same order.
TFileEntryCompareList MakeCompareEntries(const TFileTypeList& files);

// The right-hand counterpart of a left file: the entry's folder below the
// left root, joined under the right root.
std::string RightFileOf(const TFileEntryCompare& entry, const std::string& leftRoot,
                        const std::string& rightRoot);

class TThreadCompareX {
public:
    explicit TThreadCompareX(ScanModel& model = CurrentModel(), TCompareCache& cache = ComparisonCache());
    // Waits for the worker; stopping it early is the caller's (CancelOperation).
    ~TThreadCompareX();
    TThreadCompareX(const TThreadCompareX&) = delete;
    TThreadCompareX& operator=(const TThreadCompareX&) = delete;

    // The entries are not owned and must outlive the run.
    void Init(std::vector<TFileEntryCompare*> entries, std::string leftRoot, std::string rightRoot);
    // Sets threadRunning, then runs Execute on the worker.
    void Start();
    void WaitFor();
    // Compares every entry in order on the calling thread; stops at a cancel,
    // leaving the remaining entries as they were.
    void Execute();

    std::vector<TFileEntryCompare*> fileIdxToCompareAr;
    std::string scanned_directory_LEFT;
    std::string scanned_directory_RIGHT;
    std::atomic<bool> threadRunning{false};
    // The entry being compared; null before the first and after the last.
    std::atomic<TFileEntryCompare*> fileCurrent{nullptr};

private:
    TFileCompareResult CompareEntry(const TFileEntryCompare& entry, FileContentComparer& comparer);

    ScanModel& model_;
    TCompareCache& cache_;
    std::thread thread_;
};

}  // namespace tandrel
