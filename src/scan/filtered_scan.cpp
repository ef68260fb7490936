#include "scan/filtered_scan.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/date_time.h"
#include "common/paths.h"
#include "common/split.h"
#include "common/strings.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/scan_model.h"

namespace tandrel {

std::atomic<bool> ScannerCancel{false};
std::atomic<bool> ScannerPause{false};

namespace {

// A pause is left within this time of a resume or cancel.
constexpr auto kPausePoll = std::chrono::milliseconds(50);

bool StopRequested() { return ScannerCancel.load() || CurrentModel().AppClosing.load(); }

void WaitWhilePaused() {
    while (ScannerPause.load() && !StopRequested()) std::this_thread::sleep_for(kPausePoll);
}

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

void TScan::Scan() {
    ScannerCancel = false;
    ScanKeepingCancel();
}

void TScan::ScanKeepingCancel() {
    tempFilesAr.clear();
    CompileMasks();
    PrepareFolders();
    rootStatistics = TRootStatistics{};
    currentDirectory.clear();

    std::vector<std::string> pending;  // a stack: the next folder on top
    std::vector<std::string> subfolders;
    for (const std::string& root : dirsAr_include) {
        if (root.empty() || !platform::DirectoryExists(root)) continue;
        pending.push_back(root);
        while (!pending.empty() && !StopRequested()) {
            std::string folder = std::move(pending.back());
            pending.pop_back();
            subfolders.clear();
            ListFolder(folder, subfolders);
            // Reversed onto the stack, so they are visited in enumeration
            // order, each subtree whole before the next.
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) pending.push_back(std::move(*it));
        }
        if (StopRequested()) break;
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

void TScan::ListFolder(const std::string& folder, std::vector<std::string>& subfolders) {
    const std::string d = AddTrailingBackslash(folder);
    currentDirectory = d;
    if (CallBack1) CallBack1(d);
    if (CallBack2) CallBack2(d);
    if (StopRequested()) return;

    if (!lowerExcludes_.empty()) {
        const std::string lowerD = platform::LowerCase(d);
        for (const std::string& excluded : lowerExcludes_)
            if (lowerD.find(excluded) != std::string::npos) return;
    }

    platform::FolderEnumerator enumerator(d);
    if (!enumerator.IsOpen()) return;
    platform::FindRecord record;
    while (enumerator.Next(record)) {
        if (record.IsDirectory()) {
            if (record.IsReparsePoint()) continue;
            ++rootStatistics.DirectoriesCount;
            if (flagRecursive) subfolders.push_back(d + record.name);
            continue;
        }
        const TDateTime time = FileTimeToLocalDateTime(record.lastWriteTime);
        if (Accepts(record.name, record.size, time)) {
            auto file = std::make_unique<TFileType>();
            file->FileName = record.name;
            file->Path = d;
            file->Size = record.size;
            file->DateM = time;
            tempFilesAr.push_back(std::move(file));
            ++rootStatistics.FilesCount;
            rootStatistics.Size += record.size;
        }
        WaitWhilePaused();
        if (StopRequested()) break;
    }
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

TFileTypeList ScanFiles(const std::string& paths, bool recursive, std::string_view includeStr,
                        std::string_view excludeStr, const TCallBack2& callBack2) {
    TScan scan;
    scan.paths = paths;
    scan.flagRecursive = recursive;
    scan.SetInclusions(includeStr, excludeStr);
    scan.CallBack2 = callBack2;
    scan.Scan();
    return std::move(scan.tempFilesAr);
}

}  // namespace tandrel
