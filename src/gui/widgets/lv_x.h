#pragma once
// Binds a TListViewEx to a list of records: row r shows LvItems[r]. Sorting
// moves record pointers only, and the selection is kept by record identity,
// so a re-sort or a refill keeps the user's selection. The records belong to
// their engine; the binding owns its two lists only.
#include <algorithm>
#include <unordered_set>
#include <vector>

#include "gui/widgets/list_view_ex.h"

namespace tandrel {

template <typename T>
class TLvX {
public:
    explicit TLvX(TListViewEx* listView) : lv(listView) {}

    std::vector<T*> selectedRecordId;  // the saved selection
    std::vector<T*> LvItems;           // row r shows LvItems[r]
    TListViewEx* lv;

    int Count() const { return static_cast<int>(LvItems.size()); }
    // The record of a row, nullptr outside the rows: what the draw callbacks use.
    T* Record(int row) const { return row >= 0 && row < Count() ? LvItems[row] : nullptr; }
    // Tells the list how many rows there are now.
    void UpdateItemsCount() { lv->SetItemsCount(Count()); }
    // Empties the rows; do this before the engine clears or refills the records.
    void Clear() {
        LvItems.clear();
        lv->SetItemsCount(0);
    }

    void SaveSelectionEx() {
        selectedRecordId.clear();
        for (int row : lv->SelectedRows())
            if (T* record = Record(row)) selectedRecordId.push_back(record);
    }
    // Selects exactly the rows of the saved records, focuses the first and
    // scrolls it into view, without raising the list's select-item event.
    void RestoreSelectionEx() {
        const std::unordered_set<const T*> wanted(selectedRecordId.begin(), selectedRecordId.end());
        std::vector<int> rows;
        const int shown = std::min(Count(), lv->ItemsCount());
        if (!wanted.empty())
            for (int row = 0; row < shown; ++row)
                if (wanted.count(LvItems[row])) rows.push_back(row);
        lv->SetSelectedRows(rows, -1, true);
    }
    // Selects that record alone and centres its row; nothing is selected
    // when it is not listed.
    void SelectItemIdxCentered(T* record) {
        selectedRecordId = {record};
        RestoreSelectionEx();
        const int row = lv->FocusedRow();
        if (row >= 0 && lv->IsRowSelected(row)) lv->EnsureVisibleCentered(row);
    }
    // comparison(const T& a, const T& b) < 0: a first.
    template <typename Comparison>
    void SortX(Comparison&& comparison) {
        std::stable_sort(LvItems.begin(), LvItems.end(),
                         [&comparison](const T* a, const T* b) { return comparison(*a, *b) < 0; });
    }
    // Sorts with compare(column, inverse, a, b) by the list's sort state.
    template <typename Compare>
    void SortByClickedColumn(Compare&& compare) {
        const int column = lv->ColumnClicked;
        const bool inverse = lv->FlagInverseSort;
        SortX([&](const T& a, const T& b) { return compare(column, inverse, a, b); });
    }
    // Linear search for the record's row; false when it is not listed.
    bool IsSelectedSlow(const T* record) const {
        const auto it = std::find(LvItems.begin(), LvItems.end(), record);
        return it != LvItems.end() && lv->IsRowSelected(static_cast<int>(it - LvItems.begin()));
    }
};

}  // namespace tandrel
