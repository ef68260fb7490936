#include "treemap/treemap_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "support/recording_messages.h"
#include "treemap_test_tree.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TreemapTree;

struct Rect {
    double x, y, w, h;
};

void ExpectBig(const TDiskTreeMapEntry* node, Rect expected, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(node->Geometry()._BigX, expected.x, 0.01);
    EXPECT_NEAR(node->Geometry()._BigY, expected.y, 0.01);
    EXPECT_NEAR(node->Geometry()._BigW, expected.w, 0.01);
    EXPECT_NEAR(node->Geometry()._BigH, expected.h, 0.01);
}

// The eight layout fields, for exact comparisons between two layouts.
std::vector<float> Geometry(const TDiskTreeMapEntry* n) {
    return {n->Geometry()._BigX,  n->Geometry()._BigY,  n->Geometry()._BigW,  n->Geometry()._BigH,
            n->Geometry()._PercX, n->Geometry()._PercY, n->Geometry()._PercW, n->Geometry()._PercH};
}

TEST(TreemapLayoutTest, TwoChildrenSliceTheRootAcrossItsLongerSide) {
    std::vector<std::vector<float>> results;
    for (bool squarify : {false, true}) {
        SCOPED_TRACE(squarify);
        TreemapTree t(800, 600);
        TDiskTreeMapEntry* a = t.File(t.root, "a", 300);
        TDiskTreeMapEntry* b = t.File(t.root, "b", 100);
        t.layout.Squarify = squarify;
        t.layout.DiskTreeMap_Relayout(true);

        // sqrt(800/600 x 400) wide, sqrt(600/800 x 400) high.
        EXPECT_NEAR(t.root->Geometry()._BigW, 23.094, 0.001);
        EXPECT_NEAR(t.root->Geometry()._BigH, 17.3205, 0.001);
        ExpectBig(a, {0, 0, 23.094 * 0.75, 17.3205}, "a: full height, three quarters of the width");
        ExpectBig(b, {23.094 * 0.75, 0, 23.094 * 0.25, 17.3205}, "b: the remaining quarter");
        EXPECT_NEAR(a->Geometry()._PercW, 0.75, 1e-5);
        EXPECT_NEAR(b->Geometry()._PercX, 0.75, 1e-5);
        EXPECT_NEAR(b->Geometry()._PercW, 0.25, 1e-5);
        EXPECT_NEAR(b->Geometry()._PercH, 1.0, 1e-5);
        EXPECT_EQ(a->_Level, 1);
        EXPECT_EQ(t.root->_Level, 0);
        std::vector<float> both = Geometry(a);
        for (float v : Geometry(b)) both.push_back(v);
        results.push_back(both);
    }
    EXPECT_EQ(results[0], results[1]);  // two children never split
}

