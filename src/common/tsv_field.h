#pragma once
// Fields of tab-separated output. A file name may hold a tab or a line break,
// which would split its row, so those characters and the escape character
// itself are written as "%" and two upper-case hex digits: tab %09, line feed
// %0A, carriage return %0D, "%" %25. Every other byte is kept as it is.
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

std::string EscapeTsvField(std::string_view field);
// The inverse of EscapeTsvField. Any "%XX" with two hex digits (either case)
// is decoded; a "%" not followed by two hex digits is kept as it is.
std::string UnescapeTsvField(std::string_view field);
// The fields escaped, joined by tabs, ended by a line feed.
std::string TsvLine(const std::vector<std::string>& fields);

}  // namespace tandrel
