#include "compare/duplicate_finder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "platform/file_system.h"
#include "scan/filtered_scan.h"
#include "support/temp_dir.h"
#include "common/paths.h"
#include "support/interrupted_write.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

std::uint64_t CollidingHash(const void*, std::size_t, std::uint64_t) { return 42; }

class DuplicateFinderTest : public ::testing::Test {
protected:
    void TearDown() override {
        test_hooks::SetDuplicateHash(nullptr);
        test_hooks::SetDuplicateLockstepLimit(-1);
    }

    // Collects the tree below dir with the finder's floor.
    void Collect(const std::string& root) {
        TScan scan(model);
        scan.paths = root;
        scan.flagRecursive = true;
        scan.SetInclusions("*.*", "");
        scan.UnitFsMinSize = TDuplicateFinder::EffectiveMinSize(0);
        scan.Scan();
        finder.TakeScanResult(scan.tempFilesAr);
    }

    std::map<std::string, int> GroupsByName() const {
        std::map<std::string, int> groups;
        for (const auto& entry : finder.Entries) groups[entry->FileName] = entry->DuplicateGroupId;
        return groups;
    }

    TempDir dir;
    ScanModel model;
    TCompareCache cache{dir.Path("cache/identical.ini"), dir.Path("cache/loose.ini")};
    TDuplicateFinder finder{model, cache};
};

std::string Bytes(std::size_t size, char fill, std::size_t flipAt = std::string::npos) {
    std::string bytes(size, fill);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(fill + (i * 7) % 13);
    if (flipAt != std::string::npos) bytes[flipAt] = static_cast<char>(bytes[flipAt] ^ 1);
    return bytes;
}

// The plain walk: every unprocessed file of a size compared with every later
// one, by content read here; gives the groups, the keys and the cache pairs.
struct Reference {
    std::map<int, int> group;  // position -> group id
    std::map<int, std::string> key;
    std::set<std::pair<int, int>> same, different;
};

Reference Walk(const TDuplicateFinder& finder) {
    Reference ref;
    const std::vector<int>& index = finder.duplicateFilesLVItems.Items();
    std::vector<bool> processed(finder.Entries.size(), false);
    std::vector<bool> grouped(finder.Entries.size(), false);
    int next = 1000;
    for (std::size_t i = 0; i < index.size(); ++i) {
        const TFileEntryDuplicates& a = finder.Entry(index[i]);
        if (processed[static_cast<std::size_t>(index[i])] || a.Size == 0) continue;
        ref.key[index[i]] = "";
        const std::string contentA = ReadBytes(a.FullFileName());
        for (std::size_t j = i + 1; j < index.size() && finder.Entry(index[j]).Size == a.Size; ++j) {
            if (processed[static_cast<std::size_t>(index[j])]) continue;
            ref.key[index[i]] = ref.key[index[j]] = DuplicateGroupKey(a);
            if (ReadBytes(finder.Entry(index[j]).FullFileName()) != contentA) {
                ref.different.insert({index[i], index[j]});
                continue;
            }
            ref.same.insert({index[i], index[j]});
            processed[static_cast<std::size_t>(index[i])] = processed[static_cast<std::size_t>(index[j])] = true;
            if (!grouped[static_cast<std::size_t>(index[i])]) {
                grouped[static_cast<std::size_t>(index[i])] = true;
                ref.group[index[i]] = ++next;
            }
            ref.group[index[j]] = ref.group[index[i]];
        }
    }
    return ref;
}

