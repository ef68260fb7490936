#include "common/thread_string_list.h"

#include <algorithm>
#include <istream>
#include <iterator>
#include <ostream>

#include "common/compare.h"
#include "common/text_encoding.h"
#include "common/text_file.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

std::string_view NamePart(std::string_view line) {
    const std::size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

bool NeedsQuotes(std::string_view line, char delimiter) {
    if (line.empty()) return true;
    if (static_cast<unsigned char>(line.front()) <= ' ' || static_cast<unsigned char>(line.back()) <= ' ') return true;
    return line.find(delimiter) != std::string_view::npos || line.find('"') != std::string_view::npos;
}

}  // namespace

TThreadStringList::TThreadStringList() = default;

TThreadStringList::~TThreadStringList() {
    destroyed_ = true;
    Guard guard(lock_);
    list_.clear();
}

TStringList& TThreadStringList::LockList() {
    lock_.lock();
    return list_;
}

void TThreadStringList::UnlockList() { lock_.unlock(); }

void TThreadStringList::CheckIndex(int index, int count) const {
    if (index < 0 || index >= count) throw TandrelError("List index out of bounds (" + std::to_string(index) + ")");
}

bool TThreadStringList::FindLocked(std::string_view line, int& index) const {
    int low = 0, high = static_cast<int>(list_.size()) - 1;
    bool found = false;
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        const int c = CompareTextLocale(list_[mid], line);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) found = true;  // keep going left: the first equal line
        }
    }
    index = low;
    return found;
}

int TThreadStringList::AddLocked(std::string_view line) {
    if (!sorted_) {
        list_.emplace_back(line);
        return static_cast<int>(list_.size()) - 1;
    }
    int index = 0;
    if (FindLocked(line, index)) {
        if (duplicates_ == Duplicates::Ignore) return -1;
        if (duplicates_ == Duplicates::Error) throw TandrelError("String list does not allow duplicates");
    }
    list_.emplace(list_.begin() + index, line);
    return index;
}

int TThreadStringList::Add(std::string_view line) {
    Guard guard(lock_);
    if (destroyed_) return -1;
    return AddLocked(line);
}

void TThreadStringList::AddStrings(const TStringList& lines) {
    Guard guard(lock_);
    if (destroyed_) return;
    for (const std::string& line : lines) AddLocked(line);
}

void TThreadStringList::Delete(int index) {
    Guard guard(lock_);
    if (destroyed_) return;
    CheckIndex(index, static_cast<int>(list_.size()));
    list_.erase(list_.begin() + index);
}

bool TThreadStringList::DeleteFirstExact(std::string_view line) {
    Guard guard(lock_);
    if (destroyed_) return false;
    const auto it = std::find(list_.begin(), list_.end(), line);
    if (it == list_.end()) return false;
    list_.erase(it);
    return true;
}

void TThreadStringList::Clear() {
    Guard guard(lock_);
    if (destroyed_) return;
    list_.clear();
}

void TThreadStringList::Exchange(int index1, int index2) {
    Guard guard(lock_);
    if (destroyed_) return;
    if (sorted_) throw TandrelError("Operation not allowed on sorted list");
    CheckIndex(index1, static_cast<int>(list_.size()));
    CheckIndex(index2, static_cast<int>(list_.size()));
    std::swap(list_[index1], list_[index2]);
}

bool TThreadStringList::Find(std::string_view line, int& index) {
    Guard guard(lock_);
    return FindLocked(line, index);
}

void TThreadStringList::Insert(int index, std::string_view line) {
    Guard guard(lock_);
    if (destroyed_) return;
    if (sorted_) throw TandrelError("Operation not allowed on sorted list");
    CheckIndex(index, static_cast<int>(list_.size()) + 1);
    list_.emplace(list_.begin() + index, line);
}

int TThreadStringList::IndexOf(std::string_view line) {
    Guard guard(lock_);
    for (std::size_t i = 0; i < list_.size(); ++i)
        if (platform::SameTextIgnoreCase(list_[i], line)) return static_cast<int>(i);
    return -1;
}

int TThreadStringList::IndexOfName(std::string_view name) {
    Guard guard(lock_);
    for (std::size_t i = 0; i < list_.size(); ++i) {
        const std::string_view line = list_[i];
        if (line.find('=') != std::string_view::npos && platform::SameTextIgnoreCase(NamePart(line), name))
            return static_cast<int>(i);
    }
    return -1;
}

void TThreadStringList::Sort() {
    Guard guard(lock_);
    if (destroyed_) return;
    std::stable_sort(list_.begin(), list_.end(),
                     [](const std::string& a, const std::string& b) { return CompareTextLocale(a, b) < 0; });
}

bool TThreadStringList::LoadFromFile(const std::string& file) {
    TStringList lines;
    const bool ok = LoadTextFile(lines, file);
    Guard guard(lock_);
    if (destroyed_) return false;
    list_.clear();
    for (const std::string& line : lines) AddLocked(line);
    return ok;
}

bool TThreadStringList::SaveToFile(const std::string& file) {
    Guard guard(lock_);
    return SaveTextFile(list_, file);
}

