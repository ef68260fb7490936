#pragma once
// The in-memory model of one scan: a tree of nodes for the treemap, a tree of
// folder records for the statistics, and the counters, flags and locks shared
// by the scan job and the window.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/stop_token.h"
#include "common/thread_string_list.h"
#include "common/types.h"
#include "platform/memory_pages.h"
#include "scan/compact_storage.h"
#include "scan/snapshot_lines.h"

namespace tandrel {

enum TEntryType : std::uint8_t {
    EntryType_Unknown = 0,
    EntryType_Root = 1,
    EntryType_Directory = 2,
    EntryType_File = 3,
    EntryType_FreeSpace = 4,
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Drawing state of one node, owned by the node.
struct TBoxInfo {
    float _PixelsX = 0, _PixelsY = 0, _PixelsW = 0, _PixelsH = 0;
    TRect _AbsRect;
    float _BoxPixelsX = 0, _BoxPixelsY = 0, _BoxPixelsW = 0, _BoxPixelsH = 0;
    std::uint32_t _BackColor = 0;
    bool _Highlighed = false;
};

// Where the layout placed a node, in the root's layout units (_Big*) and as
// shares of its parent (_Perc*).
struct TNodeGeometry {
    float _BigX = 0, _BigY = 0, _BigW = 0, _BigH = 0;
    float _PercX = 0, _PercY = 0, _PercW = 0, _PercH = 0;
};

// What the map keeps of a node it placed or shows: one heap block that
// exists only for such nodes, so a tree of millions costs one pointer per
// node for the map. Reads as the node's box: a pointer that is null while the
// node has no box (not shown). The layout's placement sits in the same block.
class TBoxSlot {
public:
    TBoxSlot() = default;
    ~TBoxSlot() { delete view_; }
    TBoxSlot(const TBoxSlot&) = delete;
    TBoxSlot& operator=(const TBoxSlot&) = delete;

    explicit operator bool() const { return view_ && view_->boxed; }
    TBoxInfo* get() const { return *this ? &view_->box : nullptr; }
    TBoxInfo* operator->() const { return &view_->box; }
    TBoxInfo& operator*() const { return view_->box; }
    friend bool operator==(const TBoxSlot& slot, std::nullptr_t) { return !slot; }
    // Gives the node a box with box's contents; a null box takes it away.
    TBoxSlot& operator=(std::unique_ptr<TBoxInfo> box) {
        if (!box) return *this = nullptr;
        View().box = *box;
        view_->boxed = true;
        return *this;
    }
    TBoxSlot& operator=(std::nullptr_t) {
        reset();
        return *this;
    }
    void reset() {
        if (!view_) return;
        view_->boxed = false;
        view_->box = TBoxInfo{};
        FreeIfUnused();
    }

    // The layout's placement; null while the node is not placed.
    const TNodeGeometry* Placement() const { return view_ && view_->placed ? &view_->geometry : nullptr; }
    TNodeGeometry& Place() {
        View().placed = true;
        return view_->geometry;
    }
    void Unplace() {
        if (!view_) return;
        view_->placed = false;
        view_->geometry = TNodeGeometry{};
        FreeIfUnused();
    }
    // The heap block's size as the allocator holds it (for measuring).
    std::size_t HeapBytes() const { return view_ ? malloc_usable_size(view_) + sizeof(std::size_t) : 0; }

private:
    struct View_ {
        TNodeGeometry geometry;
        TBoxInfo box;
        bool placed = false;
        bool boxed = false;
    };
    View_& View() {
        if (!view_) view_ = new View_;
        return *view_;
    }
    void FreeIfUnused() {
        if (!view_->placed && !view_->boxed) {
            delete view_;
            view_ = nullptr;
        }
    }

    View_* view_ = nullptr;
};

// One node of the scanned tree: the root, a folder, a file or the free space.
// A scan holds millions of nodes, so the node is kept to seven words: the
// name's bytes sit in the store's arena, the children list is one pointer,
// and the layout's and the drawing's state exist only for the nodes the map
// placed or shows.
class TDiskTreeMapEntry {
public:
    TNodeName Name;
    // The small fields sit together, so a node has no padding holes.
    TEntryType EntryType = EntryType_Unknown;
    bool _Selected = false;
    bool _SearchResult = false;
    bool _Modified = false;
    // The treemap layout generation in which this node's children were last
    // placed; the layout places children only where the map reaches.
    std::uint16_t _LayoutGen = 0;
    std::int16_t _Level = 0;
    std::int64_t SizeTotal = 0;
    TDateTime DateM = 0;
    // Children, not owned. Guarded by the model lock, so no lock of its own:
    // a mutex per node would cost more than the rest of the node.
    TChildList<TDiskTreeMapEntry*> ChildrenEntries;
    TDiskTreeMapEntry* ParentNodeIdx = nullptr;
    // The box while the node is shown, and the layout's placement.
    TBoxSlot _BoxInfo;

