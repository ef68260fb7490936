#include "gui/tools/text_checks_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "common/text_file.h"
#include "gui/shell/main_window.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

class TextChecksPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        messages = std::make_unique<RecordingMessages>();
        TFormMainUi& ui = window->WidgetsForTest();
        ui.pcMain->setCurrentWidget(ui.tsFileOperations);
        TTextCheckOptions options;
        options.logs = {logs.Path("x.log"), logs.Path("error1.log"), logs.Path("error2.log")};
        Page().SetOptionsForTest(options);
        Ui().DirectoryEdit3->setText(QString::fromStdString(dir.path()));
    }
    void TearDown() override {
        window.reset();
        messages.reset();
    }

    TFormTextChecks& Page() { return window->TextChecksView(); }
    TFormTextChecksUi& Ui() { return Page().WidgetsForTest(); }

    void Click(QPushButton* button) {
        QSignalSpy finished(&Page(), &TFormTextChecks::Finished);
        button->click();
        for (int i = 0; i < 1000 && finished.count() == 0; ++i) QTest::qWait(10);
        ASSERT_EQ(finished.count(), 1);
    }

    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TempDir dir, logs;
};

TEST_F(TextChecksPageTest, FindsFixesAndReportsWhatItCouldNotFix) {
    dir.WriteFile("good.pas", "a\r\nb\r\n");
    const std::string unix = dir.WriteFile("unix.pas",
                                           "\xEF\xBB\xBF"
                                           "a\nb\n");
    const std::string locked = dir.WriteFile("sub/locked.php", "a\rb\r");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    dir.WriteFile("notes.txt", "a\nb\n");

    Click(Ui().bFindUnixFormatFiles);
    QStringList found = Ui().memoFilesWithTab->toPlainText().split('\n');
    found.sort();
    EXPECT_EQ(found, QStringList({QString::fromStdString(locked), QString::fromStdString(unix)}));
    EXPECT_EQ(ReadFromFile(logs.Path("x.log")).size(), 3u);

    Click(Ui().bFixUnixFormat);
    EXPECT_EQ(ReadBytes(unix),
              "\xEF\xBB\xBF"
              "a\r\nb\r\n");
    EXPECT_EQ(ReadBytes(locked), "a\rb\r");
    TFormMainUi& ui = window->WidgetsForTest();
    EXPECT_TRUE(
        ui.edErrorLog->toPlainText().contains(QString::fromStdString("File is read-only, not changed: " + locked)));
    EXPECT_EQ(ui.LabelStatus->text(), "Files fixed: 1");

    Ui().chkRemoveReadOnlyFlag->setChecked(true);
    Click(Ui().bFixUnixFormat);
    EXPECT_EQ(ReadBytes(locked), "a\r\nb\r\n");

    Click(Ui().bFindUnixFormatFiles);
    EXPECT_EQ(Ui().memoFilesWithTab->toPlainText(), "");
}

TEST_F(TextChecksPageTest, ListsFilesWithTabsAndRefusesAMissingFolder) {
    dir.WriteFile("tab.php", "<?php\n\techo 1;\n");
    dir.WriteFile("none.php", "<?php\n  echo 1;\n");
    Click(Ui().bFindFilesWithTab);
    const QString text = Ui().memoFilesWithTab->toPlainText();
    EXPECT_TRUE(text.startsWith(QString::fromStdString("tab.php|" + dir.path() + "/|15|"))) << text.toStdString();
    EXPECT_FALSE(text.contains('\n'));
    EXPECT_TRUE(text.endsWith("|0"));

    Ui().DirectoryEdit3->setText(QString::fromStdString(dir.Path("missing")));
    Click(Ui().bFindFilesWithTab);
    ASSERT_EQ(messages->shown.size(), 1u);
    EXPECT_EQ(messages->shown[0], "Folder not found: " + dir.Path("missing"));
    EXPECT_EQ(Ui().memoFilesWithTab->toPlainText(), text);
}

}  // namespace
}  // namespace tandrel
