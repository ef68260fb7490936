#include "treemap/treemap_navigation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/split.h"
#include "support/recording_messages.h"
#include "treemap/treemap_geometry.h"
#include "treemap_test_tree.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TreemapTree;

class TreemapNavigationTest : public ::testing::Test {
protected:
    void SetUp() override {
        TDiskTreeMapEntry* a = t.Folder(t.root, "a");
        for (int i = 0; i < 6; ++i) t.File(a, "a" + std::to_string(i), 1000 + 100 * i);
        TDiskTreeMapEntry* b = t.Folder(t.root, "b");
        for (int i = 0; i < 4; ++i) t.File(b, "b" + std::to_string(i), 800 + 50 * i);
        small = t.File(t.root, "tiny", 5);
        t.layout.DiskTreeMap_Relayout(true);
    }

    float CanvasW() { return t.root->_BoxInfo->_PixelsW; }
    float CanvasH() { return t.root->_BoxInfo->_PixelsH; }
    const TViewWindow& View() { return t.layout.View; }

    TreemapTree t{800, 600};
    TreemapNavigator nav{t.layout};
    TDiskTreeMapEntry* small = nullptr;
};

TEST_F(TreemapNavigationTest, ZoomingOutPastTheCanvasSnapsBackToTheSurface) {
    nav.ZoomStep(false);
    EXPECT_FLOAT_EQ(800, CanvasW());
    EXPECT_FLOAT_EQ(600, CanvasH());
    EXPECT_FLOAT_EQ(0, View().left);
    EXPECT_FLOAT_EQ(0, View().top);
    EXPECT_FLOAT_EQ(800, View().right);
    EXPECT_FLOAT_EQ(600, View().bottom);
}

TEST_F(TreemapNavigationTest, ZoomStepsKeepTheAxesTogether) {
    nav.ZoomTo(1.5, 2.0);  // zx 2.0, zy 1.5: q about 1.33
    ASSERT_NEAR(2.0, nav.ZoomX(), 1e-4);
    ASSERT_NEAR(1.5, nav.ZoomY(), 1e-4);
    nav.ZoomStep(true);
    EXPECT_NEAR(2.0, nav.ZoomX(), 1e-4) << "Z-in moves only the lagging axis";
    EXPECT_NEAR(1.5 * 600 / 500, nav.ZoomY(), 1e-3);
    nav.ZoomTo(1.5, 2.0);
    nav.ZoomStep(false);
    EXPECT_NEAR(1.5, nav.ZoomY(), 1e-4) << "Z-out moves only the leading axis";
    EXPECT_NEAR(2.0 * 800 / 900, nav.ZoomX(), 1e-3);

    // Axes together: both move, by 50 pixels of canvas on each side.
    nav.ResetZoom();
    nav.ZoomStep(true);
    EXPECT_NEAR(800.0 / 700, nav.ZoomX(), 1e-4);
    EXPECT_NEAR(800.0 / 700, nav.ZoomY(), 1e-4);
}

TEST_F(TreemapNavigationTest, ZoomKeepsThePointUnderTheWheel) {
    const float x = 200, y = 150;
    const float canvasX = View().left + x, relative = canvasX / CanvasW();
    ASSERT_TRUE(nav.WheelZoom(x, y, true));
    EXPECT_NEAR(relative, (View().left + x) / CanvasW(), 1e-4);
    EXPECT_FALSE(nav.WheelZoom(-1, 10, true)) << "outside the surface";
}

TEST_F(TreemapNavigationTest, DragPansOnlyAfterMoreThanTwoPixels) {
    nav.ZoomTo(3, 3);
    nav.ZoomCentre = TZoomCentre::ViewCentre;
    const TViewWindow before = View();
    nav.DragStart(100, 100);
    EXPECT_FALSE(nav.DragTo(102, 98));
    EXPECT_FLOAT_EQ(before.left, View().left);
    EXPECT_TRUE(nav.DragTo(103, 100));
    EXPECT_FLOAT_EQ(before.left - 3, View().left);
    EXPECT_FLOAT_EQ(before.top, View().top);
}

TEST_F(TreemapNavigationTest, ScrollBarsFollowTheViewAndMoveIt) {
    nav.ZoomTo(2, 2);
    TScrollbarState bar = nav.HorizontalScrollbar();
    EXPECT_EQ(1600, bar.maximum);
    EXPECT_EQ(800, bar.pageSize);
    EXPECT_EQ(8, bar.smallChange);
    EXPECT_EQ(160, bar.largeChange);
    EXPECT_TRUE(nav.ScrollbarMoved(true, 800, bar.maximum, bar.pageSize));
    EXPECT_FLOAT_EQ(800, View().left);
    EXPECT_FLOAT_EQ(1600, View().right);
    EXPECT_FALSE(nav.ScrollbarMoved(true, 800, bar.maximum, bar.pageSize)) << "same origin, no redraw";
    EXPECT_EQ(1000 - 500 + 1, nav.ZoomSliderPosition(1000));
}

