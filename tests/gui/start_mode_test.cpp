#include "gui/shell/start_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/types.h"
#include "platform/current_folder.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

class StartModeTest : public ::testing::Test {
protected:
    void TearDown() override { SetCommandLineArgs({}); }

    StartRequest Decide(std::vector<std::string> params) {
        SetCommandLineArgs(std::move(params));
        return DecideStartMode();
    }

    TempDir dir;
    const std::string fileA = dir.WriteFile("a.txt", "a");
    const std::string fileB = dir.WriteFile("b.txt", "b");
    const std::string folderA = dir.MakeFolder("left");
    const std::string folderB = dir.MakeFolder("right");
    const std::string snapshot = dir.WriteFile("old.snapshot", "x");
};

TEST_F(StartModeTest, ModeByParameters) {
    const struct {
        const char* name;
        std::vector<std::string> params;
        StartMode mode;
        std::string a, b;
    } cases[] = {
        {"nothing", {}, StartMode::Ordinary, "", ""},
        {"missing path", {dir.Path("nope")}, StartMode::Ordinary, "", ""},
        {"two files", {fileA, fileB}, StartMode::FileCompare, fileA, fileB},
        {"two folders", {folderA, folderB}, StartMode::FolderCompare, folderA, folderB},
        {"comparetrees first", {"comparetrees", folderA, folderB}, StartMode::FolderCompare, folderA, folderB},
        {"comparetrees later", {fileA, "/comparetrees", folderA, folderB}, StartMode::FolderCompare, folderA, folderB},
        {"one folder", {folderA}, StartMode::FolderScan, folderA, ""},
        {"treemap switch", {folderA, "treemap"}, StartMode::FolderScan, folderA, ""},
        {"a snapshot is an ordinary run", {snapshot}, StartMode::Ordinary, "", ""},
        {"snapshot and folder", {snapshot, folderA}, StartMode::SnapshotCompare, snapshot, folderA},
        {"file and folder", {fileA, folderA}, StartMode::Ordinary, "", ""},
    };
    for (const auto& c : cases) {
        StartRequest request = Decide(c.params);
        EXPECT_EQ(c.mode, request.mode) << c.name;
        EXPECT_EQ(c.a, request.a) << c.name;
        EXPECT_EQ(c.b, request.b) << c.name;
        EXPECT_EQ("", request.autoSaveFn) << c.name;
    }
    EXPECT_TRUE(Decide({folderA, "treemap"}).showTreemap);
    // The snapshot to load, also when it does not exist: the load says so.
    EXPECT_EQ(snapshot, Decide({snapshot}).snapshot);
    EXPECT_EQ(dir.Path("gone.SNAPSHOT"), Decide({dir.Path("gone.SNAPSHOT")}).snapshot);
    EXPECT_EQ("", Decide({fileA}).snapshot);
}

TEST_F(StartModeTest, SnapshotTargetOfASaveAndExitScan) {
    EXPECT_EQ("out_2024-01-31.snapshot",
              Decide({folderA, "out_[yyyy]-[mm]-[dd].snapshot", "date=20240131"}).autoSaveFn);
    EXPECT_EQ("named", Decide({folderA, "saveas=named"}).autoSaveFn);
    EXPECT_EQ("2024", Decide({folderA, "/saveas=[yyyy]", "/date=2024-02-03"}).autoSaveFn);
    // Switches and options after the folder are not snapshot names.
    for (const char* word : {"noinstall", "/noinstall", "debug", "keepdesigntab", "date=20240131"})
        EXPECT_EQ("", Decide({folderA, word}).autoSaveFn) << word;
    EXPECT_THROW(Decide({folderA, "out_[yyyy].snapshot", "date=2024013"}), TandrelError);
    try {
        Decide({folderA, "out_[dd]", "date=2024013"});
    } catch (const TandrelError& error) {
        EXPECT_EQ("invalid date 2024013. Date format= yyyymmdd / yyyy-mm-dd / yyyy/mm/dd", std::string(error.what()));
    }
}

// The program leaves the folder it was started in, so relative paths are
// made whole first.
TEST_F(StartModeTest, RelativePathsCountFromTheFolderWhereTheProgramStarted) {
    const std::string here = platform::CurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(dir.path()));
    const StartRequest compare = Decide({"left", "./right/"});
    const StartRequest scan = Decide({"left", "sub/out.snapshot"});
    const StartRequest bare = Decide({"left/../left", "out.snapshot"});
    const StartRequest load = Decide({"old.snapshot"});
    platform::SetCurrentFolder(here);
    EXPECT_EQ(compare.mode, StartMode::FolderCompare);
    EXPECT_EQ(compare.a, folderA);
    EXPECT_EQ(compare.b, folderB + "/");
    EXPECT_EQ(scan.autoSaveFn, dir.Path("sub/out.snapshot"));
    EXPECT_EQ(bare.a, folderA);
    EXPECT_EQ(bare.autoSaveFn, "out.snapshot") << "a bare name still goes to the settings folder";
    EXPECT_EQ(load.snapshot, snapshot);
}

}  // namespace
}  // namespace tandrel
