#include "gui/shell/select_volumes.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/paths.h"
#include "common/text_file.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/shell/main_window.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "platform/mounts.h"
#include "scan/snapshot_file.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Snapshots of known roots, descriptions and creation times, stored under
// names whose order differs from their age.
class SelectVolumesTest : public ::testing::Test {
protected:
    void SetUp() override {
        snapshots = dir.MakeFolder("snapshots");
        Write("b.snapshot", "/data/photos", "2024-03-01 10:00:00.000", "holiday");
        Write("a.snapshot", "/data/music", "2024-05-01 10:00:00.000", "weekly");
        Write("c.snapshot", "/srv/www", "2023-12-01 10:00:00.000", "photos of the site");
        Write("D.snapshot", "/DATA/Photos2", "2024-04-01 10:00:00.000", "");
        dir.WriteFile("snapshots/e.temp_snapshot", "not listed");
        dir.WriteFile("snapshots/notes.txt", "not listed");
    }

    void Write(const std::string& name, const std::string& root, const std::string& created,
               const std::string& description) {
        TDirectoryStats counts;
        counts.DirectoriesCount = 12;
        counts.FilesCount = 1234;
        counts.Size = 5 * 1048576;
        ASSERT_TRUE(SaveExtendedVolume(TStringList{"|files.v2|", "|" + root + "/"}, PathJoin(snapshots, name),
                                       LinesToText(BuildSnapshotHeader(root, created, description, counts))));
    }

    std::unique_ptr<TFormSelectVolumes> Open(const std::string& filter = "", bool custom = true) {
        auto dialog = std::make_unique<TFormSelectVolumes>(model, snapshots);
        if (!filter.empty()) dialog->SetFilterText(filter);
        dialog->FlagCustomVolumeX = custom;
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    std::vector<std::string> Listed(const TFormSelectVolumes& dialog) {
        std::vector<std::string> names;
        for (const std::string& file : dialog.ListedSnapshots()) names.push_back(ExtractFileName(file));
        return names;
    }

    static void ClickRow(TListViewEx* list, int row) {
        const QRect cell = list->visualRect(list->model()->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    TempDir dir;
    std::string snapshots;
    ScanModel model;
    RecordingMessages messages;
};

TEST_F(SelectVolumesTest, SnapshotsMatchingRootOrDescriptionNewestFirst) {
    auto dialog = Open();
    TFormSelectVolumesUi& ui = dialog->WidgetsForTest();
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"/data/photos", {"D.snapshot", "b.snapshot"}},          // root path, ignoring case
        {"PHOTOS", {"D.snapshot", "b.snapshot", "c.snapshot"}},  // a description matches too
        {"weekly", {"a.snapshot"}},
        {"nothing like it", {}},
        {"", {"a.snapshot", "D.snapshot", "b.snapshot", "c.snapshot"}},  // cleared: every snapshot
    };
    for (const auto& [filter, expected] : cases) {
        ui.edVolumeFilter->setText(filter);
        EXPECT_EQ(expected, Listed(*dialog)) << filter;
        EXPECT_EQ(static_cast<int>(expected.size()), ui.lbSnapshots->ItemsCount()) << filter;
    }

    // The row as a screen reader reads it, the zero-width file name column included.
    EXPECT_EQ(0, ui.lbSnapshots->ColumnWidth(0));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ui.lbSnapshots);
    ASSERT_TRUE(list && list->tableInterface());
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_EQ(8, table->columnCount());
    ASSERT_EQ(4, table->rowCount());
    const TDateTime created = EncodeDateTime(2024, 5, 1, 10, 0, 0, 0);
    const QStringList expected = {"a.snapshot", "/data/music/", Q(FormatDateTimeSec(created)), "", ">weekly",
                                  "1,234",      "12",           Q(FormatBytes(5 * 1048576))};
    for (int column = 0; column < 8; ++column) {
        QAccessibleInterface* cell = table->cellAt(0, column);
        ASSERT_TRUE(cell) << column;
        const QString text = cell->text(QAccessible::Name);
        if (column == 3)
            EXPECT_TRUE(text.contains("d ") && !text.contains("expired") && !text.contains("ago"))
                << text.toStdString();
        else
            EXPECT_EQ(expected[column], text) << column;
    }
    EXPECT_EQ("Root path", table->columnDescription(1));
}

