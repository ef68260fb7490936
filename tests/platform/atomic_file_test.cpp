#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "support/interrupted_write.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    platform::FolderEnumerator list(folder);
    platform::FindRecord record;
    while (list.Next(record)) names.push_back(record.name);
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(AtomicFile, CommitReplacesTheFileKeepingItsPermissionsAndItsLink) {
    TempDir dir;
    const std::string file = dir.WriteFile("settings.ini", "old");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    ASSERT_EQ(symlink("settings.ini", dir.Path("link.ini").c_str()), 0);
    {
        platform::AtomicFile out(dir.Path("link.ini"));
        ASSERT_TRUE(out.IsOpen());
        // The old content stays readable until the commit.
        ASSERT_TRUE(out.Write("new ") && out.Write(std::string(200000, 'n')));
        EXPECT_EQ(ReadBytes(file), "old");
        EXPECT_EQ(out.Written(), 200004);
        ASSERT_TRUE(out.Commit());
    }
    EXPECT_EQ(ReadBytes(file), "new " + std::string(200000, 'n'));
    EXPECT_EQ(ModeOf(file), 0600u);
    std::string target;
    EXPECT_TRUE(platform::ReadSymbolicLink(dir.Path("link.ini"), target));
    EXPECT_EQ(target, "settings.ini");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"link.ini", "settings.ini"}));

    // A new file needs no previous one.
    platform::AtomicFile fresh(dir.Path("new.txt"));
    ASSERT_TRUE(fresh.Write("x") && fresh.Commit());
    EXPECT_EQ(ReadBytes(dir.Path("new.txt")), "x");
}

TEST(AtomicFile, AnUnfinishedSaveLeavesTheOldFileAndNoTemporary) {
    const std::string big(300000, 'b');  // several pieces, so the failure falls inside the file
    struct Case {
        const char* what;
        bool (*save)(const std::string& file, const std::string& bytes);
    };
    const Case cases[] = {
        {"dropped without commit",
         [](const std::string& file, const std::string& bytes) {
             platform::AtomicFile out(file);
             out.Write(bytes);
             return false;
         }},
        {"discarded",
         [](const std::string& file, const std::string& bytes) {
             platform::AtomicFile out(file);
             out.Write(bytes);
             out.Discard();
             return out.Commit();
         }},
        {"write fails part-way",
         [](const std::string& file, const std::string& bytes) {
             testing::FailWritesAfter stop(100000);
             platform::AtomicFile out(file);
             const bool wrote = out.Write(bytes);
             return wrote || out.Written() >= static_cast<std::int64_t>(bytes.size()) || out.Commit();
         }},
        {"target is a folder",
         [](const std::string& file, const std::string& bytes) {
             platform::AtomicFile out(file + ".d");
             return out.Write(bytes) && out.Commit();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string file = dir.WriteFile("data.bin", "previous");
        dir.MakeFolder("data.bin.d");
        EXPECT_FALSE(c.save(file, big));
        EXPECT_EQ(ReadBytes(file), "previous");
        EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"data.bin", "data.bin.d"}));
    }
    platform::AtomicFile missing("/nonexistent-folder/x");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.Write("x") || missing.Commit());
}

TEST(AtomicFile, TemporaryNamesAreDistinctHiddenAndRecognised) {
    TempDir dir;
    platform::AtomicFile first(dir.Path("a.snapshot"));
    platform::AtomicFile second(dir.Path("a.snapshot"));
    ASSERT_TRUE(first.IsOpen() && second.IsOpen());
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    for (const std::string& temp : {first.TemporaryPath(), second.TemporaryPath()}) {
        const std::string name = temp.substr(temp.rfind('/') + 1);
        EXPECT_EQ(name.rfind(".a.snapshot.partial-" + std::to_string(getpid()) + "-", 0), 0u) << name;
        EXPECT_TRUE(platform::IsAtomicTemporaryName(temp));
    }
    // Both commit; the later one wins whole.
    ASSERT_TRUE(first.Write("one") && second.Write("two") && first.Commit() && second.Commit());
    EXPECT_EQ(ReadBytes(dir.Path("a.snapshot")), "two");

    for (const char* name : {"a.partial-1-2", ".a.partial-x-2", ".a.partial-12", ".a.partial--2", ".a.partial-1-",
                             ".a.snapshot", "x.snapshot", ""})
        EXPECT_FALSE(platform::IsAtomicTemporaryName(name)) << name;
    EXPECT_TRUE(platform::IsAtomicTemporaryName(".Tandrel.ini.partial-4711-0"));
}

TEST(AtomicFile, AKilledWriterLeavesTheOldFileAndAStaleTemporaryThatIsCleanedUp) {
    TempDir dir;
    const std::string file = dir.WriteFile("list.results", "old results");
    ASSERT_TRUE(testing::KillWhileWriting(
        [&] {
            platform::AtomicFile out(file);
            out.Write(std::string(500000, 'r'));
            out.Commit();
        },
        200000));
    EXPECT_EQ(ReadBytes(file), "old results");
    std::vector<std::string> names = Names(dir.path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "list.results");
    EXPECT_TRUE(platform::IsAtomicTemporaryName(names[0])) << names[0];
    EXPECT_GE(ReadBytes(dir.Path(names[0])).size(), 200000u);  // killed part-way, not before

    // A temporary of a running writer (this process) stays; the dead one's goes.
    platform::AtomicFile live(dir.Path("other.ini"));
    ASSERT_TRUE(live.Write("x"));
    EXPECT_EQ(platform::RemoveStaleAtomicTemporaries(dir.path()), 1);
    names = Names(dir.path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(dir.Path(names[0]), live.TemporaryPath());
    ASSERT_TRUE(live.Commit());
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"list.results", "other.ini"}));
}

}  // namespace
}  // namespace tandrel
