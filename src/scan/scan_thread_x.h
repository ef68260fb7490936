#pragma once
// Runs one filtered file scan on a worker thread. The caller polls
// threadRunning and then owns tempFilesAr.
#include <cstdint>
#include <functional>
#include <string>

#include "common/stop_token.h"
#include "common/worker_thread.h"
#include "scan/filtered_scan.h"

namespace tandrel {

class TThreadScanX : public TWorkerThread {
public:
    // The scan stops and pauses through stop (the model the job runs on).
    explicit TThreadScanX(TStopToken& stop) : stop_(stop) {}
    // Waits for the worker; stopping it early is the caller's (the token's cancel).
    ~TThreadScanX() override;

    void Init(std::string path, bool recursive, std::string includeStr, std::string excludeStr, std::int64_t minSize,
              std::int64_t maxSize, TCallBack1 callBack1);

    // Optional, set before Start: called on the worker with the files listed
    // since the call before (files[from] onwards) as each folder is entered,
    // and once more at the end, so the files can be used while the listing
    // goes on.
    std::function<void(const TFileTypeList& files, std::size_t from)> OnFilesListed;
    // False when OnFilesListed takes all it needs: the worker then frees the
    // list itself, so a million files are not freed on the reader's thread.
    bool KeepFiles = true;

    // Read these after threadRunning went false (tempFilesAr stays empty
    // without KeepFiles). A scan stopped on an error
    // (not a cancel) keeps what was found.
    TFileTypeList tempFilesAr;
    TRootStatistics rootStatistics;

protected:
    void Execute() override;
    std::string ErrorPrefix() const override { return "Scan failed: "; }

private:
    TStopToken& stop_;
    std::string Fpath;
    bool Frecursive = false;
    std::string FincludeStr;
    std::string FexcludeStr;
    std::int64_t FUnitFsMinSize = 0;
    std::int64_t FUnitFsMaxSize = 0;
    TCallBack1 FCallBack1;
};

}  // namespace tandrel
