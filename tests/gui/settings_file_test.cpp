#include "gui/shell/settings_file.h"

#include <gtest/gtest.h>

#include "common/retry.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"
#include "support/interrupted_write.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

TEST(SettingsFileNamesTest, DerivedFromTheExecutableName) {
    struct Case {
        std::string exe, settings, session, legacy;
    };
    const Case cases[] = {
        {"Tandrel.exe", "Tandrel.ini", "Tandrel.Session.ini", "tandrel.positions.ini"},
        {"APP.EXE", "APP.ini", "APP.Session.ini", "app.positions.ini"},
        {"tandrel", "tandrel.ini", "tandrel.Session.ini", "tandrel.positions.ini"},
        {"my.exe.tool", "my.exe.tool.ini", "my.exe.tool.Session.ini", "my.exe.tool.positions.ini"},
    };
    for (const auto& c : cases) {
        SettingsFileNames names = SettingsFileNamesFor(c.exe);
        EXPECT_EQ(names.settings, c.settings) << c.exe;
        EXPECT_EQ(names.session, c.session) << c.exe;
        EXPECT_EQ(names.legacyGeometry, c.legacy) << c.exe;
    }
}

TEST(SettingsEscapeTest, EscapeAndUnescape) {
    struct Case {
        std::string value, escaped, readBack;
    };
    const Case cases[] = {
        {"abc", ">abc", "abc"},
        {"", "", ""},
        {"  \r\n  ", "", ""},
        {"  padded  ", ">padded", "padded"},
        {"[not a header]", ">[not a header]", "[not a header]"},
        {"first\n\nthird", ">first\r\n>\r\n>third", "first\r\n\r\nthird"},
        {"\n\nlead\r\n  indented\rlast  \n\n", ">lead\r\n>  indented\r\n>last", "lead\r\n  indented\r\nlast"},
        {">quoted", ">>quoted", ">quoted"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Escape(c.value), c.escaped) << c.value;
        EXPECT_EQ(Unescape(c.escaped), c.readBack) << c.value;
    }
    // Lines written without the mark (older files) are taken as they stand.
    EXPECT_EQ(Unescape("plain\r\n>marked\r\n  "), "plain\r\nmarked");
}

TEST(SettingsSectionTest, ReadSection) {
    const TStringList lines = {
        "[a.Text]", ">one", "", "   ", ">two  ", "[b.Text]", "[c.Text]", ">x", "[A.Text]", ">upper", "[a.Text] ", ">z",
    };
    EXPECT_EQ(ReadSection(lines, "a.Text"), ">one\r\n>two");
    EXPECT_EQ(ReadSection(lines, "b.Text"), "");
    EXPECT_TRUE(HasSection(lines, "b.Text"));
    EXPECT_EQ(ReadSection(lines, "c.Text"), ">x");
    EXPECT_EQ(ReadSection(lines, "A.Text"), ">upper");
    EXPECT_FALSE(HasSection(lines, "d.Text"));
    EXPECT_EQ(ReadSection(lines, "d.Text"), "");
}

TEST(SettingsSectionTest, WriteSectionReplacesInPlaceOrAppends) {
    TStringList lines = {"[Form Position and Size]", "1,2,3,4,Normal", "", "[Other]", ">keep"};
    WriteSection(lines, kFormGeometrySection, "5,6,7,8,Max");
    EXPECT_EQ(lines, (TStringList{"[Form Position and Size]", "5,6,7,8,Max", "[Other]", ">keep"}));
    WriteSection(lines, "New", ">a\r\n>b");
    WriteSection(lines, "Empty", "");
    EXPECT_EQ(lines, (TStringList{"[Form Position and Size]", "5,6,7,8,Max", "[Other]", ">keep", "[New]", ">a", ">b",
                                  "[Empty]"}));
}

