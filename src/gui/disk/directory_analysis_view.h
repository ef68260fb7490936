#pragma once
// The folder and file statistics of the current scan, on three pages of the
// disk views: the tree of folder sizes with the chart of the selected
// folder's subfolders, the folder statistics down to a depth, and the files
// that pass a name, folder, size and date filter. Everything is read from the
// model under its lock, since the scan job may still be writing it.
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/widgets/lv_x.h"
#include "scan/scan_model.h"

class QCheckBox;
class QIcon;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QPushButton;
class QSpinBox;
class QToolButton;
class QTreeView;
class QWidget;

namespace tandrel {

class TViewHost;
class TTreeSizeItemModel;
struct TTreeSizeNode;

// The pages' components, private to the view (inherited privately, as with
// a designer form); tests reach them through WidgetsForTest.
struct TFormDirectoryAnalysisUi {
    // Tree size page.
    QTreeView* treeview1 = nullptr;
    TTreeSizeItemModel* treeModel = nullptr;
    QLabel* panelTreesizeTop = nullptr;
    TListViewEx* lvDirectoryChart = nullptr;
    std::unique_ptr<TLvX<TDirectoryEntry>> lvDirectoryChartLx;
    // Folder statistics page.
    QSpinBox* edLevels = nullptr;
    QPushButton* bExportDirectoryAnalysis = nullptr;
    TListViewEx* lvDirectoryAnalysis = nullptr;
    // File statistics page.
    QLineEdit *edFilename = nullptr, *edDirectory = nullptr;
    QSpinBox *edtSizeFrom = nullptr, *edtSizeTo = nullptr;
    QComboBox *cbbByteUnit = nullptr, *cbbDateMode = nullptr;
    QCheckBox *chkDateAfter = nullptr, *chkDateBefore = nullptr;
    QDateEdit *dtpDateAfter = nullptr, *dtpDateBefore = nullptr;
    QToolButton* bDateMenu = nullptr;
    QPushButton* bFilterFiles = nullptr;
    TListViewEx* lvFileAnalysis = nullptr;
    std::unique_ptr<TLvX<TDiskTreeMapEntry>> lvFileAnalysisLx;
    // Context menus.
    QMenu *popupChart1 = nullptr, *popupChart2 = nullptr, *popupDirectoryAnalysis = nullptr, *popupFile = nullptr;
};

class TFormDirectoryAnalysis : public QObject, private TFormDirectoryAnalysisUi {
    Q_OBJECT
public:
    // Builds its controls into the three pages; showExtraColumns keeps the
    // "Path" and "Bar" columns of the folder statistics.
    TFormDirectoryAnalysis(TViewHost& host, QWidget* treeSizePage, QWidget* folderStatisticsPage,
                           QWidget* fileStatisticsPage, bool showExtraColumns);
    ~TFormDirectoryAnalysis() override;

    // Shows or hides the "Path" and "Bar" columns of the folder statistics.
    void SetExtraColumns(bool show);
    // Forgets the last scan: folder records, rows and tree nodes.
    void DirectoryAnalysis_Init();
    // Brings the tree and the folder statistics up to date; complete only at
    // the end of a scan. Skipped while a cancel is pending.
    void DirectoryAnalysis_ProcessIncremental(bool complete);
    // The folder statistics rows down to the "Visible levels Threshold:".
    void bDirectoryAnalysis_ApplyFilterClick();
    // The file statistics rows of the filter.
    void FilterFiles();
    // Shows the chart of the selected tree node; fromUser resets its sort.
    void treeview1Change(bool fromUser);
    // Writes the folder statistics rows to a CSV file and opens it; returns
    // its path ("" when it could not be written).
    std::string bExportDirectoryAnalysisClick(bool open = true);
    // "Last n days" of the date menu.
    void ApplyDateMenu(int days);

    // The record of the selected tree node, null for none.
    TDirectoryEntry* SelectedFolderRecord() const;
    // Selects the tree node of a record (and shows its chart).
    void SelectTreeRecord(const TDirectoryEntry* record);

    // The file statistics list, which the icon fetcher's repaint may target.
    TListViewEx& FileStatisticsList() { return *lvFileAnalysis; }

    // For tests only: the pages' components.
    TFormDirectoryAnalysisUi& WidgetsForTest() { return *this; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTreeSizePage(QWidget* page);
    void CreateFolderStatisticsPage(QWidget* page, bool showExtraColumns);
    void CreateFileStatisticsPage(QWidget* page);
    void CreateMenus();

    // The rows in the order of the sort column; a column click also keeps
    // the selection around them.
    void SortFolderRows();
    void SortChartRows();
    void SortFileRows();

    void DrawFolderCell(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused);
    void DrawChartCell(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused);
    void DrawFileCell(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused);
    // The text each cell shows, what assistive technology reads; the drawing
    // above takes its texts from the same routines.
    QString FolderText(int row, int column);
    QString ChartText(int row, int column);
    QString FileText(int row, int column);
    // The "Filename" cell's icon from the icon fetcher; none until it has it.
    QIcon FileIcon(int row, int column);
    // The record of a folder statistics row, null outside the rows; under csTreemap.
    const TDirectoryEntry* FolderRowAt(int row);

    // The record or node a menu acts on, null with nothing selected.
    TDirectoryEntry* FolderRowRecord() const;
    TDiskTreeMapEntry* FileRowNode() const;
    // Menu commands on a folder path ("[files]" stands for its folder).
    void OpenFolderPath(const std::string& path);
    void CommandPromptHere(const std::string& path);

    ScanModel& Model();

    TViewHost& host_;
    QObject* treeViewport_ = nullptr;
    TTreeSizeNode* selectedTreeNode_ = nullptr;
    std::int64_t largestSiblingSize_ = -1;
    // Set while the tree changes under the view: its selection events are
    // not the user's.
    bool refreshingTree_ = false;
};

// The path a folder command acts on: a "[files]" record stands for its folder.
std::string FolderCommandPath(const TDirectoryEntry& record);

}  // namespace tandrel
