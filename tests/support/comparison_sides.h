#pragma once
// Builds one side of a snapshot comparison in memory the way the loaders do:
// folders numbered in load order, files pointing at their folder.
#include <cstdint>
#include <string>

#include "common/types.h"
#include "scan/folder_records.h"
#include "scan/scan_model.h"

namespace tandrel::testing {

struct ComparisonSide {
    TOwningStore<TDirectoryEntry>& folders;
    TOwningStore<TFileEntry>& files;

    TDirectoryEntry* Folder(TDirectoryEntry* parent, const std::string& name, std::int64_t totalSize = 0) {
        TDirectoryEntry* folder = AddListFolderRecord(folders, parent, name);
        folder->TotalSize = totalSize;
        return folder;
    }
    TFileEntry* File(TDirectoryEntry* owner, const std::string& name, std::int64_t size, TDateTime modified) {
        TFileEntry* file = files.Add();
        file->FileName = name;
        file->OwnerFolder = owner;
        file->Size = size;
        file->DateM = modified;
        return file;
    }
};

}  // namespace tandrel::testing
