#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

namespace tandrel::platform {
namespace {

using testing::ReadBytes;
using testing::SmallTmpfs;
using testing::TempDir;

std::string InfoOf(const std::string& trash, const std::string& name) {
    return ReadBytes(trash + "/info/" + name + ".trashinfo");
}

TEST(Trash, FilesAndFoldersGoToTheHomeTrashWithTheirInfo) {
    TempDir dir;
    const std::string home = HomeTrashFolder();
    EXPECT_EQ(home, std::string(std::getenv("XDG_DATA_HOME")) + "/Trash");
    const std::string first = dir.WriteFile("a b%.txt", "one");
    std::string trashedAs;
    ASSERT_TRUE(MoveToTrash(first, &trashedAs)) << LastErrorText();
    EXPECT_EQ(trashedAs, home + "/files/a b%.txt");
    EXPECT_EQ(ReadBytes(trashedAs), "one");
    EXPECT_FALSE(PathExists(first));
    const std::string info = InfoOf(home, "a b%.txt");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dir.path() + "/a%20b%25.txt\nDeletionDate=", 0), 0u) << info;
    EXPECT_EQ(info.size(), std::string("[Trash Info]\nPath=\nDeletionDate=2024-01-01T00:00:00\n").size() +
                               (dir.path() + "/a%20b%25.txt").size());

    // The same name again gets a name of its own; a folder goes whole.
    dir.WriteFile("a b%.txt", "two");
    dir.WriteFile("folder/inner.txt", "inner");
    ASSERT_TRUE(MoveToTrash(dir.Path("a b%.txt"), &trashedAs));
    EXPECT_NE(trashedAs, home + "/files/a b%.txt");
    EXPECT_EQ(ReadBytes(trashedAs), "two");
    EXPECT_EQ(ReadBytes(home + "/files/a b%.txt"), "one");
    ASSERT_TRUE(MoveToTrash(dir.Path("folder/"), &trashedAs));
    EXPECT_EQ(ReadBytes(trashedAs + "/inner.txt"), "inner");
    EXPECT_FALSE(PathExists(dir.Path("folder")));
}

TEST(Trash, ALinkToAFolderIsTrashedAsTheLink) {
    TempDir dir;
    dir.WriteFile("target/keep.txt", "keep");
    ASSERT_EQ(symlink(dir.Path("target").c_str(), dir.Path("link").c_str()), 0);
    std::string trashedAs;
    ASSERT_TRUE(MoveToTrash(dir.Path("link"), &trashedAs));
    struct stat st;
    ASSERT_EQ(lstat(trashedAs.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(dir.Path("target/keep.txt")), "keep");
    EXPECT_FALSE(PathExists(dir.Path("link")));
}

TEST(Trash, AMissingItemLeavesNoInfoFile) {
    TempDir dir;
    EXPECT_FALSE(MoveToTrash(dir.Path("missing")));
    EXPECT_EQ(LastError(), ENOENT);
    EXPECT_FALSE(PathExists(HomeTrashFolder() + "/info/missing.trashinfo"));
}

TEST(Trash, AnotherFileSystemUsesItsOwnTopTrashAndNeverCopies) {
    SmallTmpfs fs;
    TANDREL_REQUIRE_TMPFS(fs);
    const std::string uid = std::to_string(getuid());
    TempDir outside;
    const std::string linkTarget = outside.MakeFolder("elsewhere");

    // No .Trash: $topdir/.Trash-$uid, with a relative Path.
    const std::string file = fs.Path("sub/f.txt");
    ASSERT_TRUE(ForceFolders(fs.Path("sub")) && WriteFileBytes(file, "f"));
    std::string trashedAs;
    ASSERT_TRUE(MoveToTrash(file, &trashedAs)) << LastErrorText();
    EXPECT_EQ(trashedAs, fs.Path(".Trash-" + uid + "/files/f.txt"));
    EXPECT_EQ(InfoOf(fs.Path(".Trash-" + uid), "f.txt").rfind("[Trash Info]\nPath=sub/f.txt\n", 0), 0u);

    // A .Trash that is a link is never used.
    ASSERT_EQ(symlink(linkTarget.c_str(), fs.Path(".Trash").c_str()), 0);
    ASSERT_TRUE(WriteFileBytes(fs.Path("g.txt"), "g"));
    ASSERT_TRUE(MoveToTrash(fs.Path("g.txt"), &trashedAs));
    EXPECT_EQ(trashedAs, fs.Path(".Trash-" + uid + "/files/g.txt"));
    EXPECT_FALSE(PathExists(linkTarget + "/" + uid));

    // A sticky .Trash folder: $topdir/.Trash/$uid.
    ASSERT_EQ(unlink(fs.Path(".Trash").c_str()), 0);
    ASSERT_EQ(mkdir(fs.Path(".Trash").c_str(), 01777), 0);
    ASSERT_EQ(chmod(fs.Path(".Trash").c_str(), 01777), 0);
    ASSERT_TRUE(WriteFileBytes(fs.Path("h.txt"), "h"));
    ASSERT_TRUE(MoveToTrash(fs.Path("h.txt"), &trashedAs));
    EXPECT_EQ(trashedAs, fs.Path(".Trash/" + uid + "/files/h.txt"));

    // The mount point itself stays where it is.
    EXPECT_FALSE(MoveToTrash(fs.path()));
    EXPECT_TRUE(DirectoryExists(fs.path()));
}

}  // namespace
}  // namespace tandrel::platform
