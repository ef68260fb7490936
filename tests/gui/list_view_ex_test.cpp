#include "gui/widgets/list_view_ex.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <set>
#include <vector>

#include "common/types.h"
#include "gui/widgets/lv_x.h"

namespace tandrel {
namespace {

struct Rec {
    QString name;
    qint64 size = 0;
};

// Name A to Z, or size largest first; inverse turns the order round.
int CompareRec(int column, bool inverse, const Rec& a, const Rec& b) {
    int result = 0;
    if (column == 1) result = a.size == b.size ? 0 : (b.size < a.size ? -1 : 1);
    if (result == 0) result = QString::compare(a.name, b.name, Qt::CaseInsensitive);
    return inverse ? -result : result;
}

const QStringList kColumns{"Name:120:L:0", "Size:80:R:101"};

class ListViewEx : public ::testing::Test {
protected:
    void SetUp() override {
        lv.resize(400, 300);
        lv.SetRowHeight(20);
        lv.SetDesignedColumns(kColumns);
        lv.OnSelectItem = [this](int, bool) { ++selectEvents; };
        lv.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&lv));
    }

    // Rows show records[LvItems[row]]; the list sorts by its clicked column.
    void Fill(std::vector<Rec> data) {
        records = std::move(data);
        lv.LvItems.Clear();
        for (int i = 0; i < static_cast<int>(records.size()); ++i) lv.LvItems.Add(i);
        lv.SetItemsCount(lv.LvItems.Count());
        lv.OnSort = [this] { lv.SortByClickedColumnOver(records, CompareRec); };
        lv.OnGetText = [this](int row, int column) {
            const Rec& rec = records[lv.LvItems[row]];
            return column == 0 ? rec.name : QString::number(rec.size);
        };
    }
    void FillNumbered(int count) {
        std::vector<Rec> data;
        for (int i = 0; i < count; ++i) data.push_back({QString("r%1").arg(i, 5, 10, QChar('0')), (i * 7919) % count});
        Fill(std::move(data));
    }
    QStringList ShownNames() const {
        QStringList names;
        for (int row = 0; row < lv.ItemsCount(); ++row) names << records[lv.LvItems[row]].name;
        return names;
    }
    void ClickHeader(int column) {
        QHeaderView* header = lv.horizontalHeader();
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }
    std::vector<int> SelectedDataIndices() const {
        std::vector<int> result;
        for (int row : lv.SelectedRows()) result.push_back(lv.LvItems[row]);
        return result;
    }

    TListViewEx lv;
    std::vector<Rec> records;
    int selectEvents = 0;
};

TEST_F(ListViewEx, HeaderClicksFollowTheColumnClickProtocol) {
    Fill({{"beta", 10}, {"Alpha", 30}, {"gamma", 20}});
    EXPECT_EQ(-1, lv.ColumnClicked);

    ClickHeader(1);  // size: largest first, descending arrow
    EXPECT_EQ(QStringList({"Alpha", "gamma", "beta"}), ShownNames());
    EXPECT_EQ(1, lv.ColumnClicked);
    EXPECT_EQ(-1, lv.ColumnClickedPrev);
    EXPECT_FALSE(lv.FlagInverseSort);
    EXPECT_EQ(1, lv.HeaderImage(1));

    ClickHeader(1);  // again: smallest first
    EXPECT_EQ(QStringList({"beta", "gamma", "Alpha"}), ShownNames());
    EXPECT_TRUE(lv.FlagInverseSort);
    EXPECT_EQ(0, lv.HeaderImage(1));

    ClickHeader(0);  // name: A to Z, the size arrow goes away
    EXPECT_EQ(QStringList({"Alpha", "beta", "gamma"}), ShownNames());
    EXPECT_EQ(0, lv.ColumnClicked);
    EXPECT_EQ(1, lv.ColumnClickedPrev);
    EXPECT_FALSE(lv.FlagInverseSort);
    EXPECT_EQ(0, lv.HeaderImage(0));
    EXPECT_EQ(-1, lv.HeaderImage(1));

    // A refill keeps the sort state and can be sorted by it again.
    Fill({{"delta", 1}, {"Charlie", 2}});
    EXPECT_TRUE(lv.SortAgain());
    EXPECT_EQ(QStringList({"Charlie", "delta"}), ShownNames());
    EXPECT_EQ(0, lv.HeaderImage(0));

    lv.ClearSortColumn();
    EXPECT_EQ(-1, lv.ColumnClicked);
    EXPECT_EQ(-1, lv.HeaderImage(0));
    EXPECT_FALSE(lv.SortAgain());
}

