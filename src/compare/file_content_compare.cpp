#include "compare/file_content_compare.h"

#include <cstring>

#include "common/format_numbers.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

constexpr std::int64_t kMiB = 1048576;

// Fills the buffer unless the file ends first: a short read in the middle of
// a file (network file systems, signals) must not look like a size change.
std::int64_t ReadBlock(platform::File& file, char* buffer, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        std::int64_t got = file.Read(buffer + filled, count - filled);
        if (got < 0) return -1;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(filled);
}

}  // namespace

TThreadStringList& ProgressText2() {
    static TThreadStringList list;
    return list;
}

std::string BlockProgressInMiB(std::int64_t done, std::int64_t size) {
    return "processed " + FormatCount(static_cast<double>(done / kMiB)) + " Mb of " +
           FormatCount(static_cast<double>(size / kMiB)) + " Mb";
}

std::string BlockProgressInBytes(std::int64_t done, std::int64_t size) {
    return "processed " + FormatBytes(done) + " of " + FormatBytes(size);
}

FileContentComparer::FileContentComparer(ScanModel& model)
    : model_(model),
      progress_([](std::int64_t done, std::int64_t size) { ProgressText2().SetText(BlockProgressInMiB(done, size)); }) {
}

TFileCompareResult FileContentComparer::CompareFiles(const std::string& fileA, const std::string& fileB,
                                                     TCompareCache& cache) {
    // Keys taken before reading: a file changed meanwhile gets a new time,
    // so the verdict stored under the old one is never found.
    return CompareFiles(fileA, fileB, MakePairKeys(fileA, fileB), cache);
}

TFileCompareResult FileContentComparer::CompareFiles(const std::string& fileA, const std::string& fileB,
                                                     const TComparePairKeys& keys, TCompareCache& cache) {
    TFileCompareResult cached = cache.Lookup(keys);
    if (cached != FC_CACHE_MISS) return cached;
    TFileCompareResult result = CompareContents(fileA, fileB);
    cache.Store(keys, result);
    return result;
}

TFileCompareResult FileContentComparer::CompareContents(const std::string& fileA, const std::string& fileB) {
    platform::File a, b;
    if (!a.Open(fileA, platform::File::Mode::Read) || !b.Open(fileB, platform::File::Mode::Read)) {
        return FC_ACCESS_VIOLATION;
    }
    std::int64_t sizeA = a.Size(), sizeB = b.Size();
    if (sizeA < 0 || sizeB < 0) return FC_ACCESS_VIOLATION;
    if (sizeA != sizeB) return FC_SIZE_DIFFERENT;
    if (sizeA == 0) return FC_IDENTICAL;
    return CompareOpened(a, b, sizeA);
}

TFileCompareResult FileContentComparer::CompareOpened(platform::File& a, platform::File& b, std::int64_t size) {
    if (!bufferA_) {
        bufferA_.reset(new char[kCompareBlockSize]);
        bufferB_.reset(new char[kCompareBlockSize]);
    }
    std::int64_t done = 0;
    for (;;) {
        std::int64_t countA = ReadBlock(a, bufferA_.get(), kCompareBlockSize);
        std::int64_t countB = ReadBlock(b, bufferB_.get(), kCompareBlockSize);
        if (countA < 0 || countB < 0) return FC_ACCESS_VIOLATION;
        if (countA != countB) return FC_SIZE_DIFFERENT;
        if (countA == 0) return FC_IDENTICAL;
        if (std::memcmp(bufferA_.get(), bufferB_.get(), static_cast<std::size_t>(countA)) != 0) {
            return FC_LOOSE_COPY;
        }
        done += countA;
        if (progress_) progress_(done, size);
        if (!model_.WaitWhilePaused()) return FC_CANCELLED;
    }
}

}  // namespace tandrel
