#pragma once
// Locale text: comparison ignoring case, natural order, case mapping and the
// locale's separators. The comparisons run once per file in every scan, so
// they are built for speed: one ICU collator per thread.
#include <string>
#include <string_view>

namespace tandrel::platform {

// The user's locale comparison ignoring case (collator strength secondary,
// locale from LC_ALL / LC_COLLATE / LANG, root when unset): -1, 0 or 1.
int CollateCompare(std::string_view a, std::string_view b);
// Natural order: the same collator with numeric ordering (digit runs by value).
int CollateCompareLogical(std::string_view a, std::string_view b);
// A byte string whose order (plain unsigned byte comparison, a shorter prefix
// first) is CollateCompare's order: long lists sort on these keys instead of
// comparing texts pairwise. Ill-formed UTF-8 counts as U+FFFD, as in the
// comparison. The key ends in one zero byte.
std::string CollateSortKey(std::string_view text);
// The same key appended to out, without a string of its own.
void AppendCollateSortKey(std::string& out, std::string_view text);

// Unicode simple case mapping per code point; invalid UTF-8 bytes are kept.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
// Equality ignoring case (simple case folding).
bool SameTextIgnoreCase(std::string_view a, std::string_view b);
// Equality with only the ASCII letters' case ignored; every other byte as it is.
bool SameAsciiIgnoreCase(std::string_view a, std::string_view b);

struct LocaleSeparators {
    std::string thousands;  // "," when the locale gives none
    std::string decimal;    // "." when the locale gives none
    std::string list;       // "," or ";" when the decimal separator is ","
};
// From the process locale (localeconv); read once.
const LocaleSeparators& GetLocaleSeparators();

}  // namespace tandrel::platform
