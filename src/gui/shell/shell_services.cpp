#include "gui/shell/shell_services.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/app_folders.h"
#include "common/compare.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/paths.h"
#include "common/strings.h"
#include "platform/file_system.h"
#include "platform/processes.h"

namespace tandrel {

namespace {

constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";
constexpr char kFileManagerInterface[] = "org.freedesktop.FileManager1";
// Long enough for a file manager that is started on demand, short enough
// that a stuck one does not freeze the window for long.
constexpr int kFileManagerTimeoutMs = 2000;

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NearestExistingFolder(std::string path) {
    path = WithoutTrailingSlashes(path);
    while (!path.empty() && !platform::DirectoryExists(path)) {
        std::string parent = ParentFolder(path);
        if (parent == path) return {};
        path = std::move(parent);
    }
    return path;
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

// Built from the bytes, so names that are not valid UTF-8 still reach the
// file manager as they are on disk.
QByteArray FileUriBytes(const std::string& absolutePath) {
    return "file://" + QByteArray::fromStdString(absolutePath).toPercentEncoding("/");
}

// Platform plugins without desktop services (offscreen, some compositors)
// refuse to open anything: xdg-open is asked directly then.
bool OpenWithDesktop(const std::string& path) {
    if (path.empty()) return false;
    const QByteArray uri = FileUriBytes(Absolute(path));
    if (QDesktopServices::openUrl(QUrl::fromEncoded(uri))) return true;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLatin1(uri)});
}

// True only when a file manager answered the call.
bool AskFileManager(const FileManagerBus& bus, const char* method, const std::string& path) {
    QDBusConnection connection =
        bus.connectionName.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(bus.connectionName);
    if (!connection.isConnected()) return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(bus.service, QString::fromLatin1(kFileManagerPath),
                                       QString::fromLatin1(kFileManagerInterface), QString::fromLatin1(method));
    call << QStringList{QString::fromLatin1(FileUriBytes(Absolute(path)))} << QString();
    const QDBusMessage reply = connection.call(call, QDBus::Block, kFileManagerTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// An empty PATH entry would mean the current folder: never run a terminal
// from wherever the program happens to stand.
std::string FindExecutable(const std::string& name, const std::vector<std::string>& folders) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        std::string candidate = WithoutTrailingSlashes(folder) + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return {};
}

std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    struct group entry;
    struct group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->gr_name;
    return std::to_string(gid);
}

std::string TypeText(const std::string& path, const struct stat& st) {
    if (S_ISREG(st.st_mode)) return "File";
    if (S_ISDIR(st.st_mode)) return "Folder";
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(path, ec).string();
        return ec ? "Symbolic link" : "Symbolic link to " + target;
    }
    if (S_ISFIFO(st.st_mode)) return "Pipe";
    if (S_ISSOCK(st.st_mode)) return "Socket";
    return "Device";
}

// "-rwxr-x--- (0750)", as ls shows it.
std::string PermissionText(mode_t mode) {
    std::string text = S_ISDIR(mode)    ? "d"
                       : S_ISLNK(mode)  ? "l"
                       : S_ISREG(mode)  ? "-"
                       : S_ISFIFO(mode) ? "p"
                       : S_ISSOCK(mode) ? "s"
                       : S_ISCHR(mode)  ? "c"
                                        : "b";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) text += (mode & (0400 >> bit)) ? letters[bit] : '-';
    auto special = [&](int position, mode_t flag, char withExecute, char without) {
        if (mode & flag) text[position] = text[position] == 'x' ? withExecute : without;
    };
    special(3, S_ISUID, 's', 'S');
    special(6, S_ISGID, 's', 'S');
    special(9, S_ISVTX, 't', 'T');
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode & 07777));
    return text + " (" + octal + ")";
}

std::string TimeText(const struct timespec& time) {
    const TDateTime local = FileTimeToLocalDateTime(platform::FileTimeFromUnix(time.tv_sec, time.tv_nsec));
    return local == 0 ? "unknown" : FormatDateTimeSec(local);
}

