#pragma once
// The one top-level window: the page control with every page, the strip of
// disk views, the main menu, the navigation panel, the floating panels
// ("Messages", "Save Snapshot", the settings), the bottom status panel, the
// busy guard of long operations and the start-up and shutdown sequences.
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/types.h"
#include "gui/shell/start_mode.h"
#include "gui/shell/view_host.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace tandrel {

class ScanModel;
class TBrenixProject;
class TCaptionPanelK;
class TFormDiskTreeMap;
class TFormDirectoryAnalysis;
class TListViewEx;
class TFormPleaseWait;
class TFormCompareFiles;
class TFormMultiRename;
class TFormCompareSnapshots;
class TFormCompareDirectories;
class TFormBrenixRCS;
class TFormTextChecks;
class TFormDuplicates;
class TScanRun;
class TSettingsPanel;
class TSaveSnapshotPanel;
class TFileOperationPanel;
class TThreadIcons;
class WindowMessages;

// The window's components. TFormMain keeps them private (it inherits this
// privately, as with a designer form); tests reach them through
// TFormMain::WidgetsForTest, views through TViewHost only.
struct TFormMainUi {
    QStackedWidget* pcMain = nullptr;
    QStackedWidget* pcTreeMapTreeSize = nullptr;
    QWidget *tsDiskX = nullptr, *tsTreeMap = nullptr, *tsTreeSize = nullptr, *tsDirectoryStatistics = nullptr,
            *tsFileStatistics = nullptr, *tsVolumeStatistics = nullptr, *tsCompareSnapshots = nullptr,
            *tsCompareDirectories = nullptr, *tsDuplicates = nullptr, *tsMultipleRename = nullptr,
            *tsCompareFiles = nullptr, *tsBrenixRCS_Check = nullptr, *tsDebug = nullptr, *tsPanels = nullptr,
            *tsSettingsCache = nullptr, *tsFileOperations = nullptr;
    QWidget* panelMainSwitch = nullptr;
    QToolButton *btnTreeSize = nullptr, *btnTreeMap = nullptr, *btnDirectoryStatistics = nullptr,
                *btnFileStatistics = nullptr, *btnOverview = nullptr;
    QPushButton* bTreeMap_SaveAsSnapshot3 = nullptr;
    QPushButton* bTreeMap_CompareSnapshotWith = nullptr;
    QWidget* panelTreemapHeaderHost = nullptr;
    QAction *miTreeMap = nullptr, *miTreeSize = nullptr, *miDirectoryStatistics = nullptr, *miFileStatistics = nullptr,
            *miOverview = nullptr, *miExit = nullptr, *miCompareSnapshots = nullptr, *miCompareDirectories = nullptr,
            *miDuplicateFiles = nullptr, *miRenameFiles = nullptr, *miTreemapSettings = nullptr,
            *miShellOptions = nullptr, *miFileComparisonSettings = nullptr, *miGeneralSettings = nullptr,
            *miFeedback = nullptr, *miSupport = nullptr, *miCheckUpdates = nullptr, *miAbout = nullptr;
    QAction *ActionSelectAll = nullptr, *ActionDebug = nullptr, *ActionF5 = nullptr;
    TCaptionPanelK* cpanelErrorLog = nullptr;
    QPlainTextEdit* edErrorLog = nullptr;
    TSaveSnapshotPanel* panelSaveSnapshot = nullptr;
    TSettingsPanel* panelSettings = nullptr;
    TFileOperationPanel* cpanelFileOperation = nullptr;
    QWidget* panelBottomStatus = nullptr;
    QLabel *LabelStatus = nullptr, *LabelStatus2 = nullptr;
    QPushButton* bCancelBottom = nullptr;
    QWidget* panelMenu = nullptr;
    QTreeWidget* BrenixNavBar1 = nullptr;
    QTimer *TimerInit = nullptr, *TimerHandleMenu = nullptr, *TimerQueryShellStatus = nullptr;
    TListViewEx* lvOverview = nullptr;
    // Persisted values of views that keep no control of their own.
    QLineEdit* edLastTreeMapTab = nullptr;
    QLineEdit* edSnapshotsDirectory = nullptr;
    // The small folder picture of the treemap's folder captions.
    QImage imageFolderIcon;
    // The list that last asked the icon fetcher while painting.
    QPointer<TListViewEx> lastActiveLV;

    // Navigation panel state.
    bool flagMenuShow = false;
    TDateTime flagMenuHideDt = 0;
    int flagMenuCount = 0;
    bool autoCompareMode = false;
    bool programInitialized = false;
    std::string autoSaveFn;
};

// Who asked for the volume picker, and so where its choice goes.
enum class TSelectVolumeTarget { TreeMap, CompareSnapshots1, CompareSnapshots2 };

class TFormMain : public QMainWindow, public TViewHost, private TFormMainUi {
    Q_OBJECT
public:
    // start: the mode decided from the command line (an ordinary run when empty).
    explicit TFormMain(ScanModel& model, StartRequest start = {}, QWidget* parent = nullptr);
    ~TFormMain() override;

    static std::string AppId() { return "Tandrel"; }

    // What the views may ask of the window.
    ScanModel& Model() override { return model_; }
    QWidget* HostWindow() override { return this; }
    void SetStatus(TFormPleaseWait* wait, const std::string& text) override;
    void SetStatus2(TFormPleaseWait* wait, const std::string& text) override;
    void SetStatusError(const std::string& text) override;
    void AddErrorLine(const std::string& text) override;
    QPointer<TFormPleaseWait>& PleaseWaitSlot(int slot) override;
    bool OperationInProgress() const override;
    void ShowViewPage(TViewPage page) override;
    bool IsViewPageVisible(TViewPage page) const override;
    bool AutoUpdateTreemap() const override;
    bool HardLinksOnce() const override;
    void RegisterSizeUnitEdit(QWidget* sizeEdit, QComboBox* unitBox) override;
    void FileOperation(TFileAction action, const std::string& selectedFilesText) override;
    void RenameFileDialog(const std::string& path) override;

