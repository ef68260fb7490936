#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <QMenu>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "common/format_numbers.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_surface.h"
#include "gui/disk/directory_analysis_view.h"
#include "gui/shell/file_operation_panel.h"
#include "gui/shell/main_window.h"
#include "gui/shell/shell_services.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

class TreemapContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(AppSettingsFolder());
        SetShellOpenHook([this](const std::string& path) {
            opened.push_back(path);
            return true;
        });
        SetLaunchHook([this](const std::vector<std::string>& argv, const std::string&) {
            started.push_back(argv);
            return true;
        });
    }
    void TearDown() override {
        if (window) window->close();
        window.reset();
        messages.reset();
        SetShellOpenHook({});
        SetLaunchHook({});
    }

    // Scans the folder in a shown window and returns its map view.
    TFormDiskTreeMap& Scan(const std::string& folder) {
        window = std::make_unique<TFormMain>(model);
        window->resize(900, 700);
        window->TreemapView().SetFolder(folder);
        messages = std::make_unique<testing::RecordingMessages>();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        bool done = false;
        window->ScanRun().Start([&] { done = true; }, false);
        for (int i = 0; i < 1000 && !done; ++i) QTest::qWait(10);
        EXPECT_TRUE(done);
        return window->TreemapView();
    }

    // A surface point inside the node's own box, away from its children.
    static QPoint PointOf(TFormDiskTreeMap& view, const std::string& path) {
        TDiskTreeMapEntry* node = view.FindNode(path);
        if (!node || !node->_BoxInfo) return {-1, -1};
        const TRect& r = node->_BoxInfo->_AbsRect;
        return {r.Left + 3, r.Top + 3};
    }

    static QAction* Item(TFormDiskTreeMap& view, const char* name) {
        return view.WidgetsForTest().popupTreeMap->findChild<QAction*>(name);
    }

    static std::vector<std::string> Visible(TFormDiskTreeMap& view) {
        std::vector<std::string> texts;
        for (QAction* action : view.WidgetsForTest().popupTreeMap->actions()) {
            if (action->isVisible() && !action->isSeparator()) texts.push_back(action->text().toStdString());
        }
        return texts;
    }

    TempDir dir;
    ScanModel model;
    // Made after the window, whose own messages it replaces.
    std::unique_ptr<testing::RecordingMessages> messages;
    std::unique_ptr<TFormMain> window;
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> started;
};

TEST_F(TreemapContextMenuTest, AFileOffersOpeningAndZoomingToItAndItsFolder) {
    const std::string file = dir.WriteFile("tree/big.bin", std::string(200000, 'x'));
    dir.WriteFile("tree/other/small.txt", "y");
    TFormDiskTreeMap& view = Scan(dir.Path("tree"));
    const QPoint at = view.WidgetsForTest().imageDiskTreemap->rect().center();
    ASSERT_TRUE(view.popupTreeMapPopup(at));
    EXPECT_EQ(view.SelectedFilesText(), file);
    const std::vector<std::string> expected{FormatBytes(200000) + ", " + file + " ]",
                                            "Open / Execute file",
                                            "Open File Location (Locate in explorer)",
                                            "Zoom to folder",
                                            "Zoom to file",
                                            "Command prompt here",
                                            "Quorvel here",
                                            "Rename...",
                                            "Copy to...",
                                            "Move to...",
                                            "Delete",
                                            "Copy filename",
                                            "Shell Properties"};
    EXPECT_EQ(Visible(view), expected);
    Item(view, "piOpen")->trigger();
    EXPECT_EQ(opened, std::vector<std::string>{file});
}

