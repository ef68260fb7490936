#include "gui/shell/shell_services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QMessageBox>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "common/files.h"
#include "common/paths.h"
#include "platform/file_system.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;

// No one owns this name on any bus, so the file manager never answers.
FileManagerBus NoFileManager() { return {QStringLiteral("org.tandrel.test.NoFileManager"), {}}; }

std::string WriteScript(const TempDir& dir, const std::string& relative, const std::string& body) {
    const std::string path = dir.WriteFile(relative, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
    return path;
}

// Waits (processing events) until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(20);
    }
    return true;
}

std::string Canonical(const std::string& path) { return fs::canonical(path).string(); }

TEST(ShellServicesTest, TerminalIsTheUsersChoiceThenTheFirstOfTheListInListOrder) {
    TempDir dir;
    // "first" comes first in the search, but holds only names late in the list
    // and a gnome-terminal that cannot be run.
    const std::string xterm = WriteScript(dir, "first/xterm", "");
    dir.WriteFile("first/gnome-terminal", "#!/bin/sh\n");
    const std::string konsole = WriteScript(dir, "second/konsole", "");
    const std::string mine = WriteScript(dir, "second/my-term", "");
    const std::string elsewhere = WriteScript(dir, "elsewhere/term", "");
    const std::vector<std::string> folders = {"", dir.Path("first"), dir.Path("second/")};

    struct Case {
        std::string terminalVariable;
        std::vector<std::string> folders;
        std::string expected;
    };
    const Case cases[] = {
        {"my-term", folders, mine},
        {elsewhere, folders, elsewhere},     // a path needs no search
        {"no-such-term", folders, konsole},  // list order beats folder order
        {"", {dir.Path("first")}, xterm},
        {"", {dir.Path("elsewhere"), ""}, ""},  // nothing, and never the current folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.terminalVariable);
        EXPECT_EQ(FindTerminal({c.terminalVariable, c.folders}), c.expected);
    }
}

TEST(ShellServicesTest, TerminalFolderIsTheFilesFolderOrTheNearestExistingOne) {
    TempDir dir;
    const std::string file = dir.WriteFile("a b/file.txt", "x");
    const std::string folder = dir.Path("a b");
    EXPECT_EQ(TerminalFolder(file), folder);
    EXPECT_EQ(TerminalFolder(folder + "/"), folder);
    EXPECT_EQ(TerminalFolder(folder + "/gone/deeper/x.txt"), folder);
    EXPECT_EQ(TerminalFolder(""), "");
}

TEST(ShellServicesTest, CommandPromptStartsTheTerminalInTheFilesFolder) {
    TempDir dir;
    const std::string out = dir.Path("cwd.txt");
    // Written aside and renamed, so the test never reads half a line.
    WriteScript(dir, "bin/fake-term", "pwd -P > '" + out + ".tmp' && mv '" + out + ".tmp' '" + out + "'\n");
    const std::string file = dir.WriteFile("my folder/report.txt", "x");

    EXPECT_TRUE(ShellCommandPromptHere(file, {"fake-term", {dir.Path("bin")}}));
    ASSERT_TRUE(WaitFor([&] { return platform::FileExists(out); }));
    EXPECT_EQ(ReadBytes(out), Canonical(dir.Path("my folder")) + "\n");

    // No terminal anywhere: the caller is told.
    EXPECT_FALSE(ShellCommandPromptHere(file, {"", {dir.Path("my folder")}}));
}

QMessageBox* FindOpenMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
    }
    return nullptr;
}

