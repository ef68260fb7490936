#include "gui/compare/dir_compare_page.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/shell/main_window.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

TEST(CompareStatusRules, ColoursAndTheOtherBoxCoverEveryStatus) {
    struct Case {
        TFileCompareResult status;
        QColor colour;
        const char* box;  // the one box that shows it
    };
    const QColor white(Qt::white), blue(221, 221, 255);
    const std::vector<Case> cases = {
        {FC_EMPTY, white, "other"},
        {FC_IDENTICAL, white, "identical"},
        {FC_LOOSE_COPY, QColor(255, 221, 221), "loose"},
        {FC_SIZE_DIFFERENT, blue, "size"},
        {FC_ACCESS_VIOLATION, QColor(255, 170, 170), "other"},
        {FC_RIGHT_MISSING, QColor(221, 255, 221), "left"},
        {FC_CANCELLED, blue, "other"},
        {FC_DELETED, blue, "other"},
        {FC_FILE_MISSING, blue, "other"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareStatusColor(c.status), c.colour) << int(c.status);
        // Every combination of the five boxes: the row is shown exactly when
        // its own box is on, so no status is hidden by all of them.
        for (int mask = 0; mask < 32; ++mask) {
            TCompareStatusBoxes boxes{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0,
                                      (mask & 16) != 0};
            const std::map<std::string, bool> on = {{"identical", boxes.identical},
                                                    {"left", boxes.leftOnly},
                                                    {"size", boxes.differentSize},
                                                    {"loose", boxes.looseCopy},
                                                    {"other", boxes.other}};
            EXPECT_EQ(StatusShown(c.status, boxes), on.at(c.box)) << int(c.status) << " mask " << mask;
        }
    }
}

TEST(EmptyFolders, ListsInnermostAndDeletesTheWholeEmptyTreeButNotTheRoot) {
    TempDir dir;
    dir.MakeFolder("root/a/b/c");
    dir.MakeFolder("root/a/d");
    dir.WriteFile("root/keep/file.txt", "x");
    dir.MakeFolder("root/keep/e");
    const std::string root = dir.Path("root") + "/";
    EXPECT_EQ(FindEmptyFolders(root), (std::vector<std::string>{root + "a/b/c/", root + "a/d/", root + "keep/e/"}));
    EXPECT_EQ(DeleteEmptyFolders(root, FindEmptyFolders(root)), 5);  // c, d, e; then b; then a
    EXPECT_FALSE(platform::DirectoryExists(root + "a"));
    EXPECT_TRUE(platform::FileExists(root + "keep/file.txt"));
    EXPECT_FALSE(platform::DirectoryExists(root + "keep/e"));

    // A root that is not listed stays even when everything below it went.
    TempDir other;
    other.MakeFolder("r/x");
    const std::string r = other.Path("r") + "/";
    DeleteEmptyFolders(r, {r + "x/"});
    EXPECT_TRUE(platform::DirectoryExists(r));
    EXPECT_FALSE(platform::DirectoryExists(r + "x"));
}

class DirComparePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        messages = std::make_unique<RecordingMessages>();
        ui().edMinSize->setValue(0);
        ui().cbMin->setCurrentText("bytes");
    }
    void TearDown() override {
        platform::test_hooks::DenyAccessBelow("");
        window.reset();
        messages.reset();
    }
    TFormCompareDirectories& page() { return window->CompareDirectoriesView(); }
    TFormCompareDirectoriesUi& ui() { return page().WidgetsForTest(); }

    void Scan(const std::string& left, const std::string& right) {
        ui().edLeftCompareDirectory->setText(QString::fromStdString(left));
        ui().edRightCompareDirectory->setText(QString::fromStdString(right));
        QSignalSpy done(&page(), &TFormCompareDirectories::ScanFinished);
        page().btnScanSourceClick();
        if (done.count() == 0) {
            ASSERT_TRUE(done.wait(20000));
        }
    }
    void Compare() {
        QSignalSpy done(&page(), &TFormCompareDirectories::CompareFinished);
        page().bCompareFoldersClick();
        if (done.count() == 0) {
            ASSERT_TRUE(done.wait(20000));
        }
    }
    // Status text of every listed file by name, read as the list shows it.
    std::map<std::string, std::string> StatusByName() {
        std::map<std::string, std::string> result;
        TListViewEx* lv = ui().lvFilesList;
        const int name = lv->ColumnIndexOfCaption("Filename");
        const int status = lv->ColumnIndexOfCaption("Status");
        for (int row = 0; row < lv->ItemsCount(); ++row)
            result[page().CellText(row, name).toStdString()] = page().CellText(row, status).toStdString();
        return result;
    }

    // left/right pairs: identical, loose copy, other size, left only,
    // unreadable on the right, and an identical pair in a subfolder.
    void MakeFixture() {
        dir.WriteFile("L/same.txt", "hello");
        dir.WriteFile("R/same.txt", "hello");
        dir.WriteFile("L/loose.txt", "abcde");
        dir.WriteFile("R/loose.txt", "abXde");
        dir.WriteFile("L/size.txt", "abc");
        dir.WriteFile("R/size.txt", "abcdef");
        dir.WriteFile("L/leftonly.txt", "zzz");
        dir.WriteFile("L/locked.txt", "qqq");
        dir.WriteFile("R/locked.txt", "qqq");
        dir.WriteFile("L/sub/deep.txt", "deep");
        dir.WriteFile("R/sub/deep.txt", "deep");
        left = dir.Path("L");
        right = dir.Path("R");
        platform::test_hooks::DenyAccessBelow(dir.Path("R/locked.txt"));
    }

    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TempDir dir;
    std::string left, right;
};

TEST_F(DirComparePageTest, EveryStatusAppearsAndTheBoxesFilterIt) {
    MakeFixture();
    Scan(left, right);
    EXPECT_EQ(ui().edLeftCompareDirectory->text().toStdString(), left + "/");
    EXPECT_EQ(page().Entries().size(), 6u);
    EXPECT_EQ(StatusByName().at("same.txt"), "");
    EXPECT_TRUE(ui().bDeleteFromDisk->isHidden());
    Compare();
    EXPECT_FALSE(ui().bDeleteFromDisk->isHidden());
    EXPECT_EQ(StatusByName(), (std::map<std::string, std::string>{{"same.txt", "IDENTICAL"},
                                                                  {"loose.txt", "loose copy"},
                                                                  {"size.txt", "size is different"},
                                                                  {"leftonly.txt", "right-file not found"},
                                                                  {"locked.txt", "access violation"},
                                                                  {"deep.txt", "IDENTICAL"}}));
    // Unreadable rows belong to "Other": they go with it and come back with it.
    ui().cbOther->setChecked(false);
    EXPECT_EQ(StatusByName().count("locked.txt"), 0u);
    ui().cbShowIdentical->setChecked(false);
    EXPECT_EQ(StatusByName().size(), 3u);
    ui().cbOther->setChecked(true);
    ui().cbShowIdentical->setChecked(true);
    EXPECT_EQ(StatusByName().size(), 6u);
    // Words: "-" excludes; path and name are both searched.
    ui().edFilter->setText("-sub");
    EXPECT_EQ(StatusByName().count("deep.txt"), 0u);
    EXPECT_EQ(StatusByName().size(), 5u);
    ui().edFilter->setText("loose");
    EXPECT_EQ(StatusByName().size(), 1u);
    EXPECT_NE(ui().labelTotals->text().indexOf("Total files: 1, Size: 5b, 5 bytes"), -1);
}

