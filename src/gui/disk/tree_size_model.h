#pragma once
// The item model behind the tree of folder sizes: a thin view of the
// Qt-free tree, told of every insert, move and text change as it happens so
// that the tree view keeps its expanded folders and its selection while a
// scan runs.
#include <QAbstractItemModel>
#include <QFont>
#include <QIcon>

#include "scan/tree_size_tree.h"

class QFontMetrics;

namespace tandrel {

// The text padded on the left with blanks until it is at least minWidth
// pixels wide: sizes in a column of names then line up.
QString PadLeftToWidth(const QFontMetrics& metrics, QString text, int minWidth);

class TTreeSizeItemModel : public QAbstractItemModel, private TTreeSizeObserver {
    Q_OBJECT
public:
    explicit TTreeSizeItemModel(QObject* parent = nullptr);
    ~TTreeSizeItemModel() override;

    TTreeSizeTree& Tree() { return tree_; }
    // Brings the tree up to date (the caller holds the model lock). A tree
    // built from nothing is announced as one reset, not node by node.
    // Returns whether the tree was empty before.
    bool Update(ScanModel& model);
    void Clear();

    QModelIndex IndexOf(const TTreeSizeNode* node) const;
    static TTreeSizeNode* NodeAt(const QModelIndex& index);
    // The font the sizes are padded in (the tree view's).
    void SetFont(const QFont& font) { font_ = font; }
    // The node's text as shown: the size padded on the left with blanks to
    // at least 50 pixels, then " MB " and the name.
    QString DisplayText(const TTreeSizeNode& node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void BeforeInsert(TTreeSizeNode* parent, int row) override;
    void AfterInsert(TTreeSizeNode* parent, int row) override;
    void BeforeMove(TTreeSizeNode* parent, int from, int to) override;
    void AfterMove(TTreeSizeNode* parent, int from, int to) override;
    void TextChanged(TTreeSizeNode* node) override;
    void BeforeClear() override;
    void AfterClear() override;

    TTreeSizeTree tree_;
    QFont font_;
    QIcon folderIcon_;
    bool bulk_ = false;  // inside a reset: single changes are not announced
};

}  // namespace tandrel