void CloseBox(QMessageBox* box) {
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::string LocalTimeText(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString();
}

TEST(ShellServicesTest, PropertiesWithoutAFileManagerShowOurOwnDialog) {
    TempDir dir;
    const std::string file = dir.WriteFile("sub/big <b>name.bin", std::string(1234567, 'x'));
    chmod(file.c_str(), 0640);
    const std::int64_t modified = 1600000000;  // 2020-09-13, local time differs by zone
    const std::int64_t accessed = 1500000000;  // 2017-07-14
    const struct timespec times[2] = {{accessed, 0}, {modified, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const struct passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ShellProperties(file, nullptr, NoFileManager()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    QMessageBox* box = FindOpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowTitle().toStdString(), "big <b>name.bin");
    const std::string text = box->text().toStdString();
    const std::vector<std::string> lines = {"Path: " + file,
                                            "Type: File",
                                            "Size: 1,234,567 bytes",
                                            "Modified: " + LocalTimeText(modified),
                                            "Accessed: " + LocalTimeText(accessed),
                                            "Owner: " + std::string(user->pw_name),
                                            "Permissions: -rw-r----- (0640)"};
    for (const std::string& line : lines) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
    }
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    CloseBox(box);
    EXPECT_EQ(FindOpenMessageBox(), nullptr);

    // A path that is gone still gets an answer, saying why.
    EXPECT_FALSE(ShellProperties(dir.Path("sub/gone.bin"), nullptr, NoFileManager()));
    box = FindOpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_NE(box->text().toStdString().find("No such file or directory"), std::string::npos);
    CloseBox(box);
}

// A file manager of our own on a private bus: records each call and answers.
// It runs on its own thread, since the caller blocks while it waits.
class RecordingFileManager : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        {
            QMutexLocker lock(&mutex_);
            calls_.push_back(message);
        }
        connection.send(message.createReply());
        return true;
    }
    std::vector<QDBusMessage> Calls() {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

private:
    QMutex mutex_;
    std::vector<QDBusMessage> calls_;
};

TEST(ShellServicesTest, AFileManagerOnTheBusIsAskedToShowTheItem) {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(daemon.waitForStarted(5000));
    ASSERT_TRUE(WaitFor([&] { return daemon.canReadLine(); }));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    const QString callerName = QStringLiteral("tandrel_test_caller");
    const QString managerName = QStringLiteral("tandrel_test_manager");
    const QString service = QStringLiteral("org.tandrel.test.FileManager");
    {
        QDBusConnection caller = QDBusConnection::connectToBus(address, callerName);
        QDBusConnection manager = QDBusConnection::connectToBus(address, managerName);
        ASSERT_TRUE(caller.isConnected() && manager.isConnected());
        QThread thread;
        auto* recorder = new RecordingFileManager;
        recorder->moveToThread(&thread);
        thread.start();
        ASSERT_TRUE(manager.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), recorder));
        ASSERT_TRUE(manager.registerService(service));

        TempDir dir;
        const std::string file = dir.WriteFile("x y%.txt", "x");
        const FileManagerBus bus{service, callerName};
        EXPECT_TRUE(ShellLocate(file, bus));
        EXPECT_TRUE(ShellProperties(file, nullptr, bus));
        EXPECT_EQ(FindOpenMessageBox(), nullptr);

        const std::vector<QDBusMessage> calls = recorder->Calls();
        ASSERT_EQ(calls.size(), 2u);
        const QString uri = QUrl::fromLocalFile(QString::fromStdString(file)).toString(QUrl::FullyEncoded);
        const char* methods[] = {"ShowItems", "ShowItemProperties"};
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].member().toStdString(), methods[i]);
            EXPECT_EQ(calls[i].interface().toStdString(), "org.freedesktop.FileManager1");
            EXPECT_EQ(calls[i].signature().toStdString(), "ass");
            ASSERT_EQ(calls[i].arguments().size(), 2);
            EXPECT_EQ(calls[i].arguments()[0].toStringList(), QStringList{uri});
        }

        manager.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
        thread.quit();
        thread.wait();
        delete recorder;
    }
    QDBusConnection::disconnectFromBus(callerName);
    QDBusConnection::disconnectFromBus(managerName);
    daemon.kill();
    daemon.waitForFinished(5000);
}

// Records what the services would start or open instead of starting it.
class LaunchRecorder {
public:
    LaunchRecorder() {
        SetLaunchHook([this](const std::vector<std::string>& argv, const std::string& folder) {
            started.push_back(argv);
            folders.push_back(folder);
            return true;
        });
        SetShellOpenHook([this](const std::string& path) {
            opened.push_back(path);
            return true;
        });
    }
    ~LaunchRecorder() {
        SetLaunchHook({});
        SetShellOpenHook({});
    }
    std::vector<std::vector<std::string>> started;
    std::vector<std::string> folders, opened;
};

