#pragma once
// Small holders for the parts of a scan that exist millions of times: a name
// of one pointer whose bytes sit in a shared arena, and a list of children of
// one pointer. A scan of a million files holds a million of each, so every
// word counts.
#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iosfwd>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tandrel {

// Bytes of many names packed one after the other in big blocks, freed all at
// once. Each name is a one-byte header (the length, or 127 and a 4-byte
// length after it) then its bytes, with no terminator and no alignment.
class TNameArena {
public:
    TNameArena() = default;
    ~TNameArena() { Clear(); }
    TNameArena(const TNameArena&) = delete;
    TNameArena& operator=(const TNameArena&) = delete;

    // The stored name's header; null for an empty name.
    const char* Add(std::string_view name);
    void Clear();
    // Bytes of the blocks, as the allocator holds them.
    std::size_t Bytes() const { return bytes_; }

private:
    static constexpr std::size_t kBlock = std::size_t(64) << 10;
    std::vector<char*> blocks_;
    char* free_ = nullptr;
    std::size_t left_ = 0;
    std::size_t bytes_ = 0;
};

// A name of one pointer. Names put in by a scan or a load live in the
// store's arena (AssignIn); any other assignment gets a heap block of its
// own, freed with the name. Reads as a std::string_view.
class TNodeName {
public:
    TNodeName() = default;
    ~TNodeName() { Release(); }
    TNodeName(const TNodeName& other) { Assign(other.view()); }
    TNodeName& operator=(const TNodeName& other) {
        if (this != &other) Assign(other.view());
        return *this;
    }
    TNodeName& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    TNodeName& operator=(const std::string& text) { return *this = std::string_view(text); }
    TNodeName& operator=(const char* text) { return *this = std::string_view(text); }
    void assign(std::string_view text) { Assign(text); }
    void clear() { Release(); }
    // Puts the bytes in arena, which must outlive the name.
    void AssignIn(TNameArena& arena, std::string_view text) {
        Release();
        header_ = arena.Add(text);
    }

    std::string_view view() const {
        if (!header_) return {};
        const auto first = static_cast<unsigned char>(*header_);
        const std::size_t length = first & kLengthMask;
        if (length != kLongLength) return {header_ + 1, length};
        std::uint32_t longLength;
        std::memcpy(&longLength, header_ + 1, sizeof longLength);
        return {header_ + 1 + sizeof longLength, longLength};
    }
    operator std::string_view() const { return view(); }
    operator std::string() const { return std::string(view()); }
    std::string str() const { return std::string(view()); }

    bool empty() const { return header_ == nullptr; }
    std::size_t size() const { return view().size(); }
    std::size_t length() const { return size(); }
    const char* data() const { return view().data(); }
    const char* begin() const { return view().data(); }
    const char* end() const { return view().data() + view().size(); }
    char operator[](std::size_t i) const { return view()[i]; }
    char back() const { return view().back(); }
    bool starts_with(std::string_view text) const { return view().starts_with(text); }
    bool ends_with(std::string_view text) const { return view().ends_with(text); }

    friend bool operator==(const TNodeName& a, const TNodeName& b) { return a.view() == b.view(); }
    friend bool operator==(const TNodeName& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const TNodeName& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const TNodeName& a, const char* b) { return a.view() == b; }
    friend std::ostream& operator<<(std::ostream& out, const TNodeName& name);

    // The header layout, shared with the arena.
    static constexpr unsigned kOwnedFlag = 0x80;
    static constexpr unsigned kLengthMask = 0x7F;
    static constexpr std::size_t kLongLength = 0x7F;
    static std::size_t StoredSize(std::size_t length) {
        return 1 + (length >= kLongLength ? sizeof(std::uint32_t) : 0) + length;
    }
    // Writes the header and bytes of text at out.
    static void Store(char* out, std::string_view text, bool owned);

private:
    void Assign(std::string_view text);
    void Release() {
        if (header_ && (static_cast<unsigned char>(*header_) & kOwnedFlag)) std::free(const_cast<char*>(header_));
        header_ = nullptr;
    }

    const char* header_ = nullptr;
};

// A list of children of one pointer: the count and the room sit in the
// heap block in front of the items, and a leaf holds no block at all. The
// part of the std::vector interface the code uses; iterators are pointers.
template <typename T>
class TChildList {
public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;
    using size_type = std::size_t;

