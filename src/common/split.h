#pragma once
// Splitting a line into fields, and user-typed lists into items.
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"

namespace tandrel {

// Pieces between every occurrence of the delimiter, empty ones kept, the
// piece after the last delimiter always present. An empty text gives no
// pieces; an empty delimiter gives the whole text as one piece. With trim,
// every piece loses characters <= ' ' at both ends.
std::vector<std::string> SplitString(std::string_view text, std::string_view delimiter, bool trim);

// A user-typed list: items separated by the delimiter (the locale's list
// separator when none is given), double quotes enclose stretches in which
// the delimiter is an ordinary character and "" stands for one quote. Items
// are trimmed; empty ones are dropped.
std::vector<std::string> SplitList(std::string_view text, std::string_view delimiter = {});

// SplitString without trimming.
TStringList SplitToList(std::string_view text, std::string_view delimiter);

}  // namespace tandrel
