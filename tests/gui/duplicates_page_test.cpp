#include "gui/tools/duplicates_page.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/stop_token.h"
#include "common/format_numbers.h"
#include "gui/shell/main_window.h"
#include "gui/shell/shell_services.h"
#include "gui/widgets/list_view_ex.h"
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

std::string Bytes(char c, std::size_t n) { return std::string(n, c); }

TEST(FakeDuplicates, TheSameFileReachedTwiceIsNamed) {
    TempDir dir;
    const std::string a = dir.WriteFile("A/a.bin", Bytes('a', 2000));
    const std::string b = dir.WriteFile("B/a.bin", Bytes('a', 2000));
    ASSERT_EQ(link(a.c_str(), dir.Path("B/hard.bin").c_str()), 0);
    ASSERT_EQ(symlink(a.c_str(), dir.Path("B/soft.bin").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("A").c_str(), dir.Path("alias").c_str()), 0);
    auto twice = [](const std::string& p) {
        return "File " + p + " was referred twice. Possible fake duplicate. Cannot continue.";
    };
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"two files", {a, b}, ""},
        {"one path twice, other case", {b, a, dir.Path("B/A.BIN")}, twice(dir.Path("B/A.BIN"))},
        {"hard link", {a, b, dir.Path("B/hard.bin")}, twice(dir.Path("B/hard.bin"))},
        {"symbolic link", {dir.Path("B/soft.bin"), b, a}, twice(a)},
        {"folder reached through a link", {a, dir.Path("alias/a.bin")}, twice(dir.Path("alias/a.bin"))},
    };
    for (const Case& c : cases) EXPECT_EQ(FakeDuplicateError(c.paths), c.error) << c.what;
}

class DuplicatesPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        if (auto* init = window->findChild<QTimer*>("TimerInit")) init->stop();  // no scan of "/" beside ours
        messages = std::make_unique<RecordingMessages>();
        ui().edMinSize->setValue(0);
        ui().cbMin->setCurrentText("bytes");
        SetShellOpenHook([this](const std::string& path) {
            opened.push_back(path);
            return true;
        });
        SetLaunchHook([](const std::vector<std::string>&, const std::string&) { return true; });
    }
    void TearDown() override {
        SetShellOpenHook({});
        SetLaunchHook({});
        window.reset();
        messages.reset();
    }
    TFormDuplicates& page() { return window->DuplicatesView(); }
    TFormDuplicatesUi& ui() { return page().WidgetsForTest(); }

    void Collect(const std::string& spec) {
        ui().edPathList->setText(QString::fromStdString(spec));
        QSignalSpy found(&page(), &TFormDuplicates::FindFinished);
        page().bScanDuplicatesClick();
        if (found.count() == 0) {
            ASSERT_TRUE(found.wait(30000));
        }
    }
    // The rows as shown: "--GROUP--" for a separator, else the full path.
    std::vector<std::string> Shown() {
        std::vector<std::string> rows;
        TListViewEx* lv = ui().lvDuplicates;
        const int name = lv->ColumnIndexOfCaption("Filename");
        const int path = lv->ColumnIndexOfCaption("Path");
        for (int row = 0; row < lv->ItemsCount(); ++row) {
            const bool separator = page().Rows().at(static_cast<std::size_t>(row)) == kGroupSeparatorRow;
            EXPECT_EQ(page().CellText(row, name) == "--GROUP--", separator);
            rows.push_back(separator
                               ? std::string()
                               : page().CellText(row, path).toStdString() + page().CellText(row, name).toStdString());
        }
        return rows;
    }
    int RowOf(const std::string& full) {
        const std::vector<std::string> rows = Shown();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i] == full) return static_cast<int>(i);
        return -1;
    }
    void Select(const std::vector<std::string>& paths) {
        std::vector<int> rows;
        for (const std::string& p : paths) rows.push_back(RowOf(p));
        std::sort(rows.begin(), rows.end());
        ASSERT_GE(rows.front(), 0);
        ui().lvDuplicates->SetSelectedRows(rows, rows.front());
        ui().lvDuplicates->OnSelectItem(rows.front(), true);
    }
    // What the log of deleted files gained in this test.
    std::string LogText() { return ReadBytes(DeletedFilesLogFile()).substr(logStart); }

    // Three copies of x, two of y, and a z of x's size that differs in its last byte.
    void MakeFixture() {
        x = {dir.WriteFile("A/x.bin", Bytes('x', 2000)), dir.WriteFile("B/x.bin", Bytes('x', 2000)),
             dir.WriteFile("C/x.bin", Bytes('x', 2000))};
        y = {dir.WriteFile("A/y.bin", Bytes('y', 3000)), dir.WriteFile("B/y.bin", Bytes('y', 3000))};
        dir.WriteFile("C/z.bin", Bytes('x', 1999) + "z");
        dir.WriteFile("C/small.bin", "tiny");
        spec = dir.Path("A") + ";" + dir.Path("B") + ";" + dir.Path("C");
    }
    std::size_t logStart = ReadBytes(DeletedFilesLogFile()).size();

    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    TempDir dir;
    std::vector<std::string> x, y, opened;
    std::string spec;
};