TEST_F(DirComparePageTest, CompareTakesOnlyOpenRowsAndTheSelectionAndResetRepeatsFailures) {
    MakeFixture();
    platform::test_hooks::DenyAccessBelow("");
    Scan(left, right);
    TListViewEx* lv = ui().lvFilesList;
    // Two selected rows: only they are compared.
    lv->SetSelectedRows({0, 1});
    Compare();
    int compared = 0;
    for (const auto& entry : page().Entries()) compared += entry->Status() != FC_EMPTY;
    EXPECT_EQ(compared, 2);
    lv->SetSelectedRows({});
    Compare();
    for (const auto& entry : page().Entries()) EXPECT_NE(entry->Status(), FC_EMPTY) << entry->FileName;
    // Reset failed: all but identical go back to not compared (locked.txt is
    // readable in this test, so identical too).
    page().ResetFailed();
    for (const auto& entry : page().Entries()) {
        const bool identical =
            entry->FileName == "same.txt" || entry->FileName == "deep.txt" || entry->FileName == "locked.txt";
        EXPECT_EQ(entry->Status() == FC_EMPTY, !identical) << entry->FileName;
    }
    // Reset selected: only those rows.
    Compare();
    lv->SetSelectedRows({0});
    const TFileEntryCompare* first = page().Rows().at(0);
    page().ResetSelected();
    for (const auto& entry : page().Entries()) EXPECT_EQ(entry->Status() == FC_EMPTY, entry.get() == first);
}

TEST_F(DirComparePageTest, DeleteIdenticalKeepsFilesWhoseRightCopyWentOrChanged) {
    dir.WriteFile("L/a/keep1.txt", "same");
    dir.WriteFile("R/a/keep1.txt", "same");
    dir.WriteFile("L/b/gone.txt", "same");
    dir.WriteFile("R/b/gone.txt", "same");
    dir.WriteFile("L/c/changed.txt", "same");
    dir.WriteFile("R/c/changed.txt", "same");
    dir.WriteFile("L/d/differs.txt", "one");
    dir.WriteFile("R/d/differs.txt", "two");
    Scan(dir.Path("L"), dir.Path("R"));
    Compare();
    // After the comparison the right side moves on.
    platform::DeleteFile(dir.Path("R/b/gone.txt"));
    dir.WriteFile("R/c/changed.txt", "SAME");

    messages->answer = MessageAnswer::Cancel;
    page().bDeleteFromDiskClick();
    EXPECT_TRUE(platform::FileExists(dir.Path("L/a/keep1.txt")));  // Cancel deletes nothing

    messages->answer = MessageAnswer::Ok;
    const int refills = page().RefillCount();
    page().bDeleteFromDiskClick();
    EXPECT_EQ(page().RefillCount(), refills);  // one repaint, no refill per file
    EXPECT_FALSE(platform::FileExists(dir.Path("L/a/keep1.txt")));
    EXPECT_TRUE(platform::FileExists(dir.Path("L/b/gone.txt")));
    EXPECT_TRUE(platform::FileExists(dir.Path("L/c/changed.txt")));
    EXPECT_TRUE(platform::FileExists(dir.Path("L/d/differs.txt")));
    EXPECT_TRUE(platform::FileExists(dir.Path("R/a/keep1.txt")));
    const auto statuses = StatusByName();
    EXPECT_EQ(statuses.at("keep1.txt"), "<deleted>");
    EXPECT_EQ(statuses.at("gone.txt"), "right-file not found");
    EXPECT_EQ(statuses.at("changed.txt"), "loose copy");

    // The emptied folder is offered; Delete removes it after the question.
    EXPECT_FALSE(ui().cpanelEmptyFolders->isHidden());
    ASSERT_EQ(ui().lbEmptyFolders->count(), 1);
    EXPECT_EQ(ui().lbEmptyFolders->item(0)->text().toStdString(), dir.Path("L/a") + "/");
    page().bDeleteEmptyFoldersClick();
    EXPECT_FALSE(platform::DirectoryExists(dir.Path("L/a")));
    EXPECT_TRUE(ui().cpanelEmptyFolders->isHidden());
}

