#include "common/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "common/command_line.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

struct Fields {
    int year, month, day, hour, minute, second, ms;
};

void ExpectFields(const Fields& want, TDateTime value) {
    const platform::CalendarFields got = DecodeDateTime(value);
    EXPECT_EQ(want.year, got.year);
    EXPECT_EQ(want.month, got.month);
    EXPECT_EQ(want.day, got.day);
    EXPECT_EQ(want.hour, got.hour);
    EXPECT_EQ(want.minute, got.minute);
    EXPECT_EQ(want.second, got.second);
    EXPECT_EQ(want.ms, got.millisecond);
}

TDateTime Encode(const Fields& f) { return EncodeDateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.ms); }

TEST(EncodeDateTime, KnownDayNumbers) {
    EXPECT_EQ(0.0, EncodeDateTime(1899, 12, 30, 0, 0, 0, 0));
    EXPECT_EQ(2.0, EncodeDateTime(1900, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(41451.0, EncodeDateTime(2013, 6, 26, 0, 0, 0, 0));
    EXPECT_EQ(41451.5, EncodeDateTime(2013, 6, 26, 12, 0, 0, 0));
    // Before day 0 the fraction still counts forward from midnight.
    EXPECT_EQ(-1.25, EncodeDateTime(1899, 12, 29, 6, 0, 0, 0));
}

TEST(EncodeDateTime, FieldsRoundTripThroughDecode) {
    const Fields cases[] = {
        {2013, 6, 26, 13, 47, 44, 123}, {2000, 2, 29, 0, 0, 0, 0},       {1900, 3, 1, 23, 59, 59, 999},
        {1, 1, 1, 0, 0, 0, 1},          {9999, 12, 31, 23, 59, 59, 999}, {1899, 12, 29, 6, 30, 15, 500},
        {1601, 1, 1, 0, 0, 0, 0},       {2100, 2, 28, 12, 0, 0, 0},      {1970, 1, 1, 0, 0, 0, 0},
    };
    for (const Fields& f : cases) {
        SCOPED_TRACE(f.year);
        ExpectFields(f, Encode(f));
    }
}

TEST(EncodeDateTime, EveryMillisecondDecodesExactly) {
    for (int ms = 0; ms < 1000; ++ms) {
        ASSERT_EQ(ms, DecodeDateTime(EncodeDateTime(2013, 6, 26, 13, 47, 44, ms)).millisecond) << ms;
        ASSERT_EQ(ms, DecodeDateTime(EncodeDateTime(1850, 1, 2, 23, 59, 59, ms)).millisecond) << ms;
    }
}

TEST(EncodeDateTime, InvalidFieldsAreRejected) {
    const Fields cases[] = {
        {2013, 13, 1, 0, 0, 0, 0},    {2013, 0, 1, 0, 0, 0, 0},   {2013, 6, 31, 0, 0, 0, 0},
        {2013, 2, 29, 0, 0, 0, 0},    {1900, 2, 29, 0, 0, 0, 0},  {2013, 6, 0, 0, 0, 0, 0},
        {2013, 6, 26, 24, 0, 0, 0},   {2013, 6, 26, 0, 60, 0, 0}, {2013, 6, 26, 0, 0, 60, 0},
        {2013, 6, 26, 0, 0, 0, 1000}, {0, 1, 1, 0, 0, 0, 0},      {10000, 1, 1, 0, 0, 0, 0},
        {2013, 6, 26, -1, 0, 0, 0},
    };
    for (const Fields& f : cases) {
        TDateTime result = 123;
        EXPECT_FALSE(TryEncodeDateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.ms, result))
            << f.year << "-" << f.month << "-" << f.day << " " << f.hour << ":" << f.minute << ":" << f.second;
        EXPECT_THROW(Encode(f), TandrelError);
    }
}

TEST(DecodeDateTime, RoundsToTheNearestMillisecond) {
    const TDateTime base = EncodeDateTime(2013, 6, 26, 13, 47, 44, 0);
    // 0.999999 of a second is one second, not 1000 ms.
    ExpectFields({2013, 6, 26, 13, 47, 45, 0}, base + 0.999999 / 86400);
    ExpectFields({2013, 6, 26, 13, 47, 44, 1}, base + 0.0006 / 86400);
    ExpectFields({2013, 6, 26, 13, 47, 44, 0}, base + 0.0004 / 86400);
    // The last half millisecond of a day rounds into the next day.
    ExpectFields({2013, 6, 27, 0, 0, 0, 0}, EncodeDateTime(2013, 6, 26, 23, 59, 59, 999) + 0.0006 / 86400);
}

TEST(DecodeDateTime, ValuesOutsideTheCalendarDecodeAsDayZero) {
    for (const double value : {double(NAN), double(INFINITY), -double(INFINITY), 1e12, -1e12})
        ExpectFields({1899, 12, 30, 0, 0, 0, 0}, value);
}

TEST(FormatDateTime, FixedTexts) {
    const TDateTime t = EncodeDateTime(2013, 6, 26, 13, 47, 44, 123);
    EXPECT_EQ("2013-06-26 13:47:44.123", FormatDateTimeMs(t));
    EXPECT_EQ("2013-06-26 13:47:44", FormatDateTimeSec(t));
    EXPECT_EQ("0001-01-01 00:00:00.007", FormatDateTimeMs(EncodeDateTime(1, 1, 1, 0, 0, 0, 7)));
    EXPECT_EQ("1899-12-29 06:00:00.000", FormatDateTimeMs(-1.25));
    std::string out = "x=";
    AppendDateTimeMs(out, t);
    out += ';';
    AppendDateTimeSec(out, t);
    EXPECT_EQ("x=2013-06-26 13:47:44.123;2013-06-26 13:47:44", out);
}

TEST(FormatDateTime, TextRoundTripsThroughTheReader) {
    const TDateTime t = EncodeDateTime(2013, 6, 26, 13, 47, 44, 123);
    // The reader ignores milliseconds; the seconds text reads back exactly.
    EXPECT_EQ(EncodeDateTime(2013, 6, 26, 13, 47, 44, 0), ParseIsoDateTime(FormatDateTimeMs(t)));
    for (int day = -700000; day < 2958000; day += 99991) {
        const TDateTime value = day + 0.6180339;
        EXPECT_EQ(FormatDateTimeSec(value), FormatDateTimeSec(ParseIsoDateTime(FormatDateTimeSec(value)))) << day;
    }
}

TEST(ParseIsoDateTime, AcceptedForms) {
    const TDateTime full = EncodeDateTime(2013, 6, 26, 13, 47, 44, 0);
    const struct {
        const char* text;
        TDateTime want;
    } cases[] = {
        {"2013-06-26T13:47:44", full},
        {"2013-06-26 13:47:44.123", full},
        {"2013-06-26 13:47:44,999 and more", full},
        {"2013-06-26 13:47:44Z", full},
        {"2013-06-26  13:47:44", full},
        {"  2013-06-26 13:47:44", full},
        {"2013-06-26 01:47:44 PM", full},
        {"2013-06-26 1:47:44pm", full},
        {"2013-06-26 12:00:00 AM", EncodeDateTime(2013, 6, 26, 0, 0, 0, 0)},
        {"2013-06-26 12:00 PM", EncodeDateTime(2013, 6, 26, 12, 0, 0, 0)},
        {"2013-06-26", EncodeDateTime(2013, 6, 26, 0, 0, 0, 0)},
        {"2013-06-26 ", EncodeDateTime(2013, 6, 26, 0, 0, 0, 0)},
        {"2013-6-2", EncodeDateTime(2013, 6, 2, 0, 0, 0, 0)},
        {"2013-06-26 13", EncodeDateTime(2013, 6, 26, 13, 0, 0, 0)},
        {"2013-06-26 13:47", EncodeDateTime(2013, 6, 26, 13, 47, 0, 0)},
        {"2013-06-26 3:7:4", EncodeDateTime(2013, 6, 26, 3, 7, 4, 0)},
        {"2012-02-29 23:59:59", EncodeDateTime(2012, 2, 29, 23, 59, 59, 0)},
    };
    for (const auto& c : cases) {
        TDateTime got = -1;
        EXPECT_TRUE(TryParseIsoDateTime(c.text, got)) << c.text;
        EXPECT_EQ(c.want, got) << c.text;
        EXPECT_EQ(c.want, ParseIsoDateTime(c.text)) << c.text;
    }
}

TEST(ParseIsoDateTime, RejectedTexts) {
    for (const char* text : {"",
                             "   ",
                             "abc",
                             "2013",
                             "2013-06",
                             "13-06-26",
                             "02013-06-26",
                             "2013/06/26",
                             "2013-13-01",
                             "2013-00-10",
                             "2013-06-32",
                             "2013-02-29",
                             "2013-06-266",
                             "2013-06-26x",
                             "2013-06-26 24:00:00",
                             "2013-06-26 13:60",
                             "2013-06-26 13:47:60",
                             "2013-06-26 13:",
                             "2013-06-26 13:47 junk",
                             "2013-06-26 13 PM",
                             "2013-06-26 113:00",
                             "0000-01-01",
                             "2013-O6-26"}) {
        TDateTime got = 42;
        EXPECT_FALSE(TryParseIsoDateTime(text, got)) << text;
        try {
            ParseIsoDateTime(text);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const TandrelError& e) {
            EXPECT_EQ("'" + std::string(text) + "' is not a valid date and time", e.what());
        }
    }
}

TEST(FileTimes, ZeroAndOutOfRangeTimesGiveZero) {
    EXPECT_EQ(0.0, FileTimeToLocalDateTime(0));
    EXPECT_EQ(0, LocalDateTimeToFileTime(0));
    // 1700-01-01 and 3500-01-01 in 100 ns ticks since 1601.
    EXPECT_EQ(0.0, FileTimeToLocalDateTime(36159LL * 864000000000LL));
    EXPECT_EQ(0.0, FileTimeToLocalDateTime(693596LL * 864000000000LL));
}

TEST(FileTimes, LocalDateTimeRoundTripsThroughFileTime) {
    for (const TDateTime t : {EncodeDateTime(2013, 6, 26, 13, 47, 44, 123), EncodeDateTime(2013, 1, 5, 1, 2, 3, 4),
                              EncodeDateTime(1850, 7, 1, 12, 0, 0, 999)}) {
        const platform::FileTime ft = LocalDateTimeToFileTime(t);
        ASSERT_NE(0, ft) << FormatDateTimeMs(t);
        EXPECT_EQ(FormatDateTimeMs(t), FormatDateTimeMs(FileTimeToLocalDateTime(ft)));
    }
}

TEST(FileTimes, ModificationTimeOfAFile) {
    testing::TempDir dir;
    const std::string file = dir.WriteFile("a.txt", "x");
    const TDateTime when = EncodeDateTime(2013, 6, 26, 13, 47, 44, 123);
    ASSERT_TRUE(platform::SetLastWriteTime(file, LocalDateTimeToFileTime(when)));
    EXPECT_EQ(FormatDateTimeMs(when), FormatDateTimeMs(FileModificationTime(file)));
    EXPECT_EQ(0.0, FileModificationTime(dir.Path("missing.txt")));
}

TEST(AddTimestampToFileName, JoinsBaseTimeAndExtension) {
    const TDateTime at = EncodeDateTime(2013, 6, 26, 13, 47, 4, 5);
    const struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"snap.txt", "snap_20130626_134704_005.txt"},
        {"snap_.txt", "snap_20130626_134704_005.txt"},
        {"a.b.log", "a.b_20130626_134704_005.log"},
        {"noext", "noext_20130626_134704_005"},
        {".txt", "20130626_134704_005.txt"},
        {"", "20130626_134704_005"},
        {"/tmp/my.dir/file", "/tmp/my.dir/file_20130626_134704_005"},
        {"/tmp/x/.hidden", "/tmp/x/20130626_134704_005.hidden"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, AddTimestampToFileName(c.name, at)) << c.name;
    EXPECT_EQ(std::string("n_").size() + 19 + 4, AddTimestampToFileName("n.txt").size());
}