TEST_F(DuplicatesPageTest, CollectListsTheGroupsSavesTheSearchAndReadsThroughAccessibility) {
    MakeFixture();
    Collect(spec);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"", y[0], y[1], "", x[0], x[1], x[2]}));
    EXPECT_EQ(ui().StaticText2x->text(), "Files in list: 6");  // 1024-byte floor: small.bin is not listed
    EXPECT_EQ(ui().bScanDuplicates->text(), "New scan");
    EXPECT_FALSE(ui().bFindDuplicates->isHidden());
    EXPECT_FALSE(ui().cbLoadFromPVCache->isHidden());
    EXPECT_EQ(ui().StaticText3x->text().toStdString(), DuplicatesSummaryText(5, 2 * 3000 + 3 * 2000, 2, 3000 + 2000));
    EXPECT_NE(std::find(messages->notifications.begin(), messages->notifications.end(), "Thorough comparison started"),
              messages->notifications.end());
    EXPECT_TRUE(platform::FileExists(DuplicatesResultsFile(spec)));
    EXPECT_NE(ui().cbSessions->findText(QString::fromStdString(spec)), -1);
    EXPECT_EQ(ui().lblProcessedFromCache->text(), "0");
    EXPECT_EQ(ui().lblProcessedFromCache->accessibleName(), "Cache: 0");
    EXPECT_EQ(ui().StaticText3x->accessibleName(), "");  // read by its text

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ui().lvDuplicates);
    ASSERT_NE(list, nullptr);
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 7);
    const int group = ui().lvDuplicates->ColumnIndexOfCaption("Group");
    EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), "--GROUP--");
    EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), "y.bin");
    EXPECT_EQ(table->cellAt(1, group)->text(QAccessible::Name), "1001");
    EXPECT_EQ(table->cellAt(4, group)->text(QAccessible::Name), "1002");

    // Selecting a file shows its existing copies and puts its folder in the
    // secondary field; a bottom row's folder becomes the master.
    Select({x[1]});
    EXPECT_EQ(ui().labelDuplicatesOf->text(), "Duplicates of: x.bin");
    EXPECT_EQ(ui().lvDuplicatesBottom->ItemsCount(), 3);
    EXPECT_EQ(ui().edDuplicate_Filter_Secondary->text().toStdString(), dir.Path("B") + "/");
    ui().lvDuplicatesBottom->SetSelectedRows({2});
    ui().lvDuplicatesBottom->OnSelectItem(2, true);
    EXPECT_EQ(ui().edDuplicate_Filter_Master->text().toStdString(), dir.Path("C") + "/");

    // A second search of the same files is answered from the cache; the saved
    // search reopens the same rows.
    QSignalSpy found(&page(), &TFormDuplicates::FindFinished);
    page().bFindDuplicatesClick();
    ASSERT_TRUE(found.wait(30000));
    EXPECT_EQ(ui().lblProcessedFromDisk->text(), "0");
    const std::vector<std::string> before = Shown();
    page().Finder().Clear();
    page().bLoadSessionClick();
    EXPECT_EQ(Shown(), before);
}