TEST_F(TreemapNavigationTest, HistoryDropsForwardEntriesAfterANewView) {
    nav.PushState();
    nav.ZoomStep(true);
    nav.PushState();
    nav.ZoomStep(true);
    nav.PushState();
    ASSERT_EQ(3u, nav.History().size());  // home and two zooms
    EXPECT_TRUE(nav.Back());
    EXPECT_TRUE(nav.Back());
    EXPECT_EQ(0, nav.HistoryIndex());
    EXPECT_TRUE(nav.CanGoForward());
    nav.ZoomStep(true);
    nav.PushState();
    EXPECT_EQ(2u, nav.History().size());
    EXPECT_FALSE(nav.CanGoForward());
    EXPECT_TRUE(nav.CanGoBack());
}

TEST_F(TreemapNavigationTest, RestoredViewsAreScaledToTheSurface) {
    nav.PushState();
    nav.ZoomTo(2, 2);
    nav.PushState();
    const std::vector<std::string> entry = SplitString(nav.History().back(), ",", false);
    ASSERT_EQ(8u, entry.size());
    EXPECT_EQ("800", entry[6]);
    // The window grew; "Back" records the present view, then restores the
    // one before it on the wider surface.
    t.layout.SurfaceWidth = 1000;
    ASSERT_TRUE(nav.Back());
    EXPECT_EQ(3u, nav.History().size());
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<long>(std::stod(entry[0]) * 1.25)), CanvasW());
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<long>(std::stod(entry[2]) * 1.25)), View().left);
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<long>(std::stod(entry[4]) * 1.25)), View().right);
}

TEST_F(TreemapNavigationTest, AnimationZoomsOutUntilTheTargetIsInViewThenConverges) {
    TDiskTreeMapEntry* b = t.root->ChildrenEntries[1];
    TDiskTreeMapEntry* a = t.root->ChildrenEntries[0];
    // Deep inside a, far from b.
    ASSERT_TRUE(a->_BoxInfo);
    const TRect r = a->_BoxInfo->_AbsRect;
    nav.ZoomToRect(r.Left + 5, r.Top + 20, r.Left + 45, r.Top + 50);
    nav.ZoomToNode(b);
    EXPECT_EQ(b, nav.SelectedFolder);
    int ticks = 0, zoomOutTicks = 0;
    while (ticks < 500) {
        const int step = nav.AnimationStep;
        const bool again = nav.ZoomAnimationTick();
        ++ticks;
        if (nav.AnimationStep == step) ++zoomOutTicks;
        if (!again) break;
    }
    EXPECT_GT(zoomOutTicks, 0) << "zooming out first, without counting";
    EXPECT_LE(nav.AnimationStep, 51);
    // The target now fills most of the view.
    const float sx = t.root->Geometry()._BigW / CanvasW();
    const float left = CalcNodeAbsoluteX_in_pp(b) / sx;
    EXPECT_LE(View().left, left + 1);
    EXPECT_GE(View().right, left + b->Geometry()._BigW / sx - 1);
}

TEST_F(TreemapNavigationTest, KnobAtTheBottomZoomsInFiftyPixelsPerSide) {
    ASSERT_TRUE(nav.KnobZoom(64, 64));
    EXPECT_NEAR(800.0 / 700, nav.ZoomX(), 1e-4);
    EXPECT_TRUE(nav.ZoomInward);

    RecordingMessages messages;
    nav.CurrentNode = small;
    EXPECT_FALSE(nav.KnobZoom(64, 64));
    nav.ZoomToNode(small);
    EXPECT_FALSE(nav.ZoomAnimationTick());
    EXPECT_EQ((std::vector<std::string>{"Cannot zoom to this file because its size is too small",
                                        "Cannot zoom to this file because its size is too small"}),
              messages.shown);
}

TEST_F(TreemapNavigationTest, SelectionRule) {
    TDiskTreeMapEntry* a = t.root->ChildrenEntries[0];
    TDiskTreeMapEntry* b = t.root->ChildrenEntries[1];
    TDiskTreeMapEntry* fileOfA = a->ChildrenEntries[0];
    nav.SelectNode(fileOfA);
    EXPECT_EQ(fileOfA, nav.SelectedFile);
    EXPECT_EQ(a, nav.SelectedFolder);
    nav.SelectNode(a);
    EXPECT_EQ(fileOfA, nav.SelectedFile) << "its own file stays selected";
    nav.SelectNode(b);
    EXPECT_EQ(nullptr, nav.SelectedFile);
    EXPECT_EQ(b, nav.SelectedFolder);
    nav.SelectNode(nullptr);
    EXPECT_EQ(nullptr, nav.SelectedFolder);
    EXPECT_FALSE(nav.CanSelectParent());
}