TEST_F(SelectVolumesTest, DriveBoxFollowsTheStartTextAndThenDrivesTheFilter) {
    const auto volumes = platform::ListVolumes(false);
    const std::string start = dir.Path("somewhere");
    const int holding = platform::VolumeHolding(volumes, start);
    ASSERT_GE(holding, 0);

    // A caller's start text stays; the drive box shows the drive holding it.
    auto dialog = Open(start, true);
    TFormSelectVolumesUi& ui = dialog->WidgetsForTest();
    EXPECT_EQ(start, dialog->FilterText());
    EXPECT_EQ(holding, ui.JvDriveCombo1->currentIndex());
    EXPECT_TRUE(ui.JvDriveCombo1->currentText().endsWith("(" + Q(volumes[holding].mount.path) + ")"));
    EXPECT_TRUE(dialog->initialized);
    EXPECT_EQ(ui.tsSnapshots, ui.pcSelectVolumes->currentWidget());
    EXPECT_TRUE(ui.edVolumeFilter->hasFocus());

    // From now on choosing a drive puts it into the filter.
    ASSERT_GE(ui.JvDriveCombo1->count(), 1);
    ui.JvDriveCombo1->setCurrentIndex(-1);
    ui.JvDriveCombo1->setCurrentIndex(0);
    EXPECT_EQ(AddTrailingBackslash(volumes[0].mount.path), dialog->FilterText());

    // Before it is shown the drive box leaves the filter alone.
    TFormSelectVolumes hidden(model, snapshots);
    hidden.SetFilterText("kept");
    hidden.WidgetsForTest().cbShowSystemMounts->setChecked(true);  // more than one drive
    ASSERT_GT(hidden.WidgetsForTest().JvDriveCombo1->count(), 1);
    hidden.WidgetsForTest().JvDriveCombo1->setCurrentIndex(hidden.WidgetsForTest().JvDriveCombo1->count() - 1);
    EXPECT_EQ("kept", hidden.FilterText());

    // Without a start text the filter starts as the drive box's drive.
    auto plain = Open("", false);
    EXPECT_EQ("/", plain->FilterText());
    EXPECT_EQ(4u, plain->ListedSnapshots().size());

    // System mounts join the drive box and the drive list only when asked.
    auto comboHas = [&](const char* path) { return ui.JvDriveCombo1->findData(QByteArray(path)) >= 0; };
    EXPECT_FALSE(comboHas("/proc"));
    const int driveRows = ui.JvDriveList1->ItemsCount();
    ui.cbShowSystemMounts->setChecked(true);
    EXPECT_TRUE(comboHas("/proc"));
    EXPECT_GT(ui.JvDriveList1->ItemsCount(), driveRows);
    EXPECT_EQ(AddTrailingBackslash(volumes[0].mount.path), dialog->FilterText()) << "refilling is no choice";
}

