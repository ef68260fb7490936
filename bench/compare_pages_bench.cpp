// The comparison pages on a million rows: how long the window's thread is
// held while a comparison runs, how long showing the result takes once the
// worker is done, and how long a show/hide box, the word filter and a sort by
// each column take on the merged rows.
//
//   compare_pages_bench BEFORE.snapshot AFTER.snapshot TREE CHANGED_TREE
//
// The snapshot page compares the two snapshots. The directory page lists
// TREE and compares it with CHANGED_TREE; the bench trees are sparse (tens of
// terabytes of holes), so the pairs of equal size are first entered in the
// comparison cache as identical, which they are, and the comparison answers
// them from the cache as a repeated comparison does.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "common/messages.h"
#include "common/text_file.h"
#include "compare/compare_cache.h"
#include "compare/snapshot_compare.h"
#include "compare/snapshot_compare_report.h"
#include "gui/compare/dir_compare_page.h"
#include "gui/compare/snapshot_compare_page.h"
#include "gui/shell/main_window.h"
#include "gui/widgets/list_view_ex.h"
#include "scan/scan_model.h"

namespace {

namespace fs = std::filesystem;

// Times the gaps of a 5 ms timer: the window's thread was held for the
// longest gap beyond the interval.
class StallClock {
public:
    StallClock() {
        ticker_.setInterval(5);
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            const double late = SinceTickMs() - 5;
            if (late > 100 && std::getenv("TANDREL_BENCH_STALLS"))
                std::printf("    stall of %.0f ms ending at %.2f s\n", late, clock_.elapsed() / 1000.0);
            longestMs_ = std::max(longestMs_, late);
            sinceTick_.restart();
        });
        sinceTick_.start();
        clock_.start();
        ticker_.start();
    }
    double Seconds() const { return clock_.elapsed() / 1000.0; }
    double SinceTickMs() const { return sinceTick_.nsecsElapsed() / 1e6; }
    // The longest stall so far, then starts a new measure.
    double TakeLongestMs() {
        const double longest = longestMs_;
        longestMs_ = 0;
        return longest;
    }

private:
    QTimer ticker_;
    QElapsedTimer sinceTick_, clock_;
    double longestMs_ = 0;
};

// The window thread's CPU time of the last TimeMs: on a machine shared with
// other work the wall time also counts the waits for a core.
double lastCpuMs = 0;

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double TimeMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    const double cpuStart = ThreadCpuMs();
    timer.start();
    work();
    lastCpuMs = ThreadCpuMs() - cpuStart;
    return timer.nsecsElapsed() / 1e6;
}

