#include "scan/tree_edits.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/paths.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

bool IsFolderNode(const TDiskTreeMapEntry* node) {
    return node->EntryType == EntryType_Root || node->EntryType == EntryType_Directory;
}

// The names of path below the root's path, or false when path is not the
// root or inside it.
bool NamesBelowRoot(const TDiskTreeMapEntry* root, std::string_view path, std::vector<std::string_view>& names) {
    const std::string rootPath = RemoveTrailingBackslash(root->Name);
    if (path.size() > 1 && path.back() == platform::PathDelim) path.remove_suffix(1);
    if (path.size() < rootPath.size() || !platform::SameAsciiIgnoreCase(path.substr(0, rootPath.size()), rootPath))
        return false;
    std::string_view rest = path.substr(rootPath.size());
    // "/a/bc" is not inside "/a/b"; the root "/" is followed by names directly.
    if (!rest.empty() && rootPath != "/" && rest.front() != platform::PathDelim) return false;
    names.clear();
    while (!rest.empty()) {
        const std::size_t start = rest.find_first_not_of(platform::PathDelim);
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const std::size_t end = rest.find(platform::PathDelim);
        names.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    return true;
}

TDiskTreeMapEntry* Child(TDiskTreeMapEntry* folder, std::string_view name, bool folderOnly) {
    for (TDiskTreeMapEntry* child : folder->ChildrenEntries) {
        if (folderOnly && !IsFolderNode(child)) continue;
        if (platform::SameAsciiIgnoreCase(child->Name, name)) return child;
    }
    return nullptr;
}

std::string LastName(const std::string& path) { return ExtractFileName(RemoveTrailingBackslash(path)); }

// Empties a node that left the tree; its memory goes with the next scan.
void MakeHusk(TDiskTreeMapEntry* node) {
    node->Name = std::string();
    node->EntryType = EntryType_Unknown;
    node->ParentNodeIdx = nullptr;
    node->SizeTotal = 0;
    node->DateM = 0;
    node->_Selected = node->_SearchResult = node->_Modified = false;
    node->_BoxInfo.reset();
    node->ChildrenEntries.release();
}

bool Gone(const std::string& path) { return !platform::FileExists(path) && !platform::DirectoryExists(path); }

}  // namespace

TDiskTreeMapEntry* FolderLookup(ScanModel& model, const std::string& path) {
    TDiskTreeMapEntry* node = model.Root();
    std::vector<std::string_view> names;
    if (!node || !NamesBelowRoot(node, path, names)) return nullptr;
    for (std::string_view name : names) {
        node = Child(node, name, true);
        if (!node) return nullptr;
    }
    return node;
}

TDiskTreeMapEntry* NodeLookup(ScanModel& model, const std::string& path) {
    const std::string item = RemoveTrailingBackslash(path);
    const std::size_t slash = item.rfind(platform::PathDelim);
    if (slash == std::string::npos || slash + 1 == item.size()) return nullptr;
    TDiskTreeMapEntry* folder = FolderLookup(model, slash == 0 ? "/" : item.substr(0, slash));
    return folder ? Child(folder, std::string_view(item).substr(slash + 1), false) : nullptr;
}

TDiskTreeMapEntry* FolderChain(ScanModel& model, const std::string& path) {
    TDiskTreeMapEntry* node = model.Root();
    std::vector<std::string_view> names;
    if (!node || !NamesBelowRoot(node, path, names)) return nullptr;
    for (std::string_view name : names) {
        if (TDiskTreeMapEntry* next = Child(node, name, true)) {
            node = next;
            continue;
        }
        TDiskTreeMapEntry* folder = model.DiskTreeMapEntries.Add();
        folder->Name = std::string(name);
        folder->EntryType = EntryType_Directory;
        folder->ParentNodeIdx = node;
        folder->_Level = static_cast<std::int16_t>(node->_Level + 1);
        node->ChildrenEntries.push_back(folder);
        node = folder;
    }
    return node;
}

bool FileUpdate(ScanModel& model, const std::string& path) {
    const std::string item = RemoveTrailingBackslash(path);
    TDiskTreeMapEntry* folder = FolderChain(model, ExtractFilePath(item));
    if (!folder) return false;
    platform::FindRecord record;
    const std::int64_t size = platform::GetFindRecord(item, record) ? record.size : 0;
    const std::string name = LastName(item);
    TDiskTreeMapEntry* node = Child(folder, name, false);
    std::int64_t difference = size;
    if (node) {
        difference = size - node->SizeTotal;
    } else {
        node = model.DiskTreeMapEntries.Add();
        node->Name = name;
        node->EntryType = EntryType_File;
        node->ParentNodeIdx = folder;
        node->_Level = static_cast<std::int16_t>(folder->_Level + 1);
        folder->ChildrenEntries.push_back(node);
    }
    node->SizeTotal = size;
    if (difference != 0) node->IncreaseSizeOfParents(difference);
    return true;
}

