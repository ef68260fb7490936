#include "common/text_encoding.h"

#include <cstdint>

namespace tandrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of the bytes 80..9F; the rest of the code page equals Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at pos and advances pos. Returns false (pos
// advanced by one byte) when the bytes there are not a valid sequence.
bool NextCodePoint(std::string_view s, std::size_t& pos, char32_t& cp) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        cp = b0;
        ++pos;
        return true;
    }
    int length;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++pos;
        return false;
    }
    if (pos + length > s.size()) {
        ++pos;
        return false;
    }
    for (int i = 1; i < length; ++i) {
        unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += length;
    return true;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unit = [&](std::size_t i) -> char16_t {
        auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? static_cast<char16_t>((b0 << 8) | b1) : static_cast<char16_t>((b1 << 8) | b0);
    };
    std::size_t count = bytes.size() / 2;
    std::string out;
    out.reserve(count + count / 2);
    for (std::size_t i = 0; i < count; ++i) {
        char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            char16_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : char32_t(u));
    }
    if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacement);
    return out;
}

std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&](char16_t u) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp;
        if (!NextCodePoint(text, pos, cp)) cp = kReplacement;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    char32_t cp;
    while (pos < bytes.size()) {
        // ASCII runs are the common case.
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        if (!NextCodePoint(bytes, pos, cp)) return false;
    }
    return true;
}

std::string Utf16LeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, false); }
std::string Utf16BeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, true); }
std::string Utf8ToUtf16Le(std::string_view text) { return Utf8ToUtf16(text, false); }
std::string Utf8ToUtf16Be(std::string_view text) { return Utf8ToUtf16(text, true); }

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (b < 0xA0) {
            AppendUtf8(out, kCp1252High[b - 0x80]);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp;
        if (!NextCodePoint(text, pos, cp)) {
            out += '?';
        } else if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
        } else {
            char mapped = '?';
            for (int i = 0; i < 32; ++i) {
                if (kCp1252High[i] == cp) {
                    mapped = static_cast<char>(0x80 + i);
                    break;
                }
            }
            out += mapped;
        }
    }
    return out;
}

std::string DecodeTextBytes(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) return std::string(bytes.substr(kUtf8Bom.size()));
    if (bytes.starts_with(kUtf16LeBom)) return Utf16LeToUtf8(bytes.substr(2));
    if (bytes.starts_with(kUtf16BeBom)) return Utf16BeToUtf8(bytes.substr(2));
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Windows1252ToUtf8(bytes);
}

}  // namespace tandrel
