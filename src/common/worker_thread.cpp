#include "common/worker_thread.h"

#include <exception>
#include <utility>

namespace tandrel {

TWorkerThread::TWorkerThread(TThreadStringList* progress)
    : ownProgress_(progress ? nullptr : std::make_unique<TThreadStringList>()),
      progress_(progress ? progress : ownProgress_.get()) {}

TWorkerThread::~TWorkerThread() { WaitFor(); }

bool TWorkerThread::Start() {
    if (started_) return false;
    started_ = true;
    if (!BeforeStart()) return false;
    // Set before the thread exists, so a poll right after Start never sees
    // a job that has not begun as finished.
    threadRunning = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TWorkerThread::WaitFor() {
    if (thread_.joinable()) thread_.join();
}

void TWorkerThread::Fail(std::string text) {
    if (failed_) return;
    failed_ = true;
    error_ = std::move(text);
    if (threadRunning.load()) OnFail(error_);
}

void TWorkerThread::Run() {
    try {
        Execute();
    } catch (const std::exception& e) {
        Fail(ErrorPrefix() + e.what());
    } catch (...) {
        Fail(ErrorPrefix() + "unknown error");
    }
    threadRunning = false;
}

}  // namespace tandrel
