#include "scan/multi_rename.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using Files = std::map<std::string, std::string>;  // name -> content

// Every plain file of the folder with its content.
Files FolderFiles(const TempDir& dir) {
    Files files;
    for (const std::string& name : ListNamesToRename(dir.path(), "*.*", TRenameSort::Natural))
        files[name] = ReadBytes(dir.Path(name));
    return files;
}

// Writes each file with its own name as content, so moves can be traced.
void MakeFiles(const TempDir& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names) dir.WriteFile(name, name);
}

TRenameBatch Batch(const TempDir& dir, const std::vector<std::string>& original,
                   const std::vector<std::string>& modified) {
    return BuildRenameBatch(dir.path(), original, modified);
}

TEST(MultiRename, PlainBatchRenamesOnlyTheEditedLinesAndMarksThem) {
    TempDir dir;
    MakeFiles(dir, {"a.txt", "b.txt", "c.txt", "d.txt"});
    TRenameBatch batch = Batch(dir, {"a.txt", "b.txt", "c.txt", "d.txt"}, {"a.txt", "B.txt", "", "d-new.txt", "", " "});
    // Only changed lines are queued; a change of capitals is a real change;
    // an emptied line is queued and skipped.
    ASSERT_EQ(batch.items.size(), 3u);
    EXPECT_EQ(RenameQueueLine(batch, batch.items[0]), dir.path() + "/ | b.txt -> B.txt");

    EXPECT_EQ(RunRenameBatch(batch), 2);
    EXPECT_EQ(RenameQueueLines(batch), (std::vector<std::string>{dir.path() + "/ | b.txt -> B.txt | [OK]",
                                                                 dir.path() + "/ | c.txt ->  | [skipped]",
                                                                 dir.path() + "/ | d.txt -> d-new.txt | [OK]"}));
    EXPECT_EQ(FolderFiles(dir),
              (Files{{"a.txt", "a.txt"}, {"B.txt", "b.txt"}, {"c.txt", "c.txt"}, {"d-new.txt", "d.txt"}}));
}

TEST(MultiRename, UnequalLineCountsGiveNoQueue) {
    TempDir dir;
    TRenameBatch batch = Batch(dir, {"a", "b", "c"}, {"a", "c", "", " "});
    EXPECT_TRUE(batch.linesDiffer);
    EXPECT_TRUE(batch.items.empty());
    // Trailing blank lines on either side do not count.
    EXPECT_FALSE(Batch(dir, {"a", "b", ""}, {"a", "x", "  ", ""}).linesDiffer);
}

TEST(MultiRename, OneEditAmongAHundredQueuesOneLine) {
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) names.push_back("file" + std::to_string(i) + ".dat");
    std::vector<std::string> edited = names;
    edited[57] = "renamed.dat";
    TRenameBatch batch = Batch(dir, names, edited);
    ASSERT_EQ(batch.items.size(), 1u);
    EXPECT_EQ(batch.items[0].oldName, "file57.dat");
}

// Blanks at the ends of a new name never reach the disk, and a name that only
// gained blanks is not a change at all.
TEST(MultiRename, BlanksAtTheEndsOfNewNamesAreDropped) {
    TempDir dir;
    MakeFiles(dir, {"a.txt", "b.txt", " lead.txt"});
    TRenameBatch batch = Batch(dir, {"a.txt", "b.txt", " lead.txt"}, {"  a.txt \t", " new b.txt  ", " lead.txt"});
    ASSERT_EQ(batch.items.size(), 1u);
    EXPECT_EQ(batch.items[0].newName, "new b.txt");
    EXPECT_EQ(RunRenameBatch(batch), 1);
    EXPECT_EQ(FolderFiles(dir), (Files{{"a.txt", "a.txt"}, {"new b.txt", "b.txt"}, {" lead.txt", " lead.txt"}}));
}

