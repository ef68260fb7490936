#include "scan/snapshot_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/compressed_text.h"

namespace tandrel {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

// Lines that look like a snapshot body, so that they compress as one does.
TStringList SampleLines(std::size_t totalBytes, unsigned seed = 7) {
    std::mt19937 random(seed);
    TStringList lines;
    std::size_t size = 0;
    while (size < totalBytes) {
        std::string line = "file" + std::to_string(random()) + ".dat|" + std::to_string(random() % 100000000) +
                           "|2021-03-04 05:06:07.089|2022-11-12 13:14:15.016|32";
        if (random() % 50 == 0) line = "|/home/user/folder" + std::to_string(random() % 5000) + "/";
        size += line.size() + 2;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string BodyText(const TStringList& lines) {
    std::string text = kBom;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string WriteAll(SnapshotLinesWriter& writer, const TStringList& lines) {
    for (const auto& line : lines) writer.Add(line);
    return writer.TakeCompressed();
}

TStringList ReadAll(SnapshotLineReader& reader) {
    TStringList lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    return lines;
}

TEST(SnapshotLinesWriterTest, EqualsOneShotCompressionOfTheSameText) {
    // Empty, one line, and several chunks handed to the compressor thread.
    for (std::size_t size : {std::size_t(0), std::size_t(10), std::size_t(5) << 20}) {
        SCOPED_TRACE(size);
        const TStringList lines = SampleLines(size);
        SnapshotLinesWriter writer;
        const std::string compressed = WriteAll(writer, lines);
        EXPECT_EQ(compressed, CompressZlib(BodyText(lines), 1));
        std::string inflated;
        ASSERT_TRUE(DecompressZlib(compressed, inflated));
        EXPECT_EQ(inflated, BodyText(lines));
    }
}

TEST(SnapshotLinesWriterTest, BigBodySpillsToDiskAndComesBackExactly) {
    // Random hex barely compresses, so 24 MB of it passes what stays in memory.
    std::mt19937_64 random(3);
    TStringList lines;
    char hex[65];
    for (int i = 0; i < 300000; ++i) {
        std::snprintf(hex, sizeof hex, "%016llx%016llx%016llx%016llx", static_cast<unsigned long long>(random()),
                      static_cast<unsigned long long>(random()), static_cast<unsigned long long>(random()),
                      static_cast<unsigned long long>(random()));
        lines.emplace_back(hex);
    }
    SnapshotLinesWriter writer;
    for (const auto& line : lines) writer.Add(line);
    CompressedBody body = writer.TakeBody();
    EXPECT_TRUE(body.IsSpilled());
    const std::string compressed = body.ToString();
    EXPECT_EQ(static_cast<std::int64_t>(compressed.size()), body.Size());
    EXPECT_EQ(compressed, CompressZlib(BodyText(lines), 1));
}

TEST(SnapshotLinesWriterTest, CountsAndStartsOverAfterTakeAndClear) {
    SnapshotLinesWriter writer;
    const TStringList first = SampleLines(3 << 20, 1);
    for (const auto& line : first) writer.Add(line);
    EXPECT_EQ(writer.Count(), static_cast<std::int64_t>(first.size()));
    // Clear drops the lines, even with chunks already at the compressor.
    writer.Clear();
    EXPECT_EQ(writer.Count(), 0);
    const TStringList second = {"|files.v2|", "|/data/", "a.txt|1|2021-01-01 00:00:00.000|2021-01-01 00:00:00.000|32"};
    EXPECT_EQ(WriteAll(writer, second), CompressZlib(BodyText(second), 1));
    // After TakeCompressed the writer is empty again: just the mark.
    EXPECT_EQ(writer.Count(), 0);
    EXPECT_EQ(writer.TakeCompressed(), CompressZlib(kBom, 1));
}

TEST(SnapshotLineReaderTest, ReadsEveryLineEndOfEveryForm) {
    const std::string text = kBom + "a\r\nb\nc\rd\r\n\r\ne";
    const TStringList expected = {"a", "b", "c", "d", "", "e"};
    SnapshotLineReader fromText = SnapshotLineReader::FromText(text);
    EXPECT_EQ(ReadAll(fromText), expected);
    SnapshotLineReader fromCompressed = SnapshotLineReader::FromCompressed(CompressZlib(text));
    EXPECT_EQ(ReadAll(fromCompressed), expected);
    EXPECT_FALSE(fromCompressed.Failed());
    SnapshotLineReader fromLines = SnapshotLineReader::FromLines({kBom + "a", "b"});
    EXPECT_EQ(ReadAll(fromLines), (TStringList{"a", "b"}));
    // Only a leading mark is skipped.
    SnapshotLineReader markInside = SnapshotLineReader::FromText("x\n" + kBom + "y");
    EXPECT_EQ(ReadAll(markInside), (TStringList{"x", kBom + "y"}));
}

TEST(SnapshotLineReaderTest, LargeBodyStreamsBackExactly) {
    const TStringList lines = SampleLines(6 << 20, 3);
    SnapshotLineReader reader = SnapshotLineReader::FromCompressed(CompressZlib(BodyText(lines)));
    EXPECT_EQ(ReadAll(reader), lines);
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(reader.LineIndex(), static_cast<std::int64_t>(lines.size()));
}

TEST(SnapshotLineReaderTest, CrLfSplitAcrossInflateStepsIsOneLineEnd) {
    // Lines of every length around the reader's step put CR and LF on both
    // sides of a refill.
    TStringList lines;
    for (std::size_t length = (1u << 18) - 6; length < (1u << 18) + 6; ++length)
        lines.push_back(std::string(length, 'x'));
    SnapshotLineReader reader = SnapshotLineReader::FromCompressed(CompressZlib(BodyText(lines)));
    EXPECT_EQ(ReadAll(reader), lines);
}

TEST(SnapshotLineReaderTest, LineOfEightMegabytes) {
    const std::string huge(8u << 20, 'n');
    const TStringList lines = {"before", huge, "after"};
    SnapshotLineReader reader = SnapshotLineReader::FromCompressed(CompressZlib(BodyText(lines)));
    EXPECT_EQ(ReadAll(reader), lines);
    EXPECT_FALSE(reader.Failed());
}

// A small stream can inflate to gigabytes of one line: the reader gives up
// past 64 MB instead of growing its buffer until memory runs out.
TEST(SnapshotLineReaderTest, EndlessLineEndsWithAnError) {
    SnapshotLineReader reader =
        SnapshotLineReader::FromCompressed(CompressZlib("first\r\n" + std::string((64u << 20) + 1, 'b')));
    std::string_view line;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "first");
    EXPECT_FALSE(reader.Next(line));
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Error(), "compressed body holds a line longer than 64 MB");
}

TEST(SnapshotLineReaderTest, StepBackRepeatsOneLineAndRewindStartsOver) {
    const TStringList lines = {"|files.v2|", "|/a/", "f|1", "|/b/"};
    std::vector<SnapshotLineReader> readers;
    readers.push_back(SnapshotLineReader::FromCompressed(CompressZlib(BodyText(lines))));
    readers.push_back(SnapshotLineReader::FromText(BodyText(lines)));
    readers.push_back(SnapshotLineReader::FromLines(lines));
    for (auto& reader : readers) {
        std::string_view line;
        ASSERT_TRUE(reader.Next(line));
        ASSERT_TRUE(reader.Next(line));
        EXPECT_EQ(line, "|/a/");
        EXPECT_EQ(reader.LineIndex(), 2);
        reader.StepBack();
        reader.StepBack();  // only one line goes back
        EXPECT_EQ(reader.LineIndex(), 1);
        ASSERT_TRUE(reader.Next(line));
        EXPECT_EQ(line, "|/a/");
        ASSERT_TRUE(reader.Next(line));
        EXPECT_EQ(line, "f|1");
        reader.Rewind();
        EXPECT_EQ(reader.LineIndex(), 0);
        EXPECT_EQ(ReadAll(reader), lines);
        // At the end there is no line to step back to.
        reader.StepBack();
        EXPECT_FALSE(reader.Next(line));
    }
}

TEST(SnapshotLineReaderTest, TruncatedBodyEndsWithError) {
    const TStringList lines = SampleLines(200000, 5);
    const std::string compressed = CompressZlib(BodyText(lines));
    for (std::size_t keep : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(100), compressed.size() / 2,
                             compressed.size() - 4, compressed.size() - 1}) {
        SCOPED_TRACE(keep);
        SnapshotLineReader reader = SnapshotLineReader::FromCompressed(compressed.substr(0, keep));
        const TStringList got = ReadAll(reader);
        EXPECT_TRUE(reader.Failed());
        EXPECT_EQ(reader.Error(), "compressed body is truncated");
        // What came is a prefix of the real lines; the cut line is not handed out.
        ASSERT_LE(got.size(), lines.size());
        for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], lines[i]);
        if (keep < compressed.size() - 4) {
            EXPECT_LT(got.size(), lines.size());
        }
        // Rewind reads the same again and fails the same way.
        reader.Rewind();
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(ReadAll(reader).size(), got.size());
        EXPECT_TRUE(reader.Failed());
    }
}

