#include "common/compressed_text.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "common/text_file.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// Lines that look like a snapshot body, so that they compress as text does.
std::string SampleText(std::size_t bytes) {
    std::mt19937 random(42);
    std::string text;
    while (text.size() < bytes) {
        text += "/home/user/folder" + std::to_string(random() % 5000) + "/file" + std::to_string(random()) + ".dat|" +
                std::to_string(random() % 100000000) + "|133497216000000000\r\n";
    }
    return text;
}

TEST(CompressZlibTest, RoundTripsAndIsAStandardZlibStream) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(100000), std::size_t(3) << 20}) {
        const std::string text = SampleText(size).substr(0, size);
        const std::string compressed = CompressZlib(text);
        ASSERT_GE(compressed.size(), 2u);
        EXPECT_EQ(compressed.substr(0, 2), "\x78\x01");  // window bits 15, fastest level

        std::string out = "stale";
        ASSERT_TRUE(DecompressZlib(compressed, out));
        EXPECT_EQ(out, text);

        // zlib itself reads it back, too.
        std::string check(text.size(), '\0');
        uLongf checkSize = static_cast<uLongf>(check.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(check.data()), &checkSize,
                             reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
                  Z_OK);
        EXPECT_EQ(checkSize, text.size());
        EXPECT_EQ(check, text);
    }
}

TEST(CompressZlibTest, InflatesFarBeyondTheFirstGuess) {
    // 40 MB of zeros compress about a thousandfold: the output grows many times.
    const std::string zeros(40u << 20, '\0');
    std::string out;
    ASSERT_TRUE(DecompressZlib(CompressZlib(zeros), out));
    EXPECT_EQ(out.size(), zeros.size());
    EXPECT_EQ(out, zeros);
    EXPECT_EQ(CompressZlib("abc", 9).substr(0, 2), "\x78\xDA");
}

TEST(CompressZlibTest, TruncatedStreamsFailCleanly) {
    const std::string compressed = CompressZlib(SampleText(20000));
    std::string out;
    for (std::size_t length = 0; length < compressed.size(); ++length) {
        EXPECT_FALSE(DecompressZlib(compressed.substr(0, length), out)) << length;
        EXPECT_TRUE(out.empty());
    }
}

TEST(CompressZlibTest, CorruptStreamsFailCleanly) {
    const std::string compressed = CompressZlib(SampleText(20000));
    std::string out;
    for (std::size_t at : {std::size_t(0), std::size_t(1), std::size_t(7), compressed.size() / 2, compressed.size() - 5,
                           compressed.size() - 1}) {
        std::string corrupt = compressed;
        corrupt[at] = static_cast<char>(corrupt[at] ^ 0x5A);
        EXPECT_FALSE(DecompressZlib(corrupt, out)) << at;
    }
    EXPECT_FALSE(DecompressZlib("not a zlib stream at all", out));
    EXPECT_FALSE(DecompressZlib(std::string(1000, '\xFF'), out));
    EXPECT_TRUE(out.empty());
}

TEST(CompressZlibTest, BytesAfterTheStreamAreIgnored) {
    std::string out;
    ASSERT_TRUE(DecompressZlib(CompressZlib("hello") + "trailing", out));
    EXPECT_EQ(out, "hello");
}

TEST(CompressedTextTest, SaveAndLoadRoundTrip) {
    TempDir dir;
    const std::string file = dir.Path("list.snapshot");
    const TStringList lines = {"[section]", "caf\xC3\xA9|1", "", "last"};
    ASSERT_TRUE(SaveCompressedText(lines, file));
    std::string text;
    ASSERT_TRUE(DecompressZlib(ReadBytes(file), text));
    EXPECT_EQ(text, "\xEF\xBB\xBF[section]\r\ncaf\xC3\xA9|1\r\n\r\nlast\r\n");

    TStringList loaded = {"stale"};
    ASSERT_TRUE(LoadPlainOrCompressedText(loaded, file));
    EXPECT_EQ(loaded, lines);
    EXPECT_FALSE(SaveCompressedText(lines, dir.MakeFolder("taken")));
}

TEST(CompressedTextTest, ShortListsThatPassTheBinaryTestAsTextStillInflate) {
    // A stream of a few dozen bytes often has fewer than four control bytes.
    TempDir dir;
    const std::string file = dir.Path("short.snapshot");
    int lookLikeText = 0;
    for (int i = 0; i < 40; ++i) {
        const TStringList lines = {"[section]", "caf\xC3\xA9|" + std::to_string(i), "", "last"};
        ASSERT_TRUE(SaveCompressedText(lines, file));
        if (!IsBinaryFile(file)) ++lookLikeText;
        TStringList loaded;
        ASSERT_TRUE(LoadPlainOrCompressedText(loaded, file));
        EXPECT_EQ(loaded, lines) << i;
    }
    // The fixture only shows something if some of these streams look like text.
    EXPECT_GT(lookLikeText, 0);
}

TEST(CompressedTextTest, PlainTextFilesLoadAsText) {
    TempDir dir;
    struct Case {
        std::string bytes;
        TStringList lines;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFplain\r\ntext", {"plain", "text"}},
        {"caf\xE9", {"caf\xC3\xA9"}},
        {"x^ starts like a zlib header\r\n", {"x^ starts like a zlib header"}},
        // A UTF-16 LE text is full of 00 bytes and still loads as text.
        {std::string("\xFF\xFE"
                     "a\0\n\0b\0",
                     8),
         {"a", "b"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        TStringList lines = {"stale"};
        ASSERT_TRUE(LoadPlainOrCompressedText(lines, dir.WriteFile("plain.txt", c.bytes)));
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(CompressedTextTest, CorruptOrUnreadableFilesFailWithEmptyList) {
    TempDir dir;
    std::string compressed = CompressZlib(SampleText(5000));
    TStringList lines = {"stale"};
    EXPECT_FALSE(LoadPlainOrCompressedText(lines, dir.WriteFile("cut.snapshot", compressed.substr(0, 100))));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(LoadPlainOrCompressedText(lines, dir.Path("missing")));

    const std::string locked = dir.WriteFile("locked.snapshot", compressed);
    platform::test_hooks::DenyAccessBelow(locked);
    lines = {"stale"};
    EXPECT_FALSE(LoadPlainOrCompressedText(lines, locked));
    EXPECT_TRUE(lines.empty());
    platform::test_hooks::DenyAccessBelow("");
}

}  // namespace
}  // namespace tandrel