TEST_F(SelectVolumesTest, DownAndUpInTheFilterMoveTheSelectionAndDoubleClickConfirms) {
    auto dialog = Open();
    TFormSelectVolumesUi& ui = dialog->WidgetsForTest();
    ASSERT_EQ(4, ui.lbSnapshots->ItemsCount());
    const std::pair<Qt::Key, int> steps[] = {
        {Qt::Key_Down, 0}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0},   {Qt::Key_Up, 0},
        {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Down, 3}, {Qt::Key_Down, 3},
    };
    const std::vector<std::string> names = Listed(*dialog);
    for (const auto& [key, row] : steps) {
        QTest::keyClick(ui.edVolumeFilter, key);
        EXPECT_EQ(row, ui.lbSnapshots->SelectedRow());
        EXPECT_EQ(names[row], dialog->Result());
    }
    EXPECT_TRUE(ui.edVolumeFilter->hasFocus());

    ClickRow(ui.lbSnapshots, 1);
    EXPECT_EQ(names[1], dialog->Result());
    EXPECT_TRUE(dialog->isVisible());
    const QRect cell = ui.lbSnapshots->visualRect(ui.lbSnapshots->model()->index(2, 1));
    // A double click is a press and release followed by the double-click press.
    QTest::mouseClick(ui.lbSnapshots->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(ui.lbSnapshots->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(QDialog::Accepted, dialog->result());
    EXPECT_EQ(names[2], dialog->Result());
}

TEST_F(SelectVolumesTest, OnlySnapshotsOfTheSnapshotsFolderPassWhenForced) {
    const std::string elsewhere = dir.WriteFile("other/x.snapshot", "x");
    dir.MakeFolder("snapshots/sub");
    const struct {
        std::string text;
        bool forced;
        const char* refusal;  // nullptr: accepted
    } cases[] = {
        {dir.path(), true, "Please select a snapshot, not a folder or drive"},
        {"/", true, "Please select a snapshot, not a folder or drive"},
        {"sub", true, "Please select a snapshot, not a folder or drive"},
        {"missing.snapshot", true, "Please select a snapshot"},
        {elsewhere, true, "Please select a snapshot"},
        {"../other/x.snapshot", true, "Please select a snapshot"},
        {"", true, "Please select a snapshot"},
        {"a.snapshot", true, nullptr},
        {PathJoin(snapshots, "a.snapshot"), true, nullptr},
        {dir.path(), false, nullptr},
    };
    for (const auto& c : cases) {
        auto dialog = Open();
        dialog->FlagForceSelectSnapshot = c.forced;
        dialog->WidgetsForTest().DirectoryEdit1->setText(Q(c.text));
        messages.shown.clear();
        // Enter in the result confirms as OK does.
        QTest::keyClick(dialog->WidgetsForTest().DirectoryEdit1, Qt::Key_Return);
        if (c.refusal) {
            EXPECT_EQ(std::vector<std::string>{c.refusal}, messages.shown) << c.text;
            EXPECT_TRUE(dialog->isVisible()) << c.text;
        } else {
            EXPECT_TRUE(messages.shown.empty()) << c.text;
            EXPECT_EQ(QDialog::Accepted, dialog->result()) << c.text;
            EXPECT_EQ(c.text, dialog->Result());
        }
    }

    auto dialog = Open();
    QTest::keyClick(dialog->WidgetsForTest().DirectoryEdit1, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(QDialog::Rejected, dialog->result());
}

// The drive list row of the volume holding a path.
int DriveRowOf(const std::string& path, bool withSystem = false) {
    return platform::VolumeHolding(platform::ListVolumes(withSystem), path);
}

TEST_F(SelectVolumesTest, FolderChosenOnTheDirectoryPageKeepsItsBytes) {
    const std::string odd = dir.MakeFolder("tree/caf\xe9");
    dir.MakeFolder("tree/plain/deeper");
    auto dialog = Open();
    TFormSelectVolumesUi& ui = dialog->WidgetsForTest();
    ui.pcSelectVolumes->setCurrentWidget(ui.tsDirectories);

    const int row = DriveRowOf(dir.path());
    ASSERT_GE(row, 0);
    ClickRow(ui.JvDriveList1, row);
    const std::string root = AddTrailingBackslash(platform::ListVolumes(false)[row].mount.path);
    EXPECT_EQ(root, dialog->Result());
    EXPECT_EQ(ui.JvDirectoryListBox1, ui.panelFolders->currentWidget());
    ASSERT_EQ(1, ui.JvDirectoryListBox1->topLevelItemCount());

    // Open the tree down to the fixture, one listing per opened folder.
    QTreeWidgetItem* item = ui.JvDirectoryListBox1->topLevelItem(0);
    const std::string below = dir.Path("tree").substr(root.size());
    std::string::size_type start = 0;
    while (start < below.size()) {
        const auto end = std::min(below.find('/', start), below.size());
        const QString name = Q(below.substr(start, end - start));
        item->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i)
            if (item->child(i)->text(0) == name) next = item->child(i);
        ASSERT_TRUE(next) << name.toStdString();
        item = next;
        start = end + 1;
    }
    item->setExpanded(true);
    ASSERT_EQ(2, item->childCount());
    ui.JvDirectoryListBox1->setCurrentItem(item->child(0));
    EXPECT_EQ(odd, dialog->Result()) << "a name that is not UTF-8 comes back as its bytes";
    ui.JvDirectoryListBox1->scrollToItem(item->child(1));
    QTest::mouseClick(ui.JvDirectoryListBox1->viewport(), Qt::LeftButton, {},
                      ui.JvDirectoryListBox1->visualItemRect(item->child(1)).center());
    EXPECT_EQ(dir.Path("tree/plain"), dialog->Result());
    QTest::mouseClick(ui.bOK, Qt::LeftButton);
    EXPECT_EQ(QDialog::Accepted, dialog->result());
}

TEST_F(SelectVolumesTest, UnreadableDriveShowsAnEmptyFolderArea) {
    auto dialog = Open();
    TFormSelectVolumesUi& ui = dialog->WidgetsForTest();
    ui.pcSelectVolumes->setCurrentWidget(ui.tsDirectories);
    const auto volumes = platform::ListVolumes(false);
    const int row = DriveRowOf(dir.path());
    ASSERT_GE(row, 0);
    struct Unhook {
        ~Unhook() { platform::test_hooks::DenyAccessBelow(""); }
    } unhook;
    platform::test_hooks::DenyAccessBelow(volumes[row].mount.path);
    ClickRow(ui.JvDriveList1, row);
    EXPECT_EQ(ui.lbNoFolders, ui.panelFolders->currentWidget());
    EXPECT_EQ(0, ui.lbNoFolders->count());
    EXPECT_EQ(AddTrailingBackslash(volumes[row].mount.path), dialog->Result());

    // Readable again: choosing the drive once more shows its folders.
    platform::test_hooks::DenyAccessBelow("");
    ClickRow(ui.JvDriveList1, row);
    EXPECT_EQ(ui.JvDirectoryListBox1, ui.panelFolders->currentWidget());
}

// The window's handler: which caller opens the picker, and where the choice goes.
class SelectVolumesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(AppSettingsFolder());
        dir.WriteFile("tree/a.txt", "hello");
        dir.WriteFile("other/b.txt", "world");
        window = std::make_unique<TFormMain>(model);
        window->TreemapView().SetFolder(dir.Path("tree"));
        window->WidgetsForTest().edSnapshotsDirectory->setText(Q(dir.MakeFolder("snapshots")));
        messages = std::make_unique<RecordingMessages>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override {
        if (window) window->close();
        window.reset();
        messages.reset();
    }

    // Acts on the picker once it runs modally.
    void WhenOpen(std::function<void(TFormSelectVolumes&)> act) {
        QTimer::singleShot(0, [this, act] {
            auto* dialog = qobject_cast<TFormSelectVolumes*>(QApplication::activeModalWidget());
            opened = dialog != nullptr;
            if (dialog) act(*dialog);
        });
    }

    template <typename Condition>
    bool WaitFor(Condition condition) {
        for (int i = 0; i < 1000 && !condition(); ++i) QTest::qWait(10);
        return condition();
    }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
    bool opened = false;
};

