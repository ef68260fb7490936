#include "cli/cli_job.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "common/paths.h"
#include "platform/current_folder.h"
#include "platform/file_system.h"
#include "scan/scan_job.h"

namespace tandrel::cli {

namespace {

std::atomic<bool>* cancelFlag = nullptr;

extern "C" void OnInterrupt(int) {
    if (cancelFlag) cancelFlag->store(true);
    // A second Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

// The progress line without its line end, cut to fit a terminal line.
std::string ProgressLine(ScanModel& model) {
    std::string text = model.ProgressText.GetText();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    constexpr std::size_t kWidth = 78;
    if (text.size() > kWidth) text = "..." + text.substr(text.size() - (kWidth - 3));
    return text;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != platform::PathDelim) absolute = PathJoin(platform::CurrentFolder(), path);
    return RemoveTrailingBackslash(NormalizePath(absolute));
}

void RunShowingProgress(ScanModel& model, const std::function<void()>& start, const std::atomic<bool>& running) {
    cancelFlag = &model.CancelOperation;
    auto previous = std::signal(SIGINT, OnInterrupt);
    const bool showProgress = isatty(STDERR_FILENO);
    start();
    // Short naps at first, so the end of a quick job is not held up by the
    // progress rate; longer ones once the job runs for a while, so this thread
    // does not take a core from the job 500 times a second. The line itself is
    // redrawn ten times a second.
    const auto started = std::chrono::steady_clock::now();
    auto nextDraw = started;
    while (running.load()) {
        const bool quickSoFar = std::chrono::steady_clock::now() - started < std::chrono::milliseconds(200);
        std::this_thread::sleep_for(std::chrono::milliseconds(quickSoFar ? 2 : 20));
        if (showProgress && std::chrono::steady_clock::now() >= nextDraw) {
            std::fprintf(stderr, "\r\033[K%s", ProgressLine(model).c_str());
            nextDraw += std::chrono::milliseconds(100);
        }
    }
    if (showProgress) std::fprintf(stderr, "\r\033[K");
    std::signal(SIGINT, previous);
    cancelFlag = nullptr;
}

JobOutcome RunScanJob(ScanModel& model, const std::string& path) {
    JobOutcome outcome;
    if (!platform::PathExists(path)) {
        outcome.error = "Path not found: " + path;
        return outcome;
    }
    PrepareScan(model, path, false);
    TThreadDiskTreemap job(model);
    RunShowingProgress(
        model,
        [&] {
            job.Start();
            outcome.liveScan = job.IsLiveScan();
        },
        job.threadRunning);
    job.WaitFor();

    outcome.cancelled = model.CancelOperation.load();
    outcome.reported = job.Failed();
    if (job.Failed())
        outcome.error = job.ErrorText();
    else if (outcome.cancelled)
        outcome.error = "Cancelled.";
    outcome.ok = !job.Failed() && !outcome.cancelled;
    return outcome;
}

}  // namespace tandrel::cli
