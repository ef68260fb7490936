#pragma once
// The worker that copies or moves a list of items into one folder, so the
// window stays responsive while it runs. It stops and pauses through the
// token it was handed; name conflicts are asked of the starter through
// OnConflict (on the worker, which waits for the answer); failure lines are
// kept for the starter to hand to the "Messages" log as they come.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/stop_token.h"
#include "common/worker_thread.h"
#include "platform/tree_copy.h"

namespace tandrel {

class TThreadFileOperation : public TWorkerThread {
public:
    explicit TThreadFileOperation(TStopToken& token, TThreadStringList* progress = nullptr);
    ~TThreadFileOperation() override;

    void Init(platform::TreeOperation operation, std::vector<std::string> items, std::string destination);

    // Asked on the worker when an item's name is taken; without it, Skip.
    std::function<platform::ConflictAnswer(const std::string& source, const std::string& target)> OnConflict;

    // Written by the worker.
    std::atomic<std::int64_t> bytesDone{0};
    // Read after threadRunning went false.
    platform::TreeCopyReport report;

    platform::TreeOperation Operation() const { return operation_; }
    const std::vector<std::string>& Items() const { return items_; }

    // The failure lines reported since the last call.
    std::vector<std::string> TakeLines();

private:
    void Execute() override;
    std::string ErrorPrefix() const override { return "File operation failed: "; }

    TStopToken& token_;
    platform::TreeOperation operation_ = platform::TreeOperation::Copy;
    std::vector<std::string> items_;
    std::string destination_;
    std::mutex linesLock_;
    std::vector<std::string> lines_;
};

}  // namespace tandrel