TEST(TreemapLayoutTest, SquarifyCutsElongatedRangesAtTheirByteMedian) {
    // Root 9000 bytes on 800 x 600: W x H = 109.54 x 82.16 units.
    const double W = std::sqrt(800.0 / 600 * 9000), H = std::sqrt(600.0 / 800 * 9000);
    struct Case {
        const char* what;
        bool squarify;
        double factor;
        std::vector<std::int64_t> sizes;  // equal sizes, so the list order stays
        std::vector<Rect> expected;
    };
    const std::vector<Case> cases = {
        // The first slice would be 36.5 x 82.2: the running sum reaches half
        // at the second child, so the first child alone is one group and
        // the other two share the rest.
        {"three, cut",
         true,
         1.0,
         {3000, 3000, 3000},
         {{0, 0, W / 3, H}, {W / 3, 0, W * 2 / 3, H / 2}, {W / 3, H / 2, W * 2 / 3, H / 2}}},
        // Five: the first two children form one group (2 x 1800 < 4500).
        {"five, cut",
         true,
         1.0,
         {1800, 1800, 1800, 1800, 1800},
         {{0, 0, 0.4 * W, H / 2},
          {0, H / 2, 0.4 * W, H / 2},
          {0.4 * W, 0, 0.6 * W, H / 3},
          {0.4 * W, H / 3, 0.3 * W, H * 2 / 3},
          {0.7 * W, H / 3, 0.3 * W, H * 2 / 3}}},
        // Plain slices across the longer side of what is left.
        {"five, switch off",
         false,
         1.0,
         {1800, 1800, 1800, 1800, 1800},
         {{0, 0, 0.2 * W, H},
          {0.2 * W, 0, 0.2 * W, H},
          {0.4 * W, 0, 0.6 * W, H / 3},
          {0.4 * W, H / 3, 0.3 * W, H * 2 / 3},
          {0.7 * W, H / 3, 0.3 * W, H * 2 / 3}}},
        // Slices up to 4:1 are accepted: the first (21.9 x 82.2) is not cut.
        {"five, factor 4",
         true,
         4.0,
         {1800, 1800, 1800, 1800, 1800},
         {{0, 0, 0.2 * W, H},
          {0.2 * W, 0, 0.2 * W, H},
          {0.4 * W, 0, 0.6 * W, H / 3},
          {0.4 * W, H / 3, 0.3 * W, H * 2 / 3},
          {0.7 * W, H / 3, 0.3 * W, H * 2 / 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TreemapTree t(800, 600);
        std::vector<TDiskTreeMapEntry*> kids;
        for (std::size_t i = 0; i < c.sizes.size(); ++i)
            kids.push_back(t.File(t.root, std::string(1, static_cast<char>('z' - i)), c.sizes[i]));
        t.layout.Squarify = c.squarify;
        t.layout.SquarifyFactor = c.factor;
        t.layout.DiskTreeMap_Relayout(true);
        ASSERT_EQ(t.root->ChildrenEntries, kids);
        for (std::size_t i = 0; i < kids.size(); ++i) ExpectBig(kids[i], c.expected[i], kids[i]->Name.str().c_str());
        EXPECT_EQ(t.layout.SplitDepth, 0);
    }
}

TEST(TreemapLayoutTest, ChildrenSmallerThanTheirFolderShareOnlyTheirPartOfIt) {
    // The folder (the root, 400 bytes) holds one child of fewer bytes: the
    // child's region is a square at the corner, or a strip over the full
    // width or height when the square does not fit.
    struct Case {
        int surfaceW, surfaceH;
        std::int64_t childBytes;
        double w, h;
        const char* what;
    };
    const double wide = std::sqrt(800.0 / 600 * 400), narrow = std::sqrt(600.0 / 800 * 400);
    const Case cases[] = {
        {800, 600, 100, 10, 10, "square"},
        {800, 600, 350, 350 / narrow, narrow, "full-height strip"},
        {600, 800, 350, narrow, 350 / narrow, "full-width strip"},
        {800, 600, 400, wide, narrow, "all of it"},
        {800, 600, 1000, wide, narrow, "more than the folder: kept inside it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TreemapTree t(c.surfaceW, c.surfaceH);
        TDiskTreeMapEntry* child = t.File(t.root, "x", c.childBytes);
        t.root->SizeTotal = 400;
        t.layout.DiskTreeMap_Relayout(true);
        ExpectBig(child, {0, 0, c.w, c.h}, c.what);
        EXPECT_NEAR(static_cast<double>(child->Geometry()._BigW) * child->Geometry()._BigH,
                    std::min<double>(c.childBytes, 400), 0.05);
    }
}

TEST(TreemapLayoutTest, ZeroSizeNodesEndWithoutGeometryOrBoxes) {
    TreemapTree t(800, 600);
    TDiskTreeMapEntry* a = t.File(t.root, "a", 100);
    TDiskTreeMapEntry* empty = t.Folder(t.root, "empty");
    TDiskTreeMapEntry* inside = t.File(empty, "inside", 0);
    for (TDiskTreeMapEntry* n : {empty, inside}) {
        n->PlaceGeometry()._BigX = 1, n->PlaceGeometry()._BigY = 2, n->PlaceGeometry()._BigW = 3,
        n->PlaceGeometry()._BigH = 4;
        n->PlaceGeometry()._PercX = 0.1f, n->PlaceGeometry()._PercY = 0.2f, n->PlaceGeometry()._PercW = 0.3f,
        n->PlaceGeometry()._PercH = 0.4f;
        n->_BoxInfo = std::make_unique<TBoxInfo>();
        n->_BoxInfo->_PixelsW = n->_BoxInfo->_PixelsH = 50;
    }
    t.layout.DiskTreeMap_Relayout(true);
    EXPECT_EQ(Geometry(empty), std::vector<float>(8, 0.0f));
    EXPECT_EQ(empty->_BoxInfo, nullptr);
    // Never reached below a folder of size 0: no box, and the flags are kept
    // for the layout that first shows it.
    EXPECT_EQ(inside->_BoxInfo, nullptr);
    EXPECT_TRUE(empty->_Modified);
    EXPECT_TRUE(inside->_Modified);
    EXPECT_NE(a->_BoxInfo, nullptr);
}

TEST(TreemapLayoutTest, ChildThatNoLongerGetsAPlaceLosesItsOldRectangle) {
    TreemapTree t(800, 600);
    TDiskTreeMapEntry* a = t.File(t.root, "a", 1000000);
    TDiskTreeMapEntry* b = t.File(t.root, "b", 1000000);
    t.layout.DiskTreeMap_Relayout(true);
    ASSERT_NE(b->_BoxInfo, nullptr);
    ASSERT_GT(b->Geometry()._PercW, 0.4);

    // b shrinks to a sliver under one layout unit wide.
    b->SizeTotal = 1;
    b->IncreaseSizeOfParents(1 - 1000000);
    t.layout.DiskTreeMap_Relayout(true);
    EXPECT_EQ(Geometry(b), std::vector<float>(8, 0.0f));
    EXPECT_EQ(b->_BoxInfo, nullptr);
    EXPECT_NEAR(a->Geometry()._PercW, 1.0, 1e-5);
    EXPECT_EQ(t.layout.GetInnermostRectangleAt(700, 300), a);
}

TEST(TreemapLayoutTest, ChildrenAreSortedOnlyWhereModifiedAndTheFlagIsCleared) {
    TreemapTree t(800, 600);
    TDiskTreeMapEntry* d = t.Folder(t.root, "d");
    TDiskTreeMapEntry* alpha = t.File(t.root, "alpha", 5000);
    TDiskTreeMapEntry* beta = t.File(t.root, "Beta", 5000);
    TDiskTreeMapEntry* small = t.File(d, "small", 1000);
    TDiskTreeMapEntry* big = t.File(d, "big", 2000);
    d->_Modified = false;  // its children changed without the flag: left as they are
    t.layout.DiskTreeMap_Relayout(true);
    EXPECT_EQ(t.root->ChildrenEntries, (std::vector<TDiskTreeMapEntry*>{beta, alpha, d}));
    EXPECT_EQ(d->ChildrenEntries, (std::vector<TDiskTreeMapEntry*>{small, big}));
    t.model.DiskTreeMapEntries.ForEach([](TDiskTreeMapEntry& n) { EXPECT_FALSE(n._Modified) << n.Name; });
}

TEST(TreemapLayoutTest, FoldersOutOfViewArePlacedWhenReachedAsAWholePassWouldPlaceThem) {
    TreemapTree t(800, 600);
    TDiskTreeMapEntry* left = t.Folder(t.root, "left");
    TDiskTreeMapEntry* right = t.Folder(t.root, "right");
    std::vector<TDiskTreeMapEntry*> files;
    for (int i = 1; i <= 6; ++i) {
        files.push_back(t.File(left, "l" + std::to_string(i), 1000 * i + 1));
        files.push_back(t.File(right, "r" + std::to_string(i), 1000 * i));
    }
    // Zoomed 3x onto the left third: "right" is out of view.
    t.layout.DiskTreeMap_Relayout(true);
    t.root->_BoxInfo->_PixelsW = 2400;
    t.root->_BoxInfo->_PixelsH = 1800;
    t.layout.View = TViewWindow{0, 0, 800, 600};
    files.push_back(t.File(right, "r0", 500));
    std::swap(right->ChildrenEntries.front(), right->ChildrenEntries.back());  // out of order
    t.layout.DiskTreeMap_Relayout(false);
    ASSERT_GT(right->Geometry()._BigX, left->Geometry()._BigX);
    EXPECT_EQ(right->_BoxInfo, nullptr);
    EXPECT_NE(right->_LayoutGen, t.layout.Generation());  // not placed yet
    EXPECT_TRUE(right->_Modified);                        // nor sorted

    // Panning there places it; so does asking for a node's position.
    t.layout.View = TViewWindow{1600, 0, 2400, 600};
    t.layout.DiskTreeMap_CalcViewPixels();
    ASSERT_NE(right->_BoxInfo, nullptr);
    EXPECT_EQ(right->_LayoutGen, t.layout.Generation());
    t.layout.DiskTreeMap_Relayout(false);  // a new layout: placed again only where reached
    EXPECT_NE(left->_LayoutGen, t.layout.Generation());
    t.layout.PlaceAncestors(files[0]);
    EXPECT_EQ(left->_LayoutGen, t.layout.Generation());

    std::vector<std::vector<float>> lazy;
    for (TDiskTreeMapEntry* f : files) lazy.push_back(Geometry(f));
    EXPECT_EQ(right->ChildrenEntries.front()->Name, "r6");
    t.layout.DiskTreeMap_LayoutTree();
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(Geometry(files[i]), lazy[i]) << files[i]->Name;
}

TEST(TreemapLayoutTest, MedianSplitNeverLeavesTheFirstGroupEmpty) {
    struct Case {
        std::vector<std::int64_t> sizes;
        int from, to, expected;
    };
    const Case cases[] = {
        {{10, 1, 1}, 0, 2, 1},          // the first child alone passes half: still index 1
        {{4, 4, 4, 4}, 0, 3, 1},        // half = 8 is reached at the second child
        {{5, 4, 3, 2, 1}, 0, 4, 1},     // half = 7: 5, 9
        {{3, 3, 3, 3, 3}, 1, 4, 2},     // a sub-range: half = 6 reached at index 2
        {{1, 1, 1, 1, 1, 1}, 0, 5, 2},  // half = 3 reached at index 2
        {{0, 0, 0}, 0, 2, 1},           // nothing to share: the first child alone
        {{7}, 0, 0, 1},                 // one child: the second group is empty
        {{5, 5}, 1, 1, 2},
    };
    for (const Case& c : cases) {
        TreemapTree t;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) t.File(t.root, "f" + std::to_string(i), c.sizes[i]);
        EXPECT_EQ(FindMiddleChildrenIdxBasedOnSize(*t.root, c.from, c.to), c.expected)
            << "range " << c.from << ".." << c.to << " of " << c.sizes.size();
    }
}

TEST(TreemapLayoutTest, EmptyMedianRangeIsReportedOnce) {
    RecordingMessages messages;
    TreemapTree t;
    for (int i = 0; i < 4; ++i) t.File(t.root, "f" + std::to_string(i), 10);
    EXPECT_EQ(FindMiddleChildrenIdxBasedOnSize(*t.root, 3, 2), -1);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"undefined value in FindMiddleChildrenIdxBasedOnSize"});
}

TEST(TreemapLayoutTest, BytesUsedUpBeforeALaterChildAreReportedOnceAndTheRestIsLeftOut) {
    // Inconsistent sizes (a negative child): the first child takes the whole
    // region, yet another with bytes follows.
    RecordingMessages messages;
    TreemapTree t(800, 600);
    TDiskTreeMapEntry* d = t.Folder(t.root, "d");
    TDiskTreeMapEntry* inner = t.File(d, "inner", 5);
    TDiskTreeMapEntry* late = t.File(t.root, "late", 3);
    TDiskTreeMapEntry* negative = t.File(t.root, "negative", -3);
    late->PlaceGeometry()._BigW = late->PlaceGeometry()._BigH = late->PlaceGeometry()._PercW =
        late->PlaceGeometry()._PercH = 0.5f;
    t.layout.Squarify = false;
    t.layout.DiskTreeMap_Relayout(true);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"parent_size_REMAINING=0"});
    EXPECT_NEAR(d->Geometry()._PercW, 1.0, 1e-5);
    EXPECT_EQ(Geometry(late), std::vector<float>(8, 0.0f));
    EXPECT_EQ(Geometry(negative), std::vector<float>(8, 0.0f));
    EXPECT_EQ(late->_BoxInfo, nullptr);
    EXPECT_NEAR(inner->Geometry()._PercW, 1.0, 1e-5);  // the layout went on below
}

