#pragma once
// Key/value sections inside a plain list of lines, like an INI file: a
// section line "[name]" followed by its value lines, up to the next line that
// starts with "[". Blank lines are ignored when reading.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/types.h"

namespace tandrel {

// The value lines (untrimmed) of the section; the name may come with or
// without its brackets.
TStringList GetSectionLines(std::string_view name, const TStringList& list, bool ignoreCase);
// The value lines joined with CR LF, trimmed at both ends.
std::string GetSectionText(const TStringList& list, std::string_view name, bool ignoreCase);
// GetSectionText as an integer; 0 when it is not one.
std::int64_t GetSectionInt(const TStringList& list, std::string_view name, bool ignoreCase);

// Replaces the value lines of the first section of that exact name, or
// appends the section with its values at the end.
void SetSectionLines(std::string_view name, TStringList& list, const TStringList& values);
void SetSectionText(TStringList& list, std::string_view name, std::string_view text);

}  // namespace tandrel