std::string CacheHome() { return std::getenv("XDG_CACHE_HOME"); }

TEST(ShellServicesTest, AConfiguredFileManagerOpensAndLocatesItemsWhenItExists) {
    TempDir dir;
    const std::string manager = WriteScript(dir, "fm", "exit 0\n");
    const std::string file = dir.WriteFile("some folder/a b.txt", "x");
    const std::string folder = dir.Path("some folder");
    const std::string ini = PathJoin(CacheHome(), "Brenix Software/ExplorerExPath.ini");
    ForceFileFolder(ini);
    LaunchRecorder recorder;

    ASSERT_TRUE(platform::WriteFileBytes(ini, "  " + manager + " \n"));
    EXPECT_EQ(AlternativeFileManager(), manager);
    EXPECT_TRUE(ShellOpenFolder("\"" + folder + "\""));
    EXPECT_TRUE(ShellLocate(file));
    EXPECT_TRUE(ShellLocate(folder + "/"));
    const std::vector<std::vector<std::string>> expected{
        {manager, folder}, {manager, file}, {manager, dir.path(), "/select=some folder"}};
    EXPECT_EQ(recorder.started, expected);
    EXPECT_TRUE(recorder.opened.empty());

    // A program that is not there is ignored: the desktop opens the folder.
    ASSERT_TRUE(platform::WriteFileBytes(ini, dir.Path("no such manager")));
    EXPECT_EQ(AlternativeFileManager(), "");
    EXPECT_TRUE(ShellOpenFolder(folder));
    EXPECT_EQ(recorder.opened, std::vector<std::string>{folder});
    EXPECT_EQ(recorder.started.size(), 3u);
    platform::DeleteFile(ini);
}

TEST(ShellServicesTest, OpenFollowsLinksAndStartsProgramsWithParameters) {
    TempDir dir;
    const std::string folder = dir.MakeFolder("target folder");
    const std::string program = WriteScript(dir, "bin/tool", "exit 0\n");
    ASSERT_EQ(symlink(folder.c_str(), dir.Path("to folder").c_str()), 0);
    ASSERT_EQ(symlink("gone.txt", dir.Path("to nothing").c_str()), 0);
    testing::RecordingMessages messages;
    LaunchRecorder recorder;

    EXPECT_TRUE(ShellOpen(dir.Path("to folder")));
    EXPECT_FALSE(ShellOpen(dir.Path("to nothing")));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not find target file: " + dir.Path("gone.txt")});
    EXPECT_TRUE(ShellOpen(program, R"(--one "two three")"));
    EXPECT_TRUE(ShellOpen(program, "x", folder));
    EXPECT_FALSE(ShellOpen(dir.Path("missing"), "x"));

    EXPECT_EQ(recorder.opened, std::vector<std::string>{folder});
    const std::vector<std::vector<std::string>> started{{program, "--one", "two three"}, {program, "x"}};
    EXPECT_EQ(recorder.started, started);
    // A program's own folder is its working folder unless one is given.
    EXPECT_EQ(recorder.folders, (std::vector<std::string>{dir.Path("bin"), folder}));
}

TEST(ShellServicesTest, ComparisonProgramAndTreemapHereGetTheirArguments) {
    LaunchRecorder recorder;
    EXPECT_FALSE(StartExternalCompare("  ", "/a", "/b"));
    EXPECT_TRUE(StartExternalCompare(" meld ", "/a 1", "/b 2"));
    EXPECT_TRUE(StartTreemapHere("/some/folder/"));
    const std::vector<std::vector<std::string>> expected{{"meld", "/a 1", "/b 2"},
                                                         {platform::ExecutablePath(), "/some/folder", "/treemap"}};
    EXPECT_EQ(recorder.started, expected);
}