TEST_F(ListViewEx, SelectionSurvivesASortByRecordWithoutSelectEvents) {
    FillNumbered(1000);
    // A user's click raises the event; the restore below must not.
    const QRect firstRow = lv.visualRect(lv.model()->index(0, 0));
    QTest::mouseClick(lv.viewport(), Qt::LeftButton, Qt::NoModifier, firstRow.center());
    EXPECT_EQ(1, selectEvents);
    EXPECT_EQ(std::vector<int>{0}, lv.SelectedRows());

    lv.SetSelectedRows({3, 4, 700}, -1, false);
    const std::vector<int> before = SelectedDataIndices();
    lv.SaveSelectionExXX();
    ColumnClick(lv, 1);
    lv.RestoreSelectionExXX();
    EXPECT_EQ(1, selectEvents);

    std::vector<int> after = SelectedDataIndices();
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after);
    const std::vector<int> rows = lv.SelectedRows();
    ASSERT_EQ(3u, rows.size());
    EXPECT_NE((std::vector<int>{3, 4, 700}), rows);  // the records moved
    const int focused = lv.FocusedRow();
    EXPECT_EQ(rows.front(), focused);
    EXPECT_GE(focused, lv.TopItem());
    EXPECT_LT(focused, lv.TopItem() + lv.ItemsPerPage());
}

TEST_F(ListViewEx, BoundRecordsKeepTheirSelection) {
    std::vector<Rec> data{{"d", 4}, {"a", 1}, {"c", 3}, {"b", 2}};
    TLvX<Rec> lx(&lv);
    for (Rec& rec : data) lx.LvItems.push_back(&rec);
    lx.UpdateItemsCount();
    lv.OnSort = [&] { lx.SortByClickedColumn(CompareRec); };

    lv.SetSelectedRows({0, 3});  // "d" and "b"
    lx.SaveSelectionEx();
    ColumnClick(lv, 0);
    lx.RestoreSelectionEx();
    EXPECT_EQ("a", lx.Record(0)->name);
    EXPECT_EQ((std::vector<int>{1, 3}), lv.SelectedRows());
    EXPECT_TRUE(lx.IsSelectedSlow(&data[0]));
    EXPECT_FALSE(lx.IsSelectedSlow(&data[1]));
    Rec stranger{"x", 0};
    EXPECT_FALSE(lx.IsSelectedSlow(&stranger));
    EXPECT_EQ(nullptr, lx.Record(4));

    lx.SelectItemIdxCentered(&data[2]);  // "c"
    EXPECT_EQ(std::vector<int>{2}, lv.SelectedRows());
    lx.SelectItemIdxCentered(&stranger);
    EXPECT_TRUE(lv.SelectedRows().empty());
    EXPECT_EQ(0, selectEvents);
}

TEST_F(ListViewEx, SelectItemIdCenteredOrNearerStaysInsideTheList) {
    FillNumbered(10);
    const struct { int asked, selected; } cases[] = {{3, 3}, {10, 9}, {500, 9}, {-2, 0}};
    for (const auto& c : cases) {
        lv.SelectItemIdCentered_OrNearer(c.asked);
        EXPECT_EQ(std::vector<int>{c.selected}, lv.SelectedRows()) << c.asked;
        EXPECT_EQ(c.selected, lv.FocusedRow());
    }
    lv.SelectItemIdCentered(10);  // outside: nothing changes
    EXPECT_EQ(std::vector<int>{0}, lv.SelectedRows());

    Fill({});
    EXPECT_NO_THROW(lv.SelectItemIdCentered_OrNearer(1));
    EXPECT_TRUE(lv.SelectedRows().empty());
    EXPECT_EQ(0, selectEvents);
}

TEST_F(ListViewEx, EnsureVisibleCenteredPutsTheRowMidPage) {
    FillNumbered(1000);
    const int perPage = lv.ItemsPerPage();
    EXPECT_EQ(qRound(lv.viewport()->height() / 20.0), perPage);
    ASSERT_GT(perPage, 4);
    lv.EnsureVisibleCentered(500);
    EXPECT_EQ(500 - perPage / 2, lv.TopItem());
    EXPECT_TRUE(lv.IsTopItemChanged());
    EXPECT_FALSE(lv.IsTopItemChanged());
    lv.EnsureVisibleCentered(2);
    EXPECT_EQ(0, lv.TopItem());
    try {
        lv.EnsureVisibleCentered(1000);
        ADD_FAILURE() << "no error";
    } catch (const TandrelError& error) {
        EXPECT_STREQ("SPropertyOutOfRange", error.what());
    }

    // By data index: the row showing record 700 after a sort.
    ColumnClick(lv, 1);
    lv.SelectItemIdxCentered(700);
    const int row = lv.LvItems.IndexOf(700);
    EXPECT_EQ(std::vector<int>{row}, lv.SelectedRows());
    EXPECT_EQ(std::max(0, row - perPage / 2), lv.TopItem());

    // A smaller count keeps the top row while it still exists.
    lv.SetTopItem(300);
    lv.SetItemsCount(900);
    EXPECT_EQ(300, lv.TopItem());
}

