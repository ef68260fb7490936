#include "common/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "common/types.h"
#include "platform/file_system.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

void SetTime(const std::string& path, std::int64_t unixSeconds) {
    ASSERT_TRUE(platform::SetLastWriteTime(path, platform::FileTimeFromUnix(unixSeconds, 0)));
}

// Makes a permanent failure of both delete routines: the access hook stops
// the enumeration of the folder, so its content and the folder stay.
class DenyAccess {
public:
    explicit DenyAccess(const std::string& path) { platform::test_hooks::DenyAccessBelow(path); }
    ~DenyAccess() { platform::test_hooks::DenyAccessBelow(""); }
};

TEST(MakeFileNameSafe, ReplacesUnsafeCharactersAndCollapsesRuns) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Data", "D_Data"},
        {"/mnt/data", "_mnt_data"},
        {"a<>b", "a_b"},
        {"a*?:|b", "a_b"},     // four in a row collapse to one
        {"a\"<>|/b", "a__b"},  // five leave two
        {"keep '+,-.[]^_~ 09AZaz", "keep '+,-.[]^_~ 09AZaz"},
        {"r\xC3\xA9sum\xC3\xA9?.txt", "r\xC3\xA9sum\xC3\xA9_.txt"},  // UTF-8 stays
        {"tab\there\n", "tab_here_"},
        {"", ""},
    };
    for (auto [text, safe] : cases) EXPECT_EQ(MakeFileNameSafe(text), safe) << text;
    EXPECT_EQ(MakeFileNamePartSafe("/tmp/a:b/c?d*.txt"), "/tmp/a:b/c_d_.txt");
}

TEST(MakeUniqueFileName, CountsUpFromOneWithFiveDigits) {
    TempDir dir;
    std::string path = dir.Path("a.snapshot");
    EXPECT_EQ(MakeUniqueFileName(path), path);
    dir.WriteFile("a.snapshot", "x");
    EXPECT_EQ(MakeUniqueFileName(path), dir.Path("a_00001.snapshot"));
    dir.WriteFile("a_00001.snapshot", "x");
    EXPECT_EQ(MakeUniqueFileName(path), dir.Path("a_00002.snapshot"));
    // A folder of that name blocks the name as much as a file does.
    dir.MakeFolder("x.d/name");
    EXPECT_EQ(MakeUniqueFileName(dir.Path("x.d/name")), dir.Path("x.d/name_00001"));
}

TEST(ForceFileFolder, CreatesMissingParents) {
    TempDir dir;
    EXPECT_TRUE(ForceFileFolder(dir.Path("a/b/c/file.txt")));
    EXPECT_TRUE(platform::DirectoryExists(dir.Path("a/b/c")));
    EXPECT_FALSE(platform::PathExists(dir.Path("a/b/c/file.txt")));
}

TEST(WriteFileReplacing, NewContentAppearsInOneStepAndFailuresLeaveNothing) {
    TempDir dir;
    const std::string file = dir.WriteFile("entry", "old");
    ASSERT_TRUE(WriteFileReplacing(
        file, [](platform::AtomicFile& out) { return out.Write("new"); }, ReplaceOptions{.executable = true}));
    EXPECT_EQ("new", ReadBytes(file));
    struct stat st {};
    ASSERT_EQ(0, stat(file.c_str(), &st));
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    // A writer that fails, and a target that is a folder: the old state stays
    // and no temporary file is left beside it.
    EXPECT_FALSE(WriteFileReplacing(file, [](platform::AtomicFile& out) { return out.Write("half") && false; }));
    EXPECT_EQ("new", ReadBytes(file));
    dir.MakeFolder("folder");
    EXPECT_FALSE(WriteFileReplacing(dir.Path("folder"), [](platform::AtomicFile& out) { return out.Write("x"); }));
    EXPECT_FALSE(
        WriteFileReplacing(dir.Path("missing/file"), [](platform::AtomicFile& out) { return out.Write("x"); }));
    std::vector<std::string> names;
    platform::FolderEnumerator list(dir.path());
    platform::FindRecord record;
    while (list.Next(record)) names.push_back(record.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"entry", "folder"}), names);
}

TEST(IsFolderWritable, ProbesWithoutLeavingOrHarmingFiles) {
    TempDir dir;
    EXPECT_TRUE(IsFolderWritable(dir.path()));
    EXPECT_TRUE(ListFileNames(dir.path()).empty());

    // A user's file with the probe's name survives the probe.
    std::string own = dir.WriteFile("TestPermissions.ini", "mine");
    EXPECT_TRUE(IsFolderWritable(dir.path() + "/"));
    EXPECT_EQ(ReadBytes(own), "mine");
    EXPECT_EQ(ListFileNames(dir.path()), std::vector<std::string>{"TestPermissions.ini"});

    EXPECT_FALSE(IsFolderWritable(dir.Path("missing")));
    EXPECT_FALSE(IsFolderWritable(own));
    EXPECT_FALSE(IsFolderWritable(""));
}

