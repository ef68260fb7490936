#include "compare/file_content_compare.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

constexpr std::size_t kBlock = kCompareBlockSize;

// Deterministic non-constant bytes, so a shifted or partial block differs.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

std::string WithByteFlipped(std::string bytes, std::size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    return bytes;
}

class FileContentCompareTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::test_hooks::DenyAccessBelow("");
        tandrel::test_hooks::SetPauseStepMs(0);
    }

    TempDir dir;
    ScanModel model;
    TCompareCache cache{dir.Path("cache/identical.ini"), dir.Path("cache/loose.ini")};
};

TEST_F(FileContentCompareTest, ContentVerdicts) {
    const std::string big = Pattern(kBlock + 5);
    const std::string twoBlocks = Pattern(2 * kBlock);
    const struct {
        const char* name;
        std::string a, b;
        TFileCompareResult want;
    } cases[] = {
        {"two empty files", "", "", FC_IDENTICAL},
        {"small equal", "abc", "abc", FC_IDENTICAL},
        {"small differ", "abc", "abd", FC_LOOSE_COPY},
        {"sizes differ", "abc", "abcd", FC_SIZE_DIFFERENT},
        {"empty against one byte", "", "x", FC_SIZE_DIFFERENT},
        {"equal over a block boundary", big, big, FC_IDENTICAL},
        {"last byte of the last block", big, WithByteFlipped(big, big.size() - 1), FC_LOOSE_COPY},
        {"first byte of the first block", big, WithByteFlipped(big, 0), FC_LOOSE_COPY},
        {"exactly two blocks equal", twoBlocks, twoBlocks, FC_IDENTICAL},
        {"last byte of two whole blocks", twoBlocks, WithByteFlipped(twoBlocks, 2 * kBlock - 1), FC_LOOSE_COPY},
    };
    FileContentComparer comparer(model);
    for (const auto& c : cases) {
        const std::string a = dir.WriteFile("a.bin", c.a);
        const std::string b = dir.WriteFile("b.bin", c.b);
        EXPECT_EQ(c.want, comparer.CompareContents(a, b)) << c.name;
        EXPECT_EQ(c.want, comparer.CompareContents(b, a)) << c.name << " (reversed)";
    }
}

TEST_F(FileContentCompareTest, MissingOrUnreadableFileIsAccessViolationAndNotCached) {
    const std::string a = dir.WriteFile("a.bin", "same");
    const std::string locked = dir.WriteFile("locked/b.bin", "same");
    FileContentComparer comparer(model);

    EXPECT_EQ(FC_ACCESS_VIOLATION, comparer.CompareFiles(a, dir.Path("nothing.bin"), cache));
    platform::test_hooks::DenyAccessBelow(dir.Path("locked"));
    EXPECT_EQ(FC_ACCESS_VIOLATION, comparer.CompareFiles(a, locked, cache));
    EXPECT_EQ(FC_ACCESS_VIOLATION, comparer.CompareFiles(locked, a, cache));
    EXPECT_EQ(0, cache.IdenticalCount() + cache.DifferentCount());

    platform::test_hooks::DenyAccessBelow("");
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(a, locked));
    EXPECT_EQ(FC_IDENTICAL, comparer.CompareFiles(a, locked, cache));
    EXPECT_EQ(FC_IDENTICAL, cache.Lookup(a, locked));
}

