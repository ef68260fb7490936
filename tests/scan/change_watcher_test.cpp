#include "scan/change_watcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "common/paths.h"
#include "platform/file_system.h"
#include "scan/disk_scanner.h"
#include "scan/scan_model.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

void Scan(ScanModel& model, const std::string& path) {
    std::lock_guard lock(model.csTreemap);
    model.ResetTreemap(path, false);
    model.ResetDirectoryEntries();
    model.SnapshotLines.Clear();
    ScanDirectoryToTreemap(model, path, model.Root(), nullptr, platform::FindRecord{});
}

std::map<std::string, std::int64_t> Image(ScanModel& model) {
    std::map<std::string, std::int64_t> image;
    std::lock_guard lock(model.csTreemap);
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (!IsRemovedNode(&node) && &node != model.FreeSpaceEntry) image[NodeFullPath(&node)] = node.SizeTotal;
    });
    return image;
}

// A scanned fixture tree with a watcher whose batches edit the model, as the
// window does; tests wait on what the callbacks report, never on a clock.
class ChangeWatcherTest : public ::testing::Test {
public:
    void SetUp() override {
        dir.WriteFile("tree/a/one.txt", std::string(100, 'x'));
        dir.WriteFile("tree/a/deep/two.bin", std::string(2000, 'y'));
        dir.WriteFile("tree/b/three.txt", std::string(30, 'z'));
        dir.MakeFolder("outside");
        root = dir.Path("tree");
        Scan(model, root);
    }
    void TearDown() override {
        watcher.reset();
        test_hooks::SetWatchLimit(0);
        test_hooks::HoldWatcherReading(false);
    }

    void Watch() {
        TWatcherEvents events;
        events.OnChange = [this](std::vector<TDiskChange> changes) {
            {
                std::lock_guard lock(model.csTreemap);
                ApplyDiskChangeBatch(model, changes);
            }
            std::lock_guard lock(mutex);
            ++batches;
            changed.notify_all();
        };
        events.OnMessage = [this](const std::string& text) {
            std::lock_guard lock(mutex);
            messages.push_back(text);
            changed.notify_all();
        };
        events.OnReady = [this] {
            std::lock_guard lock(mutex);
            ready = true;
            changed.notify_all();
        };
        watcher = std::make_unique<TShellChangeThread>(root, events);
        ASSERT_TRUE(watcher->Start());
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [this] { return ready || !messages.empty(); }));
    }

    // Waits, batch by batch, until the model passes the check.
    template <typename Check>
    bool WaitUntil(Check check) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::unique_lock lock(mutex);
        for (;;) {
            lock.unlock();
            const bool done = check();
            lock.lock();
            if (done) return true;
            const int seen = batches;
            if (!changed.wait_until(lock, deadline, [&] { return batches != seen; })) return false;
        }
    }
    bool WaitForImage(const std::map<std::string, std::int64_t>& expected) {
        if (WaitUntil([&] { return Image(model) == expected; })) return true;
        for (const auto& [path, size] : Image(model)) ADD_FAILURE() << "have " << path << " " << size;
        for (const auto& [path, size] : expected) ADD_FAILURE() << "want " << path << " " << size;
        return false;
    }
    std::map<std::string, std::int64_t> FreshScan() {
        ScanModel fresh;
        Scan(fresh, root);
        return Image(fresh);
    }
    bool WaitForMessage(const std::string& text) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return std::find(messages.begin(), messages.end(), text) != messages.end(); });
    }
    static void Move(const std::string& from, const std::string& to) {
        ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0) << from;
    }

    TempDir dir;
    std::string root;
    ScanModel model;
    std::unique_ptr<TShellChangeThread> watcher;
    std::mutex mutex;
    std::condition_variable changed;
    int batches = 0;
    bool ready = false;
    std::vector<std::string> messages;
};

