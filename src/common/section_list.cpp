#include "common/section_list.h"

#include "common/strings.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

std::string SectionLine(std::string_view name) {
    if (name.starts_with('[')) return std::string(name);
    std::string line = "[";
    line += name;
    line += ']';
    return line;
}

bool IsBlank(std::string_view line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

bool IsSectionLine(std::string_view line) { return line.starts_with('['); }

}  // namespace

TStringList GetSectionLines(std::string_view name, const TStringList& list, bool ignoreCase) {
    std::string wanted = SectionLine(name);
    TStringList values;
    bool inside = false;
    for (const auto& line : list) {
        if (IsBlank(line)) continue;
        if (IsSectionLine(line)) {
            inside = ignoreCase ? platform::SameTextIgnoreCase(line, wanted) : line == wanted;
            if (!inside && !values.empty()) break;
        } else if (inside) {
            values.push_back(line);
        }
    }
    return values;
}

std::string GetSectionText(const TStringList& list, std::string_view name, bool ignoreCase) {
    std::string text;
    for (const auto& line : GetSectionLines(name, list, ignoreCase)) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return Trim(text);
}

std::int64_t GetSectionInt(const TStringList& list, std::string_view name, bool ignoreCase) {
    std::int64_t value = 0;
    if (!TryStrToInt64(GetSectionText(list, name, ignoreCase), value)) return 0;
    return value;
}

void SetSectionLines(std::string_view name, TStringList& list, const TStringList& values) {
    std::string sectionLine = SectionLine(name);
    std::size_t section = 0;
    while (section < list.size() && list[section] != sectionLine) ++section;
    if (section == list.size()) {
        list.push_back(sectionLine);
        list.insert(list.end(), values.begin(), values.end());
        return;
    }
    std::size_t end = section + 1;
    while (end < list.size() && !IsSectionLine(list[end])) ++end;
    auto first = list.begin() + static_cast<std::ptrdiff_t>(section + 1);
    first = list.erase(first, list.begin() + static_cast<std::ptrdiff_t>(end));
    list.insert(first, values.begin(), values.end());
}

void SetSectionText(TStringList& list, std::string_view name, std::string_view text) {
    SetSectionLines(name, list, TStringList{std::string(text)});
}

}  // namespace tandrel
