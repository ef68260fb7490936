#pragma once
// A quick summary of a folder tree: counts, total size and the largest files.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tandrel {

struct LargeFile {
    std::string path;
    std::int64_t size = 0;
};

struct FolderSummary {
    std::string folder;
    std::int64_t folders = 0;   // below the root, the root not counted
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    std::int64_t unreadableFolders = 0;
    std::int64_t skippedReparsePoints = 0;  // links to folders and mount points inside the tree
    std::vector<LargeFile> largest;         // biggest first
};

// Walks the folder without leaving its file system and without following
// links. progress (may be empty) is called now and then with the counts so far.
FolderSummary SummarizeFolder(const std::string& folder, std::size_t largestCount,
                              const std::function<void(const FolderSummary&)>& progress = {});

}  // namespace tandrel
