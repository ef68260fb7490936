#include "gui/shell/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "common/app_folders.h"
#include "common/messages.h"
#include "common/paths.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_surface.h"
#include "gui/shell/save_snapshot_panel.h"
#include "gui/shell/settings_panel.h"
#include "gui/shell/shell_services.h"
#include "gui/tools/compare_files_page.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "scan/snapshot_store.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every test starts without the settings another one saved.
        std::filesystem::remove_all(AppSettingsFolder());
        dir.WriteFile("tree/a.txt", "hello");
        dir.WriteFile("tree/sub/b.bin", std::string(5000, 'b'));
    }

    // An ordinary run whose treemap folder is remembered, so nothing is
    // scanned until asked.
    // record: messages go to a recording sink instead of the window's own.
    TFormMain& Open(StartRequest start = {}, bool record = true) {
        window = std::make_unique<TFormMain>(model, start);
        window->TreemapView().SetFolder(dir.Path("tree"));
        if (record) messages = std::make_unique<RecordingMessages>();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    // Runs the event loop until the condition holds (at most 10 s).
    template <typename Condition>
    bool WaitFor(Condition condition) {
        for (int i = 0; i < 1000 && !condition(); ++i) QTest::qWait(10);
        return condition();
    }

    void TearDown() override {
        if (window) window->close();
        window.reset();
        messages.reset();
    }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
};

TEST_F(MainWindowTest, StartsOnTheTreemapWithoutScanningARememberedFolder) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    QTest::qWait(400);  // past the start timer
    EXPECT_TRUE(w.IsPageVisible(ui.tsTreeMap));
    EXPECT_TRUE(ui.panelMainSwitch->isVisible());
    EXPECT_FALSE(w.OperationInProgress());
    EXPECT_TRUE(w.TreemapView().WidgetsForTest().bStartTreemap->isEnabled());
    EXPECT_EQ(AppSettingsFolder(), model.SnapshotsPath) << "an empty snapshots folder falls back";
}

TEST_F(MainWindowTest, EveryPageIsReachableByMenuAndButtons) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    const struct {
        QAction* item;
        QWidget* page;
    } menu[] = {
        {ui.miTreeSize, ui.tsTreeSize},
        {ui.miDirectoryStatistics, ui.tsDirectoryStatistics},
        {ui.miFileStatistics, ui.tsFileStatistics},
        {ui.miOverview, ui.tsVolumeStatistics},
        {ui.miCompareSnapshots, ui.tsCompareSnapshots},
        {ui.miCompareDirectories, ui.tsCompareDirectories},
        {ui.miDuplicateFiles, ui.tsDuplicates},
        {ui.miRenameFiles, ui.tsMultipleRename},
        {ui.miTreeMap, ui.tsTreeMap},
    };
    for (const auto& m : menu) {
        m.item->trigger();
        EXPECT_TRUE(w.IsPageVisible(m.page)) << m.item->objectName().toStdString();
        EXPECT_EQ(ui.panelMainSwitch->isVisible(), w.VisiblePage() == ui.tsDiskX);
    }
    const struct {
        QToolButton* button;
        QWidget* page;
    } buttons[] = {
        {ui.btnTreeSize, ui.tsTreeSize},
        {ui.btnDirectoryStatistics, ui.tsDirectoryStatistics},
        {ui.btnFileStatistics, ui.tsFileStatistics},
        {ui.btnOverview, ui.tsVolumeStatistics},
        {ui.btnTreeMap, ui.tsTreeMap},
    };
    for (const auto& b : buttons) {
        QTest::mouseClick(b.button, Qt::LeftButton);
        EXPECT_TRUE(w.IsPageVisible(b.page)) << b.button->objectName().toStdString();
        EXPECT_TRUE(b.button->isChecked());
    }
    ui.miTreeSize->trigger();
    EXPECT_EQ("1", ui.edLastTreeMapTab->text().toStdString());
    ui.miTreeMap->trigger();
    EXPECT_EQ("0", ui.edLastTreeMapTab->text().toStdString());

    // Each tool page leads back to the treemap.
    ui.miDuplicateFiles->trigger();
    QTest::mouseClick(ui.tsDuplicates->findChild<QPushButton*>("bBackDuplicates"), Qt::LeftButton);
    EXPECT_TRUE(w.IsPageVisible(ui.tsTreeMap));

    // The navigation bar lists the visible pages and shows the one chosen.
    QStringList entries;
    for (int i = 0; i < ui.BrenixNavBar1->topLevelItemCount(); ++i)
        entries << ui.BrenixNavBar1->topLevelItem(i)->text(0);
    EXPECT_EQ((QStringList{"Tandrel", "Disk Tree Map", "Compare Snapshots", "Compare Directories", "Duplicates",
                           "Multi-Rename", "Compare files", "BrenixRCS"}),
              entries);
    ui.BrenixNavBar1->setCurrentItem(ui.BrenixNavBar1->topLevelItem(6));
    EXPECT_TRUE(w.IsPageVisible(ui.tsCompareFiles));

    // The settings panel opens on the page of its menu entry.
    ui.miShellOptions->trigger();
    EXPECT_TRUE(ui.panelSettings->isVisible());
    EXPECT_EQ("Shell options", ui.panelSettings->pages->tabText(ui.panelSettings->pages->currentIndex()).toStdString());
    ui.miFileComparisonSettings->trigger();
    EXPECT_EQ("Duplicate Files",
              ui.panelSettings->pages->tabText(ui.panelSettings->pages->currentIndex()).toStdString());
    QTest::mouseClick(ui.panelSettings->bCloseSettings, Qt::LeftButton);
    EXPECT_FALSE(ui.panelSettings->isVisible());
}

