#include "common/strings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

#include "platform/text_collate.h"

namespace tandrel {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

std::string AsciiLowerCopy(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = AsciiLower(c);
    return result;
}

std::string LowerAny(std::string_view text) { return IsAscii(text) ? AsciiLowerCopy(text) : platform::LowerCase(text); }

// Length of the UTF-8 sequence starting at text[i]; 1 for a stray byte.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 1;
    if (i + length > text.size()) return 1;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
    return length;
}

std::size_t CodePointCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += SequenceLength(text, i)) ++count;
    return count;
}

// The text lowered per code point, with the original offset of every
// lowered byte, so that a match in the lowered text maps back.
struct LoweredText {
    std::string text;
    std::vector<std::size_t> origin;    // per lowered byte: offset of its code point
    std::vector<bool> startsCodePoint;  // per lowered byte
};

LoweredText LowerWithOffsets(std::string_view text) {
    LoweredText result;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = SequenceLength(text, i);
        std::string piece =
            length == 1 ? std::string(1, AsciiLower(text[i])) : platform::LowerCase(text.substr(i, length));
        for (std::size_t k = 0; k < piece.size(); ++k) {
            result.origin.push_back(i);
            result.startsCodePoint.push_back(k == 0);
        }
        result.text += piece;
        i += length;
    }
    return result;
}

bool IsHexPair(std::string_view text, std::size_t i, char high, char low) {
    return i + 1 < text.size() && text[i] == high && AsciiLower(text[i + 1]) == low;
}

// True when text[i] starts one of %7C, %0A, %0D, %25 (any hex case).
bool IsEscapeAt(std::string_view text, std::size_t i) {
    if (i + 2 >= text.size() || text[i] != '%') return false;
    return IsHexPair(text, i + 1, '7', 'c') || IsHexPair(text, i + 1, '0', 'a') || IsHexPair(text, i + 1, '0', 'd') ||
           IsHexPair(text, i + 1, '2', '5');
}

}  // namespace

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

std::string TrimLeft(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

bool Contains(std::string_view text, std::string_view part) {
    return !part.empty() && text.find(part) != std::string_view::npos;
}

bool NotContains(std::string_view text, std::string_view part) { return !Contains(text, part); }

bool ContainsText(std::string_view text, std::string_view part) {
    if (part.empty()) return false;
    return LowerAny(text).find(LowerAny(part)) != std::string::npos;
}

bool StartsWith(std::string_view text, std::string_view part) {
    return !part.empty() && text.substr(0, part.size()) == part;
}

bool NotStartsWith(std::string_view text, std::string_view part) { return !StartsWith(text, part); }

bool EndsWith(std::string_view text, std::string_view suffix) {
    if (suffix.empty() || suffix.size() > text.size()) return false;
    return text.find(suffix) == text.size() - suffix.size();
}

int LastPos(std::string_view text, std::string_view part) {
    if (part.empty()) return 0;
    std::size_t at = text.rfind(part);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string RemoveSuffix(std::string_view text, std::string_view suffix) {
    std::string trimmed = Trim(text);
    std::string trimmedSuffix = Trim(suffix);
    if (trimmedSuffix.empty()) return trimmed;
    std::size_t at = trimmed.rfind(trimmedSuffix);
    if (at != std::string::npos && at + trimmedSuffix.size() == trimmed.size()) trimmed.erase(at);
    return trimmed;
}

bool InArrayText(std::string_view text, const std::vector<std::string>& array) {
    std::string wanted = platform::UpperCase(Trim(text));
    return std::any_of(array.begin(), array.end(),
                       [&](const std::string& element) { return platform::UpperCase(Trim(element)) == wanted; });
}

std::string ReplaceAll(std::string_view text, std::string_view oldPart, std::string_view newPart) {
    if (oldPart.empty()) return std::string(text);
    std::string result;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(oldPart, from)) != std::string_view::npos; from = at + oldPart.size()) {
        result.append(text.substr(from, at - from));
        result.append(newPart);
    }
    result.append(text.substr(from));
    return result;
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view oldPart, std::string_view newPart) {
    if (oldPart.empty()) return std::string(text);
    std::string wanted = LowerAny(oldPart);
    if (wanted.empty()) return std::string(text);
    LoweredText lowered = LowerWithOffsets(text);
    auto boundary = [&](std::size_t at) { return at == lowered.text.size() || lowered.startsCodePoint[at]; };
    auto originOf = [&](std::size_t at) { return at == lowered.text.size() ? text.size() : lowered.origin[at]; };

    std::string result;
    std::size_t copiedUpTo = 0;  // in the original text
    std::size_t from = 0;        // in the lowered text
    while (true) {
        std::size_t at = lowered.text.find(wanted, from);
        if (at == std::string::npos) break;
        if (!boundary(at) || !boundary(at + wanted.size())) {
            from = at + 1;
            continue;
        }
        result.append(text.substr(copiedUpTo, originOf(at) - copiedUpTo));
        result.append(newPart);
        copiedUpTo = originOf(at + wanted.size());
        from = at + wanted.size();
    }
    result.append(text.substr(copiedUpTo));
    return result;
}