TEST_F(ListViewEx, ColumnLayoutLines) {
    const struct {
        const char* line;
        const char* caption;
        int width;
        bool right;
        int tag;
    } cases[] = {
        {"Path", "Path", TListViewEx::DefaultColumnWidth, false, 0},
        {"Total Size:90:R:101", "Total Size", 90, true, 101},
        {"Date:70:L:0", "Date", 70, false, 0},
        {"Bar:wide:C:x", "Bar", TListViewEx::DefaultColumnWidth, false, 0},
        {"At 10:30:40:R:5", "At 10:30", 40, true, 5},
    };
    for (const auto& c : cases) {
        const TListViewExColumn column = TListViewEx::ParseColumnLine(c.line);
        EXPECT_EQ(c.caption, column.Caption) << c.line;
        EXPECT_EQ(c.width, column.Width) << c.line;
        EXPECT_EQ(c.right, column.AlignRight) << c.line;
        EXPECT_EQ(c.tag, column.Tag) << c.line;
    }
    EXPECT_EQ("Date:70:L:0", TListViewEx::ColumnLine("Date", 70, false, 0));

    TListViewEx other;
    other.SetDesignedColumns({"Path", "Size:80:R:101"});
    ASSERT_EQ(2, other.ColumnCount());
    EXPECT_EQ(TListViewEx::DefaultColumnWidth, other.ColumnWidth(0));
    EXPECT_EQ(0, other.ColumnTag(0));
    EXPECT_EQ(101, other.ColumnTag(1));
    EXPECT_EQ(static_cast<int>(Qt::AlignRight | Qt::AlignVCenter),
              other.model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
}

TEST_F(ListViewEx, ADroppedColumnIsTakenOverInItsNewPlace) {
    TListViewEx three;
    three.resize(400, 200);
    three.SetDesignedColumns({"Name:120:L:0", "Size:80:R:101", "Date:70:R:101"});
    three.show();
    ColumnClick(three, 1);
    int dragged = 0;
    three.OnDraggingFinished = [&] { ++dragged; };
    QHeaderView* header = three.horizontalHeader();
    header->resizeSection(1, 95);
    header->moveSection(2, 0);  // what a drop does
    EXPECT_TRUE(three.LvDraggingColumn);
    EXPECT_EQ(0, dragged);  // taken over a moment later, not inside the drop
    EXPECT_TRUE(QTest::qWaitFor([&] { return dragged == 1; }, 5000)) << dragged;
    EXPECT_FALSE(three.LvDraggingColumn);
    EXPECT_EQ(QStringList({"Date:70:R:101", "Name:120:L:0", "Size:95:R:101"}), three.columsCurrentSl);
    EXPECT_EQ("Date", three.ColumnCaption(0));
    EXPECT_EQ(0, header->visualIndex(0));
    EXPECT_EQ(95, three.ColumnWidth(2));
    EXPECT_EQ(2, three.ColumnClicked);  // the sort column follows its caption
    EXPECT_EQ(1, three.HeaderImage(2));

    three.ResetColumns_LVEX();
    EXPECT_EQ(three.columsOriginalSl, three.columsCurrentSl);
    EXPECT_EQ("Size", three.ColumnCaption(1));
    EXPECT_EQ(1, three.ColumnClicked);
    EXPECT_EQ(1, dragged);
}

TEST_F(ListViewEx, HeaderMouseResizeAndRightClick) {
    int resized = 0;
    lv.OnResizingFinished = [&] { ++resized; };
    QHeaderView* header = lv.horizontalHeader();
    QWidget* area = header->viewport();
    const int edge = header->sectionViewportPosition(1) - 1;
    const int y = header->height() / 2;
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(edge, y));
    QMouseEvent move(QEvent::MouseMove, QPointF(edge + 30, y), area->mapToGlobal(QPointF(edge + 30, y)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &move);
    EXPECT_TRUE(lv.LvResizingColumn);
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(edge + 30, y));
    EXPECT_FALSE(lv.LvResizingColumn);
    EXPECT_TRUE(QTest::qWaitFor([&] { return resized == 1; }, 5000)) << resized;
    EXPECT_EQ(150, lv.ColumnWidth(0));
    EXPECT_EQ(-1, lv.ColumnClicked);  // a resize is no click

    QMenu menu;
    menu.addAction("Reset columns");
    lv.PopupMenu_Header = &menu;
    QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(10, y), area->mapToGlobal(QPoint(10, y)));
    QApplication::sendEvent(area, &context);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 5000));
    menu.hide();
}

