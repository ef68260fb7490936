#include "scan/tree_size_tree.h"

#include <algorithm>
#include <mutex>

#include "common/format_numbers.h"
#include "common/messages.h"

namespace tandrel {

std::string TreeSizeNodeText(const TDirectoryEntry& record) {
    std::string text = FormatGrouped(1, static_cast<double>(record.TotalSize) / 1048576.0);
    text += " MB ";
    text += record.ParentIdx ? record.FolderName : record.CalcPath();
    return text;
}

namespace {

// Takes over the record's change counter into its seen position; false when
// it has not moved. Compared first without the counter lock (the caller holds
// the model lock, under which the scanner counts), then again under it.
bool TakeOverChange(ScanModel& model, TDirectoryEntry& record, int TDirectoryEntry::*position) {
    if (record._ModifiedCount == record.*position) return false;
    std::lock_guard<std::mutex> lock(model.csModifiedCount);
    if (record._ModifiedCount == record.*position) return false;
    record.*position = record._ModifiedCount;
    return true;
}

void ResortChanged(ScanModel& model, TDirectoryEntry& record) {
    if (!TakeOverChange(model, record, &TDirectoryEntry::_ModifiedPositionY)) return;
    SortDirectoryChildren(record);
    for (TDirectoryEntry* child : record.ChildrenEntries)
        if (!child->ChildrenEntries.empty()) ResortChanged(model, *child);
}

}  // namespace

void ResortChangedDirectoryChildren(ScanModel& model) {
    std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
    if (model.DirectoryEntries.Empty()) return;
    ResortChanged(model, *model.DirectoryEntries[0]);
}

bool TTreeSizeTree::Update(ScanModel& model) {
    const bool wasEmpty = top_ == nullptr;
    std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
    if (model.DirectoryEntries.Empty()) return wasEmpty;

    // The whole queue at once, oldest first: taking records one by one from
    // its front would cost the square of a large scan's folder count.
    std::vector<TDirectoryEntry*> fresh;
    {
        std::lock_guard<std::mutex> queueLock(model.csNewDirectoryEntries);
        fresh.swap(model.NewDirectoryEntries);
    }
    for (TDirectoryEntry* record : fresh) AddNode(record);

    if (TTreeSizeNode* rootNode = NodeOf(*model.DirectoryEntries[0])) Refresh(model, rootNode);
    return wasEmpty;
}

void TTreeSizeTree::Clear() {
    if (observer_) observer_->BeforeClear();
    top_ = nullptr;
    nodes_.clear();
    if (observer_) observer_->AfterClear();
}

void TTreeSizeTree::AddNode(TDirectoryEntry* record) {
    if (record->TreeNodeX) {
        GetMessages().ShowMessage(MessageKind::Info, "x14");
        return;
    }
    TTreeSizeNode* parent = nullptr;
    if (record->ParentIdx) {
        parent = NodeOf(*record->ParentIdx);
        if (!parent) {
            GetMessages().ShowMessage(MessageKind::Info, "x13");
            return;
        }
    } else if (top_) {
        // The tree has one top node; a second parentless record has no place.
        GetMessages().ShowMessage(MessageKind::Info, "x14");
        return;
    }

    const int row = parent ? static_cast<int>(parent->Children.size()) : 0;
    if (observer_) observer_->BeforeInsert(parent, row);
    TTreeSizeNode& node = nodes_.emplace_back();
    node.Record = record;
    node.Parent = parent;
    node.Row = row;
    node.Text = TreeSizeNodeText(*record);
    if (parent) {
        parent->Children.push_back(&node);
    } else {
        top_ = &node;
    }
    record->TreeNodeX = &node;
    if (observer_) observer_->AfterInsert(parent, row);
}

void TTreeSizeTree::Refresh(ScanModel& model, TTreeSizeNode* node) {
    if (!TakeOverChange(model, *node->Record, &TDirectoryEntry::_ModifiedPositionX)) return;
    RenewText(node);
    MoveUp(node);
    // A child that moves goes to a lower row, so the next row still holds
    // the next child not yet visited.
    for (std::size_t i = 0; i < node->Children.size(); ++i) Refresh(model, node->Children[i]);
}

void TTreeSizeTree::RenewText(TTreeSizeNode* node) {
    std::string text = TreeSizeNodeText(*node->Record);
    if (text == node->Text) return;
    node->Text = std::move(text);
    if (observer_) observer_->TextChanged(node);
}

void TTreeSizeTree::MoveUp(TTreeSizeNode* node) {
    TTreeSizeNode* parent = node->Parent;
    if (!parent) return;
    std::vector<TTreeSizeNode*>& siblings = parent->Children;
    const int from = node->Row;
    const std::int64_t size = node->Record->TotalSize;
    // Past the smaller siblings right before it; an equal one keeps its place
    // in front, so equal sizes stay in arrival order.
    int to = from;
    while (to > 0 && siblings[to - 1]->Record->TotalSize < size) --to;
    if (to == from) return;
    if (observer_) observer_->BeforeMove(parent, from, to);
    std::rotate(siblings.begin() + to, siblings.begin() + from, siblings.begin() + from + 1);
    for (int i = to; i <= from; ++i) siblings[i]->Row = i;
    if (observer_) observer_->AfterMove(parent, from, to);
}

}  // namespace tandrel
