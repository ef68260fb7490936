#include "gui/tools/multi_rename_page.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/files.h"
#include "gui/shell/main_window.h"
#include "gui/widgets/caption_panel.h"
#include "scan/scan_model.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

class MultiRenamePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        messages = std::make_unique<RecordingMessages>();
        messages->answer = MessageAnswer::Ok;
    }
    void TearDown() override {
        window.reset();
        messages.reset();
    }

    TFormMultiRename& Page() { return window->MultiRenameView(); }
    TFormMultiRenameUi& Ui() { return Page().WidgetsForTest(); }

    // Loads the folder by typing it, as a user would.
    void Load(const std::vector<std::string>& names) {
        for (const std::string& name : names) dir.WriteFile(name, name);
        Ui().edRenameDirectory->setText(QString::fromStdString(dir.path()));
    }
    void Edit(const QString& text) { Ui().MemoEditor->setPlainText(text); }
    std::map<std::string, std::string> Files() {
        std::map<std::string, std::string> files;
        for (const std::string& name : ListFileNames(dir.path())) files[name] = ReadBytes(dir.Path(name));
        return files;
    }

    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TempDir dir;
};

TEST_F(MultiRenamePageTest, EditedNameIsQueuedConfirmedAndRenamed) {
    Load({"img10.jpg", "img2.jpg", "notes.txt"});
    EXPECT_EQ(Ui().lbRenameOriginalList->toPlainText(), "img2.jpg\nimg10.jpg\nnotes.txt");
    EXPECT_EQ(Ui().MemoEditor->toPlainText(), Ui().lbRenameOriginalList->toPlainText());
    EXPECT_TRUE(Ui().edRenameQueue->toPlainText().isEmpty());

    Edit("img2.jpg\nIMG10.jpg\nnotes.txt\n\n");
    const QString line = QString::fromStdString(dir.path()) + "/ | img10.jpg -> IMG10.jpg";
    EXPECT_EQ(Ui().edRenameQueue->toPlainText(), line);

    Page().bRenameClick();
    EXPECT_TRUE(Ui().cpanelRenameToBeRenamed->isVisible());
    EXPECT_EQ(Ui().edRenameQueue2->toPlainText(), line);

    messages->answer = MessageAnswer::Cancel;
    QTest::mouseClick(Ui().bRename2, Qt::LeftButton);
    EXPECT_EQ(messages->questions, std::vector<std::string>{"You are about to rename 1 Items"});
    EXPECT_TRUE(platform::FileExists(dir.Path("img10.jpg")));

    messages->answer = MessageAnswer::Ok;
    QTest::mouseClick(Ui().bRename2, Qt::LeftButton);
    EXPECT_EQ(Files(), (std::map<std::string, std::string>{
                           {"IMG10.jpg", "img10.jpg"}, {"img2.jpg", "img2.jpg"}, {"notes.txt", "notes.txt"}}));
    EXPECT_EQ(Ui().edRenameQueue->toPlainText(), line + " | [OK]");
    EXPECT_EQ(messages->shown, std::vector<std::string>{"1 files processed"});
    EXPECT_FALSE(Ui().cpanelRenameToBeRenamed->isVisible());
}

TEST_F(MultiRenamePageTest, UnequalListsAreToldAndBlockTheQueue) {
    Load({"a", "b", "c"});
    Edit("a\nb2\nc");
    const QString queue = Ui().edRenameQueue->toPlainText();
    Edit("a\nc");
    EXPECT_EQ(Ui().edRenameQueue->toPlainText(), queue);  // left as it was
    EXPECT_TRUE(messages->shown.empty());
    Page().bRenameClick();
    EXPECT_EQ(messages->shown, std::vector<std::string>{"Lists do not contain same number of Items"});
    Page().bRenameSortClick();
    EXPECT_EQ(Ui().MemoEditor->toPlainText(), "a\nb\nc");
    EXPECT_TRUE(Ui().edRenameQueue->toPlainText().isEmpty());
}

TEST_F(MultiRenamePageTest, SwapIsRefusedBeforeTheQuestionAndRenamesNothing) {
    Load({"a.txt", "b.txt", "c.txt"});
    Edit("b.txt\na.txt\nc2.txt");
    Page().bRenameClick();
    Page().bRename2Click();
    EXPECT_TRUE(messages->questions.empty());
    ASSERT_EQ(messages->shown.size(), 1u);
    EXPECT_EQ(messages->shown[0].rfind("Nothing was renamed:\na.txt -> b.txt: b.txt exists already", 0), 0u)
        << messages->shown[0];
    EXPECT_EQ(Files(),
              (std::map<std::string, std::string>{{"a.txt", "a.txt"}, {"b.txt", "b.txt"}, {"c.txt", "c.txt"}}));
}

