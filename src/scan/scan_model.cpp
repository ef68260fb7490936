#include "scan/scan_model.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/compare.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/strings.h"
#include "platform/file_system.h"
#include "platform/mounts.h"

#define TANDREL_STRINGIFY2(x) #x
#define TANDREL_STRINGIFY(x) TANDREL_STRINGIFY2(x)

namespace tandrel {

namespace {
constexpr std::string_view kFreeSpaceName = "Free Space";
}  // namespace

// ---- TDiskTreeMapEntry ----

std::int64_t TDiskTreeMapEntry::GetChildrenBytesSize(int fromIdx, int toIdx) const {
    // Indexes outside the list are clamped rather than read past its end.
    const int last = static_cast<int>(ChildrenEntries.size()) - 1;
    fromIdx = std::max(fromIdx, 0);
    toIdx = std::min(toIdx, last);
    std::int64_t sum = 0;
    for (int i = fromIdx; i <= toIdx; ++i) sum += ChildrenEntries[i]->SizeTotal;
    return sum;
}

void TDiskTreeMapEntry::IncreaseSizeOfParents(std::int64_t diff) {
    for (TDiskTreeMapEntry* ancestor = ParentNodeIdx; ancestor; ancestor = ancestor->ParentNodeIdx) {
        ancestor->SizeTotal += diff;
        ancestor->_Modified = true;
        ancestor->SortDiskTreeMapChildren();
    }
}

std::int64_t TDiskTreeMapEntry::SizeRoot() const {
    if (EntryType == EntryType_File) return SizeTotal;
    std::int64_t own = 0;
    for (const TDiskTreeMapEntry* child : ChildrenEntries)
        if (child->EntryType == EntryType_File) own += child->SizeTotal;
    return own;
}

void TDiskTreeMapEntry::SortDiskTreeMapChildren() {
    if (!_Modified) return;
    std::sort(ChildrenEntries.begin(), ChildrenEntries.end(),
              [](const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) { return CompareTreeMapChildren(a, b) < 0; });
}

int CompareTreeMapChildren(const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) {
    if (a->SizeTotal != b->SizeTotal) return a->SizeTotal > b->SizeTotal ? -1 : 1;
    return -CompareTextLocale(a->Name, b->Name);
}

std::string GetNodeFullPath(ScanModel& model, const TDiskTreeMapEntry* node) {
    if (!node) return {};
    std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
    return NodeFullPath(node);
}

std::string NodeFullPath(const TDiskTreeMapEntry* node) {
    if (!node) return {};
    // Walked upwards without recursion: a loaded snapshot may nest deeply.
    std::vector<const TDiskTreeMapEntry*> chain;
    for (const TDiskTreeMapEntry* n = node; n; n = n->ParentNodeIdx) chain.push_back(n);
    std::string result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) result = PathJoin(result, (*it)->Name);
    if (result.size() > 1 && result.back() == platform::PathDelim) {
        GetMessages().ShowMessage(MessageKind::Info,
                                  "error GetNodeFullPath 1: result <> removetrailingbackslash(result)");
    }
    return result;
}

// ---- TDirectoryEntry ----

std::string TDirectoryEntry::CalcPath() const {
    std::string result = FolderName;
    for (const TDirectoryEntry* ancestor = ParentIdx; ancestor; ancestor = ancestor->ParentIdx) {
        result = PathJoin(ancestor->FolderName, result);
    }
    return result;
}

float TDirectoryEntry::PercentOfParent() const {
    if (!ParentIdx) return 101.0f;
    if (ParentIdx->TotalSize <= 0) return 0.0f;
    return static_cast<float>(static_cast<double>(TotalSize) / static_cast<double>(ParentIdx->TotalSize) * 100.0);
}

void SortDirectoryChildren(TDirectoryEntry& record) {
    std::sort(record.ChildrenEntries.begin(), record.ChildrenEntries.end(),
              [](const TDirectoryEntry* a, const TDirectoryEntry* b) { return a->TotalSize > b->TotalSize; });
}

// ---- version texts ----

std::string AppVersionText() {
    return std::string(TANDREL_VERSION_TEXT) + " build:" + TANDREL_STRINGIFY(TANDREL_BUILD_NUMBER);
}

