#include "common/sorted_list.h"

#include "common/strings.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

// The first position whose line sorts after text (after all equal lines).
std::size_t UpperBound(const TStringList& list, std::string_view text) {
    std::size_t low = 0, high = list.size();
    while (low < high) {
        std::size_t mid = low + (high - low) / 2;
        if (platform::CollateCompare(list[mid], text) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

}  // namespace

void InsertSorted(TStringList& list, std::string_view text) {
    std::size_t at = UpperBound(list, text);
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::string(text));
}

int FindSorted(const TStringList& list, std::string_view text) {
    std::size_t at = UpperBound(list, text);
    if (at == 0) return -1;
    if (!platform::SameTextIgnoreCase(list[at - 1], text)) return -1;
    return static_cast<int>(at - 1);
}

int IndexOfTrimmedText(const TStringList& list, std::string_view text) {
    std::string wanted = Trim(text);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (platform::SameTextIgnoreCase(Trim(list[i]), wanted)) return static_cast<int>(i);
    }
    return -1;
}

void SortLogical(TStringList& list) {
    std::sort(list.begin(), list.end(),
              [](const std::string& a, const std::string& b) { return platform::CollateCompareLogical(a, b) < 0; });
}

void SortLocale(TStringList& list) {
    std::sort(list.begin(), list.end(),
              [](const std::string& a, const std::string& b) { return platform::CollateCompare(a, b) < 0; });
}

}  // namespace tandrel
