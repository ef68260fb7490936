#pragma once
// What the desktop does with one path for the views' context menus: open it,
// show it in the file manager, show its properties, start a terminal in its
// folder, put it on the clipboard.
//
// The file manager is asked over D-Bus (org.freedesktop.FileManager1). Every
// call gives up after a short time, so a missing or stuck file manager never
// hangs the window; our own fallbacks apply then.
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace tandrel {

// Which file manager to ask, on which bus. Tests name a service and a bus of
// their own; the window keeps the defaults.
struct FileManagerBus {
    QString service = QStringLiteral("org.freedesktop.FileManager1");
    // A QDBusConnection::connectToBus name; empty for the session bus.
    QString connectionName;
};

// Where a terminal emulator is looked for: the user's choice ($TERMINAL, a
// name or a path) and the folders of PATH.
struct TerminalSearch {
    std::string terminalVariable;
    std::vector<std::string> folders;

    static TerminalSearch FromEnvironment();
};

// Opens a file, program, document or folder. Without parameters a symbolic
// link is followed first: a link to a folder opens that folder; a link whose
// target is gone says "Could not find target file: " and the target. A
// folder goes to ShellOpenFolder. With parameters the target is started as a
// program with them (split as a command line) in the working folder (an
// existing file's own folder when none is given); without, the desktop's
// handler opens it. False when the path does not exist or nothing could open it.
bool ShellOpen(const std::string& path, const std::string& parameters = {}, const std::string& workingFolder = {});
// Tests: an existing path ShellOpen would hand to the desktop goes to the
// hook instead, whose answer ShellOpen returns; an empty hook launches again.
void SetShellOpenHook(std::function<bool(const std::string& path)> hook);

// Shows the folder (one pair of enclosing quotes removed) in the user's own
// file manager when one is configured, else with the desktop's handler.
bool ShellOpenFolder(const std::string& folder);

// The file manager the user put in "Brenix Software/ExplorerExPath.ini" (the
// cache folder first, then the configuration folder): its path when that
// program exists, else "".
std::string AlternativeFileManager();

// Shows the item selected in its folder. A configured file manager gets the
// file's path, or for a folder its parent and "/select=" with its name.
// Otherwise the file manager on the session bus is asked; without one the
// parent folder is opened instead; a path that no
// longer exists opens its nearest existing parent folder. False when nothing
// could be shown.
bool ShellLocate(const std::string& path, const FileManagerBus& bus = {});

// The file manager's properties of the item; without one, a dialog of our own
// (not modal) with the path, type, size, times, owner and permissions. False
// when the item cannot be read (the dialog then shows why).
bool ShellProperties(const std::string& path, QWidget* parent, const FileManagerBus& bus = {});

// Starts a terminal emulator in the folder (the folder of an existing file).
// False when no terminal was found or it could not be started; the caller
// tells the user.
bool ShellCommandPromptHere(const std::string& path, const TerminalSearch& search = TerminalSearch::FromEnvironment());

// Starts the comparison program (the "WinMerge Path:" setting, "meld" by
// default) with the two paths. False when the setting is blank or the
// program could not be started; the caller tells the user.
bool StartExternalCompare(const std::string& program, const std::string& left, const std::string& right);

// "Treemap here": this program again on the folder, in folder-scan mode.
bool StartTreemapHere(const std::string& folder);

// "Quorvel here": the companion folder tool on the folder (a file's folder).
// Its folder is "brenix software/" in the program folder, else the
// "installation_path" of "brenix software/quorvel.exe.install.ini" in the
// settings folder. Returns "" when it was started, else the message to show.
std::string StartCompanionTool(const std::string& path);

// Tests: every program these services start goes to the hook instead (the
// arguments, the first being the program, and the working folder), whose
// answer is the start's success; an empty hook starts programs again.
using LaunchHook = std::function<bool(const std::vector<std::string>& argv, const std::string& folder)>;
void SetLaunchHook(LaunchHook hook);

// Puts the path on the clipboard as text.
void CopyFilenameToClipboard(const std::string& path);

// The terminal to start: $TERMINAL when it names an executable, else the first
// of x-terminal-emulator, gnome-terminal, konsole, xfce4-terminal, xterm found
// in the folders. Its full path, or "" when there is none.
std::string FindTerminal(const TerminalSearch& search);

// The folder a terminal opens in for this path: an existing file's folder, an
// existing folder itself, else the nearest existing parent.
std::string TerminalFolder(const std::string& path);

}  // namespace tandrel
