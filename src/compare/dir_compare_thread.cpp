#include "compare/dir_compare_thread.h"

#include <exception>

#include "common/format_numbers.h"
#include "common/messages.h"
#include "compare/file_content_compare.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

TFileEntryCompareList MakeCompareEntries(const TFileTypeList& files) {
    TFileEntryCompareList entries;
    entries.reserve(files.size());
    for (const auto& file : files) {
        auto entry = std::make_unique<TFileEntryCompare>();
        entry->FileName = file->FileName;
        entry->Path = file->Path;
        entry->Size = file->Size;
        entry->DateM = file->DateM;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string RightFileOf(const TFileEntryCompare& entry, const std::string& leftRoot,
                        const std::string& rightRoot) {
    std::string left = WithSlash(leftRoot);
    // Paths come from a scan of the left root, so they start with it; a
    // foreign path keeps its whole folder rather than losing characters.
    std::string relative = entry.Path.compare(0, left.size(), left) == 0 ? entry.Path.substr(left.size())
                                                                          : entry.Path;
    while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
    return WithSlash(rightRoot) + relative + entry.FileName;
}

TThreadCompareX::TThreadCompareX(ScanModel& model, TCompareCache& cache) : model_(model), cache_(cache) {}

TThreadCompareX::~TThreadCompareX() { WaitFor(); }

void TThreadCompareX::Init(std::vector<TFileEntryCompare*> entries, std::string leftRoot, std::string rightRoot) {
    fileIdxToCompareAr = std::move(entries);
    scanned_directory_LEFT = std::move(leftRoot);
    scanned_directory_RIGHT = std::move(rightRoot);
}

void TThreadCompareX::Start() {
    WaitFor();
    threadRunning = true;
    thread_ = std::thread([this] { Execute(); });
}

void TThreadCompareX::WaitFor() {
    if (thread_.joinable()) thread_.join();
}

void TThreadCompareX::Execute() {
    threadRunning = true;
    FileContentComparer comparer(model_);
    const std::string total = FormatCount(static_cast<double>(fileIdxToCompareAr.size()));
    int position = 0;
    for (TFileEntryCompare* entry : fileIdxToCompareAr) {
        ++position;
        fileCurrent = entry;
        model_.ProgressText.SetText("Comparing file " + FormatCount(position) + " of " + total + ": " +
                                    entry->FileName);
        if (model_.StopRequested()) break;
        entry->SetStatus(FC_EMPTY);
        entry->SetStatus(CompareEntry(*entry, comparer));
    }
    fileCurrent = nullptr;
    threadRunning = false;
}

TFileCompareResult TThreadCompareX::CompareEntry(const TFileEntryCompare& entry, FileContentComparer& comparer) {
    try {
        std::string rightFile = RightFileOf(entry, scanned_directory_LEFT, scanned_directory_RIGHT);
        if (!platform::FileExists(rightFile)) return FC_RIGHT_MISSING;
        // Sizes are read again: a file replaced since the listing is compared as it is now.
        if (platform::GetFileSize(rightFile) != entry.Size) return FC_SIZE_DIFFERENT;
        return comparer.CompareFiles(entry.Path + entry.FileName, rightFile, cache_);
    } catch (const std::exception&) {
        return FC_ACCESS_VIOLATION;
    }
}

}  // namespace tandrel
