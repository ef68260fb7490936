// The navigation frame, the developer panel's zoom and folder tools and
// "Include Free Space", driven on the real main window.
#include "gui/disk/nav_tool.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <mutex>

#include "common/app_folders.h"
#include "common/format_numbers.h"
#include "common/paths.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/disk/treemap_debug_panel.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_surface.h"
#include "gui/shell/main_window.h"
#include "platform/mounts.h"
#include "scan/scan_model.h"
#include "scan/snapshot_store.h"
#include "treemap/treemap_geometry.h"
#include "support/fire_timer.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::FireTimer;
using testing::RecordingMessages;
using testing::TempDir;

class NavToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(AppSettingsFolder());
        dir.WriteFile("tree/a.txt", "hello");
        dir.WriteFile("tree/sub/b.bin", std::string(5000, 'b'));
        window = std::make_unique<TFormMain>(model);
        // A remembered folder: nothing is scanned until asked.
        map().SetFolder(dir.Path("tree"));
        messages = std::make_unique<RecordingMessages>();
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ui().cbIncludeFreeSpace->setChecked(false);
    }

    void TearDown() override {
        window->close();
        window.reset();
        messages.reset();
    }

    TFormDiskTreeMap& map() { return window->TreemapView(); }
    TScanRun& run() { return window->ScanRun(); }
    TFormDiskTreeMapUi& ui() { return map().WidgetsForTest(); }
    TTreemapDebugPanelUi& debug() { return ui().panelDebug->WidgetsForTest(); }
    TFrameNavTool& frame() { return map().NavTool(); }
    TViewWindow View() {
        std::lock_guard lock(model.csTreemap);
        return map().Layout().View;
    }

    // A sample tree zoomed in around the middle, so it can move every way.
    void ZoomedTree(const char* lines = "100\n50\n20\n10\n5") {
        map().BuildTestTree(lines);
        std::lock_guard lock(model.csTreemap);
        ASSERT_GT(model.DiskTreeMapEntries.Count(), 2u);
        ASSERT_TRUE(model.Root()->_BoxInfo);
        for (int i = 0; i < 4; ++i) map().Navigator().ZoomStep(true);
    }

    template <typename Condition>
    bool WaitFor(Condition condition) {
        for (int i = 0; i < 1000 && !condition(); ++i) QTest::qWait(10);
        return condition();
    }

    // A move with the button held, straight to the picture that has the pointer.
    static void Drag(QWidget* image, QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, pos, image->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(image, &move);
    }

    void Scan(const std::string& folder) {
        map().SetFolder(folder);
        run().Start({}, false);
        ASSERT_TRUE(WaitFor([&] { return !run().Running(); }));
    }

    std::vector<std::string> FolderHistory() {
        std::vector<std::string> entries;
        for (int i = 0; i < ui().lbDiskTreeMapHistory->count(); ++i)
            entries.push_back(RemoveTrailingBackslash(ui().lbDiskTreeMapHistory->item(i)->text().toStdString()));
        return entries;
    }

    QPushButton* DebugButton(const QString& text) {
        for (QPushButton* button : ui().panelDebug->findChildren<QPushButton*>())
            if (button->text() == text) return button;
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
};

TEST_F(NavToolTest, PadEdgesScrollOneStepAtOnceByTheOtherAxisExtent) {
    ZoomedTree();
    const TViewWindow start = View();
    const float stepV = 0.06f * (start.right - start.left), stepH = 0.06f * (start.bottom - start.top);
    struct Case {
        QPoint at;
        float dx, dy;
    };
    const Case cases[] = {
        {{39, 5}, 0, -stepV}, {{39, 72}, 0, stepV}, {{5, 39}, -stepH, 0},
        {{72, 39}, stepH, 0}, {{4, 4}, 0, 0},  // a corner belongs to no zone
    };
    for (const Case& c : cases) {
        const TViewWindow before = View();
        QTest::mousePress(frame().imageNavTool, Qt::LeftButton, {}, c.at);
        const TViewWindow after = View();
        EXPECT_NEAR(before.left + c.dx, after.left, 0.01) << c.at.x() << "," << c.at.y();
        EXPECT_NEAR(before.top + c.dy, after.top, 0.01) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(c.dx != 0 || c.dy != 0, frame().timerNavigation->isActive());
        QTest::mouseRelease(frame().imageNavTool, Qt::LeftButton, {}, c.at);
        EXPECT_FALSE(frame().timerNavigation->isActive());
    }
    // The pad's scrolls are in the view history.
    EXPECT_TRUE(ui().bGoBack2->isEnabled());
}

