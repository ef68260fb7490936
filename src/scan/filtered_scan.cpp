#include "scan/filtered_scan.h"

#include <algorithm>

#include "common/date_time.h"
#include "common/paths.h"
#include "common/split.h"
#include "common/strings.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/folder_walk.h"

namespace tandrel {

namespace {

// Trimmed items. Empty ones are dropped wherever they stand: an empty pattern
// would match every name, so a stray ";;" in an exclude list would drop every
// file, and in an include list would let every file in.
TStringList ParsePatterns(std::string_view text) {
    TStringList patterns;
    for (std::string& item : SplitString(text, ";", true))
        if (!item.empty()) patterns.push_back(std::move(item));
    return patterns;
}

bool IsUnder(const std::string& lowerFolder, const std::string& lowerRoot) {
    return lowerFolder.starts_with(lowerRoot);
}

std::string CompileMaskText(std::string_view pattern) {
    std::string mask = Trim(pattern);
    std::replace(mask.begin(), mask.end(), '[', '?');
    std::replace(mask.begin(), mask.end(), ']', '?');
    if (mask.find('*') == std::string::npos) mask = "*" + mask + "*";
    return mask;
}

}  // namespace

std::string TFileType::FullFileName() const { return PathJoin(Path, FileName); }

TFileMask::TFileMask(std::string_view pattern) : mask_(CompileMaskText(pattern)), wildcard_(mask_) {}

void TScan::SetInclusions(std::string_view includeStr, std::string_view excludeStr) {
    includeAr = ParsePatterns(includeStr);
    excludeAr = ParsePatterns(excludeStr);
}

// The filtered list as a sink of the folder walk: subfolders in
// enumeration order, each subtree whole before the next; every folder met is
// counted, every file that passes the filters kept with its folder's path.
class FilteredSink {
public:
    struct Folder {};
    // A pause holds the scan after the file just listed.
    static constexpr bool kPauseAfterFile = true;

    explicit FilteredSink(TScan& scan) : scan_(scan) {}

    int& Depth() { return depth_; }

    bool Enter(const std::string& path) {
        folder_ = AddTrailingBackslash(path);
        scan_.currentDirectory = folder_;
        if (scan_.CallBack1) scan_.CallBack1(folder_);
        if (scan_.CallBack2) scan_.CallBack2(folder_);
        if (scan_.stop_.StopRequested()) return false;
        return !scan_.Excluded(folder_);
    }
    void Open(Folder&, const std::string&, platform::FindRecord*) {}
    void Reserve(Folder&, std::size_t) {}
    void SubfolderMet(const platform::FindRecord&) { ++scan_.rootStatistics.DirectoriesCount; }