// Each of these stops the whole batch before its first, harmless rename.
TEST(MultiRename, UnsafeBatchesAreRefusedBeforeAnythingIsRenamed) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> modified;  // for the files in order
        std::string problem;                // a part of the first problem reported
    };
    const std::vector<Case> cases = {
        {"slash", {"a", "b"}, {"a2", "sub/b"}, "cannot hold \"/\""},
        {"escape upwards", {"a", "b"}, {"a2", "../b"}, "cannot hold \"/\""},
        {"NUL", {"a", "b"}, {"a2", std::string("b\0c", 3)}, "NUL"},
        {"dot dot", {"a", "b"}, {"a2", ".."}, "not a file name"},
        {"existing file", {"a", "b", "c"}, {"a2", "c", "c"}, "c exists already"},
        {"existing folder", {"a", "b", "dir"}, {"a2", "dir", "dir"}, "dir exists already"},
        {"two renames to one name", {"a", "b", "c"}, {"a2", "x", "x"}, "x exists already"},
        {"swap", {"a", "b", "c"}, {"a2", "c", "b"}, "b -> c: c exists already"},
        // b would be moved away, but only after a takes its name.
        {"chain in the wrong order", {"a", "b", "c"}, {"b", "c", "d"}, "b exists already"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const std::string& name : c.files) {
            if (name == "dir")
                dir.MakeFolder(name);
            else
                dir.WriteFile(name, name);
        }
        const Files before = FolderFiles(dir);
        TRenameBatch batch = Batch(dir, c.files, c.modified);
        EXPECT_EQ(RunRenameBatch(batch), -1);
        ASSERT_FALSE(batch.problems.empty());
        EXPECT_NE(batch.problems[0].find(c.problem), std::string::npos) << batch.problems[0];
        EXPECT_EQ(FolderFiles(dir), before);
        EXPECT_FALSE(platform::PathExists(dir.Path("a2")));
        for (const TRenameItem& item : batch.items) EXPECT_EQ(item.outcome, TRenameOutcome::Pending);
    }
}

TEST(MultiRename, ChainWhoseTargetsAreFreedFirstGoesThrough) {
    TempDir dir;
    MakeFiles(dir, {"1.txt", "2.txt", "3.txt"});
    // Listed last to first, each rename's target has been moved away already.
    TRenameBatch batch = Batch(dir, {"3.txt", "2.txt", "1.txt"}, {"4.txt", "3.txt", "2.txt"});
    EXPECT_EQ(RunRenameBatch(batch), 3);
    EXPECT_EQ(FolderFiles(dir), (Files{{"2.txt", "1.txt"}, {"3.txt", "2.txt"}, {"4.txt", "3.txt"}}));
}

TEST(MultiRename, NamesThatAreNotUtf8AndNamesWithLineBreaksKeepTheirBytes) {
    TempDir dir;
    const std::string latin1 = "caf\xe9.txt";
    const std::string withBreak = "two\nlines|x";
    MakeFiles(dir, {latin1, withBreak, "plain"});
    const std::vector<std::string> names = ListNamesToRename(dir.path(), "*.*", TRenameSort::Natural);
    const std::string text = NamesToLines(names);
    std::vector<std::string> lines = EditorLines(text);
    ASSERT_EQ(lines.size(), 3u) << text;  // a line break in a name does not split its line
    for (std::string& line : lines) {
        if (line == "plain") line = "plain2";
        if (line.starts_with("caf")) line = "\xe9t\xe9 " + line;
        if (line.starts_with("two")) line += ".bak";
    }
    TRenameBatch batch = BuildRenameBatch(dir.path(), EditorLines(text), lines);
    EXPECT_EQ(RunRenameBatch(batch), 3);
    EXPECT_EQ(FolderFiles(dir),
              (Files{{"\xe9t\xe9 " + latin1, latin1}, {withBreak + ".bak", withBreak}, {"plain2", "plain"}}));
}

