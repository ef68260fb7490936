#include "scan/folder_prefetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

std::vector<std::string> Names(const FolderListing& listing) {
    std::vector<std::string> names;
    for (const auto& entry : listing.entries) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

// A tree wide and deep enough that the workers run ahead of the walk.
void MakeTree(const TempDir& dir) {
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < i; ++j)
            for (int k = 0; k < 3; ++k)
                dir.WriteFile("d" + std::to_string(i) + "/S" + std::to_string(j) + "/f" + std::to_string(k), "x");
}

// Walks in pre-order through the prefetcher and checks every listing against
// a direct listing of the same folder; returns the folders in walk order.
void Walk(FolderPrefetcher& prefetch, const std::string& folder, std::vector<std::string>& order) {
    order.push_back(folder);
    std::unique_ptr<FolderListing> listing = prefetch.Take(folder);
    ASSERT_TRUE(listing->opened) << folder;
    EXPECT_EQ(Names(*listing), Names(*ListFolder(folder))) << folder;
    for (std::uint32_t index : listing->sortedSubfolders)
        Walk(prefetch, folder + listing->entries[index].name + "/", order);
}

TEST(FolderPrefetcherTest, HandsOutEveryFolderInWalkOrderWhateverTheThreads) {
    TempDir dir;
    MakeTree(dir);
    std::vector<std::string> reference;
    for (int threads : {0, 1, 3}) {
        SCOPED_TRACE(threads);
        std::atomic<bool> stop{false}, pause{false};
        FolderPrefetcher prefetch(dir.path() + "/", threads, stop, pause);
        std::vector<std::string> order;
        Walk(prefetch, dir.path() + "/", order);
        EXPECT_EQ(order.size(), 1u + 11u + 66u);  // d0 holds nothing, so it is never made
        if (reference.empty()) reference = order;
        EXPECT_EQ(order, reference);
    }
}

TEST(FolderPrefetcherTest, StoppingEndsTheWorkersWithoutAWalk) {
    TempDir dir;
    MakeTree(dir);
    std::atomic<bool> stop{false}, pause{false};
    {
        FolderPrefetcher prefetch(dir.path() + "/", 2, stop, pause);
        prefetch.Take(dir.path() + "/");
        stop = true;
    }  // the destructor returns: no worker waits for a walk that stopped
    SUCCEED();
}

TEST(FolderPrefetcherTest, UnreadableFolderIsAnEmptyListing) {
    TempDir dir;
    std::atomic<bool> stop{false}, pause{false};
    FolderPrefetcher prefetch(dir.Path("missing/"), 1, stop, pause);
    std::unique_ptr<FolderListing> listing = prefetch.Take(dir.Path("missing/"));
    EXPECT_FALSE(listing->opened);
    EXPECT_TRUE(listing->entries.empty());
}

}  // namespace
}  // namespace tandrel
