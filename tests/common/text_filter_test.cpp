#include "common/text_filter.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

TEST(MatchesTextFilter, WordsMustAllOccurAndExclusionsMustNot) {
    struct Case {
        std::vector<std::string> words;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {{"invoice", "-copy"}, "invoice 2013.pdf", true},
        {{"invoice", "-copy"}, "invoice copy.pdf", false},
        {{"invoice", "2013"}, "Invoice 2014.pdf", false},
        {{"INVOICE", " 2013 "}, "/docs/invoice 2013.PDF", true},
        {{"-COPY"}, "Copy of x", false},
        {{"-copy"}, "x", true},
        {{}, "anything", true},
        {{"", "  ", "-"}, "anything", true},
        {{"ärger"}, "ÄRGER.txt", true},
        {{"-Ärger"}, "das ärger.txt", false},
        {{"report 2013"}, "the report 2013.doc", true},
        {{"report 2013"}, "report-2013.doc", false},
        {{"x"}, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesTextFilter(c.words, c.text), c.matches) << c.text;
        EXPECT_EQ(MatchesTextFilter(PrepareTextFilter(c.words), c.text), c.matches) << c.text;
    }
}

TEST(MatchesTextFilter, PreparedFilterKeepsWordsLoweredAndTrimmed) {
    TextFilter filter = PrepareTextFilter({" Foo ", "-BAR", "-", ""});
    EXPECT_EQ(filter.required, std::vector<std::string>{"foo"});
    EXPECT_EQ(filter.excluded, std::vector<std::string>{"bar"});
    EXPECT_FALSE(filter.MatchesEverything());
    EXPECT_TRUE(PrepareTextFilter({"-", " "}).MatchesEverything());
}

// Against the plain match of the whole text, with words inside the prefix,
// inside the suffix and across the seam.
TEST(PrefixedTextFilter, MatchesAsTheWholeTextWould) {
    const std::vector<std::vector<std::string>> filters = {
        {"report"}, {"-old"}, {"docs", "report"}, {"s/rep"}, {"-s/rep"}, {"\"a b\""}, {"b/c"}, {"-"}};
    const std::vector<std::string> prefixes = {"", "/home/docs/", "/home/old/", "/a/b", "/x/s"};
    const std::vector<std::string> suffixes = {"", "report.txt", "/report", "rep", "c.txt", " b.txt", "old"};
    for (const auto& words : filters) {
        const TextFilter filter = PrepareTextFilter(words);
        PrefixedTextFilter matcher(filter);
        for (const std::string& prefix : prefixes) {
            matcher.SetPrefix(prefix);
            for (const std::string& suffix : suffixes)
                EXPECT_EQ(MatchesLoweredText(filter, prefix + suffix), matcher.Matches(suffix))
                    << words.front() << " | " << prefix << " | " << suffix;
        }
    }
}

}  // namespace
}  // namespace tandrel
