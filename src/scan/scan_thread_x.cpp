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

void TThreadScanX::Start() {
    if (thread_.joinable() || threadRunning) return;
    // Cleared here rather than in the worker, so a Cancel pressed right after
    // the start is not lost.
    ScannerCancel = false;
    threadRunning = true;
    thread_ = std::thread([this] { Execute(); });
}

void TThreadScanX::WaitFor() {
    if (thread_.joinable()) thread_.join();
}

void TThreadScanX::Execute() {
    threadRunning = true;
    {
        TScan scan;
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
        try {
            scan.ScanKeepingCancel();
        } catch (const std::exception& e) {
            error_ = std::string("Scan failed: ") + e.what();
        } catch (...) {
            error_ = "Scan failed: unknown error";
        }
        try {
            handOver();
        } catch (const std::exception& e) {
            if (error_.empty()) error_ = std::string("Scan failed: ") + e.what();
        }
        tempFilesAr = std::move(scan.tempFilesAr);
        rootStatistics = scan.rootStatistics;
    }
    threadRunning = false;
}

}  // namespace tandrel
