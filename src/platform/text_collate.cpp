// Locale-aware comparison and case mapping with ICU.
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text_collate.h"

namespace tandrel::platform {

namespace {

// The ICU locale id of the user's collation locale: "de_DE" from
// "de_DE.UTF-8@euro"; empty (root) when unset or "C"/"POSIX".
std::string CollationLocaleId() {
    const char* value = nullptr;
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            value = v;
            break;
        }
    }
    if (!value) return {};
    std::string id(value);
    id = id.substr(0, id.find_first_of(".@"));
    if (id == "C" || id == "POSIX") return {};
    return id;
}

class Collator {
public:
    explicit Collator(bool numeric) {
        UErrorCode status = U_ZERO_ERROR;
        collator_ = ucol_open(CollationLocaleId().c_str(), &status);
        if (U_FAILURE(status)) {
            // An unknown locale name falls back to the root order.
            status = U_ZERO_ERROR;
            collator_ = ucol_open("", &status);
            if (U_FAILURE(status)) collator_ = nullptr;
        }
        if (!collator_) return;
        ucol_setStrength(collator_, UCOL_SECONDARY);
        if (numeric) {
            status = U_ZERO_ERROR;
            ucol_setAttribute(collator_, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
        }
    }
    ~Collator() {
        if (collator_) ucol_close(collator_);
    }
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;

    int Compare(std::string_view a, std::string_view b) const {
        if (a == b) return 0;
        if (collator_) {
            UErrorCode status = U_ZERO_ERROR;
            UCollationResult result = ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                       static_cast<int32_t>(b.size()), &status);
            if (U_SUCCESS(status)) return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
        }
        int byBytes = a.compare(b);
        return byBytes < 0 ? -1 : byBytes > 0 ? 1 : 0;
    }

    void AppendSortKey(std::string& out, std::string_view text) const {
        if (collator_) {
            thread_local std::u16string wide;
            if (wide.size() < text.size() + 1) wide.resize(text.size() + 1);
            int32_t length = 0;
            UErrorCode status = U_ZERO_ERROR;
            u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, text.data(),
                                 static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
            if (U_SUCCESS(status)) {
                // Made in a scratch buffer of its own and appended at its
                // exact length: sizing out for the worst case would clear
                // and copy three times the text per key.
                thread_local std::vector<uint8_t> key;
                if (key.size() < text.size() * 3 + 16) key.resize(text.size() * 3 + 16);
                for (int attempt = 0; attempt < 2; ++attempt) {
                    const int32_t needed =
                        ucol_getSortKey(collator_, wide.data(), length, key.data(), static_cast<int32_t>(key.size()));
                    if (needed > 0 && static_cast<std::size_t>(needed) <= key.size()) {
                        out.append(reinterpret_cast<const char*>(key.data()), static_cast<std::size_t>(needed));
                        return;
                    }
                    if (needed <= 0) break;
                    key.resize(static_cast<std::size_t>(needed));
                }
            }
        }
        // Without a collator the comparison is by bytes; so is this key.
        out.append(text);
        out.push_back('\0');
    }

private:
    UCollator* collator_ = nullptr;
};

template <typename MapAscii, typename MapCodePoint>
std::string MapCase(std::string_view text, MapAscii mapAscii, MapCodePoint mapCodePoint) {
    std::string result;
    result.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    int32_t length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        if (bytes[i] < 0x80) {
            result.push_back(mapAscii(static_cast<char>(bytes[i])));
            ++i;
            continue;
        }
        int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            // Invalid UTF-8 stays as it is, byte for byte.
            result.append(text.data() + start, static_cast<std::size_t>(i - start));
            continue;
        }
        uint8_t encoded[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(encoded, n, mapCodePoint(c));
        result.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(n));
    }
    return result;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The next unit for case-insensitive equality: a folded code point, or for an
// invalid sequence its raw bytes (which must then match exactly).
struct FoldUnit {
    UChar32 codePoint = 0;
    std::string_view invalid;
};

FoldUnit NextFolded(std::string_view text, int32_t& i) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (bytes[i] < 0x80) return {AsciiLower(static_cast<char>(bytes[i++])), {}};
    int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, static_cast<int32_t>(text.size()), c);
    if (c < 0) return {-1, text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start))};
    return {u_foldCase(c, U_FOLD_CASE_DEFAULT), {}};
}

const Collator& PlainCollator() {
    thread_local const Collator collator(false);
    return collator;
}

}  // namespace

int CollateCompare(std::string_view a, std::string_view b) { return PlainCollator().Compare(a, b); }

int CollateCompareLogical(std::string_view a, std::string_view b) {
    thread_local const Collator collator(true);
    return collator.Compare(a, b);
}

std::string CollateSortKey(std::string_view text) {
    std::string key;
    PlainCollator().AppendSortKey(key, text);
    return key;
}

void AppendCollateSortKey(std::string& out, std::string_view text) { PlainCollator().AppendSortKey(out, text); }

std::string LowerCase(std::string_view text) {
    return MapCase(text, AsciiLower, [](UChar32 c) { return u_tolower(c); });
}

std::string UpperCase(std::string_view text) {
    return MapCase(text, AsciiUpper, [](UChar32 c) { return u_toupper(c); });
}

bool SameAsciiIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    if (a == b) return true;
    // While both are ASCII the code points line up byte for byte and fold
    // as ASCII letters do; the first other byte hands over to decoding.
    std::size_t same = 0;
    const std::size_t shorter = std::min(a.size(), b.size());
    while (same < shorter) {
        const auto x = static_cast<unsigned char>(a[same]), y = static_cast<unsigned char>(b[same]);
        if ((x | y) >= 0x80) break;
        if (AsciiLower(static_cast<char>(x)) != AsciiLower(static_cast<char>(y))) return false;
        ++same;
    }
    int32_t i = static_cast<int32_t>(same), j = static_cast<int32_t>(same);
    int32_t lengthA = static_cast<int32_t>(a.size()), lengthB = static_cast<int32_t>(b.size());
    while (i < lengthA && j < lengthB) {
        FoldUnit x = NextFolded(a, i);
        FoldUnit y = NextFolded(b, j);
        if (x.codePoint != y.codePoint || x.invalid != y.invalid) return false;
    }
    return i == lengthA && j == lengthB;
}

const LocaleSeparators& GetLocaleSeparators() {
    static const LocaleSeparators separators = [] {
        LocaleSeparators s;
        const lconv* conv = std::localeconv();
        s.thousands = (conv && conv->thousands_sep && *conv->thousands_sep) ? conv->thousands_sep : ",";
        s.decimal = (conv && conv->decimal_point && *conv->decimal_point) ? conv->decimal_point : ".";
        s.list = s.decimal == "," ? ";" : ",";
        return s;
    }();
    return separators;
}

}  // namespace tandrel::platform
