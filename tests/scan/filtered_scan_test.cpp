#include "scan/filtered_scan.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/date_time.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "scan/scan_thread_x.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;
using Names = std::set<std::string>;

// Full paths relative to the fixture folder, for readable expectations.
Names Relative(const TFileTypeList& files, const TempDir& dir) {
    Names names;
    for (const auto& file : files) {
        std::string full = file->FullFileName();
        EXPECT_TRUE(full.starts_with(dir.path() + "/")) << full;
        names.insert(full.substr(dir.path().size() + 1));
    }
    return names;
}

TFileTypeList Scan(TStopToken& stop, const std::string& paths, std::string_view include = "",
                   std::string_view exclude = "", bool recursive = true) {
    return ScanFiles(stop, paths, recursive, include, exclude);
}

void SetModified(const std::string& path, TDateTime time) {
    ASSERT_TRUE(platform::SetLastWriteTime(path, LocalDateTimeToFileTime(time))) << path;
}

class FilteredScan : public ::testing::Test {
protected:
    void SetUp() override { test_hooks::SetPauseStepMs(5); }
    void TearDown() override { test_hooks::SetPauseStepMs(0); }
    TFileTypeList Scan(const std::string& paths, std::string_view include = "", std::string_view exclude = "",
                       bool recursive = true) {
        return tandrel::Scan(stop, paths, include, exclude, recursive);
    }
    TStopToken stop;
};

TEST(FileMask, CompilesPatternsAndMatchesIgnoringCase) {
    struct Case {
        const char* pattern;
        const char* compiled;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.jpg", "*.jpg", "HOLIDAY.JPG", true},
        {"*.jpg", "*.jpg", "holiday.jpeg", false},
        {"  *.png ", "*.png", "a.png", true},
        // A bare word matches anywhere in the name.
        {"report", "*report*", "annual report 2010.doc", true},
        {"report", "*report*", "REPORT.TXT", true},
        {"report", "*report*", "repo.txt", false},
        // Brackets are no character sets: each stands for any one character.
        {"a[1].txt", "*a?1?.txt*", "a[1].txt", true},
        {"a[1].txt", "*a?1?.txt*", "ab1c.txt", true},
        {"a[1].txt", "*a?1?.txt*", "a1.txt", false},
        {"*.?", "*.?", "main.c", true},
        {"*.?", "*.?", "main.cc", false},
        // "*.*" is every file, also one without an extension.
        {"*.*", "*.*", "Makefile", true},
        {"\xC3\xA4rger", "*\xC3\xA4rger*", "\xC3\x84RGER.txt", true},  // "ärger" finds "ÄRGER.txt"
        {"?rger", "*?rger*", "\xC3\x84rger", true},                    // "?" is one code point
    };
    for (const Case& c : cases) {
        TFileMask mask(c.pattern);
        EXPECT_EQ(mask.Mask(), c.compiled) << c.pattern;
        EXPECT_EQ(mask.Matches(c.name), c.matches) << c.pattern << " / " << c.name;
    }
}

TEST(SetInclusions, SplitsTrimsAndDropsEmptyItems) {
    struct Case {
        const char* text;
        TStringList patterns;
    };
    const Case cases[] = {
        {"*.jpg; *.png", {"*.jpg", "*.png"}},
        {"", {}},
        {" ; ;", {}},
        {"thumb;", {"thumb"}},
        // An empty item would match every name; it is dropped wherever it stands.
        {"*.tmp;;*.bak", {"*.tmp", "*.bak"}},
        {"; *.txt", {"*.txt"}},
    };
    TStopToken stop;
    for (const Case& c : cases) {
        TScan scan(stop);
        scan.SetInclusions(c.text, c.text);
        EXPECT_EQ(scan.includeAr, c.patterns) << c.text;
        EXPECT_EQ(scan.excludeAr, c.patterns) << c.text;
    }
}