    void AddFile(Folder&, platform::FindRecord& record) {
        const TDateTime time = FileTimeToLocalDateTime(record.lastWriteTime);
        if (!scan_.Accepts(record.name, record.size, time)) return;
        auto file = std::make_unique<TFileType>();
        file->FileName = std::move(record.name);
        file->Path = folder_;
        file->Size = record.size;
        file->DateM = time;
        scan_.tempFilesAr.push_back(std::move(file));
        ++scan_.rootStatistics.FilesCount;
        scan_.rootStatistics.Size += record.size;
    }
    void Flush(Folder&) {}
    Folder NewChild(Folder&) { return {}; }
    void Complete(Folder&, const TDirectoryStats&, const TDirectoryStats&) {}

private:
    TScan& scan_;
    std::string folder_;  // the folder being listed, with "/"
    int depth_ = 0;
};

void TScan::Scan() {
    stop_.CancelOperation = false;
    ScanKeepingCancel();
}

void TScan::ScanKeepingCancel() {
    tempFilesAr.clear();
    CompileMasks();
    PrepareFolders();
    rootStatistics = TRootStatistics{};
    currentDirectory.clear();

    FilteredSink sink(*this);
    for (const std::string& root : dirsAr_include) {
        if (root.empty() || !platform::DirectoryExists(root)) continue;
        FolderWalkOptions options;
        options.order = SubfolderOrder::Enumeration;
        options.recursive = flagRecursive;
        if (!lowerExcludes_.empty()) options.skip = [this](const std::string& folder) { return Excluded(folder); };
        FolderWalk<FilteredSink> walk(stop_, sink, root, std::move(options));
        walk.Run({});
        if (stop_.StopRequested()) break;
    }
}

void TScan::CompileMasks() {
    includeMasksAr.clear();
    excludeMasksAr.clear();
    for (std::string& pattern : includeAr) {
        pattern = Trim(pattern);
        includeMasksAr.emplace_back(pattern);
    }
    for (std::string& pattern : excludeAr) {
        pattern = Trim(pattern);
        excludeMasksAr.emplace_back(pattern);
    }
}

void TScan::PrepareFolders() {
    dirsAr_include.clear();
    dirsAr_exclude.clear();
    for (const std::string& item : SplitString(paths, ";", true)) {
        if (item.starts_with("-")) {
            std::string excluded = Trim(std::string_view(item).substr(1));
            if (!excluded.empty()) dirsAr_exclude.push_back(AddTrailingBackslash(excluded));
            dirsAr_include.emplace_back();
        } else {
            dirsAr_include.push_back(AddTrailingBackslash(item));
        }
    }
    lowerExcludes_.clear();
    for (const std::string& excluded : dirsAr_exclude) lowerExcludes_.push_back(platform::LowerCase(excluded));

    // Each tree is scanned once: a root inside another root, listed before or
    // after it, is dropped, and of equal roots only the last stays.
    TStringList lower;
    for (const std::string& root : dirsAr_include) lower.push_back(platform::LowerCase(root));
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (lower[i].empty()) continue;
        for (std::size_t j = 0; j < lower.size(); ++j) {
            if (j == i || lower[j].empty() || !IsUnder(lower[i], lower[j])) continue;
            if (lower[i].size() != lower[j].size() || j > i) {
                dirsAr_include[i].clear();
                break;
            }
        }
    }
}

bool TScan::Excluded(const std::string& folder) const {
    if (lowerExcludes_.empty()) return false;
    const std::string lower = platform::LowerCase(folder);
    for (const std::string& excluded : lowerExcludes_)
        if (lower.find(excluded) != std::string::npos) return true;
    return false;
}

bool TScan::Accepts(std::string_view name, std::int64_t size, TDateTime time) const {
    const auto matches = [name](const TFileMask& mask) { return mask.Matches(name); };
    if (!includeMasksAr.empty() && std::none_of(includeMasksAr.begin(), includeMasksAr.end(), matches)) return false;
    if (std::any_of(excludeMasksAr.begin(), excludeMasksAr.end(), matches)) return false;
    if (UnitFsMinSize > 0 && size < UnitFsMinSize) return false;
    if (UnitFsMaxSize > 0 && size > UnitFsMaxSize) return false;
    // A file whose time is unknown is outside any date window.
    const bool minDate = UnitFsMinDate > 0.1, maxDate = UnitFsMaxDate > 0.1;
    if ((minDate || maxDate) && time == 0) return false;
    if (minDate && time < UnitFsMinDate) return false;
    if (maxDate && time > UnitFsMaxDate) return false;
    return true;
}

TFileTypeList ScanFiles(TStopToken& stop, const std::string& paths, bool recursive, std::string_view includeStr,
                        std::string_view excludeStr, const TCallBack2& callBack2) {
    TScan scan(stop);
    scan.paths = paths;
    scan.flagRecursive = recursive;
    scan.SetInclusions(includeStr, excludeStr);
    scan.CallBack2 = callBack2;
    scan.Scan();
    return std::move(scan.tempFilesAr);
}

}  // namespace tandrel
