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
    if (filter.MatchesEverything()) {
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
            if (!IsRemovedNode(&node)) hits.push_back(&node);
        });
        return hits;
    }
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
    // Siblings follow each other in the node list: the parent's path (the
    // prefix they share) is looked up and searched once per run of them.
    bool first = true;
    const TDiskTreeMapEntry* prefixOf = nullptr;
    bool delimiter = false;
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (IsRemovedNode(&node)) return;
        const TDiskTreeMapEntry* parent = node.ParentNodeIdx;
        if (first || parent != prefixOf) {
            static const std::string none;
            const std::string& prefix = parent ? folderPath(parent) : none;
            matcher.SetPrefix(prefix);
            delimiter = !prefix.empty() && prefix.back() != platform::PathDelim;
            prefixOf = parent;
            first = false;
        }
        // The text is the full path, a blank and the name.
        std::string& suffix = matcher.NewSuffix();
        if (delimiter) suffix += platform::PathDelim;
        const std::size_t nameStart = suffix.size();
        AppendLowerCase(suffix, node.Name);
        const std::size_t nameLength = suffix.size() - nameStart;
        suffix += ' ';
        suffix.append(suffix, nameStart, nameLength);
        if (matcher.MatchesSuffix()) hits.push_back(&node);
    });
    return hits;
}

}  // namespace tandrel
