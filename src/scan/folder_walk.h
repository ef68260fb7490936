#pragma once
// The one folder walk of every live scan: pre-order, each folder's files
// before its subfolders, listings from the prefetcher's threads, stopped and
// paused through the stop token. What becomes of a folder and its files is
// the sink's business (the tree, the flat lists, the filtered file list).
// The sink is a template parameter, so a file costs no virtual call.
//
// A sink provides:
//   struct Folder;                    what the walk carries per folder
//   static constexpr bool kPauseAfterFile;  where the pause and stop polls sit:
//                                     before every entry (false) or after
//                                     every file (true)
//   int& Depth();                     the nesting counter the sink keeps
//   bool Enter(const std::string& path);  path without the trailing "/"
//                                     (unless given so); false skips the folder
//   void Open(Folder&, const std::string& pathWithDelim, FindRecord* find);
//   void Reserve(Folder&, std::size_t entries);
//   void SubfolderMet(const FindRecord&);  a subfolder entry in the listing
//   void AddFile(Folder&, FindRecord&);    may move the record's name away
//   void Flush(Folder&);              before a pause and after the files
//   Folder NewChild(Folder&);
//   void Complete(Folder&, const TDirectoryStats& total, const TDirectoryStats& own);
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>

#include "common/stop_token.h"
#include "platform/file_system.h"
#include "scan/folder_prefetch.h"
#include "scan/scan_model.h"

namespace tandrel {

// Listing threads beside the walk. The walk itself lists whatever no thread
// has started, and lists ahead rather than wait for a thread, so one lister
// fewer than the cores keeps every core on the kernel's directory reads and
// stats, which are most of a scan.
inline int WalkListingThreads() {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores - 1, 1, 3);
}

// The files with more than one name met so far in one scan job, by device and
// inode: with "hard links counted once" every name after the first adds no
// bytes. Only linked files are remembered, so a tree without links costs nothing.
class HardLinkSet {
public:
    // True the first time a file is met, and always for a file with one name.
    bool FirstSighting(const platform::FindRecord& entry) {
        if (entry.linkCount <= 1 || entry.inode == 0) return true;
        return seen_.insert(Key{entry.device, entry.inode}).second;
    }

private:
    struct Key {
        std::uint64_t device;
        std::uint64_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept {
            return std::hash<std::uint64_t>{}(key.inode * 0x9E3779B97F4A7C15ull ^ key.device);
        }
    };
    std::unordered_set<Key, KeyHash> seen_;
};

struct FolderWalkOptions {
    SubfolderOrder order = SubfolderOrder::Sorted;
    bool recursive = true;
    int threads = WalkListingThreads();
    // Subfolders (path with "/") the sink's Enter refuses, so none is listed ahead.
    std::function<bool(const std::string&)> skip;
    // Set: a file met again under another name counts 0 bytes (for a sink
    // whose AddFile takes the "counted" flag).
    HardLinkSet* hardLinks = nullptr;
};

template <typename Sink>
class FolderWalk {
public:
    using Folder = typename Sink::Folder;

    // root is the folder to walk, with or without its trailing "/".
    FolderWalk(const TStopToken& stop, Sink& sink, const std::string& root, FolderWalkOptions options = {})
        : stop_(stop),
          sink_(sink),
          recursive_(options.recursive),
          hardLinks_(options.hardLinks),
          path_(root),
          prefetch_(WithDelim(root), options.recursive ? options.threads : 0, stop, options.order,
                    std::move(options.skip)) {}

    // Walks the root into folder (filled as NewChild fills one); find is
    // null for a scan root. A stopped walk still reports what it did walk,
    // so the counts of a cancelled scan match what the sink received.
    TDirectoryStats Run(Folder folder, platform::FindRecord* find = nullptr) { return Visit(folder, find); }

private:
    static std::string WithDelim(const std::string& path) {
        return !path.empty() && path.back() == platform::PathDelim ? path : path + platform::PathDelim;
    }

    // path_ holds the folder (trailing "/" optional).
    TDirectoryStats Visit(Folder& folder, platform::FindRecord* find) {
        TDirectoryStats result;
        if (stop_.StopRequested()) return result;
        if (!sink_.Enter(path_)) return result;
        if (path_.empty() || path_.back() != platform::PathDelim) path_ += platform::PathDelim;
        const std::size_t pathLength = path_.size();
        sink_.Open(folder, path_, find);

        TDirectoryStats own;
        bool stopped = false;
        // Linked folders and other file systems are not in the listing's
        // subfolders: they are left out entirely.
        std::unique_ptr<FolderListing> listing = prefetch_.Take(path_);
        sink_.Reserve(folder, listing->entries.size());
        for (platform::FindRecord& entry : listing->entries) {
            if constexpr (!Sink::kPauseAfterFile) {
                if (stop_.PauseOperation.load(std::memory_order_relaxed)) sink_.Flush(folder);
                if (!stop_.WaitWhilePaused()) {
                    stopped = true;
                    break;
                }
            }
            if (entry.IsDirectory()) {
                if (!entry.IsReparsePoint()) sink_.SubfolderMet(entry);
                continue;
            }
            own.FilesCount++;
            if constexpr (requires(Folder & f, platform::FindRecord & r) { sink_.AddFile(f, r, true); }) {
                const bool counted = !hardLinks_ || hardLinks_->FirstSighting(entry);
                if (counted) own.Size += entry.size;
                sink_.AddFile(folder, entry, counted);
            } else {
                own.Size += entry.size;
                sink_.AddFile(folder, entry);
            }
            if constexpr (Sink::kPauseAfterFile) {
                if (stop_.PauseOperation.load(std::memory_order_relaxed)) sink_.Flush(folder);
                if (!stop_.WaitWhilePaused()) {
                    stopped = true;
                    break;
                }
            }
        }
        sink_.Flush(folder);

        if (!stopped && recursive_) {
            for (std::uint32_t index : listing->subfolders) {
                platform::FindRecord& sub = listing->entries[index];
                own.DirectoriesCount++;
                sink_.Depth()++;
                Folder child = sink_.NewChild(folder);
                path_.resize(pathLength);
                path_ += sub.name;
                result.Add(Visit(child, &sub));
                path_.resize(pathLength);
                sink_.Depth()--;
                if (stop_.StopRequested()) {
                    stopped = true;
                    break;
                }
            }
        }

        result.Add(own);
        if (!stopped) sink_.Complete(folder, result, own);
        return result;
    }

    const TStopToken& stop_;
    Sink& sink_;
    const bool recursive_;
    HardLinkSet* const hardLinks_;
    std::string path_;
    FolderPrefetcher prefetch_;
};

}  // namespace tandrel