TEST_F(FileContentCompareTest, CachedVerdictAnswersInEitherOrderUntilAFileIsTouched) {
    const std::string content = Pattern(1000);
    const std::string a = dir.WriteFile("a.bin", content);
    const std::string b = dir.WriteFile("b.bin", content);
    FileContentComparer comparer(model);
    ASSERT_EQ(FC_IDENTICAL, comparer.CompareFiles(a, b, cache));

    // Change b's bytes but give it back its time: only the cache can still
    // call the pair identical.
    platform::FileTime timeB = 0;
    ASSERT_TRUE(platform::GetFileTimes(b, nullptr, &timeB));
    dir.WriteFile("b.bin", WithByteFlipped(content, 500));
    ASSERT_TRUE(platform::SetLastWriteTime(b, timeB));
    EXPECT_EQ(FC_IDENTICAL, comparer.CompareFiles(a, b, cache));
    EXPECT_EQ(FC_IDENTICAL, comparer.CompareFiles(b, a, cache));

    // A new time for b makes the old verdict unreachable: the bytes are read.
    ASSERT_TRUE(platform::SetLastWriteTime(b, timeB + 10'000'000));
    EXPECT_EQ(FC_LOOSE_COPY, comparer.CompareFiles(b, a, cache));
    EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(a, b));
    EXPECT_EQ(1, cache.IdenticalCount());
    EXPECT_EQ(1, cache.DifferentCount());
}

TEST_F(FileContentCompareTest, SizeDifferenceIsNotCached) {
    const std::string a = dir.WriteFile("a.bin", "abc");
    const std::string b = dir.WriteFile("b.bin", "abcd");
    FileContentComparer comparer(model);
    EXPECT_EQ(FC_SIZE_DIFFERENT, comparer.CompareFiles(a, b, cache));
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(a, b));
}

TEST_F(FileContentCompareTest, CancelEndsAsCancelledAndIsNotCached) {
    const std::string content = Pattern(2 * kBlock + 1);
    const std::string a = dir.WriteFile("a.bin", content);
    const std::string b = dir.WriteFile("b.bin", content);
    FileContentComparer comparer(model);
    std::int64_t blocks = 0;
    comparer.SetProgress([&](std::int64_t, std::int64_t) { ++blocks; });

    model.CancelOperation = true;
    EXPECT_EQ(FC_CANCELLED, comparer.CompareFiles(a, b, cache));
    EXPECT_EQ(1, blocks) << "stops after the first block";
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(a, b));

    model.CancelOperation = false;
    model.AppClosing = true;
    EXPECT_EQ(FC_CANCELLED, comparer.CompareContents(a, b));
}

TEST_F(FileContentCompareTest, PauseHoldsAfterABlockAndCancelLeavesTheWait) {
    tandrel::test_hooks::SetPauseStepMs(5);
    const std::string content = Pattern(3 * kBlock);
    const std::string a = dir.WriteFile("a.bin", content);
    const std::string b = dir.WriteFile("b.bin", content);
    FileContentComparer comparer(model);
    std::atomic<std::int64_t> done{0};
    comparer.SetProgress([&](std::int64_t bytes, std::int64_t) { done = bytes; });

    model.PauseOperation = true;
    std::atomic<TFileCompareResult> result{FC_EMPTY};
    std::thread worker([&] { result = comparer.CompareContents(a, b); });
    while (model.PausedWorkers() == 0) std::this_thread::yield();
    EXPECT_EQ(static_cast<std::int64_t>(kBlock), done.load()) << "paused after the first block";
    EXPECT_EQ(FC_EMPTY, result.load());
    model.CancelOperation = true;
    worker.join();
    EXPECT_EQ(FC_CANCELLED, result.load());
}

TEST_F(FileContentCompareTest, ProgressLineInWholeMiB) {
    const std::string content = Pattern(2 * kBlock + 7);
    const std::string a = dir.WriteFile("a.bin", content);
    const std::string b = dir.WriteFile("b.bin", content);
    FileContentComparer comparer(model);
    ASSERT_EQ(FC_IDENTICAL, comparer.CompareContents(a, b));
    EXPECT_EQ("processed 8 Mb of 8 Mb\r\n", ProgressText2().GetText());

    EXPECT_EQ("processed 4 Mb of 2,048 Mb", BlockProgressInMiB(4 * 1048576 + 5, 2048LL * 1048576));
    EXPECT_EQ("processed 1.00MB of 2.00GB", BlockProgressInBytes(1048576, 2LL << 30));
}

}  // namespace
}  // namespace tandrel
