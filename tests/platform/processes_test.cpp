#include "platform/processes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel::platform {
namespace {

using testing::TempDir;

bool Contains(const std::vector<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

TEST(FindProcessesByExeName, FindsThisProgramIgnoringCaseAndExtension) {
    const int self = getpid();
    EXPECT_TRUE(Contains(FindProcessesByExeName("processes_test"), self));
    EXPECT_TRUE(Contains(FindProcessesByExeName("PROCESSES_TEST"), self));
    EXPECT_TRUE(Contains(FindProcessesByExeName("Processes_Test.exe"), self));
    EXPECT_TRUE(Contains(FindProcessesByExeName(ExecutablePath()), self));
    EXPECT_FALSE(Contains(FindProcessesByExeName("processes_tes"), self));
    EXPECT_TRUE(FindProcessesByExeName("no_such_program_here").empty());
    EXPECT_TRUE(FindProcessesByExeName("").empty());
}

TEST(IsAdministrator, IsTheEffectiveRootTest) { EXPECT_EQ(IsAdministrator(), geteuid() == 0); }

TEST(StartProcess, RunsInTheWorkingFolder) {
    TempDir dir;
    int pid = StartProcess({"sh", "-c", "pwd > out.txt"}, dir.path());
    ASSERT_GT(pid, 0) << LastErrorText();
    std::string bytes;
    for (int i = 0; i < 200 && bytes.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ReadFileBytes(dir.Path("out.txt"), bytes);
    }
    EXPECT_EQ(bytes, dir.path() + "\n");
}

TEST(StartProcess, ReportsAProgramThatCannotStart) {
    EXPECT_EQ(StartProcess({"tandrel_no_such_program"}), -1);
    EXPECT_EQ(LastError(), ENOENT);
    EXPECT_EQ(StartProcess({}), -1);
    TempDir dir;
    EXPECT_EQ(StartProcess({"true"}, dir.Path("missing")), -1);
}

TEST(SplitCommandLine, BlanksSeparateQuotesGroup) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"meld a b", {"meld", "a", "b"}},
        {"  meld \t a  ", {"meld", "a"}},
        {R"("/opt/my tool/run" "a b" c)", {"/opt/my tool/run", "a b", "c"}},
        {R"(x "")", {"x", ""}},
        {R"("say ""hi""" x)", {R"(say "hi")", "x"}},
        {R"(pre"quoted part"post)", {"prequoted partpost"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitCommandLine(c.line), c.args);
    }
}

TEST(RunCommandLine, StartsTheProgramOrThrowsWithTheReason) {
    TempDir dir;
    EXPECT_GT(RunCommandLine(R"(sh -c "echo started > 'out file.txt'")", dir.path()), 0);
    std::string bytes;
    for (int i = 0; i < 500 && bytes.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ReadFileBytes(dir.Path("out file.txt"), bytes);
    }
    EXPECT_EQ(bytes, "started\n");
    EXPECT_THROW(RunCommandLine("no_such_program_here --x"), std::system_error);
    EXPECT_THROW(RunCommandLine("  "), std::system_error);
}

// PATH pointed at one folder for the length of a test.
class PathOnly {
public:
    explicit PathOnly(const std::string& folder) : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
        setenv("PATH", folder.c_str(), 1);
    }
    ~PathOnly() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

TEST(StartElevated, AnAdministratorRunsTheProgramDirectlyAndGetsItsExitCode) {
    int code = -1;
    EXPECT_EQ(StartElevated({"sh", "-c", "exit 7"}, {}, true, true, &code), ElevatedStart::Direct);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(StartElevated({"no_such_program_here"}, {}, true, true, &code), ElevatedStart::NotStarted);
}

TEST(StartElevated, OthersGoThroughPkexecOrFailAtOnceWithoutIt) {
    TempDir bin;
    {
        PathOnly path(bin.path());
        EXPECT_EQ(StartElevated({"/bin/sh", "-c", "exit 0"}, {}, true, false), ElevatedStart::NotStarted);
    }
    // A stand-in for pkexec that records what it was asked to run.
    const std::string fake =
        bin.WriteFile("pkexec", "#!/bin/sh\necho \"$@\" > \"" + bin.Path("asked") + "\"\nexit 3\n");
    chmod(fake.c_str(), 0755);
    PathOnly path(bin.path() + ":/usr/bin:/bin");
    int code = -1;
    EXPECT_EQ(StartElevated({"/usr/bin/tandrel", "/CreateFolders=\"/x y\""}, {}, true, false, &code),
              ElevatedStart::Started);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(testing::ReadBytes(bin.Path("asked")), "/usr/bin/tandrel /CreateFolders=\"/x y\"\n");
}

}  // namespace
}  // namespace tandrel::platform
