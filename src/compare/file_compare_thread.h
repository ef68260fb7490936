#pragma once
// The worker that compares two files for the duplicate finder, answering
// from the comparison cache when asked to. A verdict read from the files is
// not stored: the caller decides what to record.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/thread_string_list.h"
#include "compare/compare_cache.h"
#include "compare/compare_result.h"
#include "scan/scan_model.h"

namespace tandrel {

class TThreadCompareFile {
public:
    explicit TThreadCompareFile(ScanModel& model = CurrentModel(), TCompareCache& cache = ComparisonCache());
    // Waits for the worker; stopping it early is the caller's (CancelOperation).
    ~TThreadCompareFile();
    TThreadCompareFile(const TThreadCompareFile&) = delete;
    TThreadCompareFile& operator=(const TThreadCompareFile&) = delete;

    void Init(const std::string& Afile1, const std::string& Afile2, bool AuseCache);
    // Sets threadRunning, then starts the worker.
    void Start();
    void WaitFor();

    // Set by Init, read by the worker.
    std::string file1, file2;
    bool useCache = false;

    // Written by the worker; read the plain fields after threadRunning went false.
    std::string exceptionCp;
    std::atomic<std::uint64_t> totalBytesRead{0};
    std::atomic<std::uint64_t> fileSize{0};
    std::atomic<bool> threadRunning{false};
    std::atomic<bool> cacheHit{false};
    std::atomic<TFileCompareResult> compareStatus{FC_EMPTY};
    std::unique_ptr<TThreadStringList> ProgressStr;

private:
    void Execute();
    TFileCompareResult Run();

    ScanModel& model_;
    TCompareCache& cache_;
    std::thread thread_;
};

}  // namespace tandrel
