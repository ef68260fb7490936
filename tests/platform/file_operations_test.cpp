#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel::platform {
namespace {

using testing::ReadBytes;
using testing::TempDir;

TEST(FileIo, WritesReadsAndAppends) {
    TempDir dir;
    std::string path = dir.Path("data.bin");
    const std::string content("a\0b\r\nc", 6);
    ASSERT_TRUE(WriteFileBytes(path, content));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, content);
    ASSERT_TRUE(ReadFileBytes(path, bytes, 3));
    EXPECT_EQ(bytes, content.substr(0, 3));

    File file;
    ASSERT_TRUE(file.Open(path, File::Mode::Append));
    ASSERT_TRUE(file.Write("XY"));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadBytes(path), content + "XY");

    ASSERT_TRUE(file.Open(path, File::Mode::ReadWrite));
    EXPECT_EQ(file.Size(), 8);
    ASSERT_TRUE(file.Seek(1));
    ASSERT_TRUE(file.Write("Z"));
    ASSERT_TRUE(file.Seek(0));
    char head[3] = {};
    EXPECT_EQ(file.Read(head, 2), 2);
    EXPECT_EQ(std::string(head, 2), "aZ");
    file.Close();

    // Truncation on rewrite; reading a file the kernel reports as size 0.
    ASSERT_TRUE(WriteFileBytes(path, "new"));
    EXPECT_EQ(ReadBytes(path), "new");
    ASSERT_TRUE(ReadFileBytes("/proc/self/status", bytes));
    EXPECT_NE(bytes.find("Pid:"), std::string::npos);
}

TEST(FileIo, SyncNeedsAnOpenFile) {
    TempDir dir;
    File file;
    EXPECT_FALSE(file.Sync());
    EXPECT_EQ(LastError(), EBADF);
    ASSERT_TRUE(file.Open(dir.Path("synced"), File::Mode::CreateTruncate));
    EXPECT_TRUE(file.Write("abc") && file.Sync() && file.Close());
    EXPECT_EQ(ReadBytes(dir.Path("synced")), "abc");
}

TEST(FileIo, TemporaryFileHasNoNameAndReadsBack) {
    TempDir dir;
    File file;
    ASSERT_TRUE(file.OpenTemporary(dir.path()));
    ASSERT_TRUE(file.Write(std::string_view("spilled bytes")));
    ASSERT_TRUE(file.Seek(0));
    char back[13] = {};
    EXPECT_EQ(file.Read(back, sizeof back), 13);
    EXPECT_EQ(std::string(back, 13), "spilled bytes");
    FolderEnumerator entries(dir.path());
    FindRecord record;
    EXPECT_FALSE(entries.Next(record)) << record.name;  // nothing named is left behind
    EXPECT_FALSE(File().OpenTemporary(dir.Path("missing")));
}