TEST(SettingsSectionTest, LegacyNamesAreRenamedInHeadersOnly) {
    TStringList lines = {"[dirEdit_CompareVolumes1.Text]", ">/snapshots/dirEdit_CompareVolumes2",
                         "[dirEdit_CompareVolumes2.Text]", ">b"};
    ApplyLegacyRenames(lines);
    EXPECT_EQ(lines, (TStringList{"[edCompareVolumes1.Text]", ">/snapshots/dirEdit_CompareVolumes2",
                                  "[edCompareVolumes2.Text]", ">b"}));
}

TEST(SettingsSectionTest, SameSettingsContent) {
    const TStringList base = {"[a.Text]", ">x", "[b.Items]", ">1", ">2"};
    EXPECT_TRUE(SameSettingsContent(base, {"[b.Items]", ">1", ">2", "", "[a.Text]", ">x"}));
    EXPECT_FALSE(SameSettingsContent(base, {"[a.Text]", ">x", "[b.Items]", ">2", ">1"}));
    EXPECT_FALSE(SameSettingsContent(base, {"[a.Text]", ">y", "[b.Items]", ">1", ">2"}));
    EXPECT_FALSE(SameSettingsContent(base, {"[a.Text]", "[b.Items]", ">1", ">2", ">x"}));
}

TEST(SettingsGeometryTest, EncodeGeometryLine) {
    const GeometryRect area{0, 0, 1920, 1040};
    EXPECT_EQ(EncodeGeometryLine({100, 50, 800, 600}, false, area), "100,50,800,600,Normal");
    EXPECT_EQ(EncodeGeometryLine({-5, -5, 10, 10}, true, area), "120,130,1680,780,Max");
    EXPECT_EQ(EncodeGeometryLine({0, 0, 0, 0}, true, {1920, 24, 1280, 1000}), "2000,149,1120,750,Max");
    EXPECT_EQ(EncodeGeometryLine({-100, -100, 10, 10}, false, area), "-100,-100,10,10,Normal");
    EXPECT_EQ(EncodeGeometryLine({-101, 0, 10, 10}, false, area), std::nullopt);
    EXPECT_EQ(EncodeGeometryLine({0, -32000, 10, 10}, false, area), std::nullopt);
}

TEST(SettingsGeometryTest, DecodeGeometryLine) {
    struct Case {
        std::string line;
        bool maximized;
        int left, top;
        std::optional<int> width, height;
    };
    const Case cases[] = {
        {"100,50,800,600,Normal", false, 100, 50, 800, 600},
        {" 100 , 50 , 800 , 600 , Normal ", false, 100, 50, 800, 600},
        {"120,130,1680,780,Max", true, 120, 130, 1680, 780},
        {"100,50", false, 100, 50, std::nullopt, std::nullopt},
        {"100,50,x,0,Normal", false, 100, 50, std::nullopt, std::nullopt},
        {"100,50,-3,600", false, 100, 50, std::nullopt, 600},
        {"", true, 0, 0, std::nullopt, std::nullopt},
        {"abc,50,800,600,Normal", true, 0, 50, 800, 600},
        {"-101,50,800,600,Normal", true, -101, 50, 800, 600},
        {"10,-32000,800,600,Normal", true, 10, -32000, 800, 600},
        {"-100,-100,800,600,Normal", false, -100, -100, 800, 600},
    };
    for (const auto& c : cases) {
        StoredGeometry g = DecodeGeometryLine(c.line);
        EXPECT_EQ(g.maximized, c.maximized) << c.line;
        EXPECT_EQ(g.left, c.left) << c.line;
        EXPECT_EQ(g.top, c.top) << c.line;
        EXPECT_EQ(g.width, c.width) << c.line;
        EXPECT_EQ(g.height, c.height) << c.line;
    }
}

class SettingsFileIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_hooks::SetRetrySleep([](int) {});
    }
    void TearDown() override {
        test_hooks::SetRetrySleep({});
        platform::test_hooks::DenyAccessBelow("");
    }
    TempDir dir;
};