void ExpectMatchesWalk(TDuplicateFinder& finder, TCompareCache& cache) {
    const Reference ref = Walk(finder);
    for (std::size_t p = 0; p < finder.Entries.size(); ++p) {
        const TFileEntryDuplicates& e = *finder.Entries[p];
        const int position = static_cast<int>(p);
        const int want = ref.group.count(position) ? ref.group.at(position) : 0;
        EXPECT_EQ(e.DuplicateGroupId, want) << e.FullFileName();
        if (ref.key.count(position)) {
            EXPECT_EQ(e.Checksum, ref.key.at(position)) << e.FullFileName();
        }
        EXPECT_EQ(e.Processed, want != 0) << e.FullFileName();
    }
    EXPECT_EQ(cache.IdenticalCount(), static_cast<int>(ref.same.size()));
    EXPECT_EQ(cache.DifferentCount(), static_cast<int>(ref.different.size()));
    auto path = [&](int p) { return finder.Entry(p).FullFileName(); };
    for (const auto& [a, b] : ref.same) EXPECT_EQ(cache.Lookup(path(b), path(a)), FC_IDENTICAL);
    for (const auto& [a, b] : ref.different) EXPECT_EQ(cache.Lookup(path(a), path(b)), FC_LOOSE_COPY);
}

TEST_F(DuplicateFinderTest, SmallSizeClassesGiveTheWalksGroupsKeysAndCache) {
    // a1..a3 equal, a4 the same size with other bytes; W = X and Y = Z.
    const std::string a = Bytes(3000, 'a');
    dir.WriteFile("t/1/a1", a);
    dir.WriteFile("t/2/a2", a);
    dir.WriteFile("t/3/a3", a);
    dir.WriteFile("t/3/a4", Bytes(3000, 'a', 2999));
    dir.WriteFile("t/w", Bytes(2000, 'w'));
    dir.WriteFile("t/x", Bytes(2000, 'w'));
    dir.WriteFile("t/y", Bytes(2000, 'y'));
    dir.WriteFile("t/z", Bytes(2000, 'y'));
    dir.WriteFile("t/small", std::string(1023, 's'));
    dir.WriteFile("t/small2", std::string(1023, 's'));
    Collect(dir.Path("t"));
    ASSERT_EQ(finder.Entries.size(), 8u) << "1023-byte files are below the floor";
    ASSERT_TRUE(finder.FindDuplicates());
    const auto groups = GroupsByName();
    EXPECT_EQ(groups.at("a1"), 1001);
    EXPECT_EQ(groups.at("a2"), 1001);
    EXPECT_EQ(groups.at("a3"), 1001);
    EXPECT_EQ(groups.at("a4"), 0);
    EXPECT_EQ(groups.at("w"), 1002);
    EXPECT_EQ(groups.at("x"), 1002);
    EXPECT_EQ(groups.at("y"), 1003);
    EXPECT_EQ(groups.at("z"), 1003);
    // a4 was compared with a1 only: one different pair in its size.
    ExpectMatchesWalk(finder, cache);
    EXPECT_EQ(finder.Entry(finder.duplicateFilesLVItems[0]).Checksum, "           3,000 " + dir.Path("t/1/a1"));

    const TDuplicateRows rows = finder.GroupFilter({});
    EXPECT_EQ(rows.groups, 3);
    EXPECT_EQ(rows.files, 7);
    EXPECT_EQ(rows.Summary(), "Files: 7 ( 16.60KB ) , Unique files: 3 ( 6.84KB ) ");
    EXPECT_EQ(rows.rows.front(), kGroupSeparatorRow);
}