TEST_F(FilteredScan, IncludeAndExcludePatternsOverATree) {
    TempDir dir;
    for (const char* name : {"a.jpg", "B.PNG", "thumb_a.jpg", "notes.txt", "sub/c.jpg", "sub/Thumbnail.png",
                             "sub/deeper/d.png", "sub/deeper/e.gif"})
        dir.WriteFile(name, "xx");

    EXPECT_EQ(Relative(Scan(dir.path(), "*.jpg; *.png", "thumb"), dir),
              (Names{"a.jpg", "B.PNG", "sub/c.jpg", "sub/deeper/d.png"}));
    // An empty item in the exclude list does not drop every file.
    EXPECT_EQ(Relative(Scan(dir.path(), "", "*.gif;;*.txt"), dir),
              (Names{"a.jpg", "B.PNG", "thumb_a.jpg", "sub/c.jpg", "sub/Thumbnail.png", "sub/deeper/d.png"}));
    // Nor does one in the include list let every file in.
    EXPECT_EQ(Relative(Scan(dir.path(), "*.gif;;", ""), dir), (Names{"sub/deeper/e.gif"}));
}

TEST_F(FilteredScan, RecordsStatisticsAndDepthFirstOrder) {
    TempDir dir;
    dir.WriteFile("top1.txt", "1");
    dir.WriteFile("top2.txt", "22");
    dir.WriteFile("a/a1.txt", "333");
    dir.WriteFile("a/x/ax1.txt", "4444");
    dir.WriteFile("b/b1.txt", "55555");
    dir.MakeFolder("a/empty");
    const TDateTime when = EncodeDateTime(2021, 6, 15, 10, 20, 30, 0);
    SetModified(dir.Path("a/a1.txt"), when);

    TScan scan(stop);
    scan.paths = dir.path();
    scan.flagRecursive = true;
    std::vector<std::string> entered1, entered2;
    scan.CallBack1 = [&](const std::string& d) { entered1.push_back(d); };
    scan.CallBack2 = [&](const std::string& d) { entered2.push_back(d); };
    scan.Scan();

    EXPECT_EQ(scan.rootStatistics.FilesCount, 5);
    EXPECT_EQ(scan.rootStatistics.DirectoriesCount, 4);  // a, a/x, a/empty, b
    EXPECT_EQ(scan.rootStatistics.Size, 15);
    ASSERT_EQ(scan.tempFilesAr.size(), 5u);

    std::map<std::string, const TFileType*> byName;
    for (const auto& f : scan.tempFilesAr) byName[f->FileName] = f.get();
    const TFileType& a1 = *byName.at("a1.txt");
    EXPECT_EQ(a1.Path, dir.Path("a/"));
    EXPECT_EQ(a1.Size, 3);
    EXPECT_NEAR(a1.DateM, when, 1.0 / 86400 / 100);
    EXPECT_TRUE(a1.CheckSumK.empty());
    EXPECT_EQ(a1.PointerX, 0);

    // Both callbacks see every folder with its "/", each folder before its
    // subtree and every subtree in one piece.
    EXPECT_EQ(entered1, entered2);
    ASSERT_EQ(entered1.size(), 5u);
    EXPECT_EQ(entered1.front(), dir.path() + "/");
    for (std::size_t i = 0; i < entered1.size(); ++i) {
        std::size_t j = i + 1;
        while (j < entered1.size() && entered1[j].starts_with(entered1[i])) ++j;
        for (std::size_t k = j; k < entered1.size(); ++k) EXPECT_FALSE(entered1[k].starts_with(entered1[i]));
    }
    // The files come in the order their folders were entered, each folder's
    // files together.
    std::vector<std::string> fileFolders;
    for (const auto& f : scan.tempFilesAr)
        if (fileFolders.empty() || fileFolders.back() != f->Path) fileFolders.push_back(f->Path);
    std::vector<std::string> enteredWithFiles;
    for (const std::string& d : entered1)
        if (std::count(fileFolders.begin(), fileFolders.end(), d)) enteredWithFiles.push_back(d);
    EXPECT_EQ(fileFolders, enteredWithFiles);
}

