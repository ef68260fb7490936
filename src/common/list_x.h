#pragma once
// A list of references with a lock the caller takes when it shares the list
// between threads. It does not own its items.
#include <algorithm>
#include <mutex>
#include <vector>

namespace tandrel {

template <typename T>
class TListX : public std::vector<T*> {
public:
    using Base = std::vector<T*>;
    using Base::Base;

    std::mutex cs;

    void LockList() { cs.lock(); }
    void UnlockList() { cs.unlock(); }
    void LockAndAdd(T* item) {
        std::lock_guard<std::mutex> guard(cs);
        this->push_back(item);
    }

    int Count() const { return static_cast<int>(this->size()); }
    int Add(T* item) {
        this->push_back(item);
        return Count() - 1;
    }
    int IndexOf(const T* item) const {
        const auto it = std::find(this->begin(), this->end(), item);
        return it == this->end() ? -1 : static_cast<int>(it - this->begin());
    }
    // Removes the first reference to the item; its former index, or -1.
    int Remove(const T* item) {
        const int index = IndexOf(item);
        if (index >= 0) this->erase(this->begin() + index);
        return index;
    }

    // Sorts with compare(a, b) < 0 meaning a before b. Equal items keep their
    // order, and a comparison that is not a consistent order cannot make the
    // sort leave the list.
    template <typename Compare>
    void Sort(Compare compare) {
        std::stable_sort(this->begin(), this->end(), [&compare](T* a, T* b) { return compare(a, b) < 0; });
    }
    template <typename Compare>
    void SortX(Compare compare) {
        Sort(compare);
    }
};

}  // namespace tandrel
