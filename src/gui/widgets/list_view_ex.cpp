#include "gui/widgets/list_view_ex.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFocusEvent>
#include <QItemSelection>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>
#include <string>

#include "common/column_layout.h"
#include "common/types.h"

namespace tandrel {

// Knows only the row count and the columns; cell texts come from the list's
// callback (virtual mode) or its rows (non-virtual mode) when asked, for the
// display role and for assistive technology alike.
class TListViewExModel : public QAbstractTableModel {
public:
    explicit TListViewExModel(TListViewEx& lv) : QAbstractTableModel(&lv), lv_(lv) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : lv_.ItemsCount();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : lv_.ColumnCount();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        switch (role) {
            case Qt::DisplayRole:
            case Qt::AccessibleTextRole:
                return lv_.GetText_K(index.row(), index.column());
            case Qt::DecorationRole: {
                const QIcon icon = lv_.GetIcon_K(index.row(), index.column());
                return icon.isNull() ? QVariant() : QVariant(icon);
            }
            case Qt::TextAlignmentRole:
                return static_cast<int>(Alignment(index.column()));
            case Qt::CheckStateRole:
                if (HasCheckBox(index)) return lv_.IsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
                return {};
            default:
                return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::CheckStateRole || !HasCheckBox(index)) return false;
        lv_.SetChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
        if (HasCheckBox(index)) result |= Qt::ItemIsUserCheckable;
        return result;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= lv_.ColumnCount()) return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return lv_.Column(section).Caption;
        if (role == Qt::TextAlignmentRole) return static_cast<int>(Alignment(section));
        return {};
    }

private:
    friend class TListViewEx;

    Qt::Alignment Alignment(int column) const {
        const bool right = column >= 0 && column < lv_.ColumnCount() && lv_.Column(column).AlignRight;
        return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
    bool HasCheckBox(const QModelIndex& index) const {
        return index.isValid() && index.column() == 0 && lv_.Checkboxes() && !lv_.OwnerData();
    }

    TListViewEx& lv_;
};

namespace {

// The header with the sort arrows of the columns: image 0 points up
// (ascending), image 1 down (descending).
class TListViewExHeader : public QHeaderView {
public:
    explicit TListViewExHeader(TListViewEx& lv) : QHeaderView(Qt::Horizontal, &lv), lv_(lv) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        const int image = lv_.HeaderImage(logicalIndex);
        if (image != 0 && image != 1) return;
        // Opposite the caption, so the arrow does not cover it.
        const int width = 8, height = 4;
        const bool captionRight = lv_.Column(logicalIndex).AlignRight;
        const int left = captionRight ? rect.left() + 4 : rect.right() - 4 - width;
        const int top = rect.center().y() - height / 2;
        QPolygon arrow;
        if (image == 0)
            arrow << QPoint(left, top + height) << QPoint(left + width, top + height) << QPoint(left + width / 2, top);
        else
            arrow << QPoint(left, top) << QPoint(left + width, top) << QPoint(left + width / 2, top + height);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::ButtonText));
        painter->drawPolygon(arrow);
        painter->restore();
    }

private:
    TListViewEx& lv_;
};

}  // namespace

// Paints every cell through the list's OnDrawCell, or its text with the
// list's selection colours when no callback is set.
class TListViewExDelegate : public QStyledItemDelegate {
public:
    explicit TListViewExDelegate(TListViewEx& lv) : QStyledItemDelegate(&lv), lv_(lv) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const bool listFocused = lv_.hasFocus();
        if (lv_.OnDrawCell) {
            painter->save();
            painter->setClipRect(option.rect);
            lv_.OnDrawCell(*painter, option.rect, index.row(), index.column(), selected, listFocused);
            const QIcon icon = lv_.GetIcon_K(index.row(), index.column());
            if (!icon.isNull()) {
                const QRect& cell = option.rect;
                icon.paint(painter,
                           QRect(cell.left() + TListViewEx::IconLeft, cell.top() + (cell.height() - 16) / 2, 16, 16));
            }
            painter->restore();
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        painter->save();
        TListViewEx::FillCellBackground(*painter, opt.rect, selected, listFocused);
        // The background is ours; the style only adds the check box and text.
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        opt.backgroundBrush = Qt::NoBrush;
        opt.palette.setColor(QPalette::Text, TListViewEx::CellColors(selected, listFocused).second);
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        painter->restore();
    }

private:
    TListViewEx& lv_;
};

