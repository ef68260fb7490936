#include "gui/disk/directory_analysis_view.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/disk/tree_size_model.h"
#include "gui/shell/main_window.h"
#include "scan/folder_records.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

constexpr std::int64_t kMiB = 1048576;

class DirectoryAnalysisTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(AppSettingsFolder());
        dir.WriteFile("tree/small.txt", "0123456789");
        Sized("tree/big1.bin", 6 * kMiB);
        Sized("tree/a/big2.bin", 8 * kMiB);
        dir.WriteFile("tree/a/tiny", "x");
        Sized("tree/b/mid.bin", 3 * kMiB);
        dir.MakeFolder("tree/e/e1");
        dir.MakeFolder("tree/e/e2");
        window = std::make_unique<TFormMain>(model);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        view = &window->AnalysisView();
        ui = &view->WidgetsForTest();
    }

    void TearDown() override {
        window->close();
        window.reset();
    }

    // A sparse file of that size: the scan reads sizes, not contents.
    void Sized(const std::string& relative, std::int64_t size) {
        std::filesystem::resize_file(dir.WriteFile(relative, ""), static_cast<std::uintmax_t>(size));
    }

    void Scan() {
        window->TreemapView().SetFolder(dir.Path("tree"));
        bool done = false;
        window->ScanRun().Start([&] { done = true; }, false);
        for (int i = 0; i < 1000 && !done; ++i) QTest::qWait(10);
        ASSERT_TRUE(done);
    }

    // The records of the folder statistics rows, in row order.
    std::vector<std::string> FolderRows() {
        std::vector<std::string> names;
        for (int index : ui->lvDirectoryAnalysis->LvItems) names.push_back(model.DirectoryEntries[index]->FolderName);
        return names;
    }

    std::vector<std::string> ChartRows() {
        std::vector<std::string> names;
        for (const TDirectoryEntry* record : ui->lvDirectoryChartLx->LvItems) names.push_back(record->FolderName);
        return names;
    }

    TDirectoryEntry* Record(const std::string& name) {
        TDirectoryEntry* found = nullptr;
        model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
            if (r.FolderName == name) found = &r;
        });
        return found;
    }

    // The tree's children of the top node, as their records' names.
    std::vector<std::string> TopChildren() {
        std::vector<std::string> names;
        const QModelIndex top = ui->treeModel->index(0, 0);
        for (int row = 0; row < ui->treeModel->rowCount(top); ++row)
            names.push_back(TTreeSizeItemModel::NodeAt(ui->treeModel->index(row, 0, top))->Record->FolderName);
        return names;
    }

    TempDir dir;
    ScanModel model;
    RecordingMessages messages;
    std::unique_ptr<TFormMain> window;
    TFormDirectoryAnalysis* view = nullptr;
    TFormDirectoryAnalysisUi* ui = nullptr;
};

TEST_F(DirectoryAnalysisTest, FolderStatisticsFollowTheLevelsThreshold) {
    Scan();
    // The final pass sets the threshold to 1: the root, its own files and
    // its subfolders, in load order.
    EXPECT_EQ(ui->edLevels->value(), 1);
    EXPECT_EQ(FolderRows(), (std::vector<std::string>{dir.Path("tree"), "a", "b", "e", "[files]"}));
    EXPECT_EQ(ui->lvDirectoryAnalysis->ItemsCount(), 5);
    ui->edLevels->setValue(0);
    EXPECT_EQ(FolderRows(), std::vector<std::string>{dir.Path("tree")});

    // A size column sorts largest first and keeps the selection by record.
    ui->edLevels->setValue(1);
    ui->lvDirectoryAnalysis->SelectItemIdxCentered(Record("b")->Idx - 1);
    ColumnClick(*ui->lvDirectoryAnalysis, ui->lvDirectoryAnalysis->ColumnIndexOfCaption("Total Size"));
    EXPECT_EQ(FolderRows(), (std::vector<std::string>{dir.Path("tree"), "a", "[files]", "b", "e"}));
    EXPECT_EQ(ui->lvDirectoryAnalysis->SelectedRow(), 3);
}

TEST_F(DirectoryAnalysisTest, DefaultFileFilterListsLargeFilesLargestFirstAndKeepsTheSelection) {
    Scan();
    const auto names = [&] {
        std::vector<std::string> result;
        for (const TDiskTreeMapEntry* node : ui->lvFileAnalysisLx->LvItems) result.push_back(node->Name);
        return result;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"big2.bin", "big1.bin"}));
    ui->lvFileAnalysis->SelectItemIdCentered(1);

    ui->edtSizeFrom->setValue(0);
    view->FilterFiles();
    ASSERT_EQ(ui->lvFileAnalysisLx->Count(), 5);
    EXPECT_EQ(names().front(), "big2.bin");
    EXPECT_EQ(ui->lvFileAnalysisLx->Record(ui->lvFileAnalysis->SelectedRow())->Name, "big1.bin");

    // Megabytes both ways: more than 2 and less than 7.
    ui->edtSizeFrom->setValue(2);
    ui->edtSizeTo->setValue(7);
    view->FilterFiles();
    EXPECT_EQ(names(), (std::vector<std::string>{"big1.bin", "mid.bin"}));
    ui->cbbByteUnit->setCurrentText("kb");
    view->FilterFiles();
    EXPECT_TRUE(names().empty());  // 2 to 7 KiB
}

