// The longest pause of the window's thread while a scan runs: a 5 ms timer
// records how late it fires during a scan of the tree given as argument,
// once with the map refreshed every 3 s (auto-update on) and once without;
// the second run is the reference. It also reports how long the refreshes
// of the statistics views took (every second, and their final pass).
//
//   window_pause_bench TREE
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/shell/main_window.h"
#include "gui/shell/settings_panel.h"
#include "scan/scan_model.h"

namespace {

struct Pauses {
    double longestMs = 0;
    double seconds = 0;
    double viewsRefreshMs = 0;  // the longest refresh of the statistics views
    double finalViewsMs = 0;    // their final pass
};

Pauses MeasureScan(const std::string& tree, bool autoUpdate) {
    tandrel::ScanModel model;
    tandrel::TFormMain window(model);
    window.resize(1920, 1080);
    window.TreemapView().SetFolder(tree);
    window.WidgetsForTest().panelSettings->cbAutoUpdateTreemap->setChecked(autoUpdate);
    window.show();
    QApplication::processEvents();

    Pauses pauses;
    QElapsedTimer total, sinceTick;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        pauses.longestMs = std::max(pauses.longestMs, sinceTick.nsecsElapsed() / 1e6 - 5);
        sinceTick.restart();
    });
    bool done = false;
    total.start();
    sinceTick.start();
    ticker.start();
    window.ScanRun().Start([&] { done = true; });
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ticker.stop();
    pauses.seconds = total.elapsed() / 1000.0;
    pauses.viewsRefreshMs = window.ScanRun().LongestViewsRefreshMs;
    pauses.finalViewsMs = window.ScanRun().FinalViewsRefreshMs;
    window.close();
    return pauses;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_pause_bench TREE\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The scans' snapshots and settings go to a folder of their own.
    char folder[] = "/tmp/tandrel_pause_XXXXXX";
    if (!mkdtemp(folder)) return 2;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) setenv(name, folder, 1);
    QApplication app(argc, argv);
    const std::string tree = argv[1];
    const Pauses reference = MeasureScan(tree, false);
    const Pauses refreshing = MeasureScan(tree, true);
    std::printf("scan of %s, window 1920 x 1080 (offscreen)\n", tree.c_str());
    std::printf("  auto-update off: scan %.2f s, longest pause %.0f ms\n", reference.seconds, reference.longestMs);
    std::printf("  auto-update on:  scan %.2f s, longest pause %.0f ms (x %.1f)\n", refreshing.seconds,
                refreshing.longestMs, reference.longestMs > 0 ? refreshing.longestMs / reference.longestMs : 0.0);
    std::printf(
        "  statistics views: longest refresh %.0f ms during the scan, final pass %.0f ms"
        " (%.0f ms from nothing without auto-update)\n",
        refreshing.viewsRefreshMs, refreshing.finalViewsMs, reference.finalViewsMs);
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