// Each change, made while the tree is watched, ends in what a fresh scan of
// the disk shows.
TEST_F(ChangeWatcherTest, ChangesOnDiskEndInWhatAFreshScanShows) {
    struct Case {
        const char* what;
        std::function<void(ChangeWatcherTest&)> change;
    };
    const Case cases[] = {
        {"a folder with files made in place",
         [](ChangeWatcherTest& t) {
             t.dir.WriteFile("tree/made/x1.txt", "1111");
             t.dir.WriteFile("tree/made/inner/x2.txt", std::string(5000, '2'));
         }},
        {"a folder with files moved in from outside",
         [](ChangeWatcherTest& t) {
             t.dir.WriteFile("outside/copied/c1.txt", std::string(700, 'c'));
             t.dir.WriteFile("outside/copied/sub/c2.txt", std::string(800, 'c'));
             Move(t.dir.Path("outside/copied"), t.dir.Path("tree/b/copied"));
         }},
        {"a file grown by 1 MB",
         [](ChangeWatcherTest& t) { t.dir.WriteFile("tree/a/deep/two.bin", std::string(2000 + 1048576, 'y')); }},
        {"a file renamed in its folder",
         [](ChangeWatcherTest& t) { Move(t.dir.Path("tree/a/one.txt"), t.dir.Path("tree/a/uno.txt")); }},
        {"a renamed folder, then a file written in it",
         [](ChangeWatcherTest& t) {
             Move(t.dir.Path("tree/a/deep"), t.dir.Path("tree/a/deeper"));
             t.dir.WriteFile("tree/a/deeper/after.txt", std::string(300, 'r'));
         }},
        {"a folder deleted with everything in it",
         [](ChangeWatcherTest& t) {
             platform::DeleteFile(t.dir.Path("tree/a/deeper/two.bin"));
             platform::DeleteFile(t.dir.Path("tree/a/deeper/after.txt"));
             platform::RemoveFolder(t.dir.Path("tree/a/deeper"));
         }},
        {"a folder moved out of the tree, then changed there",
         [](ChangeWatcherTest& t) {
             Move(t.dir.Path("tree/b/copied"), t.dir.Path("outside/gone"));
             t.dir.WriteFile("outside/gone/ignored.txt", "not ours");
         }},
    };
    Watch();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change(*this);
        EXPECT_TRUE(WaitForImage(FreshScan()));
    }
    std::lock_guard lock(mutex);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ChangeWatcherTest, TheRulesWhereTheMapDiffersFromAFreshScan) {
    Watch();
    // An empty new folder does not appear; a file moved to another folder
    // stays under its old folder with its new name.
    dir.MakeFolder("tree/empty");
    Move(dir.Path("tree/b/three.txt"), dir.Path("tree/a/moved.txt"));
    dir.WriteFile("tree/marker.txt", "m");
    auto expected = Image(model);
    expected.erase(root + "/b/three.txt");
    expected[root + "/b/moved.txt"] = 30;
    expected[root + "/marker.txt"] = 1;
    expected[root] += 1;
    EXPECT_TRUE(WaitForImage(expected));
    std::lock_guard lock(model.csTreemap);
    EXPECT_EQ(NodeLookup(model, root + "/marker.txt")->DateM, 0) << "an added file has no modification time";
}

TEST_F(ChangeWatcherTest, ABurstLargerThanTheQueueIsReportedAndWatchingGoesOn) {
    Watch();
    test_hooks::HoldWatcherReading(true);
    std::FILE* probe = std::fopen("/proc/sys/fs/inotify/max_queued_events", "r");
    int limit = 16384;
    if (probe) {
        if (std::fscanf(probe, "%d", &limit) != 1) limit = 16384;
        std::fclose(probe);
    }
    for (int i = 0; i <= limit; ++i) dir.WriteFile("tree/b/burst" + std::to_string(i), "");
    test_hooks::HoldWatcherReading(false);
    EXPECT_TRUE(WaitForMessage(kOverflowMessage));
    // The map stays usable: a later change still arrives.
    dir.WriteFile("tree/a/later.txt", std::string(10, 'l'));
    EXPECT_TRUE(WaitUntil([&] {
        std::lock_guard lock(model.csTreemap);
        const TDiskTreeMapEntry* node = NodeLookup(model, root + "/a/later.txt");
        return node && node->SizeTotal == 10;
    }));
}

TEST_F(ChangeWatcherTest, TheWatchLimitIsReportedOnceAndTheWatchedFoldersStillFollow) {
    test_hooks::SetWatchLimit(2);  // the root and one folder of three
    Watch();
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(std::count(messages.begin(), messages.end(), std::string(kWatchLimitMessage)), 1);
    }
    dir.WriteFile("tree/top.txt", std::string(42, 't'));
    auto expected = Image(model);
    expected[root + "/top.txt"] = 42;
    expected[root] += 42;
    EXPECT_TRUE(WaitForImage(expected));
}

TEST(FileSystemWatcher, RunsAWorkerOnlyWhileActiveAndNeverOnAFile) {
    TempDir dir;
    const std::string file = dir.WriteFile("snapshot.txt", "x");
    TFileSystemWatcher watcher;
    int readies = 0;
    std::mutex mutex;
    std::condition_variable cv;
    TWatcherEvents events;
    events.OnChange = [](std::vector<TDiskChange>) {};
    events.OnReady = [&] {
        std::lock_guard lock(mutex);
        ++readies;
        cv.notify_all();
    };
    watcher.SetWatchedDir(dir.path());
    watcher.SetOnChange(events);
    EXPECT_FALSE(watcher.Actived());
    watcher.SetActived(true);
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return readies == 1; }));
    }
    watcher.SetActived(false);  // joins the worker
    watcher.SetWatchedDir(file);
    watcher.SetActived(true);  // a file is not watched: no ready, no message, no crash
    watcher.SetActived(false);
    EXPECT_EQ(readies, 1);
}

}  // namespace
}  // namespace tandrel