std::string PadLeft(std::string_view text, int width) {
    std::size_t length = CodePointCount(text);
    if (width <= 0 || length >= static_cast<std::size_t>(width)) return std::string(text);
    return Spaces(width - static_cast<int>(length)) + std::string(text);
}

std::string Spaces(int count) { return std::string(count > 0 ? static_cast<std::size_t>(count) : 0, ' '); }

std::string ArgText(bool value) { return value ? "True" : "False"; }

std::string ArgText(std::int64_t value) { return std::to_string(value); }

std::string ArgText(double value) {
    char buffer[400];
    int length = std::snprintf(buffer, sizeof buffer, "%.2f", value);
    if (length < 0 || length >= static_cast<int>(sizeof buffer)) return "Unknown";
    std::string text(buffer, static_cast<std::size_t>(length));
    std::size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, platform::GetLocaleSeparators().decimal);
    return text;
}

std::string ArgText(char value) { return std::string(1, value); }

std::string ArgText(std::string_view value) { return std::string(value); }

std::string FormatArgs(std::string_view templateText, const std::vector<std::string>& values) {
    std::string result;
    std::size_t i = 0;
    while (i < templateText.size()) {
        if (templateText[i] == '{') {
            std::size_t close = templateText.find('}', i + 1);
            if (close != std::string_view::npos && close > i + 1) {
                std::string_view digits = templateText.substr(i + 1, close - i - 1);
                std::size_t index = 0;
                auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
                if (error == std::errc() && end == digits.data() + digits.size() && index < values.size()) {
                    result += values[index];
                    i = close + 1;
                    continue;
                }
            }
        }
        result += templateText[i++];
    }
    return result;
}

bool TryStrToInt64(std::string_view text, std::int64_t& value) {
    std::size_t start = 0, end = text.size();
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    std::string_view body = text.substr(start, end - start);
    if (!body.empty() && body.front() == '+') {
        body.remove_prefix(1);
        if (body.empty() || body.front() < '0' || body.front() > '9') return false;
    }
    std::int64_t parsed = 0;
    auto [stop, error] = std::from_chars(body.data(), body.data() + body.size(), parsed);
    if (error != std::errc() || stop != body.data() + body.size()) return false;
    value = parsed;
    return true;
}

std::string EscapeLineName(std::string_view name) {
    std::string result;
    result.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '|')
            result += "%7C";
        else if (c == '\n')
            result += "%0A";
        else if (c == '\r')
            result += "%0D";
        else if (c == '%' && IsEscapeAt(name, i))
            result += "%25";
        else
            result += c;
    }
    return result;
}

std::string UnescapeLineName(std::string_view text) {
    if (text.find('%') == std::string_view::npos) return std::string(text);
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsEscapeAt(text, i)) {
            result += text[i];
            continue;
        }
        char high = text[i + 1];
        char low = AsciiLower(text[i + 2]);
        result += high == '7' ? '|' : high == '2' ? '%' : low == 'a' ? '\n' : '\r';
        i += 2;
    }
    return result;
}

}  // namespace tandrel
