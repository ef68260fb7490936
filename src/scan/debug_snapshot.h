#pragma once
// The developer's look at the snapshot body format: a folder walked in the
// order the file system lists it, written as plain text.
#include <string>

namespace tandrel {

// Where WriteDebugSnapshot writes: a fixed file in the debug folder.
std::string DebugSnapshotFile();

// Walks the folder and writes "|files.v2|", then per folder "|" + its path
// (no trailing "/", no times), its file lines and then its subfolders in
// listing order. False when the file cannot be written.
bool WriteDebugSnapshot(const std::string& folder, const std::string& target = DebugSnapshotFile());

}  // namespace tandrel