    // The layout's placement; all zero for a node it has not placed.
    const TNodeGeometry& Geometry() const {
        static const TNodeGeometry none;
        const TNodeGeometry* placed = _BoxInfo.Placement();
        return placed ? *placed : none;
    }
    // The placement to write, made on first use.
    TNodeGeometry& PlaceGeometry() { return _BoxInfo.Place(); }
    // Forgets the placement (a node the layout leaves out).
    void ClearGeometry() { _BoxInfo.Unplace(); }

    // The bytes of the node's own files, the free space among them (a
    // file's own size for a file): summed from the children when asked, so
    // it takes no room in the node and never disagrees with them.
    std::int64_t SizeRoot() const;
    // Sum of SizeTotal of ChildrenEntries[fromIdx..toIdx]; 0 when toIdx < fromIdx.
    std::int64_t GetChildrenBytesSize(int fromIdx, int toIdx) const;
    // Adds diff to every ancestor's SizeTotal and
    // puts every ancestor's children back in order.
    void IncreaseSizeOfParents(std::int64_t diff);
    // When _Modified: sorts the children, biggest first (does not clear _Modified).
    void SortDiskTreeMapChildren();

    static bool IsValidNodeIdx(const TDiskTreeMapEntry* node) { return node != nullptr; }
    static bool IsInvalidNodeIdx(const TDiskTreeMapEntry* node) { return node == nullptr; }
};

class ScanModel;

// Full path of a node ("" for null), built under the csTreemap of the model
// that holds the node.
std::string GetNodeFullPath(ScanModel& model, const TDiskTreeMapEntry* node);
// The same for a caller that already holds that lock.
std::string NodeFullPath(const TDiskTreeMapEntry* node);
// The children order: SizeTotal descending, equal sizes by Name descending
// (locale, case ignored). Negative when a goes first.
int CompareTreeMapChildren(const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b);

// One folder record, or the "[files]" record standing for a folder's own files.
class TDirectoryEntry {
public:
    TNodeName FolderName;
    std::int64_t TotalSize = 0;
    std::int64_t RootSize = 0;
    int TotalDirs = 0;
    int RootDirs = 0;
    // Folder records carry no dates: both read 0 and take no room.
    static constexpr TDateTime DateM = 0;
    static constexpr TDateTime DateC = 0;
    int Level = 0;
    int Idx = 0;
    int TotalFiles = 0;
    int RootFiles = 0;
    TDirectoryEntry* ParentIdx = nullptr;
    TChildList<TDirectoryEntry*> ChildrenEntries;  // not owned
    int _ModifiedCount = 0;
    int _ModifiedPositionX = 0;
    int _ModifiedPositionY = 0;
    void* TreeNodeX = nullptr;  // the folder tree view's node, owned by the view

    // Full path: the ancestors' FolderName joined with "/".
    std::string CalcPath() const;
    // Share of the parent's TotalSize in percent; 101 without a parent, 0 when
    // the parent is empty.
    float PercentOfParent() const;
};

// The folder children order of the statistics re-sort: TotalSize descending.
void SortDirectoryChildren(TDirectoryEntry& record);

// One file of a flat scan or load.
class TFileEntry {
public:
    std::string FileName;
    TDirectoryEntry* OwnerFolder = nullptr;
    std::int64_t Size = 0;
    TDateTime DateM = 0;
};

class TDirectoryStats {
public:
    int DirectoriesCount = 0;
    int FilesCount = 0;
    std::int64_t Size = 0;

    void Clear() { *this = TDirectoryStats{}; }
    void Add(const TDirectoryStats& other) {
        DirectoriesCount += other.DirectoriesCount;
        FilesCount += other.FilesCount;
        Size += other.Size;
    }
};

// Header facts of one stored snapshot.
class TSnapshotDetails {
public:
    std::string RootPath;  // with trailing "/"
    TDateTime SnapshotCreatedDt = 0;
    TDateTime SnapshotFnDt = 0;
    std::string SnapshotFn;
    std::string Description;  // as stored, with its leading ">"
    int FilesCount = 0;
    int FoldersCount = 0;
    std::int64_t SizeInBytes = 0;
};

// Version texts of a file.
class TFileInfo {
public:
    std::string Version;
    std::string Description;
    std::string Comments;
};
// The running program has its build's version; other files have no version
// resource here ("debug build:0"); a missing file gives empty texts.
TFileInfo GetFileInfo(const std::string& file);
// "major.minor.release build:N" of this program.
std::string AppVersionText();

// Owning stores with stable addresses: items live in chunks of 4096, not one
// heap block each, because a scan makes millions of them. Chunks come mapped
// in one call rather than one page fault per 4 KB as the items fill them.
// Names the scan gives the items go into the store's arena (Names), freed
// with the items.
template <typename T>
class TOwningStore {
public:
    TOwningStore() = default;
    ~TOwningStore() { Clear(); }
    TOwningStore(const TOwningStore&) = delete;
    TOwningStore& operator=(const TOwningStore&) = delete;

