#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "platform/file_system.h"
#include "platform/time_zone.h"
#include "support/temp_dir.h"

namespace tandrel::platform {
namespace {

using testing::TempDir;

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t EpochDifference = 11'644'473'600;

TEST(FileTimeConversion, KnownValuesAndRoundTrips) {
    EXPECT_EQ(FileTimeFromUnix(0, 0), EpochDifference * 10'000'000);
    EXPECT_EQ(FileTimeFromUnix(-EpochDifference, 0), 0);
    // Half a second before 1970 is -1 s + 500 ms.
    EXPECT_EQ(FileTimeFromUnix(-1, 500'000'000), EpochDifference * 10'000'000 - 5'000'000);
    EXPECT_EQ(FileTimeFromUnix(0, -500'000'000), EpochDifference * 10'000'000 - 5'000'000);

    const std::int64_t seconds[] = {0, -1, -5'000'000'000, 1'700'000'000, 4'102'444'800, 32'503'680'000};
    const std::int64_t nanos[] = {0, 100, 999'999'900};
    for (std::int64_t s : seconds) {
        for (std::int64_t ns : nanos) {
            std::int64_t backS = 0, backNs = 0;
            FileTimeToUnix(FileTimeFromUnix(s, ns), backS, backNs);
            EXPECT_EQ(backS, s) << s << "." << ns;
            EXPECT_EQ(backNs, ns) << s << "." << ns;
        }
    }
    // Beyond what 64-bit ticks hold is "no time", not a wrapped value.
    EXPECT_EQ(FileTimeFromUnix(INT64_MAX / 2, 0), 0);
}

void ExpectTimesRoundTrip(const std::string& file, std::initializer_list<std::int64_t> seconds) {
    for (std::int64_t s : seconds) {
        FileTime wanted = FileTimeFromUnix(s, 123'456'700);
        ASSERT_TRUE(SetLastWriteTime(file, wanted)) << s << " " << LastErrorText();
        FileTime creation = 0, lastWrite = 0;
        ASSERT_TRUE(GetFileTimes(file, &creation, &lastWrite));
        EXPECT_EQ(lastWrite, wanted) << s;
        EXPECT_NE(creation, 0);
    }
}

TEST(FileTimes, SetAndGetRoundTripBefore1970AndAfter2038) {
    TempDir dir;
    std::string file = dir.WriteFile("f", "x");
    // Within what ext4 stores (1901..2446): before 1970 with a fraction, after 2038.
    ExpectTimesRoundTrip(file, {-315'360'001, -1, 2'200'000'000, 13'000'000'000});
    EXPECT_TRUE(GetFileTimes(file, nullptr, nullptr));
    EXPECT_FALSE(GetFileTimes(dir.Path("missing"), nullptr, nullptr));
    EXPECT_FALSE(SetLastWriteTime(dir.Path("missing"), FileTimeFromUnix(0, 0)));
}

TEST(FileTimes, SetAndGetRoundTripOutside1800To3000) {
    // tmpfs keeps full 64-bit times; disk file systems clamp them.
    struct statfs fs;
    if (statfs("/dev/shm", &fs) != 0 || fs.f_type != TMPFS_MAGIC || access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no writable tmpfs at /dev/shm";
    }
    char name[] = "/dev/shm/tandrel_times_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    ExpectTimesRoundTrip(name, {-6'000'000'000, 40'000'000'000});
    unlink(name);
}

class TimeZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        hadTz_ = old != nullptr;
        if (old) oldTz_ = old;
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", oldTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void UseZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    bool hadTz_ = false;
    std::string oldTz_;
};

TEST_F(TimeZoneTest, UsesTheOffsetInForceAtThatDate) {
    // Central Europe: +1 in winter, +2 in summer, written as POSIX rules.
    UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
    struct Case {
        std::int64_t unixSeconds;
        CalendarFields local;
    };
    const Case cases[] = {
        {1'704'067'200, {2024, 1, 1, 1, 0, 0, 0}},   // 2024-01-01 00:00 UTC
        {1'719'792'000, {2024, 7, 1, 2, 0, 0, 0}},   // 2024-07-01 00:00 UTC
        {-1, {1970, 1, 1, 0, 59, 59, 0}},            // the one second mktime reports as -1
        {-2'208'988'800, {1900, 1, 1, 1, 0, 0, 0}},  // before 1970
        {32'503'680'000, {3000, 1, 1, 1, 0, 0, 0}},  // after 2038
    };
    for (const Case& c : cases) {
        CalendarFields fields;
        ASSERT_TRUE(FileTimeToLocalFields(FileTimeFromUnix(c.unixSeconds, 7'000'000), fields));
        EXPECT_EQ(fields.year, c.local.year) << c.unixSeconds;
        EXPECT_EQ(fields.month, c.local.month) << c.unixSeconds;
        EXPECT_EQ(fields.day, c.local.day) << c.unixSeconds;
        EXPECT_EQ(fields.hour, c.local.hour) << c.unixSeconds;
        EXPECT_EQ(fields.minute, c.local.minute) << c.unixSeconds;
        EXPECT_EQ(fields.second, c.local.second) << c.unixSeconds;
        EXPECT_EQ(fields.millisecond, 7);

        FileTime back = 0;
        CalendarFields withMs = c.local;
        withMs.millisecond = 7;
        ASSERT_TRUE(LocalFieldsToFileTime(withMs, back)) << c.unixSeconds;
        EXPECT_EQ(back, FileTimeFromUnix(c.unixSeconds, 7'000'000)) << c.unixSeconds;
    }
}

TEST_F(TimeZoneTest, RefusesFieldsThatAreNoDate) {
    UseZone("UTC0");
    const CalendarFields invalid[] = {
        {2023, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0},   {2024, 0, 1, 0, 0, 0, 0},
        {2024, 4, 31, 0, 0, 0, 0}, {2024, 1, 1, 24, 0, 0, 0},   {2024, 1, 1, 0, 60, 0, 0},
        {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000}, {2024, 1, 1, 0, 0, 0, -1},
    };
    for (const CalendarFields& f : invalid) {
        FileTime t = 42;
        EXPECT_FALSE(LocalFieldsToFileTime(f, t)) << f.year << "-" << f.month << "-" << f.day;
        EXPECT_EQ(t, 42);
    }
    FileTime leapDay = 0;
    EXPECT_TRUE(LocalFieldsToFileTime({2024, 2, 29, 12, 0, 0, 0}, leapDay));
    EXPECT_EQ(leapDay, FileTimeFromUnix(1'709'208'000, 0));
    // Years a file time cannot hold.
    EXPECT_FALSE(LocalFieldsToFileTime({100'000, 1, 1, 0, 0, 0, 0}, leapDay));
}

TEST_F(TimeZoneTest, NowIsTheCurrentLocalDate) {
    UseZone("UTC0");
    std::time_t now = std::time(nullptr);
    std::tm utc;
    gmtime_r(&now, &utc);
    CalendarFields fields = NowLocalFields();
    EXPECT_EQ(fields.year, utc.tm_year + 1900);
    EXPECT_EQ(fields.month, utc.tm_mon + 1);
    EXPECT_GE(fields.millisecond, 0);
    EXPECT_LE(fields.millisecond, 999);
}

}  // namespace
}  // namespace tandrel::platform
