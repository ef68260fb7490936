#include "gui/disk/treemap_painter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <initializer_list>
#include <stdexcept>

#include "common/command_line.h"
#include "common/date_time.h"
#include "gui/disk/treemap_surface.h"
#include "support/recording_messages.h"

namespace tandrel {
namespace {

constexpr int W = 400, H = 300;
constexpr QRgb kGrey = 0xFF808080;

QRgb Level(int scheme, int level) { return TreemapLevelColor(scheme, level); }

class TreemapPainterTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = Add(nullptr, EntryType_Root, "/data", 0, {0, 0, W, H});
        painter.SizeBitmap(W, H);
        painter.SetViewWindow({0, 0, W, H});
    }

    // A node with its box filled in by hand, as the pixel pass would leave it.
    TDiskTreeMapEntry* Add(TDiskTreeMapEntry* parent, TEntryType type, const std::string& name, int level, TRect abs) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries.Add();
        node->EntryType = type;
        node->Name = name;
        node->_Level = level;
        node->SizeTotal = 1000;
        node->DateM = EncodeDateTime(2013, 6, 26, 13, 47, 44, 0);
        node->ParentNodeIdx = parent;
        node->_BoxInfo = std::make_unique<TBoxInfo>();
        node->_BoxInfo->_AbsRect = abs;
        node->_BoxInfo->_PixelsW = static_cast<float>(abs.Right - abs.Left);
        node->_BoxInfo->_PixelsH = static_cast<float>(abs.Bottom - abs.Top);
        if (parent) parent->ChildrenEntries.push_back(node);
        return node;
    }
    TDiskTreeMapEntry* Folder(TDiskTreeMapEntry* parent, const std::string& name, TRect abs) {
        return Add(parent, EntryType_Directory, name, parent->_Level + 1, abs);
    }
    TDiskTreeMapEntry* File(TDiskTreeMapEntry* parent, const std::string& name, TRect abs) {
        return Add(parent, EntryType_File, name, parent->_Level + 1, abs);
    }

    void Draw() { painter.DiskTreeMap_UpdateScreen(); }
    QRgb Pixel(int x, int y) const { return painter.Image().pixel(x, y); }
    // Pixels of the rectangle [left, right) x [top, bottom) in none of the colours given.
    int OtherPixels(TRect area, std::initializer_list<QRgb> colours) const {
        int count = 0;
        for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, H); ++y)
            for (int x = std::max(area.Left, 0); x < std::min(area.Right, W); ++x)
                if (std::find(colours.begin(), colours.end(), Pixel(x, y)) == colours.end()) ++count;
        return count;
    }
    // Only the outline on the box's edge and the fill inside it.
    void ExpectPlainBox(TRect r, QRgb fill) const {
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                const bool edge = x == r.Left || y == r.Top || x == r.Right - 1 || y == r.Bottom - 1;
                ASSERT_EQ(Pixel(x, y), edge ? TTreemapPainter::kOutlineColor : fill) << x << "," << y;
            }
    }
    // Columns holding pixels of neither colour, from the first to the last (-1, -1 when none).
    std::pair<int, int> InkColumns(TRect area, QRgb fill) const {
        std::pair<int, int> span{-1, -1};
        for (int x = area.Left; x < area.Right; ++x)
            for (int y = area.Top; y < area.Bottom; ++y)
                if (Pixel(x, y) != fill && Pixel(x, y) != TTreemapPainter::kOutlineColor) {
                    if (span.first < 0) span.first = x;
                    span.second = x;
                    break;
                }
        return span;
    }
    std::pair<int, int> InkRows(TRect area, QRgb fill) const {
        std::pair<int, int> span{-1, -1};
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                if (Pixel(x, y) != fill && Pixel(x, y) != TTreemapPainter::kOutlineColor) {
                    if (span.first < 0) span.first = y;
                    span.second = y;
                    break;
                }
        return span;
    }

    testing::RecordingMessages messages;
    ScanModel model;
    TTreemapPainter painter{model};
    TDiskTreeMapEntry* root = nullptr;
};

