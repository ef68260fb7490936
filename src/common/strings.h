#pragma once
// String routines used everywhere. "Contains" and "position" are exact,
// case-sensitive byte tests unless the name says "Text". Positions are
// 1-based with 0 for "not found". An empty part is found nowhere, so
// Contains(text, "") and StartsWith(text, "") are false.
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tandrel {

// Removes every character <= ' ' at both ends (or one end).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

bool Contains(std::string_view text, std::string_view part);
bool NotContains(std::string_view text, std::string_view part);
// Contains ignoring case (Unicode lower-casing; ASCII fast path).
bool ContainsText(std::string_view text, std::string_view part);

// The first occurrence of part is at position 1.
bool StartsWith(std::string_view text, std::string_view part);
bool NotStartsWith(std::string_view text, std::string_view part);
// True only when the first occurrence of the suffix is the one at the very
// end: EndsWith("a.snapshot.snapshot", ".snapshot") is false.
bool EndsWith(std::string_view text, std::string_view suffix);

// 1-based byte position of the last occurrence, 0 if none.
int LastPos(std::string_view text, std::string_view part);
// Both trimmed; when the last occurrence of the suffix ends the text it is
// removed. Returns the trimmed text otherwise.
std::string RemoveSuffix(std::string_view text, std::string_view suffix);
// True when some element equals the text, both trimmed and compared in upper case.
bool InArrayText(std::string_view text, const std::vector<std::string>& array);

// Every occurrence replaced, left to right, without rescanning replacements.
std::string ReplaceAll(std::string_view text, std::string_view oldPart, std::string_view newPart);
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view oldPart, std::string_view newPart);

// Blanks in front up to the width in characters (UTF-8 code points).
std::string PadLeft(std::string_view text, int width);
std::string Spaces(int count);

// Text forms of FormatArgs values.
std::string ArgText(bool value);  // "True" / "False"
std::string ArgText(std::int64_t value);
std::string ArgText(double value);  // fixed, two decimals, the locale's decimal separator
std::string ArgText(char value);
std::string ArgText(std::string_view value);
inline std::string ArgText(const char* value) { return value ? std::string(value) : std::string(); }
inline std::string ArgText(const std::string& value) { return value; }
template <std::integral T>
requires(!std::same_as<T, bool> && !std::same_as<T, char>) std::string ArgText(T value) {
    return ArgText(static_cast<std::int64_t>(value));
}
inline std::string ArgText(float value) { return ArgText(static_cast<double>(value)); }

// Replaces every placeholder {0}, {1}, ... by the value with that index in
// one pass (inserted values are not searched again). A placeholder without
// a value stays as it is.
std::string FormatArgs(std::string_view templateText, const std::vector<std::string>& values);
template <typename... Args>
requires(sizeof...(Args) > 0 &&
         !(sizeof...(Args) == 1 && (std::same_as<std::remove_cvref_t<Args>, std::vector<std::string>> &&
                                    ...))) std::string FormatArgs(std::string_view templateText, const Args&... args) {
    return FormatArgs(templateText, std::vector<std::string>{ArgText(args)...});
}

// Decimal integer with an optional sign; surrounding characters <= ' ' are
// allowed. False on anything else or on overflow.
bool TryStrToInt64(std::string_view text, std::int64_t& value);

// Names and paths inside line formats: "|" -> %7C, LF -> %0A, CR -> %0D, and
// "%" -> %25 only where it is followed by one of 7C, 0A, 0D, 25 (any hex
// case). A name without these characters is unchanged; every name round-trips.
std::string EscapeLineName(std::string_view name);
std::string UnescapeLineName(std::string_view text);

}  // namespace tandrel
