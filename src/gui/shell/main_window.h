#pragma once
// The one top-level window: the page control with every page, the strip of
// disk views, the main menu, the navigation panel, the floating panels
// ("Messages", "Save Snapshot", the settings), the bottom status panel, the
// busy guard of long operations and the start-up and shutdown sequences.
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/types.h"
#include "gui/shell/start_mode.h"

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
class TSettingsPanel;
class TSaveSnapshotPanel;
class WindowMessages;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // start: the mode decided from the command line (an ordinary run when empty).
    explicit TFormMain(ScanModel& model, StartRequest start = {}, QWidget* parent = nullptr);
    ~TFormMain() override;

    static std::string AppId() { return "Tandrel"; }

    // Status lines. With a progress window the text goes there.
    void SetStatus(TFormPleaseWait* wait, const std::string& text);
    void SetStatus2(TFormPleaseWait* wait, const std::string& text);
    void SetStatusError(const std::string& text);
    // Newest line on top; the "Messages" panel opens itself.
    void AddErrorLine(const std::string& text);

    // The three progress-window slots: 1 treemap scan, 2 snapshot comparison,
    // 3 directory comparison and duplicate search.
    QPointer<TFormPleaseWait>& PleaseWaitSlot(int slot);
    // True while any slot is occupied.
    bool OperationInProgress() const;

    // Page switching by menu item or speed button; another sender shows
    // "Unknown sender".
    void miToolsMenuGenericClick(QObject* sender);
    // Opens the settings panel on the page of the sender.
    void miShellOptionsClick(QObject* sender);

    ScanModel& Model() { return model_; }
    QStackedWidget* PageControl() const { return pcMain; }
    QWidget* VisiblePage() const;
    // The page and, for the disk views, the inner page shown now.
    bool IsPageVisible(const QWidget* page) const;
    // The full path of the item under the treemap's pointer (file operations read it).
    std::string SelectedFilesText;
    std::string SnapshotsPath() const;
    const StartRequest& StartRequestOfRun() const { return start_; }
    TBrenixProject* ApplicationSettings() const { return applicationSettings_; }

    // The window's components, public so that views and tests reach them by name.
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
    QWidget* panelBottomStatus = nullptr;
    QLabel *LabelStatus = nullptr, *LabelStatus2 = nullptr;
    QPushButton* bCancelBottom = nullptr;
    QWidget* panelMenu = nullptr;
    QTreeWidget* BrenixNavBar1 = nullptr;
    QTimer *TimerInit = nullptr, *TimerHandleMenu = nullptr, *TimerQueryShellStatus = nullptr;
    TFormDiskTreeMap* FormDiskTreeMap = nullptr;
    TFormDirectoryAnalysis* FormDirectoryAnalysis = nullptr;
    TListViewEx* lvOverview = nullptr;
    TFormCompareFiles* FormCompareFiles = nullptr;
    // Persisted values of views that keep no control of their own.
    QLineEdit* edLastTreeMapTab = nullptr;
    QLineEdit* edSnapshotsDirectory = nullptr;

    // Navigation panel state.
    bool flagMenuShow = false;
    TDateTime flagMenuHideDt = 0;
    int flagMenuCount = 0;
    bool autoCompareMode = false;
    bool programInitialized = false;
    std::string autoSaveFn;

    // Folder-scan save-and-exit: the exit code the process ends with.
    int ExitCode() const { return exitCode_; }
    // Rebuilds the overview of the current scan (empty without one).
    void bShowOverviewClick();
    // A size spin edit whose unit box follows the letters b, k, m and g typed into it.
    void RegisterSizeUnitEdit(QWidget* sizeEdit, QComboBox* unitBox);

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

    ScanModel& model_;
    StartRequest start_;
    std::unique_ptr<WindowMessages> messages_;
    TBrenixProject* applicationSettings_ = nullptr;
    std::array<QPointer<TFormPleaseWait>, 3> pleaseWait_;
    std::vector<std::pair<QWidget*, QComboBox*>> sizeUnitEdits_;
    bool destroyed_ = false;
    int exitCode_ = 0;
};

}  // namespace tandrel