TEST_F(MainWindowTest, ForeignSenderIsRefused) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    ui.miCompareSnapshots->trigger();
    QObject stranger;
    w.miToolsMenuGenericClick(&stranger);
    w.miShellOptionsClick(&stranger);
    EXPECT_EQ((std::vector<std::string>{"Unknown sender", "Unknown sender"}), messages->shown);
    EXPECT_TRUE(w.IsPageVisible(ui.tsCompareSnapshots));
    EXPECT_FALSE(ui.panelSettings->isVisible());
}

// The accessibility layer's only action on a checkable button is "Toggle",
// which toggles without a click; the keyboard and setChecked neither click.
TEST_F(MainWindowTest, StripButtonsSwitchThePageHoweverTheyAreChecked) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    const auto accessibleToggle = [](QToolButton* button) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_TRUE(accessible && accessible->actionInterface());
        const QStringList actions = accessible->actionInterface()->actionNames();
        ASSERT_TRUE(actions.contains(QAccessibleActionInterface::toggleAction()));
        ASSERT_FALSE(actions.contains(QAccessibleActionInterface::pressAction()));
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    const auto toggle = [](QToolButton* button) { button->toggle(); };
    const auto check = [](QToolButton* button) { button->setChecked(true); };
    const auto space = [](QToolButton* button) { QTest::keyClick(button, Qt::Key_Space); };
    const struct {
        QToolButton* button;
        QWidget* page;
        std::function<void(QToolButton*)> press;
    } cases[] = {
        {ui.btnTreeSize, ui.tsTreeSize, accessibleToggle},
        {ui.btnDirectoryStatistics, ui.tsDirectoryStatistics, toggle},
        {ui.btnFileStatistics, ui.tsFileStatistics, check},
        {ui.btnOverview, ui.tsVolumeStatistics, space},
        {ui.btnTreeMap, ui.tsTreeMap, accessibleToggle},
        {ui.btnOverview, ui.tsVolumeStatistics, toggle},
    };
    int changes = 0;
    QObject::connect(&w, &TFormMain::PageChanged, [&] { ++changes; });
    for (const auto& c : cases) {
        changes = 0;
        c.press(c.button);
        EXPECT_TRUE(w.IsPageVisible(c.page)) << c.button->objectName().toStdString();
        EXPECT_TRUE(c.button->isChecked());
        EXPECT_GE(changes, 1);
    }
    // Toggling the button of the page shown leaves it checked and the page in place.
    ui.btnOverview->toggle();
    EXPECT_TRUE(ui.btnOverview->isChecked());
    EXPECT_TRUE(w.IsPageVisible(ui.tsVolumeStatistics));
}