TEST(MatchesMask, WildcardsIgnoringCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    };
    const Case cases[] = {
        {"a.txt", "*.txt", true},      {"A.TXT", "*.txt", true},
        {"a.txt.bak", "*.txt", false}, {"noext", "*.*", true},
        {"noext", "", true},           {"abc", "a*.*", true},
        {"abc.d", "a?c.*", true},      {"ac.d", "a?c.*", false},
        {"x.ini", "*.ini", true},      {"\xC3\x84x", "\xC3\xA4?", true},  // "Äx" against "ä?": one code point per "?"
        {"aXbXc", "a*b*c", true},      {"aXbXd", "a*b*c", false},
        {"abc", "abc", true},          {"ab", "abc", false},
        {".hidden", "*.*", true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " " << c.mask;
}

TEST(ListFiles, OnlyFilesDirectlyInTheFolderMatchingTheMask) {
    TempDir dir;
    dir.WriteFile("one.txt", "1");
    dir.WriteFile("TWO.TXT", "2");
    dir.WriteFile("noext", "3");
    dir.WriteFile("sub/inner.txt", "4");
    dir.MakeFolder("folder.txt");
    TempDir outside;
    outside.MakeFolder("target.txt");
    ASSERT_EQ(symlink(outside.Path("target.txt").c_str(), dir.Path("linked.txt").c_str()), 0);

    EXPECT_EQ(Sorted(ListFileNames(dir.path(), "*.txt")), (std::vector<std::string>{"TWO.TXT", "one.txt"}));
    EXPECT_EQ(Sorted(ListFileNames(dir.path())), (std::vector<std::string>{"TWO.TXT", "noext", "one.txt"}));
    EXPECT_EQ(Sorted(ListFilePaths(dir.path(), "*.TXT")),
              (std::vector<std::string>{dir.Path("TWO.TXT"), dir.Path("one.txt")}));
    EXPECT_TRUE(ListFileNames(dir.Path("missing")).empty());
}

TEST(ListFiles, ByDateOldestFirst) {
    TempDir dir;
    SetTime(dir.WriteFile("new.log", "x"), 1'700'000'000);
    SetTime(dir.WriteFile("old.log", "x"), 1'500'000'000);
    SetTime(dir.WriteFile("mid.log", "x"), 1'600'000'000);
    SetTime(dir.WriteFile("other.txt", "x"), 1'000'000'000);
    EXPECT_EQ(ListFileNamesByDate(dir.path(), "*.log"), (std::vector<std::string>{"old.log", "mid.log", "new.log"}));
}

TEST(DeleteFileIfExists, TrueWhenGone) {
    TempDir dir;
    std::string file = dir.WriteFile("f", "x");
    EXPECT_TRUE(DeleteFileIfExists(file));
    EXPECT_FALSE(platform::PathExists(file));
    EXPECT_TRUE(DeleteFileIfExists(file));
    // A folder is not a file: it stays and the answer says so.
    EXPECT_FALSE(DeleteFileIfExists(dir.MakeFolder("folder")));
}

TEST(IsReadOnlyOrHidden, ReadOnlyBitOrDotName) {
    TempDir dir;
    std::string readOnly = dir.WriteFile("ro", "x");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    EXPECT_TRUE(IsReadOnlyOrHidden(readOnly));
    EXPECT_TRUE(IsReadOnlyOrHidden(dir.WriteFile(".hidden", "x")));
    EXPECT_FALSE(IsReadOnlyOrHidden(dir.WriteFile("plain", "x")));
    EXPECT_FALSE(IsReadOnlyOrHidden(dir.Path("missing")));
}

TEST(DeleteFileEx, DeletesReadOnlyFilesSilently) {
    TempDir dir;
    RecordingMessages messages;
    std::string file = dir.WriteFile("ro.txt", "x");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_TRUE(DeleteFileEx(file, true));
    EXPECT_FALSE(platform::PathExists(file));
    EXPECT_TRUE(DeleteFileEx(dir.Path("missing"), true));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DeleteFileEx, ReportsFailureOnlyWithMessagesOnAndCtrlUp) {
    TempDir dir;
    RecordingMessages messages;
    // unlink refuses a folder, which makes a failure that even root sees.
    std::string stubborn = dir.MakeFolder("stubborn");
    EXPECT_FALSE(DeleteFileEx(stubborn, false));
    EXPECT_TRUE(messages.shown.empty());
    messages.ctrlHeld = true;
    EXPECT_FALSE(DeleteFileEx(stubborn, true));
    EXPECT_TRUE(messages.shown.empty());
    messages.ctrlHeld = false;
    EXPECT_FALSE(DeleteFileEx(stubborn, true));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not delete file: " + stubborn});
}

TEST(DeleteFolderEx, RemovesTheWholeTreeIncludingReadOnlyParts) {
    TempDir dir;
    RecordingMessages messages;
    std::string root = dir.MakeFolder("root");
    dir.WriteFile("root/a.txt", "a");
    dir.WriteFile("root/.hidden/b.txt", "b");
    std::string locked = dir.WriteFile("root/locked/c.txt", "c");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.Path("root/locked").c_str(), 0555), 0);
    EXPECT_TRUE(DeleteFolderEx(root, true));
    EXPECT_FALSE(platform::PathExists(root));
    EXPECT_TRUE(DeleteFolderEx(root, true));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DeleteFolderEx, RemovesLinksButNeverWhatTheyPointTo) {
    TempDir dir;
    TempDir outside;
    std::string precious = outside.WriteFile("keep/precious.txt", "data");
    std::string root = dir.MakeFolder("root");
    ASSERT_EQ(symlink(outside.Path("keep").c_str(), dir.Path("root/link").c_str()), 0);
    ASSERT_EQ(symlink(precious.c_str(), dir.Path("root/filelink").c_str()), 0);
    ASSERT_EQ(symlink(outside.Path("keep").c_str(), dir.Path("toplink").c_str()), 0);

    EXPECT_TRUE(DeleteFolderEx(root, false));
    EXPECT_FALSE(platform::PathExists(root));
    // The link itself given as the folder goes as a link.
    EXPECT_TRUE(DeleteFolderEx(dir.Path("toplink"), false));
    EXPECT_FALSE(platform::PathExists(dir.Path("toplink")));
    EXPECT_EQ(ReadBytes(precious), "data");
}

TEST(DeleteFolderEx, ReportsFailureOnlyWithMessagesOnAndCtrlUp) {
    TempDir dir;
    RecordingMessages messages;
    std::string root = dir.MakeFolder("root");
    std::string inner = dir.WriteFile("root/sub/inner.txt", "x");
    DenyAccess deny(dir.Path("root/sub"));

    EXPECT_FALSE(DeleteFolderEx(root, false));
    messages.ctrlHeld = true;
    EXPECT_FALSE(DeleteFolderEx(root, true));
    EXPECT_TRUE(messages.shown.empty());
    messages.ctrlHeld = false;
    EXPECT_FALSE(DeleteFolderEx(root, true));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not delete directory: " + root});
    EXPECT_TRUE(platform::PathExists(inner));
}

TEST(CopyAndMove, CreateTheTargetFolderAndOverwrite) {
    TempDir dir;
    std::string source = dir.WriteFile("src.txt", "new content");
    std::string target = dir.Path("deep/er/copy.txt");
    EXPECT_TRUE(CopyFileEx(source, target));
    EXPECT_EQ(ReadBytes(target), "new content");
    dir.WriteFile("deep/er/other.txt", "old content that is longer");
    EXPECT_TRUE(CopyFileEx(source, dir.Path("deep/er/other.txt")));
    EXPECT_EQ(ReadBytes(dir.Path("deep/er/other.txt")), "new content");
    // Copying a file onto itself must not empty it.
    CopyFileEx(source, dir.path() + "/./src.txt");
    EXPECT_EQ(ReadBytes(source), "new content");
    EXPECT_FALSE(CopyFileEx(dir.Path("missing"), dir.Path("x/y.txt")));

    std::string moved = dir.Path("moved/to/here.txt");
    EXPECT_TRUE(MoveFileEx(source, moved));
    EXPECT_FALSE(platform::PathExists(source));
    EXPECT_EQ(ReadBytes(moved), "new content");
}

TEST(CopyFileTime, GivesTheTargetTheSourcesLastWriteTime) {
    TempDir dir;
    std::string source = dir.WriteFile("a", "x");
    std::string target = dir.WriteFile("b", "y");
    SetTime(source, 1'234'567'890);
    EXPECT_TRUE(CopyFileTime(source, target));
    platform::FileTime a = 0, b = 0;
    ASSERT_TRUE(platform::GetFileTimes(source, nullptr, &a));
    ASSERT_TRUE(platform::GetFileTimes(target, nullptr, &b));
    EXPECT_EQ(a, b);
    EXPECT_FALSE(CopyFileTime(dir.Path("missing"), target));
}

TEST(ShortcutTarget, AbsoluteNormalisedTargetOfALinkOnly) {
    TempDir dir;
    const std::string file = dir.WriteFile("sub/file.txt", "x");
    dir.MakeFolder("links");
    struct Case {
        const char* link;
        std::string stored, expected;
    };
    const Case cases[] = {
        {"links/absolute", file, file},
        {"links/relative", "../sub/./file.txt", file},
        {"links/dangling", "gone/far", dir.Path("links/gone/far")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        ASSERT_EQ(symlink(c.stored.c_str(), dir.Path(c.link).c_str()), 0);
        EXPECT_EQ(ShortcutTarget(dir.Path(c.link)), c.expected);
    }
    EXPECT_EQ(ShortcutTarget(file), "");
    EXPECT_EQ(ShortcutTarget(dir.Path("missing")), "");
}

}  // namespace
}  // namespace tandrel
