#include "gui/shell/thread_icons.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QSpinBox>
#include <QTest>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gui/disk/directory_analysis_view.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/disk/treemap_painter.h"
#include "gui/shell/icon_key.h"
#include "gui/shell/main_window.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

std::string RealPath(const std::string& path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

// One file of every kind the keys tell apart.
struct KindsTree {
    TempDir dir;
    std::string root = RealPath(dir.path());
    std::string txtA = dir.WriteFile("a/Notes.TXT", "a");
    std::string txtB = dir.WriteFile("b/other.txt", "b");
    std::string unknown = dir.WriteFile("c/data.ZzQq", "c");
    std::string folder = dir.MakeFolder("d/sub");
    std::string linkToFolder = Link("d/sub", "d/sub_link.txt");
    std::string dangling = Link("missing.pdf", "broken.txt");
    std::string executable = Executable("bin/Run.sh");
    std::string linkToExecutable = Link("bin/Run.sh", "run_link");
    std::string linkToPng = Link("pic.PNG", "alias.txt", "png");
    std::string noExtension = dir.WriteFile("Makefile", "m");
    std::string notUtf8 = dir.WriteFile("r\xe9sum\xe9.\xc3\x89T\xff", "x");

    std::string Link(const std::string& target, const std::string& name, const std::string& content = "") {
        if (!content.empty()) dir.WriteFile(target, content);
        const std::string path = dir.Path(name);
        EXPECT_EQ(0, symlink(dir.Path(target).c_str(), path.c_str()));
        return path;
    }
    std::string Executable(const std::string& name) {
        const std::string path = dir.WriteFile(name, "#!/bin/sh\n");
        EXPECT_EQ(0, chmod(path.c_str(), 0755));
        return path;
    }
};

TEST(IconKeyTest, KindsShareKeysExecutablesAndDanglingLinksKeepTheirPaths) {
    KindsTree t;
    struct Case {
        std::string path, forced;
    };
    const std::vector<Case> cases = {
        {t.txtA, ".txt"},
        {t.txtB, ".txt"},
        {t.unknown, ".zzqq"},
        {t.folder, "folder"},
        {t.linkToFolder, "folder"},
        {t.dangling, t.dangling},
        {t.executable, t.executable},
        {t.linkToExecutable, t.root + "/bin/Run.sh"},
        {t.linkToPng, ".png"},
        {t.noExtension, ""},
        {t.notUtf8, ".\xc3\xa9t\xff"},  // simple lower-casing, stray bytes kept
        {t.dir.Path("gone/Never.DOC"), ".doc"},
    };
    for (const Case& c : cases) EXPECT_EQ(ForcedIconKey(c.path), c.forced) << c.path;

    // At paint time only the name counts.
    EXPECT_EQ(PaintIconKey("/x/y/Readme.TXT"), ".txt");
    EXPECT_EQ(PaintIconKey("/x.d/Makefile"), "");
    EXPECT_EQ(PaintIconKey("/x/sub_link.txt"), ".txt");
    EXPECT_EQ(PaintIconKey("Loose.TXT"), "Loose.TXT");
    EXPECT_EQ(PaintIconKey("/x/r\xe9sum\xe9.\xc3\x89T\xff"), ".\xc3\xa9t\xff");
}

// Holds the fetcher at the first time it reaches a point of a batch until
// the test lets it go.
class BatchGate {
public:
    using Point = test_hooks::IconBatchPoint;
    explicit BatchGate(Point hold = Point::Start) : hold_(hold) {
        test_hooks::SetIconBatchHook([this](Point point) {
            if (point == Point::Start) ++batches_;
            if (point == Point::HandedOff) ++handedOff_;
            if (point != hold_ || held_.exchange(true)) return;
            entered_.set_value();
            release_.get_future().wait();
        });
    }
    ~BatchGate() {
        Release();
        test_hooks::SetIconBatchHook(nullptr);
    }
    void WaitEntered() { entered_.get_future().wait(); }
    void Release() {
        if (!released_.exchange(true)) release_.set_value();
    }
    int Batches() const { return batches_.load(); }
    int HandedOff() const { return handedOff_.load(); }

private:
    const Point hold_;
    std::atomic<int> batches_{0};
    std::atomic<int> handedOff_{0};
    std::atomic<bool> held_{false};
    std::atomic<bool> released_{false};
    std::promise<void> entered_;
    std::promise<void> release_;
};

class ThreadIconsTest : public ::testing::Test {
protected:
    bool WaitForRepaints(int count) {
        return QTest::qWaitFor([&] { return repaints.load() >= count; }, 20000);
    }

    TStopToken stop;
    std::atomic<int> repaints{0};
};

TEST_F(ThreadIconsTest, FirstPaintGivesNoneThenOneRepaintBringsEveryIconWithOneLookupPerKey) {
    KindsTree t;
    const std::vector<std::string> paths = {t.txtA,         t.txtB,        t.unknown,    t.folder,
                                            t.linkToFolder, t.dangling,    t.executable, t.linkToExecutable,
                                            t.linkToPng,    t.noExtension, t.notUtf8};
    BatchGate gate;
    TThreadIcons icons(stop, [&] { ++repaints; });
    for (const std::string& path : paths) EXPECT_TRUE(icons.GetIconForFile(path).isNull()) << path;
    for (const std::string& path : paths) icons.GetIconForFile(path);  // asked again: queued once
    EXPECT_EQ(icons.QueuedCount(), static_cast<int>(paths.size()));
    gate.Release();

    ASSERT_TRUE(WaitForRepaints(1));
    for (const std::string& path : paths) EXPECT_FALSE(icons.GetIconForFile(path).isNull()) << path;
    // .txt, .zzqq, folder, the dangling link, the executable (twice by its
    // link), .png, no extension, the stray-byte extension.
    EXPECT_EQ(icons.MimeLookups(), 8);
    EXPECT_EQ(icons.CachedCount(), 8);
    EXPECT_EQ(icons.QueuedCount(), 0);
    // Another file of a known kind is answered at once.
    EXPECT_FALSE(icons.GetIconForFile(t.dir.Path("elsewhere/more.Txt")).isNull());
    QApplication::processEvents();
    EXPECT_EQ(repaints.load(), 1);
    EXPECT_EQ(gate.Batches(), 1);
}

TEST_F(ThreadIconsTest, AnIconTellsTheKind) {
    const TIconNames folder = IconNamesForKey("folder");
    EXPECT_TRUE(folder.folder);
    EXPECT_EQ(folder.genericName, "folder");
    EXPECT_EQ(IconNamesForKey(".txt").genericName, "text-x-generic");
    EXPECT_EQ(IconNamesForKey("/opt/tool").name, "application-x-executable");
    EXPECT_EQ(IconNamesForKey(".zzqq").name, "application-octet-stream");
    // A theme is settled when the fetcher starts, so kinds get pictures of
    // their own where one is installed.
    TThreadIcons icons(stop, nullptr);
    EXPECT_FALSE(icons.folderIcon.isNull());
    if (QIcon::hasThemeIcon("text-x-generic")) {
        const QImage text = icons.GetIconForFile("/x/a.txt", true).pixmap(16, 16).toImage();
        const QImage image = icons.GetIconForFile("/x/a.png", true).pixmap(16, 16).toImage();
        EXPECT_NE(text, image);
    }
}

TEST_F(ThreadIconsTest, ForcedLookupAnswersAtOnceAndCountsOncePerKey) {
    TThreadIcons icons(stop, [&] { ++repaints; });
    EXPECT_FALSE(icons.GetIconForFile("/nowhere/a.txt", true).isNull());
    EXPECT_FALSE(icons.GetIconForFile("/nowhere/b.TXT", true).isNull());
    EXPECT_EQ(icons.MimeLookups(), 1);
    EXPECT_EQ(icons.QueuedCount(), 0);
}

TEST_F(ThreadIconsTest, AfterClosingNothingIsAnsweredOrQueuedAndAPendingRepaintIsDropped) {
    KindsTree t;
    BatchGate gate(BatchGate::Point::HandedOff);
    TThreadIcons icons(stop, [&] { ++repaints; });
    EXPECT_TRUE(icons.GetIconForFile(t.txtA).isNull());
    // The batch's repaint is on its way to the window when closing begins.
    gate.WaitEntered();
    stop.AppClosing = true;
    EXPECT_TRUE(icons.GetIconForFile(t.txtB).isNull());  // its kind is cached, yet none
    EXPECT_TRUE(icons.GetIconForFile(t.unknown).isNull());
    EXPECT_TRUE(icons.GetIconForFile(t.folder, true).isNull());
    EXPECT_EQ(icons.QueuedCount(), 0);
    gate.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !icons.threadRunning.load(); }, 20000));
    QApplication::processEvents();
    EXPECT_EQ(repaints.load(), 0);
    EXPECT_EQ(icons.MimeLookups(), 1);
}