TEST_F(DuplicatesPageTest, DeletingOneCopyTrashesAndLogsItAndNeverTheLastOrAChangedOne) {
    MakeFixture();
    Collect(spec);

    // Cancel deletes nothing.
    Select({x[1]});
    page().DeleteFileClick();
    EXPECT_TRUE(platform::FileExists(x[1]));
    ASSERT_FALSE(messages->questions.empty());
    EXPECT_EQ(messages->questions.back(), "Are you sure you want to delete duplicate file: \r\r" + x[1] + "?");

    messages->answer = MessageAnswer::Ok;
    page().DeleteFileClick();
    EXPECT_FALSE(platform::FileExists(x[1]));
    EXPECT_TRUE(platform::FileExists(platform::HomeTrashFolder() + "/files/x.bin"));
    EXPECT_NE(LogText().find(": deleting " + x[1]), std::string::npos);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"", y[0], y[1], "", x[0], x[2]}));

    // Keep one: the others go, the kept one stays.
    Select({x[2]});
    page().KeepFileDeleteOthersClick();
    EXPECT_FALSE(platform::FileExists(x[0]));
    EXPECT_TRUE(platform::FileExists(x[2]));
    EXPECT_NE(LogText().find(": deleting " + x[0]), std::string::npos);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"", y[0], y[1]}));

    // A group whose other copy is gone by other means: nothing is deleted.
    platform::DeleteFile(y[1]);
    messages->shown.clear();
    Select({y[0]});
    page().KeepFileDeleteOthersClick();
    page().DeleteFileClick();
    EXPECT_EQ(messages->shown,
              std::vector<std::string>(2, "There must be at least 2 files left on the disk, to perform this action"));
    EXPECT_TRUE(platform::FileExists(y[0]));
}

TEST_F(DuplicatesPageTest, ACopyThatChangedSinceTheSearchKeepsTheOtherOne) {
    MakeFixture();
    Collect(spec);
    messages->answer = MessageAnswer::Ok;
    dir.WriteFile("B/y.bin", Bytes('Y', 3000));  // same size, other bytes
    Select({y[0]});
    page().DeleteFileClick();
    EXPECT_TRUE(platform::FileExists(y[0]));
    EXPECT_EQ(messages->shown.back(), "File " + y[0] + " will not be deleted. Not enough mirror Items left");
    EXPECT_EQ(LogText().find(y[0]), std::string::npos);
}

TEST_F(DuplicatesPageTest, TheSameFileReachedTwiceIsNeverDeleted) {
    dir.WriteFile("A/x.bin", Bytes('x', 2000));
    ASSERT_EQ(symlink(dir.Path("A").c_str(), dir.Path("alias").c_str()), 0);
    dir.WriteFile("B/h1.bin", Bytes('h', 4000));
    ASSERT_EQ(link(dir.Path("B/h1.bin").c_str(), dir.Path("B/h2.bin").c_str()), 0);
    Collect(dir.Path("A") + ";" + dir.Path("alias") + ";" + dir.Path("B"));
    messages->answer = MessageAnswer::Ok;
    for (const std::string& victim : {dir.Path("alias/x.bin"), dir.Path("B/h2.bin")}) {
        if (RowOf(victim) < 0) continue;  // a root through a link may not be listed twice at all
        messages->shown.clear();
        Select({victim});
        page().DeleteFileClick();
        ASSERT_EQ(messages->shown.size(), 1u) << victim;
        EXPECT_NE(messages->shown[0].find("Possible fake duplicate. Cannot continue."), std::string::npos);
        Select({victim});
        page().KeepFileDeleteOthersClick();
    }
    EXPECT_TRUE(platform::FileExists(dir.Path("A/x.bin")));
    EXPECT_TRUE(platform::FileExists(dir.Path("B/h1.bin")));
    EXPECT_TRUE(platform::FileExists(dir.Path("B/h2.bin")));
    EXPECT_EQ(LogText(), "");
    EXPECT_GE(RowOf(dir.Path("B/h2.bin")), 0);  // the hard links are listed, and still there
}

