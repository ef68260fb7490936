#include "scan/snapshot_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/compressed_text.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/text_encoding.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kSeparator("\0\0\x01", 3);
const std::string kHeader = "|version|\r\n3\r\n|root_path|\r\n/data\r\n";
const TStringList kBody = {"|files.v2|", "|/data/", "a.txt|5|2021-01-01 00:00:00.000|2021-01-01 00:00:00.000|32"};

std::string Container(const std::string& header, const std::string& body) {
    return kBom + "[extended volume]\r\n" + header + "\r\n" + kSeparator + body;
}

std::string BodyOf(const TStringList& lines) { return CompressZlib(kBom + LinesToText(lines)); }

TStringList ReadLines(SnapshotLineReader& reader) {
    TStringList lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    return lines;
}

// Loads the file; the lines when it loaded, else the error.
struct Loaded {
    bool ok = false;
    TStringList lines;
    std::string error;
    bool failedLater = false;
};
Loaded Load(const std::string& file) {
    Loaded result;
    SnapshotLineReader reader;
    result.ok = LoadExtendedVolume(file, reader, &result.error);
    if (result.ok) {
        result.lines = ReadLines(reader);
        result.failedLater = reader.Failed();
    }
    return result;
}

TEST(SnapshotContainerTest, IsWrittenByteForByte) {
    TempDir dir;
    const std::string file = dir.Path("a.snapshot");
    const std::string body = BodyOf(kBody);
    ASSERT_TRUE(SaveExtendedVolume(file, kHeader, body));
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes, Container(kHeader, body));
    EXPECT_EQ(FindVolumeSeparator(file), static_cast<std::int64_t>(bytes.size() - body.size() - 1));
    std::string inflated;
    ASSERT_TRUE(DecompressZlib(bytes.substr(bytes.size() - body.size()), inflated));
    EXPECT_EQ(inflated,
              kBom + "|files.v2|\r\n|/data/\r\na.txt|5|2021-01-01 00:00:00.000|2021-01-01 00:00:00.000|32\r\n");

    // The list form compresses the lines itself, into the same file.
    const std::string second = dir.Path("b.snapshot");
    ASSERT_TRUE(SaveExtendedVolume(kBody, second, kHeader));
    EXPECT_EQ(ReadBytes(second), bytes);

    EXPECT_EQ(ReadExtendedVolumeHeader(file), kHeader + "\r\n");
    const Loaded loaded = Load(file);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(loaded.lines, kBody);
    // No temporary file is left beside it.
    EXPECT_EQ(ListFileNames(dir.path()).size(), 2u);
}

TEST(SnapshotContainerTest, EmptyBodyStillHasTheSeparatorAndTheMark) {
    TempDir dir;
    const std::string file = dir.Path("empty.snapshot");
    ASSERT_TRUE(SaveExtendedVolume(TStringList{}, file, kHeader));
    const std::string bytes = ReadBytes(file);
    const std::int64_t separator = FindVolumeSeparator(file);
    ASSERT_GT(separator, 0);
    EXPECT_EQ(bytes.substr(separator - 2, 3), kSeparator);
    std::string inflated;
    ASSERT_TRUE(DecompressZlib(bytes.substr(separator + 1), inflated));
    EXPECT_EQ(inflated, kBom);
    const Loaded loaded = Load(file);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.lines.empty());
}

TEST(SnapshotContainerTest, FailedWriteLeavesTheOldFileAlone) {
    TempDir dir;
    const std::string file = dir.Path("keep.snapshot");
    ASSERT_TRUE(SaveExtendedVolume(file, kHeader, BodyOf(kBody)));
    const std::string before = ReadBytes(file);
    // A folder of that name cannot be written; nothing is left behind either.
    EXPECT_FALSE(SaveExtendedVolume(dir.Path("missing/x.snapshot"), kHeader, "body"));
    dir.MakeFolder("taken.snapshot");
    EXPECT_FALSE(SaveExtendedVolume(dir.Path("taken.snapshot"), kHeader, "body"));
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(ListFileNames(dir.path()), (std::vector<std::string>{"keep.snapshot"}));
}