// Two folders side by side on 800 x 600, "near" on the left and "far" on the
// right, each holding one file; zoomed 4x with the view on the top left, far
// lies wholly outside the view.
struct SideBySide {
    TreemapTree t{800, 600};
    TreemapNavigator nav{t.layout};
    TDiskTreeMapEntry *near, *nearFile, *far, *farFile;
    int redraws = 0, rootPasses = 0;
    SideBySide() {
        near = t.Folder(t.root, "near");
        nearFile = t.File(near, "n", 1100);
        far = t.Folder(t.root, "far");
        farFile = t.File(far, "f", 1000);
        t.layout.DiskTreeMap_Relayout(true);
        nav.ZoomToRect(0, 0, 200, 150);
        nav.OnRedraw = [this] { ++redraws; };
        t.layout.OnRootPixelsDone = [this] { ++rootPasses; };
    }
};

TEST(TreemapNavigationPanTest, PanningMakesTheBoxesThatComeIntoView) {
    struct Case {
        const char* what;
        std::function<void(TreemapNavigator&)> setUp, move;
    };
    const Case cases[] = {
        {"PanBy", nullptr, [](TreemapNavigator& nav) { nav.PanBy(2000, 0); }},
        {"drag", nullptr,
         [](TreemapNavigator& nav) {
             nav.DragStart(700, 300);
             nav.DragTo(-1300, 300);
         }},
        {"scroll bar", nullptr,
         [](TreemapNavigator& nav) {
             const TScrollbarState bar = nav.HorizontalScrollbar();
             nav.ScrollbarMoved(true, bar.maximum - bar.pageSize, bar.maximum, bar.pageSize);
         }},
        {"scroll steps", nullptr,
         [](TreemapNavigator& nav) {
             for (int i = 0; i < 60; ++i) nav.ScrollStep(TScrollDirection::Right);
         }},
        {"Back",
         [](TreemapNavigator& nav) {
             nav.PanBy(2000, 0);
             nav.PushState();
             nav.PanBy(-2000, 0);
             nav.PushState();
         },
         [](TreemapNavigator& nav) { nav.Back(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SideBySide s;
        if (c.setUp) c.setUp(s.nav);
        ASSERT_FLOAT_EQ(s.t.layout.View.left, 0);
        ASSERT_NE(s.nearFile->_BoxInfo, nullptr);
        EXPECT_EQ(s.far->_BoxInfo, nullptr) << "wholly outside the view";
        EXPECT_EQ(s.farFile->_BoxInfo, nullptr);
        EXPECT_FALSE(s.t.layout.IsNodeVisible(s.far));
        EXPECT_EQ(s.t.layout.GetInnermostRectangleAt(2400, 300), s.t.root);

        c.move(s.nav);
        ASSERT_GE(s.t.layout.View.left, 2000);
        EXPECT_NE(s.farFile->_BoxInfo, nullptr);
        EXPECT_EQ(s.near->_BoxInfo, nullptr) << "now out of view, freed";
        EXPECT_EQ(s.nearFile->_BoxInfo, nullptr);
        EXPECT_EQ(s.t.layout.GetInnermostRectangleAt(2400, 300), s.farFile);
    }
}

TEST(TreemapNavigationPanTest, APanRedrawsOnceAndAZoomAroundANodeOutOfViewKeepsTheViewCentre) {
    SideBySide s;
    s.nav.PanBy(2000, 0);
    EXPECT_EQ(s.redraws, 1);
    EXPECT_EQ(s.rootPasses, 0) << "the pan's own redraw is the only one";

    // The current node lost its box with the pan.
    ASSERT_EQ(s.nearFile->_BoxInfo, nullptr);
    s.nav.CurrentNode = s.nearFile;
    s.nav.ZoomCentre = TZoomCentre::Node;
    const TViewWindow& v = s.t.layout.View;
    const double before = (v.left + 400) / s.t.root->_BoxInfo->_PixelsW;
    s.nav.ZoomTo(6, 6);
    EXPECT_NEAR(6, s.nav.ZoomX(), 1e-4);
    EXPECT_NEAR(before, (v.left + 400) / s.t.root->_BoxInfo->_PixelsW, 1e-4);
}

}  // namespace
}  // namespace tandrel