TListViewEx::TListViewEx(QWidget* parent) : QTableView(parent), model_(new TListViewExModel(*this)) {
    auto* header = new TListViewExHeader(*this);
    setHorizontalHeader(header);
    setModel(model_);
    setItemDelegate(new TListViewExDelegate(*this));
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    SetRowHeight(fontMetrics().height() + 4);

    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (PopupMenu_Header) PopupMenu_Header->popup(horizontalHeader()->viewport()->mapToGlobal(pos));
    });
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { ColumnClick(*this, column); });
    connect(header, &QHeaderView::sectionMoved, this, [this] { HeaderSectionMoved(); });
    connect(header, &QHeaderView::sectionResized, this, [this] { HeaderSectionResized(); });

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (selectEventDetached_ > 0) return;
                // The current index may not have moved yet when the selection
                // changes, so the row comes from the change itself.
                int row = FocusedRow();
                bool isSelected = row >= 0 && IsRowSelected(row);
                if (!selected.isEmpty() && !isSelected) {
                    row = selected.first().top();
                    isSelected = true;
                } else if (selected.isEmpty() && !deselected.isEmpty() && row < 0) {
                    row = deselected.first().top();
                }
                if (row >= ItemsCount()) row = -1;
                if (OnSelectItem) OnSelectItem(row, isSelected);
                emit SelectItem(row, isSelected);
                previousItemIndex = row;
            });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) emit DblClick(index.row());
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit RowContextMenu(viewport()->mapToGlobal(pos), rowAt(pos.y())); });
}

TListViewEx::~TListViewEx() = default;

// --- columns -----------------------------------------------------------------

TListViewExColumn TListViewEx::ParseColumnLine(const QString& line) {
    const ColumnLayoutLine parsed = ParseColumnLayoutLine(line.toStdString(), DefaultColumnWidth);
    TListViewExColumn column;
    column.Caption = QString::fromStdString(parsed.caption);
    column.Width = parsed.width;
    column.AlignRight = parsed.alignRight;
    column.Tag = parsed.tag;
    return column;
}

QString TListViewEx::ColumnLine(const TListViewExColumn& column) {
    return ColumnLine(column.Caption, column.Width, column.AlignRight, column.Tag);
}

QString TListViewEx::ColumnLine(const QString& caption, int width, bool alignRight, int tag) {
    return QStringLiteral("%1:%2:%3:%4").arg(caption).arg(width).arg(alignRight ? "R" : "L").arg(tag);
}

void TListViewEx::SetDesignedColumns(const QStringList& lines) {
    columsOriginalSl = lines;
    if (columsCurrentSl.isEmpty()) columsCurrentSl = lines;
    LV_Create_Columns();
}

void TListViewEx::LV_Create_Columns() {
    const QString clicked = ClickedCaption();
    const QString clickedPrev = ColumnCaption(ColumnClickedPrev);
    const std::vector<TListViewExColumn> old = columns_;
    std::vector<TListViewExColumn> built;
    for (const QString& line : columsCurrentSl) {
        TListViewExColumn column = ParseColumnLine(line);
        for (const TListViewExColumn& before : old)
            if (before.Caption == column.Caption) {
                column.ImageIndex = before.ImageIndex;
                break;
            }
        built.push_back(column);
    }
    const std::vector<int> selected = SelectedRows();
    const int focused = FocusedRow();
    const int top = TopItem();

    rebuildingColumns_ = true;
    model_->beginResetModel();
    columns_ = std::move(built);
    model_->endResetModel();
    QHeaderView* header = horizontalHeader();
    // Logical order becomes the shown order again.
    for (int i = 0; i < ColumnCount(); ++i)
        if (header->visualIndex(i) != i) header->moveSection(header->visualIndex(i), i);
    for (int i = 0; i < ColumnCount(); ++i) header->resizeSection(i, columns_[i].Width);
    rebuildingColumns_ = false;

    ColumnClicked = clicked.isEmpty() ? -1 : ColumnIndexOfCaption(clicked);
    ColumnClickedPrev = clickedPrev.isEmpty() ? -1 : ColumnIndexOfCaption(clickedPrev);
    SetSelectedRows(selected, focused, false);
    if (top >= 0) SetTopItem(top);
    Invalidate();
}

void TListViewEx::ResetColumns_LVEX() {
    columsCurrentSl = columsOriginalSl;
    LV_Create_Columns();
}

QString TListViewEx::ColumnCaption(int column) const {
    return column >= 0 && column < ColumnCount() ? columns_[column].Caption : QString();
}