// The path comes from the scanned node, so a name that is not UTF-8 reaches
// the desktop with the bytes the file system has.
TEST_F(MainWindowTest, CtrlDoubleClickOpensAFileWhoseNameIsNotUtf8) {
    const std::string file = dir.WriteFile("latin1/caf\xe9.txt", std::string(1000, 'x'));
    TFormMain& w = Open();
    std::vector<std::string> opened;
    SetShellOpenHook([&](const std::string& path) {
        opened.push_back(path);
        return true;
    });
    struct Unhook {
        ~Unhook() { SetShellOpenHook({}); }
    } unhook;
    w.TreemapView().SetFolder(dir.Path("latin1"));
    bool done = false;
    w.ScanRun().Start([&] { done = true; }, false);
    ASSERT_TRUE(WaitFor([&] { return done; }));

    // The file fills the map: hover, select and Ctrl+double-click its middle.
    QWidget* surface = w.TreemapView().WidgetsForTest().imageDiskTreemap;
    const QPoint middle = surface->rect().center();
    QMouseEvent hover(QEvent::MouseMove, middle, surface->mapToGlobal(middle), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(surface, &hover);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_EQ(file, w.TreemapView().SelectedFilesText());
    QTest::mouseDClick(surface, Qt::LeftButton, Qt::ControlModifier, middle);
    EXPECT_EQ(std::vector<std::string>{file}, opened);
}

TEST_F(MainWindowTest, BusyGuardRefusesASecondOperation) {
    TFormMain& w = Open();
    auto* other = new TFormPleaseWait(model, &w);
    w.PleaseWaitSlot(3) = other;
    EXPECT_TRUE(w.OperationInProgress());
    QTest::mouseClick(w.TreemapView().WidgetsForTest().bStartTreemap, Qt::LeftButton);
    EXPECT_EQ((std::vector<std::string>{"Another operation is in progress"}), messages->notifications);
    EXPECT_FALSE(w.ScanRun().Running());
    delete other;  // the slot empties itself
    EXPECT_FALSE(w.OperationInProgress());
}

TEST_F(MainWindowTest, MessagesLogOpensItselfNewestFirst) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    EXPECT_FALSE(ui.cpanelErrorLog->isVisible());
    w.AddErrorLine("first");
    w.AddErrorLine("second");
    EXPECT_TRUE(ui.cpanelErrorLog->isVisible());
    EXPECT_EQ("second\nfirst", ui.edErrorLog->toPlainText().toStdString());
    QTest::mouseClick(ui.cpanelErrorLog->findChild<QPushButton*>("bClearLog"), Qt::LeftButton);
    EXPECT_EQ("", ui.edErrorLog->toPlainText().toStdString());
}

TEST_F(MainWindowTest, WorkerMessagesArriveOnTheWindowThread) {
    TFormMain& w = Open({}, false);
    TFormMainUi& ui = w.WidgetsForTest();
    std::thread worker([] { GetMessages().AddErrorLine("from a worker"); });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return ui.cpanelErrorLog->isVisible(); }));
    EXPECT_EQ("from a worker", ui.edErrorLog->toPlainText().toStdString());
}

TEST_F(MainWindowTest, SettingsAreSavedWhenTheSettingsPanelCloses) {
    const std::string ini = AppSettingsFolder() + "main_window_test.ini";
    {
        TFormMain& w = Open();
        TFormMainUi& ui = w.WidgetsForTest();
        w.findChild<QLineEdit*>("edCompareVolumes1")->setText("  [kept] value  ");
        ui.miTreemapSettings->trigger();
        ui.panelSettings->cbAutoUpdateTreemap->setChecked(false);
        QTest::mouseClick(ui.panelSettings->bCloseSettings, Qt::LeftButton);
        ASSERT_TRUE(platform::FileExists(ini));
        // Changed afterwards without closing the panel: not kept.
        w.findChild<QLineEdit*>("edCompareVolumes2")->setText("lost");
        window->close();
        window.reset();
    }
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    EXPECT_EQ("[kept] value", w.findChild<QLineEdit*>("edCompareVolumes1")->text().toStdString());
    EXPECT_EQ("", w.findChild<QLineEdit*>("edCompareVolumes2")->text().toStdString());
    EXPECT_FALSE(ui.panelSettings->cbAutoUpdateTreemap->isChecked());
    EXPECT_EQ(dir.Path("tree"), w.TreemapView().Folder()) << "the treemap folder is persisted too";
}

