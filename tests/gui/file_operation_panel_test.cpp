#include "gui/shell/file_operation_panel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>

#include "common/app_folders.h"
#include "common/text_file.h"
#include "gui/shell/main_window.h"
#include "platform/file_system.h"
#include "platform/trash.h"
#include "scan/scan_model.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempDir;

class FileOperationPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(AppSettingsFolder());
        window = std::make_unique<TFormMain>(model);
        messages = std::make_unique<RecordingMessages>();
        messages->answer = MessageAnswer::Ok;
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        panel = &window->FileOperationPanel();
    }
    void TearDown() override {
        TFileOperationPanel::SetConflictAnswerHook({});
        window->close();
        window.reset();
        messages.reset();
    }
    TFileOperationPanelUi& ui() { return panel->WidgetsForTest(); }
    bool WaitForJob() {
        for (int i = 0; i < 1000 && panel->Running(); ++i) QTest::qWait(10);
        return !panel->Running();
    }
    std::string LogText() { return window->WidgetsForTest().edErrorLog->toPlainText().toStdString(); }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TFileOperationPanel* panel = nullptr;
};

TEST_F(FileOperationPanelTest, OpensForTheSendersActionAndNamesIt) {
    window->TreemapView();  // the selected-files text is empty: the lists are too
    QAction copy("Copy to..."), move("Move to..."), remove("Delete"), other("Bogus");
    window->miCopyMoveDeleteFilesClick(&move);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->Caption(), "Move files");
    EXPECT_TRUE(ui().HTLabelCopyOrMove->text().contains("<b>moved</b>"));
    EXPECT_FALSE(ui().bCopyFiles->isVisible());
    EXPECT_TRUE(ui().bMoveFiles->isVisible());
    window->miCopyMoveDeleteFilesClick(&copy);
    EXPECT_TRUE(ui().HTLabelCopyOrMove->text().contains("<b>copied</b>"));
    EXPECT_TRUE(ui().bCopyFiles->isVisible() && !ui().bMoveFiles->isVisible());
    EXPECT_EQ(ui().Label70->text(), "Destination folder:");
    window->miCopyMoveDeleteFilesClick(&remove);
    EXPECT_EQ(ui().pcFileOperation->currentWidget(), ui().tsDelete);
    EXPECT_EQ(panel->Caption(), "Delete files");
    window->miCopyMoveDeleteFilesClick(&other);
    EXPECT_EQ(messages->shown, std::vector<std::string>{"Unknown mode"});

    window->FileOperation(TFileAction::Copy, dir.WriteFile("one.txt", "1") + "\n");
    EXPECT_EQ(ui().lbCopyMoveFiles->count(), 1);
    EXPECT_EQ(ui().Label70->text(), "Destination folder or file (leave empty to duplicate selected file)");
    QTest::keyClick(ui().edDestinationDirectory, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(FileOperationPanelTest, CopyingOneFileWithAnEmptyDestinationMakesATimeStampedDuplicate) {
    const std::string file = dir.WriteFile("photo.jpg", "pixels");
    window->FileOperation(TFileAction::Copy, file);
    ui().edDestinationDirectory->clear();
    QTest::keyClick(ui().edDestinationDirectory, Qt::Key_Return);
    EXPECT_FALSE(panel->isVisible());
    ASSERT_EQ(messages->questions.size(), 1u);
    const std::regex copied(dir.path() + R"(/photo_\d{8}_\d{6}_\d{3}\.jpg)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(messages->questions[0], match, copied)) << messages->questions[0];
    EXPECT_EQ(messages->questions[0], "Are you sure you want to copy :\r\n" + file + "\r\nto\r\n" + match.str() + "?");
    EXPECT_EQ(ReadBytes(match.str()), "pixels");
    EXPECT_EQ(ReadBytes(file), "pixels");
}

TEST_F(FileOperationPanelTest, CopiesIntoAFolderKeepingEachDestinationOnceInTheHistory) {
    const std::string a = dir.WriteFile("src/a.txt", "a"), b = dir.WriteFile("src/b.txt", "b");
    const std::string dest = dir.MakeFolder("dest");
    for (const std::string& typed : {dest, dest, dir.MakeFolder("other"), dest + "/"}) {
        window->FileOperation(TFileAction::Copy, a + "\n" + b);
        ui().edDestinationDirectory->setText(QString::fromStdString(typed));
        // Conflicts from the second round on: keep both.
        TFileOperationPanel::SetConflictAnswerHook(
            [](const std::string&, const std::string&) { return platform::ConflictAnswer::KeepBoth; });
        ui().bCopyFiles->click();
        ASSERT_TRUE(WaitForJob());
    }
    EXPECT_EQ(ReadBytes(dest + "/a.txt"), "a");
    EXPECT_EQ(ReadBytes(dest + "/b.txt"), "b");
    EXPECT_EQ(messages->questions.back(),
              "Are you sure you want to copy the selected files to \r\n\r\n" + dest + "/ ?");
    // Newest first, each once ("dest/" is a new text, so it is listed too).
    ASSERT_EQ(ui().lbHistory->count(), 3);
    EXPECT_EQ(ui().lbHistory->item(0)->text().toStdString(), dest + "/");
    EXPECT_EQ(ui().lbHistory->item(1)->text().toStdString(), dir.Path("other"));
    EXPECT_EQ(ui().lbHistory->item(2)->text().toStdString(), dest);
    panel->AddToHistory(dir.Path("OTHER"));
    EXPECT_EQ(ui().lbHistory->count(), 3) << "the comparison ignores case";
    // Up and Down walk the history into the edit.
    window->FileOperation(TFileAction::Copy, a);
    QTest::keyClick(ui().edDestinationDirectory, Qt::Key_Down);
    QTest::keyClick(ui().edDestinationDirectory, Qt::Key_Down);
    EXPECT_EQ(ui().edDestinationDirectory->text().toStdString(), dir.Path("other"));
    EXPECT_EQ(window->findChildren<QListWidget*>("lbHistory").size(), 1);
}

TEST_F(FileOperationPanelTest, CopyToAMissingFolderAsksFirstAndDecliningCopiesNothing) {
    const std::string file = dir.WriteFile("a.txt", "a");
    const std::string missing = dir.Path("missing/deeper");
    window->FileOperation(TFileAction::Copy, file + "\n" + dir.WriteFile("b.txt", "b"));
    ui().edDestinationDirectory->setText(QString::fromStdString(missing));
    messages->answer = MessageAnswer::Cancel;
    ui().bCopyFiles->click();
    EXPECT_FALSE(panel->Running());
    EXPECT_EQ(messages->questions, std::vector<std::string>{"Directory " + missing + "/ does not exist. Create?"});
    EXPECT_FALSE(platform::PathExists(missing));
    EXPECT_FALSE(panel->isVisible());

    // Agreeing creates it and copies.
    messages->answer = MessageAnswer::Ok;
    window->FileOperation(TFileAction::Copy, file + "\n" + dir.Path("b.txt"));
    ui().edDestinationDirectory->setText(QString::fromStdString(missing));
    ui().bCopyFiles->click();
    ASSERT_TRUE(WaitForJob());
    EXPECT_EQ(ReadBytes(missing + "/a.txt"), "a");
}

TEST_F(FileOperationPanelTest, MoveReportsWhatItMovedAndAnEmptyDestinationKeepsThePanelOpen) {
    const std::string a = dir.WriteFile("src/a.txt", "a");
    const std::string folder = dir.MakeFolder("src/box");
    const std::string dest = dir.MakeFolder("dest");
    dir.WriteFile("dest/a.txt", "old");
    window->FileOperation(TFileAction::Move, a + "\n" + folder + "/\n" + dir.Path("src/gone"));
    ui().edDestinationDirectory->setText("   ");
    QTest::keyClick(ui().edDestinationDirectory, Qt::Key_Return);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(messages->questions.empty());
    EXPECT_TRUE(platform::PathExists(a));

    QSignalSpy changed(panel, &TFileOperationPanel::FilesChanged);
    TFileOperationPanel::SetConflictAnswerHook(
        [](const std::string&, const std::string&) { return platform::ConflictAnswer::Skip; });
    ui().edDestinationDirectory->setText(QString::fromStdString(dest));
    ui().bMoveFiles->click();
    ASSERT_TRUE(WaitForJob());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(ReadBytes(dest + "/a.txt"), "old");
    EXPECT_TRUE(platform::DirectoryExists(dest + "/box"));
    ASSERT_EQ(changed.count(), 1);
    const auto moved = changed[0][0].value<std::vector<TDiskChange>>();
    ASSERT_EQ(moved.size(), 2u) << "the folder left and arrived; the skipped file did neither";
    EXPECT_EQ(moved[0].operation, TFileOperation::foRemoved);
    EXPECT_EQ(moved[0].path, folder);
    EXPECT_EQ(moved[1].operation, TFileOperation::foAdded);
    EXPECT_EQ(moved[1].path, dest + "/box");
    EXPECT_NE(LogText().find("File or directory does not exist: " + dir.Path("src/gone")), std::string::npos);
}

TEST_F(FileOperationPanelTest, DeletesFilesForGoodAndFoldersToTheTrash) {
    const std::string file = dir.WriteFile("f.txt", "f");
    const std::string folder = dir.MakeFolder("box");
    dir.WriteFile("box/inner.txt", "inner");
    dir.WriteFile("target/keep.txt", "keep");
    const std::string link = dir.Path("link");
    ASSERT_EQ(symlink(dir.Path("target").c_str(), link.c_str()), 0);
    window->FileOperation(TFileAction::Delete, file + "\n" + folder + "\n" + link + "\n" + dir.Path("none"));
    EXPECT_EQ(ui().lbDeleteFiles->count(), 4);

    messages->answer = MessageAnswer::Cancel;
    ui().bDeleteSelected->click();
    EXPECT_TRUE(platform::PathExists(file));
    EXPECT_TRUE(panel->isVisible()) << "a declined delete leaves the panel open";

    messages->answer = MessageAnswer::Ok;
    QSignalSpy changed(panel, &TFileOperationPanel::FilesChanged);
    ui().bDeleteSelected->click();
    EXPECT_EQ(messages->questions.back(), "Are you sure you want to Delete the selected files?");
    EXPECT_FALSE(platform::PathExists(file));
    EXPECT_FALSE(platform::PathExists(folder));
    EXPECT_FALSE(platform::PathExists(link));
    EXPECT_EQ(ReadBytes(dir.Path("target/keep.txt")), "keep");
    EXPECT_EQ(ReadBytes(platform::HomeTrashFolder() + "/files/box/inner.txt"), "inner");
    EXPECT_FALSE(platform::PathExists(platform::HomeTrashFolder() + "/files/f.txt"));
    EXPECT_FALSE(panel->isVisible());
    ASSERT_EQ(changed.count(), 1);
    std::vector<std::string> removed;
    for (const TDiskChange& change : changed[0][0].value<std::vector<TDiskChange>>()) {
        EXPECT_EQ(change.operation, TFileOperation::foRemoved);
        removed.push_back(change.path);
    }
    EXPECT_EQ(removed, (std::vector<std::string>{file, folder, link}));
    EXPECT_EQ(LogText(), "");
}

TEST_F(FileOperationPanelTest, RenameRefusesTakenNamesAndSlashesAndDoesCapitalsOnly) {
    const std::string file = dir.WriteFile("Name.txt", "n");
    dir.WriteFile("taken.txt", "t");
    struct Case {
        const char* newName;
        bool asked;
        const char* afterwards;  // the file's name afterwards
        const char* log;         // part of the log line ("" = none)
        const char* box;         // part of the message box ("" = none)
    };
    const Case cases[] = {
        {"Name.txt", false, "Name.txt", "", ""},
        {"taken.txt", true, "Name.txt", "Could not rename file. File exists", ""},
        {"sub/x.txt", false, "Name.txt", "", "may not be empty"},
        {"name.TXT", true, "name.TXT", "", ""},
    };
    std::string current = file;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.newName);
        messages->questions.clear();
        messages->shown.clear();
        window->WidgetsForTest().edErrorLog->clear();
        window->RenameFileDialog(current);
        EXPECT_EQ(ui().LabelRename2->text(), "New file name:");
        ui().edRenameNewFilename->setText(c.newName);
        QTest::keyClick(ui().edRenameNewFilename, Qt::Key_Return);
        EXPECT_EQ(messages->questions.size(), c.asked ? 1u : 0u);
        current = dir.Path(c.afterwards);
        EXPECT_EQ(ReadBytes(current), "n");
        EXPECT_NE(LogText().find(c.log), std::string::npos) << LogText();
        if (c.box[0]) {
            ASSERT_EQ(messages->shown.size(), 1u);
            EXPECT_NE(messages->shown[0].find(c.box), std::string::npos);
        }
    }
    EXPECT_EQ(messages->questions.back(), "Are you sure you want to rename file\r\nName.txt\r\nto\r\nname.TXT?");
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(platform::PathExists(file));
    EXPECT_EQ(ReadBytes(dir.Path("taken.txt")), "t");

    window->RenameFileDialog(dir.MakeFolder("folder"));
    EXPECT_EQ(ui().LabelRename1->text(), "Directory name:");
    EXPECT_EQ(ui().edRenameNewFilename->selectedText(), "folder");
}