TEST(TreemapLayoutTest, StepOfACollapsedNodeIsReportedOnceAndAbandoned) {
    // A sub-step handed a region by its caller while the node's own width is
    // 0: nothing is divided by it, and its children are not descended into.
    RecordingMessages messages;
    TreemapTree t(800, 600);
    TDiskTreeMapEntry* d = t.Folder(t.root, "d");
    TDiskTreeMapEntry* e = t.Folder(d, "e");
    TDiskTreeMapEntry* f = t.File(e, "f", 100);
    d->PlaceGeometry()._BigW = 0;
    d->PlaceGeometry()._BigH = 10;
    f->PlaceGeometry()._BigW = 42;
    t.layout.SplitDepth = 1;
    t.layout.DiskTreeMap_LayoutNode(d, TLayoutRange{0, 0, 10, 10, 0, 0, 100});
    EXPECT_EQ(messages.shown, std::vector<std::string>{"thisNode._big_w/h = 0"});
    EXPECT_EQ(t.layout.SplitDepth, 1);
    EXPECT_EQ(f->Geometry()._BigW, 42);  // older geometry kept below
    EXPECT_TRUE(e->_Modified);

    // A whole layout afterwards starts from a clean state.
    messages.shown.clear();
    t.layout.DiskTreeMap_Relayout(true);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(t.layout.SplitDepth, 0);
    EXPECT_NEAR(f->Geometry()._PercW, 1.0, 1e-5);
}

