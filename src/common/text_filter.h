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
// The same for one text; an empty word list matches everything.
bool MatchesTextFilter(const std::vector<std::string>& words, std::string_view text);

}  // namespace tandrel
