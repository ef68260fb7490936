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

// Opens a file, folder or document with the desktop's handler. False when
// the path does not exist or nothing could open it.
bool ShellOpen(const std::string& path);
// Tests: an existing path ShellOpen would hand to the desktop goes to the
// hook instead, whose answer ShellOpen returns; an empty hook launches again.
void SetShellOpenHook(std::function<bool(const std::string& path)> hook);

// Shows the item selected in its folder in the file manager. Without a file
// manager on the bus the parent folder is opened instead; a path that no
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