TEST(TreemapLayoutTest, RelayoutResetsTheViewAndCallsTheHookOncePerRootPass) {
    TreemapTree t(640, 480);
    TDiskTreeMapEntry* d = t.Folder(t.root, "d");
    t.File(d, "x", 1000);
    t.File(t.root, "y", 500);
    int calls = 0;
    t.layout.OnRootPixelsDone = [&] { ++calls; };
    t.layout.DiskTreeMap_Relayout(true);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(t.layout.CanvasWidth(), 640);
    EXPECT_EQ(t.layout.CanvasHeight(), 480);
    EXPECT_EQ(t.layout.View.left, 0);
    EXPECT_EQ(t.layout.View.right, 640);
    EXPECT_EQ(t.layout.View.bottom, 480);
    EXPECT_GE(t.layout.LayoutTreeMs, 0);
    EXPECT_GE(t.layout.RelayoutMs, t.layout.LayoutTreeMs);

    // A zoomed view survives a relayout without reset: the boxes follow the canvas.
    const float dWidth = d->_BoxInfo->_PixelsW;
    t.root->_BoxInfo->_PixelsW = 1280;
    t.root->_BoxInfo->_PixelsH = 960;
    t.layout.View = TViewWindow{320, 240, 960, 720};
    t.layout.DiskTreeMap_Relayout(false);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(t.layout.View.left, 320);
    EXPECT_NEAR(d->_BoxInfo->_PixelsW + 1, (dWidth + 1) * 1270 / 630, 0.01);

    t.layout.DiskTreeMap_CalcPixels(d, true);  // a subtree: no redraw
    EXPECT_EQ(calls, 2);
}

