#include "treemap/treemap_search.h"

#include <string>
#include <unordered_map>

#include "common/split.h"
#include "common/text_filter.h"
#include "platform/file_system.h"
#include "scan/tree_edits.h"

namespace tandrel {

std::vector<std::string> SearchKeywords(std::string_view text) {
    std::string lowered;
    AppendLowerCase(lowered, text);
    return SplitList(lowered, " ");
}

std::vector<TDiskTreeMapEntry*> SearchTreemap(ScanModel& model, std::string_view text) {
    std::vector<TDiskTreeMapEntry*> hits;
    const TextFilter filter = PrepareTextFilter(SearchKeywords(text));
    PrefixedTextFilter matcher(filter);
    // The lowered full path of every folder met, each made from its parent's.
    std::unordered_map<const TDiskTreeMapEntry*, std::string> folderPaths;
    auto folderPath = [&](const TDiskTreeMapEntry* folder) -> const std::string& {
        std::vector<const TDiskTreeMapEntry*> chain;
        for (const TDiskTreeMapEntry* n = folder; n && !folderPaths.count(n); n = n->ParentNodeIdx) chain.push_back(n);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const TDiskTreeMapEntry* n = *it;
            std::string path = n->ParentNodeIdx ? folderPaths[n->ParentNodeIdx] : std::string();
            if (!path.empty() && path.back() != platform::PathDelim) path += platform::PathDelim;
            AppendLowerCase(path, n->Name);
            folderPaths.emplace(n, std::move(path));
        }
        return folderPaths.find(folder)->second;
    };
    const TDiskTreeMapEntry* prefixOf = nullptr;
    std::string suffix;
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (IsRemovedNode(&node)) return;
        // The text is the parent's path (the prefix, shared by siblings) and
        // "/name name" (the suffix).
        const TDiskTreeMapEntry* parent = node.ParentNodeIdx;
        if (parent != prefixOf || !prefixOf) {
            matcher.SetPrefix(parent ? std::string_view(folderPath(parent)) : std::string_view());
            prefixOf = parent;
        }
        suffix.clear();
        if (parent && !folderPath(parent).empty() && folderPath(parent).back() != platform::PathDelim)
            suffix += platform::PathDelim;
        AppendLowerCase(suffix, node.Name);
        suffix += ' ';
        AppendLowerCase(suffix, node.Name);
        if (filter.MatchesEverything() || matcher.Matches(suffix)) hits.push_back(&node);
    });
    return hits;
}

}  // namespace tandrel