void TThreadStringList::LoadFromStream(std::istream& in) {
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SetText(DecodeTextBytes(bytes));
}

void TThreadStringList::SaveToStream(std::ostream& out) {
    const std::string text = GetText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string TThreadStringList::GetNames(int index) {
    Guard guard(lock_);
    CheckIndex(index, static_cast<int>(list_.size()));
    return std::string(NamePart(list_[index]));
}

std::string TThreadStringList::GetValues(std::string_view name) {
    Guard guard(lock_);
    const int index = IndexOfName(name);
    if (index < 0) return {};
    const std::string& line = list_[index];
    return line.substr(line.find('=') + 1);
}

void TThreadStringList::SetValues(std::string_view name, std::string_view value) {
    Guard guard(lock_);
    if (destroyed_) return;
    const int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0) list_.erase(list_.begin() + index);
        return;
    }
    std::string line(name);
    line += '=';
    line += value;
    if (index < 0) {
        AddLocked(line);
    } else if (sorted_) {
        list_.erase(list_.begin() + index);
        AddLocked(line);
    } else {
        list_[index] = std::move(line);
    }
}

std::string TThreadStringList::GetStrings(int index) {
    Guard guard(lock_);
    CheckIndex(index, static_cast<int>(list_.size()));
    return list_[index];
}

void TThreadStringList::SetStrings(int index, std::string_view line) {
    Guard guard(lock_);
    if (destroyed_) return;
    if (sorted_) throw TandrelError("Operation not allowed on sorted list");
    CheckIndex(index, static_cast<int>(list_.size()));
    list_[index] = line;
}

Duplicates TThreadStringList::GetDuplicates() {
    Guard guard(lock_);
    return duplicates_;
}

void TThreadStringList::SetDuplicates(Duplicates mode) {
    Guard guard(lock_);
    duplicates_ = mode;
}

bool TThreadStringList::GetSorted() {
    Guard guard(lock_);
    return sorted_;
}

void TThreadStringList::SetSorted(bool sorted) {
    Guard guard(lock_);
    if (sorted && !sorted_)
        std::stable_sort(list_.begin(), list_.end(),
                         [](const std::string& a, const std::string& b) { return CompareTextLocale(a, b) < 0; });
    sorted_ = sorted;
}

int TThreadStringList::GetCapacity() {
    Guard guard(lock_);
    return static_cast<int>(list_.capacity());
}

void TThreadStringList::SetCapacity(int capacity) {
    Guard guard(lock_);
    if (capacity > 0) list_.reserve(static_cast<std::size_t>(capacity));
}

char TThreadStringList::GetDelimiter() {
    Guard guard(lock_);
    return delimiter_;
}

void TThreadStringList::SetDelimiter(char delimiter) {
    Guard guard(lock_);
    delimiter_ = delimiter;
}

std::string TThreadStringList::DelimitedLocked(char delimiter) const {
    std::string out;
    for (std::size_t i = 0; i < list_.size(); ++i) {
        if (i > 0) out += delimiter;
        const std::string& line = list_[i];
        if (!NeedsQuotes(line, delimiter)) {
            out += line;
            continue;
        }
        out += '"';
        for (const char c : line) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TThreadStringList::SetDelimitedLocked(std::string_view text, char delimiter) {
    list_.clear();
    if (TrimBlanks(text).empty()) return;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        while (i < n && static_cast<unsigned char>(text[i]) <= ' ' && text[i] != delimiter) ++i;
        std::string item;
        if (i < n && text[i] == '"') {
            for (++i; i < n; ++i) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    item += text[i];
                }
            }
        }
        // Unquoted text (or what follows a closing quote) up to the delimiter.
        const std::size_t end = std::min(text.find(delimiter, i), n);
        item += TrimBlanks(text.substr(i, end - i));
        AddLocked(item);
        if (end >= n) break;
        i = end + 1;
    }
}

std::string TThreadStringList::GetDelimitedText() {
    Guard guard(lock_);
    return DelimitedLocked(delimiter_);
}

void TThreadStringList::SetDelimitedText(std::string_view text) {
    Guard guard(lock_);
    if (destroyed_) return;
    SetDelimitedLocked(text, delimiter_);
}

std::string TThreadStringList::GetCommaText() {
    Guard guard(lock_);
    return DelimitedLocked(',');
}

void TThreadStringList::SetCommaText(std::string_view text) {
    Guard guard(lock_);
    if (destroyed_) return;
    SetDelimitedLocked(text, ',');
}

int TThreadStringList::GetCount() {
    if (destroyed_) return 0;
    Guard guard(lock_);
    return destroyed_ ? 0 : static_cast<int>(list_.size());
}

std::string TThreadStringList::GetText() {
    Guard guard(lock_);
    return LinesToText(list_);
}

void TThreadStringList::SetText(std::string_view text) {
    Guard guard(lock_);
    if (destroyed_) return;
    list_.clear();
    for (const std::string& line : TextToLines(text)) AddLocked(line);
}

}  // namespace tandrel
