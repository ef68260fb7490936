#pragma once
// The treemap's keyword search: a node matches when its full path, a blank
// and its name, lower-cased, pass the keyword filter (every plain word
// contained, no "-" word contained). Because the full path is part of the
// text, a word in a folder's name matches that folder and everything below.
#include <cstddef>
#include <string_view>
#include <vector>

#include "scan/scan_model.h"

namespace tandrel {

// The lowered keywords of a search text: blanks separate them, double-quoted
// phrases stay whole, empty pieces are dropped.
std::vector<std::string> SearchKeywords(std::string_view text);

// The matching nodes in node-list order (root and free space included,
// removed nodes never). Each folder's lowered path is built once and the
// words are looked for in it once, so a search over a million nodes costs
// about one pass over their names; long node lists are split over up to
// four threads, nodesPerPart nodes or more each. The caller holds csTreemap.
std::vector<TDiskTreeMapEntry*> SearchTreemap(ScanModel& model, std::string_view text,
                                              std::size_t nodesPerPart = 250000);

}  // namespace tandrel
