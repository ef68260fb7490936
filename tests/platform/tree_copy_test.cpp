#include "platform/tree_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

namespace tandrel::platform {
namespace {

using testing::ReadBytes;
using testing::SmallTmpfs;
using testing::TempDir;

struct Recorder {
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, std::string>> conflicts;
    ConflictAnswer answer = ConflictAnswer::Skip;
    TreeCopyCallbacks callbacks;
    Recorder() {
        callbacks.failure = [this](const std::string& line) { lines.push_back(line); };
        callbacks.conflict = [this](const std::string& source, const std::string& target) {
            conflicts.emplace_back(source, target);
            return answer;
        };
        callbacks.keepBothName = [](const std::string& target) { return target + "_stamp"; };
    }
};

std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st.st_ino;
}

FileTime WriteTime(const std::string& path) {
    FileTime time = 0;
    GetFileTimes(path, nullptr, &time);
    return time;
}

// src/tree: a file, a subfolder with a file, a link to an outside folder and
// a link to a file; src/single.txt beside it.
void MakeTree(const TempDir& dir) {
    dir.WriteFile("src/tree/a.txt", "alpha");
    dir.WriteFile("src/tree/sub/b.bin", std::string(70000, 'b'));
    dir.WriteFile("outside/kept.txt", "kept");
    ASSERT_EQ(symlink(dir.Path("outside").c_str(), dir.Path("src/tree/to_outside").c_str()), 0);
    ASSERT_EQ(symlink("a.txt", dir.Path("src/tree/to_a").c_str()), 0);
    dir.WriteFile("src/single.txt", "single");
    ASSERT_TRUE(SetLastWriteTime(dir.Path("src/tree/sub/b.bin"), FileTimeFromUnix(1'000'000'000, 0)));
    dir.MakeFolder("dest");
}

void ExpectTreeCopied(const TempDir& dir, const std::string& root, const std::string& into) {
    EXPECT_EQ(ReadBytes(into + "/tree/a.txt"), "alpha");
    EXPECT_EQ(ReadBytes(into + "/tree/sub/b.bin"), std::string(70000, 'b'));
    EXPECT_EQ(WriteTime(into + "/tree/sub/b.bin"), FileTimeFromUnix(1'000'000'000, 0));
    // Links stay links to the same place; what they point to is not copied.
    EXPECT_EQ(LinkTarget(into + "/tree/to_outside"), dir.Path("outside"));
    EXPECT_EQ(LinkTarget(into + "/tree/to_a"), "a.txt");
    EXPECT_EQ(ReadBytes(into + "/single.txt"), "single");
    EXPECT_EQ(ReadBytes(dir.Path("outside/kept.txt")), "kept");
    (void)root;
}

TEST(TreeCopy, CopiesItemsFlatIntoTheDestinationKeepingTimesAndLinks) {
    TempDir dir;
    MakeTree(dir);
    Recorder recorder;
    std::vector<std::string> progressItems;
    recorder.callbacks.progress = [&](const std::string& item, std::int64_t) { progressItems.push_back(item); };
    TreeCopyReport report = CopyOrMoveTree(TreeOperation::Copy, {dir.Path("src/tree/"), dir.Path("src/single.txt")},
                                           dir.Path("dest"), recorder.callbacks);
    EXPECT_TRUE(recorder.lines.empty()) << recorder.lines.front();
    ASSERT_EQ(report.outcomes, (std::vector<ItemOutcome>{ItemOutcome::Done, ItemOutcome::Done}));
    EXPECT_EQ(report.targets[0], dir.Path("dest/tree"));
    EXPECT_EQ(report.filesCopied, 3);
    EXPECT_EQ(report.bytesCopied, 5 + 70000 + 6);
    EXPECT_FALSE(progressItems.empty());
    ExpectTreeCopied(dir, dir.Path("src"), dir.Path("dest"));
    // The sources are untouched.
    EXPECT_EQ(ReadBytes(dir.Path("src/tree/a.txt")), "alpha");
    EXPECT_EQ(ReadBytes(dir.Path("src/single.txt")), "single");
}

TEST(TreeCopy, MoveWithinOneFileSystemIsARenameOfTheItem) {
    TempDir dir;
    MakeTree(dir);
    const ino_t folder = Inode(dir.Path("src/tree"));
    Recorder recorder;
    TreeCopyReport report = CopyOrMoveTree(TreeOperation::Move, {dir.Path("src/tree"), dir.Path("src/single.txt")},
                                           dir.Path("dest"), recorder.callbacks);
    ASSERT_EQ(report.outcomes, (std::vector<ItemOutcome>{ItemOutcome::Done, ItemOutcome::Done}));
    EXPECT_EQ(report.filesCopied, 0);
    EXPECT_EQ(Inode(dir.Path("dest/tree")), folder);
    EXPECT_FALSE(PathExists(dir.Path("src/tree")));
    EXPECT_FALSE(PathExists(dir.Path("src/single.txt")));
    ExpectTreeCopied(dir, dir.Path("src"), dir.Path("dest"));
}

TEST(TreeCopy, NameConflictsFollowTheAnswer) {
    struct Case {
        TreeOperation operation;
        ConflictAnswer answer;
        ItemOutcome outcome;
        const char* targetContent;   // the name in the destination afterwards
        const char* stampedContent;  // the time-stamped name ("" = absent)
        bool sourceLeft;
    };
    const Case cases[] = {
        {TreeOperation::Copy, ConflictAnswer::Replace, ItemOutcome::Done, "new", "", true},
        {TreeOperation::Copy, ConflictAnswer::Skip, ItemOutcome::Skipped, "old", "", true},
        {TreeOperation::Copy, ConflictAnswer::KeepBoth, ItemOutcome::Done, "old", "new", true},
        {TreeOperation::Copy, ConflictAnswer::Cancel, ItemOutcome::Cancelled, "old", "", true},
        {TreeOperation::Move, ConflictAnswer::Replace, ItemOutcome::Done, "new", "", false},
        {TreeOperation::Move, ConflictAnswer::Skip, ItemOutcome::Skipped, "old", "", true},
        {TreeOperation::Move, ConflictAnswer::KeepBoth, ItemOutcome::Done, "old", "new", false},
        {TreeOperation::Move, ConflictAnswer::Cancel, ItemOutcome::Cancelled, "old", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.operation)) + "/" + std::to_string(static_cast<int>(c.answer)));
        TempDir dir;
        const std::string source = dir.WriteFile("src/f.txt", "new");
        dir.WriteFile("src/later.txt", "later");
        const std::string target = dir.WriteFile("dest/f.txt", "old");
        Recorder recorder;
        recorder.answer = c.answer;
        TreeCopyReport report =
            CopyOrMoveTree(c.operation, {source, dir.Path("src/later.txt")}, dir.Path("dest"), recorder.callbacks);
        ASSERT_EQ(recorder.conflicts.size(), 1u);
        EXPECT_EQ(recorder.conflicts[0].second, target);
        EXPECT_EQ(report.outcomes[0], c.outcome);
        EXPECT_EQ(ReadBytes(target), c.targetContent);
        EXPECT_EQ(ReadBytes(target + "_stamp"), c.stampedContent);
        EXPECT_EQ(PathExists(source), c.sourceLeft);
        // Cancel ends the whole run; the other answers go on.
        EXPECT_EQ(report.outcomes[1], c.answer == ConflictAnswer::Cancel ? ItemOutcome::Cancelled : ItemOutcome::Done);
        EXPECT_EQ(report.cancelled, c.answer == ConflictAnswer::Cancel);
        // Nothing half-made is left behind.
        EXPECT_FALSE(PathExists(dir.Path("dest/later.txt")) && c.answer == ConflictAnswer::Cancel);
        int entries = 0;
        FolderEnumerator listing(dir.Path("dest"));
        FindRecord record;
        while (listing.Next(record)) ++entries;
        EXPECT_EQ(entries, 1 + (c.stampedContent[0] ? 1 : 0) + (c.answer == ConflictAnswer::Cancel ? 0 : 1));
    }
}

TEST(TreeCopy, ReplacingAFolderSwapsInTheWholeNewOne) {
    for (TreeOperation operation : {TreeOperation::Copy, TreeOperation::Move}) {
        TempDir dir;
        dir.WriteFile("src/box/new.txt", "new");
        dir.WriteFile("dest/box/old.txt", "old");
        Recorder recorder;
        recorder.answer = ConflictAnswer::Replace;
        TreeCopyReport report = CopyOrMoveTree(operation, {dir.Path("src/box")}, dir.Path("dest"), recorder.callbacks);
        EXPECT_EQ(report.outcomes[0], ItemOutcome::Done);
        EXPECT_EQ(ReadBytes(dir.Path("dest/box/new.txt")), "new");
        EXPECT_FALSE(PathExists(dir.Path("dest/box/old.txt")));
        EXPECT_EQ(PathExists(dir.Path("src/box")), operation == TreeOperation::Copy);
        EXPECT_TRUE(recorder.lines.empty());
    }
}

TEST(TreeCopy, RefusesToReplaceAnItemByItselfOrCopyAFolderIntoItself) {
    TempDir dir;
    const std::string file = dir.WriteFile("src/f.txt", "keep");
    dir.MakeFolder("src/box/inner");
    Recorder recorder;
    recorder.answer = ConflictAnswer::Replace;
    TreeCopyReport report = CopyOrMoveTree(TreeOperation::Copy, {file}, dir.Path("src"), recorder.callbacks);
    EXPECT_EQ(report.outcomes[0], ItemOutcome::Failed);
    EXPECT_EQ(ReadBytes(file), "keep");
    report = CopyOrMoveTree(TreeOperation::Copy, {dir.Path("src/box")}, dir.Path("src/box/inner"), recorder.callbacks);
    EXPECT_EQ(report.outcomes[0], ItemOutcome::Failed);
    EXPECT_FALSE(PathExists(dir.Path("src/box/inner/box")));
    ASSERT_EQ(recorder.lines.size(), 2u);
    EXPECT_EQ(recorder.lines[1], "Could not copy file to : " + dir.Path("src/box/inner/box") + " (Invalid argument)");
    // Keep both beside itself is the ordinary duplicate.
    recorder.answer = ConflictAnswer::KeepBoth;
    report = CopyOrMoveTree(TreeOperation::Copy, {file}, dir.Path("src"), recorder.callbacks);
    EXPECT_EQ(ReadBytes(file + "_stamp"), "keep");
}

TEST(TreeCopy, AnUnreadableFileIsReportedAndTheRestCopied) {
    TempDir dir;
    MakeTree(dir);
    test_hooks::DenyAccessBelow(dir.Path("src/tree/sub/b.bin"));
    Recorder recorder;
    TreeCopyReport report =
        CopyOrMoveTree(TreeOperation::Copy, {dir.Path("src/tree")}, dir.Path("dest"), recorder.callbacks);
    test_hooks::DenyAccessBelow("");
    EXPECT_EQ(report.outcomes[0], ItemOutcome::Failed);
    ASSERT_EQ(recorder.lines.size(), 1u);
    EXPECT_EQ(recorder.lines[0],
              "Could not copy file to : " + dir.Path("dest/tree/sub/b.bin") + " (Permission denied)");
    EXPECT_FALSE(PathExists(dir.Path("dest/tree/sub/b.bin")));
    EXPECT_EQ(ReadBytes(dir.Path("dest/tree/a.txt")), "alpha");
}

TEST(TreeCopy, CancelStopsBetweenFilesAndLeavesNoPartialFile) {
    TempDir dir;
    MakeTree(dir);
    Recorder recorder;
    int polls = 0;
    recorder.callbacks.keepGoing = [&] { return ++polls < 3; };
    TreeCopyReport report = CopyOrMoveTree(TreeOperation::Copy, {dir.Path("src/tree"), dir.Path("src/single.txt")},
                                           dir.Path("dest"), recorder.callbacks);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.outcomes[1], ItemOutcome::Cancelled);
    EXPECT_FALSE(PathExists(dir.Path("dest/single.txt")));
    EXPECT_TRUE(recorder.lines.empty());
    if (PathExists(dir.Path("dest/tree/sub/b.bin"))) {
        EXPECT_EQ(GetFileSize(dir.Path("dest/tree/sub/b.bin")), 70000);
    }
}

TEST(TreeCopy, ADestinationOutOfRoomKeepsWhatFitsAndRemovesThePartialFile) {
    SmallTmpfs fs("1m");
    TANDREL_REQUIRE_TMPFS(fs);
    TempDir dir;
    const std::string block(400 * 1024, 'x');
    std::vector<std::string> items = {dir.WriteFile("src/1.bin", block), dir.WriteFile("src/2.bin", block),
                                      dir.WriteFile("src/3.bin", block)};
    Recorder recorder;
    TreeCopyReport report = CopyOrMoveTree(TreeOperation::Copy, items, fs.path(), recorder.callbacks);
    EXPECT_EQ(report.outcomes, (std::vector<ItemOutcome>{ItemOutcome::Done, ItemOutcome::Done, ItemOutcome::Failed}));
    ASSERT_EQ(recorder.lines.size(), 1u);
    EXPECT_EQ(recorder.lines[0], "Could not copy file to : " + fs.Path("3.bin") + " (No space left on device)");
    EXPECT_FALSE(PathExists(fs.Path("3.bin")));
    EXPECT_EQ(ReadBytes(fs.Path("2.bin")), block);
}

TEST(TreeCopy, MoveToAnotherFileSystemCopiesChecksAndDeletesTheSource) {
    SmallTmpfs fs("4m");
    TANDREL_REQUIRE_TMPFS(fs);
    TempDir dir;
    MakeTree(dir);
    Recorder recorder;
    TreeCopyReport report = CopyOrMoveTree(TreeOperation::Move, {dir.Path("src/tree"), dir.Path("src/single.txt")},
                                           fs.path(), recorder.callbacks);
    EXPECT_TRUE(recorder.lines.empty()) << recorder.lines.front();
    ASSERT_EQ(report.outcomes, (std::vector<ItemOutcome>{ItemOutcome::Done, ItemOutcome::Done}));
    ExpectTreeCopied(dir, dir.Path("src"), fs.path());
    EXPECT_FALSE(PathExists(dir.Path("src/tree")));
    EXPECT_FALSE(PathExists(dir.Path("src/single.txt")));
}

TEST(TreeCopy, AMoveToAnotherFileSystemFailingHalfWayLeavesTheSourceWhole) {
    SmallTmpfs fs("1m");
    TANDREL_REQUIRE_TMPFS(fs);
    for (bool outOfRoom : {true, false}) {
        SCOPED_TRACE(outOfRoom ? "out of room" : "unreadable file");
        TempDir dir;
        const std::string block(400 * 1024, 'x');
        dir.WriteFile("src/big/1.bin", block);
        dir.WriteFile("src/big/2.bin", block);
        dir.WriteFile("src/big/3.bin", outOfRoom ? block : "small");
        const std::string small = dir.WriteFile("src/small.txt", "small");
        if (!outOfRoom) test_hooks::DenyAccessBelow(dir.Path("src/big/2.bin"));
        const std::string into = fs.Path(outOfRoom ? "room" : "unreadable");
        ASSERT_TRUE(CreateFolder(into));
        Recorder recorder;
        TreeCopyReport report =
            CopyOrMoveTree(TreeOperation::Move, {dir.Path("src/big"), small}, into, recorder.callbacks);
        test_hooks::DenyAccessBelow("");
        EXPECT_EQ(report.outcomes, (std::vector<ItemOutcome>{ItemOutcome::Failed, ItemOutcome::Done}));
        ASSERT_EQ(recorder.lines.size(), 1u);
        // The source is whole, the half copy taken back, the next item moved.
        for (const char* name : {"1.bin", "2.bin"}) EXPECT_EQ(ReadBytes(dir.Path("src/big/") + name), block);
        EXPECT_FALSE(PathExists(into + "/big"));
        EXPECT_EQ(ReadBytes(into + "/small.txt"), "small");
        EXPECT_FALSE(PathExists(small));
    }
}

}  // namespace
}  // namespace tandrel::platform