TEST_F(FilteredScan, RootsAreScannedOnceAndExclusionsSkipWholeTrees) {
    TempDir dir;
    for (const char* name : {"data/f.txt", "data/Sub/s.txt", "data/Cache/c.txt", "data/Cache/inner/i.txt",
                             "data/mytemp/t1.txt", "data/temp/t2.txt", "data/temporary/t3.txt", "other/o.txt"})
        dir.WriteFile(name, "x");
    const std::string data = dir.Path("data"), sub = dir.Path("data/Sub"), other = dir.Path("other");
    const Names allData{"data/f.txt",         "data/Sub/s.txt",   "data/Cache/c.txt",     "data/Cache/inner/i.txt",
                        "data/mytemp/t1.txt", "data/temp/t2.txt", "data/temporary/t3.txt"};

    struct Case {
        std::string paths;
        Names expected;
    };
    const std::vector<Case> cases = {
        {sub + ";" + data, allData},
        {data + ";" + sub, allData},  // a root inside an earlier root is not listed twice either
        {data + "; " + data + "/", allData},
        {" " + sub + " ;;" + dir.Path("missing"), {"data/Sub/s.txt"}},
        {data + ";" + other,
         [&] {
             Names n = allData;
             n.insert("other/o.txt");
             return n;
         }()},
        {data + ";-" + dir.Path("data/Cache"),
         {"data/f.txt", "data/Sub/s.txt", "data/mytemp/t1.txt", "data/temp/t2.txt", "data/temporary/t3.txt"}},
        // A fragment skips every folder with a path component ending in it.
        {data + ";-temp",
         {"data/f.txt", "data/Sub/s.txt", "data/Cache/c.txt", "data/Cache/inner/i.txt", "data/temporary/t3.txt"}},
        {data + ";-" + data, {}},
    };
    for (const Case& c : cases) {
        TFileTypeList files = Scan(c.paths);
        EXPECT_EQ(files.size(), c.expected.size()) << c.paths;  // no file twice
        EXPECT_EQ(Relative(files, dir), c.expected) << c.paths;
    }
}

TEST_F(FilteredScan, NonRecursiveCountsSubfoldersWithoutEnteringThem) {
    TempDir dir;
    dir.WriteFile("top.txt", "x");
    dir.WriteFile("one/inner.txt", "x");
    dir.MakeFolder("two");
    TScan scan(stop);
    scan.paths = dir.path();
    scan.Scan();
    EXPECT_EQ(Relative(scan.tempFilesAr, dir), (Names{"top.txt"}));
    EXPECT_EQ(scan.rootStatistics.DirectoriesCount, 2);
}

