#include "platform/processes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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

}  // namespace
}  // namespace tandrel::platform
