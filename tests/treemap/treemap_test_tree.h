#pragma once
// Trees for the treemap tests, built in memory: a model with its root, nodes
// added the way the scanner adds them (sizes carried up to every ancestor,
// parents marked modified), and a layout over the model.
#include <cstdint>
#include <string>

#include "scan/scan_model.h"
#include "treemap/treemap_layout.h"

namespace tandrel::testing {

struct TreemapTree {
    ScanModel model;
    TreemapLayout layout{model};
    TDiskTreeMapEntry* root = nullptr;

    explicit TreemapTree(int surfaceW = 800, int surfaceH = 600) {
        model.ResetTreemap("", false);
        root = model.Root();
        root->Name = "/r";
        layout.SurfaceWidth = surfaceW;
        layout.SurfaceHeight = surfaceH;
    }

    TDiskTreeMapEntry* Add(TDiskTreeMapEntry* parent, const std::string& name, TEntryType type, std::int64_t size) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries.Add();
        node->Name = name;
        node->EntryType = type;
        node->SizeTotal = size;
        node->ParentNodeIdx = parent;
        node->_Modified = true;
        parent->ChildrenEntries.push_back(node);
        parent->_Modified = true;
        for (TDiskTreeMapEntry* a = parent; a; a = a->ParentNodeIdx) a->SizeTotal += size;
        return node;
    }
    // For geometry set by hand: every node counts as placed by the current
    // layout, so the pixel pass takes the geometry as it stands.
    void MarkPlaced() {
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& n) { n._LayoutGen = layout.Generation(); });
    }
    TDiskTreeMapEntry* File(TDiskTreeMapEntry* parent, const std::string& name, std::int64_t size) {
        return Add(parent, name, EntryType_File, size);
    }
    TDiskTreeMapEntry* Folder(TDiskTreeMapEntry* parent, const std::string& name) {
        return Add(parent, name, EntryType_Directory, 0);
    }
};

}  // namespace tandrel::testing
