#pragma once
// The "Compare Directories" page: lists the left folder with filters, compares
// each listed file with its counterpart under the right folder, filters the
// rows by status and words, and cleans up the left side (identical files,
// their dates, folders left empty). Listing and comparing run on workers
// polled every 100 ms behind the progress window of slot 3.
#include <QColor>
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "compare/dir_compare_thread.h"
#include "gui/widgets/lv_x.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class QTimer;
class QWidget;

namespace tandrel {

class TViewHost;
class ScanModel;
class TFormPleaseWait;
class TListViewEx;
class TThreadScanX;

// The page's components, private to the page; tests reach them through
// WidgetsForTest.
struct TFormCompareDirectoriesUi {
    QLineEdit* edLeftCompareDirectory = nullptr;
    QLineEdit* edRightCompareDirectory = nullptr;
    QPushButton* labelSwapFolders = nullptr;
    QCheckBox* cb_subdirs_directorycompare = nullptr;
    QLineEdit* edCompareFilter = nullptr;
    QLineEdit* edCompareFilter_Exclude = nullptr;
    QSpinBox* edMinSize = nullptr;
    QComboBox* cbMin = nullptr;
    QPushButton* btnScanSource = nullptr;
    QPushButton* bCompareFolders = nullptr;
    QPushButton* bCancelCompareDirectories = nullptr;
    QComboBox* cbProcessMode = nullptr;
    QCheckBox* cbShowIdentical = nullptr;
    QCheckBox* cbShowLeftOnly = nullptr;
    QCheckBox* cbDifferentSize = nullptr;
    QCheckBox* cbLooseCopy = nullptr;
    QCheckBox* cbOther = nullptr;
    QLineEdit* edFilter = nullptr;
    QPushButton* bDeleteFromDisk = nullptr;
    QPushButton* btnChangeFileDates = nullptr;
    TListViewEx* lvFilesList = nullptr;
    QLabel* labelTotals = nullptr;
    QMenu* popupFiles = nullptr;
    QWidget* cpanelEmptyFolders = nullptr;
    QListWidget* lbEmptyFolders = nullptr;
    QPushButton* bDeleteEmptyFolders = nullptr;
    QPushButton* bCancelEmptyFolders = nullptr;
};

// Row background by status; selected rows use the list's selection colours.
QColor CompareStatusColor(TFileCompareResult status);
// Whether a row of that status passes the status boxes. "Other" also takes
// the rows no other box names (unreadable, file missing), so no row is
// hidden whatever the boxes say while "Other" is on.
struct TCompareStatusBoxes {
    bool identical = true, leftOnly = true, differentSize = true, looseCopy = true, other = true;
};
bool StatusShown(TFileCompareResult status, const TCompareStatusBoxes& boxes);

// Folders at or below root that hold no entry at all, each ending in "/";
// links and mount points count as entries and are never entered.
std::vector<std::string> FindEmptyFolders(const std::string& root);
// Removes the listed folders that are still empty, then, pass after pass,
// the folders below root emptied by that; root itself only when listed.
// Returns how many folders went.
int DeleteEmptyFolders(const std::string& root, const std::vector<std::string>& listed);

class TFormCompareDirectories : public QObject, private TFormCompareDirectoriesUi {
    Q_OBJECT
public:
    TFormCompareDirectories(TViewHost& host, QWidget* page);
    // Stops a running job and waits for it.
    ~TFormCompareDirectories() override;

    // The commands of the page.
    void btnScanSourceClick();
    void bCompareFoldersClick();
    void bCancelClick();
    void SwapFolders();
    void bDeleteFromDiskClick();
    void btnChangeFileDatesClick();
    void bDeleteEmptyFoldersClick();
    void ResetFailed();
    void ResetSelected();
    void Refilter();
    // The folder-compare start mode: Scan, then Compare when the scan listed.
    void ScanThenCompare(const std::string& left, const std::string& right);

    bool Running() const;
    // The comparison list and the rows on display (in display order).
    const TFileEntryCompareList& Entries() const { return entries_; }
    const std::vector<TFileEntryCompare*>& Rows() const { return lx_.LvItems; }
    const std::string& LeftRoot() const { return scannedDirectoryLEFT; }
    const std::string& RightRoot() const { return scannedDirectoryRIGHT; }
    // How often the list was refilled: the delete must refill once.
    int RefillCount() const { return refills_; }
    // The text of a cell as drawn and as assistive technology reads it.
    QString CellText(int row, int column) const;

    TFormCompareDirectoriesUi& WidgetsForTest() { return *this; }

signals:
    // A Scan or a Compare ended (also when refused or cancelled).
    void ScanFinished();
    void CompareFinished();

private:
    void BuildWidgets(QWidget* page);
    void BuildMenu();
    void PollScan();
    void PollCompare();
    void EndScan();
    void EndCompare();
    void SetWorking(bool working);
    TFormPleaseWait* OpenWait(bool withPause);
    void CloseWait();
    std::int64_t MinSizeBytes() const;
    void DrawCell(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused);
    QIcon RowIcon(int row, int column);
    TFileEntryCompare* FocusedEntry() const;
    std::string LeftFileOf(const TFileEntryCompare& entry) const { return entry.Path + entry.FileName; }
    std::string RightFileOfEntry(const TFileEntryCompare& entry) const;
    void CopySelectedNames(int which);
    void OpenFile(bool right);
    void OpenFolder(bool right);
    void Properties(bool right);
    void ExternalCompare(int row);
    bool RootsAreSame() const;
    void ShowEmptyFolders();
    void UpdateProcessMode();

    TViewHost& host_;
    ScanModel& model_;
    TFileEntryCompareList entries_;
    // Rows made by the listing's worker; the window takes them when it ends.
    TFileEntryCompareList listed_;
    TLvX<TFileEntryCompare> lx_;
    std::string scannedDirectoryLEFT, scannedDirectoryRIGHT;
    bool flagComparing = false;
    bool flagScanSubdirectories = true;
    bool compareAfterScan_ = false;
    int refills_ = 0;
    std::vector<std::string> emptyFolders_;
    std::unique_ptr<TThreadScanX> scanJob_;
    std::unique_ptr<TThreadCompareX> compareJob_;
    QTimer* poll_ = nullptr;
};

}  // namespace tandrel