TEST_F(TreemapPainterTest, SizingClearsTheBitmapOnceForEachSize) {
    TTreemapPainter fresh(model);
    EXPECT_FALSE(fresh.imageDiskTreemapInit());
    QSignalSpy changed(&fresh, &TTreemapPainter::imageChanged);
    EXPECT_TRUE(fresh.SizeBitmap(120, 80));
    EXPECT_TRUE(fresh.imageDiskTreemapInit());
    EXPECT_EQ(fresh.Image().size(), QSize(120, 80));
    EXPECT_EQ(fresh.OutlineColor(), TTreemapPainter::kOutlineColor);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst().at(0).toRect(), QRect(0, 0, 120, 80));
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) ASSERT_EQ(fresh.Image().pixel(x, y), kGrey);
    EXPECT_FALSE(fresh.SizeBitmap(120, 80));
    EXPECT_TRUE(fresh.SizeBitmap(121, 80));
    EXPECT_EQ(fresh.Image().size(), QSize(121, 80));

    SetCommandLineArgs({"/debug"});
    TTreemapPainter debug(model);
    debug.SizeBitmap(10, 10);
    SetCommandLineArgs({});
    EXPECT_EQ(debug.OutlineColor(), TTreemapPainter::kDebugOutlineColor);
}

TEST_F(TreemapPainterTest, BoxesTakeTheColourOfTheirLevelInBothSchemes) {
    // Small boxes, so no caption covers the fill.
    std::vector<TDiskTreeMapEntry*> boxes;
    const int levels[] = {1, 2, 3, 8, 9, 12};
    for (int i = 0; i < 6; ++i) {
        boxes.push_back(Add(root, EntryType_Directory, "d", levels[i], {10 + 30 * i, 10, 30 + 30 * i, 30}));
    }
    struct Case {
        int scheme;
        QRgb root, l1, l2, l3, l8, l9, l12;
    };
    const Case cases[] = {
        {0, 0xFF999999, 0xFF7777BB, 0xFFCC7777, 0xFF996699, 0xFFCC9999, 0xFF9966FF, 0xFF9966FF},
        {1, 0xFF999999, 0xFFFF9090, 0xFFFFC080, 0xFFFFFF33, 0xFF7777FF, 0xFF7777FF, 0xFF7777FF},
        // No choice in the radio group shows the default scheme.
        {-1, 0xFF999999, 0xFF7777BB, 0xFFCC7777, 0xFF996699, 0xFFCC9999, 0xFF9966FF, 0xFF9966FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scheme);
        painter.SetFolderColors(c.scheme);
        Draw();
        EXPECT_EQ(Pixel(200, 200), c.root);
        EXPECT_EQ(root->_BoxInfo->_BackColor, c.root);
        const QRgb expected[] = {c.l1, c.l2, c.l3, c.l8, c.l9, c.l12};
        for (int i = 0; i < 6; ++i) {
            ExpectPlainBox(boxes[i]->_BoxInfo->_AbsRect, expected[i]);
            EXPECT_EQ(boxes[i]->_BoxInfo->_BackColor, expected[i]);
        }
        // The root's outline runs round the whole surface.
        EXPECT_EQ(Pixel(0, 0), TTreemapPainter::kOutlineColor);
        EXPECT_EQ(Pixel(W - 1, H - 1), TTreemapPainter::kOutlineColor);
    }
}

TEST_F(TreemapPainterTest, FilesAreWhiteSelectedOrSearchHits) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {10, 10, 390, 290});
    TDiskTreeMapEntry* plain = File(folder, "plain", {20, 40, 40, 60});
    TDiskTreeMapEntry* selected = File(folder, "selected", {50, 40, 70, 60});
    TDiskTreeMapEntry* hit = File(folder, "hit", {80, 40, 100, 60});
    TDiskTreeMapEntry* selectedHit = File(folder, "both", {110, 40, 130, 60});
    hit->_SearchResult = selectedHit->_SearchResult = true;
    painter.SetSelectedFile(selected);
    Draw();
    ExpectPlainBox(plain->_BoxInfo->_AbsRect, TTreemapPainter::kFileColor);
    ExpectPlainBox(selected->_BoxInfo->_AbsRect, TTreemapPainter::kSelectedFileColor);
    ExpectPlainBox(hit->_BoxInfo->_AbsRect, TTreemapPainter::kSearchResultColor);
    ExpectPlainBox(selectedHit->_BoxInfo->_AbsRect, TTreemapPainter::kSearchResultColor);
    // Whatever its depth, a file keeps the file look.
    EXPECT_EQ(plain->_BoxInfo->_BackColor, Level(0, 2));

    painter.SetSelectedFile(selectedHit);
    Draw();
    ExpectPlainBox(selectedHit->_BoxInfo->_AbsRect, TTreemapPainter::kSelectedFileColor);
    ExpectPlainBox(selected->_BoxInfo->_AbsRect, TTreemapPainter::kFileColor);
}