TEST_F(SelectVolumesWindowTest, TreemapButtonScansTheChosenFolder) {
    TFormDiskTreeMapUi& map = window->TreemapView().WidgetsForTest();
    EXPECT_EQ("Select volumes", map.bTreeMap_SelectVolumes->toolTip());
    std::string filter;
    bool forced = true, custom = false, directoriesShown = false;
    WhenOpen([&](TFormSelectVolumes& dialog) {
        filter = dialog.FilterText();
        forced = dialog.FlagForceSelectSnapshot;
        custom = dialog.FlagCustomVolumeX;
        directoriesShown = dialog.WidgetsForTest().pcSelectVolumes->isTabVisible(1);
        dialog.WidgetsForTest().DirectoryEdit1->setText(Q(dir.Path("other")));
        QTest::mouseClick(dialog.WidgetsForTest().bOK, Qt::LeftButton);
    });
    QTest::mouseClick(map.bTreeMap_SelectVolumes, Qt::LeftButton);
    ASSERT_TRUE(opened);
    EXPECT_EQ(dir.Path("tree"), filter) << "the treemap's folder is the start text";
    EXPECT_FALSE(forced);
    EXPECT_TRUE(custom);
    EXPECT_TRUE(directoriesShown);
    EXPECT_EQ(dir.Path("other"), window->TreemapView().Folder());
    EXPECT_TRUE(window->ScanRun().Running());
    EXPECT_FALSE(map.bTreeMap_SelectVolumes->isEnabled()) << "no new choice while the scan runs";
    ASSERT_TRUE(WaitFor([&] { return !window->ScanRun().Running(); }));
    EXPECT_EQ(dir.Path("other"), model.ScanPath);
    EXPECT_TRUE(map.bTreeMap_SelectVolumes->isEnabled());

    // Cancel changes nothing; a snapshot's name is no start text.
    window->TreemapView().SetFolder("saved.snapshot");
    WhenOpen([&](TFormSelectVolumes& dialog) {
        filter = dialog.FilterText();
        dialog.WidgetsForTest().DirectoryEdit1->setText("ignored");
        QTest::mouseClick(dialog.WidgetsForTest().bCancel, Qt::LeftButton);
    });
    QTest::mouseClick(map.bTreeMap_SelectVolumes, Qt::LeftButton);
    ASSERT_TRUE(opened);
    EXPECT_EQ("", filter);
    EXPECT_EQ("saved.snapshot", window->TreemapView().Folder());
    EXPECT_FALSE(window->ScanRun().Running());
}

