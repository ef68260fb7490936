#include "scan/compact_storage.h"

#include <ostream>

namespace tandrel {

void TNodeName::Store(char* out, std::string_view text, bool owned) {
    const unsigned flag = owned ? kOwnedFlag : 0;
    if (text.size() < kLongLength) {
        *out++ = static_cast<char>(flag | static_cast<unsigned>(text.size()));
    } else {
        *out++ = static_cast<char>(flag | kLongLength);
        const auto length = static_cast<std::uint32_t>(text.size());
        std::memcpy(out, &length, sizeof length);
        out += sizeof length;
    }
    std::memcpy(out, text.data(), text.size());
}

void TNodeName::Assign(std::string_view text) {
    // The text may be this name's own bytes: copied before they are freed.
    char* block = nullptr;
    if (!text.empty()) {
        if (text.size() > UINT32_MAX) throw std::bad_alloc();
        block = static_cast<char*>(std::malloc(StoredSize(text.size())));
        if (!block) throw std::bad_alloc();
        Store(block, text, true);
    }
    Release();
    header_ = block;
}

std::ostream& operator<<(std::ostream& out, const TNodeName& name) { return out << name.view(); }

const char* TNameArena::Add(std::string_view name) {
    if (name.empty()) return nullptr;
    if (name.size() > UINT32_MAX) throw std::bad_alloc();
    const std::size_t need = TNodeName::StoredSize(name.size());
    if (need > left_) {
        // A name longer than a quarter block gets a block of its own, so
        // the current block keeps its room.
        const std::size_t size = need > kBlock / 4 ? need : kBlock;
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) throw std::bad_alloc();
        blocks_.push_back(block);
        bytes_ += malloc_usable_size(block) + sizeof(std::size_t);
        if (size == kBlock) {
            free_ = block;
            left_ = kBlock;
        } else {
            TNodeName::Store(block, name, false);
            return block;
        }
    }
    char* at = free_;
    TNodeName::Store(at, name, false);
    free_ += need;
    left_ -= need;
    return at;
}

void TNameArena::Clear() {
    for (char* block : blocks_) std::free(block);
    blocks_.clear();
    blocks_.shrink_to_fit();
    free_ = nullptr;
    left_ = 0;
    bytes_ = 0;
}

}  // namespace tandrel
