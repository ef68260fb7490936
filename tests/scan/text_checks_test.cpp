#include "scan/text_checks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kUtf16Bom = "\xFF\xFE";

TTextCheckOptions LogsIn(const TempDir& dir) {
    TTextCheckOptions options;
    options.logs = {dir.Path("x.log"), dir.Path("error1.log"), dir.Path("error2.log")};
    return options;
}

std::set<std::string> AsSet(const TStringList& list) { return {list.begin(), list.end()}; }

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

struct LineEndCase {
    const char* name;
    std::string bytes;
    TLineEndCheck expected;
};

TEST(CheckLineEnds, JudgesEveryByteBetweenTheFirstAndTheLastWhateverThePartSize) {
    const std::vector<LineEndCase> cases = {
        {"crlf", "a\r\nb\r\nc\r\n", TLineEndCheck::CrLfOnly},
        {"lf", "a\nb\n", TLineEndCheck::OtherFound},
        {"cr", "a\rb\r", TLineEndCheck::OtherFound},
        {"mixed", "a\r\nb\r\nc\nd\r\n", TLineEndCheck::OtherFound},
        {"bare cr before text", "ab\rc", TLineEndCheck::OtherFound},
        {"lf only at the last byte", "abc\n", TLineEndCheck::CrLfOnly},
        {"lf only at the first byte", "\nabc", TLineEndCheck::CrLfOnly},
        {"cr only at the last byte", "abc\r", TLineEndCheck::CrLfOnly},
        {"lf after crlf", "a\r\n\nb", TLineEndCheck::OtherFound},
        {"no line end", "abc", TLineEndCheck::CrLfOnly},
        {"empty", "", TLineEndCheck::CrLfOnly},
    };
    TempDir dir;
    for (const LineEndCase& c : cases) {
        const std::string file = dir.WriteFile(c.name, c.bytes);
        // Parts from two bytes up to the whole file: a line end split between
        // two parts is judged as in one piece.
        for (std::size_t buffer = 2; buffer <= c.bytes.size() + 1; ++buffer)
            EXPECT_EQ(CheckLineEnds(file, buffer), c.expected) << c.name << " in parts of " << buffer;
        EXPECT_EQ(CheckLineEnds(file), c.expected) << c.name;
    }
    EXPECT_EQ(CheckLineEnds(dir.Path("missing")), TLineEndCheck::OpenFailed);
}

TEST(CheckLineEnds, FileLargerThanTheBufferIsExaminedAcrossTheBoundary) {
    TempDir dir;
    std::string bytes(kLineEndBufferSize + 100, 'x');
    // CR as the last byte of the first part, LF as the first of the second.
    bytes[kLineEndBufferSize - 1] = '\r';
    bytes[kLineEndBufferSize] = '\n';
    const std::string joined = dir.WriteFile("joined.pas", bytes);
    EXPECT_EQ(CheckLineEnds(joined), TLineEndCheck::CrLfOnly);

    bytes[kLineEndBufferSize] = 'y';  // the CR now stands alone
    const std::string bareCr = dir.WriteFile("bare_cr.pas", bytes);
    EXPECT_EQ(CheckLineEnds(bareCr), TLineEndCheck::OtherFound);

    bytes[kLineEndBufferSize - 1] = 'x';
    bytes[kLineEndBufferSize + 50] = '\n';  // only in the second part
    const std::string late = dir.WriteFile("late_lf.pas", bytes);
    EXPECT_EQ(CheckLineEnds(late), TLineEndCheck::OtherFound);
}

