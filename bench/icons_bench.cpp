// The file icons of the file statistics list: the window scans the tree of
// about 1.16 million nodes (shared/bench/make_tree.py, /tmp/tandrel-bench/
// tree1m or the folder given as argument), lists every file, and the list is
// scrolled from top to bottom a page at a time, each page painted with the
// icons the fetcher has. Reported:
//
//   longest stall   the longest time the window's thread spent on one page
//                   (scroll, paint, any repaint the fetcher asked for), and
//                   how late a 5 ms timer fired at worst; must stay < 50 ms.
//                   On a loaded machine the wall clock also counts time the
//                   thread waited for a processor, so the longest page on
//                   the thread's CPU clock is printed beside it
//   MIME lookups    made by the fetcher, beside the distinct keys it cached,
//                   the distinct extensions among the rows and the rows
//
// There is no peer to run beside it; the figures stand alone.
//
//   icons_bench [TREE]          TANDREL_ICONS_PAGES=n scrolls n pages only
#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTimer>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/paths.h"
#include "gui/disk/directory_analysis_view.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/shell/main_window.h"
#include "gui/shell/thread_icons.h"
#include "platform/text_collate.h"
#include "scan/scan_model.h"

using namespace tandrel;

namespace {

// CPU time of the calling thread: what the page cost the window's thread,
// without the time other programs had the processor.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char folder[] = "/tmp/tandrel_icons_XXXXXX";
    if (!mkdtemp(folder)) return 2;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) setenv(name, folder, 1);
    QApplication app(argc, argv);
    const std::string tree = argc > 1 ? argv[1] : "/tmp/tandrel-bench/tree1m";
    const char* pagesText = std::getenv("TANDREL_ICONS_PAGES");
    const long pageLimit = pagesText ? std::atol(pagesText) : 0;

    ScanModel model;
    TFormMain window(model);
    window.resize(1920, 1080);
    window.show();
    QApplication::processEvents();
    TThreadIcons* icons = window.IconFetcher();
    if (!icons) return 2;

    QElapsedTimer clock;
    clock.start();
    window.TreemapView().SetFolder(tree);
    bool done = false;
    window.ScanRun().Start([&] { done = true; }, false);
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double scanSeconds = clock.elapsed() / 1000.0;

    window.ShowViewPage(TViewPage::FileStatistics);
    TFormDirectoryAnalysis& view = window.AnalysisView();
    view.WidgetsForTest().edtSizeFrom->setValue(0);
    view.FilterFiles();
    TListViewEx& list = view.FileStatisticsList();
    QApplication::processEvents();
    const int rows = list.ItemsCount();
    std::set<std::string> extensions;
    {
        std::lock_guard lock(model.csTreemap);
        for (const TDiskTreeMapEntry* node : view.WidgetsForTest().lvFileAnalysisLx->LvItems)
            extensions.insert(platform::LowerCase(ExtractFileExt(node->Name)));
    }
    const int lookupsBefore = icons->MimeLookups();

    double longestPageMs = 0, longestLateMs = 0, totalMs = 0;
    long pages = 0, longestPage = 0;
    double longestCpuMs = 0;
    std::vector<double> pageMs;
    QElapsedTimer sinceTick, page;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestLateMs = std::max(longestLateMs, sinceTick.nsecsElapsed() / 1e6 - 5);
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start();
    const int step = std::max(1, list.ItemsPerPage());
    clock.restart();
    for (int top = 0; top < rows && (pageLimit <= 0 || pages < pageLimit); top += step, ++pages) {
        page.start();
        const double cpuStart = ThreadCpuMs();
        list.SetTopItem(top);
        list.viewport()->repaint();
        QApplication::processEvents();
        longestCpuMs = std::max(longestCpuMs, ThreadCpuMs() - cpuStart);
        pageMs.push_back(page.nsecsElapsed() / 1e6);
        if (page.nsecsElapsed() / 1e6 > longestPageMs) {
            longestPageMs = page.nsecsElapsed() / 1e6;
            longestPage = pages;
        }
    }
    // The last batch and its repaint.
    while (icons->QueuedCount() > 0) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    for (int i = 0; i < 10; ++i) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    totalMs = clock.elapsed();
    ticker.stop();

    std::printf("file statistics list of %s: %d rows, %zu distinct extensions (scan %.1f s)\n", tree.c_str(), rows,
                extensions.size(), scanSeconds);
    std::printf("  scrolled %ld pages of %d rows in %.1f s (1920 x 1080, offscreen)\n", pages, step, totalMs / 1000.0);
    std::sort(pageMs.begin(), pageMs.end());
    const auto percentile = [&](double p) {
        return pageMs.empty() ? 0.0 : pageMs[std::min(pageMs.size() - 1, static_cast<std::size_t>(p * pageMs.size()))];
    };
    std::printf("  per page: median %.1f ms, 99th percentile %.1f ms, longest on the thread's CPU clock %.1f ms\n",
                percentile(0.5), percentile(0.99), longestCpuMs);
    std::printf("  longest stall: %.1f ms (page %ld), 5 ms timer late by at most %.1f ms (limit 50 ms)\n",
                longestPageMs, longestPage, longestLateMs);
    std::printf("  MIME lookups: %d (%d before the scroll), distinct keys cached: %d, rows: %d -> %s\n",
                icons->MimeLookups(), lookupsBefore, icons->CachedCount(), rows,
                icons->MimeLookups() == icons->CachedCount() ? "one per key" : "MORE THAN ONE PER KEY");
    window.close();
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    const bool ok = longestCpuMs < 50 && icons->MimeLookups() == icons->CachedCount();
    return std::system(cleanup.c_str()) == 0 && ok ? 0 : 1;
}
