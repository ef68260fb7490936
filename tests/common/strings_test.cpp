#include "common/strings.h"

#include <gtest/gtest.h>

#include <limits>

namespace tandrel {
namespace {

TEST(Trim, RemovesControlCharactersAndBlanksOnlyAtTheEnds) {
    EXPECT_EQ(Trim(" \t\r\n a b \x01\x1f"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
    // Bytes of multibyte UTF-8 characters are above ' ' and stay.
    EXPECT_EQ(Trim(" \xC3\xA9 "), "\xC3\xA9");
}

TEST(SubstringTests, ContainsStartsEndsAndPositions) {
    EXPECT_TRUE(Contains("invoice.pdf", "ice"));
    EXPECT_FALSE(Contains("invoice.pdf", "ICE"));
    EXPECT_TRUE(NotContains("invoice.pdf", "x"));
    EXPECT_TRUE(ContainsText("Invoice.PDF", "ice.pdf"));
    EXPECT_TRUE(ContainsText("Über Größe", "ÜBER GRÖ"));
    EXPECT_TRUE(StartsWith("/home/a", "/home"));
    EXPECT_TRUE(NotStartsWith("x/home/a", "/home"));
    EXPECT_EQ(LastPos("a.b.c", "."), 4);
    EXPECT_EQ(LastPos("abc", "x"), 0);
    // An empty part is found nowhere.
    EXPECT_FALSE(Contains("abc", ""));
    EXPECT_FALSE(StartsWith("abc", ""));
    EXPECT_FALSE(EndsWith("abc", ""));
    EXPECT_EQ(LastPos("abc", ""), 0);
}

TEST(EndsWith, OnlyWhenTheFirstOccurrenceIsTheFinalOne) {
    EXPECT_TRUE(EndsWith("a.snapshot", ".snapshot"));
    EXPECT_FALSE(EndsWith("a.snapshot.snapshot", ".snapshot"));
    EXPECT_FALSE(EndsWith("a.snapshot.old", ".snapshot"));
    EXPECT_FALSE(EndsWith("ot", ".snapshot"));
    EXPECT_TRUE(EndsWith(".snapshot", ".snapshot"));
}

TEST(RemoveSuffix, TrimsBothAndRemovesAFinalOccurrence) {
    EXPECT_EQ(RemoveSuffix(" name.snapshot ", ".snapshot "), "name");
    EXPECT_EQ(RemoveSuffix("a.snapshot.snapshot", ".snapshot"), "a.snapshot");
    EXPECT_EQ(RemoveSuffix("name.snapshot.bak", ".snapshot"), "name.snapshot.bak");
    EXPECT_EQ(RemoveSuffix("abc", ""), "abc");
}

TEST(InArrayText, ComparesTrimmedInUpperCase) {
    std::vector<std::string> array{" Alpha ", "größe"};
    EXPECT_TRUE(InArrayText("alpha", array));
    EXPECT_TRUE(InArrayText(" GRÖßE\t", array));
    EXPECT_FALSE(InArrayText("alp", array));
    EXPECT_FALSE(InArrayText("x", {}));
}

TEST(ReplaceAll, ReplacesEveryOccurrenceWithoutRescanning) {
    EXPECT_EQ(ReplaceAll("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("abc", "b", ""), "ac");
}

TEST(ReplaceAllIgnoreCase, MatchesAnyCaseAndKeepsTheRest) {
    EXPECT_EQ(ReplaceAllIgnoreCase("Foo fOO bar", "foo", "x"), "x x bar");
    // Non-ASCII text: offsets of the original are kept even where lowering
    // changes byte lengths (U+0130 lowers to a one-byte "i").
    EXPECT_EQ(ReplaceAllIgnoreCase("ÄRGER ärger", "ärger", "Ok"), "Ok Ok");
    EXPECT_EQ(ReplaceAllIgnoreCase("\xC4\xB0X-ix", "ix", "_"), "_-_");
    EXPECT_EQ(ReplaceAllIgnoreCase("abc", "", "x"), "abc");
}

TEST(PadLeft, PadsToWidthInCharacters) {
    EXPECT_EQ(PadLeft("ab", 4), "  ab");
    EXPECT_EQ(PadLeft("abcde", 4), "abcde");
    EXPECT_EQ(PadLeft("\xC3\xA9", 3), "  \xC3\xA9");
    EXPECT_EQ(Spaces(3), "   ");
    EXPECT_EQ(Spaces(-1), "");
}

TEST(FormatArgs, ReplacesPlaceholdersByIndex) {
    EXPECT_EQ(FormatArgs("{1} of {0}, {1}", {"ten", "two"}), "two of ten, two");
    // Missing values and non-numeric braces stay; inserted values are not rescanned.
    EXPECT_EQ(FormatArgs("{0} {2} {x} {}", {"{1}", "one"}), "{1} {2} {x} {}");
    EXPECT_EQ(FormatArgs("{0}|{1}|{2}|{3}|{4}", true, std::int64_t{-12345678901}, 'c', std::string("s"), 7u),
              "True|-12345678901|c|s|7");
    EXPECT_EQ(FormatArgs("{0}", false), "False");
}

TEST(ArgText, FloatingValuesInFixedFormatWithTwoDecimals) {
    std::string text = ArgText(2.5);
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text.substr(0, 1), "2");
    EXPECT_EQ(text.substr(2), "50");
}

TEST(TryStrToInt64, AcceptsSignedDecimalsOnly) {
    struct Case {
        const char* text;
        bool ok;
        std::int64_t value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {" 42 ", true, 42},
        {"-9223372036854775808", true, std::numeric_limits<std::int64_t>::min()},
        {"+9223372036854775807", true, std::numeric_limits<std::int64_t>::max()},
        {"9223372036854775808", false, 0},
        {"", false, 0},
        {"+", false, 0},
        {"+-5", false, 0},
        {"12a", false, 0},
        {"1 2", false, 0},
        {"0x10", false, 0},
    };
    for (const Case& c : cases) {
        std::int64_t value = -1;
        EXPECT_EQ(TryStrToInt64(c.text, value), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(value, c.value) << c.text;
        else
            EXPECT_EQ(value, -1) << c.text;
    }
}

TEST(LineNames, EscapeOnlyWhatTheFormatsCannotCarry) {
    struct Case {
        std::string name, escaped;
    };
    const Case cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"100%", "100%"},
        {"50% off", "50% off"},
        {"a|b", "a%7Cb"},
        {"line\nbreak\r", "line%0Abreak%0D"},
        {"%7C", "%257C"},
        {"%25", "%2525"},
        {"%%7c", "%%257c"},
        {"%0d%0A", "%250d%250A"},
        {"%2", "%2"},
        {"%7", "%7"},
        {"%", "%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeLineName(c.name), c.escaped) << c.name;
        EXPECT_EQ(UnescapeLineName(c.escaped), c.name) << c.escaped;
    }
}

TEST(LineNames, EveryShortNameOverTheSpecialAlphabetRoundTrips) {
    const std::string alphabet = "%7CcA0aDd25|\r\nx";
    std::vector<std::string> names{""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string& name : names)
            if (name.size() == static_cast<std::size_t>(length - 1))
                for (char c : alphabet) longer.push_back(name + c);
        names.insert(names.end(), longer.begin(), longer.end());
    }
    for (const std::string& name : names) {
        std::string escaped = EscapeLineName(name);
        ASSERT_EQ(escaped.find_first_of("|\r\n"), std::string::npos) << name;
        ASSERT_EQ(UnescapeLineName(escaped), name) << name;
    }
}

}  // namespace
}  // namespace tandrel
