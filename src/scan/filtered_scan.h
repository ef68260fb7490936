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
#include "common/stop_token.h"
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
    // The scan stops and pauses through stop (the model the job runs on).
    explicit TScan(TStopToken& stop) : stop_(stop) {}

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
    // Clears the token's cancel (a stale one from a scan before) and scans.
    void Scan();

private:
    friend class TThreadScanX;
    friend class FilteredSink;
    // The scan without clearing the cancel flag, so a cancel given right
    // after a worker was started is not lost.
    void ScanKeepingCancel();
    void CompileMasks();
    void PrepareFolders();
    // True for a folder (path with "/") below an excluded fragment.
    bool Excluded(const std::string& folder) const;
    bool Accepts(std::string_view name, std::int64_t size, TDateTime time) const;

    TStopToken& stop_;
    TStringList lowerExcludes_;
};

// Scans the ";"-separated roots with the patterns and returns the found
// files; stop stops it.
TFileTypeList ScanFiles(TStopToken& stop, const std::string& paths, bool recursive, std::string_view includeStr,
                        std::string_view excludeStr, const TCallBack2& callBack2 = {});

}  // namespace tandrel