TEST_F(TreemapPainterTest, FileCaptionsAreBlackOnWhiteAndWhiteOnColour) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {0, 0, 400, 300});
    TDiskTreeMapEntry* plain = File(folder, "plain.txt", {10, 30, 190, 150});
    TDiskTreeMapEntry* selected = File(folder, "selected.txt", {200, 30, 390, 150});
    painter.SetSelectedFile(selected);
    Draw();
    auto darkest = [&](TRect r) {
        int gray = 255;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x) gray = std::min(gray, qGray(Pixel(x, y)));
        return gray;
    };
    auto brightest = [&](TRect r) {
        int gray = 0;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x) gray = std::max(gray, qGray(Pixel(x, y)));
        return gray;
    };
    EXPECT_LT(darkest(plain->_BoxInfo->_AbsRect), 100);
    EXPECT_GT(brightest(selected->_BoxInfo->_AbsRect), 200);
}

TEST_F(TreemapPainterTest, SelectedFolderHasANavyFrameTwoPixelsWide) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {40, 40, 100, 70});
    TDiskTreeMapEntry* other = Folder(root, "e", {140, 40, 200, 70});
    painter.SetSelectedFolder(folder);
    Draw();
    const QRgb navy = TTreemapPainter::kSelectedFolderColor, fill = Level(0, 1);
    for (int x : {40, 41, 98, 99}) EXPECT_EQ(Pixel(x, 55), navy) << x;
    for (int y : {40, 41, 68, 69}) EXPECT_EQ(Pixel(70, y), navy) << y;
    EXPECT_EQ(Pixel(42, 55), fill);
    EXPECT_EQ(Pixel(97, 55), fill);
    EXPECT_EQ(Pixel(70, 42), fill);
    EXPECT_EQ(Pixel(70, 67), fill);
    ExpectPlainBox(other->_BoxInfo->_AbsRect, fill);

    // A file is never framed, even when named as the selected folder.
    TDiskTreeMapEntry* file = File(root, "f", {240, 40, 300, 70});
    painter.SetSelectedFolder(file);
    Draw();
    ExpectPlainBox(file->_BoxInfo->_AbsRect, TTreemapPainter::kFileColor);
    ExpectPlainBox(folder->_BoxInfo->_AbsRect, fill);
}