int TListViewEx::ColumnIndexOfCaption(const QString& caption) const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[i].Caption == caption) return i;
    return -1;
}

int TListViewEx::ColumnTag(int column) const {
    return column >= 0 && column < ColumnCount() ? columns_[column].Tag : 0;
}

int TListViewEx::HeaderImage(int column) const {
    return column >= 0 && column < ColumnCount() ? columns_[column].ImageIndex : -1;
}

void TListViewEx::SetHeaderImage(int column, int image) {
    if (column < 0 || column >= ColumnCount()) return;
    columns_[column].ImageIndex = image == 0 || image == 1 ? image : -1;
    horizontalHeader()->viewport()->update();
}

void TListViewEx::ClearSortColumn() {
    SetHeaderImage(ColumnClicked, -1);
    ColumnClicked = -1;
    ColumnClickedPrev = -1;
    FlagInverseSort = false;
}

int TListViewEx::ColumnWidth(int column) const {
    return column >= 0 && column < ColumnCount() ? horizontalHeader()->sectionSize(column) : 0;
}

void TListViewEx::HeaderSectionMoved() {
    if (rebuildingColumns_) return;
    LvDraggingColumn = true;
    if (dragTakeOverPending_) return;
    dragTakeOverPending_ = true;
    // Not inside the header's own move handling: it still uses the sections.
    QTimer::singleShot(10, this, [this] { TakeOverMovedColumns(); });
}

void TListViewEx::TakeOverMovedColumns() {
    dragTakeOverPending_ = false;
    LvDraggingColumn = false;
    const QHeaderView* header = horizontalHeader();
    QStringList lines;
    for (int visual = 0; visual < ColumnCount(); ++visual) {
        const int logical = header->logicalIndex(visual);
        TListViewExColumn column = columns_[logical];
        column.Width = header->sectionSize(logical);
        lines << ColumnLine(column);
    }
    columsCurrentSl = lines;
    LV_Create_Columns();
    if (OnDraggingFinished) OnDraggingFinished();
}

void TListViewEx::HeaderSectionResized() {
    if (rebuildingColumns_) return;
    if (headerPressed_) LvResizingColumn = true;
}

bool TListViewEx::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            headerPressed_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            headerPressed_ = false;
            if (LvResizingColumn) {
                LvResizingColumn = false;
                // Let the header finish the resize before the view looks at it.
                QTimer::singleShot(0, this, [this] {
                    if (OnResizingFinished) OnResizingFinished();
                });
            }
        }
    }
    return QTableView::eventFilter(watched, event);
}

// --- rows --------------------------------------------------------------------

void TListViewEx::SetOwnerData(bool virtualMode) {
    if (virtualMode == ownerData_) return;
    model_->beginResetModel();
    ownerData_ = virtualMode;
    rows_.clear();
    virtualCount_ = 0;
    model_->endResetModel();
    LvItems.Clear();
}

int TListViewEx::ItemsCount() const { return ownerData_ ? virtualCount_ : static_cast<int>(rows_.size()); }

void TListViewEx::SetItemsCount(int count) {
    if (!ownerData_) throw TandrelError("SetItemsCount needs a virtual list");
    count = std::max(0, count);
    const int top = TopItem();
    // Rows that go take their selection with them; that is no user's choice,
    // and a handler must not look up rows that no longer exist.
    const SelectEventDetached detached(*this);
    if (count > virtualCount_) {
        model_->beginInsertRows(QModelIndex(), virtualCount_, count - 1);
        virtualCount_ = count;
        model_->endInsertRows();
    } else if (count < virtualCount_) {
        model_->beginRemoveRows(QModelIndex(), count, virtualCount_ - 1);
        virtualCount_ = count;
        model_->endRemoveRows();
    }
    if (top >= 0 && top < count && TopItem() != top) SetTopItem(top);
    Invalidate();
}

void TListViewEx::SetRowHeight(int height) {
    rowHeight_ = std::max(1, height);
    verticalHeader()->setDefaultSectionSize(rowHeight_);
}

bool TListViewEx::SortAgain() {
    if (ColumnClicked < 0 || ColumnClicked >= ColumnCount() || !OnSort) return false;
    OnSort();
    Invalidate();
    return true;
}

void TListViewEx::Invalidate() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

// --- selection -----------------------------------------------------------------

std::vector<int> TListViewEx::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TListViewEx::SelectedCount() const { return static_cast<int>(SelectedRows().size()); }

