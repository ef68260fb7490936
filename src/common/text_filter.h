#pragma once
// The keyword filter of search fields and result lists: every plain word must
// occur in the text, no word starting with "-" may. Case is ignored.
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

// Words lowered and trimmed once, for filtering many rows.
struct TextFilter {
    std::vector<std::string> required;  // non-empty plain words
    std::vector<std::string> excluded;  // the rest of "-" words, non-empty
    bool MatchesEverything() const { return required.empty() && excluded.empty(); }
};

TextFilter PrepareTextFilter(const std::vector<std::string>& words);
bool MatchesTextFilter(const TextFilter& filter, std::string_view text);
// The same for a text already lowered with AppendLowerCase: rows built from
// parts shared by many rows (a folder's path) lower each part once.
bool MatchesLoweredText(const TextFilter& filter, std::string_view lowered);
// Appends text lower-cased as the filter compares it.
void AppendLowerCase(std::string& out, std::string_view text);
// Matches many texts made of a shared lowered prefix (a folder's path) and a
// lowered suffix of their own (a file name): each word is looked for in the
// prefix once, and per text only where it could still occur, in the suffix
// and across the seam.
class PrefixedTextFilter {
public:
    explicit PrefixedTextFilter(const TextFilter& filter);
    void SetPrefix(std::string_view loweredPrefix);
    // Whether prefix + suffix matches, as MatchesLoweredText would say.
    bool Matches(std::string_view loweredSuffix);
    // The same without a copy: append the lowered suffix to NewSuffix(),
    // then ask MatchesSuffix().
    std::string& NewSuffix();
    bool MatchesSuffix() const;

private:
    const TextFilter& filter_;
    std::size_t longestWord_ = 0;
    bool excludedInPrefix_ = false;
    std::vector<bool> requiredInPrefix_;
    std::size_t seamLength_ = 0;  // the prefix's last characters kept in window_
    std::string window_;
};

// The same for one text; an empty word list matches everything.
bool MatchesTextFilter(const std::vector<std::string>& words, std::string_view text);

}  // namespace tandrel
