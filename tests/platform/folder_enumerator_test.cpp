#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "support/temp_dir.h"

namespace tandrel::platform {
namespace {

using testing::TempDir;

std::map<std::string, FindRecord> ListFolder(const std::string& folder) {
    std::map<std::string, FindRecord> records;
    FolderEnumerator enumerator(folder);
    EXPECT_TRUE(enumerator.IsOpen()) << folder;
    FindRecord record;
    while (enumerator.Next(record)) records[record.name] = record;
    EXPECT_EQ(enumerator.Error(), 0);
    return records;
}

class FolderEnumeratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile("file.txt", "12345");
        dir.WriteFile(".hidden", "x");
        dir.WriteFile("readonly.txt", "abc");
        chmod(dir.Path("readonly.txt").c_str(), 0444);
        dir.WriteFile("sub/inner.txt", "inner");
        ASSERT_EQ(symlink("file.txt", dir.Path("link_to_file").c_str()), 0);
        ASSERT_EQ(symlink("sub", dir.Path("link_to_folder").c_str()), 0);
        ASSERT_EQ(symlink("missing", dir.Path("dangling").c_str()), 0);
        ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0644), 0);
    }
    TempDir dir;
};

TEST_F(FolderEnumeratorTest, SynthesisesAttributeWordsAndSizes) {
    auto records = ListFolder(dir.path());
    struct Expected {
        const char* name;
        std::uint32_t attributes;
        std::int64_t size;
    };
    const Expected expected[] = {
        {"file.txt", 32, 5},
        {".hidden", 32 + 2, 1},
        {"readonly.txt", 32 + 1, 3},
        {"sub", 16, 0},
        {"link_to_file", 32 + 1024, 8},  // the link's own size: "file.txt"
        {"link_to_folder", 16 + 1024, 0},
        {"dangling", 32 + 1024, 7},  // "missing"
        {"fifo", 32 + 4, 0},
    };
    ASSERT_EQ(records.size(), std::size(expected));  // "." and ".." left out
    for (const Expected& e : expected) {
        ASSERT_TRUE(records.count(e.name)) << e.name;
        EXPECT_EQ(records[e.name].attributes, e.attributes) << e.name;
        EXPECT_EQ(records[e.name].size, e.size) << e.name;
    }
    EXPECT_TRUE(records["link_to_folder"].IsDirectory());
    EXPECT_TRUE(records["link_to_folder"].IsReparsePoint());
    EXPECT_FALSE(records["sub"].IsReparsePoint());
}

