#pragma once
// The filtered flat file listing: walks one or more folder trees and keeps
// the files that pass name masks, folder exclusions and size and date limits.
// Builds no tree; every found file carries its folder path.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "common/types.h"

namespace tandrel {

// One found file.
class TFileType {
public:
    std::string FileName;  // as the file system reports it
    std::string Path;      // its folder, always ending in "/"
    std::int64_t Size = 0;
    TDateTime DateM = 0;        // local last-write time; 0 when unknown
    std::string CheckSumK;      // empty after the scan; filled by users of the list
    std::int64_t PointerX = 0;  // free slot for users of the list

    // Path joined with FileName.
    std::string FullFileName() const;
};

// The result of a scan; whoever ran the scan owns it.
using TFileTypeList = std::vector<std::unique_ptr<TFileType>>;

struct TRootStatistics {
    int FilesCount = 0;        // files accepted
    int DirectoriesCount = 0;  // folders met (links and mount points left out)
    std::int64_t Size = 0;     // sum of the accepted sizes
};

// Both are called with each folder entered, on the scanning thread.
using TCallBack1 = std::function<void(const std::string& dir)>;
using TCallBack2 = std::function<void(const std::string& dir)>;

// The scanner's own flags, set by the window's Cancel and Pause buttons
// together with CancelOperation and PauseOperation.
extern std::atomic<bool> ScannerCancel;
extern std::atomic<bool> ScannerPause;

// One user pattern compiled for matching names, ignoring case: "[" and "]"
// become "?" and a pattern without "*" matches anywhere in the name.
class TFileMask {
public:
    explicit TFileMask(std::string_view pattern);
    bool Matches(std::string_view name) const { return wildcard_.Matches(name); }
    // The wildcard text the pattern became ("report" gives "*report*").
    const std::string& Mask() const { return mask_; }

private:
    std::string mask_;
    WildcardMask wildcard_;
};

class TScan {
public:
    TStringList includeAr;  // include name patterns
    TStringList excludeAr;  // exclude name patterns
    std::vector<TFileMask> includeMasksAr;
    std::vector<TFileMask> excludeMasksAr;
    TStringList dirsAr_include;  // roots to scan, with "/"; dropped ones blank
    TStringList dirsAr_exclude;  // folder fragments to skip, with "/"
    std::string paths;           // ";"-separated roots; "-" marks an exclusion
    bool flagRecursive = false;
    std::int64_t UnitFsMinSize = 0;  // 0 = no limit
    std::int64_t UnitFsMaxSize = 0;  // 0 = no limit
    TDateTime UnitFsMinDate = 0;     // 0.1 or less = no limit
    TDateTime UnitFsMaxDate = 0;     // 0.1 or less = no limit
    std::string currentDirectory;
    TRootStatistics rootStatistics;
    TCallBack1 CallBack1;
    TCallBack2 CallBack2;
    // The result. Take it with std::move; what is left is freed with the scanner.
    TFileTypeList tempFilesAr;

    // Replaces includeAr and excludeAr with the ";"-separated patterns.
    void SetInclusions(std::string_view includeStr, std::string_view excludeStr);
    // Clears the scanner cancel flag and scans.
    void Scan();

private:
    friend class TThreadScanX;
    // The scan without clearing the cancel flag, so a cancel given right
    // after a worker was started is not lost.
    void ScanKeepingCancel();
    void CompileMasks();
    void PrepareFolders();
    // Lists one folder; its subfolders (when recursive) go into subfolders.
    void ListFolder(const std::string& folder, std::vector<std::string>& subfolders);
    bool Accepts(std::string_view name, std::int64_t size, TDateTime time) const;

    TStringList lowerExcludes_;
};

// Scans the ";"-separated roots with the patterns and returns the found files.
TFileTypeList ScanFiles(const std::string& paths, bool recursive, std::string_view includeStr,
                        std::string_view excludeStr, const TCallBack2& callBack2 = {});

}  // namespace tandrel