TEST(ShellServicesTest, CompanionToolIsFoundThroughItsInstallFile) {
    TempDir dir;
    const std::string file = dir.WriteFile("work/a.txt", "x");
    const std::string toolFolder = dir.MakeFolder("quorvel home");
    const std::string ini = AppSettingsFile("brenix software/quorvel.exe.install.ini");
    ForceFileFolder(ini);
    LaunchRecorder recorder;
    const std::string installed = "[x]\nInstallation_Path = " + toolFolder + "\n";
    struct Case {
        std::optional<std::string> iniText;
        bool withTool;
        std::string message;
    };
    const Case cases[] = {
        {std::nullopt, false, "Quorvel is not installed"},
        {"[main]\nother=1\n", false, "Quorvel is not installed (2)"},
        {"installation_path=/no/such/folder\n", false, "Quorvel not found"},
        {installed, false, "Quorvel not found (2)"},
        {installed, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        platform::DeleteFile(ini);
        if (c.iniText) {
            ASSERT_TRUE(platform::WriteFileBytes(ini, *c.iniText));
        }
        if (c.withTool) WriteScript(dir, "quorvel home/quorvel", "exit 0\n");
        EXPECT_EQ(StartCompanionTool(file), c.message);
    }
    ASSERT_EQ(recorder.started.size(), 1u);
    EXPECT_EQ(recorder.started[0], (std::vector<std::string>{toolFolder + "/quorvel", dir.Path("work")}));
    platform::DeleteFile(ini);
}

// The desktop opens files through xdg-open; a fake one on PATH logs what it
// was given. Qt remembers the launcher it found, so the fake stays for the
// whole suite.
class DesktopOpenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bin_ = new TempDir();
        log_ = bin_->Path("opened.log");
        WriteScript(*bin_, "bin/xdg-open", "printf '%s\\n' \"$1\" >> '" + log_ + "'\n");
        const char* path = std::getenv("PATH");
        oldPath_ = path ? std::optional<std::string>(path) : std::nullopt;
        setenv("PATH", (bin_->Path("bin") + ":" + (path ? path : "")).c_str(), 1);
    }
    static void TearDownTestSuite() {
        if (oldPath_)
            setenv("PATH", oldPath_->c_str(), 1);
        else
            unsetenv("PATH");
        delete bin_;
        bin_ = nullptr;
    }
    void SetUp() override { platform::DeleteFile(log_); }

    // The next line the fake xdg-open logs.
    static std::string NextOpened() {
        if (!WaitFor([] { return !ReadBytes(log_).empty(); })) return "(nothing opened)";
        std::string line = ReadBytes(log_);
        platform::DeleteFile(log_);
        return line.substr(0, line.find('\n'));
    }

    static std::string UriOf(const std::string& path) {
        return QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded().toStdString();
    }

    static TempDir* bin_;
    static std::string log_;
    static std::optional<std::string> oldPath_;
};
TempDir* DesktopOpenTest::bin_ = nullptr;
std::string DesktopOpenTest::log_;
std::optional<std::string> DesktopOpenTest::oldPath_;

TEST_F(DesktopOpenTest, OpenHandsTheItemToTheDesktop) {
    TempDir dir;
    const std::string file = dir.WriteFile("a #b%c?.txt", "x");
    EXPECT_TRUE(ShellOpen(file));
    EXPECT_EQ(NextOpened(), UriOf(file));
    EXPECT_FALSE(ShellOpen(dir.Path("missing.txt")));
}

TEST_F(DesktopOpenTest, LocateWithoutAFileManagerOpensTheNearestExistingFolder) {
    TempDir dir;
    const std::string file = dir.WriteFile("one two/three.txt", "x");
    const std::string folder = dir.Path("one two");
    struct Case {
        std::string path;
        std::string opened;
    };
    const Case cases[] = {
        {file, folder},
        {folder + "/", dir.path()},
        {folder + "/gone/gone.txt", folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(ShellLocate(c.path, NoFileManager()));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(NextOpened(), UriOf(c.opened));
    }
    // The real service name on whatever session bus there is (usually none
    // in tests): a quick answer either way.
    const auto start = std::chrono::steady_clock::now();
    ShellLocate(file);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace tandrel
