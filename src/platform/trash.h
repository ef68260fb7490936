#pragma once
// The freedesktop trash: a deleted file or folder is renamed into a trash on
// its own file system, with an info file telling where it came from, so the
// desktop's trash can restore it. Nothing is ever copied: an item whose file
// system has no usable trash is refused rather than moved elsewhere.
#include <string>

namespace tandrel::platform {

// $XDG_DATA_HOME/Trash (default ~/.local/share/Trash), not created here.
std::string HomeTrashFolder();

// Moves the item (a symbolic link as the link, never its target) to the
// trash of its file system: the home trash when it lies on the same device,
// else $topdir/.Trash/$uid (only when .Trash is a sticky folder and no link)
// or $topdir/.Trash-$uid. false with LastError() set when it cannot be
// trashed; the item is then untouched. trashedAs receives the item's new path.
bool MoveToTrash(const std::string& path, std::string* trashedAs = nullptr);

}  // namespace tandrel::platform
