#include "common/integer_list_x.h"

#include <istream>
#include <ostream>
#include <string>

#include "common/types.h"

namespace tandrel {

namespace {

constexpr char kEndMarker = 0;
constexpr char kListMarker = 1;
constexpr char kInt32Tag = 4;

}  // namespace

void TIntegerListX::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw TandrelError("List index out of bounds (" + std::to_string(index) + ")");
}

int TIntegerListX::Add(int item) {
    items_.push_back(item);
    Notify(item, TIntegerListXAction::Added);
    return Count() - 1;
}

void TIntegerListX::Insert(int index, int item) {
    if (index < 0 || index > Count()) throw TandrelError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, item);
    Notify(item, TIntegerListXAction::Added);
}

int TIntegerListX::Extract(int item) {
    const int index = IndexOf(item);
    if (index < 0) return 0;
    items_.erase(items_.begin() + index);
    Notify(item, TIntegerListXAction::Extracted);
    return item;
}

int TIntegerListX::Remove(int item) {
    const int index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
}

void TIntegerListX::Delete(int index) {
    CheckIndex(index);
    const int item = items_[index];
    items_.erase(items_.begin() + index);
    Notify(item, TIntegerListXAction::Deleted);
}

void TIntegerListX::Permute(const std::vector<int>& order) {
    if (order.size() != items_.size()) throw TandrelError("List permutation of the wrong length");
    std::vector<int> items(items_.size());
    std::vector<bool> taken(items_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int from = order[i];
        if (from < 0 || from >= Count() || taken[static_cast<std::size_t>(from)])
            throw TandrelError("List permutation out of bounds (" + std::to_string(from) + ")");
        taken[static_cast<std::size_t>(from)] = true;
        items[i] = items_[static_cast<std::size_t>(from)];
    }
    items_.swap(items);
}

void TIntegerListX::Clear() {
    if (!FOnChange) {
        items_.clear();
        return;
    }
    // Empty first, so a handler sees the list as it ends up.
    std::vector<int> old;
    old.swap(items_);
    for (int item : old) Notify(item, TIntegerListXAction::Deleted);
}

int TIntegerListX::IndexOf(int item) const {
    const auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TIntegerListX::First() const { return GetItem(0); }

int TIntegerListX::Last() const { return GetItem(Count() - 1); }

int TIntegerListX::GetItem(int index) const {
    CheckIndex(index);
    return items_[index];
}

void TIntegerListX::SetItem(int index, int item) {
    CheckIndex(index);
    const int old = items_[index];
    if (old == item) return;
    items_[index] = item;
    Notify(old, TIntegerListXAction::Deleted);
    Notify(item, TIntegerListXAction::Added);
}

void TIntegerListX::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(items_[index1], items_[index2]);
}

void TIntegerListX::WriteData(std::ostream& stream) const {
    std::string bytes;
    bytes.reserve(items_.size() * 5 + 2);
    bytes.push_back(kListMarker);
    for (int item : items_) {
        const auto value = static_cast<std::uint32_t>(item);
        bytes.push_back(kInt32Tag);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    bytes.push_back(kEndMarker);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool TIntegerListX::ReadData(std::istream& stream) {
    struct LoadingFlag {
        bool& flag;
        explicit LoadingFlag(bool& f) : flag(f) { flag = true; }
        ~LoadingFlag() { flag = false; }
    } loading(FLoading);
    Clear();
    char marker = 0;
    bool ok = static_cast<bool>(stream.get(marker)) && marker == kListMarker;
    while (ok) {
        char tag = 0;
        if (!stream.get(tag)) {
            ok = false;
            break;
        }
        if (tag == kEndMarker) break;
        unsigned char bytes[4];
        if (tag != kInt32Tag || !stream.read(reinterpret_cast<char*>(bytes), 4)) {
            ok = false;
            break;
        }
        const std::uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
        Add(static_cast<int>(value));
    }
    if (!ok) Clear();
    return ok;
}

}  // namespace tandrel