TEST_F(TreemapPainterTest, CaptionsNeedMoreThan15By35Pixels) {
    struct Case {
        int w, h;
        bool caption;
    };
    const Case cases[] = {{15, 60, false}, {200, 35, false}, {16, 36, true}, {200, 36, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        root->ChildrenEntries.clear();
        const TRect r{50, 50, 50 + c.w, 50 + c.h};
        Folder(root, "Caption", r);
        Draw();
        const int other = OtherPixels(r, {Level(0, 1), TTreemapPainter::kOutlineColor});
        if (c.caption) {
            // The icon at the left; the text right of it, in white.
            EXPECT_GT(OtherPixels({r.Left, r.Top, r.Left + 18, r.Top + 16}, {Level(0, 1)}), 20);
            if (c.w > 40) {
                EXPECT_GT(OtherPixels({r.Left + 20, r.Top, r.Right, r.Bottom}, {Level(0, 1)}), 20);
            }
            // Nothing of the caption spills over the box's edges.
            EXPECT_EQ(OtherPixels({r.Right, r.Top - 2, r.Right + 4, r.Bottom}, {Level(0, 0)}), 0);
            EXPECT_EQ(OtherPixels({r.Left, r.Top - 2, r.Right, r.Top}, {Level(0, 0)}), 0);
        } else {
            EXPECT_EQ(other, 0);
        }
    }
}

TEST_F(TreemapPainterTest, CaptionStaysInSightWhenTheBoxStartsBeforeTheView) {
    // Without the clamp, icon and text would lie 150 pixels off the surface.
    struct Case {
        float viewLeft, viewTop;
        TRect caption;  // where the icon and the start of the text must appear
    };
    const Case cases[] = {{150, 0, {0, 40, 100, 60}}, {0, 100, {100, 0, 200, 18}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.viewLeft);
        root->ChildrenEntries.clear();
        root->_BoxInfo->_AbsRect = {0, 0, 800, 600};
        root->_BoxInfo->_PixelsW = 800;
        root->_BoxInfo->_PixelsH = 600;
        Folder(root, "Clamped", {0, 40, 300, 200});
        if (c.viewTop > 0) {
            root->ChildrenEntries.clear();
            Folder(root, "Clamped", {100, 0, 300, 200});
        }
        painter.SetViewWindow({c.viewLeft, c.viewTop, c.viewLeft + W, c.viewTop + H});
        Draw();
        const QRgb fill = Level(0, 1);
        const TRect icon{c.caption.Left, c.caption.Top, c.caption.Left + 20, c.caption.Bottom};
        const TRect text{c.caption.Left + 20, c.caption.Top, c.caption.Right, c.caption.Bottom};
        EXPECT_GT(OtherPixels(icon, {fill, TTreemapPainter::kOutlineColor}), 20);
        EXPECT_GT(OtherPixels(text, {fill, TTreemapPainter::kOutlineColor}), 20);
        const std::pair<int, int> columns = InkColumns(text, fill);
        EXPECT_GE(columns.first, c.caption.Left + 20);
        EXPECT_LE(columns.first, c.caption.Left + 24);
    }
}

TEST_F(TreemapPainterTest, FileCaptionShowsSizeAndDateOnlyWhenTheyFit) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {0, 0, 400, 300});
    TDiskTreeMapEntry* roomy = File(folder, "roomy.txt", {10, 30, 190, 150});
    TDiskTreeMapEntry* tight = File(folder, "tight.txt", {200, 30, 390, 70});
    Draw();
    const QRgb white = TTreemapPainter::kFileColor;
    const int lineHeight = QFontMetrics(painter.CaptionFont()).height();
    // Name, size and date: three lines of ink.
    const std::pair<int, int> roomyRows = InkRows(roomy->_BoxInfo->_AbsRect, white);
    ASSERT_GE(roomyRows.first, 0);
    EXPECT_GE(roomyRows.second - roomyRows.first, 2 * 16);
    // Only the name: no block of size and date below it.
    const std::pair<int, int> tightRows = InkRows(tight->_BoxInfo->_AbsRect, white);
    ASSERT_GE(tightRows.first, 0);
    EXPECT_LE(tightRows.second - tightRows.first, lineHeight);
    EXPECT_LT(tightRows.second, tight->_BoxInfo->_AbsRect.Bottom - 1);
}

TEST_F(TreemapPainterTest, AmpersandsInNamesAreShownAsTheyAre) {
    TDiskTreeMapEntry* a = Folder(root, "a&b", {10, 10, 390, 60});
    TDiskTreeMapEntry* b = Folder(root, "ab", {10, 100, 390, 150});
    Draw();
    const QRgb fill = Level(0, 1);
    const std::pair<int, int> withAmpersand = InkColumns(a->_BoxInfo->_AbsRect, fill);
    const std::pair<int, int> without = InkColumns(b->_BoxInfo->_AbsRect, fill);
    // Same start (the icon); the "&" takes room of its own.
    EXPECT_EQ(withAmpersand.first, without.first);
    EXPECT_GT(withAmpersand.second - without.second, 4);
}

TEST_F(TreemapPainterTest, ShowFilesOffLeavesFilesUnpainted) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {10, 10, 390, 290});
    TDiskTreeMapEntry* file = File(folder, "big.bin", {20, 40, 200, 200});
    TDiskTreeMapEntry* sub = Folder(folder, "sub", {210, 40, 380, 200});
    EXPECT_TRUE(painter.ShowFiles());
    painter.SetShowFiles(false);
    Draw();
    const TRect f = file->_BoxInfo->_AbsRect;
    EXPECT_EQ(OtherPixels(f, {Level(0, 1)}), 0);  // the folder's fill beneath
    EXPECT_EQ(Pixel(sub->_BoxInfo->_AbsRect.Left + 10, sub->_BoxInfo->_AbsRect.Bottom - 10), Level(0, 2));
    painter.SetShowFiles(true);
    Draw();
    EXPECT_EQ(Pixel(f.Left + 10, f.Bottom - 10), TTreemapPainter::kFileColor);
}

