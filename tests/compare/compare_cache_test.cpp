#include "compare/compare_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "support/temp_dir.h"
#include "support/interrupted_write.h"

namespace tandrel {
namespace {

using testing::TempDir;

class CompareCacheTest : public ::testing::Test {
protected:
    std::string IdenticalFile() const { return dir.Path("settings/identical.ini"); }
    std::string LooseFile() const { return dir.Path("settings/loose.ini"); }
    TCompareCache NewCache() const { return TCompareCache(IdenticalFile(), LooseFile()); }
    // A pair of files with distinct contents; the cache never reads them.
    std::pair<std::string, std::string> Pair(const std::string& name) const {
        return {dir.WriteFile("left/" + name, "x"), dir.WriteFile("right/" + name, "y")};
    }

    TempDir dir;
};

TEST(CacheFileKey, LowerCasedEscapedPathAndTimeWithMilliseconds) {
    const TDateTime at = EncodeDateTime(2024, 3, 5, 7, 8, 9, 250);
    EXPECT_EQ("/data/ärger/file.txt|2024-03-05 07:08:09.250", CacheFileKey("/Data/ÄRGER/File.TXT", at));
    // A "|" or a line break in a name must not split the key or the line.
    EXPECT_EQ("/a%7Cb%0Ac|2024-03-05 07:08:09.250", CacheFileKey("/a|b\nc", at));
}

TEST_F(CompareCacheTest, PairKeysNeedBothTimes) {
    auto [a, b] = Pair("f");
    TComparePairKeys keys = MakePairKeys(a, b);
    ASSERT_TRUE(keys.valid);
    const std::string keyA = CacheFileKey(a, FileModificationTime(a));
    const std::string keyB = CacheFileKey(b, FileModificationTime(b));
    EXPECT_EQ(keyA + "|" + keyB, keys.aThenB);
    EXPECT_EQ(keyB + "|" + keyA, keys.bThenA);

    TCompareCache cache = NewCache();
    const std::string missing = dir.Path("missing");
    EXPECT_FALSE(MakePairKeys(a, missing).valid);
    cache.Store(a, missing, FC_IDENTICAL);
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(a, missing));
    EXPECT_EQ(0, cache.IdenticalCount());
}

TEST_F(CompareCacheTest, StoresOnlyVerdictsOncePerPairInEitherOrder) {
    TCompareCache cache = NewCache();
    auto [a, b] = Pair("same");
    auto [c, d] = Pair("differ");
    auto [e, f] = Pair("other");
    for (TFileCompareResult ignored : {FC_SIZE_DIFFERENT, FC_ACCESS_VIOLATION, FC_CANCELLED, FC_EMPTY}) {
        cache.Store(e, f, ignored);
    }
    cache.Store(a, b, FC_IDENTICAL);
    cache.Store(b, a, FC_IDENTICAL);
    cache.Store(c, d, FC_LOOSE_COPY);
    EXPECT_EQ(1, cache.IdenticalCount());
    EXPECT_EQ(1, cache.DifferentCount());
    EXPECT_EQ(FC_IDENTICAL, cache.Lookup(b, a));
    EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(d, c));
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(e, f));
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(a, d));
}

// Pairs stored by their file keys: each once whatever its order, and none
// for a file whose time is unknown; a failed save keeps them for the next.
TEST_F(CompareCacheTest, PairsOfFileKeysAreStoredOnceAndKeptWhenASaveFails) {
    TCompareCache cache = NewCache();
    const TDateTime at = EncodeDateTime(2024, 3, 5, 7, 8, 9, 0);
    const std::vector<std::string> keys = {CacheFileKey("/t/a", at), CacheFileKey("/t/b", at), CacheFileKey("/t/c", at),
                                           ""};
    cache.Store(MakePairKeysAt("/t/b", at, "/t/a", at), FC_LOOSE_COPY);
    cache.StorePairs(keys, {{0, 1}, {0, 2}, {1, 2}, {2, 3}}, FC_LOOSE_COPY);
    cache.StorePairs(keys, {{2, 1}}, FC_LOOSE_COPY);
    EXPECT_EQ(3, cache.DifferentCount());
    EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(MakePairKeysAt("/t/c", at, "/t/a", at)));

    // A folder where the file must go makes the write fail.
    dir.WriteFile("settings", "not a folder");
    EXPECT_FALSE(cache.Save());
    EXPECT_EQ(3, cache.DifferentCount());
    EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(MakePairKeysAt("/t/b", at, "/t/c", at)));
}

TEST_F(CompareCacheTest, SaveWritesSortedKeysAndLoadFindsThem) {
    std::vector<std::pair<std::string, std::string>> pairs;
    {
        TCompareCache cache = NewCache();
        for (const char* name : {"m", "b", "z", "a", "q"}) {
            pairs.push_back(Pair(name));
            cache.Store(pairs.back().first, pairs.back().second, FC_IDENTICAL);
        }
        ASSERT_TRUE(cache.Save());
        EXPECT_FALSE(platform::PathExists(LooseFile())) << "an unchanged list is not written";
    }
    TStringList lines;
    ASSERT_TRUE(LoadTextFile(lines, IdenticalFile()));
    ASSERT_EQ(5u, lines.size());
    EXPECT_TRUE(HasUtf8Bom(IdenticalFile()));
    EXPECT_NE(std::string::npos, testing::ReadBytes(IdenticalFile()).find("\r\n"));
    EXPECT_EQ(MakePairKeys(pairs[3].first, pairs[3].second).aThenB, lines.front()) << "sorted: left/a first";

    TCompareCache reloaded = NewCache();
    for (const auto& [a, b] : pairs) EXPECT_EQ(FC_IDENTICAL, reloaded.Lookup(b, a)) << a;
}