TEST(FileIo, RefusedOpensReportTheirError) {
    TempDir dir;
    struct Case {
        std::string path;
        File::Mode mode;
        int error;
    };
    const Case cases[] = {
        {dir.Path("missing"), File::Mode::Read, ENOENT},
        {dir.Path("missing"), File::Mode::ReadWrite, ENOENT},  // never creates
        {dir.path(), File::Mode::Read, EISDIR},
        {dir.Path("no/such/folder/f"), File::Mode::CreateTruncate, ENOENT},
    };
    for (const Case& c : cases) {
        File file;
        EXPECT_FALSE(file.Open(c.path, c.mode)) << c.path;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(LastError(), c.error) << c.path;
    }
    EXPECT_FALSE(LastErrorText().empty());
    std::string bytes = "stale";
    EXPECT_FALSE(ReadFileBytes(dir.Path("missing"), bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(PathExists(dir.Path("missing")));
}

TEST(CopyFile, KeepsContentAndLastWriteTime) {
    TempDir dir;
    std::string source = dir.WriteFile("source.txt", std::string(200'000, 'q') + "end");
    FileTime stamp = FileTimeFromUnix(1'000'000'000, 500'000'000);
    ASSERT_TRUE(SetLastWriteTime(source, stamp));

    std::string target = dir.Path("target.txt");
    ASSERT_TRUE(CopyFile(source, target, true));
    EXPECT_EQ(ReadBytes(target), ReadBytes(source));
    FileTime copied = 0;
    ASSERT_TRUE(GetFileTimes(target, nullptr, &copied));
    EXPECT_EQ(copied, stamp);

    // failIfExists refuses and leaves the target alone; otherwise it is overwritten.
    ASSERT_TRUE(WriteFileBytes(target, "other"));
    EXPECT_FALSE(CopyFile(source, target, true));
    EXPECT_EQ(LastError(), EEXIST);
    EXPECT_EQ(ReadBytes(target), "other");
    ASSERT_TRUE(CopyFile(source, target, false));
    EXPECT_EQ(ReadBytes(target), ReadBytes(source));
}

TEST(CopyFile, NeverDestroysTheSourceOrLeavesAPartialTarget) {
    TempDir dir;
    std::string source = dir.WriteFile("a.txt", "precious");
    // The same file under another name: overwriting would truncate the source.
    ASSERT_EQ(symlink("a.txt", dir.Path("alias").c_str()), 0);
    EXPECT_FALSE(CopyFile(source, dir.Path("alias"), false));
    EXPECT_FALSE(CopyFile(source, source, false));
    EXPECT_EQ(ReadBytes(source), "precious");

    EXPECT_FALSE(CopyFile(dir.Path("missing"), dir.Path("t"), false));
    EXPECT_EQ(LastError(), ENOENT);
    EXPECT_FALSE(PathExists(dir.Path("t")));
    EXPECT_FALSE(CopyFile(dir.path(), dir.Path("t"), false));
    EXPECT_EQ(LastError(), EISDIR);
}

TEST(MoveFile, RenamesWithoutReplacing) {
    TempDir dir;
    std::string source = dir.WriteFile("a.txt", "A");
    std::string target = dir.Path("sub/b.txt");
    ASSERT_TRUE(ForceFolders(dir.Path("sub")));
    ASSERT_TRUE(MoveFile(source, target));
    EXPECT_FALSE(PathExists(source));
    EXPECT_EQ(ReadBytes(target), "A");

    // An existing target is kept: replacing it would lose a file silently.
    std::string other = dir.WriteFile("c.txt", "C");
    EXPECT_FALSE(MoveFile(other, target));
    EXPECT_EQ(LastError(), EEXIST);
    EXPECT_EQ(ReadBytes(target), "A");
    EXPECT_EQ(ReadBytes(other), "C");

    EXPECT_FALSE(MoveFile(dir.Path("missing"), dir.Path("x")));
    EXPECT_EQ(LastError(), ENOENT);
}

TEST(ReplaceFile, ReplacesTheTargetInOneStep) {
    TempDir dir;
    std::string fresh = dir.WriteFile("new.tmp", "new");
    std::string target = dir.WriteFile("kept.txt", "old");
    ASSERT_TRUE(ReplaceFile(fresh, target));
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_FALSE(PathExists(fresh));
    EXPECT_FALSE(ReplaceFile(dir.Path("missing"), target));
    EXPECT_EQ(LastError(), ENOENT);
    EXPECT_EQ(ReadBytes(target), "new");
}

TEST(MoveFile, CopiesThenDeletesAcrossFileSystems) {
    TempDir dir;
    char shm[] = "/dev/shm/tandrel_move_XXXXXX";
    if (access("/dev/shm", W_OK) != 0 || !mkdtemp(shm)) GTEST_SKIP() << "no /dev/shm";
    struct stat a, b;
    stat(shm, &a);
    stat(dir.path().c_str(), &b);
    if (a.st_dev == b.st_dev) {
        rmdir(shm);
        GTEST_SKIP() << "/dev/shm is on the same file system";
    }
    std::string source = dir.WriteFile("moved.txt", "payload");
    FileTime stamp = FileTimeFromUnix(1'234'567'890, 0);
    ASSERT_TRUE(SetLastWriteTime(source, stamp));
    std::string target = std::string(shm) + "/moved.txt";
    std::string link = std::string(shm) + "/link";
    ASSERT_EQ(symlink("moved.txt", dir.Path("link").c_str()), 0);

    EXPECT_TRUE(MoveFile(source, target));
    EXPECT_TRUE(MoveFile(dir.Path("link"), link));
    EXPECT_FALSE(PathExists(source));
    EXPECT_EQ(ReadBytes(target), "payload");
    FileTime moved = 0;
    EXPECT_TRUE(GetFileTimes(target, nullptr, &moved));
    EXPECT_EQ(moved, stamp);
    FindRecord record;
    EXPECT_TRUE(GetFindRecord(link, record));
    EXPECT_TRUE(record.IsReparsePoint());
    EXPECT_EQ(ReadBytes(link), "payload");  // the link still points beside itself

    unlink(link.c_str());
    unlink(target.c_str());
    rmdir(shm);
}

TEST(Folders, CreateForceAndRemove) {
    TempDir dir;
    std::string deep = dir.Path("a/b/c/");
    EXPECT_TRUE(ForceFolders(deep));
    EXPECT_TRUE(DirectoryExists(dir.Path("a/b/c")));
    EXPECT_TRUE(ForceFolders(deep));  // existing is fine
    std::string file = dir.WriteFile("file", "x");
    EXPECT_FALSE(ForceFolders(file + "/below"));

    EXPECT_TRUE(CreateFolder(dir.Path("new")));
    EXPECT_FALSE(CreateFolder(dir.Path("new")));
    EXPECT_EQ(LastError(), EEXIST);

    EXPECT_FALSE(RemoveFolder(dir.Path("a")));  // not empty
    EXPECT_TRUE(RemoveFolder(dir.Path("a/b/c")));
    EXPECT_FALSE(DirectoryExists(dir.Path("a/b/c")));
}

TEST(Files, DeleteRemovesTheLinkNotItsTarget) {
    TempDir dir;
    std::string target = dir.WriteFile("target", "keep");
    ASSERT_EQ(symlink("target", dir.Path("link").c_str()), 0);
    EXPECT_TRUE(DeleteFile(dir.Path("link")));
    EXPECT_FALSE(PathExists(dir.Path("link")));
    EXPECT_EQ(ReadBytes(target), "keep");
    EXPECT_TRUE(DeleteFile(target));
    EXPECT_FALSE(DeleteFile(target));
    EXPECT_EQ(LastError(), ENOENT);
}

TEST(Files, SetAttributesNormalGivesWritePermission) {
    TempDir dir;
    std::string file = dir.WriteFile("ro", "x");
    chmod(file.c_str(), 0444);
    EXPECT_EQ(GetAttributes(file), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(SetAttributesNormal(file));
    EXPECT_EQ(GetAttributes(file), FILE_ATTRIBUTE_ARCHIVE);
    struct stat st;
    stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(SetAttributesNormal(dir.Path("missing")));
}

TEST(Files, SetExecutableFollowsTheReadBits) {
    TempDir dir;
    std::string file = dir.WriteFile("script", "x");
    const struct {
        mode_t before, after;
    } cases[] = {{0644, 0755}, {0600, 0700}, {0640, 0750}, {0755, 0755}, {0200, 0300}};
    for (const auto& c : cases) {
        chmod(file.c_str(), c.before);
        EXPECT_TRUE(SetExecutable(file));
        struct stat st;
        stat(file.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, c.after) << std::oct << c.before;
    }
    EXPECT_FALSE(SetExecutable(dir.Path("missing")));
    EXPECT_EQ(LastError(), ENOENT);
}

TEST(System, FreeSpaceAndExecutablePath) {
    TempDir dir;
    EXPECT_GT(GetDiskFreeBytes(dir.path()), 0);
    EXPECT_EQ(GetDiskFreeBytes(dir.Path("missing")), -1);
    std::string exe = ExecutablePath();
    EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "file_operations_test");
    EXPECT_TRUE(FileExists(exe));
}

}  // namespace
}  // namespace tandrel::platform
