#include "common/retry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <vector>

namespace tandrel {
namespace {

class RetryTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_hooks::SetRetrySleep([this](int ms) { sleeps.push_back(ms); });
    }
    void TearDown() override { test_hooks::SetRetrySleep({}); }
    std::vector<int> sleeps;
};

TEST_F(RetryTest, FailingAttemptIsMadeEveryTimeWithSleepsBetween) {
    int calls = 0;
    EXPECT_FALSE(RetryAttempts(kRetryAttempts, 200, [&] {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 11);
    EXPECT_EQ(sleeps, std::vector<int>(10, 200));
}

TEST_F(RetryTest, SuccessReturnsAtOnce) {
    int calls = 0;
    EXPECT_TRUE(RetryAttempts(kRetryAttempts, 1000, [&] { return ++calls == 3; }));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(sleeps, std::vector<int>(2, 1000));

    calls = 0;
    sleeps.clear();
    EXPECT_TRUE(RetryAttempts(kRetryAttempts, 1000, [&] {
        ++calls;
        return true;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(RetryTest, ExceptionCountsAsFailedAttempt) {
    int calls = 0;
    EXPECT_TRUE(RetryAttempts(3, 5, [&]() -> bool {
        if (++calls < 3) throw std::runtime_error("busy");
        return true;
    }));
    EXPECT_EQ(calls, 3);
}

TEST(RetrySleepTest, RealSleepWaitsTheDelay) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RetryAttempts(2, 30, [] { return false; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace tandrel
