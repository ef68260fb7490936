#include "common/split.h"

#include <gtest/gtest.h>

#include "platform/text_collate.h"

namespace tandrel {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitTest, SplitString) {
    struct Case {
        std::string text, delimiter;
        bool trim;
        Pieces pieces;
    };
    const Case cases[] = {
        {"", "|", false, {}},
        {"abc", "|", false, {"abc"}},
        {"a||b", "|", false, {"a", "", "b"}},
        {"a|b|", "|", false, {"a", "b", ""}},
        {"|", "|", false, {"", ""}},
        {"a::b:c::", "::", false, {"a", "b:c", ""}},  // the whole delimiter must match
        {" a |\tb\r| ", "|", true, {"a", "b", ""}},
        {" a | b ", "|", false, {" a ", " b "}},
        {"a|b", "", false, {"a|b"}},  // no delimiter: one piece
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitString(c.text, c.delimiter, c.trim), c.pieces) << c.text;
    }
}

TEST(SplitTest, SplitToListKeepsBlanks) { EXPECT_EQ(SplitToList(" a |b", "|"), (TStringList{" a ", "b"})); }

TEST(SplitTest, SplitList) {
    struct Case {
        std::string text, delimiter;
        Pieces items;
    };
    const Case cases[] = {
        {"a,,b", ",", {"a", "b"}},
        {" a , b ,", ",", {"a", "b"}},
        {"\"x;y\";z", ";", {"x;y", "z"}},
        {"\"say \"\"hi\"\"\" there", " ", {"say \"hi\"", "there"}},
        {"one \"two words\" -three", " ", {"one", "two words", "-three"}},
        {"\"open,end", ",", {"open,end"}},  // a quote left open runs to the end
        {"\"  \",a", ",", {"a"}},           // blank after trimming: dropped
        {"", ",", {}},
        {"a<>b", "<>", {"a", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitList(c.text, c.delimiter), c.items) << c.text;
}

TEST(SplitTest, SplitListDefaultsToTheLocaleListSeparator) {
    const std::string& separator = platform::GetLocaleSeparators().list;
    EXPECT_EQ(SplitList("a" + separator + " b"), (Pieces{"a", "b"}));
}

}  // namespace
}  // namespace tandrel