bool SubtreeRemoval(ScanModel& model, const std::string& path) {
    TDiskTreeMapEntry* node = NodeLookup(model, path);
    if (!node || node == model.FreeSpaceEntry) return false;
    auto& siblings = node->ParentNodeIdx->ChildrenEntries;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    node->IncreaseSizeOfParents(-node->SizeTotal);
    // Without recursion: a tree may nest deeply.
    std::vector<TDiskTreeMapEntry*> pending{node};
    while (!pending.empty()) {
        TDiskTreeMapEntry* next = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), next->ChildrenEntries.begin(), next->ChildrenEntries.end());
        MakeHusk(next);
    }
    return true;
}

bool NodeRename(ScanModel& model, const std::string& oldPath, const std::string& newPath) {
    TDiskTreeMapEntry* node = NodeLookup(model, oldPath);
    const std::string name = LastName(newPath);
    if (!node || name.empty()) return false;
    node->Name = name;
    return true;
}

bool IsInsideTree(ScanModel& model, const std::string& path) {
    std::vector<std::string_view> names;
    return model.Root() && NamesBelowRoot(model.Root(), path, names);
}

std::vector<TDiskChange> ExpandAddedFolders(ScanModel& model, const std::vector<TDiskChange>& changes) {
    std::vector<TDiskChange> expanded;
    for (const TDiskChange& change : changes) {
        const bool folder = change.operation == TFileOperation::foAdded && platform::DirectoryExists(change.path) &&
                            !(platform::GetAttributes(change.path) & platform::FILE_ATTRIBUTE_REPARSE_POINT);
        if (!folder || !IsInsideTree(model, change.path)) {
            expanded.push_back(change);
            continue;
        }
        std::vector<std::string> pending{RemoveTrailingBackslash(change.path)};
        while (!pending.empty()) {
            const std::string current = std::move(pending.back());
            pending.pop_back();
            platform::FolderEnumerator entries(current);
            platform::FindRecord record;
            while (entries.Next(record)) {
                const std::string path = PathJoin(current, record.name);
                if (!record.IsDirectory())
                    expanded.push_back({TFileOperation::foAdded, path, {}});
                else if (!record.IsReparsePoint())
                    pending.push_back(path);
            }
        }
    }
    return expanded;
}

bool ApplyDiskChange(ScanModel& model, const TDiskChange& change) {
    switch (change.operation) {
        case TFileOperation::foAdded:
        case TFileOperation::foModified:
            return platform::FileExists(change.path) && FileUpdate(model, change.path);
        case TFileOperation::foRemoved:
            return Gone(change.path) && SubtreeRemoval(model, change.path);
        case TFileOperation::foRenamed:
            return Gone(change.path) && NodeRename(model, change.path, change.newPath);
    }
    return false;
}

}  // namespace tandrel

namespace tandrel {

namespace {

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The edits of one batch: children found through a per-folder index by
// lower-cased name, sizes propagated without sorting, and the folders whose
// sizes changed sorted once when the batch ends.
class TTreeEditBatch {
public:
    explicit TTreeEditBatch(ScanModel& model) : model_(model) {}

    bool Apply(const TDiskChange& change) {
        switch (change.operation) {
            case TFileOperation::foAdded:
            case TFileOperation::foModified:
                return platform::FileExists(change.path) && FileUpdate(change.path);
            case TFileOperation::foRemoved:
                return Gone(change.path) && SubtreeRemoval(change.path);
            case TFileOperation::foRenamed:
                return Gone(change.path) && NodeRename(change.path, change.newPath);
        }
        return false;
    }

    void Finish() {
        for (TDiskTreeMapEntry* folder : resized_) {
            folder->_Modified = true;
            folder->SortDiskTreeMapChildren();
        }
        resized_.clear();
    }

private:
    using Names = std::unordered_map<std::string, std::vector<TDiskTreeMapEntry*>>;

    Names& Index(TDiskTreeMapEntry* folder) {
        auto [it, made] = index_.try_emplace(folder);
        if (made)
            for (TDiskTreeMapEntry* child : folder->ChildrenEntries)
                it->second[LowerAscii(child->Name)].push_back(child);
        return it->second;
    }

    // The first child of that name in child order, as the unindexed lookup finds it.
    TDiskTreeMapEntry* Child(TDiskTreeMapEntry* folder, std::string_view name, bool folderOnly) {
        Names& names = Index(folder);
        const auto it = names.find(LowerAscii(name));
        if (it == names.end()) return nullptr;
        TDiskTreeMapEntry* first = nullptr;
        std::size_t firstPlace = 0;
        for (TDiskTreeMapEntry* candidate : it->second) {
            if (folderOnly && !IsFolderNode(candidate)) continue;
            if (it->second.size() == 1) return candidate;
            // Names that differ only in case: the earlier child wins.
            const auto& children = folder->ChildrenEntries;
            const std::size_t place =
                static_cast<std::size_t>(std::find(children.begin(), children.end(), candidate) - children.begin());
            if (!first || place < firstPlace) first = candidate, firstPlace = place;
        }
        return first;
    }