bool TListViewEx::IsRowSelected(int row) const {
    if (row < 0 || row >= ItemsCount() || ColumnCount() == 0) return false;
    return selectionModel()->isSelected(model_->index(row, 0));
}

int TListViewEx::SelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        if (first < 0 || range.top() < first) first = range.top();
    return first;
}

int TListViewEx::FocusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TListViewEx::SetSelectedRows(const std::vector<int>& rows, int focusRow, bool scrollIntoView) {
    const SelectEventDetached detached(*this);
    const int count = ItemsCount();
    if (ColumnCount() == 0) return;
    const int lastColumn = ColumnCount() - 1;
    QItemSelection selection;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i + 1;
        while (j < rows.size() && rows[j] == rows[j - 1] + 1) ++j;
        const int first = std::max(0, rows[i]);
        const int last = std::min(count - 1, rows[j - 1]);
        i = j;
        if (first > last) continue;
        selection.select(model_->index(first, 0), model_->index(last, lastColumn));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    int focus = focusRow;
    if (focus < 0 || focus >= count) focus = selection.isEmpty() ? -1 : selection.first().top();
    if (focus < 0) return;
    // Keep the horizontal scroll: focus a column that is already in view.
    const int column = std::max(0, columnAt(0));
    selectionModel()->setCurrentIndex(model_->index(focus, column), QItemSelectionModel::NoUpdate);
    if (!scrollIntoView) return;
    executeDelayedItemsLayout();
    const int top = TopItem();
    const int fullRows = std::max(1, viewport()->height() / rowHeight_);
    if (focus < top)
        SetTopItem(focus);
    else if (focus >= top + fullRows)
        SetTopItem(std::max(0, focus - fullRows + 1));
}

void TListViewEx::SaveSelectionExXX() {
    if (ownerData_) {
        selectedRecordId.clear();
        for (int row : SelectedRows())
            if (row < LvItems.Count()) selectedRecordId.push_back(LvItems[row]);
    } else {
        selectedRecordIdx = SelectedRow();
        topRecordIdx = TopItem();
    }
}

void TListViewEx::RestoreSelectionExXX() {
    if (!ownerData_) {
        std::vector<int> rows;
        if (selectedRecordIdx >= 0 && selectedRecordIdx < ItemsCount()) rows.push_back(selectedRecordIdx);
        SetSelectedRows(rows, -1, false);
        if (topRecordIdx >= 0 && topRecordIdx < ItemsCount()) SetTopItem(topRecordIdx);
        return;
    }
    std::vector<int> wanted = selectedRecordId;
    std::sort(wanted.begin(), wanted.end());
    std::vector<int> rows;
    const int shown = std::min(ItemsCount(), LvItems.Count());
    if (!wanted.empty())
        for (int row = 0; row < shown; ++row)
            if (std::binary_search(wanted.begin(), wanted.end(), LvItems[row])) rows.push_back(row);
    SetSelectedRows(rows, -1, true);
}

void TListViewEx::SelectItemIdxCentered(int dataIndex) {
    if (!ownerData_) {
        // Without a row index list the data index is the row.
        selectedRecordIdx = dataIndex;
        topRecordIdx = -1;
        RestoreSelectionExXX();
        if (IsRowSelected(dataIndex)) EnsureVisibleCentered(dataIndex);
        return;
    }
    selectedRecordId = {dataIndex};
    RestoreSelectionExXX();
    const int row = FocusedRow();
    if (row >= 0 && IsRowSelected(row)) EnsureVisibleCentered(row);
}

void TListViewEx::SelectItemIdCentered(int row) {
    if (row < 0 || row >= ItemsCount()) return;
    SetSelectedRows({row}, row, true);
}

void TListViewEx::SelectItemIdCentered_OrNearer(int row) {
    const int count = ItemsCount();
    if (count == 0) return;
    SelectItemIdCentered(std::clamp(row, 0, count - 1));
}

// --- scrolling --------------------------------------------------------------------

void TListViewEx::EnsureVisibleCentered(int row) {
    if (row < 0 || row >= ItemsCount()) throw TandrelError("SPropertyOutOfRange");
    SetTopItem(std::max(0, row - ItemsPerPage() / 2));
}

int TListViewEx::ItemsPerPage() const {
    return std::max(1, qRound(static_cast<double>(viewport()->height()) / rowHeight_));
}

