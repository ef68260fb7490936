#include "common/split.h"

#include "common/strings.h"
#include "platform/text_collate.h"

namespace tandrel {

std::vector<std::string> SplitString(std::string_view text, std::string_view delimiter, bool trim) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    auto add = [&](std::string_view piece) { pieces.push_back(trim ? Trim(piece) : std::string(piece)); };
    if (delimiter.empty()) {
        add(text);
        return pieces;
    }
    std::size_t start = 0;
    for (std::size_t hit = text.find(delimiter); hit != std::string_view::npos; hit = text.find(delimiter, start)) {
        add(text.substr(start, hit - start));
        start = hit + delimiter.size();
    }
    add(text.substr(start));
    return pieces;
}

std::vector<std::string> SplitList(std::string_view text, std::string_view delimiter) {
    std::string localeDelimiter;
    if (delimiter.empty()) {
        localeDelimiter = platform::GetLocaleSeparators().list;
        delimiter = localeDelimiter;
    }
    std::vector<std::string> items;
    std::string piece;
    auto flush = [&] {
        std::string item = Trim(piece);
        if (!item.empty()) items.push_back(std::move(item));
        piece.clear();
    };
    bool quoted = false;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                piece += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else if (!quoted && text.substr(i).starts_with(delimiter)) {
            flush();
            i += delimiter.size();
        } else {
            piece += c;
            ++i;
        }
    }
    // The last item, also when its closing quote is missing.
    flush();
    return items;
}

TStringList SplitToList(std::string_view text, std::string_view delimiter) {
    return SplitString(text, delimiter, false);
}

}  // namespace tandrel
