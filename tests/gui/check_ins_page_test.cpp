#include "gui/tools/check_ins_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "gui/shell/main_window.h"
#include "gui/shell/shell_services.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "scan/check_ins.h"
#include "scan/scan_model.h"
#include "support/fire_timer.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::FireTimer;
using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

constexpr TDateTime kHour = 1.0 / 24;

class CheckInsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        messages = std::make_unique<RecordingMessages>();
        TFormMainUi& ui = window->WidgetsForTest();
        ui.pcMain->setCurrentWidget(ui.tsBrenixRCS_Check);

        repo = dir.Path("repo") + "/";
        const TDateTime base = EncodeDateTime(2023, 2, 3, 10, 0, 0, 0);
        hourFile = Pair("src/app/hour.php", base + kHour, base);
        dayFile = Pair("src/app/web/day.php", base + 30 * kHour, base);
        Pair("src/app/same.php", base, base);
        newFile = Pair("src/app/new.php", base, 0);
        Pair("src/app/old/ignored.php", base + kHour, base);

        TFormBrenixRCSUi& page = Page().WidgetsForTest();
        page.edBrenixRCSPath->setText(QString::fromStdString(dir.Path("repo")));
        page.edBrenixRCS_Extensions->setText("*.php; *.pas");
        page.edBrenixRCSFilter_include->clear();
        page.edBrenixRCSFilter_exclude->clear();
        FireTimer(*page.TimerBrenixRCSFilter);
    }
    void TearDown() override {
        SetLaunchHook({});
        window.reset();
        messages.reset();
    }

    TFormBrenixRCS& Page() { return window->BrenixRCSView(); }

    std::string Pair(const std::string& relative, TDateTime sourceTime, TDateTime copyTime) {
        const std::string source = dir.WriteFile(relative, "x");
        EXPECT_TRUE(platform::SetLastWriteTime(source, LocalDateTimeToFileTime(sourceTime)));
        if (copyTime > 0) {
            const std::string copy = RepositoryCopyFor(repo, source);
            dir.WriteFile(copy.substr(dir.path().size() + 1), "x");
            EXPECT_TRUE(platform::SetLastWriteTime(copy, LocalDateTimeToFileTime(copyTime)));
        }
        return source;
    }

    // F5, as the user presses it on the page, and the end of the check.
    void PressF5() {
        QSignalSpy finished(&Page(), &TFormBrenixRCS::CheckFinished);
        window->WidgetsForTest().ActionF5->trigger();
        for (int i = 0; i < 1000 && finished.count() == 0; ++i) QTest::qWait(10);
        ASSERT_EQ(finished.count(), 1);
    }

    // Every row as the list's model gives it (what a screen reader reads).
    std::vector<std::vector<std::string>> Rows() {
        TListViewEx& lv = *Page().WidgetsForTest().lvBrenixRCS_results;
        std::vector<std::vector<std::string>> rows;
        for (int r = 0; r < lv.model()->rowCount(); ++r) {
            std::vector<std::string> cells;
            for (int c = 0; c < lv.model()->columnCount(); ++c)
                cells.push_back(lv.model()->data(lv.model()->index(r, c)).toString().toStdString());
            rows.push_back(cells);
        }
        return rows;
    }

    int RowOf(const std::string& path) {
        const auto rows = Rows();
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (rows[r][0] == path) return static_cast<int>(r);
        return -1;
    }

    void Select(const std::string& path) {
        const int row = RowOf(path);
        ASSERT_GE(row, 0) << path;
        Page().WidgetsForTest().lvBrenixRCS_results->SetSelectedRows({row});
    }

    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TempDir dir;
    std::string repo, hourFile, dayFile, newFile;
};

