#pragma once
// Byte-wise comparison of two files in 4 MiB blocks, with pause, cancel,
// per-block progress and (optionally) the comparison cache.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/thread_string_list.h"
#include "compare/compare_cache.h"
#include "compare/compare_result.h"
#include "scan/scan_model.h"

namespace tandrel {

inline constexpr std::size_t kCompareBlockSize = 4194304;

// The per-block progress line of the content comparison, published next to
// the model's per-file ProgressText.
TThreadStringList& ProgressText2();

// "processed 12 Mb of 1,024 Mb" (whole MiB) and "processed 12.00MB of 1.00GB".
std::string BlockProgressInMiB(std::int64_t done, std::int64_t size);
std::string BlockProgressInBytes(std::int64_t done, std::int64_t size);

// One comparer per worker: it owns its two block buffers (allocated at the
// first non-empty comparison, then reused), so two comparers may run at once.
class FileContentComparer {
public:
    // Called after every block with the bytes compared so far and the size.
    using ProgressFn = std::function<void(std::int64_t done, std::int64_t size)>;

    // Stops on the model's CancelOperation or AppClosing and waits while its
    // PauseOperation is set. By default the progress goes to ProgressText2()
    // in whole MiB.
    explicit FileContentComparer(ScanModel& model);
    void SetProgress(ProgressFn progress) { progress_ = std::move(progress); }

    // The content alone: FC_IDENTICAL, FC_LOOSE_COPY, FC_SIZE_DIFFERENT,
    // FC_ACCESS_VIOLATION (open or read failed) or FC_CANCELLED.
    TFileCompareResult CompareContents(const std::string& fileA, const std::string& fileB);
    // The cache first; a verdict found by reading is stored in it.
    TFileCompareResult CompareFiles(const std::string& fileA, const std::string& fileB, TCompareCache& cache);
    // The same with the pair's keys taken by the caller before reading.
    TFileCompareResult CompareFiles(const std::string& fileA, const std::string& fileB, const TComparePairKeys& keys,
                                    TCompareCache& cache);

private:
    TFileCompareResult CompareOpened(platform::File& a, platform::File& b, std::int64_t size);

    ScanModel& model_;
    ProgressFn progress_;
    std::unique_ptr<char[]> bufferA_;
    std::unique_ptr<char[]> bufferB_;
};

}  // namespace tandrel