TEST_F(SettingsFileIoTest, LoadTellsMissingFromUnreadable) {
    TStringList lines = {"stale"};
    EXPECT_EQ(LoadSettingsLines(dir.Path("none.ini"), lines), SettingsRead::Missing);
    EXPECT_TRUE(lines.empty());

    const std::string file = dir.WriteFile("s.ini", "\xEF\xBB\xBF[a.Text]\r\n>x\r\n");
    EXPECT_EQ(LoadSettingsLines(file, lines), SettingsRead::Read);
    EXPECT_EQ(lines, (TStringList{"[a.Text]", ">x"}));

    platform::test_hooks::DenyAccessBelow(file);
    EXPECT_EQ(LoadSettingsLines(file, lines), SettingsRead::Unreadable);
    EXPECT_TRUE(lines.empty());
}

TEST_F(SettingsFileIoTest, SaveWritesUtf8WithMarkAndCrLf) {
    const std::string file = dir.Path("s.ini");
    ASSERT_TRUE(SaveSettingsLines({"[a.Text]", ">\xC3\xA9t\xC3\xA9", ""}, file));
    EXPECT_EQ(ReadBytes(file), "\xEF\xBB\xBF[a.Text]\r\n>\xC3\xA9t\xC3\xA9\r\n");
    EXPECT_FALSE(SaveSettingsLines({"[a.Text]"}, dir.Path("missing/folder/s.ini")));
}

TEST_F(SettingsFileIoTest, AlignFileNameCase) {
    dir.WriteFile("app.session.ini", "old");
    AlignFileNameCase(dir.Path("App.Session.ini"));
    EXPECT_EQ(ReadBytes(dir.Path("App.Session.ini")), "old");
    EXPECT_FALSE(platform::PathExists(dir.Path("app.session.ini")));

    // Two candidates: neither is clearly ours, so both stay.
    dir.WriteFile("other.ini", "lower");
    dir.WriteFile("OTHER.ini", "upper");
    AlignFileNameCase(dir.Path("Other.ini"));
    EXPECT_FALSE(platform::PathExists(dir.Path("Other.ini")));
    EXPECT_EQ(ReadBytes(dir.Path("other.ini")), "lower");
    EXPECT_EQ(ReadBytes(dir.Path("OTHER.ini")), "upper");

    // An existing file is never replaced by another case of its name.
    dir.WriteFile("Third.ini", "mine");
    dir.WriteFile("third.ini", "theirs");
    AlignFileNameCase(dir.Path("Third.ini"));
    EXPECT_EQ(ReadBytes(dir.Path("Third.ini")), "mine");
    EXPECT_EQ(ReadBytes(dir.Path("third.ini")), "theirs");
}

// Only whole files: a save that fails or is killed part-way leaves the
// previous settings byte for byte and nothing under another name.
TEST_F(SettingsFileIoTest, AnInterruptedSaveKeepsThePreviousSettings) {
    const std::string file = dir.Path("s.ini");
    ASSERT_TRUE(SaveSettingsLines({"[a.Text]", ">before"}, file));
    const std::string before = ReadBytes(file);
    TStringList bigger = {"[a.Text]"};
    for (int i = 0; i < 20000; ++i) bigger.push_back(">value " + std::to_string(i));
    {
        testing::FailWritesAfter stop(70000);
        EXPECT_FALSE(SaveSettingsLines(bigger, file));
    }
    EXPECT_EQ(ReadBytes(file), before);
    ASSERT_TRUE(testing::KillWhileWriting([&] { SaveSettingsLines(bigger, file); }, 70000));
    EXPECT_EQ(ReadBytes(file), before);
    // The killed writer's half file is hidden and never read as settings.
    int others = 0;
    platform::FolderEnumerator list(dir.path());
    platform::FindRecord record;
    while (list.Next(record))
        if (record.name != "s.ini") others += platform::IsAtomicTemporaryName(record.name) ? 1 : 100;
    EXPECT_EQ(others, 1);
    ASSERT_TRUE(SaveSettingsLines(bigger, file));
    TStringList read;
    ASSERT_EQ(LoadSettingsLines(file, read), SettingsRead::Read);
    EXPECT_EQ(read, bigger);
}

}  // namespace
}  // namespace tandrel