TEST_F(SelectVolumesWindowTest, ComparisonButtonsFillTheirInputsAndOthersAreRefused) {
    ASSERT_TRUE(SaveExtendedVolume(TStringList{"|files.v2|", "|/x/"}, dir.Path("snapshots/s.snapshot"),
                                   LinesToText(BuildSnapshotHeader("/x", "2024-01-01 00:00:00.000", "", {}))));
    QPushButton first("first", window.get()), second("second", window.get()), stranger("x", window.get());
    first.setObjectName("bCompareSnapshotSelect1");
    second.setObjectName("bCompareSnapshotSelect2");

    bool forced = false, directoriesShown = true;
    WhenOpen([&](TFormSelectVolumes& dialog) {
        forced = dialog.FlagForceSelectSnapshot;
        directoriesShown = dialog.WidgetsForTest().pcSelectVolumes->isTabVisible(1);
        EXPECT_EQ(dialog.WidgetsForTest().tsSnapshots, dialog.WidgetsForTest().pcSelectVolumes->currentWidget());
        // A folder is refused, the picker stays open for a snapshot.
        dialog.WidgetsForTest().DirectoryEdit1->setText(Q(dir.Path("other")));
        QTest::mouseClick(dialog.WidgetsForTest().bOK, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        dialog.WidgetsForTest().DirectoryEdit1->setText("s.snapshot");
        QTest::mouseClick(dialog.WidgetsForTest().bOK, Qt::LeftButton);
    });
    window->bTreeMap_GENERIC_SelectVolumesClick(&second);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(forced);
    EXPECT_FALSE(directoriesShown);
    EXPECT_EQ(std::vector<std::string>{"Please select a snapshot, not a folder or drive"}, messages->shown);
    EXPECT_EQ("s.snapshot", window->findChild<QLineEdit*>("edCompareVolumes2")->text());
    EXPECT_EQ("", window->findChild<QLineEdit*>("edCompareVolumes1")->text());

    WhenOpen([&](TFormSelectVolumes& dialog) {
        forced = dialog.FlagForceSelectSnapshot;
        dialog.WidgetsForTest().DirectoryEdit1->setText(Q(dir.Path("other")));
        QTest::mouseClick(dialog.WidgetsForTest().bOK, Qt::LeftButton);
    });
    window->bTreeMap_GENERIC_SelectVolumesClick(&first);
    EXPECT_FALSE(forced);
    EXPECT_EQ(Q(dir.Path("other")), window->findChild<QLineEdit*>("edCompareVolumes1")->text());
    EXPECT_FALSE(window->ScanRun().Running()) << "only the treemap's choice starts a scan";

    messages->shown.clear();
    opened = false;
    window->bTreeMap_GENERIC_SelectVolumesClick(&stranger);
    window->bTreeMap_GENERIC_SelectVolumesClick(nullptr);
    QTest::qWait(0);
    EXPECT_FALSE(opened);
    EXPECT_EQ((std::vector<std::string>{"Unknown sender", "Unknown sender"}), messages->shown);
}

}  // namespace
}  // namespace tandrel
