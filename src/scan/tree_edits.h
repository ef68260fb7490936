#pragma once
// Edits of the scanned node tree after the disk changed under it: a file
// added or grown, a subtree removed, a node renamed. The change watcher and
// the file operations both report changes this way, so the map follows the
// disk without a new scan. Only the node tree changes; the folder records
// keep the values of the scan.
//
// A removed node stays in the node store as a husk (EntryType_Unknown, no
// parent, no name, no children) until the next scan, so a pointer somebody
// still holds never dangles; holders re-check with IsRemovedNode.
//
// Every function expects the caller to hold the model's csTreemap.
#include <string>
#include <vector>

#include "scan/scan_model.h"

namespace tandrel {

enum class TFileOperation { foAdded, foRemoved, foModified, foRenamed };

struct TDiskChange {
    TFileOperation operation = TFileOperation::foModified;
    std::string path;     // the item, or for a rename its old path
    std::string newPath;  // a rename's new path
};

inline bool IsRemovedNode(const TDiskTreeMapEntry* node) {
    return node && node->EntryType == EntryType_Unknown && !node->ParentNodeIdx;
}

// The folder node (root or folder) of a full path, one trailing "/" ignored;
// nullptr when the tree has none. Names compare with ASCII letters lower-cased.
TDiskTreeMapEntry* FolderLookup(ScanModel& model, const std::string& path);
// The node of a full path: a child of the folder of its folder part.
TDiskTreeMapEntry* NodeLookup(ScanModel& model, const std::string& path);
// The folder node of a path, made with its missing parents when the path lies
// below the root; nullptr outside the tree.
TDiskTreeMapEntry* FolderChain(ScanModel& model, const std::string& path);

// An existing file added or changed: its node made (modification time 0) or
// resized, every ancestor following. False when nothing changed.
bool FileUpdate(ScanModel& model, const std::string& path);
// The node of the path and everything below it leave the tree; the
// ancestors shrink. False when the tree has no such node.
bool SubtreeRemoval(ScanModel& model, const std::string& path);
// The node of the old path takes the new path's last name; it keeps its
// parent, sizes and place. False when the tree has no such node.
bool NodeRename(ScanModel& model, const std::string& oldPath, const std::string& newPath);

// True when the path is the scanned folder or lies below it.
bool IsInsideTree(ScanModel& model, const std::string& path);
// Additions of whole folders inside the tree (a copy or move that landed
// there) become additions of every file below them, the way a folder that
// arrived shows on the map; the walk neither follows links to folders nor
// enters other file systems. Every other change passes unchanged.
std::vector<TDiskChange> ExpandAddedFolders(ScanModel& model, const std::vector<TDiskChange>& changes);

// One change as the disk reports it, checked against the disk first so that
// a report already out of date changes nothing: an added or modified path
// must be an existing file, a removed one and a rename's old path must be
// gone. True when the tree changed.
bool ApplyDiskChange(ScanModel& model, const TDiskChange& change);

// A batch of changes in their order, ending in the same tree as applying them
// one by one, but each folder's children are indexed by name for the batch
// and the children of a resized folder re-sorted once at its end: a program
// writing thousands of files into one folder costs thousands of lookups, not
// thousands of scans and sorts of that folder. Added folders are expanded
// first. True when the tree changed.
bool ApplyDiskChangeBatch(ScanModel& model, const std::vector<TDiskChange>& changes);

}  // namespace tandrel
