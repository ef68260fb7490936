// The desktop program. Decides the start mode from the command line, runs
// the context-menu switches without a window, and otherwise shows the main
// window (or, for a save-and-exit scan, runs it without showing anything).
#include <QApplication>
#include <QSocketNotifier>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/app_folders.h"
#include "common/command_line.h"
#include "common/types.h"
#include "gui/shell/file_operation_panel.h"
#include "gui/shell/main_window.h"
#include "gui/shell/shell_registration.h"
#include "gui/shell/start_mode.h"
#include "scan/scan_model.h"

namespace {

int closeRequestPipe[2] = {-1, -1};

extern "C" void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = write(closeRequestPipe[1], &byte, 1);
}

// SIGTERM and SIGINT close the window the way the user would, so the
// settings and caches are written and temporary snapshots removed.
void CloseOnTerminate(QWidget& window) {
    if (pipe(closeRequestPipe) != 0) return;
    auto* notifier = new QSocketNotifier(closeRequestPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] auto count = read(closeRequestPipe[0], &byte, 1);
        window.close();
    });
    std::signal(SIGTERM, OnTerminate);
    std::signal(SIGINT, OnTerminate);
}

}  // namespace

int main(int argc, char** argv) {
    tandrel::platform::TuneAllocatorForScans();
    std::setlocale(LC_ALL, "");
    tandrel::SetCommandLineArgs(std::vector<std::string>(argv + 1, argv + argc));

    if (tandrel::HasSwitch("shell_register")) return tandrel::RegisterContextMenu() ? 0 : 1;
    if (tandrel::HasSwitch("shell_unregister")) return tandrel::UnregisterContextMenu() ? 0 : 1;
    // The elevated run that creates folders for a window that could not.
    if (const std::string list = tandrel::GetOption("CreateFolders"); !list.empty())
        return tandrel::RunCreateFoldersMode(list);

    tandrel::StartRequest start;
    try {
        start = tandrel::DecideStartMode();
    } catch (const tandrel::TandrelError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    // Relative names of files the program writes land in its own folder.
    if (!tandrel::TransferSettingsFromProgramFilesToLocalSettings())
        std::fprintf(stderr, "Could not enter the settings folder %s\n", tandrel::AppSettingsFolder().c_str());

    // Without any display the unattended modes still run, on Qt's own
    // offscreen platform.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("tandrel");
    QApplication::setApplicationDisplayName("Tandrel");
    // Qt resets the C locale of numbers; the program's texts follow the user's.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");

    tandrel::ScanModel& model = tandrel::CurrentModel();
    tandrel::TFormMain window(model, start);
    const bool invisible = start.mode == tandrel::StartMode::FolderScan && !start.autoSaveFn.empty();
    if (invisible) window.setAttribute(Qt::WA_DontShowOnScreen);
    CloseOnTerminate(window);
    window.show();
    const int code = app.exec();
    return code;
}
