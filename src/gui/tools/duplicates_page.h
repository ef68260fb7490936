#pragma once
// The "Duplicates" page: collects the files of one or more folders, lets the
// duplicate finder group identical files, lists the groups with word and
// name rules, shows the other copies of a file and deletes copies behind
// guards that never let the last copy of a group go: the file must be a
// different file on disk from every copy that stays (not the same file
// reached twice through two roots, a hard link or a symbolic link), and a
// copy that stays must still equal it byte for byte. Deleted files go to the
// trash and are logged. Collecting and searching run on workers polled every
// 100 ms behind the progress window of slot 3.
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "compare/duplicate_finder.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTimer;
class QWidget;
class QPainter;
class QRect;

namespace tandrel {

class TViewHost;
class ScanModel;
class TFormPleaseWait;
class TListViewEx;
class TThreadScanX;

// The page's components, private to the page; tests reach them through
// WidgetsForTest.
struct TFormDuplicatesUi {
    QLineEdit* edPathList = nullptr;
    QCheckBox* cbDuplicatesScanSubs = nullptr;
    QLineEdit* edFileFilter = nullptr;
    QLineEdit* edExcludeFilter = nullptr;
    QSpinBox* edMinSize = nullptr;
    QComboBox* cbMin = nullptr;
    QSpinBox* edMaxSize = nullptr;
    QComboBox* cbMax = nullptr;
    QPushButton* bScanDuplicates = nullptr;
    QPushButton* bFindDuplicates = nullptr;
    QCheckBox* cbLoadFromPVCache = nullptr;
    QLabel* lblProcessedFromCache = nullptr;
    QLabel* lblProcessedFromDisk = nullptr;
    QLabel* StaticText2x = nullptr;
    QLineEdit* edFilter = nullptr;
    QCheckBox* cbMatchFilename = nullptr;
    QCheckBox* cbMatchParentFolderName = nullptr;
    QComboBox* cbSessions = nullptr;
    QPushButton* bLoadSession = nullptr;
    QPushButton* bDeleteSession = nullptr;
    QPushButton* btnOptions = nullptr;
    QTimer* TimerLateFilter = nullptr;
    TListViewEx* lvDuplicates = nullptr;
    QLabel* labelDuplicatesOf = nullptr;
    TListViewEx* lvDuplicatesBottom = nullptr;
    QLabel* StaticText3x = nullptr;
    QMenu* popupDuplicates = nullptr;
    QMenu* popupBottom = nullptr;
    // Lower panel.
    QLineEdit* edDuplicate_Filter_Secondary = nullptr;
    QLineEdit* edDuplicate_Filter_Master = nullptr;
    QCheckBox* CheckBox1x = nullptr;
    QPushButton* bFilter = nullptr;
    QPushButton* bCleanupDeleted = nullptr;
    QPushButton* bExport = nullptr;
    QPushButton* bDeleteSelected = nullptr;
    QPushButton* bDeleteOthers = nullptr;
    // The delete panel: group page and folder page.
    QWidget* cpanelDeleteDuplicates = nullptr;
    QStackedWidget* pagesDelete = nullptr;
    QWidget* tsDeleteGroup = nullptr;
    QLabel* labelChecksum = nullptr;
    TListViewEx* lvDuplicates1 = nullptr;
    QPushButton* bRefreshGroup = nullptr;
    QPushButton* bDeleteSelectedGroup = nullptr;
    QPushButton* bCloseGroup = nullptr;
    QPushButton* bDeleteChecked = nullptr;
    QWidget* tsDeleteFolder = nullptr;
    QLabel* labelFilesInPath = nullptr;
    QLabel* labelFolderFiles = nullptr;
    TListViewEx* lvDuplicates2 = nullptr;
    TListViewEx* lvDuplicates3 = nullptr;
    QPushButton* bRefreshFolder = nullptr;
    QPushButton* bDeleteFiles = nullptr;
    QPushButton* bCloseFolder = nullptr;
    QPushButton* bExportFolder = nullptr;
    // The folder-pair statistics page, offered with the switch "debug".
    QStackedWidget* pagesMain = nullptr;
    QWidget* tsMain = nullptr;
    QPushButton* btnViewByPath = nullptr;
    QWidget* tsViewByPath = nullptr;
    TListViewEx* ListViewEx1 = nullptr;
    QPushButton* btnProcess = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QPushButton* btnOpenFolder1 = nullptr;
    QPushButton* btnOpenFolder2 = nullptr;
    QPushButton* btnTandrel = nullptr;
    QPushButton* btnBackFromPaths = nullptr;
    // The statistics of the two folders of the selected pair.
    QWidget* panelFolderPair = nullptr;
    QLabel* lblPairFolder1 = nullptr;
    QLabel* lblPairFolder2 = nullptr;
    QLabel* lblPairIdentical = nullptr;
};

// Empty when the paths name different files; otherwise "File PATH was
// referred twice. Possible fake duplicate. Cannot continue." for the first
// path listed twice (ignoring case) or reaching the same file as an earlier
// one (device and inode: a second root over the same folder, a hard link, a
// symbolic link).
std::string FakeDuplicateError(const std::vector<std::string>& paths);
// Whether the two paths reach one file on disk.
bool SameFileOnDisk(const std::string& a, const std::string& b);

class TFormDuplicates : public QObject, private TFormDuplicatesUi {
    Q_OBJECT
public:
    TFormDuplicates(TViewHost& host, QWidget* page);
    // Stops a running job and waits for it.
    ~TFormDuplicates() override;