TEST(FindUnixFormatFiles, ListsTextFilesWithOtherLineEndsAndLogsEveryFile) {
    TempDir dir;
    dir.WriteFile("src/crlf.pas", "unit a;\r\nbegin\r\nend.\r\n");
    const std::string lf = dir.WriteFile("src/lf.pas", "unit a;\nend.\n");
    const std::string cr = dir.WriteFile("src/sub/cr.PAS", "unit a;\rend.\r");
    const std::string mixed = dir.WriteFile("src/sub/mixed.php", "<?php\r\necho 1;\necho 2;\r\n");
    dir.WriteFile("src/utf16.pas", kUtf16Bom + "a\0\n\0b\0\n\0"s);
    dir.WriteFile("src/program.pas", "MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF\0\0\nxx\n"s);
    dir.WriteFile("src/other.txt", "a\nb\n");
    const std::string unreadable = dir.WriteFile("src/locked/locked.pas", "a\nb\n");
    platform::test_hooks::DenyAccessBelow(unreadable);

    TStopToken stop;
    const TTextCheckOptions options = LogsIn(dir);
    const TStringList found = FindUnixFormatFiles(stop, dir.Path("src"), "*.pas; *.php", options);
    platform::test_hooks::DenyAccessBelow("");

    EXPECT_EQ(AsSet(found), (std::set<std::string>{lf, cr, mixed}));
    const TStringList progress = ReadFromFile(options.logs.progress);
    ASSERT_EQ(progress.size(), 7u);  // every matching file, skipped ones too
    for (std::size_t n = 0; n < progress.size(); ++n)
        EXPECT_TRUE(progress[n].starts_with(std::to_string(n) + ": " + dir.Path("src/"))) << progress[n];
    EXPECT_EQ(ReadFromFile(options.logs.openErrors), TStringList{unreadable});
    EXPECT_FALSE(platform::FileExists(options.logs.readErrors));
}

TEST(FindFilesWithTab, RecordsFilesHoldingATab) {
    TempDir dir;
    const std::string tabbed = dir.WriteFile("a/tab.pas", "begin\n\tx := 1;\nend.\n");
    dir.WriteFile("a/spaces.pas", "begin\n  x := 1;\nend.\n");
    const std::string wide = dir.WriteFile("a/wide.pas", kUtf16Bom + "a\0\t\0"s);
    // U+0109 holds the byte 09 but is no tab.
    dir.WriteFile("a/wide_no_tab.pas", kUtf16Bom + "\x09\x01"s);
    dir.WriteFile("a/other.txt", "\t");
    const TDateTime time = EncodeDateTime(2021, 3, 4, 5, 6, 7, 89);
    ASSERT_TRUE(platform::SetLastWriteTime(tabbed, LocalDateTimeToFileTime(time)));

    TStopToken stop;
    const TStringList records = FindFilesWithTab(stop, dir.path(), "*.pas", LogsIn(dir));
    ASSERT_EQ(records.size(), 2u);
    const std::set<std::string> set = AsSet(records);
    EXPECT_TRUE(set.count("tab.pas|" + dir.Path("a/") + "|20|2021-03-04 05:06:07.089|2021-03-04 05:06:07.089|0"))
        << records[0] << "\n"
        << records[1];
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const std::string& r) {
        return r.starts_with("wide.pas|");
    })) << wide;
}

struct FixCase {
    const char* name;
    std::string before;
    std::string after;
};