TEST_F(FilteredScan, LinkedFoldersAreNeitherCountedNorFollowed) {
    TempDir dir, outside;
    dir.WriteFile("tree/own.txt", "x");
    outside.WriteFile("far/away.txt", "x");
    ASSERT_EQ(symlink(outside.Path("far").c_str(), dir.Path("tree/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("tree").c_str(), dir.Path("tree/loop").c_str()), 0);
    TScan scan(stop);
    scan.paths = dir.Path("tree");
    scan.flagRecursive = true;
    scan.Scan();
    EXPECT_EQ(Relative(scan.tempFilesAr, dir), (Names{"tree/own.txt"}));
    EXPECT_EQ(scan.rootStatistics.DirectoriesCount, 0);
}

TEST_F(FilteredScan, UnreadableFolderIsSkippedAndSiblingsListed) {
    TempDir dir;
    dir.WriteFile("a/a.txt", "x");
    dir.WriteFile("locked/l.txt", "x");
    dir.WriteFile("z/z.txt", "x");
    platform::test_hooks::DenyAccessBelow(dir.Path("locked"));
    TFileTypeList files = Scan(dir.path());
    platform::test_hooks::DenyAccessBelow("");
    EXPECT_EQ(Relative(files, dir), (Names{"a/a.txt", "z/z.txt"}));
}

TEST_F(FilteredScan, SizeLimits) {
    TempDir dir;
    dir.WriteFile("s0", "");
    dir.WriteFile("s1", "1");
    dir.WriteFile("s10", std::string(10, 'x'));
    dir.WriteFile("s100", std::string(100, 'x'));
    struct Case {
        std::int64_t min, max;
        Names expected;
    };
    const Case cases[] = {
        {0, 0, {"s0", "s1", "s10", "s100"}},
        {1, 0, {"s1", "s10", "s100"}},  // empty files skipped, no upper limit
        {0, 10, {"s0", "s1", "s10"}},
        {10, 10, {"s10"}},
        {11, 99, {}},
    };
    for (const Case& c : cases) {
        TScan scan(stop);
        scan.paths = dir.path();
        scan.UnitFsMinSize = c.min;
        scan.UnitFsMaxSize = c.max;
        scan.Scan();
        EXPECT_EQ(Relative(scan.tempFilesAr, dir), c.expected) << c.min << ".." << c.max;
        std::int64_t total = 0;
        for (const auto& f : scan.tempFilesAr) total += f->Size;
        EXPECT_EQ(scan.rootStatistics.Size, total);
        EXPECT_EQ(scan.rootStatistics.FilesCount, static_cast<int>(c.expected.size()));
    }
}

TEST_F(FilteredScan, DateLimits) {
    TempDir dir;
    const TDateTime jan = EncodeDateTime(2020, 1, 10, 12, 0, 0, 0);
    const TDateTime jun = EncodeDateTime(2020, 6, 10, 12, 0, 0, 0);
    const TDateTime dec = EncodeDateTime(2020, 12, 10, 12, 0, 0, 0);
    SetModified(dir.WriteFile("jan", "x"), jan);
    SetModified(dir.WriteFile("jun", "x"), jun);
    SetModified(dir.WriteFile("dec", "x"), dec);
    struct Case {
        TDateTime min, max;
        Names expected;
    };
    const Case cases[] = {
        {0, 0, {"jan", "jun", "dec"}}, {0.1, 0.1, {"jan", "jun", "dec"}},  // 0.1 or less is no limit
        {jun, 0, {"jun", "dec"}},                                          // both ends are inclusive
        {0, jun, {"jan", "jun"}},      {jun - 1, jun + 1, {"jun"}},
    };
    for (const Case& c : cases) {
        TScan scan(stop);
        scan.paths = dir.path();
        scan.UnitFsMinDate = c.min;
        scan.UnitFsMaxDate = c.max;
        scan.Scan();
        EXPECT_EQ(Relative(scan.tempFilesAr, dir), c.expected) << c.min << ".." << c.max;
    }
}

// A folder on tmpfs, which keeps file times far outside what ext4 can store.
class ShmDir {
public:
    ShmDir() {
        char pattern[] = "/dev/shm/tandrel_test_XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
    }
    ~ShmDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST_F(FilteredScan, FileWithUnknownTimeIsListedButOutsideAnyDateWindow) {
    ShmDir dir;
    if (dir.path().empty()) GTEST_SKIP() << "no /dev/shm";
    const std::string farFuture = dir.path() + "/far_future";
    ASSERT_TRUE(platform::WriteFileBytes(farFuture, "x"));
    const timespec times[2] = {{0, UTIME_OMIT}, {50'000'000'000LL, 0}};  // the year 3554
    ASSERT_EQ(utimensat(AT_FDCWD, farFuture.c_str(), times, 0), 0);
    struct stat st {};
    if (stat(farFuture.c_str(), &st) != 0 || st.st_mtime != 50'000'000'000LL) GTEST_SKIP() << "time not kept";

    TScan scan(stop);
    scan.paths = dir.path();
    scan.Scan();
    ASSERT_EQ(scan.tempFilesAr.size(), 1u);
    EXPECT_EQ(scan.tempFilesAr[0]->DateM, 0);

    scan.UnitFsMaxDate = EncodeDateTime(2999, 1, 1, 0, 0, 0, 0);
    scan.Scan();
    EXPECT_TRUE(scan.tempFilesAr.empty());
}

TEST_F(FilteredScan, OneCallFormPassesEveryFolderToItsCallback) {
    TempDir dir;
    dir.WriteFile("a.log", "x");
    dir.WriteFile("sub/b.log", "x");
    dir.WriteFile("sub/c.txt", "x");
    std::vector<std::string> entered;
    TFileTypeList files =
        ScanFiles(stop, dir.path(), true, "*.log", "", [&](const std::string& d) { entered.push_back(d); });
    EXPECT_EQ(Relative(files, dir), (Names{"a.log", "sub/b.log"}));
    EXPECT_EQ(entered, (std::vector<std::string>{dir.path() + "/", dir.Path("sub/")}));
}

void MakeFiles(const TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) dir.WriteFile("f" + std::to_string(i), "x");
    dir.WriteFile("sub/inner", "x");
}

bool WaitUntilStopped(const TThreadScanX& thread, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (thread.threadRunning && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !thread.threadRunning;
}

// Waits until a worker sleeps in its pause; false when none does in time.
bool WaitUntilPaused(const TStopToken& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (stop.PausedWorkers() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return stop.PausedWorkers() > 0;
}

TEST_F(FilteredScan, ThreadRunsTheScanWithItsSettings) {
    TempDir dir;
    dir.WriteFile("small.dat", "1");
    dir.WriteFile("keep.dat", "12345");
    dir.WriteFile("big.dat", std::string(50, 'x'));
    dir.WriteFile("skip.tmp", "12345");
    dir.WriteFile("sub/deep.dat", "123");
    std::vector<std::string> entered;
    TThreadScanX thread(stop);
    thread.Init(dir.path() + ";-sub", true, "*.dat;*.tmp", "*.tmp", 2, 10,
                [&](const std::string& d) { entered.push_back(d); });
    thread.Start();
    ASSERT_TRUE(WaitUntilStopped(thread, std::chrono::seconds(10)));
    thread.WaitFor();
    EXPECT_FALSE(thread.Failed());
    EXPECT_EQ(Relative(thread.tempFilesAr, dir), (Names{"keep.dat"}));
    EXPECT_EQ(thread.rootStatistics.FilesCount, 1);
    EXPECT_EQ(thread.rootStatistics.DirectoriesCount, 1);
    EXPECT_EQ(thread.rootStatistics.Size, 5);
    EXPECT_EQ(entered, (std::vector<std::string>{dir.path() + "/", dir.Path("sub/")}));
}

TEST_F(FilteredScan, PauseHoldsTheWorkerAndCancelEndsItWithWhatWasFound) {
    TempDir dir;
    MakeFiles(dir, 20);
    stop.PauseOperation = true;
    TThreadScanX thread(stop);
    thread.Init(dir.path(), true, "", "", 0, 0, {});
    thread.Start();
    ASSERT_TRUE(WaitUntilPaused(stop));
    EXPECT_TRUE(thread.threadRunning);
    stop.CancelOperation = true;
    ASSERT_TRUE(WaitUntilStopped(thread, std::chrono::seconds(2)));
    thread.WaitFor();
    // It paused after the first file and never went on.
    EXPECT_EQ(thread.tempFilesAr.size(), 1u);
    EXPECT_EQ(thread.rootStatistics.FilesCount, 1);
}

TEST_F(FilteredScan, ResumeAfterPauseFinishesTheScan) {
    TempDir dir;
    MakeFiles(dir, 20);
    stop.PauseOperation = true;
    TThreadScanX thread(stop);
    thread.Init(dir.path(), true, "", "", 0, 0, {});
    thread.Start();
    ASSERT_TRUE(WaitUntilPaused(stop));
    EXPECT_TRUE(thread.threadRunning);
    stop.PauseOperation = false;
    ASSERT_TRUE(WaitUntilStopped(thread, std::chrono::seconds(10)));
    thread.WaitFor();
    EXPECT_EQ(thread.tempFilesAr.size(), 21u);
}

TEST_F(FilteredScan, CancelStopsAtTheNextFileAndAStaleCancelIsCleared) {
    TempDir dir;
    MakeFiles(dir, 20);
    TScan scan(stop);
    scan.paths = dir.path();
    scan.flagRecursive = true;
    int entered = 0;
    // Cancel as the subfolder is entered: nothing more is listed after it.
    scan.CallBack1 = [&](const std::string& d) {
        ++entered;
        if (d.ends_with("/sub/")) stop.CancelOperation = true;
    };
    scan.Scan();
    EXPECT_EQ(scan.tempFilesAr.size(), 20u);
    EXPECT_EQ(entered, 2);

    // The flag is left set; the next scan starts afresh.
    ASSERT_TRUE(stop.CancelOperation);
    EXPECT_EQ(Scan(dir.path()).size(), 21u);
}

TEST_F(FilteredScan, ClosingTheApplicationStopsTheScan) {
    TempDir dir;
    MakeFiles(dir, 5);
    stop.AppClosing = true;
    EXPECT_TRUE(Scan(dir.path()).empty());
}

}  // namespace
}  // namespace tandrel
