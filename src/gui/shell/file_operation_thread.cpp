#include "gui/shell/file_operation_thread.h"

#include <utility>

#include "common/date_time.h"

namespace tandrel {

TThreadFileOperation::TThreadFileOperation(TStopToken& token, TThreadStringList* progress)
    : TWorkerThread(progress), token_(token) {}

TThreadFileOperation::~TThreadFileOperation() { WaitFor(); }

void TThreadFileOperation::Init(platform::TreeOperation operation, std::vector<std::string> items,
                                std::string destination) {
    operation_ = operation;
    items_ = std::move(items);
    destination_ = std::move(destination);
}

std::vector<std::string> TThreadFileOperation::TakeLines() {
    std::lock_guard<std::mutex> lock(linesLock_);
    return std::exchange(lines_, {});
}

void TThreadFileOperation::Execute() {
    platform::TreeCopyCallbacks callbacks;
    callbacks.keepGoing = [this] { return token_.WaitWhilePaused(); };
    callbacks.progress = [this](const std::string& item, std::int64_t done) {
        bytesDone = done;
        SetProgress(item);
    };
    callbacks.conflict = [this](const std::string& source, const std::string& target) {
        if (token_.StopRequested()) return platform::ConflictAnswer::Cancel;
        return OnConflict ? OnConflict(source, target) : platform::ConflictAnswer::Skip;
    };
    callbacks.keepBothName = [](const std::string& target) { return AddTimestampToFileName(target); };
    callbacks.failure = [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(linesLock_);
        lines_.push_back(line);
    };
    report = platform::CopyOrMoveTree(operation_, items_, destination_, callbacks);
}

}  // namespace tandrel
