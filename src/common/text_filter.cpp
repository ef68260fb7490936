#include "common/text_filter.h"

#include <algorithm>

#include "common/strings.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

// Lowers into a reused buffer: the filter runs once per row of lists with
// millions of rows, and most texts are plain ASCII.
std::string_view LowerInto(std::string& buffer, std::string_view text) {
    bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        buffer = platform::LowerCase(text);
        return buffer;
    }
    buffer.assign(text);
    for (char& c : buffer)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return buffer;
}

}  // namespace

TextFilter PrepareTextFilter(const std::vector<std::string>& words) {
    TextFilter filter;
    for (const std::string& word : words) {
        std::string lowered = platform::LowerCase(Trim(word));
        if (lowered.empty()) continue;
        if (lowered.front() == '-') {
            // A lone "-" excludes nothing.
            if (lowered.size() > 1) filter.excluded.push_back(lowered.substr(1));
        } else {
            filter.required.push_back(std::move(lowered));
        }
    }
    return filter;
}

bool MatchesTextFilter(const TextFilter& filter, std::string_view text) {
    if (filter.MatchesEverything()) return true;
    thread_local std::string buffer;
    std::string_view lowered = LowerInto(buffer, text);
    for (const std::string& word : filter.excluded)
        if (lowered.find(word) != std::string_view::npos) return false;
    for (const std::string& word : filter.required)
        if (lowered.find(word) == std::string_view::npos) return false;
    return true;
}

bool MatchesTextFilter(const std::vector<std::string>& words, std::string_view text) {
    if (words.empty()) return true;
    return MatchesTextFilter(PrepareTextFilter(words), text);
}

}  // namespace tandrel