TEST_F(DirComparePageTest, SameFolderUnderTwoNamesIsRefused) {
    dir.WriteFile("L/x.txt", "x");
    ASSERT_EQ(symlink(dir.Path("L").c_str(), dir.Path("alias").c_str()), 0);
    for (const std::string& other : {dir.Path("L") + "/", dir.Path("alias")}) {
        messages->shown.clear();
        Scan(dir.Path("L"), other);
        ASSERT_EQ(messages->shown.size(), 1u);
        EXPECT_EQ(messages->shown[0], "Directories point to the same location");
        EXPECT_TRUE(page().Entries().empty());
    }
    messages->shown.clear();
    Scan(dir.Path("nowhere"), dir.Path("L"));
    EXPECT_EQ(messages->shown, std::vector<std::string>{"Left directory not found: " + dir.Path("nowhere")});
}

TEST_F(DirComparePageTest, ChangeDatesCopiesTheRightTimeOntoIdenticalLeftFiles) {
    dir.WriteFile("L/same.txt", "x");
    dir.WriteFile("R/same.txt", "x");
    dir.WriteFile("L/other.txt", "1");
    dir.WriteFile("R/other.txt", "2");
    const platform::FileTime old = platform::FileTimeFromUnix(1000000000, 0);
    ASSERT_TRUE(platform::SetLastWriteTime(dir.Path("R/same.txt"), old));
    ASSERT_TRUE(platform::SetLastWriteTime(dir.Path("R/other.txt"), old));
    Scan(dir.Path("L"), dir.Path("R"));
    Compare();
    messages->answer = MessageAnswer::Ok;
    page().btnChangeFileDatesClick();
    platform::FileTime same = 0, other = 0;
    ASSERT_TRUE(platform::GetFileTimes(dir.Path("L/same.txt"), nullptr, &same));
    ASSERT_TRUE(platform::GetFileTimes(dir.Path("L/other.txt"), nullptr, &other));
    EXPECT_EQ(same, old);
    EXPECT_NE(other, old);
    EXPECT_EQ(messages->questions.back(), "You are about to change file dates from " + dir.Path("L") +
                                              "/ to match file dates from " + dir.Path("R") + "/");
}

TEST_F(DirComparePageTest, SwapAndMinimumSize) {
    ui().edLeftCompareDirectory->setText("/a");
    ui().edRightCompareDirectory->setText("/b");
    ui().labelSwapFolders->click();
    EXPECT_EQ(ui().edLeftCompareDirectory->text(), "/b");
    EXPECT_EQ(ui().edRightCompareDirectory->text(), "/a");

    dir.WriteFile("L/small.bin", std::string(4, 's'));
    dir.WriteFile("L/big.bin", std::string(6, 'b'));
    dir.MakeFolder("R");
    ui().edMinSize->setValue(5);
    Scan(dir.Path("L"), dir.Path("R"));
    ASSERT_EQ(page().Entries().size(), 1u);
    EXPECT_EQ(page().Entries()[0]->FileName, "big.bin");
    EXPECT_TRUE(messages->shown.empty());
}

TEST_F(DirComparePageTest, RowsAreReadableThroughAccessibility) {
    MakeFixture();
    Scan(left, right);
    Compare();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ui().lvFilesList);
    ASSERT_NE(list, nullptr);
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 6);
    TListViewEx* lv = ui().lvFilesList;
    const int statusColumn = lv->ColumnIndexOfCaption("Status");
    const int nameColumn = lv->ColumnIndexOfCaption("Filename");
    bool sawIdentical = false;
    for (int row = 0; row < table->rowCount(); ++row) {
        QAccessibleInterface* name = table->cellAt(row, nameColumn);
        QAccessibleInterface* status = table->cellAt(row, statusColumn);
        ASSERT_TRUE(name && status);
        EXPECT_EQ(name->text(QAccessible::Name), page().CellText(row, nameColumn));
        sawIdentical |= name->text(QAccessible::Name) == "same.txt" && status->text(QAccessible::Name) == "IDENTICAL";
    }
    EXPECT_TRUE(sawIdentical);
}

}  // namespace
}  // namespace tandrel