TEST_F(MainWindowTest, ScanRunFillsTheModelAndItsSnapshotCanBeSaved) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    QTest::mouseClick(w.TreemapView().WidgetsForTest().bStartTreemap, Qt::LeftButton);
    EXPECT_TRUE(w.OperationInProgress());
    ASSERT_TRUE(WaitFor([&] { return !w.ScanRun().Running(); }));
    EXPECT_FALSE(w.OperationInProgress());
    // The map is drawn: the root box covers the surface in its level colour.
    ASSERT_FALSE(model.DiskTreeMapEntries.Empty());
    ASSERT_TRUE(model.DiskTreeMapEntries[0]->_BoxInfo);
    const QImage& map = w.TreemapView().Painter().Image();
    ASSERT_FALSE(map.isNull());
    EXPECT_NE(TTreemapPainter::kBackgroundColor, map.pixel(map.width() / 2, map.height() - 3));
    ASSERT_TRUE(platform::FileExists(model.TempSnapshotFn));
    ASSERT_TRUE(ui.bTreeMap_SaveAsSnapshot3->isEnabled());

    QTest::mouseClick(ui.bTreeMap_SaveAsSnapshot3, Qt::LeftButton);
    ASSERT_TRUE(ui.panelSaveSnapshot->isVisible());
    EXPECT_TRUE(ui.panelSaveSnapshot->Edit1->text().endsWith(".snapshot"));
    QTest::keyClicks(ui.panelSaveSnapshot->edSaveSnapshotComment, "kept");
    QTest::mouseClick(ui.panelSaveSnapshot->btnSaveSnapshotNow, Qt::LeftButton);
    EXPECT_FALSE(ui.panelSaveSnapshot->isVisible());
    EXPECT_FALSE(ui.bTreeMap_SaveAsSnapshot3->isEnabled());
    EXPECT_TRUE(model.TempSnapshotFn.find(" - kept.snapshot") != std::string::npos) << model.TempSnapshotFn;
    EXPECT_TRUE(platform::FileExists(model.TempSnapshotFn));
}

// Off at first; once ticked, the next scan weighs a second name of a file
// at 0 bytes, and the choice is kept with the settings.
TEST_F(MainWindowTest, HardLinksOnceIsASavedSettingTheNextScanUses) {
    ASSERT_EQ(0, link(dir.Path("tree/sub/b.bin").c_str(), dir.Path("tree/sub/b2.bin").c_str()));
    const auto scan = [&](TFormMain& w) {
        QTest::mouseClick(w.TreemapView().WidgetsForTest().bStartTreemap, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([&] { return !w.ScanRun().Running(); }));
        return model.Root()->SizeTotal;
    };
    {
        TFormMain& w = Open();
        TFormMainUi& ui = w.WidgetsForTest();
        QCheckBox* once = ui.panelSettings->cbHardLinksOnce;
        EXPECT_FALSE(once->isChecked());
        EXPECT_EQ("Count hard links once", once->accessibleName().toStdString());
        EXPECT_EQ(10005, scan(w));
        ui.miTreemapSettings->trigger();
        once->click();
        QTest::mouseClick(ui.panelSettings->bCloseSettings, Qt::LeftButton);
        EXPECT_EQ(5005, scan(w));
        window->close();
        window.reset();
    }
    TFormMain& w = Open();
    EXPECT_TRUE(w.WidgetsForTest().panelSettings->cbHardLinksOnce->isChecked());
}