    void AddChild(TDiskTreeMapEntry* folder, TDiskTreeMapEntry* child) {
        folder->ChildrenEntries.push_back(child);
        Index(folder)[LowerAscii(child->Name)].push_back(child);
    }

    TDiskTreeMapEntry* Folder(const std::string& path, bool make) {
        TDiskTreeMapEntry* node = model_.Root();
        std::vector<std::string_view> names;
        if (!node || !NamesBelowRoot(node, path, names)) return nullptr;
        for (std::string_view name : names) {
            if (TDiskTreeMapEntry* next = Child(node, name, true)) {
                node = next;
                continue;
            }
            if (!make) return nullptr;
            TDiskTreeMapEntry* folder = model_.DiskTreeMapEntries.Add();
            folder->Name = std::string(name);
            folder->EntryType = EntryType_Directory;
            folder->ParentNodeIdx = node;
            folder->_Level = static_cast<std::int16_t>(node->_Level + 1);
            AddChild(node, folder);
            node = folder;
        }
        return node;
    }

    TDiskTreeMapEntry* Node(const std::string& path) {
        const std::string item = RemoveTrailingBackslash(path);
        const std::size_t slash = item.rfind(platform::PathDelim);
        if (slash == std::string::npos || slash + 1 == item.size()) return nullptr;
        TDiskTreeMapEntry* folder = Folder(slash == 0 ? "/" : item.substr(0, slash), false);
        return folder ? Child(folder, std::string_view(item).substr(slash + 1), false) : nullptr;
    }

    void Propagate(TDiskTreeMapEntry* node, std::int64_t difference) {
        for (TDiskTreeMapEntry* ancestor = node->ParentNodeIdx; ancestor; ancestor = ancestor->ParentNodeIdx) {
            ancestor->SizeTotal += difference;
            resized_.insert(ancestor);
        }
    }

    bool FileUpdate(const std::string& path) {
        const std::string item = RemoveTrailingBackslash(path);
        TDiskTreeMapEntry* folder = Folder(ExtractFilePath(item), true);
        if (!folder) return false;
        platform::FindRecord record;
        const std::int64_t size = platform::GetFindRecord(item, record) ? record.size : 0;
        const std::string name = LastName(item);
        TDiskTreeMapEntry* node = Child(folder, name, false);
        std::int64_t difference = size;
        if (node) {
            difference = size - node->SizeTotal;
        } else {
            node = model_.DiskTreeMapEntries.Add();
            node->Name = name;
            node->EntryType = EntryType_File;
            node->ParentNodeIdx = folder;
            node->_Level = static_cast<std::int16_t>(folder->_Level + 1);
            AddChild(folder, node);
        }
        node->SizeTotal = size;
        if (difference != 0) Propagate(node, difference);
        return true;
    }

    bool SubtreeRemoval(const std::string& path) {
        TDiskTreeMapEntry* node = Node(path);
        if (!node || node == model_.FreeSpaceEntry) return false;
        TDiskTreeMapEntry* parent = node->ParentNodeIdx;
        auto& siblings = parent->ChildrenEntries;
        siblings.erase(std::find(siblings.begin(), siblings.end(), node));
        Names& names = Index(parent);
        auto& same = names[LowerAscii(node->Name)];
        same.erase(std::find(same.begin(), same.end(), node));
        if (same.empty()) names.erase(LowerAscii(node->Name));
        Propagate(node, -node->SizeTotal);
        std::vector<TDiskTreeMapEntry*> pending{node};
        while (!pending.empty()) {
            TDiskTreeMapEntry* next = pending.back();
            pending.pop_back();
            pending.insert(pending.end(), next->ChildrenEntries.begin(), next->ChildrenEntries.end());
            index_.erase(next);
            resized_.erase(next);
            MakeHusk(next);
        }
        return true;
    }

    bool NodeRename(const std::string& oldPath, const std::string& newPath) {
        TDiskTreeMapEntry* node = Node(oldPath);
        const std::string name = LastName(newPath);
        if (!node || name.empty()) return false;
        Names& names = Index(node->ParentNodeIdx);
        auto& same = names[LowerAscii(node->Name)];
        same.erase(std::find(same.begin(), same.end(), node));
        if (same.empty()) names.erase(LowerAscii(node->Name));
        node->Name = name;
        names[LowerAscii(name)].push_back(node);
        return true;
    }

    ScanModel& model_;
    std::unordered_map<TDiskTreeMapEntry*, Names> index_;
    std::unordered_set<TDiskTreeMapEntry*> resized_;
};

}  // namespace

bool ApplyDiskChangeBatch(ScanModel& model, const std::vector<TDiskChange>& changes) {
    TTreeEditBatch batch(model);
    bool changed = false;
    for (const TDiskChange& change : ExpandAddedFolders(model, changes)) changed |= batch.Apply(change);
    batch.Finish();
    return changed;
}

}  // namespace tandrel
