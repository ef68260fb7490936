#pragma once
// The report-style list every result view uses. In virtual mode (the
// default) the list knows only a row count and its columns; row r shows data
// record LvItems[r] of a data list owned elsewhere, and cells are drawn on
// demand by the view's callbacks, so a million rows cost nothing until they
// are painted. Sorting reorders LvItems only. A non-virtual mode holds a few
// rows of cell texts for small lists.
#include <QColor>
#include <QHeaderView>
#include <QIcon>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/integer_list_x.h"

class QMenu;
class QPainter;

namespace tandrel {

class TListViewExModel;

// One column as built from its layout line.
struct TListViewExColumn {
    QString Caption;
    int Width = 50;
    bool AlignRight = false;
    // 101: the column's natural order is descending.
    int Tag = 0;
    // Header arrow: -1 none, 0 ascending, 1 descending.
    int ImageIndex = -1;
};

class TListViewEx : public QTableView {
    Q_OBJECT

public:
    static constexpr int DefaultColumnWidth = 50;
    static constexpr int DescendingTag = 101;
    // Where an owner-drawn cell's icon sits, from the cell's left edge.
    static constexpr int IconLeft = 3;

    explicit TListViewEx(QWidget* parent = nullptr);
    ~TListViewEx() override;

    // --- state the views read and write -----------------------------------
    int lastTopItemIndex = -1;
    // Shown on a right click on the column header when set (not owned).
    QMenu* PopupMenu_Header = nullptr;
    int selectedRecordIdx = -1;         // non-virtual mode: saved selected row
    std::vector<int> selectedRecordId;  // virtual mode: saved data indices
    int topRecordIdx = -1;              // non-virtual mode: saved top row
    int previousItemIndex = -1;
    bool LvResizingColumn = false;
    bool LvDraggingColumn = false;
    TIntegerListX LvItems;
    QStringList columsOriginalSl;
    QStringList columsCurrentSl;
    bool AddToTop = false;
    // Column indices, -1 for none; the sort state survives refills.
    int ColumnClickedPrev = -1;
    int ColumnClicked = -1;
    bool FlagInverseSort = false;

    // --- callbacks ----------------------------------------------------------
    // Owner drawing of one cell; rect is the cell in viewport coordinates.
    // listFocused tells whether the list has the keyboard focus (it decides
    // the selection colour). The painter is restored after the call.
    std::function<void(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool listFocused)>
        OnDrawCell;
    // Cell text of a virtual list, asked for only when someone reads the
    // cell: assistive technology and the model's display role read it, and
    // the list draws it when no OnDrawCell is set. A view that draws its
    // cells gives here the text it draws, from the same routine.
    std::function<QString(int row, int column)> OnGetText;
    // Icon of a virtual list's cell (the decoration role), a null icon for
    // none. With OnDrawCell set the list draws it over the drawn cell, 16 x 16
    // at 3 pixels from its left edge and centred vertically, so the cell's
    // text leaves that room; otherwise the style draws it before the text.
    std::function<QIcon(int row, int column)> OnGetIcon;
    // Sorts LvItems (or a bound record list) after a column click. The rows
    // keep their selection by row; a view that wants it kept by record saves
    // and restores it around the sort.
    std::function<void()> OnSort;
    // The selection changed: the focused row (-1 for none) and whether it is
    // selected. Detached while a selection is restored.
    std::function<void(int row, bool selected)> OnSelectItem;
    std::function<void()> OnResizingFinished;
    std::function<void()> OnDraggingFinished;