TEST(FindVolumeSeparatorTest, FindsTheSeparatorAcrossReadBlocks) {
    TempDir dir;
    RecordingMessages messages;
    // Headers that put the separator bytes on both sides of every read boundary.
    for (std::size_t fill : {65536 - 30, 65536 - 29, 65536 - 28, 65536 - 27, 65536 - 26, 131072 - 28}) {
        SCOPED_TRACE(fill);
        std::string header = "|description|\r\n>";
        header += std::string(fill - header.size(), 'x');
        header += "\r\n";
        const std::string file = dir.Path("big.snapshot");
        ASSERT_TRUE(SaveExtendedVolume(file, header, BodyOf(kBody)));
        const std::string bytes = ReadBytes(file);
        const std::int64_t expected = static_cast<std::int64_t>(bytes.find(kSeparator)) + 2;
        EXPECT_EQ(FindVolumeSeparator(file), expected);
        EXPECT_EQ(ReadExtendedVolumeHeader(file), header + "\r\n");
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST(FindVolumeSeparatorTest, OtherFilesHaveNone) {
    TempDir dir;
    RecordingMessages messages;
    struct Case {
        const char* what;
        std::string bytes;
        bool reported;
    };
    const std::vector<Case> cases = {
        {"plain text", "|files.v2|\r\n|/a/\r\n", false},
        {"too short", kBom + "[exte", false},
        {"container without separator", kBom + "[extended volume]\r\n|version|\r\n3\r\n", true},
        {"only one zero before 01", kBom + "[extended volume]\r\n" + std::string("\0\x01", 2) + "x", true},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages.shown.clear();
        const std::string file = dir.WriteFile("x", c.bytes);
        EXPECT_EQ(FindVolumeSeparator(file), 0);
        EXPECT_EQ(ReadExtendedVolumeHeader(file), "");
        if (c.reported) {
            ASSERT_FALSE(messages.shown.empty());
            EXPECT_EQ(messages.shown[0], "uncompressed-compressed volume separator not found in " + file);
        } else {
            EXPECT_TRUE(messages.shown.empty());
        }
    }
    EXPECT_EQ(FindVolumeSeparator(dir.Path("missing")), 0);
}

TEST(LoadExtendedVolumeTest, ReadsTheOlderForms) {
    TempDir dir;
    const TStringList section = {"|files.v2|", "|/r/", "f.txt|1|2021-01-01 00:00:00.000|2021-01-01 00:00:00.000|32"};
    const std::string text = LinesToText(section);
    const std::string withHeader = "|version|\r\n3\r\n" + text;
    struct Case {
        const char* what;
        std::string bytes;
        TStringList lines;
    };
    const std::vector<Case> cases = {
        {"plain UTF-8 with mark", kBom + text, section},
        {"plain without mark, header lines first", withHeader, TextToLines(withHeader)},
        {"plain Windows-1252", "|/r/\r\ncaf\xE9|1\r\n", {"|/r/", "caf\xC3\xA9|1"}},
        {"UTF-16 LE",
         std::string(kUtf16LeBom) + Utf8ToUtf16Le(text + "\xC3\xA9|2\r\n"),
         {section[0], section[1], section[2], "\xC3\xA9|2"}},
        {"whole-file zlib stream", CompressZlib(kBom + text), section},
        {"whole-file zlib stream without mark", CompressZlib(text), section},
        {"container with UTF-16 header and body",
         std::string(kUtf16LeBom) + Utf8ToUtf16Le("[extended volume]\r\n|version|\r\n3\r\n\r\n") + kSeparator +
             CompressZlib(std::string(kUtf16LeBom) + Utf8ToUtf16Le(text)),
         section},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.WriteFile("old", c.bytes);
        const Loaded loaded = Load(file);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        EXPECT_EQ(loaded.lines, c.lines);
        TStringList list = {"stale"};
        LoadExtendedVolume(list, file);
        EXPECT_EQ(list, c.lines);
    }
}

TEST(LoadExtendedVolumeTest, MalformedFilesGiveAClearError) {
    TempDir dir;
    RecordingMessages messages;
    std::mt19937 random(3);
    std::string junk(4096, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    std::string zlibLookingJunk = "\x78\x01" + junk;
    const std::string body = BodyOf(kBody);
    std::string corrupt = body;
    corrupt[corrupt.size() / 2] = static_cast<char>(~corrupt[corrupt.size() / 2]);
    corrupt[2] = static_cast<char>(0xFF);  // an invalid block type
    struct Case {
        const char* what;
        std::string bytes;
        std::string error;  // start of the error text
    };
    const std::vector<Case> cases = {
        {"empty file", "", "the file is empty"},
        {"binary junk", junk, "not a snapshot"},
        {"junk behind a zlib header", zlibLookingJunk, "not a snapshot"},
        {"header only", kBom + "[extended volume]\r\n" + kHeader + "\r\n", "the snapshot has a header but no body"},
        {"separator without body", Container(kHeader, ""), "compressed body is truncated"},
        {"body cut short", Container(kHeader, body.substr(0, 3)), "compressed body is truncated"},
        {"corrupt body", Container(kHeader, corrupt), "compressed body is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.WriteFile("bad", c.bytes);
        const Loaded loaded = Load(file);
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ(loaded.error.rfind(c.error, 0), 0u) << loaded.error;
        // The list form reports and leaves the list empty.
        messages.shown.clear();
        TStringList list = {"stale"};
        LoadExtendedVolume(list, file);
        EXPECT_TRUE(list.empty());
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back(), "Could not load " + file + ": " + loaded.error);
    }

    const Loaded missing = Load(dir.Path("missing.snapshot"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error.rfind("cannot read the file", 0), 0u);
    const std::string denied = dir.WriteFile("denied.snapshot", Container(kHeader, body));
    platform::test_hooks::DenyAccessBelow(denied);
    EXPECT_FALSE(Load(denied).ok);
    platform::test_hooks::DenyAccessBelow("");
}

TEST(LoadExtendedVolumeTest, BodyCutLaterFailsWhileReading) {
    TempDir dir;
    RecordingMessages messages;
    TStringList lines = {"|files.v2|", "|/r/"};
    std::mt19937 random(9);
    for (int i = 0; i < 50000; ++i) lines.push_back("f" + std::to_string(random()) + "|" + std::to_string(i));
    const std::string body = BodyOf(lines);
    for (std::size_t keep : {body.size() / 3, body.size() - 5}) {
        SCOPED_TRACE(keep);
        const std::string file = dir.WriteFile("cut.snapshot", Container(kHeader, body.substr(0, keep)));
        const Loaded loaded = Load(file);
        ASSERT_TRUE(loaded.ok);  // the start is fine
        EXPECT_TRUE(loaded.failedLater);
        TStringList list;
        LoadExtendedVolume(list, file);
        EXPECT_TRUE(list.empty());
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back(), "Could not load " + file + ": compressed body is truncated");
    }
}

TEST(LoadExtendedVolumeTest, LineOfEightMegabytes) {
    TempDir dir;
    const TStringList lines = {"|files.v2|", "|/r/", std::string(8u << 20, 'a') + "|1"};
    const std::string file = dir.Path("long.snapshot");
    ASSERT_TRUE(SaveExtendedVolume(lines, file, kHeader));
    const Loaded loaded = Load(file);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.lines, lines);
}

TEST(SnapshotHeaderTest, BuildsTheKeysInOrder) {
    TDirectoryStats counts;
    counts.DirectoriesCount = 12;
    counts.FilesCount = 345;
    counts.Size = 6'000'000'000;
    const TDateTime before = Now();
    const TStringList header = BuildSnapshotHeader("/data/a|b\nc", "2024-05-06 07:08:09.010", "temp snapshot", counts);
    ASSERT_EQ(header.size(), 20u);
    const TStringList keys = {"|version|",   "|tandrel version|", "|saved on|",    "|created|", "|description|",
                              "|root_path|", "|folders_count|",   "|files_count|", "|size|",    "|text_encoding|"};
    for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(header[2 * i], keys[i]);
    EXPECT_EQ(header[1], "3");
    EXPECT_EQ(header[3], AppVersionText());
    TDateTime saved = 0;
    ASSERT_TRUE(TryParseIsoDateTime(header[5], saved));
    EXPECT_GE(saved, before - 1.0 / 86400);
    EXPECT_EQ(header[7], "2024-05-06 07:08:09.010");
    EXPECT_EQ(header[9], ">temp snapshot");
    EXPECT_EQ(header[11], "/data/a%7Cb%0Ac");  // a path stays one value line
    EXPECT_EQ(header[13], "12");
    EXPECT_EQ(header[15], "345");
    EXPECT_EQ(header[17], "6000000000");
    EXPECT_EQ(header[19], "text_is_UTF8");
    // A description with line breaks stays one line.
    EXPECT_EQ(BuildSnapshotHeader("/", "", "two\r\nlines", counts)[9], ">two  lines");
}

TEST(SnapshotHeaderTest, SetHeaderValueReplacesOrAppends) {
    TStringList header = {"|version|", "3", "|description|", ">temp snapshot", "", "|root_path|", "/r"};
    SetHeaderValue("description", header, {">new"});
    EXPECT_EQ(header, (TStringList{"|version|", "3", "|description|", ">new", "|root_path|", "/r"}));
    SetHeaderValue("|root_path|", header, {"/a", "/b"});
    EXPECT_EQ(header, (TStringList{"|version|", "3", "|description|", ">new", "|root_path|", "/a", "/b"}));
    SetHeaderValue("missing", header, {"x"});
    EXPECT_EQ(header.size(), 9u);
    EXPECT_EQ(header[7], "|missing|");
    EXPECT_EQ(header[8], "x");
    // Exact, case-sensitive keys.
    SetHeaderValue("VERSION", header, {"4"});
    EXPECT_EQ(header[1], "3");
    EXPECT_EQ(header[9], "|VERSION|");
}

}  // namespace
}  // namespace tandrel
