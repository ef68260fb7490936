#include "gui/shell/shell_registration.h"

#include "common/app_folders.h"
#include "common/files.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/types.h"

namespace tandrel {

namespace {

// The characters a backslash escapes inside a quoted Exec argument.
constexpr std::string_view kQuotedEscapes = "\"`$\\";

constexpr const char* kMenuText = "Tandrel";
// A theme icon every desktop has; the executable carries no icon resource here.
constexpr const char* kIcon = "drive-harddisk";

std::string DesktopExecLine(const std::string& executable) {
    return "Exec=" + QuoteDesktopExecArgument(executable) + " %f\n";
}

std::string DesktopEntryText(const std::string& executable) {
    // NoDisplay keeps it out of the application menus; "Open With" still offers it.
    return std::string("[Desktop Entry]\n") +
           "Type=Application\n"
           "Name=" +
           kMenuText +
           "\n"
           "Icon=" +
           kIcon + "\n" + DesktopExecLine(executable) +
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=inode/directory;\n";
}

std::string ServiceMenuText(const std::string& executable) {
    // TopLevel puts the entry into the menu itself rather than under "Actions".
    return std::string("[Desktop Entry]\n") +
           "Type=Service\n"
           "MimeType=inode/directory;\n"
           "Actions=tandrel;\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "X-KDE-Priority=TopLevel\n"
           "\n"
           "[Desktop Action tandrel]\n"
           "Name=" +
           kMenuText +
           "\n"
           "Icon=" +
           kIcon + "\n" + DesktopExecLine(executable);
}

// Single quotes keep every byte but "'" itself, which closes, escapes and reopens.
std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string NautilusScriptText(const std::string& executable) {
    // Nautilus passes the selection as arguments, relative to the folder on
    // show (its working folder). Each folder gets its own instance: two
    // folders on one command line would ask for a folder comparison.
    return "#!/bin/sh\n"
           "# Opens each selected folder in Tandrel; with nothing selected, the folder on show.\n"
           "exe=" +
           ShellQuote(executable) + "\n" +
           "[ $# -gt 0 ] || set -- \"$PWD\"\n"
           "for folder in \"$@\"; do\n"
           "    case $folder in\n"
           "        /*) ;;\n"
           "        *) folder=$PWD/$folder ;;\n"
           "    esac\n"
           "    if [ -d \"$folder\" ]; then\n"
           "        \"$exe\" \"$folder\" &\n"
           "    fi\n"
           "done\n"
           "wait\n";
}

// Replaced in one step, so a file manager reads the old entry or the new
// one, never half of one.
bool WriteEntryFile(const std::string& file, const std::string& text, bool executable) {
    const std::string folder = ExtractFilePath(file);
    if (!platform::DirectoryExists(folder) && !platform::ForceFolders(folder)) return false;
    return WriteFileReplacing(
        file, [&](platform::AtomicFile& out) { return out.Write(text); }, ReplaceOptions{.executable = executable});
}

// The value of the key in the group "[Desktop Entry]"; false when absent.
bool DesktopEntryValue(const std::string& text, std::string_view key, std::string& value) {
    bool inGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup) continue;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view name = line.substr(0, equals);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (name != key) continue;
        std::string_view rest = line.substr(equals + 1);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        value.assign(rest);
        return true;
    }
    return false;
}

void Show(MessageKind kind, const char* text) { GetMessages().ShowMessage(kind, text); }

}  // namespace

std::string ShellDesktopEntryFile() { return PathJoin(UserDataHome(), "applications/tandrel.desktop"); }
std::string ShellServiceMenuFile() { return PathJoin(UserDataHome(), "kio/servicemenus/tandrel.desktop"); }
std::string ShellNautilusScriptFile() { return PathJoin(UserDataHome(), "nautilus/scripts/Tandrel"); }

std::string QuoteDesktopExecArgument(std::string_view argument) {
    // First the quoting of the Exec key: inside double quotes "\"", "`", "$"
    // and "\\" take a backslash, and a literal "%" is "%%"...
    std::string quoted = "\"";
    for (char c : argument) {
        if (kQuotedEscapes.find(c) != std::string_view::npos) quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // ...then the escapes of every string value, which readers undo first.
    std::string value;
    for (char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

std::vector<std::string> SplitDesktopExec(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            text += c;
            continue;
        }
        switch (char next = value[++i]) {
            case 's':
                text += ' ';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            case '\\':
                text += '\\';
                break;
            default:
                text += '\\';
                text += next;
        }
    }
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false, quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size() && kQuotedEscapes.find(text[i + 1]) != std::string_view::npos)
                current += text[++i];
            else if (c == '"')
                quoted = false;
            else
                current += c;
        } else if (c == ' ' || c == '\t') {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            inArgument = true;
            if (c == '"')
                quoted = true;
            else
                current += c;
        }
    }
    if (inArgument) arguments.push_back(std::move(current));
    for (std::string& argument : arguments) {
        std::string plain;
        for (std::size_t i = 0; i < argument.size(); ++i) {
            plain += argument[i];
            if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%') ++i;
        }
        argument = std::move(plain);
    }
    return arguments;
}

bool RegisterContextMenu(const std::string& executable) {
    // A relative path would be looked up from wherever the file manager runs.
    bool ok = !executable.empty() && executable.front() == platform::PathDelim;
    ok = ok && WriteEntryFile(ShellDesktopEntryFile(), DesktopEntryText(executable), false);
    ok = ok && WriteEntryFile(ShellServiceMenuFile(), ServiceMenuText(executable), true);
    ok = ok && WriteEntryFile(ShellNautilusScriptFile(), NautilusScriptText(executable), true);
    if (!ok) Show(MessageKind::InfoForeground, "Could not open registry");
    return ok;
}

bool UnregisterContextMenu() {
    bool ok = true;
    const std::string entry = ShellDesktopEntryFile();
    if (platform::PathExists(entry) && !platform::DeleteFile(entry)) {
        Show(MessageKind::Info, "Could not delete key 1");
        ok = false;
    }
    bool menusRemoved = true;
    for (const std::string& menu : {ShellServiceMenuFile(), ShellNautilusScriptFile()})
        if (platform::PathExists(menu) && !platform::DeleteFile(menu)) menusRemoved = false;
    if (!menusRemoved) {
        Show(MessageKind::Info, "Could not delete key 2");
        ok = false;
    }
    return ok;
}

bool IsContextMenuRegistered(const std::string& executable) {
    if (executable.empty()) return false;
    std::string text, exec;
    if (!platform::ReadFileBytes(ShellDesktopEntryFile(), text, 1 << 20)) return false;
    if (!DesktopEntryValue(text, "Exec", exec)) return false;
    std::vector<std::string> arguments = SplitDesktopExec(exec);
    return !arguments.empty() && arguments.front() == executable;
}

}  // namespace tandrel