TEST_F(ThreadIconsTest, ResetQueueForgetsWaitingPaths) {
    BatchGate gate;
    TThreadIcons icons(stop, [&] { ++repaints; });
    icons.GetIconForFile("/x/a.txt");
    icons.GetIconForFile("/x/b.pdf");
    gate.WaitEntered();
    icons.ResetQueue();
    gate.Release();
    EXPECT_EQ(icons.QueuedCount(), 0);
    ASSERT_TRUE(WaitForRepaints(1));
    EXPECT_EQ(icons.MimeLookups(), 0);
}

// The window: the file statistics list shows icons once the fetcher has them.
class WindowIconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile("tree/a.txt", "0123456789");
        dir.WriteFile("tree/b/c.txt", "0123");
        dir.WriteFile("tree/b/d.zzqq", "01234567");
        window = std::make_unique<TFormMain>(model);
        window->resize(900, 600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window->close();
        window.reset();
    }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<TFormMain> window;
};

TEST_F(WindowIconsTest, FileListGainsItsIconsAfterOneBatchAndTheTreemapGetsTheFolderPicture) {
    TThreadIcons* icons = window->IconFetcher();
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(ThreadIcons(), icons);
    TFormMainUi& ui = window->WidgetsForTest();
    EXPECT_EQ(ui.imageFolderIcon.size(), QSize(16, 16));
    EXPECT_EQ(window->TreemapView().Painter().FolderIcon(), ui.imageFolderIcon);

    BatchGate gate;
    window->TreemapView().SetFolder(dir.Path("tree"));
    bool done = false;
    window->ScanRun().Start([&] { done = true; }, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    window->ShowViewPage(TViewPage::FileStatistics);
    TFormDirectoryAnalysis& view = window->AnalysisView();
    view.WidgetsForTest().edtSizeFrom->setValue(0);
    view.FilterFiles();
    TListViewEx& list = view.FileStatisticsList();
    ASSERT_EQ(list.ItemsCount(), 3);

    // Where row r's icon goes.
    const auto iconArea = [&](int row) {
        const QRect cell = list.visualRect(list.model()->index(row, list.ColumnIndexOfCaption("Filename")));
        return QRect(cell.left() + TListViewEx::IconLeft, cell.top() + (cell.height() - 16) / 2, 16, 16);
    };
    const auto plainWhite = [&](const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != QColor(Qt::white)) return false;
        return true;
    };
    list.SetSelectedRows({});
    EXPECT_TRUE(plainWhite(list.viewport()->grab(iconArea(0)).toImage()));
    EXPECT_EQ(ui.lastActiveLV.data(), &list);
    // The list is painted again once the batch handed over its repaint.
    int paints = 0;
    struct PaintCounter : QObject {
        int& count;
        const BatchGate& gate;
        PaintCounter(int& c, const BatchGate& g) : count(c), gate(g) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && gate.HandedOff() > 0) ++count;
            return false;
        }
    } counter(paints, gate);
    list.viewport()->installEventFilter(&counter);
    gate.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints > 0; }, 20000));
    list.viewport()->removeEventFilter(&counter);
    for (int row = 0; row < 3; ++row) EXPECT_FALSE(plainWhite(list.viewport()->grab(iconArea(row)).toImage())) << row;
    EXPECT_EQ(icons->MimeLookups(), 2);  // .txt and .zzqq
}

