#pragma once
// Safe and unique file names, listing, deleting with read-only handling,
// copying and moving single files.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/file_system.h"

namespace tandrel {

// Every character below 128 outside blank, "'", "+", ",", "-", ".", digits,
// letters, "[", "]", "^", "_", "~" becomes "_"; bytes from 128 up (UTF-8
// sequences) stay. Then "__" becomes "_" twice over.
std::string MakeFileNameSafe(std::string_view text);
// MakeFileNameSafe on the file-name part only.
std::string MakeFileNamePartSafe(std::string_view path);
// The path itself when nothing exists there, else the first free
// base + "_" + five-digit counter (from 00001) + extension.
// Throws TandrelError when no counter up to 999999 is free.
std::string MakeUniqueFileName(const std::string& path);

// Creates the file's folder with all missing parents; true when it exists.
bool ForceFileFolder(const std::string& file);

// How WriteFileReplacing finishes the new file before it takes the name.
struct ReplaceOptions {
    bool executable = false;  // made executable before the rename
};
// Writes the file through an AtomicFile: under a hidden temporary name beside
// it, synced, then renamed over the target in one step, so a reader (or the
// next start after a kill) sees the old file or the new one, never part of
// one. write fills the open file. False, with the target untouched and no
// temporary file left, on failure. The new file keeps the old one's
// permissions, or with permissionsFrom takes that file's.
bool WriteFileReplacing(const std::string& file, const std::function<bool(platform::AtomicFile&)>& write,
                        ReplaceOptions options = {}, const std::string& permissionsFrom = {});
// Writes and deletes a small probe file; never raises.
bool IsFolderWritable(const std::string& folder);

// "*" and "?" wildcards, ignoring case; "*.*" (and an empty mask) match
// every name, with or without a dot.
bool MatchesMask(std::string_view name, std::string_view mask);

// The same rules, with the mask lower-cased once for matching many names.
class WildcardMask {
public:
    explicit WildcardMask(std::string_view mask);
    bool Matches(std::string_view name) const;

private:
    bool matchesAll_ = false;
    std::string lowerMask_;
    // The mask without its final ".*", tried on names without a dot ("a*.*" takes "abc").
    bool hasDotStarTail_ = false;
};
// Names (no folder part) of the files, not folders, directly in the folder
// matching the mask, in enumeration order.
std::vector<std::string> ListFileNames(const std::string& folder, std::string_view mask = "*.*");
// The same as full paths.
std::vector<std::string> ListFilePaths(const std::string& folder, std::string_view mask = "*.*");
// The names sorted by last-write time, oldest first.
std::vector<std::string> ListFileNamesByDate(const std::string& folder, std::string_view mask = "*.*");

// Deletes the file if present; true when it is gone (also when it never was).
bool DeleteFileIfExists(const std::string& file);
// The path exists and is read-only or hidden.
bool IsReadOnlyOrHidden(const std::string& path);
// Deletes a file, clearing read-only when the first attempt fails. With
// messages on, tells about a file that stays read-only and about a final
// failure (unless Ctrl is held). True when the file is gone.
bool DeleteFileEx(const std::string& file, bool showMessages);
// Deletes a folder with everything in it. Symbolic links inside are removed
// as links: their targets are never entered. Other file systems mounted
// inside are not entered either, so such a folder fails to delete. True
// when the folder is gone.
bool DeleteFolderEx(const std::string& folder, bool showMessages);

// Creates the target's folder and copies, overwriting.
bool CopyFileEx(const std::string& source, const std::string& target);
// Creates the target's folder and renames.
bool MoveFileEx(const std::string& source, const std::string& target);
// Gives the target the source's last-write time.
bool CopyFileTime(const std::string& source, const std::string& target);

// Where a shortcut (a symbolic link here) points, as an absolute normalised
// path: a relative target counts from the link's folder. "" when the path is
// not a link.
std::string ShortcutTarget(const std::string& link);

}  // namespace tandrel