TEST(SnapshotLineReaderTest, CorruptBodyEndsWithError) {
    const TStringList lines = SampleLines(200000, 6);
    const std::string good = CompressZlib(BodyText(lines));
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string flipped = good;
    for (std::size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) flipped[i] = static_cast<char>(~flipped[i]);
    std::string badChecksum = good;
    badChecksum.back() = static_cast<char>(badChecksum.back() ^ 1);
    const std::vector<Case> cases = {
        {"not zlib at all", "this is not a zlib stream\r\n"},
        {"damaged in the middle", flipped},
        {"wrong checksum", badChecksum},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SnapshotLineReader reader = SnapshotLineReader::FromCompressed(c.bytes);
        ReadAll(reader);
        EXPECT_TRUE(reader.Failed());
        EXPECT_EQ(reader.Error(), "compressed body is damaged");
    }
}

TEST(SeekSectionStartTest, FindsTheLineAfterTheMarker) {
    struct Case {
        const char* what;
        TStringList lines;
        std::string firstLine;  // the line read after seeking
    };
    const std::vector<Case> cases = {
        {"body of a container", {"|files.v2|", "|/r/", "a|1"}, "|/r/"},
        {"plain text with header", {"|version|", "3", "|files.v2|", "|/r/"}, "|/r/"},
        {"plain text without marker", {"|/r/", "a|1"}, "|/r/"},
        {"first line not a key", {"a|1", "|files.v2|", "|/r/"}, "a|1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SnapshotLineReader reader = SnapshotLineReader::FromCompressed(CompressZlib(BodyText(c.lines)));
        SeekSectionStart(reader);
        std::string_view line;
        ASSERT_TRUE(reader.Next(line));
        EXPECT_EQ(line, c.firstLine);
    }
    SnapshotLineReader empty = SnapshotLineReader::FromText("");
    SeekSectionStart(empty);
    std::string_view line;
    EXPECT_FALSE(empty.Next(line));
}

}  // namespace
}  // namespace tandrel