TEST_F(TreemapPainterTest, BoxOutsideTheViewIsSkippedWithItsSubtree) {
    // A canvas twice as wide as the surface.
    root->_BoxInfo->_AbsRect.Right = 2 * W;
    root->_BoxInfo->_PixelsW = 2 * W;
    Folder(root, "inside", {10, 10, 60, 60});
    Draw();
    const QImage expected = painter.Image().copy();
    // Its child lies in the view and outside its box: a visit would either
    // paint it or report it as corrupt.
    TDiskTreeMapEntry* outside = Folder(root, "outside", {W + 50, 10, W + 62, 22});
    Folder(outside, "child", {100, 100, 200, 200});
    Draw();
    EXPECT_EQ(painter.Image(), expected);
    EXPECT_TRUE(messages.shown.empty());

    // The view moved onto the box: it is painted, shifted by the view's origin.
    painter.SetViewWindow({100.7f, 0, W + 100.7f, H});
    outside->ChildrenEntries.clear();
    Draw();
    ExpectPlainBox({W - 50, 10, W - 38, 22}, Level(0, 1));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TreemapPainterTest, BoxOutsideItsParentIsReportedOnceAndNotPainted) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {10, 10, 200, 200});
    Folder(folder, "bad1", {150, 150, 250, 250});
    Folder(folder, "bad2", {5, 20, 40, 40});
    Folder(folder, "good", {20, 40, 60, 80});
    Draw();
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Graph calculated values are corrupt"});
    EXPECT_EQ(Pixel(220, 220), Level(0, 0));
    EXPECT_EQ(Pixel(180, 180), Level(0, 1));
    EXPECT_EQ(Pixel(50, 70), Level(0, 2));
    EXPECT_TRUE(messages.notifications.empty());
}

TEST_F(TreemapPainterTest, RedrawOfOneNodeChangesOnlyItsBox) {
    TDiskTreeMapEntry* left = Folder(root, "left", {10, 10, 190, 290});
    TDiskTreeMapEntry* hovered = Folder(left, "hovered", {20, 40, 180, 200});
    TDiskTreeMapEntry* file = File(hovered, "file.txt", {30, 70, 170, 190});
    Folder(root, "right", {200, 10, 390, 290});
    Draw();
    const QImage before = painter.Image().copy();

    QSignalSpy changed(&painter, &TTreemapPainter::imageChanged);
    file->_SearchResult = true;
    painter.SetSelectedFolder(hovered);
    painter.DiskTreeMap_UpdateGraphFor(hovered, true, true);
    EXPECT_TRUE(hovered->_BoxInfo->_Highlighed);
    EXPECT_TRUE(file->_BoxInfo->_Highlighed);
    const QRect box(20, 40, 160, 160);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst().at(0).toRect(), box);
    int changedInside = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (painter.Image().pixel(x, y) == before.pixel(x, y)) continue;
            ASSERT_TRUE(box.contains(x, y)) << x << "," << y;
            ++changedInside;
        }
    EXPECT_GT(changedInside, 100);
    EXPECT_EQ(Pixel(20, 120), TTreemapPainter::kSelectedFolderColor);
    EXPECT_EQ(Pixel(100, 180), TTreemapPainter::kSearchResultColor);
    EXPECT_FALSE(left->_BoxInfo->_Highlighed);
}

TEST_F(TreemapPainterTest, IconSourceGivesFileIconsAndAFailureEndsThatFileOnly) {
    TDiskTreeMapEntry* folder = Folder(root, "d", {0, 0, 400, 300});
    TDiskTreeMapEntry* good = File(folder, "good.txt", {10, 30, 190, 150});
    TDiskTreeMapEntry* bad = File(folder, "bad.txt", {200, 30, 390, 150});
    TDiskTreeMapEntry* after = File(folder, "after.txt", {10, 160, 190, 290});
    std::vector<std::string> asked;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    painter.SetIconSource([&](const std::string& path) {
        asked.push_back(path);
        if (path.ends_with("bad.txt")) throw std::runtime_error("no icon");
        return path.ends_with("good.txt") ? red : QPixmap();
    });
    Draw();
    EXPECT_EQ(asked, (std::vector<std::string>{"/data/d/good.txt", "/data/d/bad.txt", "/data/d/after.txt"}));
    // The whole 16 x 16 icon, inside the box.
    const TRect g = good->_BoxInfo->_AbsRect;
    EXPECT_EQ(OtherPixels(g, {0xFFFF0000}), (g.Right - g.Left) * (g.Bottom - g.Top) - 16 * 16);
    ExpectPlainBox(bad->_BoxInfo->_AbsRect, TTreemapPainter::kFileColor);
    EXPECT_GT(OtherPixels(after->_BoxInfo->_AbsRect, {TTreemapPainter::kFileColor, TTreemapPainter::kOutlineColor}),
              20);
}

