#include "compare/file_compare_thread.h"

#include <gtest/gtest.h>

#include <string>

#include "compare/file_content_compare.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

class FileCompareThreadTest : public ::testing::Test {
protected:
    void TearDown() override { platform::test_hooks::DenyAccessBelow(""); }

    // Runs the thread the way the duplicate finder does and returns it finished.
    TThreadCompareFile& Run(const std::string& a, const std::string& b, bool useCache) {
        thread = std::make_unique<TThreadCompareFile>(model, cache);
        thread->Init(a, b, useCache);
        thread->Start();
        thread->WaitFor();
        EXPECT_FALSE(thread->threadRunning);
        return *thread;
    }

    TempDir dir;
    ScanModel model;
    TCompareCache cache{dir.Path("cache/identical.ini"), dir.Path("cache/loose.ini")};
    std::unique_ptr<TThreadCompareFile> thread;
};

TEST_F(FileCompareThreadTest, ReadsTheFilesWithoutCache) {
    const std::string big(kCompareBlockSize + 3, 'q');
    std::string changed = big;
    changed.back() = 'r';
    const struct {
        const char* name;
        std::string a, b;
        TFileCompareResult want;
    } cases[] = {
        {"two empty files", "", "", FC_IDENTICAL},
        {"last byte differs", big, changed, FC_LOOSE_COPY},
        {"equal", big, big, FC_IDENTICAL},
        {"sizes differ", "ab", "abc", FC_SIZE_DIFFERENT},
    };
    for (const auto& c : cases) {
        TThreadCompareFile& t = Run(dir.WriteFile("a", c.a), dir.WriteFile("b", c.b), true);
        EXPECT_EQ(c.want, t.compareStatus.load()) << c.name;
        EXPECT_FALSE(t.cacheHit) << c.name;
    }
    EXPECT_EQ(0, cache.IdenticalCount() + cache.DifferentCount()) << "the caller records verdicts";

    TThreadCompareFile& t = Run(dir.WriteFile("a", big), dir.WriteFile("b", big), false);
    EXPECT_EQ(big.size(), t.totalBytesRead.load());
    EXPECT_EQ(big.size(), t.fileSize.load());
    EXPECT_EQ("processed 4.00MB of 4.00MB\r\n", t.Progress().GetText());
}

TEST_F(FileCompareThreadTest, MissingAndUnreadableFiles) {
    const std::string a = dir.WriteFile("a", "same");
    const std::string locked = dir.WriteFile("locked/b", "same");
    EXPECT_EQ(FC_FILE_MISSING, Run(a, dir.Path("missing"), true).compareStatus.load());
    EXPECT_EQ(FC_FILE_MISSING, Run(dir.Path("missing"), a, false).compareStatus.load());
    EXPECT_EQ("cp7", thread->exceptionCp);
    platform::test_hooks::DenyAccessBelow(dir.Path("locked"));
    EXPECT_EQ(FC_ACCESS_VIOLATION, Run(a, locked, true).compareStatus.load());
    EXPECT_EQ("access violation", CompareResultText(thread->compareStatus));
}

TEST_F(FileCompareThreadTest, CacheAnswersInEitherOrderWithoutOpeningTheFiles) {
    const std::string a = dir.WriteFile("locked/a", "one");
    const std::string b = dir.WriteFile("locked/b", "two");
    cache.Store(a, b, FC_IDENTICAL);
    // Unreadable now: only the cache can answer.
    platform::test_hooks::DenyAccessBelow(dir.Path("locked"));
    for (auto [first, second] : {std::pair{a, b}, std::pair{b, a}}) {
        TThreadCompareFile& t = Run(first, second, true);
        EXPECT_EQ(FC_IDENTICAL, t.compareStatus.load());
        EXPECT_TRUE(t.cacheHit);
        EXPECT_EQ("cp5", t.exceptionCp);
    }
    TThreadCompareFile& uncached = Run(a, b, false);
    EXPECT_EQ(FC_ACCESS_VIOLATION, uncached.compareStatus.load());
    EXPECT_FALSE(uncached.cacheHit);
}

TEST_F(FileCompareThreadTest, CancelGivesCancelled) {
    const std::string big(2 * kCompareBlockSize, 'z');
    model.CancelOperation = true;
    TThreadCompareFile& t = Run(dir.WriteFile("a", big), dir.WriteFile("b", big), false);
    EXPECT_EQ(FC_CANCELLED, t.compareStatus.load());
    EXPECT_EQ(kCompareBlockSize, t.totalBytesRead.load());
    EXPECT_EQ("", CompareResultText(t.compareStatus));
}

}  // namespace
}  // namespace tandrel