TEST(FixLineEnds, TurnsEveryLineEndIntoCrLfAndKeepsEveryOtherByte) {
    const std::vector<FixCase> cases = {
        {"lf", "a\nb\n", "a\r\nb\r\n"},
        {"cr", "a\rb", "a\r\nb\r\n"},
        {"mixed", "a\r\nb\nc\rd\r\n", "a\r\nb\r\nc\r\nd\r\n"},
        {"blank lines stay", "a\n\n\nb\n\n", "a\r\n\r\n\r\nb\r\n\r\n"},
        {"cr cr lf", "a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"utf8 mark kept", kBom + "x\ny", kBom + "x\r\ny\r\n"},
        {"mark alone", kBom, kBom},
        {"bytes that are not utf8", "caf\xE9\n\x80\x81\n", "caf\xE9\r\n\x80\x81\r\n"},
        {"nul after the binary test", std::string(1200, 'a') + "\0b\n"s, std::string(1200, 'a') + "\0b\r\n"s},
    };
    TempDir dir;
    // Parts of one to four bytes put a CR LF across every possible boundary.
    for (std::size_t chunk : {0u, 1u, 2u, 3u, 4u}) {
        test_hooks::SetFixLineEndsChunkSize(chunk);
        for (const FixCase& c : cases) {
            const std::string file = dir.WriteFile(std::string(c.name) + std::to_string(chunk), c.before);
            const TFixResult result = FixLineEnds(file, false);
            EXPECT_EQ(result.outcome, c.before == c.after ? TFixOutcome::Unchanged : TFixOutcome::Fixed) << c.name;
            EXPECT_EQ(ReadBytes(file), c.after) << c.name << " in parts of " << chunk;
        }
    }
    test_hooks::SetFixLineEndsChunkSize(0);
}

TEST(FixLineEnds, KeepsPermissionsFollowsLinksAndLeavesCorrectFilesAlone) {
    TempDir dir;
    const std::string script = dir.WriteFile("run.sh", "#!/bin/sh\necho\n");
    ASSERT_EQ(chmod(script.c_str(), 0750), 0);
    EXPECT_EQ(FixLineEnds(script, false).outcome, TFixOutcome::Fixed);
    struct stat st {};
    ASSERT_EQ(stat(script.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);

    const std::string target = dir.WriteFile("real.pas", "a\nb\n");
    const std::string link = dir.Path("link.pas");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(FixLineEnds(link, false).outcome, TFixOutcome::Fixed);
    std::string linkText;
    EXPECT_TRUE(platform::ReadSymbolicLink(link, linkText));
    EXPECT_EQ(ReadBytes(target), "a\r\nb\r\n");

    const std::string good = dir.WriteFile("good.pas", "a\r\nb\r\n");
    const platform::FileTime old = LocalDateTimeToFileTime(EncodeDateTime(2020, 1, 2, 3, 4, 5, 0));
    ASSERT_TRUE(platform::SetLastWriteTime(good, old));
    EXPECT_EQ(FixLineEnds(good, false).outcome, TFixOutcome::Unchanged);
    platform::FileTime now = 0;
    ASSERT_TRUE(platform::GetFileTimes(good, nullptr, &now));
    EXPECT_EQ(now, old);
}

TEST(FixLineEnds, RefusesWhatItMustNotRewrite) {
    TempDir dir;
    const std::string utf16 = dir.WriteFile("wide.pas", kUtf16Bom + "a\0\n\0"s);
    const std::string binary = dir.WriteFile("prog.pas", "MZ\0\0\n\x01\x02\n"s);
    const std::string readOnly = dir.WriteFile("ro.pas", "a\nb\n");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);

    const std::vector<TFixResult> results =
        FixUnixFormatFiles({utf16, "", binary, readOnly, EscapeLineName(dir.Path("gone.pas"))}, false);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].outcome, TFixOutcome::Unicode);
    EXPECT_EQ(results[1].outcome, TFixOutcome::Binary);
    EXPECT_EQ(results[2].outcome, TFixOutcome::ReadOnly);
    EXPECT_EQ(results[3].outcome, TFixOutcome::Missing);
    EXPECT_EQ(ReadBytes(utf16), kUtf16Bom + "a\0\n\0"s);
    EXPECT_EQ(ReadBytes(binary), "MZ\0\0\n\x01\x02\n"s);
    EXPECT_EQ(ReadBytes(readOnly), "a\nb\n");
    EXPECT_EQ(FixResultText(results[2]), "File is read-only, not changed: " + readOnly);

    // Asked to, the flag goes and the file is fixed.
    EXPECT_EQ(FixLineEnds(readOnly, true).outcome, TFixOutcome::Fixed);
    EXPECT_EQ(ReadBytes(readOnly), "a\r\nb\r\n");
    EXPECT_EQ(platform::GetAttributes(readOnly) & platform::FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(FixLineEnds, InterruptedWriteLeavesTheOriginalWholeAndNoTemporaryFile) {
    TempDir dir;
    std::string original;
    for (int i = 0; i < 2000; ++i) original += "line " + std::to_string(i) + "\n";
    const std::string file = dir.WriteFile("big.pas", original);
    const platform::FileTime old = LocalDateTimeToFileTime(EncodeDateTime(2019, 5, 6, 7, 8, 9, 0));
    ASSERT_TRUE(platform::SetLastWriteTime(file, old));

    test_hooks::SetFixLineEndsChunkSize(1000);
    std::int64_t seen = 0;
    test_hooks::SetFixLineEndsWriteHook([&](std::int64_t written) {
        seen = written;
        return written < 3000;  // fails part-way, like a full disk
    });
    const TFixResult result = FixLineEnds(file, false);
    test_hooks::SetFixLineEndsWriteHook({});
    test_hooks::SetFixLineEndsChunkSize(0);

    EXPECT_EQ(result.outcome, TFixOutcome::Failed);
    EXPECT_EQ(FixResultText(result), "Could not fix line ends of " + file + ": writing was interrupted");
    EXPECT_GE(seen, 3000);
    EXPECT_LT(seen, static_cast<std::int64_t>(original.size()));
    EXPECT_EQ(ReadBytes(file), original);
    platform::FileTime now = 0;
    ASSERT_TRUE(platform::GetFileTimes(file, nullptr, &now));
    EXPECT_EQ(now, old);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"big.pas"});
}

}  // namespace
}  // namespace tandrel
