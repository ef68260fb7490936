#pragma once
// The volume picker "Select volumes / directories / snapshots": a folder or
// mount point to scan, or a stored snapshot of the snapshots folder, chosen
// in a modal dialog. The caller fills the filter and the flags, runs it and
// reads Result() after OK.
#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "platform/mounts.h"
#include "scan/scan_model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tandrel {

class TListViewEx;

// The dialog's components, private to it; tests reach them through
// TFormSelectVolumes::WidgetsForTest.
struct TFormSelectVolumesUi {
    QTabWidget* pcSelectVolumes = nullptr;
    QWidget* tsSnapshots = nullptr;
    QWidget* tsDirectories = nullptr;
    QLineEdit* edVolumeFilter = nullptr;
    QComboBox* JvDriveCombo1 = nullptr;
    TListViewEx* lbSnapshots = nullptr;
    TListViewEx* JvDriveList1 = nullptr;
    QStackedWidget* panelFolders = nullptr;
    QTreeWidget* JvDirectoryListBox1 = nullptr;
    // Shown instead of the tree when a drive's root cannot be read.
    QListWidget* lbNoFolders = nullptr;
    QCheckBox* cbShowSystemMounts = nullptr;
    QLineEdit* DirectoryEdit1 = nullptr;
    QPushButton* bOK = nullptr;
    QPushButton* bCancel = nullptr;
};

class TFormSelectVolumes : public QDialog, private TFormSelectVolumesUi {
    Q_OBJECT
public:
    TFormSelectVolumes(ScanModel& model, std::string snapshotsPath, QWidget* parent = nullptr);
    ~TFormSelectVolumes() override;

    // The caller has put a start text into the filter: showing keeps it.
    bool FlagCustomVolumeX = false;
    // Only a snapshot of the snapshots folder may be chosen.
    bool FlagForceSelectSnapshot = false;
    // Set once shown: from then on the drive box drives the filter.
    bool initialized = false;

    void SetFilterText(const std::string& text);
    std::string FilterText() const;
    // Hides the "Directory" page (a snapshot must be chosen).
    void HideDirectoriesPage();
    // The chosen folder path or snapshot file name, as the file system spells it.
    std::string Result() const;

    // Rebuilds the snapshot list from the filter: matching snapshots, newest first.
    void BuildSnapshotList();
    // OK: closes with the result OK unless the choice is refused.
    void bOKClick();

    // The full paths of the listed snapshots, in list order.
    std::vector<std::string> ListedSnapshots() const;

    TFormSelectVolumesUi& WidgetsForTest() { return *this; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SnapshotRow {
        std::string file;  // full path
        std::string name;  // file name
        QStringList cells;
    };

    void CreateSnapshotsPage();
    void CreateDirectoriesPage();
    void FormShow();
    void FillVolumes();
    void JvDriveCombo1Change();
    void MoveSnapshotSelection(int step);
    void lbSnapshotsSelectItem(int row);
    void JvDriveList1Change(int row);
    void ShowFolderTree(const std::string& root);
    void LoadFolderChildren(QTreeWidgetItem* item);
    void FolderChosen(QTreeWidgetItem* item);
    // Puts a path into DirectoryEdit1, remembering its bytes.
    void SetResult(const std::string& path);

    ScanModel& model_;
    std::string snapshotsPath_;
    std::vector<platform::Volume> volumes_;
    std::vector<SnapshotRow> rows_;
    // The bytes behind DirectoryEdit1's text while it shows them unchanged
    // (a name that is not UTF-8 shows with replacement characters).
    std::string resultBytes_;
    QString resultShown_;
    bool shownOnce_ = false;
};

}  // namespace tandrel