TEST(TreemapLayoutTest, EmptyOrFlatSurfacesLayOutNothingAndStillRedraw) {
    struct Case {
        int w, h;
        bool withChildren;
    };
    for (const Case& c : {Case{800, 600, false}, Case{800, 0, true}, Case{0, 600, true}, Case{0, 0, true}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        TreemapTree t(c.w, c.h);
        TDiskTreeMapEntry* f = c.withChildren ? t.File(t.root, "f", 10) : nullptr;
        if (f) f->_BoxInfo = std::make_unique<TBoxInfo>();  // from an earlier, larger surface
        int calls = 0;
        t.layout.OnRootPixelsDone = [&] { ++calls; };
        t.layout.DiskTreeMap_Relayout(true);
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(std::isnan(t.root->Geometry()._BigW));
        if (f) {
            EXPECT_EQ(Geometry(f), std::vector<float>(8, 0.0f));
            EXPECT_EQ(f->_BoxInfo, nullptr);
        }
    }
}

TEST(TreemapLayoutTest, RelayoutsAndHitTestsWhileTheScanAddsNodes) {
    // The scan job adds nodes under the model lock while the window lays
    // out and hit-tests: every pass must see a whole tree.
    TreemapTree t(1024, 768);
    std::vector<TDiskTreeMapEntry*> folders{t.Folder(t.root, "a"), t.Folder(t.root, "b")};
    folders.push_back(t.Folder(folders[0], "c"));
    std::atomic<bool> done{false};
    std::thread scanner([&] {
        for (int i = 0; i < 20000; ++i) {
            std::lock_guard<std::recursive_mutex> lock(t.model.csTreemap);
            if (i % 500 == 0) folders.push_back(t.Folder(folders[i % folders.size()], "d" + std::to_string(i)));
            t.File(folders[(i * 7) % folders.size()], "f" + std::to_string(i), 1000 + i % 5000);
        }
        done = true;
    });
    int passes = 0;
    while (!done || passes == 0) {
        t.layout.DiskTreeMap_Relayout(true);
        EXPECT_NE(t.layout.GetInnermostRectangleAt(512, 400), nullptr);
        ++passes;
    }
    scanner.join();
    t.layout.DiskTreeMap_Relayout(true);
    std::int64_t placedBytes = 0;
    for (const TDiskTreeMapEntry* c : t.root->ChildrenEntries) placedBytes += c->SizeTotal;
    EXPECT_EQ(placedBytes, t.root->SizeTotal);
    EXPECT_NEAR(static_cast<double>(folders[0]->Geometry()._BigW) * folders[0]->Geometry()._BigH,
                static_cast<double>(folders[0]->SizeTotal), folders[0]->SizeTotal * 1e-3);
}

// Random trees of consistent sizes: every placed child has the area of its
// bytes, lies inside its parent and overlaps no sibling; every box lies
// inside its parent's box.
TEST(TreemapLayoutTest, RandomTreesKeepAreasContainmentAndBoxNesting) {
    for (bool squarify : {true, false}) {
        for (unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(::testing::Message() << "squarify " << squarify << " seed " << seed);
            TreemapTree t(1280, 720);
            std::mt19937 rng(seed);
            std::function<void(TDiskTreeMapEntry*, int)> grow = [&](TDiskTreeMapEntry* folder, int depth) {
                const int files = 2 + static_cast<int>(rng() % 11);
                for (int i = 0; i < files; ++i)
                    t.File(folder, "f" + std::to_string(i), 100000 + static_cast<std::int64_t>(rng() % 900000));
                if (depth < 3) {
                    const int folders = 1 + static_cast<int>(rng() % 3);
                    for (int i = 0; i < folders; ++i) grow(t.Folder(folder, "d" + std::to_string(i)), depth + 1);
                }
            };
            grow(t.root, 0);
            t.layout.Squarify = squarify;
            t.layout.SquarifyFactor = 1.0;
            t.layout.DiskTreeMap_Relayout(true);

            int placed = 0, boxed = 0;
            std::function<void(TDiskTreeMapEntry*, int)> check = [&](TDiskTreeMapEntry* node, int level) {
                const auto& kids = node->ChildrenEntries;
                for (std::size_t i = 0; i < kids.size(); ++i) {
                    const TDiskTreeMapEntry* c = kids[i];
                    ASSERT_GT(c->Geometry()._BigW, 0) << c->Name;  // sizes like these are all placed
                    ++placed;
                    EXPECT_EQ(c->_Level, level);
                    const double area = static_cast<double>(c->Geometry()._BigW) * c->Geometry()._BigH;
                    EXPECT_NEAR(area / static_cast<double>(c->SizeTotal), 1.0, 2e-3) << c->Name;
                    EXPECT_GE(c->Geometry()._BigX, -0.01);
                    EXPECT_GE(c->Geometry()._BigY, -0.01);
                    EXPECT_LE(c->Geometry()._BigX + c->Geometry()._BigW, node->Geometry()._BigW * 1.0001 + 0.01);
                    EXPECT_LE(c->Geometry()._BigY + c->Geometry()._BigH, node->Geometry()._BigH * 1.0001 + 0.01);
                    for (std::size_t j = i + 1; j < kids.size(); ++j) {
                        const TDiskTreeMapEntry* o = kids[j];
                        const double ox = std::min(c->Geometry()._BigX + c->Geometry()._BigW,
                                                   o->Geometry()._BigX + o->Geometry()._BigW) -
                                          std::max(c->Geometry()._BigX, o->Geometry()._BigX);
                        const double oy = std::min(c->Geometry()._BigY + c->Geometry()._BigH,
                                                   o->Geometry()._BigY + o->Geometry()._BigH) -
                                          std::max(c->Geometry()._BigY, o->Geometry()._BigY);
                        EXPECT_FALSE(ox > 0.01 && oy > 0.01) << c->Name << " overlaps " << o->Name;
                    }
                    if (c->_BoxInfo) {
                        ++boxed;
                        ASSERT_NE(node->_BoxInfo, nullptr);
                        const TRect& r = c->_BoxInfo->_AbsRect;
                        const TRect& p = node->_BoxInfo->_AbsRect;
                        EXPECT_TRUE(r.Left >= p.Left && r.Top >= p.Top && r.Right <= p.Right && r.Bottom <= p.Bottom)
                            << c->Name << " box outside its parent's";
                        EXPECT_GE(c->_BoxInfo->_PixelsW, 5);
                        EXPECT_GE(c->_BoxInfo->_PixelsH, 5);
                    }
                    check(kids[i], level + 1);
                }
            };
            check(t.root, 1);
            EXPECT_GT(placed, 20);
            EXPECT_GT(boxed, 5);
        }
    }
}

}  // namespace
}  // namespace tandrel