TEST_F(NavToolTest, HeldEdgeKeepsScrollingTenTimesASecond) {
    ZoomedTree();
    const float top = View().top;
    QTest::mousePress(frame().imageNavTool, Qt::LeftButton, {}, QPoint(39, 72));
    EXPECT_EQ(100, frame().timerNavigation->interval());
    ASSERT_TRUE(FireTimer(*frame().timerNavigation));
    ASSERT_TRUE(FireTimer(*frame().timerNavigation));
    QTest::mouseRelease(frame().imageNavTool, Qt::LeftButton, {}, QPoint(39, 72));
    EXPECT_FALSE(frame().timerNavigation->isActive());
    const float step = 0.06f * (View().right - View().left);
    EXPECT_NEAR(View().top - top, 3 * step, 0.01) << "the press and two ticks";
}

TEST_F(NavToolTest, KnobPansOnlyAfterThreePixelsAndSnapsBack) {
    ZoomedTree();
    const QPoint centred = frame().imageNavToolSmall->pos();
    const TViewWindow start = View();
    QTest::mousePress(frame().imageNavTool, Qt::LeftButton, {}, QPoint(39, 39));
    Drag(frame().imageNavTool, QPoint(41, 41));
    EXPECT_FALSE(frame().timerNavigation->isActive());
    EXPECT_EQ(centred, frame().imageNavToolSmall->pos());
    EXPECT_EQ(start.left, View().left);
    EXPECT_EQ(start.top, View().top);

    // A straight sideways pull pans sideways only.
    Drag(frame().imageNavTool, QPoint(69, 39));
    EXPECT_TRUE(frame().timerNavigation->isActive());
    EXPECT_NE(centred, frame().imageNavToolSmall->pos());
    EXPECT_LE(frame().imageNavToolSmall->x(), TFrameNavTool::kPadSide - TFrameNavTool::kPadKnob - TFrameNavTool::kEdge);
    EXPECT_EQ(start.left, View().left) << "the ticks pan, not the pull";
    ASSERT_TRUE(FireTimer(*frame().timerNavigation));
    EXPECT_GT(View().left, start.left);
    EXPECT_EQ(start.top, View().top);
    QTest::mouseRelease(frame().imageNavTool, Qt::LeftButton, {}, QPoint(69, 39));
    EXPECT_FALSE(frame().timerNavigation->isActive());
    EXPECT_EQ(centred, frame().imageNavToolSmall->pos());
    EXPECT_EQ(0, frame().PadMode());
}

TEST_F(NavToolTest, ZoomKnobAtTheBottomZoomsInUntilReleased) {
    ZoomedTree();
    const QPoint centred = frame().imageElevationToolSmall->pos();
    double zoom = 0;
    {
        std::lock_guard lock(model.csTreemap);
        zoom = map().Navigator().ZoomX();
    }
    const std::size_t history = map().Navigator().History().size();
    debug().trackbarElevation2->setValue(900);
    QTest::mousePress(frame().imageElevationTool, Qt::LeftButton, {}, QPoint(12, 38));
    Drag(frame().imageElevationTool, QPoint(12, 200));
    EXPECT_EQ(TFrameNavTool::kKnobTravel, frame().ZoomKnobOffset());
    EXPECT_EQ(centred.y() + TFrameNavTool::kKnobTravel / 2, frame().imageElevationToolSmall->y());
    EXPECT_EQ(100, frame().timerElevation->interval());
    for (int tick = 0; tick < 3; ++tick) ASSERT_TRUE(FireTimer(*frame().timerElevation)) << tick;
    QTest::mouseRelease(frame().imageElevationTool, Qt::LeftButton, {}, QPoint(12, 200));
    {
        std::lock_guard lock(model.csTreemap);
        EXPECT_GT(map().Navigator().ZoomX(), zoom * 1.1);
    }
    EXPECT_FALSE(frame().timerElevation->isActive());
    EXPECT_EQ(TFrameNavTool::kKnobTravel / 2, frame().ZoomKnobOffset());
    EXPECT_EQ(centred, frame().imageElevationToolSmall->pos());
    EXPECT_EQ(500, debug().trackbarElevation2->value());
    EXPECT_GT(map().Navigator().History().size(), history);
    EXPECT_EQ(static_cast<int>(map().Navigator().History().size()) - 1, map().Navigator().HistoryIndex());

    // Once let go, moving over the bar does nothing.
    Drag(frame().imageElevationTool, QPoint(12, 0));
    EXPECT_FALSE(frame().timerElevation->isActive());
}

