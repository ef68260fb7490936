#pragma once
// The file-manager entry "Tandrel" that opens a folder in this program.
//
// It is three per-user files under $XDG_DATA_HOME (default ~/.local/share),
// so no administrator rights are needed:
//   applications/tandrel.desktop       "Open With" for folders and mount points
//   kio/servicemenus/tandrel.desktop   Dolphin's context menu (executable)
//   nautilus/scripts/Tandrel           Nautilus's "Scripts" menu (executable)
// The first one is the folder key: it decides whether the entry counts as
// registered, and a failure to remove it is "Could not delete key 1". The two
// file-manager menus are the drive key ("Could not delete key 2").
//
// No Qt here: the switches "shell_register" and "shell_unregister" run this
// without a window.
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tandrel {

std::string ShellDesktopEntryFile();
std::string ShellServiceMenuFile();
std::string ShellNautilusScriptFile();

// Writes the three files (each replaced in one step, never half-written), in
// the order above. When one cannot be written, stops there, keeps what was
// written and shows "Could not open registry"; false then. The executable
// must be given by its full path.
bool RegisterContextMenu(const std::string& executable = platform::ExecutablePath());

// Removes whichever of the files exist, whatever executable they name.
// Nothing registered: nothing to do and nothing shown. A file that stays
// shows "Could not delete key 1" (the desktop entry) or "Could not delete
// key 2" (a file-manager menu); false then.
bool UnregisterContextMenu();

// True when the desktop entry exists and its command starts this executable.
bool IsContextMenuRegistered(const std::string& executable = platform::ExecutablePath());

// One argument quoted for the Exec key of a desktop entry, escaped for the
// key's value as well: "a b" gives "\"a b\"", a backslash four of them, "$"
// "\\$", "%" "%%", a line break "\n".
std::string QuoteDesktopExecArgument(std::string_view argument);
// The arguments of an Exec value, unescaped and unquoted; "%%" gives "%",
// other field codes ("%f") stay as they stand.
std::vector<std::string> SplitDesktopExec(std::string_view value);

}  // namespace tandrel