    TChildList() = default;
    ~TChildList() { std::free(block_); }
    TChildList(const TChildList& other) { assign(other.begin(), other.end()); }
    TChildList(TChildList&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    TChildList& operator=(const TChildList& other) {
        if (this != &other) assign(other.begin(), other.end());
        return *this;
    }
    TChildList& operator=(TChildList&& other) noexcept {
        if (this != &other) {
            std::free(block_);
            block_ = std::exchange(other.block_, nullptr);
        }
        return *this;
    }
    TChildList& operator=(std::initializer_list<T> items) {
        assign(items.begin(), items.end());
        return *this;
    }
    TChildList& operator=(const std::vector<T>& items) {
        assign(items.data(), items.data() + items.size());
        return *this;
    }
    operator std::vector<T>() const { return std::vector<T>(begin(), end()); }

    std::size_t size() const { return block_ ? block_->size : 0; }
    std::size_t capacity() const { return block_ ? block_->capacity : 0; }
    bool empty() const { return size() == 0; }
    T* data() { return block_ ? block_->items : nullptr; }
    const T* data() const { return block_ ? block_->items : nullptr; }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    T& operator[](std::size_t i) { return block_->items[i]; }
    const T& operator[](std::size_t i) const { return block_->items[i]; }
    T& front() { return block_->items[0]; }
    T& back() { return block_->items[block_->size - 1]; }
    const T& front() const { return block_->items[0]; }
    const T& back() const { return block_->items[block_->size - 1]; }

    void reserve(std::size_t n) {
        if (n > capacity()) Grow(n);
    }
    void push_back(T item) {
        if (size() == capacity()) Grow(NextCapacity());
        block_->items[block_->size++] = item;
    }
    T* insert(const T* at, T item) {
        const std::size_t index = static_cast<std::size_t>(at - data());
        if (size() == capacity()) Grow(NextCapacity());
        T* items = block_->items;
        std::memmove(items + index + 1, items + index, (block_->size - index) * sizeof(T));
        items[index] = item;
        ++block_->size;
        return items + index;
    }
    T* erase(const T* at) { return erase(at, at + 1); }
    T* erase(const T* first, const T* last) {
        T* items = data();
        const std::size_t from = static_cast<std::size_t>(first - items);
        const std::size_t count = static_cast<std::size_t>(last - first);
        if (count) {
            std::memmove(items + from, items + from + count, (block_->size - from - count) * sizeof(T));
            block_->size -= static_cast<std::uint32_t>(count);
        }
        return items + from;
    }
    void pop_back() { --block_->size; }
    void clear() {
        if (block_) block_->size = 0;
    }
    // Frees the block, as swapping with an empty vector does.
    void release() {
        std::free(block_);
        block_ = nullptr;
    }
    template <typename It>
    void assign(It first, It last) {
        clear();
        reserve(static_cast<std::size_t>(std::distance(first, last)));
        for (; first != last; ++first) push_back(*first);
    }
    friend bool operator==(const TChildList& a, const TChildList& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator==(const TChildList& a, const std::vector<T>& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }
    // Bytes of the heap block as the allocator holds it (for measuring).
    std::size_t HeapBytes() const { return block_ ? malloc_usable_size(block_) + sizeof(std::size_t) : 0; }

private:
    static_assert(std::is_trivially_copyable_v<T>, "items move with memmove");
    struct Block {
        std::uint32_t size;
        std::uint32_t capacity;
        T items[1];
    };
    static std::size_t BlockBytes(std::size_t n) { return offsetof(Block, items) + n * sizeof(T); }
    std::size_t NextCapacity() const { return capacity() < 4 ? 4 : capacity() + capacity() / 2; }
    void Grow(std::size_t n) {
        if (n > UINT32_MAX) throw std::bad_alloc();
        auto* grown = static_cast<Block*>(std::realloc(block_, BlockBytes(n)));
        if (!grown) throw std::bad_alloc();
        if (!block_) grown->size = 0;
        grown->capacity = static_cast<std::uint32_t>(n);
        block_ = grown;
    }

    Block* block_ = nullptr;
};

}  // namespace tandrel
