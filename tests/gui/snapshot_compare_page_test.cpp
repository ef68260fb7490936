#include "gui/compare/snapshot_compare_page.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "compare/snapshot_compare_thread.h"
#include "gui/shell/main_window.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "scan/snapshot_file.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

const TDateTime kT0 = EncodeDateTime(2021, 3, 4, 5, 6, 7, 0);

std::string FileLine(const std::string& name, std::int64_t size, TDateTime modified = kT0) {
    return name + "|" + std::to_string(size) + "|" + FormatDateTimeMs(kT0) + "|" + FormatDateTimeMs(modified) + "|32";
}

// Rows of a list as read through the accessibility layer, cells joined by "|".
std::vector<std::string> AccessibleRows(TListViewEx* lv) {
    std::vector<std::string> rows;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(lv);
    if (!list || !list->tableInterface()) return {"<not accessible>"};
    QAccessibleTableInterface* table = list->tableInterface();
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
            QAccessibleInterface* cell = table->cellAt(r, c);
            cells << (cell ? cell->text(QAccessible::Name) : "?");
        }
        rows.push_back(cells.join("|").toStdString());
    }
    return rows;
}

// Only the first column of each row.
std::vector<std::string> FirstColumn(TListViewEx* lv) {
    std::vector<std::string> rows;
    for (const std::string& row : AccessibleRows(lv)) rows.push_back(row.substr(0, row.find('|')));
    return rows;
}

class SnapshotComparePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        messages = std::make_unique<RecordingMessages>();
        messages->answer = MessageAnswer::Ok;
    }
    void TearDown() override {
        test_hooks::SetCompareStepHook({});
        window.reset();
        messages.reset();
    }

    TFormCompareSnapshots& page() { return window->CompareSnapshotsView(); }
    TFormCompareSnapshotsUi& ui() { return page().WidgetsForTest(); }

    std::string Snapshot(const std::string& name, TStringList body, TDateTime modified) {
        body.insert(body.begin(), "|files.v2|");
        const std::string file = dir.Path(name);
        EXPECT_TRUE(SaveExtendedVolume(body, file, "|version|\r\n3\r\n"));
        EXPECT_TRUE(platform::SetLastWriteTime(file, LocalDateTimeToFileTime(modified)));
        return file;
    }
    // The tree before and after: a file updated, one renamed, a folder grown,
    // one shrunk, one added and one removed.
    void MakePair() {
        older = Snapshot("older.snapshot",
                         {"|/v/", FileLine("a.txt", 5), FileLine("keep.txt", 10), "|/v/grow/", FileLine("g", 100),
                          "|/v/old/", FileLine("o", 7), "|/v/shrink/", FileLine("s1", 50), FileLine("s2", 50)},
                         kT0);
        newer = Snapshot("newer.snapshot",
                         {"|/v/", FileLine("a.txt", 8), FileLine("kept.txt", 10), "|/v/grow/", FileLine("g", 100),
                          FileLine("g2", 300), "|/v/new/", FileLine("n", 9), "|/v/shrink/", FileLine("s1", 50)},
                         kT0 + 1);
    }
    void Run(const std::string& right, const std::string& left) {
        ui().dirEdit1->setText(QString::fromStdString(right));
        ui().dirEdit2->setText(QString::fromStdString(left));
        QSignalSpy finished(&page(), &TFormCompareSnapshots::Finished);
        page().bStartClick();
        ASSERT_TRUE(page().Running());
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_FALSE(page().Running());
        EXPECT_TRUE(ui().bStart->isEnabled());
        EXPECT_FALSE(window->OperationInProgress());
    }

    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TempDir dir;
    std::string older, newer;
};

