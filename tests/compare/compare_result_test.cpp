#include "compare/compare_result.h"

#include <gtest/gtest.h>

#include "compare/file_entry_compare.h"

namespace tandrel {
namespace {

TEST(CompareResultText, FixedTextsOfEveryValue) {
    const struct {
        TFileCompareResult result;
        const char* text;
    } cases[] = {
        {FC_EMPTY, ""},
        {FC_IDENTICAL, "IDENTICAL"},
        {FC_LOOSE_COPY, "loose copy"},
        {FC_SIZE_DIFFERENT, "size is different"},
        {FC_ACCESS_VIOLATION, "access violation"},
        {FC_RIGHT_MISSING, "right-file not found"},
        {FC_CANCELLED, ""},
        {FC_DELETED, "<deleted>"},
        {FC_CACHE_MISS, "<unknown>"},
        {FC_FILE_MISSING, "<unknown>"},
        {static_cast<TFileCompareResult>(200), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, CompareResultText(c.result)) << int(c.result);
}

TEST(TFileEntryCompare, CopyCarriesTheStatus) {
    TFileEntryCompare entry;
    entry.FileName = "a.txt";
    entry.Path = "/left/sub/";
    entry.Size = 42;
    entry.SetStatus(FC_LOOSE_COPY);
    TFileEntryCompare copy = entry;
    EXPECT_EQ(FC_LOOSE_COPY, copy.Status());
    EXPECT_EQ("/left/sub/", copy.Path);
    EXPECT_EQ(42, copy.Size);
}

}  // namespace
}  // namespace tandrel
