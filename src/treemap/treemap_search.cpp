#include "treemap/treemap_search.h"

#include <algorithm>
#include <string>
#include <thread>
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

namespace {

// The matching nodes among [begin, end) of the node list, in list order.
std::vector<TDiskTreeMapEntry*> SearchRange(ScanModel& model, const TextFilter& filter, std::size_t begin,
                                            std::size_t end) {
    std::vector<TDiskTreeMapEntry*> hits;
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
    for (std::size_t i = begin; i < end; ++i) {
        TDiskTreeMapEntry& node = *model.DiskTreeMapEntries[i];
        if (IsRemovedNode(&node)) continue;
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
    }
    return hits;
}

}  // namespace

std::vector<TDiskTreeMapEntry*> SearchTreemap(ScanModel& model, std::string_view text, std::size_t nodesPerPart) {
    const TextFilter filter = PrepareTextFilter(SearchKeywords(text));
    const std::size_t count = static_cast<std::size_t>(model.DiskTreeMapEntries.Count());
    if (filter.MatchesEverything()) {
        std::vector<TDiskTreeMapEntry*> hits;
        hits.reserve(count);
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
            if (!IsRemovedNode(&node)) hits.push_back(&node);
        });
        return hits;
    }
    // Long lists are split over the cores; the parts only read the nodes
    // (the caller holds the lock) and are joined in list order.
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t parts =
        std::clamp<std::size_t>(count / std::max<std::size_t>(1, nodesPerPart), 1, std::min<std::size_t>(cores, 4));
    std::vector<std::vector<TDiskTreeMapEntry*>> found(parts);
    auto run = [&](std::size_t part) {
        found[part] = SearchRange(model, filter, count * part / parts, count * (part + 1) / parts);
    };
    std::vector<std::thread> workers;
    for (std::size_t part = 1; part < parts; ++part) workers.emplace_back(run, part);
    run(0);
    for (std::thread& worker : workers) worker.join();
    std::vector<TDiskTreeMapEntry*> hits = std::move(found[0]);
    for (std::size_t part = 1; part < parts; ++part) hits.insert(hits.end(), found[part].begin(), found[part].end());
    return hits;
}

}  // namespace tandrel