TEST_F(MultiRenamePageTest, NamesThatAreNotUtf8KeepTheirBytesUnlessRetyped) {
    const std::string odd = "caf\xe9.txt";
    Load({odd, "plain.txt"});
    const QString shown = Ui().MemoEditor->toPlainText();
    ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
    // The unchanged line is no rename; the other one goes through.
    Edit(QString(shown).replace("plain.txt", "plain2.txt"));
    ASSERT_EQ(Page().BatchForTest().items.size(), 1u);
    Page().bRename2Click();
    EXPECT_EQ(Files(), (std::map<std::string, std::string>{{odd, odd}, {"plain2.txt", "plain.txt"}}));

    // An edit of the unreadable name would lose its bytes: refused.
    messages->shown.clear();
    Page().bRename_GetFilesClick();
    Edit(Ui().MemoEditor->toPlainText().replace(".txt", ".bak"));
    Page().bRename2Click();
    ASSERT_EQ(messages->shown.size(), 1u);
    EXPECT_NE(messages->shown[0].find("could not be shown"), std::string::npos) << messages->shown[0];
    EXPECT_EQ(Files(), (std::map<std::string, std::string>{{odd, odd}, {"plain2.txt", "plain.txt"}}));
}

TEST_F(MultiRenamePageTest, ToolsEditTheSelectionOrEverythingAsOneUndoStep) {
    Load({"a Report.TXT", "b report.txt", "c other.doc"});
    Ui().edFind->setText("REPORT");
    Ui().edReplace->setText("Memo");
    Page().bReplaceClick();
    EXPECT_EQ(Ui().MemoEditor->toPlainText(), "a Memo.TXT\nb Memo.txt\nc other.doc");
    Page().bEditorButton_GENERIC_Click(Ui().bUndo);
    EXPECT_EQ(Ui().MemoEditor->toPlainText(), "a Report.TXT\nb report.txt\nc other.doc");

    // Only the selected lines get the start text.
    QTextCursor cursor(Ui().MemoEditor->document());
    cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor);
    cursor.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    Ui().MemoEditor->setTextCursor(cursor);
    Page().HandleEditorButtons();
    EXPECT_TRUE(Ui().bCut->isEnabled());
    EXPECT_TRUE(Ui().bRedo->isEnabled());
    Ui().edAddStart->setText("2024 ");
    Page().bAddStartEndClick(Ui().bAddStart);
    EXPECT_EQ(Ui().MemoEditor->toPlainText(), "2024 a Report.TXT\n2024 b report.txt\nc other.doc");
    Ui().edAddEnd->setText(".old");
    Ui().MemoEditor->moveCursor(QTextCursor::End);
    Page().bAddStartEndClick(Ui().bAddEnd);
    EXPECT_EQ(Ui().MemoEditor->toPlainText(), "2024 a Report.TXT.old\n2024 b report.txt.old\nc other.doc.old");
    EXPECT_EQ(Ui().edRenameQueue->toPlainText().count('\n'), 2);

    Page().bEditorButton_GENERIC_Click(window.get());
    EXPECT_EQ(messages->shown, std::vector<std::string>{"Unknown sender"});
}

TEST_F(MultiRenamePageTest, ControlsCarryAccessibleNames) {
    for (QWidget* widget : std::initializer_list<QWidget*>{
             Ui().edRenameDirectory, Ui().edRenameFilter, Ui().lbRenameOriginalList, Ui().MemoEditor, Ui().edFind,
             Ui().edReplace, Ui().bReplace, Ui().edAddStart, Ui().bAddStart, Ui().edAddEnd, Ui().bAddEnd, Ui().bRename,
             Ui().bRenameSort, Ui().edRenameQueue, Ui().edRenameQueue2, Ui().bRename2, Ui().bCancelRename,
             Ui().bDelete}) {
        EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->objectName().toStdString();
    }
    EXPECT_EQ(Ui().edRenameQueue->accessibleName(), "rename queue");
    EXPECT_EQ(Ui().bDelete->text(), "Clear selection");
}

}  // namespace
}  // namespace tandrel
