#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace tandrel {
namespace {

TEST(TextEncodingTest, IsValidUtf8) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ascii\r\n", true},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true},  // 2-, 3- and 4-byte forms
        {"\xC0\x80", false},                                  // overlong NUL
        {"\xE0\x80\xAF", false},                              // overlong "/"
        {"\xED\xA0\x80", false},                              // surrogate
        {"\xF4\x90\x80\x80", false},                          // above U+10FFFF
        {"ok\xE2\x82", false},                                // cut short
        {"\x80", false},                                      // lone continuation byte
        {"caf\xE9", false},                                   // Windows-1252 e-acute
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TextEncodingTest, Utf16RoundTripsIncludingSurrogatePairs) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    EXPECT_EQ(Utf8ToUtf16Le(text), std::string("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDEz\0", 12));
    EXPECT_EQ(Utf8ToUtf16Be(text), std::string("\0a\0\xE9\x20\xAC\xD8\x3D\xDE\x00\0z", 12));
    EXPECT_EQ(Utf16LeToUtf8(Utf8ToUtf16Le(text)), text);
    EXPECT_EQ(Utf16BeToUtf8(Utf8ToUtf16Be(text)), text);
}

TEST(TextEncodingTest, BrokenUtf16BecomesReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string le;
        std::string expected;
    };
    const Case cases[] = {
        {std::string("\x3D\xD8", 2), fffd},  // high surrogate at the end
        {std::string("\x3D\xD8"
                     "a\0",
                     4),
         fffd + "a"},  // high surrogate before a letter
        {std::string("\x00\xDE"
                     "a\0",
                     4),
         fffd + "a"},                          // low surrogate alone
        {std::string("a\0b", 3), "a" + fffd},  // odd last byte
    };
    for (const auto& c : cases) EXPECT_EQ(Utf16LeToUtf8(c.le), c.expected);
}

TEST(TextEncodingTest, Windows1252MapsEveryByteAndBack) {
    for (int b = 0; b < 256; ++b) {
        std::string byte(1, static_cast<char>(b));
        std::string utf8 = Windows1252ToUtf8(byte);
        ASSERT_TRUE(IsValidUtf8(utf8)) << b;
        EXPECT_EQ(Utf8ToWindows1252(utf8), byte) << b;
    }
    EXPECT_EQ(Windows1252ToUtf8("\x80\x9F\xE9\x41"),
              "\xE2\x82\xAC\xC5\xB8\xC3\xA9"
              "A");
    // The undefined bytes stand for the C1 controls of the same number.
    EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(TextEncodingTest, Windows1252WritesQuestionMarksForWhatItCannotHold) {
    EXPECT_EQ(Utf8ToWindows1252("\xE6\xBC\xA2"), "?");  // a CJK character
    EXPECT_EQ(Utf8ToWindows1252("\xC2\x80"), "?");      // U+0080: byte 80 is the euro sign
    EXPECT_EQ(Utf8ToWindows1252("a\xFF"
                                "b"),
              "a?b");                                       // invalid UTF-8
    EXPECT_EQ(Utf8ToWindows1252("\xF0\x9F\x98\x80"), "?");  // one question mark per character
}

TEST(TextEncodingTest, DecodeTextBytesByMarkThenUtf8ThenWindows1252) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         "caf\xC3\xA9"},
        {"\xEF\xBB\xBF"
         "raw\xFF",
         "raw\xFF"},  // bytes after the UTF-8 mark are kept as they are
        {std::string("\xFF\xFE"
                     "a\0\xE9\0",
                     6),
         "a\xC3\xA9"},
        {std::string("\xFE\xFF\0a\0\xE9", 6), "a\xC3\xA9"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeTextBytes(c.bytes), c.text);
}

}  // namespace
}  // namespace tandrel
