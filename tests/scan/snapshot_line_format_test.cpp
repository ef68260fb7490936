#include "scan/snapshot_line_format.h"

#include <gtest/gtest.h>

#include <time.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/date_time.h"

namespace tandrel {
namespace {

using platform::FileTime;

// Sets TZ for the life of the object and puts the old value back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

FileTime UnixToFileTime(std::int64_t seconds, std::int64_t nanoseconds = 0) {
    return platform::FileTimeFromUnix(seconds, nanoseconds);
}

platform::FindRecord Record(std::string name, std::int64_t size, std::uint32_t attributes) {
    platform::FindRecord record;
    record.name = std::move(name);
    record.size = size;
    record.attributes = attributes;
    record.creationTime = LocalDateTimeToFileTime(EncodeDateTime(2021, 3, 4, 5, 6, 7, 89));
    record.lastWriteTime = LocalDateTimeToFileTime(EncodeDateTime(2022, 11, 12, 13, 14, 15, 16));
    return record;
}

TEST(SnapshotLineFormatTest, WritesTheFieldsInOrder) {
    ZoneScope zone("UTC");
    const platform::FindRecord file = Record("report.pdf", 1234567890123, 32);
    std::string line;
    AppendFileLine(line, file, ScanTimeToDateTime(file.lastWriteTime));
    EXPECT_EQ(line, "report.pdf|1234567890123|2021-03-04 05:06:07.089|2022-11-12 13:14:15.016|32");

    platform::FindRecord folder = Record("docs", 0, 16);
    line.clear();
    AppendFolderLine(line, "/home/u/docs/", &folder);
    EXPECT_EQ(line, "|/home/u/docs/|2021-03-04 05:06:07.089|2022-11-12 13:14:15.016|16");
    line.clear();
    AppendFolderLine(line, "/", nullptr);
    EXPECT_EQ(line, "|/");

    // A zero file time is the zero date-time.
    platform::FindRecord old = Record("old", 0, 4294967295u);
    old.creationTime = 0;
    line.clear();
    AppendFileLine(line, old, ScanTimeToDateTime(0));
    EXPECT_EQ(line, "old|0|1899-12-30 00:00:00.000|1899-12-30 00:00:00.000|4294967295");
}

TEST(SnapshotLineFormatTest, NamesRoundTripThroughFileAndFolderLines) {
    const std::vector<std::string> names = {
        "plain.txt",
        "a|b",
        "line\nbreak",
        "cr\rhere",
        "|",
        "%7C",
        "100%",
        "%25%0a",
        "\xFF\xFEinvalid\xC3",
        "trailing|",
        "ünïcødé 名前",
        " leading blank",
        "trailing blank ",
        "\ttab\t",
        " ",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string line;
        AppendFileLine(line, Record(name, 42, 32), 0);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        SnapshotFileLine parsed;
        ASSERT_TRUE(ParseFileLine(line, parsed));
        EXPECT_EQ(parsed.name, name);
        EXPECT_EQ(parsed.size, 42);
        EXPECT_EQ(parsed.attributes, 32u);

        const std::string path = "/root/" + name + "/";
        line.clear();
        AppendFolderLine(line, path, nullptr);
        ASSERT_TRUE(IsFolderLine(line));
        std::string parsedPath;
        ASSERT_TRUE(ParseFolderLine(line, parsedPath));
        EXPECT_EQ(parsedPath, path);
    }
}

TEST(SnapshotLineFormatTest, ParsesTrimmedFieldsAndReadsTimesWithoutMilliseconds) {
    SnapshotFileLine parsed;
    ASSERT_TRUE(ParseFileLine("a.txt| 17 |2021-03-04 05:06:07.999| 2022-11-12 13:14:15.016 | 33 ", parsed));
    EXPECT_EQ(parsed.name, "a.txt");
    EXPECT_EQ(parsed.size, 17);
    EXPECT_EQ(parsed.created, EncodeDateTime(2021, 3, 4, 5, 6, 7, 0));
    EXPECT_EQ(parsed.lastWrite, EncodeDateTime(2022, 11, 12, 13, 14, 15, 0));
    EXPECT_EQ(parsed.attributes, 33u);

    std::string path;
    ASSERT_TRUE(ParseFolderLine("| /data/x/ |2021-03-04 05:06:07.000|bad|16", path));
    EXPECT_EQ(path, "/data/x/");
}

TEST(SnapshotLineFormatTest, MalformedLinesAreRefusedOrReadAsZero) {
    struct Case {
        const char* line;
        bool ok;
        std::int64_t size;
    };
    const std::vector<Case> cases = {
        {"", false, 0},
        {"name only", false, 0},
        {"|17", false, 0},  // no name
        {"a|", false, 0},   // no size
        {"a|12x|2021-01-01 00:00:00.000", false, 0},
        {"a|-5", false, 0},                    // a negative size would break the sums
        {"a|99999999999999999999", false, 0},  // overflow
        {"a|5", true, 5},                      // times missing: zero
        {"a|5|garbage|2021-13-45 99:99:99|x", true, 5},
        {"a|5|||", true, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SnapshotFileLine parsed;
        EXPECT_EQ(ParseFileLine(c.line, parsed), c.ok);
        if (c.ok) {
            EXPECT_EQ(parsed.size, c.size);
            EXPECT_EQ(parsed.created, 0);
            EXPECT_EQ(parsed.lastWrite, 0);
            EXPECT_EQ(parsed.attributes, 0u);
        }
    }
    std::string path = "stale";
    EXPECT_FALSE(ParseFolderLine("|", path));
    EXPECT_FALSE(ParseFolderLine("|  |2021-01-01", path));
    EXPECT_TRUE(path.empty());
}

// Compares the fast conversion with the reference one over many times.
void ExpectSameAsReference(const std::vector<FileTime>& times) {
    for (FileTime time : times) {
        const TDateTime expected = FileTimeToLocalDateTime(time);
        const TDateTime got = ScanTimeToDateTime(time);
        ASSERT_EQ(got, expected) << "file time " << time << ": " << FormatDateTimeMs(got) << " vs "
                                 << FormatDateTimeMs(expected);
    }
}

std::vector<FileTime> TimesAround(std::int64_t unixSeconds, std::int64_t span, std::int64_t step) {
    std::vector<FileTime> times;
    for (std::int64_t s = unixSeconds - span; s <= unixSeconds + span; s += step)
        times.push_back(UnixToFileTime(s, (s * 7919) % 1'000'000'000));
    return times;
}

TEST(ScanTimeToDateTimeTest, MatchesTheReferenceAcrossDaylightSavingChanges) {
    // 2021-03-28 01:00 UTC (spring forward) and 2021-10-31 01:00 UTC (fall back) in Berlin.
    const std::int64_t spring = 1616893200, autumn = 1635642000;
    std::mt19937_64 random(11);
    std::vector<FileTime> randomTimes;
    for (int i = 0; i < 20000; ++i) {
        // Anything from 1700 to 3100, plus times with sub-second parts.
        const std::int64_t seconds = static_cast<std::int64_t>(random() % 44'200'000'000ull) - 8'520'000'000ll;
        randomTimes.push_back(UnixToFileTime(seconds, static_cast<std::int64_t>(random() % 1'000'000'000)));
    }
    const std::vector<FileTime> edges = {
        0,
        1,
        -1,
        UnixToFileTime(0),
        UnixToFileTime(-5'364'662'400),  // 1800-01-01 UTC
        UnixToFileTime(-5'364'662'401),
        UnixToFileTime(32'503'680'000),  // 3000-01-01 UTC
        UnixToFileTime(32'535'215'999),
        UnixToFileTime(32'535'216'000),  // end of 3000 UTC
        INT64_MAX,
        INT64_MIN,
    };
    for (const char* zone : {"UTC", "Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe"}) {
        SCOPED_TRACE(zone);
        ZoneScope scope(zone);
        ExpectSameAsReference(TimesAround(spring, 4 * 3600, 7));
        ExpectSameAsReference(TimesAround(autumn, 4 * 3600, 7));
        ExpectSameAsReference(randomTimes);
        ExpectSameAsReference(edges);
    }
}

TEST(ScanTimeToDateTimeTest, FollowsAZoneChangeOfTheProcess) {
    const FileTime summer = UnixToFileTime(1625140800);  // 2021-07-01 12:00 UTC
    {
        ZoneScope scope("UTC");
        EXPECT_EQ(FormatDateTimeMs(ScanTimeToDateTime(summer)), "2021-07-01 12:00:00.000");
    }
    {
        ZoneScope scope("Europe/Berlin");
        EXPECT_EQ(FormatDateTimeMs(ScanTimeToDateTime(summer)), "2021-07-01 14:00:00.000");
    }
}

}  // namespace
}  // namespace tandrel