TEST_F(NavToolTest, ZoomKnobAboveTheMiddleZoomsOut) {
    ZoomedTree();
    double zoom = 0;
    {
        std::lock_guard lock(model.csTreemap);
        zoom = map().Navigator().ZoomX();
    }
    QTest::mousePress(frame().imageElevationTool, Qt::LeftButton, {}, QPoint(12, 38));
    Drag(frame().imageElevationTool, QPoint(12, 0));
    for (int tick = 0; tick < 2; ++tick) ASSERT_TRUE(FireTimer(*frame().timerElevation)) << tick;
    QTest::mouseRelease(frame().imageElevationTool, Qt::LeftButton, {}, QPoint(12, 0));
    std::lock_guard lock(model.csTreemap);
    EXPECT_LT(map().Navigator().ZoomX(), zoom);
}

TEST_F(NavToolTest, ZoomKnobLetsGoOfANodeTooSmallToZoomTo) {
    ZoomedTree("100\n0");
    {
        std::lock_guard lock(model.csTreemap);
        TDiskTreeMapEntry* empty = nullptr;
        for (TDiskTreeMapEntry* child : model.Root()->ChildrenEntries)
            if (child->SizeTotal == 0) empty = child;
        ASSERT_NE(nullptr, empty);
        map().Navigator().CurrentNode = empty;
    }
    QTest::mousePress(frame().imageElevationTool, Qt::LeftButton, {}, QPoint(12, 38));
    Drag(frame().imageElevationTool, QPoint(12, 70));
    ASSERT_TRUE(FireTimer(*frame().timerElevation));
    EXPECT_FALSE(frame().timerElevation->isActive());
    EXPECT_FALSE(frame().ZoomKnobGrabbed());
    EXPECT_EQ(TFrameNavTool::kKnobTravel / 2, frame().ZoomKnobOffset());
    ASSERT_FALSE(messages->shown.empty());
    EXPECT_EQ("Cannot zoom to this file because its size is too small", messages->shown.back());
    QTest::mouseRelease(frame().imageElevationTool, Qt::LeftButton, {}, QPoint(12, 70));
}

TEST_F(NavToolTest, ZoomSliderFollowsTheViewAndZooms) {
    map().BuildTestTree("100\n50\n20");
    EXPECT_EQ(1, debug().trackbarElevation->value()) << "the whole canvas";
    debug().trackbarElevation->setValue(751);  // 1000 / 250 = 4 times
    {
        std::lock_guard lock(model.csTreemap);
        EXPECT_NEAR(4.0, map().Navigator().ZoomX(), 0.05);
        EXPECT_NEAR(4.0, map().Navigator().ZoomY(), 0.05);
    }
    EXPECT_NEAR(751, debug().trackbarElevation->value(), 2);
    QTest::mouseClick(DebugButton("Z-reset"), Qt::LeftButton);
    EXPECT_EQ(1, debug().trackbarElevation->value());
}