TEST_F(DuplicateFinderTest, RandomTreesMatchThePlainWalk) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        TempDir tree;
        TCompareCache fresh{tree.Path("c/i.ini"), tree.Path("c/l.ini")};
        TDuplicateFinder search{model, fresh};
        std::mt19937 rng(seed);
        // Few sizes and few contents, so classes mix; some files differ in
        // the first, a middle or the last byte, some past the first block.
        const std::size_t sizes[] = {1024, 1500, 70000, 140001};
        for (int f = 0; f < 40; ++f) {
            const std::size_t size = sizes[rng() % 4];
            std::string bytes = Bytes(size, static_cast<char>('a' + rng() % 3));
            switch (rng() % 5) {
                case 0:
                    bytes[0] ^= 1;
                    break;
                case 1:
                    bytes[size / 2] ^= 1;
                    break;
                case 2:
                    bytes[size - 1] ^= 1;
                    break;
                default:
                    break;
            }
            tree.WriteFile("d" + std::to_string(rng() % 4) + "/f" + std::to_string(f), bytes);
        }
        TScan scan(model);
        scan.paths = tree.path();
        scan.flagRecursive = true;
        scan.UnitFsMinSize = 1024;
        scan.Scan();
        search.TakeScanResult(scan.tempFilesAr);
        ASSERT_TRUE(search.FindDuplicates());
        ExpectMatchesWalk(search, fresh);
        // Every hash collides, with files compared side by side or hashed to
        // the end and confirmed: still only equal files are grouped.
        for (int lockstep : {-1, 0}) {
            SCOPED_TRACE(lockstep);
            TCompareCache colliding{tree.Path("c" + std::to_string(lockstep) + "/i.ini"),
                                    tree.Path("c" + std::to_string(lockstep) + "/l.ini")};
            TDuplicateFinder forced{model, colliding};
            forced.TakeScanResult(scan.tempFilesAr);
            test_hooks::SetDuplicateHash(&CollidingHash);
            test_hooks::SetDuplicateLockstepLimit(lockstep);
            ASSERT_TRUE(forced.FindDuplicates());
            test_hooks::SetDuplicateHash(nullptr);
            test_hooks::SetDuplicateLockstepLimit(-1);
            ExpectMatchesWalk(forced, colliding);
        }
    }
}

TEST_F(DuplicateFinderTest, EqualFirstBlockAndCollidingHashesAreNeverGrouped) {
    // Equal in the first 64 KiB, different at the end; three of them so the
    // rest is hashed, and every hash made equal.
    const std::size_t size = 200000;
    dir.WriteFile("t/p", Bytes(size, 'p'));
    dir.WriteFile("t/q", Bytes(size, 'p', size - 1));
    dir.WriteFile("t/r", Bytes(size, 'p', size / 2));
    test_hooks::SetDuplicateHash(&CollidingHash);
    Collect(dir.Path("t"));
    for (int lockstep : {-1, 0}) {
        test_hooks::SetDuplicateLockstepLimit(lockstep);
        TCompareCache fresh{dir.Path("c" + std::to_string(lockstep) + "/i.ini"),
                            dir.Path("c" + std::to_string(lockstep) + "/l.ini")};
        TDuplicateFinder search{model, fresh};
        search.TakeScanResult({});
        search.Entries.clear();
        for (const auto& entry : finder.Entries)
            search.Entries.push_back(std::make_unique<TFileEntryDuplicates>(*entry));
        search.FillIndexList();
        ASSERT_TRUE(search.FindDuplicates());
        for (const auto& entry : search.Entries) EXPECT_EQ(entry->DuplicateGroupId, 0) << entry->FileName;
        EXPECT_EQ(fresh.DifferentCount(), 3);
        EXPECT_EQ(fresh.IdenticalCount(), 0);
    }
}

TEST_F(DuplicateFinderTest, RepeatedSearchIsAnsweredFromTheCacheUntilAFileChanges) {
    dir.WriteFile("t/a", Bytes(5000, 'a'));
    dir.WriteFile("t/b", Bytes(5000, 'a'));
    dir.WriteFile("t/c", Bytes(5000, 'a', 10));
    dir.WriteFile("t/d", Bytes(4000, 'd'));
    dir.WriteFile("t/e", Bytes(4000, 'd'));
    Collect(dir.Path("t"));
    ASSERT_TRUE(finder.FindDuplicates());
    EXPECT_EQ(finder.Counters.fromDisk, 5);
    EXPECT_EQ(finder.Counters.fromCache, 0);
    const auto first = GroupsByName();

    ASSERT_TRUE(finder.FindDuplicates());
    EXPECT_EQ(finder.Counters.fromDisk, 0);
    EXPECT_EQ(finder.Counters.fromCache, 3);  // a-b, a-c, d-e
    EXPECT_EQ(GroupsByName(), first);

    // A new time on c: its pairs are unknown, so its size is read again.
    ASSERT_TRUE(platform::SetLastWriteTime(dir.Path("t/c"), platform::FileTimeFromUnix(1000000000, 0)));
    ASSERT_TRUE(finder.FindDuplicates());
    EXPECT_EQ(finder.Counters.fromDisk, 3);
    EXPECT_EQ(finder.Counters.fromCache, 1);
    EXPECT_EQ(GroupsByName(), first);
}