// The item itself, not what a link points to: the views list links as they are.
bool PropertiesLines(const std::string& path, std::vector<std::string>& lines) {
    lines = {"Path: " + path};
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        lines.push_back(std::strerror(errno));
        return false;
    }
    lines.push_back("Type: " + TypeText(path, st));
    lines.push_back("Size: " + FormatCount(static_cast<double>(st.st_size)) + " bytes");
    lines.push_back("Modified: " + TimeText(st.st_mtim));
    lines.push_back("Accessed: " + TimeText(st.st_atim));
    lines.push_back("Owner: " + UserName(st.st_uid) + ", group " + GroupName(st.st_gid));
    lines.push_back("Permissions: " + PermissionText(st.st_mode));
    return true;
}

bool ShowOwnProperties(const std::string& path, QWidget* parent) {
    std::vector<std::string> lines;
    const bool readable = PropertiesLines(path, lines);
    QString text;
    for (const std::string& line : lines) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += QString::fromStdString(line);
    }
    auto* box = new QMessageBox(readable ? QMessageBox::Information : QMessageBox::Warning,
                                QString::fromStdString(NameOf(path)), text, QMessageBox::Close, parent);
    // File names are shown as they are, never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return readable;
}

}  // namespace

TerminalSearch TerminalSearch::FromEnvironment() {
    TerminalSearch search;
    if (const char* terminal = std::getenv("TERMINAL")) search.terminalVariable = terminal;
    if (const char* path = std::getenv("PATH")) {
        std::string rest = path;
        std::size_t start = 0;
        while (true) {
            const std::size_t colon = rest.find(':', start);
            search.folders.push_back(rest.substr(start, colon - start));
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    return search;
}

std::string FindTerminal(const TerminalSearch& search) {
    if (std::string found = FindExecutable(search.terminalVariable, search.folders); !found.empty()) return found;
    for (const char* name : {"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal", "xterm"}) {
        if (std::string found = FindExecutable(name, search.folders); !found.empty()) return found;
    }
    return {};
}

std::string TerminalFolder(const std::string& path) {
    if (path.empty()) return {};
    const std::string full = WithoutTrailingSlashes(Absolute(path));
    if (platform::FileExists(full)) return ParentFolder(full);
    return NearestExistingFolder(full);
}

namespace {

std::function<bool(const std::string&)>& ShellOpenHook() {
    static std::function<bool(const std::string&)> hook;
    return hook;
}

LaunchHook& LaunchHookSlot() {
    static LaunchHook hook;
    return hook;
}

bool Launch(const std::vector<std::string>& argv, const std::string& folder = {}) {
    if (argv.empty() || argv[0].empty()) return false;
    if (const LaunchHook& hook = LaunchHookSlot()) return hook(argv, folder);
    return platform::StartProcess(argv, folder) >= 0;
}

// The desktop's handler, or the test hook in its place.
bool OpenWithHandler(const std::string& path) {
    if (const auto& hook = ShellOpenHook()) return hook(path);
    return OpenWithDesktop(path);
}

std::string IniFileIn(const std::string& base) {
    return base.empty() ? std::string() : AddTrailingBackslash(base) + "Brenix Software/ExplorerExPath.ini";
}

// The value of key in "key=value" lines, section headers ignored; "" when absent.
std::string IniValue(const std::string& file, std::string_view key) {
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes)) return {};
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = Trim(std::string_view(bytes).substr(start, end - start));
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && ComparePaths(Trim(line.substr(0, equals)), key) == 0) {
            return Trim(line.substr(equals + 1));
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

void SetShellOpenHook(std::function<bool(const std::string& path)> hook) { ShellOpenHook() = std::move(hook); }
void SetLaunchHook(LaunchHook hook) { LaunchHookSlot() = std::move(hook); }

std::string AlternativeFileManager() {
    const auto xdg = [](const char* variable, const char* fallback) -> std::string {
        if (const char* value = std::getenv(variable); value && *value) return value;
        const char* home = std::getenv("HOME");
        return home ? std::string(home) + fallback : std::string();
    };
    for (const std::string& base : {xdg("XDG_CACHE_HOME", "/.cache"), xdg("XDG_CONFIG_HOME", "/.config")}) {
        const std::string ini = IniFileIn(base);
        if (ini.empty() || !platform::FileExists(ini)) continue;
        std::string bytes;
        platform::ReadFileBytes(ini, bytes);
        const std::string program = Trim(bytes);
        return platform::FileExists(program) ? program : std::string();
    }
    return {};
}

bool ShellOpenFolder(const std::string& folder) {
    const std::string path = Unquote(folder);
    if (path.empty()) return false;
    if (const std::string manager = AlternativeFileManager(); !manager.empty()) return Launch({manager, path});
    if (!platform::PathExists(path)) return false;
    return OpenWithHandler(path);
}

bool ShellOpen(const std::string& path, const std::string& parameters, const std::string& workingFolder) {
    if (path.empty()) return false;
    std::string target = path;
    std::string folder = workingFolder;
    if (parameters.empty()) {
        if (const std::string linked = ShortcutTarget(target); !linked.empty()) {
            if (platform::DirectoryExists(linked)) {
                target = linked;
            } else if (!platform::PathExists(linked)) {
                ShowInfo("Could not find target file: " + linked);
                return false;
            }
        }
    }
    if (!platform::PathExists(target)) return false;
    if (folder.empty() && platform::FileExists(target)) folder = ParentFolder(Absolute(target));
    if (platform::DirectoryExists(target)) return ShellOpenFolder(target);
    if (parameters.empty()) return OpenWithHandler(target);
    std::vector<std::string> argv{Absolute(target)};
    for (std::string& argument : platform::SplitCommandLine(parameters)) argv.push_back(std::move(argument));
    return Launch(argv, folder);
}

bool ShellLocate(const std::string& path, const FileManagerBus& bus) {
    if (path.empty()) return false;
    const std::string item = WithoutTrailingSlashes(Absolute(Unquote(path)));
    if (const std::string manager = AlternativeFileManager(); !manager.empty()) {
        if (platform::FileExists(item)) return Launch({manager, item});
        if (platform::DirectoryExists(item)) return Launch({manager, ParentFolder(item), "/select=" + NameOf(item)});
    }
    if (platform::PathExists(item) && AskFileManager(bus, "ShowItems", item)) return true;
    return OpenWithHandler(NearestExistingFolder(ParentFolder(item)));
}

bool StartExternalCompare(const std::string& program, const std::string& left, const std::string& right) {
    const std::string name = Trim(program);
    if (name.empty()) return false;
    return Launch({name, left, right});
}

bool StartTreemapHere(const std::string& folder) {
    if (folder.empty()) return false;
    return Launch({platform::ExecutablePath(), WithoutTrailingSlashes(Absolute(folder)), "/treemap"});
}

std::string StartCompanionTool(const std::string& path) {
    std::string argument = WithoutTrailingSlashes(Absolute(path));
    if (platform::FileExists(argument)) argument = ParentFolder(argument);
    std::string toolFolder = ExeFolder() + "brenix software/";
    if (!platform::DirectoryExists(toolFolder)) {
        const std::string ini = AppSettingsFile("brenix software/quorvel.exe.install.ini");
        if (!platform::FileExists(ini)) return "Quorvel is not installed";
        toolFolder = IniValue(ini, "installation_path");
        if (toolFolder.empty()) return "Quorvel is not installed (2)";
        if (!platform::DirectoryExists(toolFolder)) return "Quorvel not found";
        toolFolder = AddTrailingBackslash(toolFolder);
    }
    // Programs here have no ".exe"; a copied Windows name is found as well.
    std::string tool = toolFolder + "quorvel";
    if (!platform::FileExists(tool)) tool += ".exe";
    if (!platform::FileExists(tool)) return "Quorvel not found (2)";
    return Launch({tool, argument}) ? std::string() : "Could not start " + tool;
}

bool ShellProperties(const std::string& path, QWidget* parent, const FileManagerBus& bus) {
    if (path.empty()) return false;
    const std::string item = WithoutTrailingSlashes(Absolute(path));
    if (platform::PathExists(item) && AskFileManager(bus, "ShowItemProperties", item)) return true;
    return ShowOwnProperties(item, parent);
}

bool ShellCommandPromptHere(const std::string& path, const TerminalSearch& search) {
    const std::string terminal = FindTerminal(search);
    const std::string folder = TerminalFolder(path);
    if (terminal.empty() || folder.empty()) return false;
    QProcess process;
    process.setProgram(QFile::decodeName(QByteArray::fromStdString(terminal)));
    process.setWorkingDirectory(QFile::decodeName(QByteArray::fromStdString(folder)));
    // Shells print $PWD when it names their folder; ours may point elsewhere.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PWD"), QFile::decodeName(QByteArray::fromStdString(folder)));
    process.setProcessEnvironment(environment);
    return process.startDetached();
}

void CopyFilenameToClipboard(const std::string& path) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(path));
}

}  // namespace tandrel