int TListViewEx::TopItem() const {
    const int count = ItemsCount();
    if (count == 0) return -1;
    // Scrolling by whole rows: the scroll position is the top row.
    return std::clamp(verticalScrollBar()->value(), 0, count - 1);
}

void TListViewEx::SetTopItem(int row) {
    if (row < 0 || row >= ItemsCount()) return;
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(row);
}

bool TListViewEx::IsTopItemChanged() {
    const int top = TopItem();
    const bool changed = top != lastTopItemIndex;
    lastTopItemIndex = top;
    return changed;
}

QRect TListViewEx::GetAbsColumnRect(int column) const {
    if (column < 0 || column >= ColumnCount()) return {};
    const QHeaderView* header = horizontalHeader();
    return QRect(header->sectionViewportPosition(column), 0, header->sectionSize(column), viewport()->height());
}

QRect TListViewEx::GetAbsColumnRectT2(int column) const {
    QRect rect = GetAbsColumnRect(column);
    if (rect.isValid()) rect.setTop(rect.top() + 2);
    return rect;
}

// --- drawing helpers ------------------------------------------------------------

QColor TListViewEx::SelectionBackground(bool listFocused) {
    return listFocused ? QColor(0x00, 0x00, 0x80) : QColor(0xAA, 0xAA, 0xAA);
}

std::pair<QColor, QColor> TListViewEx::CellColors(bool selected, bool listFocused) {
    if (selected) return {SelectionBackground(listFocused), QColor(Qt::white)};
    return {QColor(Qt::white), QColor(Qt::black)};
}

void TListViewEx::FillCellBackground(QPainter& painter, const QRect& cell, bool selected, bool listFocused) {
    const auto [background, text] = CellColors(selected, listFocused);
    painter.fillRect(cell, background);
    painter.setPen(text);
}

