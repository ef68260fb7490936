#pragma once
// The "Compare Snapshots" page: two snapshots (or a snapshot and a live
// folder) compared on a worker behind the progress window, then browsed as
// an overview, the changed files and folders by kind and a mixed list of
// every row, with show switches and a word filter. Every result list is a
// virtual list over the comparison's merged folder or file rows.
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "compare/snapshot_compare_report.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QPushButton;
class QRect;
class QTabWidget;
class QTimer;
class QWidget;

namespace tandrel {

class TFormPleaseWait;
class TListViewEx;
class TSnapshotComparison;
class TThreadCompareSnapshots;
class TViewHost;

// The page's components, private to the page; tests reach them through
// WidgetsForTest.
struct TFormCompareSnapshotsUi {
    QLineEdit* dirEdit1 = nullptr;  // right side: snapshot, volume or folder
    QLineEdit* dirEdit2 = nullptr;  // left side: snapshot
    QPushButton* bSelectVolumes1 = nullptr;
    QPushButton* bSelectVolumes2 = nullptr;
    QPushButton* bStart = nullptr;
    QPushButton* bCancel = nullptr;
    QLineEdit* ed_Filter = nullptr;
    QCheckBox *cbShowIdentical = nullptr, *cbShowNew = nullptr, *cbShowDeleted = nullptr, *cbShowUpdated = nullptr,
              *cbShowMoved = nullptr;
    QTimer* TimerFilter = nullptr;
    QTabWidget* pcPages = nullptr;  // "Overview", "Files", "Folders", "_Mixed"
    QTabWidget *pcFiles = nullptr, *pcFolders = nullptr, *pcMixed = nullptr;
    TListViewEx* lvOverview = nullptr;
    TListViewEx *lvNewFiles = nullptr, *lvDeletedFiles = nullptr, *lvUpdatedFiles = nullptr, *lvMovedFiles = nullptr;
    TListViewEx *lvNewDirectories = nullptr, *lvDeletedDirectories = nullptr, *lvUpdatedDirectories = nullptr,
                *lvMovedDirectories = nullptr;
    TListViewEx *lvDirectories = nullptr, *lvFiles = nullptr;
    QLabel *Label_Totals_New = nullptr, *labelTotalsDeleted = nullptr, *labelTotalsUpdated = nullptr,
           *labelTotalsMoved = nullptr;
    QMenu* PopupMenu = nullptr;
};

class TFormCompareSnapshots : public QObject, private TFormCompareSnapshotsUi {
    Q_OBJECT
public:
    // Builds the page into page; the two inputs follow the persisted edits
    // "edCompareVolumes1" and "edCompareVolumes2" of the host window.
    TFormCompareSnapshots(TViewHost& host, QWidget* page);
    // Stops a running comparison and waits for it.
    ~TFormCompareSnapshots() override;

    void bStartClick();
    void bCancelClick();
    bool Running() const { return job_ != nullptr; }

    // Refilters folders then files, keeping the lists' order of rows.
    void ApplyShowSwitches();
    // What TimerFilter runs: refilter, then re-sort each category list
    // that has a sort column.
    void TimerFilterTimer();

    // The current item of the row commands: the selected file path while a
    // file list is on screen, else the selected folder path.
    std::string CurrentItem() const;
    const std::string& SelectedFolderPath() const { return selectedFolder_; }
    const std::string& SelectedFilePath() const { return selectedFile_; }

    // Cell text of a result list, the same text the list draws.
    QString CellText(const TListViewEx* lv, int row, int column) const;

    TFormCompareSnapshotsUi& WidgetsForTest() { return *this; }

signals:
    // The select buttons ask the window for its volume picker.
    void SelectVolumesRequested(QObject* sender);
    // A run ended (cancelled, failed or done) and the page is usable again.
    void Finished();

private:
    enum class Kind {
        NewFiles,
        DeletedFiles,
        UpdatedFiles,
        MovedFiles,
        AllFiles,
        NewFolders,
        DeletedFolders,
        UpdatedFolders,
        MovedFolders,
        AllFolders
    };
    struct ListInfo {
        TListViewEx* lv;
        Kind kind;
        bool files;
    };

    TListViewEx* MakeList(QWidget* parent, const char* name, Kind kind, const QStringList& columns);
    const ListInfo* InfoOf(const TListViewEx* lv) const;
    void Poll();
    void EndRun();
    void ClearLists();
    void FillOverview();
    void FilterFolders();
    void FilterFiles();
    void SortList(const ListInfo& info);
    void DrawCell(const ListInfo& info, QPainter& painter, const QRect& cell, int row, int column, bool selected,
                  bool focused);
    QIcon CellIcon(const ListInfo& info, int row, int column);
    void RowSelected(const ListInfo& info, int row, bool selected);
    void ShowPopup(const ListInfo& info, const QPoint& globalPos);
    bool FileListOnScreen() const;
    TComparisonShow ShowSwitches() const;
    std::string SelectedFilesText(const ListInfo& info) const;
    std::string ComparisonProgram() const;
    void BindPersisted(QLineEdit* input, const char* persistedName);

    TViewHost& host_;
    TSnapshotComparison& comparison_;
    std::vector<ListInfo> lists_;
    QTimer* poll_ = nullptr;
    std::unique_ptr<TThreadCompareSnapshots> job_;
    QPointer<TFormPleaseWait> wait_;
    std::string selectedFolder_;
    std::string selectedFile_;
    const ListInfo* menuList_ = nullptr;  // the list whose row commands the menu runs
    bool shown_ = false;                  // lists point at a finished comparison
};

}  // namespace tandrel