TEST_F(DirectoryAnalysisTest, TreeKeepsSiblingsLargestFirstAndALateLargeFolderMovesUp) {
    Scan();
    EXPECT_EQ(TopChildren(), (std::vector<std::string>{"a", "b", "e"}));
    EXPECT_TRUE(ui->treeview1->isExpanded(ui->treeModel->index(0, 0)));
    EXPECT_EQ(view->SelectedFolderRecord(), model.DirectoryEntries[0]);
    EXPECT_EQ(ui->panelTreesizeTop->text().toStdString(), dir.Path("tree"));

    // A folder the scan finds late, larger than its siblings.
    {
        std::lock_guard lock(model.csTreemap);
        TDirectoryEntry* root = model.DirectoryEntries[0];
        TDirectoryEntry* late = AddTreeFolderRecord(model, root, "late");
        EXPECT_EQ(late->Level, 1);  // its depth is known before the folder is done
        late->TotalSize = 100 * kMiB;
        late->_ModifiedCount++;
        root->TotalSize += late->TotalSize;
        root->_ModifiedCount++;
    }
    view->DirectoryAnalysis_ProcessIncremental(false);
    EXPECT_EQ(TopChildren(), (std::vector<std::string>{"late", "a", "b", "e"}));
    EXPECT_TRUE(ui->treeview1->isExpanded(ui->treeModel->index(0, 0)));
    const QString text = ui->treeModel->index(0, 0, ui->treeModel->index(0, 0)).data().toString();
    EXPECT_TRUE(text.trimmed().startsWith("100.0 MB late")) << text.toStdString();
    // The chart of the selected root follows.
    EXPECT_EQ(ChartRows().front(), "late");
    view->bDirectoryAnalysis_ApplyFilterClick();
    EXPECT_EQ(FolderRows().size(), 6u);
}

TEST_F(DirectoryAnalysisTest, SelectingAnotherFolderResetsTheChartSortAndEmptyFoldersDrawNoBars) {
    Scan();
    TListViewEx& chart = *ui->lvDirectoryChart;
    const int bar = chart.ColumnIndexOfCaption("Bar");
    EXPECT_EQ(chart.ColumnClicked, bar);
    EXPECT_EQ(ChartRows(), (std::vector<std::string>{"a", "b", "e"}));
    ColumnClick(chart, chart.ColumnIndexOfCaption("Path"));
    EXPECT_EQ(ChartRows(), (std::vector<std::string>{"a", "b", "e"}));
    ColumnClick(chart, chart.ColumnIndexOfCaption("Path"));
    EXPECT_EQ(ChartRows(), (std::vector<std::string>{"e", "b", "a"}));

    window->WidgetsForTest().pcTreeMapTreeSize->setCurrentWidget(window->WidgetsForTest().tsTreeSize);
    const auto greenPixels = [&] {
        const QImage image = chart.viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == QColor(0, 0x80, 0);
        return count;
    };
    EXPECT_GT(greenPixels(), 0);

    view->SelectTreeRecord(Record("e"));
    EXPECT_EQ(chart.ColumnClicked, bar);
    EXPECT_EQ(chart.HeaderImage(bar), 1);
    EXPECT_EQ(chart.HeaderImage(chart.ColumnIndexOfCaption("Path")), -1);
    EXPECT_EQ(ChartRows().size(), 2u);
    EXPECT_EQ(greenPixels(), 0);
}

TEST_F(DirectoryAnalysisTest, ExportWritesTheListedRowsInRowOrder) {
    Scan();
    const std::string file = view->bExportDirectoryAnalysisClick(false);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(std::filesystem::path(file).parent_path().string() + "/", DataFolder());
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 19), "\xEF\xBB\xBFpath:String:4000");  // with a byte-order mark
    const std::string root = dir.Path("tree");
    EXPECT_EQ(lines[1].substr(0, root.size() + 2), "+" + root + ",");
    EXPECT_EQ(lines[2].substr(0, 3 + root.size()), "  +" + root);  // "a", one level in
}

TEST_F(DirectoryAnalysisTest, OverviewIsEmptyBeforeAScanAndShowsTheLiveScan) {
    window->WidgetsForTest().pcTreeMapTreeSize->setCurrentWidget(window->WidgetsForTest().tsVolumeStatistics);
    EXPECT_EQ(window->WidgetsForTest().lvOverview->ItemsCount(), 0);
    Scan();
    ASSERT_EQ(window->WidgetsForTest().lvOverview->ItemsCount(), 6);
    EXPECT_EQ(window->WidgetsForTest().lvOverview->GetText_K(1, 0).toStdString(), "Age of snapshot");
    EXPECT_EQ(window->WidgetsForTest().lvOverview->GetText_K(1, 1).toStdString(), "0s");
    EXPECT_EQ(window->WidgetsForTest().lvOverview->GetText_K(3, 1).toStdString(),
              "17,825,803");  // 6 + 8 + 3 MiB + 11 bytes
    EXPECT_EQ(window->WidgetsForTest().lvOverview->GetText_K(5, 1).toStdString(), "5");
}

}  // namespace
}  // namespace tandrel
