#include "scan/folder_prefetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/stop_token.h"
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

// A tree wide and deep enough that the workers run ahead of the walk: top
// folders "a".."k", the n-th of them holding n subfolders "A", "B", ... with
// three files each. Made in reverse, so creation order is not name order.
constexpr int kTop = 11;
std::string TopName(int i) { return std::string(1, static_cast<char>('a' + i)); }
std::string SubName(int j) { return std::string(1, static_cast<char>('A' + j)); }

void MakeTree(const TempDir& dir) {
    for (int i = kTop - 1; i >= 0; --i)
        for (int j = i; j >= 0; --j)
            for (int k = 0; k < 3; ++k) dir.WriteFile(TopName(i) + "/" + SubName(j) + "/f" + std::to_string(k), "x");
}

// The pre-order a sorted walk must see.
std::vector<std::string> SortedOrder(const std::string& root) {
    std::vector<std::string> order{root};
    for (int i = 0; i < kTop; ++i) {
        order.push_back(root + TopName(i) + "/");
        for (int j = 0; j <= i; ++j) order.push_back(root + TopName(i) + "/" + SubName(j) + "/");
    }
    return order;
}

// Walks in pre-order through the prefetcher and checks every listing against
// a direct listing of the same folder; returns the folders in walk order.
void Walk(FolderPrefetcher& prefetch, const std::string& folder, std::vector<std::string>& order) {
    order.push_back(folder);
    std::unique_ptr<FolderListing> listing = prefetch.Take(folder);
    ASSERT_TRUE(listing->opened) << folder;
    EXPECT_EQ(Names(*listing), Names(*ListFolder(folder))) << folder;
    for (std::uint32_t index : listing->subfolders) Walk(prefetch, folder + listing->entries[index].name + "/", order);
}

// The pre-order of a walk in enumeration order, from direct listings.
void EnumerationOrder(const std::string& folder, std::vector<std::string>& order) {
    order.push_back(folder);
    std::unique_ptr<FolderListing> listing = ListFolder(folder, 0, SubfolderOrder::Enumeration);
    for (std::uint32_t index : listing->subfolders)
        EnumerationOrder(folder + listing->entries[index].name + "/", order);
}

TEST(FolderPrefetcherTest, HandsOutEveryFolderInWalkOrderWhateverTheThreads) {
    TempDir dir;
    MakeTree(dir);
    const std::string root = dir.path() + "/";
    std::vector<std::string> enumerated;
    EnumerationOrder(root, enumerated);
    ASSERT_EQ(enumerated.size(), SortedOrder(root).size());
    for (SubfolderOrder mode : {SubfolderOrder::Sorted, SubfolderOrder::Enumeration}) {
        const std::vector<std::string>& expected = mode == SubfolderOrder::Sorted ? SortedOrder(root) : enumerated;
        for (int threads : {0, 1, 3}) {
            SCOPED_TRACE(threads);
            TStopToken stop;
            FolderPrefetcher prefetch(root, threads, stop, mode);
            std::vector<std::string> order;
            Walk(prefetch, root, order);
            EXPECT_EQ(order, expected);
        }
    }
}

TEST(FolderPrefetcherTest, SkippedFoldersAreStillListedWhenTaken) {
    TempDir dir;
    MakeTree(dir);
    const std::string root = dir.path() + "/";
    TStopToken stop;
    FolderPrefetcher prefetch(root, 2, stop, SubfolderOrder::Sorted,
                              [](const std::string& folder) { return folder.ends_with("/B/"); });
    std::vector<std::string> order;
    Walk(prefetch, root, order);
    EXPECT_EQ(order, SortedOrder(root));
}

TEST(FolderPrefetcherTest, StoppingEndsTheWorkersWithoutAWalk) {
    TempDir dir;
    MakeTree(dir);
    for (bool closing : {false, true}) {
        TStopToken stop;
        {
            FolderPrefetcher prefetch(dir.path() + "/", 2, stop);
            prefetch.Take(dir.path() + "/");
            (closing ? stop.AppClosing : stop.CancelOperation) = true;
        }  // the destructor returns: no worker waits for a walk that stopped
    }
    SUCCEED();
}

TEST(FolderPrefetcherTest, UnreadableFolderIsAnEmptyListing) {
    TempDir dir;
    TStopToken stop;
    FolderPrefetcher prefetch(dir.Path("missing/"), 1, stop);
    std::unique_ptr<FolderListing> listing = prefetch.Take(dir.Path("missing/"));
    EXPECT_FALSE(listing->opened);
    EXPECT_TRUE(listing->entries.empty());
}

}  // namespace
}  // namespace tandrel
