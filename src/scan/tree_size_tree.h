#pragma once
// The tree of folder sizes: one node per folder record, siblings kept in
// descending TotalSize order while a scan runs. Each refresh costs what
// changed: new folders get nodes, and only records whose change counter moved
// are revisited. An observer lets an item model follow every insert, move
// and text change.
#include <deque>
#include <string>
#include <vector>

#include "scan/scan_model.h"

namespace tandrel {

struct TTreeSizeNode {
    TDirectoryEntry* Record = nullptr;
    TTreeSizeNode* Parent = nullptr;  // null for the top node
    std::vector<TTreeSizeNode*> Children;
    int Row = 0;  // position among the parent's children (0 for the top node)
    // "12,345.6 MB name" without the view's padding of the number.
    std::string Text;
};

// Told about every change of the tree, before and after, as an item model
// needs it. Rows are the parent's children positions; the top node's parent
// is null.
class TTreeSizeObserver {
public:
    virtual ~TTreeSizeObserver() = default;
    virtual void BeforeInsert(TTreeSizeNode* parent, int row) {}
    virtual void AfterInsert(TTreeSizeNode* parent, int row) {}
    // The child at row `from` moves up to row `to` (to < from): it ends
    // before the child that was at `to`, which is also where an item model's
    // beginMoveRows wants the destination.
    virtual void BeforeMove(TTreeSizeNode* parent, int from, int to) {}
    virtual void AfterMove(TTreeSizeNode* parent, int from, int to) {}
    virtual void TextChanged(TTreeSizeNode* node) {}
    virtual void BeforeClear() {}
    virtual void AfterClear() {}
};

// The text of a record's node: TotalSize in MB with one decimal and the
// locale's separators, " MB ", then the full path for the root record and
// FolderName otherwise.
std::string TreeSizeNodeText(const TDirectoryEntry& record);

// The children re-sort of the folder records: from the root record, every
// record whose change counter moved since the last pass (_ModifiedPositionY)
// gets its children sorted by TotalSize descending, and the pass goes on into
// its children that have children. Takes the model lock.
void ResortChangedDirectoryChildren(ScanModel& model);

class TTreeSizeTree {
public:
    TTreeSizeTree() = default;
    TTreeSizeTree(const TTreeSizeTree&) = delete;
    TTreeSizeTree& operator=(const TTreeSizeTree&) = delete;

    // Not owned; null for none.
    void SetObserver(TTreeSizeObserver* observer) { observer_ = observer; }

    // Brings the tree up to date with the model, under its lock: nodes for
    // the queued new records (oldest first), then from the root record every
    // record whose change counter moved gets its text renewed and moves up
    // past its smaller preceding siblings. Unchanged subtrees are not walked.
    // The records' TreeNodeX point at their nodes. Returns whether the tree
    // was empty before.
    bool Update(ScanModel& model);

    // Forgets every node. The records are left alone: the reset that calls
    // this frees them too. A tree that is cleared while its records live on
    // must not be updated with them again.
    void Clear();

    TTreeSizeNode* Top() const { return top_; }
    bool Empty() const { return top_ == nullptr; }
    int NodeCount() const { return static_cast<int>(nodes_.size()); }
    static TTreeSizeNode* NodeOf(const TDirectoryEntry& record) {
        return static_cast<TTreeSizeNode*>(record.TreeNodeX);
    }

private:
    void AddNode(TDirectoryEntry* record);
    void Refresh(ScanModel& model, TTreeSizeNode* node);
    void MoveUp(TTreeSizeNode* node);
    void RenewText(TTreeSizeNode* node);

    std::deque<TTreeSizeNode> nodes_;
    TTreeSizeNode* top_ = nullptr;
    TTreeSizeObserver* observer_ = nullptr;
};

}  // namespace tandrel