TEST(TreemapDateTextTest, MidnightShowsTheDateAlone) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const TDateTexts dates;
    // Newer locale data puts a narrow blank before AM and PM.
    auto text = [&](TDateTime value) { return dates.Text(value).replace(QChar(0x202F), u' ').toStdString(); };
    // Short date and long time, without the time zone of the long format.
    EXPECT_EQ(text(EncodeDateTime(2013, 6, 26, 13, 47, 44, 0)), "6/26/13 1:47:44 PM");
    EXPECT_EQ(text(EncodeDateTime(2013, 6, 26, 0, 0, 0, 0)), "6/26/13");
    EXPECT_EQ(text(EncodeDateTime(2013, 6, 26, 0, 0, 1, 0)), "6/26/13 12:00:01 AM");
    QLocale::setDefault(QLocale::system());
}

class TreemapSurfaceTest : public TreemapPainterTest {};

TEST_F(TreemapSurfaceTest, ShowsThePaintersImage) {
    TTreemapSurface surface;
    EXPECT_EQ(surface.objectName(), "imageDiskTreemap");
    EXPECT_EQ(surface.cursor().shape(), Qt::PointingHandCursor);
    surface.resize(W + 20, H);
    surface.SetPainter(&painter);
    Folder(root, "d", {10, 10, 100, 100});
    Draw();
    const QImage shown = surface.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(W + 20, H));
    EXPECT_EQ(shown.copy(0, 0, W, H), painter.Image());
    EXPECT_EQ(shown.pixel(W + 10, 10), kGrey);
}

TEST_F(TreemapSurfaceTest, PassesThePointerOnInSurfacePixels) {
    TTreemapSurface surface;
    surface.resize(W, H);
    surface.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surface));
    QSignalSpy down(&surface, &TTreemapSurface::surfaceMouseDown);
    QSignalSpy move(&surface, &TTreemapSurface::surfaceMouseMove);
    QSignalSpy up(&surface, &TTreemapSurface::surfaceMouseUp);
    QSignalSpy click(&surface, &TTreemapSurface::surfaceClick);
    QSignalSpy doubleClick(&surface, &TTreemapSurface::surfaceDoubleClick);
    QSignalSpy wheel(&surface, &TTreemapSurface::surfaceWheel);
    QSignalSpy leave(&surface, &TTreemapSurface::surfaceMouseLeave);
    QSignalSpy resized(&surface, &TTreemapSurface::surfaceResized);

    QTest::mousePress(&surface, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 40));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).toPoint(), QPoint(30, 40));
    EXPECT_EQ(down.at(0).at(1).value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(down.at(0).at(2).value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    QTest::mouseMove(&surface, QPoint(35, 44));
    ASSERT_GE(move.count(), 1);
    EXPECT_EQ(move.last().at(0).toPoint(), QPoint(35, 44));
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, QPoint(35, 44));
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up.at(0).at(0).toPoint(), QPoint(35, 44));
    ASSERT_EQ(click.count(), 1);
    EXPECT_EQ(click.at(0).at(0).toPoint(), QPoint(35, 44));

    // A right button press makes no click.
    QTest::mouseClick(&surface, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(down.count(), 2);

    QTest::mouseDClick(&surface, Qt::LeftButton, {}, QPoint(60, 70));
    ASSERT_EQ(doubleClick.count(), 1);
    EXPECT_EQ(doubleClick.at(0).at(0).toPoint(), QPoint(60, 70));

    QWheelEvent turn(QPointF(12, 34), surface.mapToGlobal(QPointF(12, 34)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&surface, &turn);
    ASSERT_EQ(wheel.count(), 1);
    EXPECT_EQ(wheel.at(0).at(0).toPoint(), QPoint(12, 34));
    EXPECT_EQ(wheel.at(0).at(1).toInt(), -120);

    QEvent leaving(QEvent::Leave);
    QApplication::sendEvent(&surface, &leaving);
    EXPECT_EQ(leave.count(), 1);

    resized.clear();
    surface.resize(W / 2, H / 2);
    ASSERT_GE(resized.count(), 1);
    EXPECT_EQ(resized.last().at(0).toSize(), QSize(W / 2, H / 2));
}

}  // namespace
}  // namespace tandrel
