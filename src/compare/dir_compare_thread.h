#pragma once
// The worker of a directory comparison: every listed left file is looked up
// at the same relative place under the right root and compared by presence,
// size and content (answered from the comparison cache when it can be).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/worker_thread.h"
#include "compare/compare_cache.h"
#include "compare/file_content_compare.h"
#include "compare/file_entry_compare.h"
#include "platform/open_folder.h"
#include "scan/filtered_scan.h"
#include "scan/scan_model.h"

namespace tandrel {

// The comparison list: one entry per left file, owned by whoever listed them.
using TFileEntryCompareList = std::vector<std::unique_ptr<TFileEntryCompare>>;

// A comparison entry for one listed file.
std::unique_ptr<TFileEntryCompare> MakeCompareEntry(const TFileType& file);
// Turns a filtered scan's result into comparison entries, in the same order.
TFileEntryCompareList MakeCompareEntries(const TFileTypeList& files);

// The folder of the right-hand counterpart of a left file: the entry's
// folder below the left root, joined under the right root, ending in "/".
std::string RightFolderOf(const TFileEntryCompare& entry, const std::string& leftRoot, const std::string& rightRoot);
// That folder joined with the file's name.
std::string RightFileOf(const TFileEntryCompare& entry, const std::string& leftRoot, const std::string& rightRoot);

class TThreadCompareX : public TWorkerThread {
public:
    // Its progress line is the model's ProgressText.
    TThreadCompareX(ScanModel& model, TCompareCache& cache);
    // Waits for the worker; stopping it early is the caller's (CancelOperation).
    ~TThreadCompareX() override;

    // The entries are not owned and must outlive the run. Start compares
    // every entry in order; a cancel stops it, leaving the remaining entries
    // as they were.
    void Init(std::vector<TFileEntryCompare*> entries, std::string leftRoot, std::string rightRoot);

    // Comparing while the list is still being made: after OpenFeed (before
    // Start), the run waits for entries given by Feed until CloseFeed.
    void OpenFeed();
    void Feed(const std::vector<TFileEntryCompare*>& entries);
    void CloseFeed();

    // Read it after the run, or before Start; a feed appends to it meanwhile.
    std::vector<TFileEntryCompare*> fileIdxToCompareAr;
    std::string scanned_directory_LEFT;
    std::string scanned_directory_RIGHT;
    // The entry being compared; null before the first and after the last.
    std::atomic<TFileEntryCompare*> fileCurrent{nullptr};

private:
    void Execute() override;
    TFileCompareResult CompareEntry(const TFileEntryCompare& entry, FileContentComparer& comparer);
    // The entry at index, waiting for it while the feed is open; null at the
    // end of the list. total receives the entries known so far.
    TFileEntryCompare* EntryAt(std::size_t index, std::size_t& total);

    // "Comparing file i of n: name" for the current entry; unless now, only
    // when the line was last set a while ago.
    void ShowProgress(bool now);

    std::size_t position_ = 0;
    std::size_t total_ = 0;
    std::chrono::steady_clock::time_point lastShown_{};
    // fileIdxToCompareAr and feedOpen_ while the feed is open: Feed appends
    // on the lister's thread while the worker reads. A leaf, held for an
    // append or an index, never while a file is compared.
    std::mutex feedLock_;
    std::condition_variable feedChanged_;
    bool feedOpen_ = false;

    // The folders of the current pair, held open: the list comes in folder
    // order, so most lookups stay in the folders of the entry before.
    platform::OpenFolder leftFolder_;
    platform::OpenFolder rightFolder_;

    ScanModel& model_;
    TCompareCache& cache_;
};

}  // namespace tandrel