TEST_F(TreemapContextMenuTest, AFolderOffersItsFiftyOneLargestSubfoldersByName) {
    // 60 subfolders of distinct sizes: "s00" the smallest, "s59" the largest.
    for (int i = 0; i < 60; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "tree/big/s%02d/f", i);
        dir.WriteFile(name, std::string(1000 * (i + 1), 'x'));
    }
    dir.WriteFile("tree/big/loose.txt", "z");
    TFormDiskTreeMap& view = Scan(dir.Path("tree"));
    const std::string folder = dir.Path("tree/big");
    ASSERT_TRUE(view.popupTreeMapPopup(PointOf(view, folder)));
    EXPECT_EQ(view.SelectedFilesText(), folder);
    EXPECT_TRUE(Item(view, "piTreemapHere")->isVisible());
    EXPECT_TRUE(Item(view, "piZoomToSelectedFolder")->isVisible());
    EXPECT_FALSE(Item(view, "piZoomToFile")->isVisible());
    EXPECT_EQ(Item(view, "piOpen")->text(), "Open folder");

    std::vector<std::string> names;
    for (QAction* action : view.WidgetsForTest().piZoomToChild->actions())
        names.push_back(action->text().toStdString());
    std::vector<std::string> expected;
    for (int i = 9; i < 60; ++i) expected.push_back("s" + std::to_string(i / 10) + std::to_string(i % 10));
    EXPECT_EQ(names, expected);

    Item(view, "piTreemapHere")->trigger();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string>{platform::ExecutablePath(), folder, "/treemap"}));
}

// The panel's work shows on the map and in the statistics at once, without a new scan.
TEST_F(TreemapContextMenuTest, DeletingAndRenamingFromTheMenuUpdateTheMapAndTheStatistics) {
    const std::string big = dir.WriteFile("tree/big.bin", std::string(200000, 'x'));
    dir.WriteFile("tree/other/small.txt", "y");
    TFormDiskTreeMap& view = Scan(dir.Path("tree"));
    TFileOperationPanelUi& panel = window->FileOperationPanel().WidgetsForTest();
    TFormDirectoryAnalysisUi& statistics = window->AnalysisView().WidgetsForTest();
    statistics.edtSizeFrom->setValue(0);
    statistics.bFilterFiles->click();
    const auto listed = [&](const char* name) {
        const auto& rows = statistics.lvFileAnalysisLx->LvItems;
        return std::any_of(rows.begin(), rows.end(), [&](const TDiskTreeMapEntry* n) { return n->Name == name; });
    };
    ASSERT_TRUE(listed("big.bin"));
    messages->answer = MessageAnswer::Ok;

    ASSERT_TRUE(view.popupTreeMapPopup(view.WidgetsForTest().imageDiskTreemap->rect().center()));
    Item(view, "piRename")->trigger();
    panel.edRenameNewFilename->setText("renamed.bin");
    panel.bDoRenameFile->click();
    const std::string renamed = dir.Path("tree/renamed.bin");
    ASSERT_TRUE(platform::FileExists(renamed));
    {
        std::lock_guard lock(model.csTreemap);
        ASSERT_NE(view.FindNode(renamed), nullptr);
        EXPECT_EQ(view.FindNode(big), nullptr);
    }
    EXPECT_EQ(view.SelectedFilesText(), renamed);
    EXPECT_TRUE(listed("renamed.bin"));

    ASSERT_TRUE(view.popupTreeMapPopup(view.WidgetsForTest().imageDiskTreemap->rect().center()));
    Item(view, "piDelete")->trigger();
    panel.bDeleteSelected->click();
    EXPECT_FALSE(platform::PathExists(renamed));
    std::lock_guard lock(model.csTreemap);
    EXPECT_EQ(view.FindNode(renamed), nullptr);
    EXPECT_EQ(model.Root()->SizeTotal, 1) << "only other/small.txt is left";
    EXPECT_EQ(view.SelectedFilesText(), "") << "the deleted node is let go";
    EXPECT_FALSE(listed("renamed.bin"));
    EXPECT_TRUE(listed("small.txt"));
}

TEST_F(TreemapContextMenuTest, NoMapNoMenu) {
    window = std::make_unique<TFormMain>(model);
    EXPECT_FALSE(window->TreemapView().popupTreeMapPopup({10, 10}));
}

}  // namespace
}  // namespace tandrel
