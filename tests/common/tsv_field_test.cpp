#include "common/tsv_field.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tandrel {
namespace {

TEST(TsvField, EscapesTheCharactersThatWouldSplitARow) {
    struct Case {
        std::string raw, escaped;
    };
    const Case cases[] = {
        {"", ""},
        {"plain name.txt", "plain name.txt"},
        {"a\tb", "a%09b"},
        {"line\nbreak", "line%0Abreak"},
        {"cr\r", "cr%0D"},
        {"100%", "100%25"},
        {"%09", "%2509"},  // a name that looks escaped stays itself
        {"\t\n\r%", "%09%0A%0D%25"},
        {"caf\xC3\xA9 | x;y", "caf\xC3\xA9 | x;y"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.escaped, EscapeTsvField(c.raw)) << c.raw;
        EXPECT_EQ(c.raw, UnescapeTsvField(c.escaped)) << c.escaped;
    }
}

TEST(TsvField, UnescapeDecodesAnyHexPairAndKeepsAStrayPercent) {
    EXPECT_EQ("a\tb\x7F", UnescapeTsvField("a%09b%7f"));
    EXPECT_EQ("50% off", UnescapeTsvField("50% off"));
    EXPECT_EQ("%", UnescapeTsvField("%"));
    EXPECT_EQ("%4", UnescapeTsvField("%4"));
    EXPECT_EQ("%G1x", UnescapeTsvField("%G1x"));
}

TEST(TsvField, EveryByteRoundTrips) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const std::string escaped = EscapeTsvField(all);
    EXPECT_EQ(std::string::npos, escaped.find_first_of("\t\n\r"));
    EXPECT_EQ(all, UnescapeTsvField(escaped));
}

TEST(TsvField, LineJoinsEscapedFields) {
    EXPECT_EQ("1\ta%09b\t\tc%0Ad\n", TsvLine({"1", "a\tb", "", "c\nd"}));
    EXPECT_EQ("\n", TsvLine({}));
}

}  // namespace
}  // namespace tandrel