void WaitUntil(const bool& done) {
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void ReportSorts(tandrel::TListViewEx& lv, const char* name) {
    std::printf("  sort %s (%d rows):", name, lv.ItemsCount());
    double longest = 0;
    for (int column = 0; column < lv.ColumnCount(); ++column) {
        const double ms = TimeMs([&] { tandrel::ColumnClick(lv, column); });
        longest = std::max(longest, ms);
        std::printf(" %s %.0f ms (cpu %.0f);", lv.ColumnCaption(column).toStdString().c_str(), ms, lastCpuMs);
    }
    std::printf(" longest %.0f ms\n", longest);
}

// Same-size pairs of the two trees as identical verdicts in the cache file.
int SeedComparisonCache(const std::string& left, const std::string& right) {
    tandrel::TStringList keys;
    for (const auto& entry : fs::recursive_directory_iterator(left)) {
        if (!entry.is_regular_file()) continue;
        const std::string leftFile = entry.path().string();
        const std::string rightFile = right + leftFile.substr(left.size());
        std::error_code error;
        if (fs::file_size(rightFile, error) != entry.file_size() || error) continue;
        const tandrel::TComparePairKeys pair = tandrel::MakePairKeys(leftFile, rightFile);
        if (pair.valid) keys.push_back(pair.aThenB);
    }
    tandrel::SaveTextFile(keys, tandrel::AppSettingsFolder() + "/compare_T_identical.ini");
    return static_cast<int>(keys.size());
}

void BenchSnapshotPage(tandrel::TFormMain& window, const std::string& before, const std::string& after) {
    tandrel::TFormCompareSnapshots& page = window.CompareSnapshotsView();
    auto& ui = page.WidgetsForTest();
    window.miToolsMenuGenericClick(window.WidgetsForTest().miCompareSnapshots);
    ui.dirEdit2->setText(QString::fromStdString(before));
    ui.dirEdit1->setText(QString::fromStdString(after));
    QApplication::processEvents();

    StallClock stalls;
    bool done = false;
    double fillMs = 0, runStallMs = 0;
    QObject listener;  // the connections end with this measure, not with the page
    QObject::connect(&page, &tandrel::TFormCompareSnapshots::Finished, &listener, [&] {
        // Emitted at the end of the fill, in the same call: the time since
        // the last tick is the time the fill held the thread.
        fillMs = stalls.SinceTickMs();
        runStallMs = stalls.TakeLongestMs();
        done = true;
    });
    QElapsedTimer run;
    run.start();
    page.bStartClick();
    WaitUntil(done);
    std::printf("snapshot page: comparison and fill %.2f s\n", run.elapsed() / 1000.0);
    std::printf(
        "  longest stall while comparing %.0f ms; showing the result %.0f ms after the poll"
        " (polled every 100 ms)\n",
        runStallMs, fillMs);
    std::printf("  files %d rows, folders %d rows shown\n", ui.lvFiles->ItemsCount(), ui.lvDirectories->ItemsCount());
    const double identicalOnMs = TimeMs([&] { ui.cbShowIdentical->click(); });
    std::printf("  box \"Show identical\" on: %.0f ms, cpu %.0f ms (%d file rows)\n", identicalOnMs, lastCpuMs,
                ui.lvFiles->ItemsCount());
    ReportSorts(*ui.lvFiles, "mixed files");
    ui.ed_Filter->setText("report");
    const double wordMs = TimeMs([&] { page.TimerFilterTimer(); });
    std::printf("  filter word \"report\": %.0f ms, cpu %.0f ms (%d file rows)\n", wordMs, lastCpuMs,
                ui.lvFiles->ItemsCount());
    tandrel::TComparisonShow all;
    all.identical = true;
    const double rowsMs = TimeMs([&] { tandrel::FilterFileRows(tandrel::CurrentSnapshotComparison(), all, "report"); });
    std::printf("    of which choosing the file rows %.0f ms, cpu %.0f ms\n", rowsMs, lastCpuMs);
    if (std::getenv("TANDREL_BENCH_FILTER_LOOP")) {
        for (int i = 0; i < 20; ++i) tandrel::FilterFileRows(tandrel::CurrentSnapshotComparison(), all, "report");
        std::printf("    unfiltered %.0f ms\n",
                    TimeMs([&] { tandrel::FilterFileRows(tandrel::CurrentSnapshotComparison(), all, ""); }));
    }
    ui.ed_Filter->setText("");
    page.TimerFilterTimer();
    const double identicalOffMs = TimeMs([&] { ui.cbShowIdentical->click(); });
    std::printf("  box \"Show identical\" off: %.0f ms, cpu %.0f ms (%d file rows)\n", identicalOffMs, lastCpuMs,
                ui.lvFiles->ItemsCount());
    std::printf("  longest stall outside the measured steps %.0f ms\n", stalls.TakeLongestMs());
}

void BenchDirectoryPage(tandrel::TFormMain& window, const std::string& left, const std::string& right) {
    tandrel::TFormCompareDirectories& page = window.CompareDirectoriesView();
    auto& ui = page.WidgetsForTest();
    window.miToolsMenuGenericClick(window.WidgetsForTest().miCompareDirectories);
    QApplication::processEvents();

    StallClock stalls;
    bool done = false;
    double listFillMs = 0, compareFillMs = 0, scanStallMs = 0, compareStallMs = 0;
    QObject listener;  // the connections end with this measure, not with the page
    QObject::connect(&page, &tandrel::TFormCompareDirectories::ScanFinished, &listener, [&] {
        listFillMs = stalls.SinceTickMs();
        if (std::getenv("TANDREL_BENCH_STALLS")) std::printf("    listing shown at %.2f s\n", stalls.Seconds());
        scanStallMs = stalls.TakeLongestMs();
    });
    QObject::connect(&page, &tandrel::TFormCompareDirectories::CompareFinished, &listener, [&] {
        compareFillMs = stalls.SinceTickMs();
        if (std::getenv("TANDREL_BENCH_STALLS")) std::printf("    comparison shown at %.2f s\n", stalls.Seconds());
        compareStallMs = stalls.TakeLongestMs();
        done = true;
    });
    QElapsedTimer run;
    run.start();
    page.ScanThenCompare(left, right);
    WaitUntil(done);
    std::printf("directory page: listing and comparison %.2f s, %zu files\n", run.elapsed() / 1000.0,
                page.Entries().size());
    std::printf("  longest stall while listing %.0f ms, while comparing %.0f ms\n", scanStallMs, compareStallMs);
    std::printf("  showing the listing %.0f ms, the result %.0f ms after the poll (polled every 100 ms)\n", listFillMs,
                compareFillMs);
    const double identicalOffMs = TimeMs([&] { ui.cbShowIdentical->click(); });
    std::printf("  box \"Identical\" off: %.0f ms, cpu %.0f ms (%d rows)\n", identicalOffMs, lastCpuMs,
                ui.lvFilesList->ItemsCount());
    const double identicalOnMs = TimeMs([&] { ui.cbShowIdentical->click(); });
    std::printf("  box \"Identical\" on: %.0f ms, cpu %.0f ms (%d rows)\n", identicalOnMs, lastCpuMs,
                ui.lvFilesList->ItemsCount());
    // This list has no column sorting. Every change of the word refilters.
    const double wordMs = TimeMs([&] { ui.edFilter->setText("report"); });
    std::printf("  filter word \"report\": %.0f ms, cpu %.0f ms (%d rows)\n", wordMs, lastCpuMs,
                ui.lvFilesList->ItemsCount());
    std::printf("  longest stall outside the measured steps %.0f ms\n", stalls.TakeLongestMs());
}

// The offscreen platform warns on every window it sizes.
void QuietOffscreen(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.contains("propagateSizeHints")) return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (type == QtFatalMsg) std::abort();
}