TEST_F(FileOperationPanelTest, DateToolsGiveTheSecondFilesTime) {
    const std::string a = dir.WriteFile("a.txt", "a"), b = dir.WriteFile("b.txt", "b"), c = dir.WriteFile("c.txt", "c");
    ASSERT_TRUE(platform::SetLastWriteTime(b, platform::FileTimeFromUnix(1'200'000'000, 0)));
    ui().edChangeDateFile1->setText(QString::fromStdString(a));
    ui().edChangeDateFile2->setText(QString::fromStdString(b));
    ui().bChangeMDate->click();
    EXPECT_EQ(messages->questions.back(),
              "Are you sure you want to change the date of file " + a + "\r\n from file " + b);
    ui().edFilesList->setPlainText(QString::fromStdString(c + "\n" + dir.Path("missing")));
    ui().bChangeMDateList->click();
    for (const std::string& file : {a, c}) {
        platform::FileTime time = 0;
        ASSERT_TRUE(platform::GetFileTimes(file, nullptr, &time));
        EXPECT_EQ(time, platform::FileTimeFromUnix(1'200'000'000, 0));
    }
    EXPECT_FALSE(platform::PathExists(dir.Path("missing")));
}

TEST_F(FileOperationPanelTest, CreateFoldersAndItsElevatedRun) {
    // The elevated run's side, run directly.
    const std::string list = dir.Path("CreateFolders.ini");
    ASSERT_TRUE(SaveTextFile({dir.Path("x/y"), dir.Path("z")}, list));
    EXPECT_EQ(RunCreateFoldersMode("\"" + list + "\""), 0);
    EXPECT_TRUE(platform::DirectoryExists(dir.Path("x/y")) && platform::DirectoryExists(dir.Path("z")));
    EXPECT_FALSE(platform::PathExists(list));

    // A folder that cannot exist (under a file) with no elevation at hand
    // fails at once and leaves no list behind.
    const std::string blocked = dir.WriteFile("file", "") + "/sub";
    const char* path = std::getenv("PATH");
    const std::string saved = path ? path : "";
    setenv("PATH", dir.MakeFolder("empty_bin").c_str(), 1);
    EXPECT_FALSE(CreateFolders({blocked}));
    setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(DataFolder()) || !std::filesystem::exists(DataFolder()) || [&] {
        for (auto& entry : std::filesystem::directory_iterator(DataFolder()))
            if (entry.path().filename().string().rfind("CreateFolders", 0) == 0) return false;
        return true;
    }());

    // A copy into such a folder ends without copying.
    window->FileOperation(TFileAction::Copy, dir.WriteFile("a.txt", "a") + "\n" + dir.WriteFile("b.txt", "b"));
    ui().edDestinationDirectory->setText(QString::fromStdString(blocked));
    setenv("PATH", dir.Path("empty_bin").c_str(), 1);
    ui().bCopyFiles->click();
    setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(panel->Running());
    EXPECT_NE(LogText().find("Directory " + blocked + "/ not found"), std::string::npos);
}

}  // namespace
}  // namespace tandrel
