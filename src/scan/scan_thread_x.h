#pragma once
// Runs one filtered file scan on a worker thread. The caller polls
// threadRunning and then owns tempFilesAr.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "scan/filtered_scan.h"

namespace tandrel {

class TThreadScanX {
public:
    TThreadScanX() = default;
    // Waits for the worker; stopping it early is the caller's (ScannerCancel).
    ~TThreadScanX();
    TThreadScanX(const TThreadScanX&) = delete;
    TThreadScanX& operator=(const TThreadScanX&) = delete;

    void Init(std::string path, bool recursive, std::string includeStr, std::string excludeStr, std::int64_t minSize,
              std::int64_t maxSize, TCallBack1 callBack1);
    // Clears the scanner cancel flag and starts the worker (once).
    void Start();
    void WaitFor();

    // Optional, set before Start: called on the worker with the files listed
    // since the call before (files[from] onwards) as each folder is entered,
    // and once more at the end, so the files can be used while the listing
    // goes on.
    std::function<void(const TFileTypeList& files, std::size_t from)> OnFilesListed;

    // True from Start until the worker's last action.
    std::atomic<bool> threadRunning{false};

    // Read these after threadRunning went false.
    TFileTypeList tempFilesAr;
    TRootStatistics rootStatistics;
    // The scan stopped on an error (not a cancel); what was found is kept.
    bool Failed() const { return !error_.empty(); }
    const std::string& ErrorText() const { return error_; }

private:
    void Execute();

    std::string Fpath;
    bool Frecursive = false;
    std::string FincludeStr;
    std::string FexcludeStr;
    std::int64_t FUnitFsMinSize = 0;
    std::int64_t FUnitFsMaxSize = 0;
    TCallBack1 FCallBack1;

    std::thread thread_;
    std::string error_;
};

}  // namespace tandrel