TEST_F(DuplicatesPageTest, NameRulesWordsAndCleanup) {
    const std::string p2010 = dir.WriteFile("Photos/2010/a.jpg", Bytes('1', 2000));
    const std::string b2010 = dir.WriteFile("Backup/2010/b.jpg", Bytes('1', 2000));
    const std::string p2011 = dir.WriteFile("Photos/2011/a.jpg", Bytes('2', 2500));
    const std::string p2012 = dir.WriteFile("Photos/2012/c.jpg", Bytes('2', 2500));
    const std::string c1 = dir.WriteFile("Three/1/t.bin", Bytes('3', 3000));
    const std::string c2 = dir.WriteFile("Three/2/t.bin", Bytes('3', 3000));
    const std::string c3 = dir.WriteFile("Three/3/t.bin", Bytes('3', 3000));
    Collect(dir.Path("Photos") + ";" + dir.Path("Backup") + ";" + dir.Path("Three"));
    ASSERT_EQ(Shown().size(), 10u);
    struct Case {
        const char* filter;
        bool name, parent;
        std::set<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"", false, true, {"", p2010, b2010}},  // 2010 and 2010 kept; 2011 and 2012, 1, 2 and 3 dropped
        {"", true, false, {"", c1, c2, c3}},
        {"2010", false, false, {"", p2010, b2010}},
        {"Backup", false, false, {}},  // one member matches: the group goes
        {"-Three/2", false, false, {"", p2010, b2010, p2011, p2012, c1, c3}},
    };
    for (const Case& c : cases) {
        ui().edFilter->setText(c.filter);
        ui().cbMatchFilename->setChecked(c.name);
        ui().cbMatchParentFolderName->setChecked(c.parent);
        page().RunGroupFilter();
        const std::vector<std::string> shown = Shown();
        EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()), c.shown) << c.filter << c.name << c.parent;
    }
    ui().edFilter->clear();
    ui().cbMatchFilename->setChecked(false);
    ui().cbMatchParentFolderName->setChecked(false);
    page().RunGroupFilter();

    // Deleted by another program: the row stays until the cleanup.
    platform::DeleteFile(c2);
    page().RunGroupFilter();
    EXPECT_GE(RowOf(c2), 0);
    messages->shown.clear();
    page().bCleanupDeletedClick();
    EXPECT_EQ(messages->shown, std::vector<std::string>{"1 items have been cleaned up"});
    EXPECT_LT(RowOf(c2), 0);
    EXPECT_GE(RowOf(c3), 0);
}

