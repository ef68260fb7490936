#pragma once
// The worker that compares two files: for the duplicate finder (answering
// from the comparison cache when asked to), the "Compare files" page and
// `tandrel-cli compare-files`. A verdict read from the files is not stored:
// the caller decides what to record.
#include <atomic>
#include <cstdint>
#include <string>

#include "common/thread_string_list.h"
#include "common/worker_thread.h"
#include "compare/compare_cache.h"
#include "compare/compare_result.h"
#include "scan/scan_model.h"

namespace tandrel {

// Whether two typed paths name the same file: the same absolute path once
// "." and ".." are resolved. Paths are case-sensitive, so "a" and "A" are two
// files. Both drivers refuse such a pair before comparing.
bool SameFilePath(const std::string& file1, const std::string& file2);

class TThreadCompareFile : public TWorkerThread {
public:
    // The progress line goes to the given list, else to the thread's own.
    TThreadCompareFile(ScanModel& model, TCompareCache& cache, TThreadStringList* progress = nullptr);
    // Waits for the worker; stopping it early is the caller's (CancelOperation).
    ~TThreadCompareFile() override;

    void Init(const std::string& Afile1, const std::string& Afile2, bool AuseCache);

    // Set by Init, read by the worker.
    std::string file1, file2;
    bool useCache = false;
    // The progress line's form, set before Start: bytes and size to text.
    std::string (*progressText)(std::int64_t done, std::int64_t size);

    // Written by the worker; read the plain fields after threadRunning went false.
    std::string exceptionCp;
    std::atomic<std::uint64_t> totalBytesRead{0};
    std::atomic<std::uint64_t> fileSize{0};
    std::atomic<bool> cacheHit{false};
    std::atomic<TFileCompareResult> compareStatus{FC_EMPTY};

private:
    void Execute() override;
    std::string ErrorPrefix() const override { return "TThreadCompareFile: "; }
    // Shown, and the run still ends normally so the caller's wait finishes.
    void OnFail(const std::string& text) override;
    TFileCompareResult Run();

    ScanModel& model_;
    TCompareCache& cache_;
};

}  // namespace tandrel