TEST_F(SnapshotComparePageTest, EveryListAndTotalsOfAChangedTree) {
    MakePair();
    Run(newer, older);
    EXPECT_TRUE(messages->shown.empty());
    EXPECT_EQ(AccessibleRows(ui().lvNewFiles),
              (std::vector<std::string>{"/v/grow/g2|300b|2021-03-04 05:06:07", "/v/new/n|9b|2021-03-04 05:06:07"}));
    EXPECT_EQ(FirstColumn(ui().lvDeletedFiles), (std::vector<std::string>{"/v/old/o", "/v/shrink/s2"}));
    EXPECT_EQ(AccessibleRows(ui().lvUpdatedFiles),
              (std::vector<std::string>{"/v/a.txt|5b|2021-03-04 05:06:07|8b|2021-03-04 05:06:07|+3|+60.00%"}));
    EXPECT_EQ(AccessibleRows(ui().lvMovedFiles),
              (std::vector<std::string>{"/v/keep.txt|/v/kept.txt|10b|2021-03-04 05:06:07"}));
    EXPECT_EQ(ui().Label_Totals_New->text().toStdString(), "Total files: 2, total size: 309b");
    EXPECT_EQ(ui().labelTotalsDeleted->text().toStdString(), "Total files: 2, total size: 57b");
    EXPECT_EQ(ui().labelTotalsUpdated->text().toStdString(),
              "Total files: 1, total size (left): 5b, total size (right): 8b, difference: 3b, +60.00%");
    EXPECT_EQ(ui().labelTotalsMoved->text().toStdString(), "Total files: 1, total size: 10b");
    for (QLabel* label :
         {ui().Label_Totals_New, ui().labelTotalsDeleted, ui().labelTotalsUpdated, ui().labelTotalsMoved})
        EXPECT_FALSE(label->isHidden());

    EXPECT_EQ(FirstColumn(ui().lvNewDirectories), std::vector<std::string>{"/v/new"});
    EXPECT_EQ(FirstColumn(ui().lvDeletedDirectories), std::vector<std::string>{"/v/old"});
    // The root and the grown and shrunk folders; exact sizes in the mixed list.
    EXPECT_EQ(FirstColumn(ui().lvUpdatedDirectories), (std::vector<std::string>{"/v", "/v/grow", "/v/shrink"}));
    EXPECT_EQ(
        AccessibleRows(ui().lvDirectories),
        (std::vector<std::string>{"/v|222||477||+255|+114.86%", "/v/grow|100||400||+300|+300.00%", "/v/new|0||9||+9|",
                                  "/v/old|7||0||-7|-100.00%", "/v/shrink|100||50||-50|-50.00%"}));
    EXPECT_TRUE(AccessibleRows(ui().lvMovedDirectories).empty());
    // Both halves of the move in the mixed list, the new name alone in its first column.
    EXPECT_EQ(FirstColumn(ui().lvFiles),
              (std::vector<std::string>{"a.txt", "keep.txt", "kept.txt", "g2", "n", "o", "s2"}));

    EXPECT_EQ(AccessibleRows(ui().lvOverview)[2], "Path:|/v|/v||");
    EXPECT_EQ(AccessibleRows(ui().lvOverview)[5], "Files:|6|6|+0|0.00%");
}

TEST_F(SnapshotComparePageTest, ShowSwitchesAndFilterWordsNarrowEveryList) {
    MakePair();
    Run(newer, older);
    ui().cbShowNew->setChecked(false);
    EXPECT_TRUE(AccessibleRows(ui().lvNewFiles).empty());
    EXPECT_TRUE(AccessibleRows(ui().lvNewDirectories).empty());
    EXPECT_EQ(FirstColumn(ui().lvFiles), (std::vector<std::string>{"a.txt", "keep.txt", "kept.txt", "o", "s2"}));
    EXPECT_EQ(ui().Label_Totals_New->text().toStdString(), "Total files: 0, total size: 0b");
    ui().cbShowNew->setChecked(true);
    ui().cbShowIdentical->setChecked(true);
    EXPECT_EQ(ui().lvFiles->ItemsCount(), 9);

    // Typing restarts the delay; the timer's one firing refilters.
    ui().ed_Filter->setText("-shrink");
    EXPECT_TRUE(ui().TimerFilter->isActive());
    EXPECT_EQ(ui().lvFiles->ItemsCount(), 9);
    page().TimerFilterTimer();
    EXPECT_FALSE(ui().TimerFilter->isActive());
    EXPECT_EQ(FirstColumn(ui().lvFiles),
              (std::vector<std::string>{"a.txt", "keep.txt", "kept.txt", "g", "g2", "n", "o"}));
    EXPECT_TRUE(AccessibleRows(ui().lvDeletedFiles) == std::vector<std::string>{"/v/old/o|7b|2021-03-04 05:06:07"});
}

TEST_F(SnapshotComparePageTest, ColumnClickSortsAndTheFilterKeepsTheOrder) {
    MakePair();
    Run(newer, older);
    ColumnClick(*ui().lvNewFiles, 1);  // Size, largest first
    EXPECT_EQ(FirstColumn(ui().lvNewFiles), (std::vector<std::string>{"/v/grow/g2", "/v/new/n"}));
    ColumnClick(*ui().lvNewFiles, 1);
    EXPECT_EQ(FirstColumn(ui().lvNewFiles), (std::vector<std::string>{"/v/new/n", "/v/grow/g2"}));
    ColumnClick(*ui().lvDirectories, 5);  // difference, largest first
    EXPECT_EQ(FirstColumn(ui().lvDirectories),
              (std::vector<std::string>{"/v/grow", "/v", "/v/new", "/v/old", "/v/shrink"}));
    ui().ed_Filter->setText("v");
    page().TimerFilterTimer();
    EXPECT_EQ(FirstColumn(ui().lvNewFiles), (std::vector<std::string>{"/v/new/n", "/v/grow/g2"}));
}

