#pragma once
// An ordered list of 32-bit integers, used as the row index list of the
// virtual lists: row r shows data record Items[r]. Sorting moves only these
// integers, never the records.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <vector>

namespace tandrel {

class TIntegerListX;

enum class TIntegerListXAction { Added, Extracted, Deleted };

// Raised once per element that enters or leaves the list.
using TIntegerListXChange = std::function<void(TIntegerListX& sender, int Item, TIntegerListXAction Action)>;

class TIntegerListX {
public:
    // Raised on every added, extracted or deleted element when set. A reorder
    // (Sort, Exchange) changes no membership and raises nothing.
    TIntegerListXChange FOnChange;
    // True while ReadData fills the list.
    bool FLoading = false;

    TIntegerListX() = default;
    TIntegerListX(std::initializer_list<int> items) : items_(items) {}

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    void Reserve(int capacity) { items_.reserve(capacity > 0 ? static_cast<std::size_t>(capacity) : 0); }

    // Appends; returns the new element's index.
    int Add(int item);
    // Inserts before index (0..Count); out of range throws TandrelError.
    void Insert(int index, int item);
    // Takes the first occurrence out (action Extracted); returns the item, or
    // 0 when it is not listed.
    int Extract(int item);
    // Deletes the first occurrence; returns its former index, or -1.
    int Remove(int item);
    // Deletes the element at index; out of range throws TandrelError.
    void Delete(int index);
    // Deletes every element (each raises Deleted when FOnChange is set).
    void Clear();
    int IndexOf(int item) const;

    // First, Last, GetItem and SetItem throw TandrelError on an empty list or
    // an index out of range.
    int First() const;
    int Last() const;
    int GetItem(int index) const;
    // Replaces an element: the old value is Deleted, the new one Added.
    void SetItem(int index, int item);
    int operator[](int index) const { return GetItem(index); }
    void Exchange(int index1, int index2);
    // Reorders: element i becomes the one that was at order[i]. order must
    // hold every index once; anything else throws TandrelError.
    void Permute(const std::vector<int>& order);

    // Sorts with compare(a, b) < 0 meaning a first. Equal elements keep their
    // order, and a comparison that is not a consistent order cannot make the
    // sort read outside the list.
    template <typename Compare>
    void Sort(Compare&& compare) {
        std::stable_sort(items_.begin(), items_.end(), [&compare](int a, int b) { return compare(a, b) < 0; });
    }

    // Binary form: a list marker, one tagged 32-bit little-endian integer
    // per element in order, an end marker.
    void WriteData(std::ostream& stream) const;
    // Clears the list, then reads the form WriteData writes, with FLoading
    // set meanwhile. On a malformed or truncated stream the list is left
    // empty and false is returned.
    bool ReadData(std::istream& stream);

    const std::vector<int>& Items() const { return items_; }
    std::vector<int>::const_iterator begin() const { return items_.begin(); }
    std::vector<int>::const_iterator end() const { return items_.end(); }

private:
    void Notify(int item, TIntegerListXAction action) {
        if (FOnChange) FOnChange(*this, item, action);
    }
    void CheckIndex(int index) const;

    std::vector<int> items_;
};

}  // namespace tandrel
