#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "treemap/treemap_geometry.h"
#include "treemap/treemap_layout.h"
#include "treemap_test_tree.h"

namespace tandrel {
namespace {

using testing::TreemapTree;

TEST(TreemapPixelsTest, BoxesNarrowerOrLowerThanFivePixelsAreFreed) {
    // Canvas 110 x 125: an inner area of exactly 100 x 100 pixels.
    struct Case {
        float percW, percH;
        bool boxed;
    };
    const Case cases[] = {
        {0.059f, 0.5f, false},  // 4.9 pixels wide after the gap
        {0.06f, 0.5f, true},    // 5.0
        {0.5f, 0.059f, false},
        {0.5f, 0.06f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.percW << " x " << c.percH);
        TreemapTree t;
        TDiskTreeMapEntry* child = t.Folder(t.root, "child");
        TDiskTreeMapEntry* grandchild = t.File(child, "grandchild", 1);
        child->PlaceGeometry()._PercX = 0.25f;
        child->PlaceGeometry()._PercY = 0.5f;
        child->PlaceGeometry()._PercW = c.percW;
        child->PlaceGeometry()._PercH = c.percH;
        // Both had boxes while the canvas was larger.
        child->_BoxInfo = std::make_unique<TBoxInfo>();
        grandchild->_BoxInfo = std::make_unique<TBoxInfo>();
        t.root->_BoxInfo->_PixelsW = 110;
        t.root->_BoxInfo->_PixelsH = 125;
        t.layout.View = TViewWindow{0, 0, 110, 125};
        t.MarkPlaced();
        t.layout.DiskTreeMap_CalcPixels(t.root, true);

        EXPECT_EQ(child->_BoxInfo != nullptr, c.boxed);
        if (c.boxed) {
            const TBoxInfo& box = *child->_BoxInfo;
            EXPECT_FLOAT_EQ(box._PixelsX, 25);
            EXPECT_FLOAT_EQ(box._PixelsY, 50);
            EXPECT_FLOAT_EQ(std::min(box._PixelsW, box._PixelsH), 5);
            EXPECT_EQ(box._AbsRect.Left, 30);  // 0 + 5 + 25
            EXPECT_EQ(box._AbsRect.Top, 70);   // 0 + 20 + 50
            EXPECT_EQ(box._BoxPixelsX, 5);
            EXPECT_EQ(box._BoxPixelsY, 20);
            EXPECT_FLOAT_EQ(box._BoxPixelsW, box._PixelsW - 10);
            EXPECT_FLOAT_EQ(box._BoxPixelsH, box._PixelsH - 25);
        } else {
            EXPECT_EQ(grandchild->_BoxInfo, nullptr);  // nothing below a freed box keeps one
        }
    }
}

// root 4,000,000 bytes on 800 x 600: folder d (left half) holds "big" and
// "tiny", whose strip is under 2 pixels high; file e ("a") is the right half.
//   root box (0,0)-(800,600), inner area 790 x 575 from (5,20)
//   d    (5,20)-(399,594)    inner area 384 x 549 from (10,40)
//   big  (10,40), 383 x 545.3
//   e    (400,20)-(794,594)
struct HitTree : TreemapTree {
    TDiskTreeMapEntry *d, *big, *tiny, *e;
    HitTree() : TreemapTree(800, 600) {
        d = Folder(root, "d");
        big = File(d, "big", 1990000);
        tiny = File(d, "tiny", 10000);
        e = File(root, "a", 2000000);  // as large as d: the name puts it second
        layout.DiskTreeMap_Relayout(true);
    }
};

TEST(TreemapPixelsTest, BoxesKeepMarginsCaptionStripAndGapsInWholePixels) {
    HitTree t;
    ASSERT_NE(t.d->_BoxInfo, nullptr);
    ASSERT_NE(t.big->_BoxInfo, nullptr);
    ASSERT_NE(t.e->_BoxInfo, nullptr);
    EXPECT_EQ(t.tiny->_BoxInfo, nullptr);
    EXPECT_GT(t.tiny->Geometry()._BigH, 1);  // placed in layout units, only too small to draw

    const TRect& rd = t.d->_BoxInfo->_AbsRect;
    EXPECT_EQ((std::vector<int>{rd.Left, rd.Top, rd.Right, rd.Bottom}), (std::vector<int>{5, 20, 399, 594}));
    const TRect& re = t.e->_BoxInfo->_AbsRect;
    EXPECT_EQ((std::vector<int>{re.Left, re.Top, re.Right, re.Bottom}), (std::vector<int>{400, 20, 794, 594}));
    const TRect& rb = t.big->_BoxInfo->_AbsRect;
    EXPECT_EQ(rb.Left, 10);
    EXPECT_EQ(rb.Top, 40);
    EXPECT_NEAR(t.big->_BoxInfo->_PixelsW, 383, 1e-3);
    EXPECT_NEAR(t.big->_BoxInfo->_PixelsH, 0.995 * 549 - 1, 1e-2);
    const TRect& rr = t.root->_BoxInfo->_AbsRect;
    EXPECT_EQ((std::vector<int>{rr.Left, rr.Top, rr.Right, rr.Bottom}), (std::vector<int>{0, 0, 800, 600}));
}

TEST(TreemapPixelsTest, HitTestFindsTheInnermostBoxAndItsFrameBelongsToTheFolder) {
    HitTree t;
    struct Case {
        float x, y;
        TDiskTreeMapEntry* expected;
        const char* what;
    };
    const Case cases[] = {
        {200, 300, t.big, "inside big"},
        {600, 300, t.e, "inside e"},
        {200, 30, t.d, "d's caption strip"},
        {7, 300, t.d, "d's left margin"},
        {396, 300, t.d, "d's right margin"},
        {200, 592, t.d, "d's bottom margin"},
        {393.5f, 300, t.d, "gap right of big"},
        {200, 585.6f, t.d, "gap below big"},
        {200, 587.5f, t.d, "inside tiny, whose box was freed"},
        {10, 40, t.big, "big's corner (edges count)"},
        {399.5f, 300, t.root, "gap between d and e"},
        {400, 10, t.root, "root's caption strip"},
        {400, 597, t.root, "root's bottom margin"},
        {800, 600, t.root, "root's far corner"},
        {800.5f, 300, nullptr, "right of the canvas"},
        {-0.5f, 300, nullptr, "left of the canvas"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(t.layout.GetInnermostRectangleAt(c.x, c.y), c.expected) << c.what;
    }
    EXPECT_EQ(GetInnermostRectangleAt(t.tiny, 200, 587.5f), nullptr);  // no box, no hit
}

TEST(TreemapPixelsTest, AbsolutePositionsAgreeWhetherFromBoxesOrSummedUp) {
    HitTree t;
    for (TDiskTreeMapEntry* n : {t.d, t.big, t.e}) {
        SCOPED_TRACE(n->Name);
        EXPECT_EQ(CalcNodeAbsoluteX_in_px(n), static_cast<float>(n->_BoxInfo->_AbsRect.Left));
        EXPECT_EQ(CalcNodeAbsoluteY_in_px(n), static_cast<float>(n->_BoxInfo->_AbsRect.Top));
        EXPECT_NEAR(CalcNodeAbsoluteX_in_px_even_if_invisible(n), CalcNodeAbsoluteX_in_px(n), 0.5);
        EXPECT_NEAR(CalcNodeAbsoluteY_in_px_even_if_invisible(n), CalcNodeAbsoluteY_in_px(n), 0.5);
    }
    EXPECT_EQ(CalcNodeAbsoluteX_in_px(t.root), 0);
    EXPECT_EQ(CalcNodeAbsoluteX_in_px_even_if_invisible(t.root), 0);
    EXPECT_EQ(CalcNodeAbsoluteX_in_px(t.tiny), 0);
    EXPECT_EQ(CalcNodeAbsoluteX_in_px(nullptr), 0);
    EXPECT_EQ(CalcNodeAbsoluteY_in_px_even_if_invisible(nullptr), 0);

    // Layout units: the corner summed over the ancestors.
    EXPECT_NEAR(CalcNodeAbsoluteX_in_pp(t.e), t.root->Geometry()._BigW / 2, 0.01);
    EXPECT_NEAR(CalcNodeAbsoluteY_in_pp(t.tiny), t.d->Geometry()._BigY + t.tiny->Geometry()._BigY, 1e-3);
    EXPECT_NEAR(CalcNodeAbsoluteY_in_pp(t.tiny), t.root->Geometry()._BigH * 0.995, 0.01);
}

TEST(TreemapPixelsTest, VisibleMeansTheBoxCentreIsStrictlyInsideTheView) {
    HitTree t;
    EXPECT_TRUE(t.layout.IsNodeVisible(t.d));
    EXPECT_TRUE(t.layout.IsNodeVisible(t.e));
    EXPECT_FALSE(t.layout.IsNodeVisible(t.tiny));  // no box
    EXPECT_FALSE(t.layout.IsNodeVisible(nullptr));

    // Zoomed 2x, the view on the right half of the canvas.
    t.root->_BoxInfo->_PixelsW = 1600;
    t.root->_BoxInfo->_PixelsH = 1200;
    t.layout.View = TViewWindow{800, 0, 1600, 600};
    t.layout.DiskTreeMap_CalcPixels(t.root, true);
    // e's centre: 5 + 795 + (0.5 x 1590 - 1) / 2 = 1197, 20 + (1175 - 1) / 2 = 607.
    EXPECT_FALSE(t.layout.IsNodeVisible(t.e));  // below the view's bottom edge
    t.layout.View = TViewWindow{800, 300, 1600, 900};
    EXPECT_TRUE(t.layout.IsNodeVisible(t.e));
    EXPECT_FALSE(t.layout.IsNodeVisible(t.d));
    const float centreX = CalcNodeAbsoluteX_in_px_even_if_invisible(t.e) + t.e->_BoxInfo->_PixelsW / 2;
    EXPECT_NEAR(centreX, 1197, 0.01);
    t.layout.View = TViewWindow{centreX, 300, 1600, 900};  // the centre on the edge: not inside
    EXPECT_FALSE(t.layout.IsNodeVisible(t.e));
    t.layout.View = TViewWindow{centreX - 0.01f, 300, 1600, 900};
    EXPECT_TRUE(t.layout.IsNodeVisible(t.e));
}

TEST(TreemapPixelsTest, CanvasBeyondTheIntegerRangeSaturatesInsteadOfOverflowing) {
    HitTree t;
    t.root->_BoxInfo->_PixelsW = 1e12f;
    t.root->_BoxInfo->_PixelsH = 1e12f;
    t.layout.DiskTreeMap_CalcPixels(t.root, true);
    EXPECT_EQ(t.root->_BoxInfo->_AbsRect.Right, INT_MAX);
    ASSERT_NE(t.big->_BoxInfo, nullptr);
    EXPECT_EQ(t.big->_BoxInfo->_AbsRect.Right, INT_MAX);
    EXPECT_EQ(t.e->_BoxInfo, nullptr);  // far right of the view
    EXPECT_EQ(t.layout.GetInnermostRectangleAt(100, 100), t.big);

    // The view far out on the canvas: e's corner saturates too, and it is
    // boxed, since its box reaches into the view.
    t.layout.View = TViewWindow{6e11f, 100, 6e11f + 800, 700};
    t.layout.DiskTreeMap_CalcPixels(t.root, true);
    ASSERT_NE(t.e->_BoxInfo, nullptr);
    EXPECT_EQ(t.e->_BoxInfo->_AbsRect.Left, INT_MAX);
}

}  // namespace
}  // namespace tandrel
