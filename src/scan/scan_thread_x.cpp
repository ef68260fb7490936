#include "scan/scan_thread_x.h"

#include <exception>
#include <utility>

namespace tandrel {

TThreadScanX::~TThreadScanX() { WaitFor(); }

void TThreadScanX::Init(std::string path, bool recursive, std::string includeStr, std::string excludeStr,
                        std::int64_t minSize, std::int64_t maxSize, TCallBack1 callBack1) {
    Fpath = std::move(path);
    Frecursive = recursive;
    FincludeStr = std::move(includeStr);
    FexcludeStr = std::move(excludeStr);
    FUnitFsMinSize = minSize;
    FUnitFsMaxSize = maxSize;
    FCallBack1 = std::move(callBack1);
}

void TThreadScanX::Execute() {
    TScan scan(stop_);
    scan.paths = Fpath;
    scan.flagRecursive = Frecursive;
    scan.SetInclusions(FincludeStr, FexcludeStr);
    scan.UnitFsMinSize = FUnitFsMinSize;
    scan.UnitFsMaxSize = FUnitFsMaxSize;
    std::size_t handed = 0;
    auto handOver = [&] {
        if (!OnFilesListed || handed == scan.tempFilesAr.size()) return;
        OnFilesListed(scan.tempFilesAr, handed);
        handed = scan.tempFilesAr.size();
    };
    scan.CallBack1 = [&](const std::string& dir) {
        handOver();
        if (FCallBack1) FCallBack1(dir);
    };
    // An error ends the scan but keeps what was found, and the files found
    // are still handed over.
    try {
        scan.ScanKeepingCancel();
    } catch (const std::exception& e) {
        Fail(ErrorPrefix() + e.what());
    } catch (...) {
        Fail(ErrorPrefix() + "unknown error");
    }
    try {
        handOver();
    } catch (const std::exception& e) {
        Fail(ErrorPrefix() + e.what());
    }
    if (KeepFiles)
        tempFilesAr = std::move(scan.tempFilesAr);
    else
        scan.tempFilesAr.clear();
    rootStatistics = scan.rootStatistics;
}

}  // namespace tandrel