TEST_F(SnapshotComparePageTest, RefusalsLeaveThePageAsItWas) {
    MakePair();
    struct Case {
        std::string right, left, message;
    } cases[] = {
        {dir.Path("gone.snapshot"), older, "Snapshot not found: " + dir.Path("gone.snapshot")},
        {newer, dir.path(), "Snapshot not found: " + dir.path()},  // a folder is no left snapshot
    };
    for (const Case& k : cases) {
        messages->shown.clear();
        ui().dirEdit1->setText(QString::fromStdString(k.right));
        ui().dirEdit2->setText(QString::fromStdString(k.left));
        page().bStartClick();
        EXPECT_FALSE(page().Running());
        EXPECT_EQ(messages->shown, std::vector<std::string>{k.message});
    }
    // The older snapshot on the right: the swap is offered; Cancel keeps the fields.
    messages->answer = MessageAnswer::Cancel;
    ui().dirEdit1->setText(QString::fromStdString(older));
    ui().dirEdit2->setText("newer.snapshot");
    model.SnapshotsPath = dir.path();  // a bare name is found in the snapshots folder
    page().bStartClick();
    EXPECT_FALSE(page().Running());
    EXPECT_EQ(messages->questions.size(), 1u);
    EXPECT_EQ(ui().dirEdit2->text().toStdString(), "newer.snapshot");
    // OK swaps both fields, writes them back and compares.
    messages->answer = MessageAnswer::Ok;
    Run(older, "newer.snapshot");
    EXPECT_EQ(ui().dirEdit1->text().toStdString(), newer);
    EXPECT_EQ(ui().dirEdit2->text().toStdString(), older);
    EXPECT_EQ(ui().lvNewFiles->ItemsCount(), 2);
    // The persisted edit follows the input.
    EXPECT_EQ(window->findChild<QLineEdit*>("edCompareVolumes1")->text().toStdString(), newer);
}

TEST_F(SnapshotComparePageTest, EmptyLeftSideIsNamedInTheOverview) {
    MakePair();
    const std::string empty = Snapshot("empty.snapshot", {}, kT0 - 1);
    Run(newer, empty);
    ASSERT_EQ(messages->shown.size(), 1u);
    EXPECT_EQ(messages->shown[0].rfind("Could not load snapshot", 0), 0u) << messages->shown[0];
    const std::vector<std::string> overview = AccessibleRows(ui().lvOverview);
    ASSERT_EQ(overview.size(), 6u);
    EXPECT_EQ(overview[2], "Path:|(no folders: empty or damaged snapshot)|/v||");
    EXPECT_EQ(overview[3], "Total size:||477||");
    EXPECT_EQ(ui().lvFiles->ItemsCount(), 0);
    EXPECT_EQ(ui().lvDirectories->ItemsCount(), 0);
}

TEST_F(SnapshotComparePageTest, CancelLeavesEmptyListsAndAUsablePage) {
    MakePair();
    test_hooks::SetCompareStepHook([this](std::string_view step) {
        if (step == "Comparing snapshots...") model.CancelOperation = true;
    });
    Run(newer, older);
    EXPECT_TRUE(ui().bCancel->isHidden());
    for (TListViewEx* lv : {ui().lvFiles, ui().lvDirectories, ui().lvNewFiles, ui().lvUpdatedDirectories})
        EXPECT_EQ(lv->ItemsCount(), 0);
    EXPECT_EQ(ui().lvOverview->ItemsCount(), 0);
    test_hooks::SetCompareStepHook({});
    Run(newer, older);
    EXPECT_EQ(ui().lvFiles->ItemsCount(), 7);
}

TEST_F(SnapshotComparePageTest, RowSelectionGivesTheCurrentItemOfTheShownList) {
    MakePair();
    Run(newer, older);
    ui().pcPages->setCurrentIndex(1);  // Files
    ui().lvNewFiles->OnSelectItem(1, true);
    EXPECT_EQ(page().CurrentItem(), "/v/new/n");
    ui().lvNewDirectories->OnSelectItem(0, true);
    EXPECT_EQ(page().CurrentItem(), "/v/new/n");
    ui().pcPages->setCurrentIndex(2);  // Folders
    EXPECT_EQ(page().CurrentItem(), "/v/new");
}

}  // namespace
}  // namespace tandrel