TEST(MultiRename, NamesHoldingTheQueueSeparatorsArePassedOverUnmarked) {
    TempDir dir;
    MakeFiles(dir, {"a -> b", "c"});
    TRenameBatch batch = Batch(dir, {"a -> b", "c"}, {"x", "d"});
    EXPECT_EQ(RunRenameBatch(batch), 1);
    EXPECT_EQ(batch.items[0].outcome, TRenameOutcome::PassedOver);
    EXPECT_EQ(RenameQueueLine(batch, batch.items[0]), dir.path() + "/ | a -> b -> x");
    EXPECT_EQ(FolderFiles(dir), (Files{{"a -> b", "a -> b"}, {"d", "c"}}));
}

// A rename the system refuses part-way leaves that file as it was, the run
// goes on, and the report says what was renamed and what was not.
TEST(MultiRename, FailurePartWayIsReportedAndNothingIsLost) {
    TempDir dir;
    MakeFiles(dir, {"a", "b", "c"});
    const std::string tooLong(300, 'x');  // passes the check, refused by the system
    TRenameBatch batch = Batch(dir, {"a", "b", "c"}, {"a2", tooLong, "c2"});
    EXPECT_EQ(RunRenameBatch(batch), 2);
    EXPECT_EQ(batch.items[1].outcome, TRenameOutcome::Failed);
    EXPECT_EQ(RenameQueueLine(batch, batch.items[1]), dir.path() + "/ | b -> " + tooLong);
    EXPECT_EQ(FolderFiles(dir), (Files{{"a2", "a"}, {"b", "b"}, {"c2", "c"}}));
    const std::string report = RenameFailureReport(batch);
    EXPECT_EQ(report,
              "Renamed:\n  a -> a2\n  c -> c2\nNot renamed:\n  b -> " + tooLong + " (" + batch.items[1].error + ")");
    EXPECT_FALSE(batch.items[1].error.empty());
}

// A file that appears after the check is still never replaced.
TEST(MultiRename, RunChecksAgainAndNeverReplaces) {
    TempDir dir;
    MakeFiles(dir, {"a", "b"});
    TRenameBatch batch = Batch(dir, {"a", "b"}, {"a2", "b2"});
    ASSERT_TRUE(CheckRenameBatch(batch).empty());
    dir.WriteFile("b2", "someone else's");
    EXPECT_EQ(RunRenameBatch(batch), -1);
    EXPECT_EQ(FolderFiles(dir), (Files{{"a", "a"}, {"b", "b"}, {"b2", "someone else's"}}));
}

TEST(MultiRename, ListingFollowsTheSortMethodAndMask) {
    TempDir dir;
    MakeFiles(dir, {"img10.jpg", "img2.jpg", "Beta.jpg", "alpha.jpg", "notes.txt"});
    dir.MakeFolder("sub.jpg");
    EXPECT_EQ(ListNamesToRename(dir.path(), "*.jpg", TRenameSort::Natural),
              (std::vector<std::string>{"alpha.jpg", "Beta.jpg", "img2.jpg", "img10.jpg"}));

    // Equal times are ordered by name ignoring case; the oldest comes first.
    auto setTime = [&](const std::string& name, time_t seconds) {
        struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimes(dir.Path(name).c_str(), times), 0);
    };
    setTime("img10.jpg", 1000);
    setTime("img2.jpg", 3000);
    setTime("Beta.jpg", 2000);
    setTime("alpha.jpg", 2000);
    EXPECT_EQ(ListNamesToRename(dir.path(), "*.jpg", TRenameSort::DateModified),
              (std::vector<std::string>{"img10.jpg", "alpha.jpg", "Beta.jpg", "img2.jpg"}));
    EXPECT_EQ(ListNamesToRename(dir.path(), "*.*", TRenameSort::Alphabetic).size(), 5u);
    EXPECT_TRUE(ListNamesToRename(dir.Path("missing"), "*.*", TRenameSort::Natural).empty());
}

}  // namespace
}  // namespace tandrel