TEST_F(ListViewEx, RowDoubleClickAndContextMenuNameTheRow) {
    FillNumbered(3);
    QSignalSpy doubleClicks(&lv, &TListViewEx::DblClick);
    QSignalSpy menus(&lv, &TListViewEx::RowContextMenu);
    const QPoint secondRow = lv.visualRect(lv.model()->index(2, 0)).center();
    // A double click is a press and release followed by the double-click press.
    QTest::mouseClick(lv.viewport(), Qt::LeftButton, Qt::NoModifier, secondRow);
    QTest::mouseDClick(lv.viewport(), Qt::LeftButton, Qt::NoModifier, secondRow);
    ASSERT_EQ(1, doubleClicks.count());
    EXPECT_EQ(2, doubleClicks[0][0].toInt());
    for (const QPoint& at : {secondRow, QPoint(10, lv.viewport()->height() - 5)}) {
        QContextMenuEvent context(QContextMenuEvent::Mouse, at, lv.viewport()->mapToGlobal(at));
        QApplication::sendEvent(lv.viewport(), &context);
    }
    ASSERT_EQ(2, menus.count());
    EXPECT_EQ(2, menus[0][1].toInt());
    EXPECT_EQ(lv.viewport()->mapToGlobal(secondRow), menus[0][0].toPoint());
    EXPECT_EQ(-1, menus[1][1].toInt());  // below the rows
}

TEST_F(ListViewEx, SelectedRowsPaintNavyWithWhiteTextAndGreyWithoutFocus) {
    Fill({{"MMMMMMMM", 1}, {"MMMMMMMM", 2}});
    lv.SetSelectedRows({0});
    lv.activateWindow();
    lv.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv.hasFocus(); }, 5000));
    const auto rowImage = [&](int row) {
        const QRect rect = lv.visualRect(lv.model()->index(row, 0));
        return lv.viewport()->grab(rect).toImage();
    };
    const auto countColour = [](const QImage& image, QColor colour) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
        return count;
    };
    const QImage selected = rowImage(0);
    const QImage plain = rowImage(1);
    EXPECT_EQ(QColor(0, 0, 0x80), selected.pixelColor(selected.width() - 2, selected.height() / 2));
    EXPECT_GT(countColour(selected, Qt::white), 10);  // the text
    EXPECT_EQ(QColor(Qt::white), plain.pixelColor(plain.width() - 2, plain.height() / 2));
    EXPECT_GT(countColour(plain, Qt::black), 10);

    lv.clearFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lv.hasFocus(); }, 5000));
    const QImage unfocused = rowImage(0);
    EXPECT_EQ(QColor(0xAA, 0xAA, 0xAA), unfocused.pixelColor(unfocused.width() - 2, unfocused.height() / 2));
}

TEST_F(ListViewEx, OnGetIconIsTheDecorationAndDrawnBesideOwnerDrawnText) {
    Fill({{"a", 1}, {"b", 2}});
    QPixmap red(16, 16);
    red.fill(Qt::red);
    lv.OnGetIcon = [&](int row, int column) { return row == 0 && column == 0 ? QIcon(red) : QIcon(); };
    EXPECT_TRUE(lv.model()->data(lv.model()->index(0, 0), Qt::DecorationRole).isValid());
    EXPECT_FALSE(lv.model()->data(lv.model()->index(1, 0), Qt::DecorationRole).isValid());
    EXPECT_FALSE(lv.model()->data(lv.model()->index(0, 1), Qt::DecorationRole).isValid());

    lv.OnDrawCell = [&](QPainter& painter, const QRect& cell, int, int, bool selected, bool focused) {
        TListViewEx::FillCellBackground(painter, cell, selected, focused);
    };
    const auto cellImage = [&](int row) {
        return lv.viewport()->grab(lv.visualRect(lv.model()->index(row, 0))).toImage();
    };
    const QImage withIcon = cellImage(0);
    const int middle = withIcon.height() / 2;
    EXPECT_EQ(QColor(Qt::white), withIcon.pixelColor(TListViewEx::IconLeft - 1, middle));
    EXPECT_EQ(QColor(Qt::red), withIcon.pixelColor(TListViewEx::IconLeft, middle));
    EXPECT_EQ(QColor(Qt::red), withIcon.pixelColor(TListViewEx::IconLeft + 15, middle));
    EXPECT_EQ(QColor(Qt::white), withIcon.pixelColor(TListViewEx::IconLeft + 16, middle));
    EXPECT_EQ(QColor(Qt::white), cellImage(1).pixelColor(TListViewEx::IconLeft + 8, middle));
}

