#include "common/tsv_field.h"

namespace tandrel {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string EscapeTsvField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        switch (c) {
            case '\t':
                out += "%09";
                break;
            case '\n':
                out += "%0A";
                break;
            case '\r':
                out += "%0D";
                break;
            case '%':
                out += "%25";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeTsvField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const int high = field[i] == '%' && i + 2 < field.size() ? HexValue(field[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(field[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string TsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        line += EscapeTsvField(fields[i]);
    }
    line += '\n';
    return line;
}

}  // namespace tandrel
