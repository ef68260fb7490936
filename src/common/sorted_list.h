#pragma once
// Lists kept in the user's locale order ignoring case, their lookups, and
// the natural ("logical") order in which numbers inside names compare by value.
#include <algorithm>
#include <iterator>
#include <string_view>

#include "common/types.h"

namespace tandrel {

// Inserts after every line that compares equal, so the list stays sorted.
void InsertSorted(TStringList& list, std::string_view text);
// The index of the last line that compares equal to text, if that line
// equals it ignoring case; -1 otherwise.
int FindSorted(const TStringList& list, std::string_view text);
// The first line equal to text when both are trimmed, ignoring case; -1 if none.
int IndexOfTrimmedText(const TStringList& list, std::string_view text);

// Natural order (digit runs by value), resp. locale order ignoring case.
// The order of lines that compare equal is not fixed.
void SortLogical(TStringList& list);
void SortLocale(TStringList& list);

// Any collection of strings in locale order ignoring case; duplicates stay.
template <class Strings>
void SortStrings(Strings& strings) {
    TStringList sorted(std::begin(strings), std::end(strings));
    SortLocale(sorted);
    std::move(sorted.begin(), sorted.end(), std::begin(strings));
}
inline void SortStrings(TStringList& strings) { SortLocale(strings); }

}  // namespace tandrel