    T* Add() {
        if (count_ == chunks_.size() * kChunk) {
            chunks_.reserve(chunks_.size() + 1);
            chunks_.push_back(static_cast<T*>(platform::AllocatePrefaulted(kChunkBytes)));
        }
        const std::size_t slot = count_ % kChunk;
        T* item = chunks_[count_ / kChunk] + slot;
        // Chunks come zeroed and are never reused, so default-initialising
        // gives what value-initialising would, without writing every byte
        // twice. The slots a few items on are fetched meanwhile: the walk
        // fills the store much faster than memory answers.
        if (slot + kPrefetchAhead < kChunk) __builtin_prefetch(item + kPrefetchAhead, 1);
        ::new (static_cast<void*>(item)) T;
        ++count_;
        return item;
    }
    T* operator[](std::size_t index) { return chunks_[index / kChunk] + index % kChunk; }
    const T* operator[](std::size_t index) const { return chunks_[index / kChunk] + index % kChunk; }
    int Count() const { return static_cast<int>(count_); }
    bool Empty() const { return count_ == 0; }
    void Clear() {
        for (std::size_t i = 0; i < count_; ++i) (*this)[i]->~T();
        for (T* chunk : chunks_) platform::FreePrefaulted(chunk, kChunkBytes);
        Names.Clear();
        chunks_.clear();
        chunks_.shrink_to_fit();
        count_ = 0;
    }
    template <typename F>
    void ForEach(F f) {
        for (std::size_t i = 0; i < count_; ++i) f(*(*this)[i]);
    }
    std::size_t NameBytes() const { return Names.Bytes(); }

    TNameArena Names;

private:
    static constexpr std::size_t kChunk = 4096;
    static constexpr std::size_t kChunkBytes = kChunk * sizeof(T);
    static constexpr std::size_t kPrefetchAhead = 4;
    static_assert(alignof(T) <= 4096, "chunks are page aligned");
    std::vector<T*> chunks_;
    std::size_t count_ = 0;
};

// The one model of the current scan. It is also the stop token of every job
// that works on it (CancelOperation, PauseOperation, AppClosing).
class ScanModel : public TStopToken {
public:
    TOwningStore<TDiskTreeMapEntry> DiskTreeMapEntries;  // [0] root, [1] free space
    TDiskTreeMapEntry* FreeSpaceEntry = nullptr;
    TOwningStore<TDirectoryEntry> DirectoryEntries;     // [0] root record
    std::vector<TDirectoryEntry*> NewDirectoryEntries;  // under csNewDirectoryEntries
    SnapshotLinesWriter SnapshotLines;                  // body written by a live scan
    TDirectoryStats LastScanStats;
    int ScanDepth = 0;
    int ListScanDepth = 0;

    // Lock order: csTreemap first; csModifiedCount and csNewDirectoryEntries
    // are taken under it or alone, never the one while holding the other, and
    // never csTreemap while holding either. csSnapshotDetails stands apart.
    //
    // The shape of both trees: nodes and records added, moved or removed,
    // children lists, sizes summed into the ancestors, Name. The scanner
    // holds it while it adds a batch; a reader holds it while it walks (the
    // views, GetNodeFullPath, the sorts). Recursive, since the view code
    // that holds it calls helpers that take it again.
    std::recursive_mutex csTreemap;
    // The records' change counters and totals (_ModifiedCount, TotalSize,
    // TotalFiles) the scanner bumps while a view takes them over; taken
    // under csTreemap or alone.
    std::mutex csModifiedCount;
    // NewDirectoryEntries, the queue of records the tree-size view has not
    // shown yet; held only for a push or a swap.
    std::mutex csNewDirectoryEntries;

    TThreadStringList ProgressText;

    // Set by the starter before a live scan: a file with several names adds
    // its bytes once (the snapshot still lists every name with its size).
    bool HardLinksOnce = false;

    // Snapshot store state.
    std::string ScanPath;
    std::string SnapshotsPath;
    std::string TempSnapshotFn;
    std::string TempSnapshotRootPath;
    // SnapshotDetailsCache only; a leaf: held for a lookup or an insert,
    // never while a file is read, a message shown or another lock taken.
    std::mutex csSnapshotDetails;
    std::vector<std::unique_ptr<TSnapshotDetails>> SnapshotDetailsCache;

    // First half of a reset: the root node and the free-space node of the
    // file system holding scanPath; with includeFreeSpace the free space is
    // the root's only child.
    void ResetTreemap(const std::string& scanPath, bool includeFreeSpace);
    // Second half: the folder records and the queue of new records.
    void ResetDirectoryEntries();
    void IncludeFreeSpace();
    void ExcludeFreeSpace();
    // Free space is offered only for mount points.
    static bool CanIncludeFreeSpace(const std::string& scanPath);

    TDiskTreeMapEntry* Root() { return DiskTreeMapEntries.Empty() ? nullptr : DiskTreeMapEntries[0]; }
};

// The process's current model.
ScanModel& CurrentModel();

}  // namespace tandrel
