#include "common/text_filter.h"

#include <algorithm>

#include "common/strings.h"
#include "platform/text_collate.h"

namespace tandrel {

void AppendLowerCase(std::string& out, std::string_view text) {
    // Most texts are plain ASCII: one pass lowers them and notes whether a
    // byte was not, in which case the code points are decoded after all.
    const std::size_t start = out.size();
    out.resize(start + text.size());
    char* to = out.data() + start;
    unsigned char seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        seen |= c;
        to[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 'a' - 'A' : 0));
    }
    if (seen < 0x80) return;
    out.resize(start);
    out += platform::LowerCase(text);
}

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
    // Reused: the filter runs once per row of lists with millions of rows.
    thread_local std::string buffer;
    buffer.clear();
    AppendLowerCase(buffer, text);
    return MatchesLoweredText(filter, buffer);
}

bool MatchesLoweredText(const TextFilter& filter, std::string_view lowered) {
    for (const std::string& word : filter.excluded)
        if (lowered.find(word) != std::string_view::npos) return false;
    for (const std::string& word : filter.required)
        if (lowered.find(word) == std::string_view::npos) return false;
    return true;
}

PrefixedTextFilter::PrefixedTextFilter(const TextFilter& filter)
    : filter_(filter), requiredInPrefix_(filter.required.size()) {
    for (const auto* words : {&filter.required, &filter.excluded})
        for (const std::string& word : *words) longestWord_ = std::max(longestWord_, word.size());
}

void PrefixedTextFilter::SetPrefix(std::string_view loweredPrefix) {
    excludedInPrefix_ = false;
    for (const std::string& word : filter_.excluded)
        if (loweredPrefix.find(word) != std::string_view::npos) excludedInPrefix_ = true;
    for (std::size_t i = 0; i < filter_.required.size(); ++i)
        requiredInPrefix_[i] = loweredPrefix.find(filter_.required[i]) != std::string_view::npos;
    // A word that starts in the prefix and ends in the suffix starts within
    // its last (longest word - 1) characters.
    seamLength_ = std::min(loweredPrefix.size(), longestWord_ > 0 ? longestWord_ - 1 : 0);
    window_.assign(loweredPrefix.substr(loweredPrefix.size() - seamLength_));
}

bool PrefixedTextFilter::Matches(std::string_view loweredSuffix) {
    NewSuffix().append(loweredSuffix);
    return MatchesSuffix();
}

std::string& PrefixedTextFilter::NewSuffix() {
    window_.resize(seamLength_);
    return window_;
}

bool PrefixedTextFilter::MatchesSuffix() const {
    if (excludedInPrefix_) return false;
    for (const std::string& word : filter_.excluded)
        if (window_.find(word) != std::string::npos) return false;
    for (std::size_t i = 0; i < filter_.required.size(); ++i)
        if (!requiredInPrefix_[i] && window_.find(filter_.required[i]) == std::string::npos) return false;
    return true;
}

bool MatchesTextFilter(const std::vector<std::string>& words, std::string_view text) {
    if (words.empty()) return true;
    return MatchesTextFilter(PrepareTextFilter(words), text);
}

}  // namespace tandrel