    // --- columns ------------------------------------------------------------
    // Layout line "caption:width:R|L:tag"; a missing or unreadable width or
    // tag gives the default, and only "R" aligns right.
    static TListViewExColumn ParseColumnLine(const QString& line);
    static QString ColumnLine(const TListViewExColumn& column);
    static QString ColumnLine(const QString& caption, int width, bool alignRight, int tag);
    // The designed layout: kept in columsOriginalSl, copied to columsCurrentSl
    // when that is empty, then built.
    void SetDesignedColumns(const QStringList& lines);
    // Rebuilds the columns from columsCurrentSl. The sort column and the
    // header arrows follow their captions.
    void LV_Create_Columns();
    // Back to the designed layout.
    void ResetColumns_LVEX();
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const TListViewExColumn& Column(int column) const { return columns_.at(column); }
    QString ColumnCaption(int column) const;
    // -1 when no column has that caption.
    int ColumnIndexOfCaption(const QString& caption) const;
    // The caption of ColumnClicked, empty when none.
    QString ClickedCaption() const { return ColumnCaption(ColumnClicked); }
    int ColumnTag(int column) const;
    int HeaderImage(int column) const;
    void SetHeaderImage(int column, int image);
    // Forgets the sort column; its arrow goes away.
    void ClearSortColumn();
    // Current pixel width of a column.
    int ColumnWidth(int column) const;

    // --- rows ---------------------------------------------------------------
    bool OwnerData() const { return ownerData_; }
    // Switching mode empties the list.
    void SetOwnerData(bool virtualMode);
    int ItemsCount() const;
    // Virtual mode: the row count, keeping the same top row if it moved.
    // Rows below the new count keep their selection; no select-item event.
    // The non-virtual mode has no settable count (TandrelError).
    void SetItemsCount(int count);
    int RowHeight() const { return rowHeight_; }
    void SetRowHeight(int height);
    // Repaints the rows and the header.
    void Invalidate();

    // --- sorting --------------------------------------------------------------
    // After a refill: runs OnSort again when a sort column is set; true when
    // it did.
    bool SortAgain();
    // Sorts LvItems with compare(ColumnClicked, FlagInverseSort, a, b) over
    // two data indices.
    template <typename Compare>
    void SortByClickedColumn(Compare&& compare) {
        const int column = ColumnClicked;
        const bool inverse = FlagInverseSort;
        LvItems.Sort([&](int a, int b) { return compare(column, inverse, a, b); });
    }
    // The same with a comparator over records: data[a] may be a record, a
    // pointer or a unique_ptr.
    template <typename Container, typename Compare>
    void SortByClickedColumnOver(const Container& data, Compare&& compare) {
        SortByClickedColumn([&](int column, bool inverse, int a, int b) {
            return compare(column, inverse, RecordOf(data[a]), RecordOf(data[b]));
        });
    }
    template <typename Element>
    static const auto& RecordOf(const Element& element) {
        if constexpr (std::is_pointer_v<Element>)
            return *element;
        else if constexpr (requires { element.get(); })
            return *element;
        else
            return element;
    }

    // --- selection --------------------------------------------------------------
    // Selected rows in ascending order.
    std::vector<int> SelectedRows() const;
    int SelectedCount() const;
    bool IsRowSelected(int row) const;
    // The first selected row, -1 for none.
    int SelectedRow() const;
    // The row with the keyboard focus, -1 for none.
    int FocusedRow() const;
    // Selects exactly these rows (ascending, in range) and focuses focusRow
    // (-1: the first of them) without raising OnSelectItem; scrolls the
    // focused row into view when asked.
    void SetSelectedRows(const std::vector<int>& rows, int focusRow = -1, bool scrollIntoView = true);
    void SaveSelectionExXX();
    void RestoreSelectionExXX();
    // Selects the row showing that data index alone and centres it.
    void SelectItemIdxCentered(int dataIndex);
    // Selects and focuses that row only and scrolls it into view; a row
    // outside the list changes nothing.
    void SelectItemIdCentered(int row);
    // As SelectItemIdCentered; a row past the end selects the last row, a row
    // before the start the first; an empty list does nothing.
    void SelectItemIdCentered_OrNearer(int row);

    // --- scrolling ----------------------------------------------------------------
    // Scrolls so that row sits in the middle: top row = row minus half the
    // rows per page, not below 0. A row outside the list throws TandrelError
    // "SPropertyOutOfRange".
    void EnsureVisibleCentered(int row);
    // Viewport height over the row height, rounded (at least 1).
    int ItemsPerPage() const;
    int TopItem() const;
    // Valid rows only.
    void SetTopItem(int row);
    bool IsTopItemChanged();
    // Left and right edges of a column in viewport coordinates (the widths
    // of the columns shown before it, minus the horizontal scroll), over the
    // viewport's height; T2 starts 2 pixels lower.
    QRect GetAbsColumnRect(int column) const;
    QRect GetAbsColumnRectT2(int column) const;

