// The treemap's search and change monitoring on a scanned tree (the
// 1.16-million-entry tree of make_tree.py):
//  - a search over every node: the time from the end of the debounce to the
//    count shown, beside a plain pass that lowers every node's name;
//  - 10,000 files created in one folder of the watched tree, then removed:
//    the longest stall of the window's thread meanwhile (a 5 ms timer's
//    lateness) and the time from the last change on disk to the map and the
//    statistics showing the final state.
//
//   monitor_search_bench TREE
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text_filter.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/shell/main_window.h"
#include "scan/scan_model.h"
#include "treemap/treemap_search.h"

namespace {

using namespace tandrel;

void WaitUntil(const std::function<bool()>& done) {
    while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: monitor_search_bench TREE\n");
        return 2;
    }
    const std::string tree = argv[1];
    // The window reads the process's command line: the tree argument is
    // not a folder for it to open.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ScanModel model;
    TFormMain window(model);
    window.resize(1920, 1080);
    TFormDiskTreeMap& view = window.TreemapView();
    // With a folder set, the window's start-up timer starts no scan of its own.
    view.SetFolder(tree);
    window.show();
    // The settings load on start-up sets the box: it is ticked after that.
    QElapsedTimer startUp;
    startUp.start();
    WaitUntil([&] { return startUp.elapsed() > 500; });
    view.WidgetsForTest().cbMonitorChanges->setChecked(true);

    bool ready = false;
    QObject::connect(&view, &TFormDiskTreeMap::WatcherReady, [&] { ready = true; });
    bool scanned = false;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&window.ScanRun(), &TScanRun::ScanEnded, [&] { scanned = true; });
    window.ScanRun().Start({}, false);
    WaitUntil([&] { return scanned; });
    const double scanS = clock.elapsed() / 1000.0;
    clock.restart();
    WaitUntil([&] { return ready; });
    std::printf("scan %.1f s, %d nodes; watches set in %.1f s\n", scanS, model.DiskTreeMapEntries.Count(),
                clock.elapsed() / 1000.0);

    // Search: the debounce's end to the count shown.
    for (const char* text : {"file", "d1", "zzzz-nothing", "-"}) {
        int hits = -1;
        auto connection = QObject::connect(&view, &TFormDiskTreeMap::SearchDone, [&](int n) { hits = n; });
        view.WidgetsForTest().edSearchTerm->setText(text);
        QElapsedTimer searchClock;
        searchClock.start();
        view.timerSearchTimer();
        const double ms = searchClock.nsecsElapsed() / 1e6;
        QObject::disconnect(connection);
        // The engine's share of it: the same search without the view.
        QElapsedTimer engineClock;
        engineClock.start();
        const std::size_t engineHits = SearchTreemap(model, text).size();
        const double engineMs = engineClock.nsecsElapsed() / 1e6;
        std::printf("search %-14s %8d hits  %7.1f ms  (engine alone %7.1f ms, %zu hits)\n", text, hits, ms, engineMs,
                    engineHits);
    }
    {
        // The reference: one pass lowering every node's name.
        QElapsedTimer passClock;
        passClock.start();
        std::size_t total = 0;
        std::string lowered;
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
            lowered.clear();
            AppendLowerCase(lowered, node.Name);
            total += lowered.size();
        });
        std::printf("reference: lowering every name %.1f ms (%zu bytes)\n", passClock.nsecsElapsed() / 1e6, total);
    }
    view.WidgetsForTest().edSearchTerm->setText("");
    QApplication::processEvents();

    // 10,000 files created in one folder, then removed.
    const std::string folder = tree + "/bench-monitor";
    std::filesystem::create_directory(folder);
    const std::int64_t before = view.Root()->SizeTotal;
    double longestMs = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestMs = std::max(longestMs, sinceTick.nsecsElapsed() / 1e6 - 5);
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start();
    constexpr int kFiles = 10000;
    auto path = [&](int i) { return folder + "/f" + std::to_string(i) + ".dat"; };
    // The disk is changed from the window's own thread between its events,
    // a few files at a time, so the ticker sees every stall of the window.
    int next = 0;
    QElapsedTimer phase;
    phase.start();
    WaitUntil([&] {
        for (int end = std::min(kFiles, next + 200); next < end; ++next) std::ofstream(path(next)) << "0123456789";
        return next == kFiles;
    });
    QElapsedTimer afterLast;
    afterLast.start();
    WaitUntil([&] { return view.Root()->SizeTotal == before + 10 * kFiles; });
    const double createdMs = afterLast.nsecsElapsed() / 1e6;
    const double createStall = longestMs;
    std::printf("created %d files in %.0f ms; map final %.0f ms after the last; longest stall %.1f ms\n", kFiles,
                phase.nsecsElapsed() / 1e6 - createdMs, createdMs, createStall);
    longestMs = 0;
    next = 0;
    phase.restart();
    WaitUntil([&] {
        for (int end = std::min(kFiles, next + 200); next < end; ++next) std::filesystem::remove(path(next));
        return next == kFiles;
    });
    afterLast.restart();
    WaitUntil([&] { return view.Root()->SizeTotal == before; });
    const double removedMs = afterLast.nsecsElapsed() / 1e6;
    std::printf("removed %d files; map final %.0f ms after the last; longest stall %.1f ms\n", kFiles, removedMs,
                longestMs);
    ticker.stop();
    std::filesystem::remove_all(folder);
    window.close();
    return 0;
}