    // Opens the file-operation panel for the treemap's selected item: sender
    // text "Copy to...", "Move to..." or "Delete"; another shows "Unknown mode".
    void miCopyMoveDeleteFilesClick(QObject* sender);
    TFileOperationPanel& FileOperationPanel() { return *cpanelFileOperation; }
    void SetLastActiveLV(TListViewEx* lv) override;

    // The icon fetcher's repaint after a batch: the treemap when its page is
    // shown, else the file statistics list when shown, else lastActiveLV.
    void UpdateActiveListview();
    // Made at the first show; null before.
    TThreadIcons* IconFetcher() const { return threadIcons_.get(); }

    // Page switching by menu item or speed button; another sender shows
    // "Unknown sender".
    void miToolsMenuGenericClick(QObject* sender);
    // Opens the settings panel on the page of the sender.
    void miShellOptionsClick(QObject* sender);
    // The volume picker for the treemap's select button or the snapshot
    // comparison's "bCompareSnapshotSelect1" and "bCompareSnapshotSelect2";
    // after OK the choice goes to that caller. Another sender shows "Unknown sender".
    void bTreeMap_GENERIC_SelectVolumesClick(QObject* sender);
    // Runs the picker modally with the start text in its filter; the second
    // comparison input accepts snapshots only. Empty on Cancel.
    std::optional<std::string> SelectVolume(TSelectVolumeTarget target, const std::string& startText);

    QStackedWidget* PageControl() const { return pcMain; }
    QWidget* VisiblePage() const;
    // The page and, for the disk views, the inner page shown now.
    bool IsPageVisible(const QWidget* page) const;
    std::string SnapshotsPath() const;
    const StartRequest& StartRequestOfRun() const { return start_; }
    TBrenixProject* ApplicationSettings() const { return applicationSettings_; }

    // The views and the scan run the window holds.
    TFormDiskTreeMap& TreemapView() { return *FormDiskTreeMap; }
    TFormDirectoryAnalysis& AnalysisView() { return *FormDirectoryAnalysis; }
    TFormCompareFiles& CompareFilesView() { return *FormCompareFiles; }
    TFormMultiRename& MultiRenameView() { return *FormMultiRename; }
    TFormCompareSnapshots& CompareSnapshotsView() { return *FormCompareSnapshots; }
    TFormCompareDirectories& CompareDirectoriesView() { return *FormCompareDirectories; }
    TFormBrenixRCS& BrenixRCSView() { return *FormBrenixRCS; }
    TFormTextChecks& TextChecksView() { return *FormTextChecks; }
    TFormDuplicates& DuplicatesView() { return *FormDuplicates; }
    TScanRun& ScanRun() { return *scanRun_; }

    // For tests only: the window's components.
    TFormMainUi& WidgetsForTest() { return *this; }

    // Folder-scan save-and-exit: the exit code the process ends with.
    int ExitCode() const { return exitCode_; }
    // Rebuilds the overview of the current scan (empty without one).
    void bShowOverviewClick();

signals:
    // The visible page of the page control changed.
    void PageChanged(QWidget* page);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void CreatePages();
    QWidget* AddPage(QStackedWidget* control, const char* name, const QString& caption);
    QWidget* AddToolPage(const char* name, const QString& caption, const char* backButton);
    void CreateMainSwitch(QWidget* host);
    void CreateOverviewPage();
    void ConnectScanViews();
    void CreateMenus();
    void CreateActions();
    void CreateFloatingPanels();
    void CreateStatusPanel();
    void CreateNavigationPanel();
    void CreateSettingsCache();
    void CreateSettingsStore();
    void ApplicationSettingsProjectLoad();
    void ApplicationSettingsProjectBeforeSave();
    void FormShowOnce();
    void CreateIconFetcher();
    void HandleCommandLine(bool act);
    void TimerInitTimer();
    void TimerHandleMenuTimer();
    void pcMainChangeX();
    void ShowPage(QWidget* page);
    void NavigationEnter();
    void NavigationLeave();
    void FillNavigationBar();
    void FormDestroy();
    void RunSaveAndExitScan();
    QWidget* PageOf(TViewPage page) const;

    ScanModel& model_;
    StartRequest start_;
    std::unique_ptr<WindowMessages> messages_;
    std::unique_ptr<TThreadIcons> threadIcons_;
    TBrenixProject* applicationSettings_ = nullptr;
    std::array<QPointer<TFormPleaseWait>, 3> pleaseWait_;
    std::vector<std::pair<QWidget*, QComboBox*>> sizeUnitEdits_;
    TFormDiskTreeMap* FormDiskTreeMap = nullptr;
    TFormDirectoryAnalysis* FormDirectoryAnalysis = nullptr;
    TFormCompareFiles* FormCompareFiles = nullptr;
    TFormMultiRename* FormMultiRename = nullptr;
    TFormCompareSnapshots* FormCompareSnapshots = nullptr;
    TFormCompareDirectories* FormCompareDirectories = nullptr;
    TFormBrenixRCS* FormBrenixRCS = nullptr;
    TFormTextChecks* FormTextChecks = nullptr;
    TFormDuplicates* FormDuplicates = nullptr;
    TScanRun* scanRun_ = nullptr;
    bool destroyed_ = false;
    int exitCode_ = 0;
};

}  // namespace tandrel
