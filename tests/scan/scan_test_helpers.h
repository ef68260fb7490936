#pragma once
// Shared checks of the scan tests: the invariants of a finished scan, a
// printable image of a whole model for comparisons, and the lines of a body.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "scan/scan_model.h"
#include "scan/snapshot_lines.h"

namespace tandrel::testing {

inline bool IsFilesRecord(const TDirectoryEntry& r) { return r.FolderName == "[files]"; }

// The invariants every finished scan or load holds, checked over the whole model.
inline void ExpectFinishedModelInvariants(ScanModel& model) {
    ASSERT_FALSE(model.DiskTreeMapEntries.Empty());
    TDiskTreeMapEntry* root = model.Root();
    EXPECT_EQ(root->ParentNodeIdx, nullptr);
    EXPECT_EQ(root->EntryType, EntryType_Root);

    std::vector<std::string> folderNodePaths;
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
        if (&node != root) {
            ASSERT_NE(node.ParentNodeIdx, nullptr) << node.Name;
            const auto& siblings = node.ParentNodeIdx->ChildrenEntries;
            const auto listed = std::count(siblings.begin(), siblings.end(), &node);
            if (&node == model.FreeSpaceEntry) {
                EXPECT_LE(listed, 1);
            } else {
                EXPECT_EQ(listed, 1) << node.Name;
            }
        }
        EXPECT_NE(node.EntryType, EntryType_FreeSpace);
        EXPECT_NE(node.EntryType, EntryType_Unknown);
        if (node.EntryType == EntryType_Root || node.EntryType == EntryType_Directory) {
            std::int64_t total = 0, own = 0;
            for (const TDiskTreeMapEntry* child : node.ChildrenEntries) {
                EXPECT_EQ(child->ParentNodeIdx, &node);
                total += child->SizeTotal;
                if (child->EntryType == EntryType_File) own += child->SizeTotal;
            }
            EXPECT_EQ(node.SizeTotal, total) << node.Name;
            EXPECT_EQ(node.SizeRoot(), own) << node.Name;
            folderNodePaths.push_back(GetNodeFullPath(model, &node));
        } else {
            EXPECT_TRUE(node.ChildrenEntries.empty()) << node.Name;
        }
    });

    std::vector<std::string> recordPaths;
    std::map<const TDirectoryEntry*, int> filesRecords;
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        if (IsFilesRecord(r)) {
            ASSERT_NE(r.ParentIdx, nullptr);
            filesRecords[r.ParentIdx]++;
            EXPECT_EQ(r.TotalSize, r.ParentIdx->RootSize);
            EXPECT_EQ(r.TotalFiles, r.ParentIdx->RootFiles);
            EXPECT_EQ(r.Level, r.ParentIdx->Level + 1);
            return;
        }
        std::int64_t size = r.RootSize;
        int files = r.RootFiles, dirs = r.RootDirs;
        for (const TDirectoryEntry* child : r.ChildrenEntries) {
            EXPECT_EQ(child->ParentIdx, &r);
            EXPECT_EQ(child->Level, r.Level + 1);
            size += child->TotalSize;
            files += child->TotalFiles;
            dirs += child->TotalDirs;
        }
        EXPECT_EQ(r.TotalSize, size) << r.FolderName;
        EXPECT_EQ(r.TotalFiles, files) << r.FolderName;
        EXPECT_EQ(r.TotalDirs, dirs) << r.FolderName;
        EXPECT_EQ(r.RootDirs, static_cast<int>(r.ChildrenEntries.size())) << r.FolderName;
        EXPECT_EQ(r.DateM, 0);
        EXPECT_EQ(r.DateC, 0);
        recordPaths.push_back(r.CalcPath());
    });
    // Every folder record has exactly one "[files]" record.
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        if (!IsFilesRecord(r)) {
            EXPECT_EQ(filesRecords[&r], 1) << r.FolderName;
        }
    });
    // Nodes and records describe the same folders.
    std::sort(folderNodePaths.begin(), folderNodePaths.end());
    std::sort(recordPaths.begin(), recordPaths.end());
    EXPECT_EQ(folderNodePaths, recordPaths);
    // Idx is the creation position.
    for (int i = 0; i < model.DirectoryEntries.Count(); ++i) EXPECT_EQ(model.DirectoryEntries[i]->Idx, i + 1);
}

// One line per node and per record, sorted: two models with the same image
// hold the same tree (times to the second, which is what a snapshot keeps).
inline std::vector<std::string> ModelImage(ScanModel& model) {
    std::vector<std::string> image;
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& n) {
        if (&n == model.FreeSpaceEntry) return;
        image.push_back("node " + GetNodeFullPath(model, &n) + " type=" + std::to_string(n.EntryType) +
                        " total=" + std::to_string(n.SizeTotal) + " root=" + std::to_string(n.SizeRoot()) +
                        " time=" + (n.DateM == 0 ? std::string("0") : FormatDateTimeSec(n.DateM)) +
                        " children=" + std::to_string(n.ChildrenEntries.size()));
    });
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        image.push_back("record " + r.CalcPath() + " idx=" + std::to_string(r.Idx) +
                        " level=" + std::to_string(r.Level) + " size=" + std::to_string(r.TotalSize) + "/" +
                        std::to_string(r.RootSize) + " files=" + std::to_string(r.TotalFiles) + "/" +
                        std::to_string(r.RootFiles) + " dirs=" + std::to_string(r.TotalDirs) + "/" +
                        std::to_string(r.RootDirs));
    });
    std::sort(image.begin(), image.end());
    return image;
}

// The lines written so far into the model's body (the writer is emptied).
inline std::vector<std::string> TakeBodyLines(ScanModel& model) {
    SnapshotLineReader reader = SnapshotLineReader::FromCompressed(model.SnapshotLines.TakeCompressed());
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    EXPECT_FALSE(reader.Failed()) << reader.Error();
    return lines;
}

inline TDiskTreeMapEntry* ChildNamed(TDiskTreeMapEntry* node, std::string_view name) {
    for (TDiskTreeMapEntry* child : node->ChildrenEntries)
        if (child->Name == name) return child;
    return nullptr;
}

inline TDirectoryEntry* RecordNamed(ScanModel& model, std::string_view name) {
    TDirectoryEntry* found = nullptr;
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        if (r.FolderName == name && !found) found = &r;
    });
    return found;
}

}  // namespace tandrel::testing