    // The commands of the page.
    void bScanDuplicatesClick();
    void bFindDuplicatesClick();
    void bCancelClick();
    void RunGroupFilter();
    void bLoadSessionClick();
    void bDeleteSessionClick();
    void DeleteFileClick();  // one copy: "Delete File", Del, "Delete selected"
    void KeepFileDeleteOthersClick();
    void DeleteAllFromPathClick();  // the folder page for the selected file's folder
    void bFilterClick();            // secondary folder where a copy exists under the master
    void bCleanupDeletedClick();
    void bExportClick();
    void bExportFolderClick();
    void bDeleteCheckedClick();
    void bDeleteSelectedGroupClick();
    void bDeleteFilesClick();
    void bRefreshGroupClick();
    void bRefreshFolderClick();
    void CompareFilesWithTandrel();
    void CompareFilesExternal();
    void CompareFilesCmp();
    void CompareDirectoriesClick();
    void OpenClick();
    void LocateClick(bool bottom);
    void CreateRuleClick();
    // The folder-pair statistics page: shown, back, "Process" and its buttons.
    void btnViewByPathClick();
    void btnBackFromPathsClick();
    void btnProcessClick();
    void OpenPairFolderClick(bool second);
    void btnTandrelClick();
    // The desktop program's "duplicates" start: imports the list of full
    // paths, then searches it.
    void ImportAndFind(const std::string& listFile);
    // The saved searches whose results still exist, into the session box.
    void ListSessions();

    bool Running() const;
    TDuplicateFinder& Finder() { return finder_; }
    // The rows on display: positions in the duplicate list, kGroupSeparatorRow for a separator.
    const std::vector<int>& Rows() const { return rows_.rows; }
    // The text of a cell as drawn and as assistive technology reads it.
    QString CellText(int row, int column) const;
    // The entry positions listed on the folder page.
    const std::vector<int>& FolderPageEntries() const { return folderEntries_; }
    // The folder pairs listed on the statistics page, in row order.
    const std::vector<FileGroupStats>& FolderPairs() const { return pairs_; }
    QString PairCellText(int row, int column) const;
    // The file the last export wrote.
    const std::string& LastExport() const { return lastExport_; }

    TFormDuplicatesUi& WidgetsForTest() { return *this; }

signals:
    // A collection ended (also when refused or cancelled), and a search ended.
    void CollectFinished();
    void FindFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets(QWidget* page);
    void BuildDeletePanel(QWidget* page);
    void BuildMenus();
    void PageShown();
    void PollScan();
    void PollFind();
    void EndScan();
    void EndFind();
    void StartFind();
    void SetWorking(bool working);
    TFormPleaseWait* OpenWait(bool withPause);
    void CloseWait();
    std::int64_t MinSizeBytes() const;
    std::int64_t MaxSizeBytes() const;
    void ShowCounters();
    void ShowFileCount();
    void UpdateCacheOption();
    void SelectionChanged();
    void DrawCell(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused);
    // The entry of a file row, nullptr for a separator or outside the rows.
    const TFileEntryDuplicates* RowEntry(int row) const;
    // The one selected file row's entry position, -1 (after the message) otherwise.
    int SingleSelectedFile();
    // The two selected rows' entries; false after "Please select two files".
    bool TwoSelectedFiles(std::string& a, std::string& b);
    void OpenGroupPage(const std::string& key, int chosen, bool checkOthers);
    void RefreshGroupStatuses();
    // Moves the file to the trash after the guards; false when it stays.
    bool DeleteCopy(const std::string& path, const std::vector<std::string>& staying);
    void ShowFolderPage(const std::string& caption, std::vector<int> entries);
    void FolderPageSelectionChanged();
    void AfterDeletion();
    void AddSession(const std::string& spec);
    void BuildPairsPage(QStackedWidget* pages);
    void SortPairs();
    void PairSelectionChanged();
    // The selected pair, nullptr when none.
    const FileGroupStats* SelectedPair() const;
    // The groups a running search has finished since the last poll, as rows.
    void ShowFoundGroups();

    TViewHost& host_;
    ScanModel& model_;
    QWidget* page_ = nullptr;
    TDuplicateFinder finder_;
    TDuplicateRows rows_;
    std::string spec_;  // the folder specification of the collected files
    std::string groupKey_;
    std::vector<int> groupEntries_;      // lvDuplicates1's rows
    std::vector<int> folderEntries_;     // lvDuplicates2's rows
    std::vector<int> bottomEntries_;     // lvDuplicatesBottom's rows
    std::vector<FileGroupStats> pairs_;  // ListViewEx1's rows
    std::size_t groupsShown_ = 0;        // groups of a running search already in rows_
    // While a search runs: the group number of each row of rows_. The
    // records' own numbers, keys and flags belong to the search until it ends.
    std::vector<int> liveGroupIds_;
    std::string lastExport_;
    bool findAfterScan_ = false;
    bool collected_ = false;
    std::unique_ptr<TThreadScanX> scanJob_;
    std::unique_ptr<TThreadFindDuplicates> findJob_;
    QTimer* poll_ = nullptr;
};

}  // namespace tandrel