TFileInfo GetFileInfo(const std::string& file) {
    TFileInfo info;
    if (file.empty() || !platform::PathExists(file)) return info;
    if (NormalizePath(file) == NormalizePath(platform::ExecutablePath())) {
        info.Version = AppVersionText();
        info.Description = "Tandrel";
        return info;
    }
    info.Version = "debug build:0";
    return info;
}

// ---- ScanModel ----

bool ScanModel::CanIncludeFreeSpace(const std::string& scanPath) {
    const std::string path = RemoveTrailingBackslash(Trim(scanPath));
    return !path.empty() && platform::IsMountPoint(path);
}

void ScanModel::ResetTreemap(const std::string& scanPath, bool includeFreeSpace) {
    std::lock_guard<std::recursive_mutex> lock(csTreemap);
    FreeSpaceEntry = nullptr;
    DiskTreeMapEntries.Clear();

    TDiskTreeMapEntry* root = DiskTreeMapEntries.Add();
    root->EntryType = EntryType_Root;
    root->_BoxInfo = std::make_unique<TBoxInfo>();

    const std::string trimmed = Trim(scanPath);
    TDiskTreeMapEntry* freeSpace = DiskTreeMapEntries.Add();
    freeSpace->EntryType = EntryType_FreeSpace;
    freeSpace->ParentNodeIdx = root;
    freeSpace->_BoxInfo = std::make_unique<TBoxInfo>();
    freeSpace->Name = std::string(kFreeSpaceName);
    // An unreadable file system counts as no free space, never as negative size.
    const std::int64_t freeBytes = trimmed.empty() ? -1 : platform::GetDiskFreeBytes(trimmed);
    freeSpace->SizeTotal = std::max<std::int64_t>(freeBytes, 0);
    freeSpace->EntryType = EntryType_File;
    FreeSpaceEntry = freeSpace;

    if (includeFreeSpace && CanIncludeFreeSpace(trimmed)) {
        root->SizeTotal = freeSpace->SizeTotal;
        root->ChildrenEntries.push_back(freeSpace);
    }
}

void ScanModel::ResetDirectoryEntries() {
    std::lock_guard<std::recursive_mutex> lock(csTreemap);
    ScanDepth = 0;
    DirectoryEntries.Clear();
    std::lock_guard<std::mutex> queueLock(csNewDirectoryEntries);
    NewDirectoryEntries.clear();
}

namespace {
bool IsFreeSpaceNode(ScanModel& model) {
    return model.DiskTreeMapEntries.Count() > 1 && model.FreeSpaceEntry == model.DiskTreeMapEntries[1] &&
           model.FreeSpaceEntry->Name == kFreeSpaceName;
}
}  // namespace

void ScanModel::IncludeFreeSpace() {
    std::lock_guard<std::recursive_mutex> lock(csTreemap);
    TDiskTreeMapEntry* root = Root();
    if (!root || !IsFreeSpaceNode(*this)) return;
    auto& children = root->ChildrenEntries;
    // Including twice would count the free bytes twice.
    if (std::find(children.begin(), children.end(), FreeSpaceEntry) != children.end()) return;
    children.insert(children.begin(), FreeSpaceEntry);
    root->SizeTotal += FreeSpaceEntry->SizeTotal;
    root->_Modified = true;
    FreeSpaceEntry->_Modified = true;
    root->SortDiskTreeMapChildren();
}

void ScanModel::ExcludeFreeSpace() {
    std::lock_guard<std::recursive_mutex> lock(csTreemap);
    TDiskTreeMapEntry* root = Root();
    if (!root || !IsFreeSpaceNode(*this)) return;
    auto& children = root->ChildrenEntries;
    auto it = std::find(children.begin(), children.end(), FreeSpaceEntry);
    // Subtract only what was added: excluding twice must not shrink the root.
    if (it == children.end()) return;
    children.erase(it);
    root->SizeTotal -= FreeSpaceEntry->SizeTotal;
    root->_Modified = true;
}

ScanModel& CurrentModel() {
    static ScanModel model;
    return model;
}

}  // namespace tandrel