// Answers every question with OK, so the delete runs unattended.
class AnsweringMessages : public tandrel::Messages {
public:
    AnsweringMessages() : previous_(&tandrel::GetMessages()) { tandrel::SetMessages(this); }
    ~AnsweringMessages() override { tandrel::SetMessages(previous_); }
    void ShowMessage(tandrel::MessageKind, const std::string& text) override { shown.push_back(text); }
    void AddErrorLine(const std::string& text) override { shown.push_back(text); }
    void ShowNotification(const std::string& text) override { shown.push_back(text); }
    tandrel::MessageAnswer Ask(tandrel::AskButtons, const std::string&, const std::string&) override {
        return tandrel::MessageAnswer::Ok;
    }
    bool IsCtrlHeld() override { return false; }
    bool IsFullScreenAppInFront() override { return false; }
    std::vector<std::string> shown;

private:
    tandrel::Messages* previous_;
};

// 1,000 identical files deleted from the left side: the time, and how often
// the list was refilled while doing it (once at most, not once per file).
void BenchDeleteIdentical(tandrel::TFormMain& window, const std::string& work) {
    const std::string left = work + "/del_left", right = work + "/del_right";
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "/f" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".txt";
        for (const std::string& side : {left, right}) {
            fs::create_directories(fs::path(side + name).parent_path());
            std::FILE* file = std::fopen((side + name).c_str(), "wb");
            std::fprintf(file, "same content %d\n", i);
            std::fclose(file);
        }
    }
    tandrel::TFormCompareDirectories& page = window.CompareDirectoriesView();
    page.WidgetsForTest().edFilter->clear();  // every row on show
    bool done = false;
    {
        QObject listener;  // the connection ends with it
        QObject::connect(&page, &tandrel::TFormCompareDirectories::CompareFinished, &listener, [&] { done = true; });
        page.ScanThenCompare(left, right);
        WaitUntil(done);
    }
    AnsweringMessages answers;
    const int refills = page.RefillCount();
    const double ms = TimeMs([&] { page.bDeleteFromDiskClick(); });
    int left_files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(left)) left_files += entry.is_regular_file() ? 1 : 0;
    std::printf("delete identical: %d of 1000 left files deleted in %.0f ms; list refilled %d times\n",
                1000 - left_files, ms, page.RefillCount() - refills);
    for (const std::string& line : answers.shown) std::printf("  message: %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: compare_pages_bench BEFORE.snapshot AFTER.snapshot TREE CHANGED_TREE\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char folder[] = "/tmp/tandrel_pages_XXXXXX";
    if (!mkdtemp(folder)) return 2;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) setenv(name, folder, 1);
    qInstallMessageHandler(QuietOffscreen);
    QApplication app(argc, argv);
    const std::string tree = fs::absolute(argv[3]).lexically_normal().string();
    const std::string changed = fs::absolute(argv[4]).lexically_normal().string();
    fs::create_directories(tandrel::AppSettingsFolder());
    const int seeded = SeedComparisonCache(tree, changed);
    std::printf("comparison cache seeded with %d pairs of equal size\n", seeded);

    tandrel::ScanModel model;
    tandrel::TFormMain window(model);
    window.resize(1920, 1080);
    window.show();
    QApplication::processEvents();
    BenchSnapshotPage(window, argv[1], argv[2]);
    BenchDirectoryPage(window, tree, changed);
    BenchDeleteIdentical(window, folder);
    window.close();
    fs::remove_all(folder);
    return 0;
}