TEST_F(NavToolTest, ReadoutsShowTheHoveredLayoutSizeAndTheZoomFactors) {
    map().BuildTestTree("100\n50\n20");
    QWidget* image = ui().imageDiskTreemap;
    const QPoint at(5, image->height() / 2);
    QMouseEvent hover(QEvent::MouseMove, at, image->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(image, &hover);
    {
        std::lock_guard lock(model.csTreemap);
        const TDiskTreeMapEntry* node = map().Navigator().HoveredNode;
        ASSERT_NE(node, nullptr);
        const double w = node->Geometry()._BigW, h = node->Geometry()._BigH;
        EXPECT_EQ(debug().edMouseoverSize->text().toStdString(),
                  FormatCount(w) + " x " + FormatCount(h) + " = " + FormatCount(w * h));
        EXPECT_GT(w * h, 1000.0) << "the biggest file of a known layout";
    }
    QTest::mouseClick(DebugButton("Z-in"), Qt::LeftButton);
    QTest::mouseClick(DebugButton("Z-in"), Qt::LeftButton);
    QTest::mouseClick(DebugButton("zoom0"), Qt::LeftButton);
    std::lock_guard lock(model.csTreemap);
    const double zx = map().Navigator().ZoomX(), zy = map().Navigator().ZoomY();
    EXPECT_GT(zx, 1.05) << "two steps in, one out";
    EXPECT_EQ(debug().edZoomFactor->text(), QString("zoom %1 x %2").arg(zx, 0, 'f', 2).arg(zy, 0, 'f', 2));
}

TEST_F(NavToolTest, TestTreeTakesOneFileOfNMiBPerLine) {
    map().BuildTestTree("3\nnot a number\n-2\n0\n");
    std::lock_guard lock(model.csTreemap);
    TDiskTreeMapEntry* root = model.Root();
    std::vector<std::int64_t> sizes;
    for (TDiskTreeMapEntry* child : root->ChildrenEntries) sizes.push_back(child->SizeTotal);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<std::int64_t>{0, 1048576, 1048576, 3 * 1048576}), sizes);
    EXPECT_EQ(5 * 1048576, root->SizeTotal);
    EXPECT_TRUE(root->_BoxInfo && root->_BoxInfo->_PixelsW > 0);
}

TEST_F(NavToolTest, ZoomHereFindsThePath) {
    Scan(dir.Path("tree"));
    TDiskTreeMapEntry* sub = map().FindNode(dir.Path("tree/sub"));
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ("sub", sub->Name);
    EXPECT_EQ(sub, map().FindNode(dir.Path("tree/sub") + "/"));
    EXPECT_EQ(model.Root(), map().FindNode(dir.Path("tree")));
    EXPECT_EQ(nullptr, map().FindNode(dir.Path("tree/nothing")));
    EXPECT_EQ(nullptr, map().FindNode(dir.Path("tree/sub/b.bin/x")));
    EXPECT_EQ(nullptr, map().FindNode("/elsewhere/sub"));

    debug().edZoomToFolder->setText(QString::fromStdString(dir.Path("tree/sub")));
    QTest::mouseClick(DebugButton("Zoom here"), Qt::LeftButton);
    std::lock_guard lock(model.csTreemap);
    EXPECT_EQ(sub, map().Navigator().ZoomTarget);
    EXPECT_EQ(sub, map().Navigator().SelectedFolder);
    EXPECT_TRUE(ui().timerZoomToFile->isActive());
}

TEST_F(NavToolTest, ZoomUpWalksToTheFirstFolderReachingTheViewsLeftEdge) {
    dir.WriteFile("two/d1/f", std::string(3000, 'x'));
    dir.WriteFile("two/d2/f", std::string(3000, 'y'));
    Scan(dir.Path("two"));
    std::lock_guard lock(model.csTreemap);
    TDiskTreeMapEntry *near = nullptr, *far = nullptr;
    for (TDiskTreeMapEntry* child : model.Root()->ChildrenEntries) {
        if (!child->_BoxInfo) continue;
        (CalcNodeAbsoluteX_in_px_even_if_invisible(child) < 39 ? near : far) = child;
    }
    ASSERT_TRUE(near && far) << "side by side on a wide surface";
    struct Case {
        TDiskTreeMapEntry* selected;
        TDiskTreeMapEntry* target;
    };
    for (const Case& c : {Case{near, near}, Case{far, model.Root()}, Case{nullptr, model.Root()}}) {
        map().Navigator().SelectedFolder = c.selected;
        map().Navigator().ZoomTarget = nullptr;
        QTest::mouseClick(DebugButton("Zoom Up"), Qt::LeftButton);
        EXPECT_EQ(c.target, map().Navigator().ZoomTarget);
        map().DiskTreeMap_StopZoomAnimation();
    }

    // A folder without a box on the way ends the walk with a message.
    map().Navigator().SelectedFolder = far;
    map().Navigator().ZoomTarget = nullptr;
    const TBoxInfo box = *far->_BoxInfo;
    far->_BoxInfo.reset();
    QTest::mouseClick(DebugButton("Zoom Up"), Qt::LeftButton);
    far->_BoxInfo = std::make_unique<TBoxInfo>(box);
    EXPECT_EQ(nullptr, map().Navigator().ZoomTarget);
    ASSERT_FALSE(messages->shown.empty());
    EXPECT_EQ("_box_info = nil", messages->shown.back());
}

