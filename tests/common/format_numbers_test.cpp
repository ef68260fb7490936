// Tests run in the C locale: "," groups thousands and "." marks decimals.
#include "common/format_numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "support/recording_messages.h"

namespace tandrel {
namespace {

TEST(FormatCount, RoundsAndGroupsWithCommas) {
    const struct {
        double value;
        const char* want;
    } cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {1234567, "1,234,567"},
        {999.5, "1,000"},
        {2.5, "3"},
        {-2.5, "-3"},
        {-1234.4, "-1,234"},
        {-0.4, "0"},
        {1e15, "1,000,000,000,000,000"},
        {123456.49, "123,456"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FormatCount(c.value)) << c.value;
}

TEST(FormatCountSigned, PlusForPositiveAndZero) {
    EXPECT_EQ("+0", FormatCountSigned(0));
    EXPECT_EQ("+0", FormatCountSigned(-0.000001));
    EXPECT_EQ("+1,500", FormatCountSigned(1500));
    EXPECT_EQ("-5", FormatCountSigned(-5));
    EXPECT_EQ("-1,234", FormatCountSigned(-1234));
}

TEST(FormatGrouped, DecimalsRoundHalfAwayFromZeroOnTheShortestForm) {
    const struct {
        int decimals;
        double value;
        const char* want;
    } cases[] = {
        {2, 1234.5, "1,234.50"}, {0, 999999.5, "1,000,000"}, {2, 1.125, "1.13"},    {2, 0.285, "0.29"},
        {2, 9.995, "10.00"},     {2, 999.999, "1,000.00"},   {3, -0.0004, "0.000"}, {1, -1234.56, "-1,234.6"},
        {0, 0.5, "1"},           {2, 0.004, "0.00"},         {4, 1e-7, "0.0000"},   {2, 123, "123.00"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FormatGrouped(c.decimals, c.value)) << c.value;
}

TEST(FormatFixed, NoGrouping) {
    EXPECT_EQ("1234.50", FormatFixed(2, 1234.5));
    EXPECT_EQ("1235", FormatFixed(0, 1234.5));
    EXPECT_EQ("-0.1", FormatFixed(1, -0.06));
    EXPECT_EQ("1000000.000", FormatFixed(3, 1e6));
}

TEST(FormatNumbers, NonFiniteValuesHaveAText) {
    EXPECT_EQ("NAN", FormatCount(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ("INF", FormatGrouped(2, std::numeric_limits<double>::infinity()));
    EXPECT_EQ("-INF", FormatFixed(2, -std::numeric_limits<double>::infinity()));
}

TEST(FormatBytes, UnitsByMagnitude) {
    const struct {
        std::int64_t bytes;
        const char* want;
    } cases[] = {
        {0, "0b"},
        {1023, "1023b"},
        {1024, "1.00KB"},
        {1536, "1.50KB"},
        {1048575, "1,024.00KB"},
        {1048576, "1.00MB"},
        {1073741823, "1,024.00MB"},
        {1073741824, "1.00GB"},
        {5LL << 40, "5,120.00GB"},
        {-5, "-5b"},
        {1000, "1000b"},
        {-5000000, "-5000000b"},
        {std::numeric_limits<std::int64_t>::max(), "8,589,934,592.00GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FormatBytes(c.bytes)) << c.bytes;
}

TEST(FormatPercentChange, SignAndEmptyBase) {
    EXPECT_EQ("", FormatPercentChange(0, 150, 0));
    EXPECT_EQ("", FormatPercentChange(2, 150, 0.000001));
    EXPECT_EQ("+50%", FormatPercentChange(0, 150, 100));
    EXPECT_EQ("-50.0%", FormatPercentChange(1, 50, 100));
    EXPECT_EQ("0%", FormatPercentChange(0, 100, 100));
    EXPECT_EQ("+1,900.00%", FormatPercentChange(2, 20, 1));
}

TEST(SizeInUnitToBytes, UnitsIgnoringCase) {
    testing::RecordingMessages messages;
    EXPECT_EQ(7, SizeInUnitToBytes("bytes", 7));
    EXPECT_EQ(7 * 1024, SizeInUnitToBytes("KB", 7));
    EXPECT_EQ(7LL << 20, SizeInUnitToBytes("Mb", 7));
    EXPECT_EQ(7LL << 30, SizeInUnitToBytes("gb", 7));
    EXPECT_EQ(-(3LL << 30), SizeInUnitToBytes("GB", -3));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(SizeInUnitToBytes, BeyondTheRangeSaturates) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(kMax, SizeInUnitToBytes("gb", 1LL << 40));
    EXPECT_EQ(kMin, SizeInUnitToBytes("gb", -(1LL << 40)));
    EXPECT_EQ(kMax, SizeInUnitToBytes("kb", kMax / 1000));
    EXPECT_EQ((kMax / 1024) * 1024, SizeInUnitToBytes("kb", kMax / 1024));
}

TEST(SizeInUnitToBytes, UnknownUnitIsShownAndValueKept) {
    testing::RecordingMessages messages;
    EXPECT_EQ(12, SizeInUnitToBytes("tb", 12));
    EXPECT_EQ(12, SizeInUnitToBytes("", 12));
    ASSERT_EQ(2u, messages.shown.size());
    EXPECT_EQ("Unknown size type", messages.shown[0]);
}

TEST(PadZero, PadsToWidth) {
    EXPECT_EQ("007", PadZero("7", 3));
    EXPECT_EQ("1234", PadZero("1234", 3));
    EXPECT_EQ("00", PadZero("", 2));
    EXPECT_EQ("5", PadZero("5", -1));
}

}  // namespace
}  // namespace tandrel