TEST(FormatHms, PadsEachPart) {
    EXPECT_EQ("00:00:00", FormatHms(0));
    EXPECT_EQ("01:01:01", FormatHms(3661));
    EXPECT_EQ("100:00:59", FormatHms(360059));
    EXPECT_EQ("-00:01:01", FormatHms(-61));
}

TEST(FormatDuration, PartsAndSign) {
    const double second = 1.0 / 86400;
    const struct {
        double days;
        const char* want;
    } cases[] = {
        {1 + 3661 * second, "1d 1h 1m 1s"},
        {3600 * second, "1h"},
        {0, "0s"},
        {2, "2d"},
        {(86400 + 5) * second, "1d 5s"},
        {59.6 * second, "1m"},
        {-3600 * second, "(-)1h"},
        {-0.2 * second, "0s"},
        {3725 * second, "1h 2m 5s"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FormatDuration(c.days)) << c.days;
}

TEST(FormatRelativeTime, FutureExpiredAndPast) {
    const TDateTime now = EncodeDateTime(2013, 6, 26, 12, 0, 0, 0);
    const double hour = 1.0 / 24;
    EXPECT_EQ("1h", FormatRelativeTime(false, now + hour, now));
    EXPECT_EQ("<expired>", FormatRelativeTime(false, now - hour, now));
    EXPECT_EQ("1h ago", FormatRelativeTime(true, now - hour, now));
    EXPECT_EQ("0s", FormatRelativeTime(false, now, now));
    // The age of something created two days ago, shown without " ago".
    const TDateTime created = now - 2;
    EXPECT_EQ("2d", FormatRelativeTime(false, now + (now - created), now));
    EXPECT_EQ("1d", FormatRelativeTime(false, Now() + 1));
}

class ExpandDatePatternTest : public ::testing::Test {
protected:
    ~ExpandDatePatternTest() override { SetCommandLineArgs({}); }
};

TEST_F(ExpandDatePatternTest, ReplacesEveryToken) {
    SetCommandLineArgs({"date=2013-06-26"});
    EXPECT_EQ("snap_130626", ExpandDatePattern("snap_[yy][mm][dd]"));
    SetCommandLineArgs({"/date=2013/06/05"});
    EXPECT_EQ("5 05 6 06 13 2013 00:00:00 [x] [D] 5-5",
              ExpandDatePattern("[d] [dd] [m] [mm] [yy] [yyyy] [hh]:[ii]:[ss] [x] [D] [d]-[d]"));
    SetCommandLineArgs({"date:20130605"});
    EXPECT_EQ("2013-06-05", ExpandDatePattern("[yyyy]-[mm]-[dd]"));
    EXPECT_EQ("no tokens", ExpandDatePattern("no tokens"));
}

TEST_F(ExpandDatePatternTest, AddsTheDayOffset) {
    SetCommandLineArgs({"date=2013-06-26", "dateoffset=6"});
    EXPECT_EQ("2013-07-02", ExpandDatePattern("[yyyy]-[mm]-[dd]"));
    SetCommandLineArgs({"date=2013-03-01", "dateoffset=-1"});
    EXPECT_EQ("2013-02-28", ExpandDatePattern("[yyyy]-[mm]-[dd]"));
    SetCommandLineArgs({"date=2013-03-01", "dateoffset=x"});
    EXPECT_THROW(ExpandDatePattern("[dd]"), TandrelError);
}

TEST_F(ExpandDatePatternTest, WithoutTheOptionUsesToday) {
    const platform::CalendarFields before = DecodeDateTime(Now());
    const std::string text = ExpandDatePattern("[yyyy]-[mm]-[dd]");
    const platform::CalendarFields after = DecodeDateTime(Now());
    char want[2][16];
    std::snprintf(want[0], sizeof want[0], "%04d-%02d-%02d", before.year, before.month, before.day);
    std::snprintf(want[1], sizeof want[1], "%04d-%02d-%02d", after.year, after.month, after.day);
    EXPECT_TRUE(text == want[0] || text == want[1]) << text;
}

TEST_F(ExpandDatePatternTest, MalformedDatesRaiseTheFormatError) {
    for (const char* date : {"2013-6-26", "201306", "2013-13-45", "abcdefghij", "2013-02-30", "20131345", "2013 06 26",
                             "+013-06-26", "2013-06-2x"}) {
        SetCommandLineArgs({std::string("date=") + date});
        try {
            ExpandDatePattern("[dd]");
            ADD_FAILURE() << "no error for " << date;
        } catch (const TandrelError& e) {
            EXPECT_EQ(std::string("invalid date ") + date + ". Date format= yyyymmdd / yyyy-mm-dd / yyyy/mm/dd",
                      e.what());
        }
    }
}

}  // namespace
}  // namespace tandrel
