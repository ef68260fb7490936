#include "gui/disk/tree_size_model.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

namespace tandrel {

namespace {
constexpr int kSizeMinWidth = 50;  // pixels the padded size takes at least
}

TTreeSizeItemModel::TTreeSizeItemModel(QObject* parent) : QAbstractItemModel(parent) {
    tree_.SetObserver(this);
    folderIcon_ = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
}

TTreeSizeItemModel::~TTreeSizeItemModel() { tree_.SetObserver(nullptr); }

bool TTreeSizeItemModel::Update(ScanModel& model) {
    if (!tree_.Empty()) return tree_.Update(model);
    // A tree built from nothing (a snapshot load, the first refresh of a
    // scan) may bring a hundred thousand folders at once.
    beginResetModel();
    bulk_ = true;
    const bool wasEmpty = tree_.Update(model);
    bulk_ = false;
    endResetModel();
    return wasEmpty;
}

void TTreeSizeItemModel::Clear() { tree_.Clear(); }

TTreeSizeNode* TTreeSizeItemModel::NodeAt(const QModelIndex& index) {
    return index.isValid() ? static_cast<TTreeSizeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TTreeSizeItemModel::IndexOf(const TTreeSizeNode* node) const {
    if (!node) return {};
    return createIndex(node->Row, 0, const_cast<TTreeSizeNode*>(node));
}

QString PadLeftToWidth(const QFontMetrics& metrics, QString text, int minWidth) {
    // Bounded: a font without a width for the blank must not loop forever.
    for (int i = 0; i < 64 && metrics.horizontalAdvance(text) < minWidth; ++i) text.prepend(QLatin1Char(' '));
    return text;
}

QString TTreeSizeItemModel::DisplayText(const TTreeSizeNode& node) const {
    const QString text = QString::fromStdString(node.Text);
    const qsizetype unit = text.indexOf(QStringLiteral(" MB "));
    if (unit < 0) return text;
    return PadLeftToWidth(QFontMetrics(font_), text.left(unit), kSizeMinWidth) + text.mid(unit);
}

QModelIndex TTreeSizeItemModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 && tree_.Top() ? IndexOf(tree_.Top()) : QModelIndex();
    const TTreeSizeNode* node = NodeAt(parent);
    if (row >= static_cast<int>(node->Children.size())) return {};
    return IndexOf(node->Children[row]);
}

QModelIndex TTreeSizeItemModel::parent(const QModelIndex& child) const {
    const TTreeSizeNode* node = NodeAt(child);
    return node && node->Parent ? IndexOf(node->Parent) : QModelIndex();
}

int TTreeSizeItemModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return tree_.Top() ? 1 : 0;
    if (parent.column() != 0) return 0;
    return static_cast<int>(NodeAt(parent)->Children.size());
}

int TTreeSizeItemModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TTreeSizeItemModel::data(const QModelIndex& index, int role) const {
    const TTreeSizeNode* node = NodeAt(index);
    if (!node) return {};
    if (role == Qt::DisplayRole) return DisplayText(*node);
    if (role == Qt::DecorationRole) return folderIcon_;
    return {};
}

void TTreeSizeItemModel::BeforeInsert(TTreeSizeNode* parent, int row) {
    if (!bulk_) beginInsertRows(IndexOf(parent), row, row);
}

void TTreeSizeItemModel::AfterInsert(TTreeSizeNode*, int) {
    if (!bulk_) endInsertRows();
}

void TTreeSizeItemModel::BeforeMove(TTreeSizeNode* parent, int from, int to) {
    if (bulk_) return;
    const QModelIndex index = IndexOf(parent);
    beginMoveRows(index, from, from, index, to);
}

void TTreeSizeItemModel::AfterMove(TTreeSizeNode*, int, int) {
    if (!bulk_) endMoveRows();
}

void TTreeSizeItemModel::TextChanged(TTreeSizeNode* node) {
    if (bulk_) return;
    const QModelIndex index = IndexOf(node);
    emit dataChanged(index, index, {Qt::DisplayRole});
}

void TTreeSizeItemModel::BeforeClear() { beginResetModel(); }

void TTreeSizeItemModel::AfterClear() { endResetModel(); }

}  // namespace tandrel
