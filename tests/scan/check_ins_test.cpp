#include "scan/check_ins.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

constexpr TDateTime kHour = 1.0 / 24;

void SetTime(const std::string& file, TDateTime time) {
    ASSERT_TRUE(platform::SetLastWriteTime(file, LocalDateTimeToFileTime(time))) << file;
}

TEST(CheckIns, MapsRepositoryFoldersToSourceFoldersAndBack) {
    struct Case {
        const char* folder;
        const char* source;
    };
    const std::vector<Case> cases = {
        {"/bk/rcs/home/u/src/", "/home/u/src/"},
        {"/bk/rcs/home/u/Src Mixed/", "/home/u/Src Mixed/"},  // the case stays: folders are opened again
        {"/bk/rcs/", "/"},
        {"/bk/rcs/home/u/src_history/", ""},
        {"/bk/rcs/home/u/src/a_HISTORY/b/", ""},
        {"/bk/rcs/home/u/src/old/", ""},
        {"/bk/rcs/home/u/src/Older/", ""},
        {"/bk/rcs/home/u/bold/", "/home/u/bold/"},
        {"/elsewhere/home/", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(SourceFolderFor("/bk/rcs", c.folder), c.source) << c.folder;
    EXPECT_EQ(RepositoryCopyFor("/bk/rcs/", "/home/u/src/a.php"), "/bk/rcs/home/u/src/a.php");
    EXPECT_EQ(RepositoryCopyFor("/bk/rcs", "/a.php"), "/bk/rcs/a.php");
    EXPECT_EQ(CheckInsMasks("*.php; *.pas;  *.js"), "*.php;*.pas;*.js;");
}

TEST(CheckIns, ListsSourceFilesNewerThanTheirCopyOrWithoutOne) {
    TempDir dir;
    const std::string repo = dir.Path("repo") + "/";
    const TDateTime base = EncodeDateTime(2022, 6, 1, 12, 0, 0, 0);
    // Each source file and, where given, its copy in the repository.
    auto pair = [&](const std::string& relative, TDateTime sourceTime, TDateTime copyTime) {
        const std::string source = dir.WriteFile(relative, "x");
        SetTime(source, sourceTime);
        if (copyTime > 0) {
            const std::string copy = RepositoryCopyFor(repo, source);
            dir.WriteFile(copy.substr(dir.path().size() + 1), "x");
            SetTime(copy, copyTime);
        }
        return source;
    };
    const std::string hour = pair("src/proj/hour.php", base + kHour, base);
    const std::string day = pair("src/proj/day.cpp", base + 30 * kHour, base);
    pair("src/proj/same.php", base, base);
    pair("src/proj/older.php", base - kHour, base);
    const std::string noCopy = pair("src/proj/new.js", base, 0);
    pair("src/proj/data.csv", base + kHour, base);      // excluded extension
    pair("src/proj/notes.txt", base + kHour, base);     // not among the extensions
    pair("src/proj/sub/deeper.php", base + kHour, 0);   // source folders are not entered
    pair("src/proj/old/kept.php", base + kHour, base);  // an old copy's folder
    pair("src/proj_history/h.php", base + kHour, base);
    const std::string upper = pair("src/Upper/Case.PHP", base + 2 * kHour, base);
    // A repository folder whose source folder is gone.
    dir.WriteFile(RepositoryCopyFor(repo, dir.Path("src/gone/a.php")).substr(dir.path().size() + 1), "x");

    TStopToken stop;
    const TCheckInsRun run = CheckRepository(stop, dir.Path("repo"), "*.php; *.cpp; *.js; *.csv");
    EXPECT_EQ(run.repositoryPath, repo);
    EXPECT_FALSE(run.cancelled);
    EXPECT_EQ(run.sourceDirectories,
              (TStringList{dir.Path("src/gone/"), dir.Path("src/proj/"), dir.Path("src/Upper/")}));
    EXPECT_EQ(run.missingFiles, TStringList{RepositoryCopyFor(repo, noCopy)});

    std::map<std::string, TCheckInRow> rows;
    for (TCheckInRow& row : FilterCheckIns(run.resultLines, "", "")) rows[row.path] = row;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[day].notUpdatedFor, "30:00:00");
    EXPECT_EQ(rows[day].sourceDate, "2022-06-02 18:00:00.000");
    EXPECT_EQ(rows[day].repositoryDate, "2022-06-01 12:00:00.000");
    EXPECT_EQ(rows[hour].notUpdatedFor, "01:00:00");
    EXPECT_EQ(rows[noCopy].repositoryDate, "");
    EXPECT_EQ(rows[noCopy].notUpdatedFor, "never updated");
    EXPECT_EQ(rows[upper].notUpdatedFor, "02:00:00");
}

TEST(CheckIns, ResultLinesAndFilters) {
    const TDateTime base = EncodeDateTime(2022, 6, 1, 12, 0, 0, 0);
    // Just under a second and a half more than an hour: whole seconds, cut toward zero.
    EXPECT_EQ(CheckInResultLine("/s/a.php", base + kHour + 1.499 / 86400, base),
              "/s/a.php|2022-06-01 13:00:01.499|2022-06-01 12:00:00.000|-3601");
    EXPECT_EQ(CheckInResultLine("/s/b.php", base, 0), "/s/b.php|2022-06-01 12:00:00.000||");
    const std::string odd = "/s/pipe|name.php";
    const TStringList lines = {
        CheckInResultLine("/home/u/WebWork/a.php", base + kHour, base),
        CheckInResultLine("/home/u/proj/lz/b.php", base + kHour, base),
        CheckInResultLine("/home/u/proj/c.php", base + kHour, base),
        CheckInResultLine("/home/u/other/d.php", base, 0),
        CheckInResultLine(odd, base, 0),
    };
    struct Case {
        const char* include;
        const char* exclude;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"", "", {"/home/u/WebWork/a.php", "/home/u/proj/lz/b.php", "/home/u/proj/c.php", "/home/u/other/d.php", odd}},
        {"proj", "", {"/home/u/proj/lz/b.php", "/home/u/proj/c.php"}},
        {"", "webwork;/lz", {"/home/u/proj/c.php", "/home/u/other/d.php", odd}},
        {"PROJ; other", "/LZ", {"/home/u/proj/c.php", "/home/u/other/d.php"}},
        {";;",
         ";",
         {"/home/u/WebWork/a.php", "/home/u/proj/lz/b.php", "/home/u/proj/c.php", "/home/u/other/d.php", odd}},
        {"c.php", "proj", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> paths;
        for (const TCheckInRow& row : FilterCheckIns(lines, c.include, c.exclude)) paths.push_back(row.path);
        EXPECT_EQ(paths, c.paths) << "include '" << c.include << "' exclude '" << c.exclude << "'";
    }
}

}  // namespace
}  // namespace tandrel