TEST_F(DuplicatesPageTest, FolderRulesRefuseOverlapsAndDeleteOnlyCopiesKeptElsewhere) {
    const std::string keep1 = dir.WriteFile("Master/a.bin", Bytes('a', 2000));
    const std::string drop1 = dir.WriteFile("Backup/a.bin", Bytes('a', 2000));
    const std::string drop2 = dir.WriteFile("Backup/sub/b.bin", Bytes('b', 2100));
    const std::string keep2 = dir.WriteFile("Master/b.bin", Bytes('b', 2100));
    // Copies only inside Backup: not listed, since no copy is under Master.
    const std::string only1 = dir.WriteFile("Backup/c1.bin", Bytes('c', 2200));
    const std::string only2 = dir.WriteFile("Backup/c2.bin", Bytes('c', 2200));
    Collect(dir.Path("Master") + ";" + dir.Path("Backup"));

    struct Refusal {
        std::string secondary, master;
        bool subfolders;
        std::string message;
    };
    const std::vector<Refusal> refusals = {
        {dir.Path("Backup"), dir.Path("Backup/Photos"), true, "Master path is a subset of secondary path"},
        {dir.Path("Backup/Photos"), dir.Path("Backup"), true, "Secondary path is a subset of master path"},
        {dir.Path("Backup"), dir.Path("BACKUP"), false, "Master path is the same as the secondary path"},
    };
    for (const Refusal& r : refusals) {
        messages->shown.clear();
        ui().edDuplicate_Filter_Secondary->setText(QString::fromStdString(r.secondary));
        ui().edDuplicate_Filter_Master->setText(QString::fromStdString(r.master));
        ui().CheckBox1x->setChecked(r.subfolders);
        page().bFilterClick();
        EXPECT_EQ(messages->shown, std::vector<std::string>{r.message})
            << ui().edDuplicate_Filter_Secondary->text().toStdString() << " | "
            << ui().edDuplicate_Filter_Master->text().toStdString();
    }

    ui().edDuplicate_Filter_Secondary->setText(QString::fromStdString(dir.Path("Backup")));
    ui().edDuplicate_Filter_Master->setText(QString::fromStdString(dir.Path("Master")));
    ui().CheckBox1x->setChecked(true);
    page().bFilterClick();
    std::set<std::string> listed;
    for (int position : page().FolderPageEntries()) listed.insert(page().Finder().Entry(position).FullFileName());
    EXPECT_EQ(listed, (std::set<std::string>{drop1, drop2}));
    EXPECT_FALSE(ui().cpanelDeleteDuplicates->isHidden());

    messages->answer = MessageAnswer::Ok;
    page().bDeleteFilesClick();
    EXPECT_FALSE(platform::FileExists(drop1));
    EXPECT_FALSE(platform::FileExists(drop2));
    for (const std::string& kept : {keep1, keep2, only1, only2}) EXPECT_TRUE(platform::FileExists(kept)) << kept;
    EXPECT_NE(LogText().find(": deleting " + drop2), std::string::npos);
    EXPECT_TRUE(ui().cpanelDeleteDuplicates->isHidden());

    // Every copy of a group on the folder page: the last one is refused.
    Select({only1});
    page().DeleteAllFromPathClick();
    messages->shown.clear();
    page().bDeleteFilesClick();
    EXPECT_EQ(platform::FileExists(only1) + platform::FileExists(only2), 1);
    EXPECT_EQ(messages->shown.size(), 1u);
    EXPECT_NE(messages->shown[0].find("will not be deleted. Not enough mirror Items left"), std::string::npos);
}

TEST_F(DuplicatesPageTest, RefusalsOfTheRowCommandsAndTheExport) {
    MakeFixture();
    Collect(spec);
    ui().lvDuplicates->SetSelectedRows({});
    page().DeleteFileClick();
    Select({x[0], x[1]});
    page().DeleteAllFromPathClick();
    Select({x[0]});
    page().CompareFilesWithTandrel();
    EXPECT_EQ(messages->shown, (std::vector<std::string>{"Please select a single file", "Please select a single file",
                                                         "Please select two files"}));
    page().bExportClick();
    EXPECT_EQ(opened, std::vector<std::string>{page().LastExport()});
    const std::string csv = ReadBytes(page().LastExport());
    EXPECT_NE(csv.find("group id,filename,size,date\r\n---\r\n1001," + y[0] + ",3000,"), std::string::npos);
}

// ---- the folder-pair statistics page ----