TEST_F(DuplicateFinderTest, VanishedAndUnreadableFilesAreNeverGrouped) {
    dir.WriteFile("t/a", Bytes(5000, 'a'));
    dir.WriteFile("t/b", Bytes(5000, 'a'));
    dir.WriteFile("t/c", Bytes(5000, 'a'));
    Collect(dir.Path("t"));
    platform::test_hooks::DenyAccessBelow(dir.Path("t/a"));
    ASSERT_TRUE(platform::DeleteFile(dir.Path("t/c")));
    ASSERT_TRUE(finder.FindDuplicates());
    platform::test_hooks::DenyAccessBelow("");
    const auto groups = GroupsByName();
    EXPECT_EQ(groups.at("a"), 0);
    EXPECT_EQ(groups.at("b"), 0);
    EXPECT_EQ(groups.at("c"), 0);
    EXPECT_EQ(cache.IdenticalCount() + cache.DifferentCount(), 0);
}

TEST(DuplicatesBaseName, FolderSpecifications) {
    const struct {
        const char* folders;
        const char* base;
    } cases[] = {
        {"C:\\Photos;D:\\Backup\\Photos", "tandrel_cache_C_Photos_D_Backup_Photos"},
        {"/home/u/Photos;/mnt/Backup/", "tandrel_cache_home_u_Photos_mnt_Backup"},
        {"/a b/x+y,[1]~", "tandrel_cache_a b_x+y,[1]~"},
        {"/data/Ünïcode", "tandrel_cache_data_n_code"},
    };
    for (const auto& c : cases) EXPECT_EQ(DuplicatesBaseName(c.folders), c.base) << c.folders;
}

TEST_F(DuplicateFinderTest, FilesRoundTripAndResultsStopAtAnEmptyLine) {
    dir.WriteFile("t/a", Bytes(5000, 'a'));
    dir.WriteFile("t/b", Bytes(5000, 'a'));
    dir.WriteFile("t/c", Bytes(4000, 'c'));
    dir.WriteFile("t/d", Bytes(4000, 'c'));
    dir.WriteFile("t/e", Bytes(3000, 'e'));
    const std::string spec = dir.Path("t");
    Collect(spec);
    ASSERT_TRUE(finder.SaveFileList(spec));
    ASSERT_TRUE(finder.FindDuplicates());
    ASSERT_TRUE(finder.SaveResults(spec));

    TDuplicateFinder loaded{model, cache};
    ASSERT_TRUE(loaded.LoadFileList(spec));
    ASSERT_EQ(loaded.Entries.size(), 5u);
    EXPECT_EQ(loaded.Entry(loaded.duplicateFilesLVItems[0]).FullFileName(), dir.Path("t/a"));

    TStringList lines = ReadFromFile(DuplicatesResultsFile(spec));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, lines[0].find('|', 2)), "a|" + dir.Path("t/"));
    EXPECT_EQ(lines[0].substr(lines[0].rfind('|')), "|1001");
    ASSERT_TRUE(loaded.LoadResults(spec));
    EXPECT_EQ(loaded.Entries.size(), 4u);
    EXPECT_EQ(loaded.Entry(loaded.duplicateFilesLVItems[3]).Checksum, "1002");
    EXPECT_EQ(loaded.GroupFilter({}).groups, 2);

    lines.insert(lines.begin() + 2, "");
    ASSERT_TRUE(SaveTextFile(lines, DuplicatesResultsFile(spec)));
    ASSERT_TRUE(loaded.LoadResults(spec));
    EXPECT_EQ(loaded.Entries.size(), 2u);
    EXPECT_FALSE(loaded.LoadResults(spec + "/nothing"));
}

