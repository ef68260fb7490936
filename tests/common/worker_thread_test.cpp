#include "common/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace tandrel {
namespace {

// A job whose body, refusal and prefix each test sets.
class TestJob : public TWorkerThread {
public:
    explicit TestJob(TThreadStringList* progress = nullptr) : TWorkerThread(progress) {}
    ~TestJob() override { WaitFor(); }

    std::function<void(TestJob&)> body;
    bool refuse = false;
    std::atomic<int> runs{0};
    std::vector<std::string> failures;  // what OnFail saw

    void Report(const std::string& text) { Fail(text); }
    void Publish(const std::string& text) { SetProgress(text); }

private:
    bool BeforeStart() override {
        if (!refuse) return true;
        Fail("refused");
        return false;
    }
    void Execute() override {
        ++runs;
        if (body) body(*this);
    }
    std::string ErrorPrefix() const override { return "Job failed: "; }
    void OnFail(const std::string& text) override { failures.push_back(text); }
};

TEST(WorkerThreadTest, StartsOnceAndEndsNotRunning) {
    std::mutex lock;
    std::condition_variable changed;
    bool release = false;
    TestJob job;
    job.body = [&](TestJob&) {
        std::unique_lock hold(lock);
        changed.wait(hold, [&] { return release; });
    };
    ASSERT_TRUE(job.Start());
    EXPECT_TRUE(job.Started());
    EXPECT_TRUE(job.threadRunning) << "running as soon as Start returns";
    EXPECT_FALSE(job.Start()) << "a second Start while running";
    {
        std::lock_guard hold(lock);
        release = true;
    }
    changed.notify_all();
    job.WaitFor();
    EXPECT_FALSE(job.threadRunning);
    EXPECT_FALSE(job.Start()) << "a second Start after the end";
    job.WaitFor();
    EXPECT_EQ(job.runs.load(), 1);
    EXPECT_FALSE(job.Failed());
    EXPECT_EQ(job.ErrorText(), "");
}

TEST(WorkerThreadTest, AnExceptionBecomesTheErrorWithThePrefix) {
    struct Case {
        const char* name;
        std::function<void(TestJob&)> body;
        std::string want;
    };
    const std::vector<Case> cases = {
        {"std exception", [](TestJob&) { throw std::runtime_error("disk vanished"); }, "Job failed: disk vanished"},
        {"anything else", [](TestJob&) { throw 42; }, "Job failed: unknown error"},
        {"first error stays",
         [](TestJob& job) {
             job.Report("Could not read it");
             throw std::runtime_error("later");
         },
         "Could not read it"},
    };
    for (const Case& c : cases) {
        TestJob job;
        job.body = c.body;
        ASSERT_TRUE(job.Start()) << c.name;
        job.WaitFor();
        EXPECT_FALSE(job.threadRunning) << c.name;
        EXPECT_TRUE(job.Failed()) << c.name;
        EXPECT_EQ(job.ErrorText(), c.want) << c.name;
        EXPECT_EQ(job.failures, std::vector<std::string>{c.want}) << c.name << ": OnFail once, with the first";
    }
}

TEST(WorkerThreadTest, RefusalInBeforeStartStartsNothing) {
    TestJob job;
    job.refuse = true;
    EXPECT_FALSE(job.Start());
    EXPECT_FALSE(job.threadRunning);
    job.WaitFor();
    EXPECT_EQ(job.runs.load(), 0);
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.ErrorText(), "refused");
    EXPECT_TRUE(job.failures.empty()) << "a refusal is the starter's to report";
    job.refuse = false;
    EXPECT_FALSE(job.Start()) << "no second try";
    EXPECT_EQ(job.runs.load(), 0);
}

TEST(WorkerThreadTest, ProgressGoesToTheGivenListElseItsOwn) {
    TThreadStringList shared;
    TestJob onShared(&shared);
    onShared.body = [](TestJob& job) { job.Publish("Working..."); };
    onShared.Start();
    onShared.WaitFor();
    EXPECT_EQ(shared.GetText(), "Working...\r\n");
    EXPECT_EQ(&onShared.Progress(), &shared);

    TestJob alone;
    alone.body = [](TestJob& job) { job.Publish("own line"); };
    alone.Start();
    alone.WaitFor();
    EXPECT_EQ(alone.Progress().GetText(), "own line\r\n");
    EXPECT_EQ(shared.GetText(), "Working...\r\n");
}

}  // namespace
}  // namespace tandrel