TEST_F(NavToolTest, ScrollButtonsMoveTheView) {
    ZoomedTree();
    const TViewWindow start = View();
    QTest::mouseClick(DebugButton("v"), Qt::LeftButton);
    EXPECT_NEAR(start.top + 0.06f * (start.right - start.left), View().top, 0.01);
    QTest::mouseClick(DebugButton("<"), Qt::LeftButton);
    EXPECT_NEAR(start.left - 0.06f * (start.bottom - start.top), View().left, 0.01);
    EXPECT_EQ(static_cast<int>(View().left), ui().scrollbarTreemapH->value());
}

TEST_F(NavToolTest, IncludeFreeSpaceAddsAndRemovesTheFreeSpaceOfAMountPoint) {
    ASSERT_TRUE(platform::IsMountPoint("/"));
    map().SetFolder("/");
    EXPECT_FALSE(ui().cbIncludeFreeSpace->isHidden());
    std::int64_t freeBytes = 0, scanned = 7 * 1048576;
    TDiskTreeMapEntry* freeSpace = nullptr;
    {
        std::lock_guard lock(model.csTreemap);
        model.ScanPath = "/";
        model.ResetTreemap("/", false);
        TDiskTreeMapEntry* root = model.Root();
        root->Name = "/";
        TDiskTreeMapEntry* file = model.DiskTreeMapEntries.Add();
        file->Name = "f";
        file->EntryType = EntryType_File;
        file->SizeTotal = scanned;
        file->ParentNodeIdx = root;
        root->ChildrenEntries.push_back(file);
        root->SizeTotal = scanned;
        root->_Modified = true;
        freeSpace = model.FreeSpaceEntry;
        freeBytes = freeSpace->SizeTotal;
    }
    ASSERT_GT(freeBytes, 0);
    map().DiskTreeMap_Relayout(true);
    auto included = [&] {
        std::lock_guard lock(model.csTreemap);
        const auto& children = model.Root()->ChildrenEntries;
        return std::find(children.begin(), children.end(), freeSpace) != children.end();
    };

    QTest::mouseClick(ui().cbIncludeFreeSpace, Qt::LeftButton);
    ASSERT_TRUE(ui().cbIncludeFreeSpace->isChecked());
    EXPECT_TRUE(included());
    EXPECT_EQ(scanned + freeBytes, model.Root()->SizeTotal);
    EXPECT_TRUE(freeSpace->_BoxInfo && freeSpace->_BoxInfo->_PixelsW > 0) << "laid out again";

    QTest::mouseClick(ui().cbIncludeFreeSpace, Qt::LeftButton);
    EXPECT_FALSE(included());
    EXPECT_EQ(scanned, model.Root()->SizeTotal);
    EXPECT_EQ(scanned, model.Root()->SizeRoot());
}

TEST_F(NavToolTest, FreeSpaceNeverJoinsTheScanOfAFolderInsideAFileSystem) {
    Scan(dir.Path("tree"));
    const std::int64_t size = model.Root()->SizeTotal;
    // The field now names a mount point, but the map shows the folder.
    map().SetFolder("/");
    ui().cbIncludeFreeSpace->setChecked(true);
    EXPECT_EQ(size, model.Root()->SizeTotal);
    EXPECT_EQ(
        model.Root()->ChildrenEntries.end(),
        std::find(model.Root()->ChildrenEntries.begin(), model.Root()->ChildrenEntries.end(), model.FreeSpaceEntry));
}

