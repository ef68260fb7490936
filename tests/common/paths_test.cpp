#include "common/paths.h"

#include <gtest/gtest.h>

#include "platform/current_folder.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

TEST(TrailingSeparator, AddRemoveAndJoin) {
    EXPECT_EQ(AddTrailingBackslash("/a"), "/a/");
    EXPECT_EQ(AddTrailingBackslash("/a/"), "/a/");
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(RemoveTrailingBackslash("/a/"), "/a");
    EXPECT_EQ(RemoveTrailingBackslash("/a//"), "/a/");
    EXPECT_EQ(RemoveTrailingBackslash("/"), "/");
    EXPECT_EQ(PathJoin("/a", "b.txt"), "/a/b.txt");
    EXPECT_EQ(PathJoin("/", "b.txt"), "/b.txt");
    EXPECT_EQ(PathJoin("", "b.txt"), "b.txt");
}

TEST(ParentFolder, WalksUpAndStopsAtTheRoot) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b", "/a/"}, {"/a/b/", "/a/"}, {"/a", "/"}, {"/a/", "/"},
        {"/", "/"},      {"name", "name"}, {"", ""},    {"rel/x", "rel/"},
    };
    for (auto [path, parent] : cases) EXPECT_EQ(ParentFolder(path), parent) << path;
    // Repeated application ends at the root instead of looping or emptying.
    std::string path = "/x/y/z";
    for (int i = 0; i < 5; ++i) path = ParentFolder(path);
    EXPECT_EQ(path, "/");
}

TEST(FileNameParts, NameFolderAndExtension) {
    EXPECT_EQ(ExtractFileName("/a/b.c.txt"), "b.c.txt");
    EXPECT_EQ(ExtractFileName("/a/"), "");
    EXPECT_EQ(ExtractFilePath("/a/b.txt"), "/a/");
    EXPECT_EQ(ExtractFilePath("b.txt"), "");
    EXPECT_EQ(ExtractFileExt("/a/b.c.txt"), ".txt");
    EXPECT_EQ(ExtractFileExt("/a.d/b"), "");
    EXPECT_EQ(ExtractFileExt("/a/.bashrc"), ".bashrc");
    EXPECT_EQ(ChangeFileExt("/a/b.snapshot", ".temp_snapshot"), "/a/b.temp_snapshot");
    EXPECT_EQ(ChangeFileExt("/a.d/b", ".ini"), "/a.d/b.ini");
    EXPECT_EQ(ChangeFileExt("/a/b.txt", ""), "/a/b");
}

TEST(NormalizePath, ResolvesDotsAndRepeatedSeparatorsByTextOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a//b/./c", "/a/b/c"}, {"/a/b/../c", "/a/c"}, {"/a/b/..", "/a/"}, {"/../..", "/"}, {"//", "/"},
        {"/a/b/", "/a/b/"},      {"a/../../b", "../b"}, {"./a/.", "a/"},    {"a/..", "."},   {"", ""},
    };
    for (auto [path, normal] : cases) EXPECT_EQ(NormalizePath(path), normal) << path;
}

TEST(NormalizePath, NeverFollowsLinks) {
    testing::TempDir dir;
    dir.MakeFolder("real/deep");
    std::string link = dir.Path("link");
    ASSERT_EQ(symlink(dir.Path("real/deep").c_str(), link.c_str()), 0);
    // The kernel would resolve link/.. to real/; the textual rule gives dir.
    EXPECT_EQ(NormalizePath(link + "/.."), dir.path() + "/");
}

TEST(ExpandFileName, MakesRelativePathsAbsoluteAgainstTheCurrentFolder) {
    testing::TempDir dir;
    std::string saved = platform::CurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(dir.path()));
    EXPECT_EQ(ExpandFileName("x/../y.txt"), dir.path() + "/y.txt");
    EXPECT_EQ(ExpandFileName("/abs/./p"), "/abs/p");
    platform::SetCurrentFolder(saved);
}

TEST(Unquote, RemovesOnePairOnly) {
    EXPECT_EQ(Unquote("\"/a b\""), "/a b");
    EXPECT_EQ(Unquote("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(Unquote("\"open"), "\"open");
    EXPECT_EQ(Unquote("\""), "\"");
    EXPECT_EQ(Unquote("\"\""), "");
}

TEST(ExeFolder, IsTheTestProgramsFolder) {
    const std::string& folder = ExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(LongPathName(folder), folder);
}

TEST(FileSizeOf, SizeOrZeroWhenMissing) {
    testing::TempDir dir;
    EXPECT_EQ(FileSizeOf(dir.WriteFile("f.bin", std::string(1234, 'x'))), 1234);
    EXPECT_EQ(FileSizeOf(dir.Path("missing")), 0);
}

}  // namespace
}  // namespace tandrel