TEST_F(CheckInsPageTest, F5ChecksTheRepositoryAndTheListReadsAsShown) {
    PressF5();
    TFormBrenixRCSUi& page = Page().WidgetsForTest();
    EXPECT_EQ(page.edBrenixRCSPath->text().toStdString(), repo);  // given its trailing "/"
    EXPECT_EQ(page.lvBrenixRCS_results->ColumnCaption(3), "Not updated for");
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_GE(RowOf(hourFile), 0);
    EXPECT_EQ(rows[static_cast<std::size_t>(RowOf(hourFile))],
              (std::vector<std::string>{hourFile, "2023-02-03 11:00:00.000", "2023-02-03 10:00:00.000", "01:00:00"}));
    EXPECT_EQ(rows[static_cast<std::size_t>(RowOf(dayFile))][3], "30:00:00");
    EXPECT_EQ(rows[static_cast<std::size_t>(RowOf(newFile))][2], "");
    EXPECT_EQ(rows[static_cast<std::size_t>(RowOf(newFile))][3], "never updated");
    EXPECT_EQ(page.memoMissingFiles->toPlainText().toStdString(), RepositoryCopyFor(repo, newFile));
    EXPECT_EQ(page.memoSourceDirectories->toPlainText().toStdString(),
              dir.Path("src/app/") + "\n" + dir.Path("src/app/web/"));
    EXPECT_EQ(page.memoBrenixRCS_results->toPlainText().count('\n'), 2);

    // The filters only re-filter the lines of the last check.
    page.edBrenixRCSFilter_include->setText("APP/WEB");
    ASSERT_TRUE(FireTimer(*page.TimerBrenixRCSFilter));
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0][0], dayFile);
    page.edBrenixRCSFilter_include->clear();
    page.edBrenixRCSFilter_exclude->setText("new.php;web");
    ASSERT_TRUE(FireTimer(*page.TimerBrenixRCSFilter));
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0][0], hourFile);

    // F5 on another page does not check: a check would have started, or
    // been refused, before the trigger returned.
    TFormMainUi& ui = window->WidgetsForTest();
    ui.pcMain->setCurrentWidget(ui.tsCompareFiles);
    QSignalSpy finished(&Page(), &TFormBrenixRCS::CheckFinished);
    ui.ActionF5->trigger();
    EXPECT_FALSE(Page().Running());
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(CheckInsPageTest, HandsTheFolderToTheCheckInProgramOrSaysWhyNot) {
    PressF5();
    std::vector<std::vector<std::string>> launched;
    SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        launched.push_back(argv);
        return true;
    });
    TFormBrenixRCSUi& page = Page().WidgetsForTest();
    Select(dayFile);

    page.edBrenixRCSProgram->clear();
    page.pi_BrenixRCS->trigger();
    EXPECT_TRUE(launched.empty());
    ASSERT_EQ(messages->shown.size(), 1u);
    EXPECT_EQ(messages->shown[0], "No check-in program is set (Check-in program:)");

    page.edBrenixRCSProgram->setText(QString::fromStdString(dir.Path("bin/no-such-rcs")));
    page.bProcessFolder->click();
    EXPECT_TRUE(launched.empty());
    ASSERT_EQ(messages->shown.size(), 2u);
    EXPECT_EQ(messages->shown[1], "Could not find the check-in program: " + dir.Path("bin/no-such-rcs"));

    const std::string program = dir.WriteFile("bin/rcs tool", "#!/bin/sh\n");
    ASSERT_TRUE(platform::SetExecutable(program));
    page.edBrenixRCSProgram->setText(QString::fromStdString(program));
    page.pi_BrenixRCS->trigger();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{program, dir.Path("src/app/web/")}));

    // A double click on a row does the same.
    emit page.lvBrenixRCS_results->DblClick(RowOf(dayFile));
    EXPECT_EQ(launched.size(), 2u);
    EXPECT_EQ(messages->shown.size(), 2u);
}

TEST_F(CheckInsPageTest, TouchAppendsALineEndOnlyToTextFilesAndOnlyOnOk) {
    PressF5();
    TFormBrenixRCSUi& page = Page().WidgetsForTest();
    Select(hourFile);
    messages->answer = MessageAnswer::Cancel;
    page.pi_TouchFile->trigger();
    ASSERT_EQ(messages->questions.size(), 1u);
    EXPECT_EQ(messages->questions[0], "Append CR/LF to " + hourFile + "?");
    EXPECT_EQ(ReadBytes(hourFile), "x");

    messages->answer = MessageAnswer::Ok;
    page.pi_TouchFile->trigger();
    EXPECT_EQ(ReadBytes(hourFile), "x\r\n");

    const std::string wide = "\xFF\xFE" + std::string("a\0b\0", 4);
    ASSERT_TRUE(platform::WriteFileBytes(newFile, wide));
    Select(newFile);
    page.pi_TouchFile->trigger();
    EXPECT_EQ(ReadBytes(newFile), wide);
    EXPECT_EQ(messages->shown.back(), "File is in unicode format. Please convert to ANSI");

    const std::string binary = std::string("MZ\0\0\x01\x02", 6);
    ASSERT_TRUE(platform::WriteFileBytes(dayFile, binary));
    Select(dayFile);
    page.pi_TouchFile->trigger();
    EXPECT_EQ(ReadBytes(dayFile), binary);
    EXPECT_EQ(messages->shown.back(), "File is binary.");
}

}  // namespace
}  // namespace tandrel