TEST_F(DuplicateFinderTest, GroupFilterRulesCleanupAndDeletedEntries) {
    const std::string photo = Bytes(6000, 'p');
    dir.WriteFile("Photos/2010/x.jpg", photo);
    dir.WriteFile("Backup/2010/x.jpg", photo);
    dir.WriteFile("Photos/2011/y.jpg", Bytes(5000, 'y'));
    dir.WriteFile("Photos/2012/y.jpg", Bytes(5000, 'y'));
    dir.WriteFile("Photos/2012/z.jpg", Bytes(5000, 'y'));
    Collect(dir.path());
    ASSERT_TRUE(finder.FindDuplicates());
    const struct {
        TGroupFilterOptions options;
        int groups, files;
    } cases[] = {
        {{}, 2, 5},
        {{"backup", false, false}, 0, 0},  // matches one member of a pair only
        {{"-backup", false, false}, 1, 3},
        // 2010 and 2010 kept; 2011 alone dropped, the two in 2012 kept
        {{"", false, true}, 2, 4},
        {{"", true, false}, 2, 4},
    };
    for (const auto& c : cases) {
        const TDuplicateRows rows = finder.GroupFilter(c.options);
        EXPECT_EQ(rows.groups, c.groups) << c.options.filter;
        EXPECT_EQ(rows.files, c.files) << c.options.filter;
    }

    const std::string key = finder.Entry(finder.GroupFilter({}).rows[1]).Checksum;
    EXPECT_EQ(finder.ExistingCopies(key), 2);
    EXPECT_EQ(finder.CopiesUnder(key, "BACKUP"), 1);
    ASSERT_TRUE(platform::DeleteFile(dir.Path("Photos/2012/z.jpg")));
    EXPECT_EQ(finder.CleanUpDeleted(), 1);
    EXPECT_EQ(finder.GroupFilter({}).files, 4);
    EXPECT_TRUE(finder.MarkDeleted(dir.Path("BACKUP/2010/X.JPG")));
    EXPECT_EQ(finder.GroupFilter({}).groups, 1);
    EXPECT_EQ(finder.GroupMembers(key).size(), 1u);
}

TEST_F(DuplicateFinderTest, AnInterruptedSaveKeepsThePreviousListAndResults) {
    dir.WriteFile("t/a", Bytes(5000, 'a'));
    dir.WriteFile("t/b", Bytes(5000, 'a'));
    const std::string spec = dir.Path("t");
    Collect(spec);
    ASSERT_TRUE(finder.FindDuplicates());
    ASSERT_TRUE(finder.SaveFileList(spec) && finder.SaveResults(spec));
    const std::string list = DuplicatesFileListFile(spec), results = DuplicatesResultsFile(spec);
    const std::string listBefore = ReadBytes(list), resultsBefore = ReadBytes(results);

    for (int i = 0; i < 3000; ++i) dir.WriteFile("t/more/file" + std::to_string(i), Bytes(3000 + i % 2, 'm'));
    Collect(spec);
    ASSERT_TRUE(finder.FindDuplicates());
    {
        testing::FailWritesAfter stop(100000);
        EXPECT_FALSE(finder.SaveFileList(spec));
        EXPECT_FALSE(finder.SaveResults(spec));
    }
    EXPECT_EQ(ReadBytes(list), listBefore);
    EXPECT_EQ(ReadBytes(results), resultsBefore);
    platform::FolderEnumerator folder(ExtractFilePath(results));
    platform::FindRecord record;
    while (folder.Next(record)) EXPECT_FALSE(platform::IsAtomicTemporaryName(record.name)) << record.name;

    ASSERT_TRUE(finder.SaveFileList(spec) && finder.SaveResults(spec));
    TDuplicateFinder loaded{model, cache};
    ASSERT_TRUE(loaded.LoadFileList(spec));
    EXPECT_EQ(loaded.Entries.size(), 3002u);
}

}  // namespace
}  // namespace tandrel