TEST_F(FolderEnumeratorTest, RecordsCarryTimes) {
    FileTime set = FileTimeFromUnix(1'500'000'000, 250'000'000);
    ASSERT_TRUE(SetLastWriteTime(dir.Path("file.txt"), set));
    auto records = ListFolder(dir.path());
    EXPECT_EQ(records["file.txt"].lastWriteTime, set);
    // Birth time when the file system keeps one, else the last-write time;
    // never empty.
    EXPECT_NE(records["file.txt"].creationTime, 0);
}

TEST_F(FolderEnumeratorTest, GetFindRecordMatchesTheListing) {
    auto records = ListFolder(dir.path());
    for (const char* name : {"file.txt", "sub", "link_to_folder", "dangling", ".hidden"}) {
        FindRecord single;
        ASSERT_TRUE(GetFindRecord(dir.Path(name), single)) << name;
        EXPECT_EQ(single.name, name);
        EXPECT_EQ(single.attributes, records[name].attributes) << name;
        EXPECT_EQ(single.size, records[name].size) << name;
    }
    FindRecord withSlash;
    ASSERT_TRUE(GetFindRecord(dir.Path("sub/"), withSlash));
    EXPECT_EQ(withSlash.name, "sub");
    EXPECT_EQ(GetAttributes(dir.Path("nothing")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(LastError(), ENOENT);
}

TEST_F(FolderEnumeratorTest, ExistenceFollowsLinks) {
    struct Case {
        const char* name;
        bool path, file, folder;
    };
    const Case cases[] = {
        {"file.txt", true, true, false},     {"sub", true, false, true},       {"link_to_folder", true, false, true},
        {"link_to_file", true, true, false}, {"dangling", true, false, false}, {"nothing", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathExists(dir.Path(c.name)), c.path) << c.name;
        EXPECT_EQ(FileExists(dir.Path(c.name)), c.file) << c.name;
        EXPECT_EQ(DirectoryExists(dir.Path(c.name)), c.folder) << c.name;
    }
    EXPECT_EQ(GetFileSize(dir.Path("link_to_file")), 5);
    EXPECT_EQ(GetFileSize(dir.Path("nothing")), -1);
}

TEST_F(FolderEnumeratorTest, KnownDeviceListsTheSameAndNeverFollowsALink) {
    auto records = ListFolder(dir.path());
    struct stat st;
    ASSERT_EQ(stat(dir.path().c_str(), &st), 0);
    FolderEnumerator plain(dir.path());
    EXPECT_EQ(plain.Device(), static_cast<std::uint64_t>(st.st_dev));

    FolderEnumerator known(dir.path(), st.st_dev);
    ASSERT_TRUE(known.IsOpen());
    EXPECT_EQ(known.Device(), static_cast<std::uint64_t>(st.st_dev));
    std::map<std::string, FindRecord> seen;
    FindRecord record;
    while (known.Next(record)) seen[record.name] = record;
    ASSERT_EQ(seen.size(), records.size());
    for (const auto& [name, expected] : records) {
        EXPECT_EQ(seen[name].attributes, expected.attributes) << name;
        EXPECT_EQ(seen[name].size, expected.size) << name;
        EXPECT_EQ(seen[name].lastWriteTime, expected.lastWriteTime) << name;
    }

    // A link put where a folder was is refused, not walked into.
    FolderEnumerator swapped(dir.Path("link_to_folder"), st.st_dev);
    EXPECT_FALSE(swapped.IsOpen());
    EXPECT_EQ(swapped.Device(), 0u);
}

TEST(FolderEnumerator, FolderLargerThanOneReadIsListedWhole) {
    TempDir dir;
    const std::string padding(60, 'x');
    for (int i = 0; i < 3000; ++i) dir.WriteFile(padding + std::to_string(i), "");
    auto records = ListFolder(dir.path());
    ASSERT_EQ(records.size(), 3000u);
    for (int i = 0; i < 3000; ++i) EXPECT_EQ(records.count(padding + std::to_string(i)), 1u) << i;
}

TEST(FolderEnumerator, MountPointInsideTheWalkIsAReparsePoint) {
    // /proc is its own file system below "/".
    FindRecord proc;
    bool found = false;
    FolderEnumerator root("/");
    while (root.Next(proc)) {
        if (proc.name == "proc") {
            found = true;
            break;
        }
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(proc.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(GetAttributes("/proc"), proc.attributes);
    // The root of roots is a plain folder named "/".
    FindRecord rootRecord;
    ASSERT_TRUE(GetFindRecord("/", rootRecord));
    EXPECT_EQ(rootRecord.name, "/");
    EXPECT_EQ(rootRecord.attributes & ~FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FolderEnumerator, MissingFolderReportsItsError) {
    TempDir dir;
    FolderEnumerator missing(dir.Path("nothing"));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Error(), ENOENT);
    FindRecord record;
    EXPECT_FALSE(missing.Next(record));

    std::string file = dir.WriteFile("file", "x");
    FolderEnumerator notFolder(file);
    EXPECT_EQ(notFolder.Error(), ENOTDIR);
}

TEST(DenyAccessBelow, RefusesReadsOfTheSubtreeOnly) {
    TempDir dir;
    std::string inside = dir.WriteFile("locked/a.txt", "secret");
    std::string sibling = dir.WriteFile("locked2/b.txt", "open");
    test_hooks::DenyAccessBelow(dir.Path("locked/"));

    FolderEnumerator folder(dir.Path("locked"));
    EXPECT_FALSE(folder.IsOpen());
    EXPECT_EQ(folder.Error(), EACCES);
    File file;
    EXPECT_FALSE(file.Open(inside, File::Mode::Read));
    EXPECT_EQ(LastError(), EACCES);
    EXPECT_FALSE(file.Open(inside, File::Mode::ReadWrite));
    std::string bytes;
    EXPECT_FALSE(ReadFileBytes(inside, bytes));
    EXPECT_EQ(LastError(), EACCES);
    EXPECT_FALSE(CopyFile(inside, dir.Path("copy"), false));
    EXPECT_FALSE(PathExists(dir.Path("copy")));

    // A name that merely starts with the same text is not below it.
    EXPECT_TRUE(ReadFileBytes(sibling, bytes));
    EXPECT_EQ(bytes, "open");
    // Listing the parent and writing are unaffected.
    EXPECT_TRUE(FolderEnumerator(dir.path()).IsOpen());
    EXPECT_TRUE(file.Open(inside, File::Mode::Append));
    file.Close();

    test_hooks::DenyAccessBelow("");
    EXPECT_TRUE(ReadFileBytes(inside, bytes));
    EXPECT_TRUE(FolderEnumerator(dir.Path("locked")).IsOpen());
}

}  // namespace
}  // namespace tandrel::platform