TEST_F(DuplicatesPageTest, FolderPairStatisticsNeedTheDebugSwitch) {
    EXPECT_TRUE(ui().btnViewByPath->isHidden());
    SetCommandLineArgs({"debug"});
    window.reset();
    window = std::make_unique<TFormMain>(model, StartRequest{});
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    if (auto* init = window->findChild<QTimer*>("TimerInit")) init->stop();
    SetCommandLineArgs({});
    EXPECT_FALSE(ui().btnViewByPath->isHidden());
    EXPECT_EQ(ui().btnViewByPath->text(), "[by path]");
    ui().btnViewByPath->click();
    EXPECT_EQ(ui().pagesMain->currentWidget(), ui().tsViewByPath);
    // Every control of the page can be read by its name, a label by its text.
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui().ListViewEx1, ui().btnProcess, ui().SpinEdit1, ui().btnOpenFolder1,
                                         ui().btnOpenFolder2, ui().btnTandrel, ui().btnBackFromPaths})
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    for (QLabel* label : {ui().lblPairFolder1, ui().lblPairFolder2, ui().lblPairIdentical}) {
        EXPECT_TRUE(label->accessibleName().isEmpty()) << label->objectName().toStdString();
        EXPECT_FALSE(label->text().isEmpty()) << label->objectName().toStdString();
    }
    EXPECT_EQ(ui().SpinEdit1->minimum(), 0);
    EXPECT_EQ(ui().SpinEdit1->maximum(), 100);
    ui().btnBackFromPaths->click();
    EXPECT_EQ(ui().pagesMain->currentWidget(), ui().tsMain);
}

TEST_F(DuplicatesPageTest, ProcessListsFolderPairsOverTheThresholdAndSortsByColumn) {
    // P shares a and b with Q, and c with R; Q's tiny file is below the
    // smallest collected size and is not counted.
    const std::string p = dir.Path("P") + "/", q = dir.Path("Q") + "/", r = dir.Path("R") + "/";
    dir.WriteFile("P/a.bin", Bytes('a', 2000));
    dir.WriteFile("P/b.bin", Bytes('b', 3000));
    dir.WriteFile("P/c.bin", Bytes('c', 5000));
    dir.WriteFile("Q/a.bin", Bytes('a', 2000));
    dir.WriteFile("Q/b.bin", Bytes('b', 3000));
    dir.WriteFile("Q/tiny.txt", "tiny");
    dir.WriteFile("R/c.bin", Bytes('c', 5000));
    dir.WriteFile("R/r1.bin", Bytes('r', 6000));
    dir.WriteFile("R/r2.bin", Bytes('s', 7000));
    dir.WriteFile("R/r3.bin", Bytes('t', 8000));
    Collect(dir.Path("P") + ";" + dir.Path("Q") + ";" + dir.Path("R"));
    ASSERT_EQ(page().Rows().size(), 9u);  // three groups of two

    TListViewEx* lv = ui().ListViewEx1;
    auto read = [&] {
        std::vector<std::vector<std::string>> rows;
        for (int row = 0; row < lv->ItemsCount(); ++row) {
            std::vector<std::string> cells;
            for (int column = 0; column < lv->ColumnCount(); ++column)
                cells.push_back(page().PairCellText(row, column).toStdString());
            rows.push_back(cells);
        }
        return rows;
    };
    const std::vector<std::string> pq = {
        p, q, FormatBytes(10000), "3", FormatBytes(5000), "2", FormatBytes(5000), "2", "50", "100", "67", "100"};
    const std::vector<std::string> pr = {
        p, r, FormatBytes(10000), "3", FormatBytes(26000), "4", FormatBytes(5000), "1", "50", "19", "33", "25"};
    const QStringList headers = {"Path1",   "Path2",   "Size1", "Files1", "Size2", "Files2",
                                 "Ident S", "Ident F", "s1",    "s2",     "f1",    "f2"};
    for (int column = 0; column < lv->ColumnCount(); ++column) EXPECT_EQ(lv->ColumnCaption(column), headers[column]);

    struct Case {
        int threshold;
        std::vector<std::vector<std::string>> rows;
    };
    // Listed in the order of the groups, largest files first.
    for (const Case& c : {Case{60, {pq}}, Case{100, {pq}}, Case{50, {pr, pq}}, Case{0, {pr, pq}}}) {
        ui().SpinEdit1->setValue(c.threshold);
        ui().btnProcess->click();
        EXPECT_EQ(read(), c.rows) << "threshold " << c.threshold;
    }

    // Numbers sort descending, paths ascending; a second click keeps the order.
    auto click = [&](const char* caption) {
        lv->horizontalHeader()->sectionClicked(lv->ColumnIndexOfCaption(caption));
    };
    click("Files2");
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pr, pq}));
    click("Files2");
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pr, pq}));
    click("Ident F");
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pq, pr}));
    click("Path2");
    click("Path2");
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pq, pr}));
    // A new "Process" keeps the chosen order.
    click("s2");
    ui().btnProcess->click();
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pq, pr}));
    click("f2");
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pq, pr}));
    click("Size2");
    EXPECT_EQ(read(), (std::vector<std::vector<std::string>>{pr, pq}));

    // The selected pair: its figures, its folders and the directory comparison.
    lv->SetSelectedRows({1});
    lv->OnSelectItem(1, true);
    EXPECT_EQ(ui().lblPairIdentical->text().toStdString(), "Identical: 2 files, " + FormatBytes(5000));
    EXPECT_NE(ui().lblPairFolder2->text().toStdString().find(q), std::string::npos);
    std::vector<std::vector<std::string>> launched;
    SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        launched.push_back(argv);
        return true;
    });
    ui().btnOpenFolder2->click();
    ui().btnOpenFolder1->click();
    EXPECT_EQ(opened, (std::vector<std::string>{q, p}));
    ui().btnTandrel->click();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(std::vector<std::string>(launched[0].begin() + 1, launched[0].end()), (std::vector<std::string>{p, q}));
    EXPECT_TRUE(messages->shown.empty());
}