    // --- drawing helpers for the views' cell callbacks ------------------------
    // Navy with white text when selected, grey instead of navy when the list
    // has no focus; white with black text otherwise.
    static QColor SelectionBackground(bool listFocused);
    static std::pair<QColor, QColor> CellColors(bool selected, bool listFocused);
    // Fills the cell and leaves the text colour as the painter's pen.
    static void FillCellBackground(QPainter& painter, const QRect& cell, bool selected, bool listFocused);
    // One line, vertically centred, cut with an ellipsis at the end.
    static void _DrawTextW_Left(QPainter& painter, const QRect& cell, const QString& text, int leftMargin = 2,
                                int rightMargin = 2);
    static void _DrawTextW_Right(QPainter& painter, const QRect& cell, const QString& text, int leftMargin = 6,
                                 int rightMargin = 2);

    // --- non-virtual mode: rows of cell texts, cell 0 the caption -------------
    void SetCheckboxes(bool on);
    bool Checkboxes() const { return checkboxes_; }
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);
    // A row from its cell texts, at the bottom (at the top with AddToTop);
    // returns its row.
    int AddRange(const QStringList& cells);
    int AddRangeTop(const QStringList& cells);
    // One row per line, the line as its caption.
    void SetFromSL(const QStringList& lines);
    QStringList GetLVLineAr(int row) const;
    void SetLVLineAr(int row, const QStringList& cells);
    // Text of one cell; empty outside the rows and cells.
    QString GetText_K(int row, int column) const;
    // Icon of a virtual list's cell from OnGetIcon; null outside the rows.
    QIcon GetIcon_K(int row, int column) const;
    // The first row whose trimmed caption equals the trimmed text ignoring
    // case, -1 for none.
    int IndexOf_CI(const QString& caption) const;
    void ExchangeItems(int row1, int row2);
    void ClearItems();
    // Empties the list in either mode: rows, LvItems and the selection.
    void Clear();
    // Swaps the focused row (the first selected when none has the focus)
    // with the row offset rows away, selection following it; throws
    // TandrelError "cannot exhcange rows" when their cell counts differ.
    void MoveSelectedByX(int offset);
    void MoveFocusByX(int offset);

    // Type-ahead over a virtual list would make every row's text up to the
    // match; only a list of its own rows searches.
    void keyboardSearch(const QString& search) override;

signals:
    // The same event as OnSelectItem.
    void SelectItem(int row, bool selected);
    void DblClick(int row);
    // A right click (or the menu key) over the rows; row -1 below them.
    void RowContextMenu(const QPoint& globalPos, int row);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TListViewExModel;
    friend class TListViewExDelegate;
    friend void ColumnClick(TListViewEx& lv, int column);

    struct Row {
        QStringList cells;
        bool checked = false;
    };
    // Detaches the select-item event while alive.
    struct SelectEventDetached {
        explicit SelectEventDetached(TListViewEx& lv) : lv_(lv) { ++lv_.selectEventDetached_; }
        ~SelectEventDetached() { --lv_.selectEventDetached_; }
        TListViewEx& lv_;
    };

    void SelectionChangedForEvent();
    void HeaderSectionMoved();
    void TakeOverMovedColumns();
    void HeaderSectionResized();
    int InsertRow(int row, const QStringList& cells);
    void CheckRow(int row) const;

    TListViewExModel* model_;
    std::vector<TListViewExColumn> columns_;
    QList<Row> rows_;
    int virtualCount_ = 0;
    bool ownerData_ = true;
    bool checkboxes_ = false;
    int rowHeight_ = 0;
    int selectEventDetached_ = 0;
    bool headerPressed_ = false;
    bool rebuildingColumns_ = false;
    bool dragTakeOverPending_ = false;
};

// The column-click protocol of every sortable list: the clicked column
// becomes the sort column; clicking it again turns the direction round,
// another column starts in its natural direction (descending for tag 101)
// and the previous column loses its arrow. Then OnSort runs and the list is
// repainted. A click on the header runs this.
void ColumnClick(TListViewEx& lv, int column);

}  // namespace tandrel