// A bare snapshot name typed into the folder field is found in the
// snapshots folder and loaded; a loaded snapshot is not offered for saving.
TEST_F(MainWindowTest, EnterOnABareSnapshotNameLoadsItFromTheSnapshotsFolder) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    bool done = false;
    w.ScanRun().Start([&] { done = true; }, false);
    ASSERT_TRUE(WaitFor([&] { return done; }));
    ASSERT_TRUE(SaveSnapshot(model, "bare_name", true));
    const std::string saved = model.TempSnapshotFn;
    ASSERT_TRUE(platform::FileExists(PathJoin(model.SnapshotsPath, "bare_name.snapshot"))) << saved;

    w.TreemapView().SetFolder("bare_name.snapshot");
    QTest::keyClick(w.TreemapView().WidgetsForTest().edTreemapDirectory, Qt::Key_Return);
    EXPECT_TRUE(w.ScanRun().Running());
    ASSERT_TRUE(WaitFor([&] { return !w.ScanRun().Running(); }));
    EXPECT_EQ(PathJoin(model.SnapshotsPath, "bare_name.snapshot"), model.ScanPath);
    std::lock_guard lock(model.csTreemap);
    ASSERT_NE(nullptr, model.Root());
    EXPECT_EQ(2u, model.Root()->ChildrenEntries.size());
    EXPECT_FALSE(ui.bTreeMap_SaveAsSnapshot3->isEnabled());
    EXPECT_TRUE(ui.bTreeMap_CompareSnapshotWith->isEnabled());
}

TEST_F(MainWindowTest, ClosingDuringAScanEndsItWithoutWaitingForTheWalk) {
    for (int i = 0; i < 3000; ++i) dir.WriteFile("big/d" + std::to_string(i % 50) + "/f" + std::to_string(i), "x");
    TFormMain& w = Open();
    w.TreemapView().SetFolder(dir.Path("big"));
    QTest::mouseClick(w.TreemapView().WidgetsForTest().bStartTreemap, Qt::LeftButton);
    ASSERT_TRUE(w.ScanRun().Running());
    w.close();
    window.reset();  // waits for the worker, which sees the closing flag
    EXPECT_TRUE(model.AppClosing.load());
}

TEST_F(MainWindowTest, NavigationPanelStaysOpenWhileThePointerIsInsideIt) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    ui.panelSettings->cbShowDynamicMenu->setChecked(true);
    ASSERT_TRUE(ui.panelMenu->isVisible());
    QTest::qWait(50);
    ui.flagMenuCount = 0;  // whatever the platform's pointer did when the panel appeared
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(ui.panelMenu, &enter);
    QApplication::sendEvent(ui.BrenixNavBar1, &enter);  // into a child
    QApplication::sendEvent(ui.panelMenu, &leave);      // the panel reports leaving
    EXPECT_TRUE(ui.flagMenuShow);
    EXPECT_TRUE(WaitFor([&] { return ui.panelMenu->height() == 341; }));
    QApplication::sendEvent(ui.BrenixNavBar1, &leave);
    EXPECT_FALSE(ui.flagMenuShow);
    EXPECT_TRUE(WaitFor([&] { return ui.panelMenu->height() < 100; })) << "collapses a third of a second later";
}

TEST_F(MainWindowTest, LettersTypedIntoASizeEditPickItsUnit) {
    TFormMain& w = Open();
    TFormMainUi& ui = w.WidgetsForTest();
    ui.miFileComparisonSettings->trigger();
    for (auto [key, unit] : {std::pair{'k', 1}, std::pair{'G', 3}, std::pair{'b', 0}}) {
        QTest::keyClick(ui.panelSettings->edDuplicatesMinSize, key);
        EXPECT_EQ(unit, ui.panelSettings->cbDuplicatesMinSizeUnit->currentIndex());
    }
}

TEST_F(MainWindowTest, TwoFilesOpenTheCompareWindow) {
    const std::string a = dir.WriteFile("one.bin", "same bytes");
    const std::string b = dir.WriteFile("two.bin", "same bytes");
    StartRequest start;
    start.mode = StartMode::FileCompare;
    start.a = a;
    start.b = b;
    TFormMain& w = Open(start);
    TFormMainUi& ui = w.WidgetsForTest();
    EXPECT_EQ(QSize(600, 400), w.size());
    EXPECT_TRUE(w.IsPageVisible(ui.tsCompareFiles));
    EXPECT_FALSE(ui.tsCompareFiles->findChild<QPushButton*>("bBackCompareFiles")->isVisible());
    // The comparison starts by itself shortly after the first show.
    ASSERT_TRUE(
        WaitFor([&] { return w.CompareFilesView().WidgetsForTest().edFileCompareResult->text() == "IDENTICAL"; }));
    EXPECT_EQ(a, w.CompareFilesView().WidgetsForTest().FilenameEditA1->text().toStdString());
}

}  // namespace
}  // namespace tandrel
