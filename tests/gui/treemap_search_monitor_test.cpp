#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/shell/main_window.h"
#include "gui/shell/shell_services.h"
#include "gui/widgets/caption_panel.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "scan/change_watcher.h"
#include "scan/scan_model.h"
#include "support/fire_timer.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

class TreemapSearchMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(AppSettingsFolder()); }
    void TearDown() override {
        if (window) window->close();
        window.reset();
        messages.reset();
    }

    TFormDiskTreeMap& Scan(const std::string& folder, bool monitor = false) {
        if (!window) {
            window = std::make_unique<TFormMain>(model);
            window->resize(900, 700);
            messages = std::make_unique<testing::RecordingMessages>();
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
        TFormDiskTreeMap& view = window->TreemapView();
        view.SetFolder(folder);
        view.WidgetsForTest().cbMonitorChanges->setChecked(monitor);
        bool done = false;
        window->ScanRun().Start([&] { done = true; }, false);
        for (int i = 0; i < 1000 && !done; ++i) QTest::qWait(10);
        EXPECT_TRUE(done);
        return view;
    }
    // Types the text and lets the debounce end.
    static void Search(TFormDiskTreeMap& view, const QString& text) {
        auto& ui = view.WidgetsForTest();
        ui.edSearchTerm->setText(text);
        testing::FireTimer(*ui.timerSearch);
    }
    static std::vector<std::string> Column(TFormDiskTreeMap& view, int column) {
        std::vector<std::string> texts;
        const int rows = view.WidgetsForTest().lvSearchResults->ItemsCount();
        for (int row = 0; row < rows; ++row) texts.push_back(view.SearchResultText(row, column).toStdString());
        return texts;
    }
    // Waits for applied batches until the check passes.
    template <typename Check>
    static bool WaitForBatches(TFormDiskTreeMap& view, Check check) {
        QSignalSpy applied(&view, &TFormDiskTreeMap::WatcherBatchApplied);
        for (int i = 0; i < 100 && !check(); ++i) applied.wait(200);
        return check();
    }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<testing::RecordingMessages> messages;
    std::unique_ptr<TFormMain> window;
};

TEST_F(TreemapSearchMonitorTest, TheSearchListsAndColoursItsHitsAndZoomsToOne) {
    dir.WriteFile("tree/music/a.mp3", std::string(3000, 'a'));
    dir.WriteFile("tree/live/b.mp3", std::string(2000, 'b'));
    dir.WriteFile("tree/music/cover.jpg", std::string(1000, 'c'));
    TFormDiskTreeMap& view = Scan(dir.Path("tree"));
    auto& ui = view.WidgetsForTest();

    // Under three characters nothing waits to run.
    ui.edSearchTerm->setText("mp");
    EXPECT_FALSE(ui.timerSearch->isActive());
    Search(view, "mp3 -live");
    EXPECT_EQ(Column(view, 0), std::vector<std::string>{"a.mp3"});
    EXPECT_EQ(Column(view, 2), std::vector<std::string>{dir.Path("tree/music/a.mp3")});
    EXPECT_TRUE(ui.panelSearchResults->isVisible());
    EXPECT_TRUE(view.FindNode(dir.Path("tree/music/a.mp3"))->_SearchResult);
    EXPECT_FALSE(view.FindNode(dir.Path("tree/live/b.mp3"))->_SearchResult);

    // A folder's name matches everything below it; sorting by size puts the largest first.
    Search(view, "music");
    EXPECT_EQ(view.SearchHits().size(), 3u);
    ui.lvSearchResults->ColumnClicked = 1;
    ui.lvSearchResults->OnSort();
    EXPECT_EQ(Column(view, 0), (std::vector<std::string>{"music", "a.mp3", "cover.jpg"}));

    view.lvSearchResultsDblClick(1);
    EXPECT_EQ(view.Navigator().ZoomTarget, view.FindNode(dir.Path("tree/music/a.mp3")));

    // Fewer characters forget every hit; the button says why it will not search.
    ui.edSearchTerm->setText("mu");
    EXPECT_TRUE(view.SearchHits().empty());
    EXPECT_FALSE(view.FindNode(dir.Path("tree/music/a.mp3"))->_SearchResult);
    ui.bSearch->click();
    EXPECT_EQ(messages->shown.back(), "Search term must have at least 3 characters");
    // No hits: no panel.
    Search(view, "nothing-like-this");
    EXPECT_FALSE(ui.panelSearchResults->isVisible());
}

