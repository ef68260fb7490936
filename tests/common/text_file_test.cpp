#include "common/text_file.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "common/app_folders.h"
#include "common/retry.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// Every test records the sleeps of the retry loops instead of waiting.
class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_hooks::SetRetrySleep([this](int ms) {
            sleeps.push_back(ms);
            if (onSleep) onSleep();
        });
    }
    void TearDown() override {
        test_hooks::SetRetrySleep({});
        platform::test_hooks::DenyAccessBelow("");
    }
    std::string Deny(const std::string& file) {
        platform::test_hooks::DenyAccessBelow(file);
        return file;
    }

    TempDir dir;
    std::vector<int> sleeps;
    std::function<void()> onSleep;
};

TEST(TextLinesTest, TextToLines) {
    struct Case {
        std::string text;
        TStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n", {"a"}},
        {"a\n\n", {"a", ""}},
        {"\r\n", {""}},
        {"a\r\r\nb\n\rc", {"a", "", "b", "", "c"}},
        {std::string("a\nb\0c\nd", 7), {"a", "b"}},
        {std::string("\0a", 2), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToLines(c.text), c.lines) << c.text;
}

TEST(TextLinesTest, LinesToTextEndsEveryLine) {
    EXPECT_EQ(LinesToText({"a", ""}), "a\r\n\r\n");
    EXPECT_EQ(LinesToText({}), "");
}

TEST_F(TextFileTest, SaveTextFileLeavesOutOnlyAnEmptyLastLine) {
    const std::string file = dir.Path("a.txt");
    TStringList lines = {"one", "", "two", ""};
    ASSERT_TRUE(SaveTextFile(lines, file));
    EXPECT_EQ(ReadBytes(file), "\xEF\xBB\xBFone\r\n\r\ntwo\r\n");
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_EQ(ReadFromFile(file), (TStringList{"one", "", "two"}));

    ASSERT_TRUE(SaveTextFile({""}, file));
    EXPECT_EQ(ReadBytes(file), "\xEF\xBB\xBF");
}

TEST_F(TextFileTest, SaveTextFileReportsWriteFailure) {
    const std::string folder = dir.MakeFolder("taken");
    EXPECT_FALSE(SaveTextFile({"x"}, folder));
    EXPECT_FALSE(SaveTextFile({"x"}, dir.Path("missing/a.txt")));
    SaveTextFileRetry({"x"}, folder);
    EXPECT_EQ(sleeps, std::vector<int>(10, 200));
}

TEST_F(TextFileTest, LoadDecodesByMarkOrContent) {
    struct Case {
        std::string bytes;
        TStringList lines;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9\r\nx",
         {"caf\xC3\xA9", "x"}},
        {std::string("\xFF\xFE"
                     "a\0\r\0\n\0\xE9\0",
                     10),
         {"a", "\xC3\xA9"}},
        {std::string("\xFE\xFF\0a\0\n\0\xE9", 8), {"a", "\xC3\xA9"}},
        {"caf\xC3\xA9\nx", {"caf\xC3\xA9", "x"}},
        {"caf\xE9\nx\x80", {"caf\xC3\xA9", "x\xE2\x82\xAC"}},
    };
    for (const auto& c : cases) {
        const std::string file = dir.WriteFile("load.txt", c.bytes);
        TStringList lines = {"old"};
        EXPECT_TRUE(LoadTextFile(lines, file));
        EXPECT_EQ(lines, c.lines);
    }
}