TEST_F(ListViewEx, AMillionRowsAreNeverMaterialised) {
    std::vector<qint64> sizes(1'000'000);
    for (int i = 0; i < static_cast<int>(sizes.size()); ++i) sizes[i] = (i * 7919LL) % 1'000'003;
    std::set<int> drawnRows;
    lv.OnDrawCell = [&](QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused) {
        drawnRows.insert(row);
        TListViewEx::FillCellBackground(painter, cell, selected, focused);
        TListViewEx::_DrawTextW_Right(painter, cell, QString::number(sizes[lv.LvItems[row]]));
    };
    lv.OnSort = [&] {
        lv.SortByClickedColumn([&](int column, bool inverse, int a, int b) {
            const int result = sizes[a] == sizes[b] ? a - b : (sizes[b] < sizes[a] ? -1 : 1);
            return inverse ? -result : result;
        });
    };
    lv.LvItems.Reserve(1'000'000);
    for (int i = 0; i < 1'000'000; ++i) lv.LvItems.Add(i);
    lv.SetItemsCount(1'000'000);
    ColumnClick(lv, 1);
    lv.SelectItemIdxCentered(123456);
    lv.viewport()->grab();

    const int row = lv.FocusedRow();
    EXPECT_EQ(123456, lv.LvItems[row]);
    EXPECT_GE(sizes[lv.LvItems[0]], sizes[lv.LvItems[999'999]]);
    EXPECT_FALSE(drawnRows.empty());
    EXPECT_LE(static_cast<int>(drawnRows.size()), lv.ItemsPerPage() + 2);
    EXPECT_LE(*drawnRows.begin(), row);
    EXPECT_GE(*drawnRows.rbegin(), row);
}

TEST_F(ListViewEx, RowsOfTextInTheNonVirtualMode) {
    lv.SetOwnerData(false);
    lv.AddRange({"two", "2"});
    lv.AddRangeTop({"one", "1"});
    lv.AddToTop = true;
    lv.AddRange({"zero", "0"});
    lv.AddToTop = false;
    lv.AddRange({"odd"});
    ASSERT_EQ(4, lv.ItemsCount());
    EXPECT_EQ("one", lv.GetText_K(1, 0));
    EXPECT_EQ("2", lv.model()->index(2, 1).data().toString());
    EXPECT_EQ("", lv.GetText_K(3, 1));
    EXPECT_EQ(2, lv.IndexOf_CI("  TWO "));
    EXPECT_EQ(-1, lv.IndexOf_CI("three"));
    EXPECT_THROW(lv.SetItemsCount(3), TandrelError);

    lv.SelectItemIdCentered(0);
    lv.MoveSelectedByX(1);  // "zero" moves down, the selection with it
    EXPECT_EQ(QStringList({"zero", "0"}), lv.GetLVLineAr(1));
    EXPECT_EQ(std::vector<int>{1}, lv.SelectedRows());
    lv.MoveSelectedByX(-5);  // out of bounds: nothing
    EXPECT_EQ(QStringList({"one", "1"}), lv.GetLVLineAr(0));
    lv.SelectItemIdCentered(2);
    try {
        lv.MoveSelectedByX(1);  // "two" has two cells, "odd" one
        ADD_FAILURE() << "no error";
    } catch (const TandrelError& error) {
        EXPECT_STREQ("cannot exhcange rows", error.what());
    }
    EXPECT_EQ("two", lv.GetText_K(2, 0));

    lv.SelectItemIdxCentered(3);  // without a row index list: the row
    EXPECT_EQ(std::vector<int>{3}, lv.SelectedRows());
    lv.SelectItemIdCentered(2);

    lv.MoveFocusByX(10);
    EXPECT_EQ(3, lv.FocusedRow());
    lv.MoveFocusByX(-10);
    EXPECT_EQ(0, lv.FocusedRow());

    lv.SaveSelectionExXX();
    lv.SetFromSL({"a", "b", "c"});
    lv.RestoreSelectionExXX();
    EXPECT_EQ(std::vector<int>{2}, lv.SelectedRows());
    lv.Clear();
    EXPECT_EQ(0, lv.ItemsCount());
    EXPECT_EQ(0, selectEvents);
}

}  // namespace
}  // namespace tandrel