// ---- rows while the search runs ----

std::atomic<TStopToken*> pauseOnX{nullptr};

// A plain FNV-1a; pauses the search once it reads the files of x.
std::uint64_t PausingHash(const void* data, std::size_t size, std::uint64_t seed) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (size > 0 && bytes[0] == 'x')
        if (TStopToken* token = pauseOnX.exchange(nullptr)) token->PauseOperation = true;
    std::uint64_t h = 1469598103934665603ull ^ seed;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

TEST_F(DuplicatesPageTest, GroupsShowWhileTheSearchRuns) {
    MakeFixture();
    struct Hooks {
        Hooks() {
            test_hooks::SetPauseStepMs(5);
            test_hooks::SetDuplicateHash(&PausingHash);
        }
        ~Hooks() {
            pauseOnX = nullptr;
            test_hooks::SetDuplicateHash(nullptr);
            test_hooks::SetPauseStepMs(0);
        }
    } hooks;
    pauseOnX = &model;
    ui().edPathList->setText(QString::fromStdString(spec));
    QSignalSpy found(&page(), &TFormDuplicates::FindFinished);
    page().bScanDuplicatesClick();
    // y's size is searched first; the search stops inside x's.
    // (QTRY_* would only return from the test on failure; GTest must see it.)
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.PausedWorkers() > 0; }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().lvDuplicates->ItemsCount() >= 3; }, 10000));
    EXPECT_TRUE(page().Running());
    EXPECT_EQ(found.count(), 0);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"", y[0], y[1]}));
    EXPECT_EQ(page().CellText(1, ui().lvDuplicates->ColumnIndexOfCaption("Group")), "1001");
    EXPECT_EQ(ui().StaticText3x->text().toStdString(), DuplicatesSummaryText(2, 6000, 1, 3000));
    Select({y[1]});
    EXPECT_EQ(ui().lvDuplicatesBottom->ItemsCount(), 2);

    model.PauseOperation = false;
    ASSERT_TRUE(found.wait(30000));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"", y[0], y[1], "", x[0], x[1], x[2]}));
    EXPECT_EQ(page().CellText(4, ui().lvDuplicates->ColumnIndexOfCaption("Group")), "1002");
    EXPECT_EQ(ui().StaticText3x->text().toStdString(), DuplicatesSummaryText(5, 2 * 3000 + 3 * 2000, 2, 3000 + 2000));
}

}  // namespace
}  // namespace tandrel