TEST_F(NavToolTest, BrowseFillsTheFolderFieldAndTheCaptionNamesWhatWasScanned) {
    const std::string tree = dir.Path("tree");
    QString asked;
    TFormDiskTreeMap::SetFolderChooserForTest([&](QWidget*, const QString& start) {
        asked = start;
        return QString::fromStdString(dir.Path("tree/sub"));
    });
    ui().bBrowseTreemapDirectory->click();
    TFormDiskTreeMap::SetFolderChooserForTest([](QWidget*, const QString&) { return QString(); });
    ui().bBrowseTreemapDirectory->click();  // a cancelled dialog changes nothing
    TFormDiskTreeMap::SetFolderChooserForTest({});
    EXPECT_EQ(asked.toStdString(), tree);
    EXPECT_EQ(map().Folder(), dir.Path("tree/sub"));

    Scan(tree);
    EXPECT_EQ(ui().panelDiskTreemapCaption->text().toStdString(), tree + "/");
    ASSERT_TRUE(SaveSnapshot(model, "caption", true));
    const std::string snapshot = AppSettingsFolder() + "caption.snapshot";
    Scan(snapshot);
    EXPECT_EQ(ui().panelDiskTreemapCaption->text().toStdString(), snapshot + "/");
}

TEST_F(NavToolTest, FolderHistoryBackForwardAndUp) {
    const std::string tree = dir.Path("tree"), sub = dir.Path("tree/sub");
    Scan(tree);
    Scan(tree);  // the same folder twice: one entry
    Scan(sub);
    EXPECT_EQ((std::vector<std::string>{tree, sub}), FolderHistory());

    QTest::mouseClick(DebugButton("Back"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !run().Running(); }));
    EXPECT_EQ(tree, map().Folder());
    EXPECT_EQ(0, ui().lbDiskTreeMapHistory->currentRow());
    EXPECT_EQ(tree, model.ScanPath);
    QTest::mouseClick(DebugButton("Back"), Qt::LeftButton);  // none before the first
    EXPECT_FALSE(run().Running());
    EXPECT_EQ(tree, map().Folder());

    QTest::mouseClick(DebugButton("Forward"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !run().Running(); }));
    EXPECT_EQ(sub, map().Folder());
    EXPECT_EQ(1, ui().lbDiskTreeMapHistory->currentRow());
    EXPECT_EQ((std::vector<std::string>{tree, sub}), FolderHistory());

    QTest::mouseClick(DebugButton("Up"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !run().Running(); }));
    EXPECT_EQ(tree, RemoveTrailingBackslash(map().Folder()));
    EXPECT_EQ((std::vector<std::string>{tree, sub, tree}), FolderHistory());

    // Going back and scanning elsewhere drops what lay ahead.
    QTest::mouseClick(DebugButton("Back"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !run().Running(); }));
    QTest::mouseClick(DebugButton("Back"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !run().Running(); }));
    Scan(dir.Path("tree/sub"));
    EXPECT_EQ((std::vector<std::string>{tree, sub}), FolderHistory());
}

TEST_F(NavToolTest, ScanRunHandsItsPathToTheChangeWatcher) {
    int stopped = 0;
    std::vector<std::pair<std::string, bool>> created;
    QObject::connect(&run(), &TScanRun::RunStarting, [&] { ++stopped; });
    QObject::connect(&run(), &TScanRun::ScanEnded,
                     [&](const std::string& path, bool monitor) { created.emplace_back(path, monitor); });
    ui().cbMonitorChanges->setChecked(true);
    Scan(dir.Path("tree"));
    ui().cbMonitorChanges->setChecked(false);
    Scan(dir.Path("tree/sub"));
    EXPECT_EQ(2, stopped);
    EXPECT_EQ((std::vector<std::pair<std::string, bool>>{{dir.Path("tree"), true}, {dir.Path("tree/sub"), false}}),
              created);
}

}  // namespace
}  // namespace tandrel