TEST_F(CompareCacheTest, HandWrittenUnsortedFileIsSortedOnLoad) {
    std::vector<std::pair<std::string, std::string>> pairs;
    TStringList lines;
    for (const char* name : {"z", "y", "x", "w", "v", "u"}) {
        pairs.push_back(Pair(name));
        lines.push_back(MakePairKeys(pairs.back().first, pairs.back().second).aThenB);
    }
    lines.push_back(lines.front());  // a repeated line
    // Written by hand in capitals: keys compare ignoring case.
    auto [upperA, upperB] = Pair("upper");
    lines.push_back(platform::UpperCase(MakePairKeys(upperA, upperB).bThenA));
    lines.push_back("");
    dir.MakeFolder("settings");
    ASSERT_TRUE(SaveTextFile(lines, LooseFile()));

    TCompareCache cache = NewCache();
    std::vector<std::string> status;
    cache.Load([&](const std::string& text) { status.push_back(text); });
    EXPECT_EQ((std::vector<std::string>{"Loading cache stats (1)...", "Loading cache stats (2)..."}), status);
    EXPECT_TRUE(cache.Loaded());
    EXPECT_EQ(7, cache.DifferentCount());
    for (const auto& [a, b] : pairs) EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(a, b)) << a;
    EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(upperA, upperB));
}

TEST_F(CompareCacheTest, EntriesOnDiskSurviveASaveOfACacheUsedBeforeLoading) {
    auto [a, b] = Pair("first");
    auto [c, d] = Pair("second");
    auto [e, f] = Pair("third");
    {
        TCompareCache earlierRun = NewCache();
        earlierRun.Store(a, b, FC_IDENTICAL);
        ASSERT_TRUE(earlierRun.Save());
    }
    // This run never loads explicitly: its first store must bring in the file.
    TCompareCache thisRun = NewCache();
    thisRun.Store(c, d, FC_IDENTICAL);
    // Another run saves meanwhile; its entry must not be overwritten either.
    TCompareCache otherRun = NewCache();
    otherRun.Store(e, f, FC_IDENTICAL);
    ASSERT_TRUE(otherRun.Save());
    ASSERT_TRUE(thisRun.Save());

    TCompareCache next = NewCache();
    EXPECT_EQ(3, next.IdenticalCount());
    for (const auto& [x, y] : {std::pair{a, b}, std::pair{c, d}, std::pair{e, f}}) {
        EXPECT_EQ(FC_IDENTICAL, next.Lookup(x, y)) << x;
    }
}

TEST_F(CompareCacheTest, SelectingTheMethodAgainKeepsUnsavedVerdicts) {
    TCompareCache cache;  // the settings folder's two files
    auto [a, b] = Pair("kept");
    cache.Store(a, b, FC_LOOSE_COPY);
    cache.SelectThoroughMethod();
    EXPECT_FALSE(cache.Loaded());
    EXPECT_EQ(FC_LOOSE_COPY, cache.Lookup(a, b));
    ASSERT_TRUE(cache.Save());
    EXPECT_TRUE(platform::FileExists(AppSettingsFile("compare_T_loose.ini")));
    EXPECT_FALSE(platform::FileExists(AppSettingsFile("compare_T_identical.ini")));
    EXPECT_TRUE(cache.Clear());
}

TEST_F(CompareCacheTest, ClearDeletesBothFilesAndForgetsEverything) {
    auto [a, b] = Pair("one");
    auto [c, d] = Pair("two");
    TCompareCache cache = NewCache();
    cache.Store(a, b, FC_IDENTICAL);
    cache.Store(c, d, FC_LOOSE_COPY);
    ASSERT_TRUE(cache.Save());
    ASSERT_TRUE(platform::FileExists(IdenticalFile()));

    EXPECT_TRUE(cache.Clear());
    EXPECT_FALSE(platform::PathExists(IdenticalFile()));
    EXPECT_FALSE(platform::PathExists(LooseFile()));
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(a, b));
    EXPECT_EQ(FC_CACHE_MISS, cache.Lookup(c, d));
    EXPECT_TRUE(cache.Save());
    EXPECT_FALSE(platform::PathExists(IdenticalFile())) << "nothing to write after a clear";
}

TEST_F(CompareCacheTest, AFailedSaveKeepsThePreviousFileAndTheVerdicts) {
    TCompareCache cache = NewCache();
    auto [a, b] = Pair("first");
    cache.Store(a, b, FC_IDENTICAL);
    ASSERT_TRUE(cache.Save());
    const std::string before = testing::ReadBytes(IdenticalFile());

    // Enough keys that the failure falls inside the file.
    const TDateTime at = EncodeDateTime(2024, 1, 2, 3, 4, 5, 6);
    std::vector<TComparePairKeys> many;
    for (int i = 0; i < 3000; ++i)
        many.push_back(MakePairKeysAt("/left/file" + std::to_string(i), at, "/right/file" + std::to_string(i), at));
    cache.StoreMany(many, FC_IDENTICAL);
    {
        testing::FailWritesAfter stop(100000);
        EXPECT_FALSE(cache.Save());
    }
    EXPECT_EQ(testing::ReadBytes(IdenticalFile()), before);
    std::vector<std::string> names;
    platform::FolderEnumerator list(dir.Path("settings"));
    platform::FindRecord record;
    while (list.Next(record)) names.push_back(record.name);
    EXPECT_EQ(names, std::vector<std::string>{"identical.ini"});

    // Nothing was lost: the next save writes every verdict.
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(NewCache().IdenticalCount(), 3001);
}

}  // namespace
}  // namespace tandrel