TEST_F(TextFileTest, ReadFromFileOfMissingFileIsEmptyAtOnce) {
    EXPECT_TRUE(ReadFromFile(dir.Path("none.txt")).empty());
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(TextFileTest, ReadersRetryElevenTimesThenRaise) {
    const std::string file = Deny(dir.WriteFile("locked.txt", "x"));
    try {
        ReadFromFile(file);
        FAIL() << "no error";
    } catch (const TandrelError& e) {
        EXPECT_EQ(std::string(e.what()), "ReadFromFile_s_5x failed: " + file);
    }
    EXPECT_EQ(sleeps, std::vector<int>(10, 200));

    sleeps.clear();
    try {
        ReadTextFile(file);
        FAIL() << "no error";
    } catch (const TandrelError& e) {
        EXPECT_EQ(std::string(e.what()), "ReadFromFile_s_5x failed: " + file);
    }
    EXPECT_EQ(sleeps, std::vector<int>(10, 1000));
}

TEST_F(TextFileTest, ReaderSucceedsWhenTheFileIsReleased) {
    const std::string file = Deny(dir.WriteFile("locked.txt", "a\nb"));
    onSleep = [&] {
        if (sleeps.size() == 3) platform::test_hooks::DenyAccessBelow("");
    };
    EXPECT_EQ(ReadFromFile(file), (TStringList{"a", "b"}));
    EXPECT_EQ(sleeps.size(), 3u);
}

TEST_F(TextFileTest, LoadTextFileRetryNeverReports) {
    TStringList lines = {"stale"};
    LoadTextFileRetry(lines, dir.Path("none.txt"));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(sleeps.empty());

    lines = {"stale"};
    LoadTextFileRetry(lines, Deny(dir.WriteFile("locked.txt", "x")));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(sleeps, std::vector<int>(10, 200));

    platform::test_hooks::DenyAccessBelow("");
    LoadTextFileRetry(lines, dir.WriteFile("ok.txt", "\xEF\xBB\xBFy\r\n"));
    EXPECT_EQ(lines, TStringList{"y"});
}

TEST_F(TextFileTest, ReadTextFileTrims) {
    EXPECT_EQ(ReadTextFile(dir.WriteFile("t.txt", "\xEF\xBB\xBF \r\n text\r\nmore \r\n\r\n")), "text\r\nmore");
}

TEST_F(TextFileTest, ByteOrderMarkTests) {
    struct Case {
        std::string bytes;
        bool utf8, utf16le;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFx", true, false}, {"\xEF\xBB\xBF", true, false}, {"\xEF\xBB", false, false},
        {"\xFF\xFE", false, true},      {"\xFE\xFF", false, false},    {"", false, false},
    };
    for (const auto& c : cases) {
        const std::string file = dir.WriteFile("bom.txt", c.bytes);
        EXPECT_EQ(HasUtf8Bom(file), c.utf8);
        EXPECT_EQ(HasUtf16LeBom(file), c.utf16le);
    }
    EXPECT_FALSE(HasUtf8Bom(dir.Path("none")));
    const std::string locked = Deny(dir.WriteFile("locked.txt", "\xEF\xBB\xBF\xFF\xFE"));
    EXPECT_FALSE(HasUtf8Bom(locked));
}

TEST(BinaryDataTest, IsBinaryData) {
    std::string accented;
    for (int i = 0; i < 200; ++i) accented += "\xC3\xA9t\xC3\xA9 ";
    struct Case {
        std::string name, bytes;
        bool binary;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"exe", "MZ plain text after it", true},
        {"utf16le", "\xFF\xFE\x01\x02\x03\x04\x05", false},
        {"utf16be", "\xFE\xFFtext", true},
        {"accented utf-8", accented, false},
        {"ones", std::string(1000, '\x01'), true},
        {"three controls", "text\x01\x02\x03 more text", false},
        {"fourth control", "text\x01\x02\x03\x04 more text", true},
        {"skipped bytes", std::string("a\0\t\r\n\0\0\0\0\0b", 11), false},
        {"suspicious over 0.4",
         "\xF5\xF5\xF5"
         "ab",
         true},
        {"suspicious exactly 0.4",
         "\xF5\xF5"
         "abc",
         false},
        {"F0 is not suspicious",
         "\xF0\xF0\xF0"
         "ab",
         false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsBinaryData(c.bytes), c.binary) << c.name;
}

TEST_F(TextFileTest, IsBinaryFileLooksAtTheFirst1000Bytes) {
    EXPECT_FALSE(IsBinaryFile(dir.WriteFile("late.txt", std::string(1000, 'a') + "\x01\x02\x03\x04\x05")));
    EXPECT_TRUE(IsBinaryFile(dir.WriteFile("early.bin", std::string(996, 'a') + "\x01\x02\x03\x04")));
    EXPECT_FALSE(IsBinaryFile(dir.WriteFile("empty.txt", "")));
    EXPECT_FALSE(IsBinaryFile(Deny(dir.WriteFile("locked.bin", std::string(100, '\x01')))));
}

TEST_F(TextFileTest, WriteTextFileReplacesAndCreatesFolders) {
    const std::string file = dir.Path("new/sub/w.txt");
    ASSERT_TRUE(WriteTextFile(file, "a\nb\r\n"));
    EXPECT_EQ(ReadBytes(file),
              "\xEF\xBB\xBF"
              "a\r\nb\r\n");
    ASSERT_TRUE(WriteTextFile(file, "c"));
    EXPECT_EQ(ReadBytes(file),
              "\xEF\xBB\xBF"
              "c\r\n");
}

TEST_F(TextFileTest, WriteRawFileWritesExactBytes) {
    const std::string file = dir.Path("raw/r.bin");
    const std::string bytes("\0\xFF\r\n", 4);
    ASSERT_TRUE(WriteRawFile(file, bytes));
    EXPECT_EQ(ReadBytes(file), bytes);
    ASSERT_TRUE(WriteRawFile(file, ""));
    EXPECT_TRUE(platform::FileExists(file));
    EXPECT_EQ(platform::GetFileSize(file), 0);
    EXPECT_FALSE(WriteRawFile(dir.MakeFolder("folder"), "x"));
}

TEST_F(TextFileTest, AnsiWritingUsesWindows1252) {
    const std::string file = dir.Path("ansi.txt");
    ASSERT_TRUE(SaveAnsiTextFile({"caf\xC3\xA9 \xE2\x82\xAC", "\xE6\xBC\xA2"}, file));
    EXPECT_EQ(ReadBytes(file), "caf\xE9 \x80\r\n?\r\n");

    const std::string log = dir.Path("ansi.log");
    ASSERT_TRUE(AppendAnsiLine(log, "\xC3\xA9"));
    ASSERT_TRUE(AppendAnsiLine(log, "b"));
    EXPECT_EQ(ReadBytes(log), "\xE9\r\nb\r\n");
}

TEST_F(TextFileTest, AppendingStartsANewFileWithTheMark) {
    const std::string file = dir.Path("append.txt");
    ASSERT_TRUE(AppendToFile(file, "a"));
    ASSERT_TRUE(AppendLineToFile(file, "b"));
    AppendToFile_5x(file, "c");
    AppendToFileLn_5x(file, "d");
    EXPECT_EQ(ReadBytes(file),
              "\xEF\xBB\xBF"
              "ab\r\ncd\r\n");
    EXPECT_TRUE(sleeps.empty());

    // A file that exists already gets no mark, even when it is empty.
    for (const std::string& old : {std::string("x"), std::string()}) {
        const std::string existing = dir.WriteFile("existing.txt", old);
        ASSERT_TRUE(AppendLineToFile(existing, "y"));
        EXPECT_EQ(ReadBytes(existing), old + "y\r\n");
    }
}

TEST_F(TextFileTest, AppendFailures) {
    const std::string folder = dir.MakeFolder("taken");
    EXPECT_FALSE(AppendToFile(folder, "x"));
    EXPECT_FALSE(AppendLineToFile(folder, "x"));
    EXPECT_FALSE(AppendAnsiLine(folder, "x"));
    EXPECT_TRUE(sleeps.empty());

    struct Case {
        void (*append)(const std::string&, std::string_view);
        std::string message;
    };
    const Case cases[] = {
        {AppendToFile_5x, "AppendToFile_5x failed: " + folder},
        {AppendToFileLn_5x, "AppendToFileLn_5x failed: " + folder},
    };
    for (const auto& c : cases) {
        sleeps.clear();
        try {
            c.append(folder, "x");
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const TandrelError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(sleeps, std::vector<int>(10, 1000));
    }
}

TEST_F(TextFileTest, AppendLogLineGoesToTheSettingsFolderWithTime) {
    AppendLogLine("tandrel_test.log", "first");
    const std::string file = AppSettingsFolder() + "tandrel_test.log";
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: first\r\n");
    const std::string bytes = ReadBytes(file);
    ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << bytes;
    EXPECT_TRUE(std::regex_match(bytes.substr(3), line)) << bytes;
    platform::DeleteFile(file);

    const std::string elsewhere = dir.Path("logs/x.log");
    AppendLogLine(elsewhere, "second");
    EXPECT_TRUE(ReadBytes(elsewhere).ends_with(": second\r\n"));
}

TEST_F(TextFileTest, AppendLogLineFromManyThreadsKeepsEveryLine) {
    const std::string file = dir.Path("threads.log");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) AppendLogLine(file, "t" + std::to_string(t) + " i" + std::to_string(i));
        });
    }
    for (auto& thread : threads) thread.join();
    TStringList lines = ReadFromFile(file);
    ASSERT_EQ(lines.size(), 200u);
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: t\\d i\\d+");
    for (const auto& text : lines) EXPECT_TRUE(std::regex_match(text, line)) << text;
}

}  // namespace
}  // namespace tandrel