// Counts the paints of a widget.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
    int count = 0;
};

TEST_F(WindowIconsTest, TheFetchersRepaintGoesToTheTreemapTheFileListOrTheLastListThatAsked) {
    window->TreemapView().SetFolder(dir.Path("tree"));
    bool done = false;
    window->ScanRun().Start([&] { done = true; }, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    TFormDirectoryAnalysis& view = window->AnalysisView();
    view.WidgetsForTest().edtSizeFrom->setValue(0);
    view.FilterFiles();
    TListViewEx& files = view.FileStatisticsList();
    TListViewEx& folders = *view.WidgetsForTest().lvDirectoryAnalysis;
    int mapDrawn = 0;
    QObject::connect(&window->TreemapView().Painter(), &TTreemapPainter::imageChanged, [&] { ++mapDrawn; });
    PaintCounter filePaints(files.viewport()), folderPaints(folders.viewport());

    struct Case {
        TViewPage page;
        int map, file, folder;  // what is repainted
    };
    for (const Case& c : {Case{TViewPage::TreeMap, 1, 0, 0}, Case{TViewPage::FileStatistics, 0, 1, 0},
                          Case{TViewPage::DirectoryStatistics, 0, 0, 1}}) {
        window->ShowViewPage(c.page);
        window->SetLastActiveLV(&folders);
        QApplication::processEvents();
        mapDrawn = filePaints.count = folderPaints.count = 0;
        window->UpdateActiveListview();
        QApplication::processEvents();
        EXPECT_EQ(mapDrawn > 0, c.map == 1) << static_cast<int>(c.page);
        EXPECT_EQ(filePaints.count > 0, c.file == 1) << static_cast<int>(c.page);
        EXPECT_EQ(folderPaints.count > 0, c.folder == 1) << static_cast<int>(c.page);
    }
}

}  // namespace
}  // namespace tandrel
