#include "common/late_execute.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/recording_messages.h"

namespace tandrel {
namespace {

// Every test runs on a clock of its own that only Advance moves, and leaves
// the process-wide queue empty.
class LateExecuteTest : public ::testing::Test {
protected:
    LateExecuteTest() {
        SetLateExecuteClock([this] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(now_)); });
    }
    ~LateExecuteTest() override {
        SetLateExecuteWakeup({});
        now_ += 1000000;
        while (NextLateExecuteDelayMs() >= 0) DrainLateExecute();
        SetLateExecuteClock({});
    }
    void Advance(int ms) { now_ += ms; }

private:
    std::atomic<long long> now_{1000};
};

TEST_F(LateExecuteTest, ZeroDelayRunsAtTheNextDrainOnly) {
    EXPECT_EQ(-1, NextLateExecuteDelayMs());
    int runs = 0;
    LateExecute(0, [&] { ++runs; });
    EXPECT_EQ(0, runs);
    EXPECT_EQ(0, NextLateExecuteDelayMs());
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ(1, runs);
    EXPECT_EQ(0, DrainLateExecute());  // one-shot
    EXPECT_EQ(1, runs);
    EXPECT_EQ(-1, NextLateExecuteDelayMs());
}

TEST_F(LateExecuteTest, DelayedCallWaitsForItsTime) {
    int runs = 0;
    LateExecute(80, [&] { ++runs; });
    EXPECT_EQ(0, DrainLateExecute());
    EXPECT_EQ(80, NextLateExecuteDelayMs());
    Advance(79);
    EXPECT_EQ(1, NextLateExecuteDelayMs());
    EXPECT_EQ(0, DrainLateExecute());
    EXPECT_EQ(0, runs);
    Advance(1);
    EXPECT_EQ(0, NextLateExecuteDelayMs());
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ(1, runs);
}

TEST_F(LateExecuteTest, DueCallsRunInDueOrder) {
    std::string order;
    LateExecute(30, [&] { order += 'c'; });
    LateExecute(0, [&] { order += 'a'; });
    LateExecute(0, [&] { order += 'b'; });
    LateExecute(-5, [&] { order += 'x'; });
    Advance(30);
    EXPECT_EQ(4, DrainLateExecute());
    EXPECT_EQ("abxc", order);
}

TEST_F(LateExecuteTest, CallsQueuedDuringADrainWaitForTheNext) {
    int runs = 0;
    std::function<void()> requeue = [&] {
        ++runs;
        if (runs < 3) LateExecute(0, requeue);
    };
    LateExecute(0, requeue);
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ(0, DrainLateExecute());
    EXPECT_EQ(3, runs);
}

TEST_F(LateExecuteTest, AFailingCallIsShownAndTheOthersStillRun) {
    testing::RecordingMessages messages;
    int runs = 0;
    LateExecute(0, [] { throw std::runtime_error("boom"); });
    LateExecute(0, [&] { ++runs; });
    EXPECT_EQ(2, DrainLateExecute());
    EXPECT_EQ(1, runs);
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ("boom", messages.shown[0]);
}

TEST_F(LateExecuteTest, WakeupHearsTheNextDelay) {
    std::vector<int> delays;
    SetLateExecuteWakeup([&](int ms) { delays.push_back(ms); });
    LateExecute(500, [] {});
    LateExecute(0, [] {});
    EXPECT_EQ((std::vector<int>{500, 0}), delays);
    Advance(100);
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ((std::vector<int>{500, 0, 400}), delays);  // the 500 ms call still waits
    Advance(400);
    EXPECT_EQ(1, DrainLateExecute());
    EXPECT_EQ(3u, delays.size()) << "nothing left to wake for";
}

TEST_F(LateExecuteTest, AnyThreadMayEnqueue) {
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) LateExecute(0, [&] { ++runs; });
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(0, runs);
    EXPECT_EQ(1000, DrainLateExecute());
    EXPECT_EQ(1000, runs);
}

}  // namespace
}  // namespace tandrel