namespace {

void DrawCellText(QPainter& painter, const QRect& cell, const QString& text, int leftMargin, int rightMargin,
                  Qt::Alignment alignment) {
    const QRect area = cell.adjusted(leftMargin, 0, -rightMargin, 0);
    if (area.width() <= 0 || text.isEmpty()) return;
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString shown = painter.fontMetrics().elidedText(line, Qt::ElideRight, area.width());
    painter.drawText(area, alignment | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace

void TListViewEx::_DrawTextW_Left(QPainter& painter, const QRect& cell, const QString& text, int leftMargin,
                                  int rightMargin) {
    DrawCellText(painter, cell, text, leftMargin, rightMargin, Qt::AlignLeft);
}

void TListViewEx::_DrawTextW_Right(QPainter& painter, const QRect& cell, const QString& text, int leftMargin,
                                   int rightMargin) {
    DrawCellText(painter, cell, text, leftMargin, rightMargin, Qt::AlignRight);
}

// --- non-virtual mode -------------------------------------------------------------

void TListViewEx::CheckRow(int row) const {
    if (ownerData_) throw TandrelError("a virtual list holds no rows of its own");
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        throw TandrelError("List index out of bounds (" + std::to_string(row) + ")");
}

void TListViewEx::SetCheckboxes(bool on) {
    if (on == checkboxes_) return;
    checkboxes_ = on;
    if (ItemsCount() > 0) emit model_->dataChanged(model_->index(0, 0), model_->index(ItemsCount() - 1, 0));
}

bool TListViewEx::IsChecked(int row) const {
    return !ownerData_ && row >= 0 && row < static_cast<int>(rows_.size()) && rows_[row].checked;
}

void TListViewEx::SetChecked(int row, bool checked) {
    CheckRow(row);
    if (rows_[row].checked == checked) return;
    rows_[row].checked = checked;
    const QModelIndex cell = model_->index(row, 0);
    emit model_->dataChanged(cell, cell, {Qt::CheckStateRole});
}

int TListViewEx::InsertRow(int row, const QStringList& cells) {
    if (ownerData_) throw TandrelError("a virtual list holds no rows of its own");
    model_->beginInsertRows(QModelIndex(), row, row);
    rows_.insert(row, Row{cells, false});
    model_->endInsertRows();
    return row;
}

int TListViewEx::AddRange(const QStringList& cells) {
    return InsertRow(AddToTop ? 0 : static_cast<int>(rows_.size()), cells);
}

int TListViewEx::AddRangeTop(const QStringList& cells) { return InsertRow(0, cells); }

void TListViewEx::SetFromSL(const QStringList& lines) {
    if (ownerData_) throw TandrelError("a virtual list holds no rows of its own");
    model_->beginResetModel();
    rows_.clear();
    for (const QString& line : lines) rows_.append(Row{QStringList{line}, false});
    model_->endResetModel();
}

QStringList TListViewEx::GetLVLineAr(int row) const {
    CheckRow(row);
    return rows_[row].cells;
}

void TListViewEx::SetLVLineAr(int row, const QStringList& cells) {
    CheckRow(row);
    rows_[row].cells = cells;
    if (ColumnCount() > 0) emit model_->dataChanged(model_->index(row, 0), model_->index(row, ColumnCount() - 1));
}

QString TListViewEx::GetText_K(int row, int column) const {
    if (row < 0 || row >= ItemsCount() || column < 0) return {};
    if (ownerData_) return OnGetText ? OnGetText(row, column) : QString();
    return rows_[row].cells.value(column);
}

QIcon TListViewEx::GetIcon_K(int row, int column) const {
    if (!ownerData_ || !OnGetIcon || row < 0 || row >= ItemsCount() || column < 0) return {};
    return OnGetIcon(row, column);
}

int TListViewEx::IndexOf_CI(const QString& caption) const {
    if (ownerData_) return -1;
    const QString wanted = caption.trimmed();
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row)
        if (rows_[row].cells.value(0).trimmed().compare(wanted, Qt::CaseInsensitive) == 0) return row;
    return -1;
}

void TListViewEx::ExchangeItems(int row1, int row2) {
    CheckRow(row1);
    CheckRow(row2);
    if (row1 == row2) return;
    rows_.swapItemsAt(row1, row2);
    if (ColumnCount() == 0) return;
    for (int row : {row1, row2}) emit model_->dataChanged(model_->index(row, 0), model_->index(row, ColumnCount() - 1));
}

void TListViewEx::ClearItems() {
    if (ownerData_) {
        SetItemsCount(0);
        return;
    }
    model_->beginResetModel();
    rows_.clear();
    model_->endResetModel();
}

void TListViewEx::Clear() {
    ClearItems();
    LvItems.Clear();
    const SelectEventDetached detached(*this);
    selectionModel()->clear();
}

void TListViewEx::MoveSelectedByX(int offset) {
    if (ownerData_) throw TandrelError("a virtual list holds no rows of its own");
    int row = FocusedRow();
    if (row < 0 || !IsRowSelected(row)) row = SelectedRow();
    const int target = row + offset;
    if (row < 0 || offset == 0 || target < 0 || target >= ItemsCount()) return;
    if (rows_[row].cells.size() != rows_[target].cells.size()) throw TandrelError("cannot exhcange rows");
    ExchangeItems(row, target);
    SetSelectedRows({target}, target, true);
}

void TListViewEx::MoveFocusByX(int offset) {
    const int count = ItemsCount();
    if (count == 0 || ColumnCount() == 0) return;
    const int row = std::max(0, FocusedRow());
    const int target = std::clamp(row + offset, 0, count - 1);
    const int column = std::max(0, columnAt(0));
    selectionModel()->setCurrentIndex(model_->index(target, column), QItemSelectionModel::NoUpdate);
}

void TListViewEx::keyboardSearch(const QString& search) {
    if (!ownerData_) QTableView::keyboardSearch(search);
}

// --- focus --------------------------------------------------------------------------

void TListViewEx::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    viewport()->update();  // the selection colour follows the focus
}

void TListViewEx::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    viewport()->update();
}

// --- the column-click protocol -----------------------------------------------------

void ColumnClick(TListViewEx& lv, int column) {
    if (column < 0 || column >= lv.ColumnCount()) return;
    lv.ColumnClickedPrev = lv.ColumnClicked;
    lv.ColumnClicked = column;
    TListViewExColumn& clicked = lv.columns_[column];
    if (column == lv.ColumnClickedPrev) {
        lv.FlagInverseSort = !lv.FlagInverseSort;
        clicked.ImageIndex = clicked.ImageIndex == 1 ? 0 : 1;
    } else {
        lv.FlagInverseSort = false;
        clicked.ImageIndex = clicked.Tag == TListViewEx::DescendingTag ? 1 : 0;
        if (lv.ColumnClickedPrev >= 0 && lv.ColumnClickedPrev < lv.ColumnCount())
            lv.columns_[lv.ColumnClickedPrev].ImageIndex = -1;
    }
    if (lv.OnSort) lv.OnSort();
    lv.Invalidate();
}

}  // namespace tandrel
