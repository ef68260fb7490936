#pragma once
// Byte-order marks and the conversions between UTF-8 (our string type),
// UTF-16 and Windows-1252 (the single-byte code page of texts without a mark).
#include <string>
#include <string_view>

namespace tandrel {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
inline constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// UTF-16 code units to UTF-8. Surrogate pairs are joined; an unpaired
// surrogate, and an odd last byte, become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
std::string Utf16BeToUtf8(std::string_view bytes);
// UTF-8 to UTF-16 code units (no mark); invalid bytes become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text);
std::string Utf8ToUtf16Be(std::string_view text);

// Every one of the 256 bytes has a character; the five bytes the code page
// leaves undefined (81 8D 8F 90 9D) stand for the C1 controls of that number.
std::string Windows1252ToUtf8(std::string_view bytes);
// Characters the code page cannot hold, and invalid UTF-8 bytes, become "?".
std::string Utf8ToWindows1252(std::string_view text);

// The text of a file's bytes: by its byte-order mark (UTF-8, UTF-16 LE,
// UTF-16 BE; the mark is dropped), else UTF-8 when the bytes are valid
// UTF-8, else Windows-1252. Bytes after a UTF-8 mark are kept unchanged.
std::string DecodeTextBytes(std::string_view bytes);

}  // namespace tandrel
