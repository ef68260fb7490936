#include "compare/dir_compare_thread.h"

#include <chrono>
#include <exception>

#include "common/date_time.h"
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

std::unique_ptr<TFileEntryCompare> MakeCompareEntry(const TFileType& file) {
    auto entry = std::make_unique<TFileEntryCompare>();
    entry->FileName = file.FileName;
    entry->Path = file.Path;
    entry->Size = file.Size;
    entry->DateM = file.DateM;
    return entry;
}

TFileEntryCompareList MakeCompareEntries(const TFileTypeList& files) {
    TFileEntryCompareList entries;
    entries.reserve(files.size());
    for (const auto& file : files) entries.push_back(MakeCompareEntry(*file));
    return entries;
}

std::string RightFolderOf(const TFileEntryCompare& entry, const std::string& leftRoot, const std::string& rightRoot) {
    std::string left = WithSlash(leftRoot);
    // Paths come from a scan of the left root, so they start with it; a
    // foreign path keeps its whole folder rather than losing characters.
    std::string relative = entry.Path.compare(0, left.size(), left) == 0 ? entry.Path.substr(left.size()) : entry.Path;
    while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
    return WithSlash(WithSlash(rightRoot) + relative);
}

std::string RightFileOf(const TFileEntryCompare& entry, const std::string& leftRoot, const std::string& rightRoot) {
    return RightFolderOf(entry, leftRoot, rightRoot) + entry.FileName;
}

TThreadCompareX::TThreadCompareX(ScanModel& model, TCompareCache& cache)
    : TWorkerThread(&model.ProgressText), model_(model), cache_(cache) {}

TThreadCompareX::~TThreadCompareX() { WaitFor(); }

void TThreadCompareX::Init(std::vector<TFileEntryCompare*> entries, std::string leftRoot, std::string rightRoot) {
    fileIdxToCompareAr = std::move(entries);
    scanned_directory_LEFT = std::move(leftRoot);
    scanned_directory_RIGHT = std::move(rightRoot);
}

void TThreadCompareX::Execute() {
    FileContentComparer comparer(model_);
    std::size_t total = 0;
    for (std::size_t index = 0;; ++index) {
        TFileEntryCompare* entry = EntryAt(index, total);
        if (!entry) break;
        fileCurrent = entry;
        position_ = index + 1;
        total_ = total;
        ShowProgress(false);
        if (model_.StopRequested()) break;
        entry->SetStatus(FC_EMPTY);
        entry->SetStatus(CompareEntry(*entry, comparer));
    }
    fileCurrent = nullptr;
}

void TThreadCompareX::ShowProgress(bool now) {
    // Answers from the cache come by the thousand; the line is only read ten
    // times a second, so it is rebuilt when it could be seen.
    const auto clock = std::chrono::steady_clock::now();
    if (!now && clock - lastShown_ < std::chrono::milliseconds(10)) return;
    lastShown_ = clock;
    const TFileEntryCompare* entry = fileCurrent.load();
    SetProgress("Comparing file " + FormatCount(static_cast<double>(position_)) + " of " +
                FormatCount(static_cast<double>(total_)) + ": " + (entry ? entry->FileName : ""));
}

TFileEntryCompare* TThreadCompareX::EntryAt(std::size_t index, std::size_t& total) {
    std::unique_lock lock(feedLock_);
    feedChanged_.wait(lock, [&] { return index < fileIdxToCompareAr.size() || !feedOpen_; });
    total = fileIdxToCompareAr.size();
    return index < total ? fileIdxToCompareAr[index] : nullptr;
}

void TThreadCompareX::OpenFeed() {
    std::lock_guard lock(feedLock_);
    feedOpen_ = true;
}

void TThreadCompareX::Feed(const std::vector<TFileEntryCompare*>& entries) {
    {
        std::lock_guard lock(feedLock_);
        fileIdxToCompareAr.insert(fileIdxToCompareAr.end(), entries.begin(), entries.end());
    }
    feedChanged_.notify_one();
}

void TThreadCompareX::CloseFeed() {
    {
        std::lock_guard lock(feedLock_);
        feedOpen_ = false;
    }
    feedChanged_.notify_one();
}

TFileCompareResult TThreadCompareX::CompareEntry(const TFileEntryCompare& entry, FileContentComparer& comparer) {
    try {
        rightFolder_.Open(RightFolderOf(entry, scanned_directory_LEFT, scanned_directory_RIGHT));
        const std::string rightFile = rightFolder_.Path() + entry.FileName;
        std::int64_t rightSize = 0;
        platform::FileTime rightTime = 0;
        if (!rightFolder_.GetFileSizeAndTime(entry.FileName, rightSize, rightTime)) {
            return platform::PathExists(rightFile) && !platform::DirectoryExists(rightFile) ? FC_ACCESS_VIOLATION
                                                                                            : FC_RIGHT_MISSING;
        }
        if (rightSize != entry.Size) return FC_SIZE_DIFFERENT;
        const std::string leftFile = entry.Path + entry.FileName;
        // Asked with the time the listing saw, the cache answers for the file
        // as listed without another look at it.
        const TFileCompareResult cached =
            cache_.Lookup(MakePairKeysAt(leftFile, entry.DateM, rightFile, FileTimeToLocalDateTime(rightTime)));
        if (cached != FC_CACHE_MISS) return cached;
        ShowProgress(true);  // this one may take a while
        // The files are read: the verdict is keyed by the left time of now,
        // so a file changed since the listing never lends its verdict to the
        // content it had before.
        leftFolder_.Open(entry.Path);
        std::int64_t leftSize = 0;
        platform::FileTime leftTime = 0;
        if (!leftFolder_.GetFileSizeAndTime(entry.FileName, leftSize, leftTime)) {
            return comparer.CompareContents(leftFile, rightFile);  // reports what is wrong with it
        }
        return comparer.CompareFiles(leftFile, rightFile, MakePairKeys(leftFile, leftTime, rightFile, rightTime),
                                     cache_);
    } catch (const std::exception&) {
        return FC_ACCESS_VIOLATION;
    }
}

}  // namespace tandrel