TEST_F(TreemapSearchMonitorTest, TheResultMenuActsOnTheSelectedRowOnly) {
    dir.WriteFile("tree/docs/report.txt", std::string(100, 'r'));
    TFormDiskTreeMap& view = Scan(dir.Path("tree"));
    auto& ui = view.WidgetsForTest();
    Search(view, "report");
    auto* copy = ui.popupSearchResults->findChild<QAction*>("piSearchCopyFilename");
    ASSERT_NE(copy, nullptr);
    QGuiApplication::clipboard()->setText("before");
    copy->trigger();  // no row selected
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    ui.lvSearchResults->SetSelectedRows({0});
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), dir.Path("tree/docs/report.txt"));
    std::vector<std::string> texts;
    for (QAction* action : ui.popupSearchResults->actions()) texts.push_back(action->text().toStdString());
    EXPECT_EQ(texts, (std::vector<std::string>{"Open File Location (Locate in explorer)", "Command prompt here",
                                               "Copy filename", "Shell Properties"}));
}

TEST_F(TreemapSearchMonitorTest, TheMapFollowsTheDiskWhileMonitoringIsTicked) {
    dir.WriteFile("tree/keep/k.txt", std::string(500, 'k'));
    dir.WriteFile("tree/old/o.txt", std::string(700, 'o'));
    const std::string root = dir.Path("tree");
    TFormDiskTreeMap& view = Scan(root, false);
    EXPECT_EQ(view.WatcherForTest()->Actived(), false) << "unticked: a watcher that does nothing";

    QSignalSpy ready(&view, &TFormDiskTreeMap::WatcherReady);
    Scan(root, true);
    ASSERT_TRUE(ready.count() > 0 || ready.wait(10000));
    TDiskTreeMapEntry* old = view.FindNode(dir.Path("tree/old/o.txt"));
    Search(view, "o.txt");
    view.Navigator().SelectedFile = old;

    // A folder with a file arrives, another leaves; the root follows both.
    dir.WriteFile("tree/new/n.txt", std::string(300, 'n'));
    std::filesystem::remove_all(dir.Path("tree/old"));
    EXPECT_TRUE(WaitForBatches(
        view, [&] { return view.FindNode(dir.Path("tree/new/n.txt")) && !view.FindNode(dir.Path("tree/old")); }));
    EXPECT_EQ(view.Root()->SizeTotal, 800);
    EXPECT_EQ(view.Navigator().SelectedFile, nullptr) << "a removed node is let go";
    for (TDiskTreeMapEntry* hit : view.SearchHits()) EXPECT_FALSE(IsRemovedNode(hit));

    // Unticked, the watcher stops; ticking again waits for the next scan run.
    view.WidgetsForTest().cbMonitorChanges->click();
    EXPECT_FALSE(view.WatcherForTest()->Actived());
    view.WidgetsForTest().cbMonitorChanges->click();
    EXPECT_FALSE(view.WatcherForTest()->Actived());
    dir.WriteFile("tree/later.txt", "x");
    QCoreApplication::processEvents();
    EXPECT_EQ(view.FindNode(dir.Path("tree/later.txt")), nullptr);
    QSignalSpy readyAgain(&view, &TFormDiskTreeMap::WatcherReady);
    Scan(root, true);
    EXPECT_TRUE(view.WatcherForTest()->Actived());
    EXPECT_NE(view.FindNode(dir.Path("tree/later.txt")), nullptr);
}

}  // namespace
}  // namespace tandrel
