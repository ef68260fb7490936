#include "compare/file_compare_thread.h"

#include <algorithm>

#include "common/messages.h"
#include "common/paths.h"
#include "compare/file_content_compare.h"
#include "platform/file_system.h"

namespace tandrel {

bool SameFilePath(const std::string& file1, const std::string& file2) {
    return RemoveTrailingBackslash(ExpandFileName(file1)) == RemoveTrailingBackslash(ExpandFileName(file2));
}

TThreadCompareFile::TThreadCompareFile(ScanModel& model, TCompareCache& cache, TThreadStringList* progress)
    : TWorkerThread(progress), progressText(BlockProgressInBytes), model_(model), cache_(cache) {}

TThreadCompareFile::~TThreadCompareFile() { WaitFor(); }

void TThreadCompareFile::Init(const std::string& Afile1, const std::string& Afile2, bool AuseCache) {
    file1 = Afile1;
    file2 = Afile2;
    useCache = AuseCache;
}

void TThreadCompareFile::Execute() { compareStatus = Run(); }

void TThreadCompareFile::OnFail(const std::string& text) {
    GetMessages().ShowMessage(MessageKind::Info, text + ", cp=" + exceptionCp);
}

TFileCompareResult TThreadCompareFile::Run() {
    exceptionCp = "cp1";
    cacheHit = false;
    exceptionCp = "cp2";
    if (useCache) {
        exceptionCp = "cp3";
        TFileCompareResult cached = cache_.Lookup(file1, file2);
        exceptionCp = "cp4";
        if (cached != FC_CACHE_MISS) {
            cacheHit = true;
            exceptionCp = "cp5";
            return cached;
        }
    }
    if (!platform::FileExists(file1) || !platform::FileExists(file2)) {
        exceptionCp = "cp7";
        return FC_FILE_MISSING;
    }
    exceptionCp = "cp6";
    FileContentComparer comparer(model_);
    comparer.SetProgress([this](std::int64_t done, std::int64_t size) {
        totalBytesRead = static_cast<std::uint64_t>(done);
        fileSize = static_cast<std::uint64_t>(size);
        SetProgress(progressText(done, size));
    });
    fileSize = static_cast<std::uint64_t>(std::max<std::int64_t>(platform::GetFileSize(file1), 0));
    return comparer.CompareContents(file1, file2);
}

}  // namespace tandrel
