#include "platform/text_collate.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace tandrel::platform {
namespace {

struct OrderCase {
    const char* a;
    const char* b;
    int expected;
};

TEST(CollateCompare, IgnoresCaseButNotAccents) {
    const OrderCase cases[] = {
        {"a", "A", 0},
        {"Readme.TXT", "readme.txt", 0},
        {"straße", "STRASSE", 1},  // ß is a secondary (accent-like) difference, not equal
        {"e", "é", -1},            // accents are secondary differences
        {"é", "f", -1},            // ...but less than a letter difference
        {"apple", "Banana", -1},   // case never decides before the letters do
        {"", "a", -1},
        {"abc", "abc", 0},
    };
    for (const OrderCase& c : cases) {
        EXPECT_EQ(CollateCompare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(CollateCompare(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(CollateSortKey, KeysOrderAsTheComparison) {
    // Every pair: the byte order of the keys is the comparison's order.
    const char* texts[] = {"a",    "A",         "Readme.TXT", "readme.txt", "straße", "STRASSE", "e",        "é",
                           "f",    "apple",     "Banana",     "",           "abc",    "ab",      "abc d",    "abc_d",
                           "日本", "Übersicht", "zz",         "a\xff",      "10",     "9",       "naïve.txt"};
    for (const char* a : texts) {
        for (const char* b : texts) {
            const int byKeys = CollateSortKey(a).compare(CollateSortKey(b));
            const int expected = CollateCompare(a, b);
            EXPECT_EQ(byKeys < 0 ? -1 : (byKeys > 0 ? 1 : 0), expected) << a << " vs " << b;
        }
    }
    // A key ends in its only zero byte, so keys can be put one after another.
    const std::string key = CollateSortKey("Readme.TXT");
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(key.find('\0'), key.size() - 1);
}

TEST(CollateCompareLogical, OrdersDigitRunsByValue) {
    const OrderCase cases[] = {
        {"file2", "file10", -1},
        {"File2", "file2", 0},
        {"v1.9", "v1.10", -1},
        {"a100b", "a99b", 1},
    };
    for (const OrderCase& c : cases) {
        EXPECT_EQ(CollateCompareLogical(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    }
    // The plain comparison compares digits as characters.
    EXPECT_EQ(CollateCompare("file2", "file10"), 1);
}

TEST(CaseMapping, MapsUnicodeAndKeepsInvalidBytes) {
    EXPECT_EQ(LowerCase("ÄÖÜ Straße ABC"), "äöü straße abc");
    EXPECT_EQ(UpperCase("äöü abc"), "ÄÖÜ ABC");
    // Simple mapping: ß has no single upper-case code point, so it stays.
    EXPECT_EQ(UpperCase("ß"), "ß");
    const std::string invalid =
        "A\xff"
        "B\xc3"
        "C\xe2\x82";
    EXPECT_EQ(LowerCase(invalid),
              "a\xff"
              "b\xc3"
              "c\xe2\x82");
    EXPECT_EQ(UpperCase("x\x80y"), "X\x80Y");
}

TEST(SameTextIgnoreCase, FoldsCaseOnly) {
    EXPECT_TRUE(SameTextIgnoreCase("ÄBC.txt", "äbc.TXT"));
    EXPECT_TRUE(SameTextIgnoreCase("ΣΊΣΥΦΟΣ", "σίσυφοσ"));
    EXPECT_FALSE(SameTextIgnoreCase("abc", "abd"));
    EXPECT_FALSE(SameTextIgnoreCase("abc", "abcd"));
    EXPECT_FALSE(SameTextIgnoreCase("e", "é"));
    // A letter outside ASCII may fold to an ASCII one, after an ASCII run.
    EXPECT_TRUE(SameTextIgnoreCase("/path/\u212Aelvin", "/PATH/kELVIN"));
    EXPECT_TRUE(SameTextIgnoreCase("/path/k", "/path/\u212A"));
    EXPECT_FALSE(SameTextIgnoreCase("/path/\u212Aa", "/path/kb"));
    // Invalid bytes must match exactly, not as "some invalid sequence".
    EXPECT_TRUE(SameTextIgnoreCase("A\xff", "a\xff"));
    EXPECT_FALSE(SameTextIgnoreCase("a\xff", "a\xfe"));
}

TEST(LocaleSeparators, CLocaleFallsBackToDefaults) {
    // The tests run in the "C" locale, which has no thousands separator.
    const LocaleSeparators& s = GetLocaleSeparators();
    EXPECT_EQ(s.thousands, ",");
    EXPECT_EQ(s.decimal, ".");
    EXPECT_EQ(s.list, ",");
}

}  // namespace
}  // namespace tandrel::platform
