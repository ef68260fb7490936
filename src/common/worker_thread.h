#pragma once
// The one pattern of every long job: started once, run on its own thread,
// polled by its starter through threadRunning (the window every 100 ms, the
// command line in its waiting loop), joined by its owner, and read only after
// threadRunning went false. An exception thrown by the job ends it with its
// text as the job's error; the job never shows a dialog itself.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "common/thread_string_list.h"

namespace tandrel {

class TWorkerThread {
public:
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;
    // Joins. A job class calls WaitFor() in its own destructor as well: its
    // Execute may still be running while its members are destroyed.
    virtual ~TWorkerThread();

    // Starts the worker, once: false when it ran before or BeforeStart
    // refused (Failed() then tells why). threadRunning is true on return.
    bool Start();
    // Joins the worker; harmless when it never started or was joined before.
    void WaitFor();
    bool Started() const { return started_; }

    // True from Start until the job's last action.
    std::atomic<bool> threadRunning{false};

    // Read these after threadRunning went false. A cancelled job is not a
    // failure.
    bool Failed() const { return failed_; }
    const std::string& ErrorText() const { return error_; }
    // The job's published progress line: the list handed to the constructor
    // (the model's ProgressText for the jobs on a model), else its own.
    TThreadStringList& Progress() { return *progress_; }

protected:
    explicit TWorkerThread(TThreadStringList* progress = nullptr);

    // On the starting thread, before the worker exists: false (after Fail)
    // starts nothing.
    virtual bool BeforeStart() { return true; }
    // The job, on the worker.
    virtual void Execute() = 0;
    // The words before an exception's text in ErrorText ("Scan failed: ").
    virtual std::string ErrorPrefix() const { return "Failed: "; }
    // Records the job's error; the first one stays. While the job runs, the
    // first error is also handed to OnFail.
    void Fail(std::string text);
    // On the worker, once, with the job's first error: what the job does
    // besides recording it (a message box, dropping a half-loaded model).
    // A refusal in BeforeStart does not come here.
    virtual void OnFail(const std::string& text) { (void)text; }
    // Publishes one progress line.
    void SetProgress(std::string_view text) { progress_->SetText(text); }

private:
    void Run();

    std::unique_ptr<TThreadStringList> ownProgress_;
    TThreadStringList* progress_;
    std::thread thread_;
    bool started_ = false;
    bool failed_ = false;
    std::string error_;
};

}  // namespace tandrel
