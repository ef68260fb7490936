#include "gui/shell/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "common/app_folders.h"
#include "common/command_line.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/message_routines.h"
#include "common/paths.h"
#include "common/strings.h"
#include "compare/compare_cache.h"
#include "gui/compare/dir_compare_page.h"
#include "gui/tools/duplicates_page.h"
#include "gui/compare/snapshot_compare_page.h"
#include "gui/disk/directory_analysis_view.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/disk/treemap_painter.h"
#include "gui/shell/file_operation_panel.h"
#include "gui/shell/save_snapshot_panel.h"
#include "gui/shell/select_volumes.h"
#include "gui/shell/settings_panel.h"
#include "gui/shell/settings_store.h"
#include "gui/shell/thread_icons.h"
#include "gui/shell/window_messages.h"
#include "gui/tools/check_ins_page.h"
#include "gui/tools/compare_files_page.h"
#include "gui/tools/multi_rename_page.h"
#include "gui/tools/text_checks_page.h"
#include "gui/widgets/caption_panel.h"
#include "gui/widgets/list_view_ex.h"
#include "gui/widgets/elided_label.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "platform/user_home.h"
#include "scan/debug_snapshot.h"
#include "scan/scan_model.h"
#include "scan/scan_overview.h"
#include "scan/snapshot_store.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kMenuCollapsedExtra = 24;
constexpr int kMenuExpandedHeight = 341;

}  // namespace

TFormMain::TFormMain(ScanModel& model, StartRequest start, QWidget* parent)
    : QMainWindow(parent), model_(model), start_(std::move(start)) {
    setObjectName("FormMain");
    setWindowTitle(Q(AppId()));
    FormCreate();
}

TFormMain::~TFormMain() { FormDestroy(); }

// ---- creation ----

void TFormMain::FormCreate() {
    // At most 80 % of the work area.
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        resize(std::min(1100, static_cast<int>(0.8 * area.width())),
               std::min(760, static_cast<int>(0.8 * area.height())));
    }
    messages_ = std::make_unique<WindowMessages>(this, [this](const std::string& line) { AddErrorLine(line); });
    SetMessages(messages_.get());

    CreatePages();
    CreateActions();
    CreateMenus();
    CreateStatusPanel();
    CreateFloatingPanels();
    CreateNavigationPanel();

    TimerInit = new QTimer(this);
    TimerInit->setObjectName("TimerInit");
    TimerInit->setInterval(200);
    TimerInit->setSingleShot(true);
    connect(TimerInit, &QTimer::timeout, this, &TFormMain::TimerInitTimer);
    TimerHandleMenu = new QTimer(this);
    TimerHandleMenu->setObjectName("TimerHandleMenu");
    TimerHandleMenu->setInterval(100);
    connect(TimerHandleMenu, &QTimer::timeout, this, &TFormMain::TimerHandleMenuTimer);
    TimerQueryShellStatus = new QTimer(this);
    TimerQueryShellStatus->setObjectName("TimerQueryShellStatus");
    TimerQueryShellStatus->setInterval(200);
    connect(TimerQueryShellStatus, &QTimer::timeout, this, [this] {
        TimerQueryShellStatus->stop();
        if (panelSettings->isVisible()) {
            panelSettings->QueryShellStatus();
            TimerQueryShellStatus->start();
        }
    });
    panelSettings->OnRegistrationChanged = [this] { TimerQueryShellStatus->start(); };

    CreateSettingsStore();
    HandleCommandLine(false);
}

QWidget* TFormMain::AddPage(QStackedWidget* control, const char* name, const QString& caption) {
    auto* page = new QWidget(control);
    page->setObjectName(name);
    page->setWindowTitle(caption);
    control->addWidget(page);
    return page;
}

QWidget* TFormMain::AddToolPage(const char* name, const QString& caption, const char* backButton) {
    QWidget* page = AddPage(pcMain, name, caption);
    auto* layout = new QVBoxLayout(page);
    auto* header = new QHBoxLayout;
    auto* back = new QPushButton(" << Back", page);
    back->setObjectName(backButton);
    connect(back, &QPushButton::clicked, this, [this] { miToolsMenuGenericClick(miTreeMap); });
    auto* title = new QLabel("<b>" + caption + "</b>", page);
    header->addWidget(back);
    header->addWidget(title, 1);
    layout->addLayout(header);
    return page;
}

void TFormMain::CreatePages() {
    pcMain = new QStackedWidget(this);
    pcMain->setObjectName("pcMain");
    setCentralWidget(pcMain);

    tsDiskX = AddPage(pcMain, "tsDiskX", "Disk Tree Map");
    auto* diskLayout = new QVBoxLayout(tsDiskX);
    diskLayout->setContentsMargins(0, 0, 0, 0);
    panelTreemapHeaderHost = new QWidget(tsDiskX);
    panelTreemapHeaderHost->setObjectName("panelTreemapHeaderHost");
    diskLayout->addWidget(panelTreemapHeaderHost);
    panelMainSwitch = new QWidget(tsDiskX);
    panelMainSwitch->setObjectName("panelMainSwitch");
    diskLayout->addWidget(panelMainSwitch);
    pcTreeMapTreeSize = new QStackedWidget(tsDiskX);
    pcTreeMapTreeSize->setObjectName("pcTreeMapTreeSize");
    diskLayout->addWidget(pcTreeMapTreeSize, 1);
    tsTreeMap = AddPage(pcTreeMapTreeSize, "tsTreeMap", "Tree Map");
    tsTreeSize = AddPage(pcTreeMapTreeSize, "tsTreeSize", "Tree Size");
    tsDirectoryStatistics = AddPage(pcTreeMapTreeSize, "tsDirectoryStatistics", "Folder Statistics");
    tsFileStatistics = AddPage(pcTreeMapTreeSize, "tsFileStatistics", "File Statistics");
    tsVolumeStatistics = AddPage(pcTreeMapTreeSize, "tsVolumeStatistics", "Overview");

    tsCompareSnapshots = AddToolPage("tsCompareSnapshots", "Compare Snapshots", "bBackCompareSnapshots");
    tsCompareDirectories = AddToolPage("tsCompareDirectories", "Compare Directories", "bBackCompareDirectories");
    tsDuplicates = AddToolPage("tsDuplicates", "Duplicates", "bBackDuplicates");
    tsMultipleRename = AddToolPage("tsMultipleRename", "Multi-Rename", "bBackMultipleRename");
    tsCompareFiles = AddToolPage("tsCompareFiles", "Compare files", "bBackCompareFiles");
    tsBrenixRCS_Check = AddToolPage("tsBrenixRCS_Check", "BrenixRCS", "bBackBrenixRCS");
    tsDebug = AddToolPage("tsDebug", "_Debug", "bBackDebug");
    tsPanels = AddPage(pcMain, "tsPanels", "_Panels");
    tsSettingsCache = AddPage(pcMain, "tsSettingsCache", "_Settings_Cache");
    tsFileOperations = AddToolPage("tsFileOperations", "_tsFileOperations", "bBackFileOperations");
    CreateSettingsCache();

    CreateMainSwitch(panelMainSwitch);

    FormDiskTreeMap = new TFormDiskTreeMap(*this, tsTreeMap, panelTreemapHeaderHost);
    FormDirectoryAnalysis =
        new TFormDirectoryAnalysis(*this, tsTreeSize, tsDirectoryStatistics, tsFileStatistics, false);
    scanRun_ = new TScanRun(*this, *FormDiskTreeMap, this);
    CreateOverviewPage();
    ConnectScanViews();
    FormCompareFiles = new TFormCompareFiles(*this, tsCompareFiles);
    FormMultiRename = new TFormMultiRename(*this, tsMultipleRename);
    FormCompareSnapshots = new TFormCompareSnapshots(*this, tsCompareSnapshots);
    connect(FormCompareSnapshots, &TFormCompareSnapshots::SelectVolumesRequested, this,
            [this](QObject* sender) { bTreeMap_GENERIC_SelectVolumesClick(sender); });
    FormCompareDirectories = new TFormCompareDirectories(*this, tsCompareDirectories);
    FormBrenixRCS = new TFormBrenixRCS(*this, tsBrenixRCS_Check);
    FormTextChecks = new TFormTextChecks(*this, tsFileOperations);
    FormDuplicates = new TFormDuplicates(*this, tsDuplicates);

    connect(pcMain, &QStackedWidget::currentChanged, this, [this] { pcMainChangeX(); });
    connect(pcTreeMapTreeSize, &QStackedWidget::currentChanged, this, [this] { pcMainChangeX(); });
}

void TFormMain::CreateMainSwitch(QWidget* host) {
    auto* layout = new QHBoxLayout(host);
    layout->setContentsMargins(4, 2, 4, 2);
    auto speed = [&](const char* name, const QString& text) {
        auto* button = new QToolButton(host);
        button->setObjectName(name);
        button->setText(text);
        button->setCheckable(true);
        button->setAutoExclusive(true);
        layout->addWidget(button);
        return button;
    };
    btnTreeSize = speed("btnTreeSize", " TreeSize");
    btnTreeMap = speed("btnTreeMap", " TreeMap");
    btnDirectoryStatistics = speed("btnDirectoryStatistics", " Folder Statistics");
    btnFileStatistics = speed("btnFileStatistics", " File Statistics");
    btnOverview = speed("btnOverview", " Overview");
    layout->addStretch(1);
    bTreeMap_SaveAsSnapshot3 = new QPushButton("Save as snapshot", host);
    bTreeMap_SaveAsSnapshot3->setObjectName("bTreeMap_SaveAsSnapshot3");
    bTreeMap_SaveAsSnapshot3->setEnabled(false);
    bTreeMap_CompareSnapshotWith = new QPushButton("Compare with snapshot", host);
    bTreeMap_CompareSnapshotWith->setObjectName("bTreeMap_CompareSnapshotWith");
    bTreeMap_CompareSnapshotWith->setEnabled(false);
    layout->addWidget(bTreeMap_SaveAsSnapshot3);
    layout->addWidget(bTreeMap_CompareSnapshotWith);
    connect(bTreeMap_SaveAsSnapshot3, &QPushButton::clicked, this,
            [this] { panelSaveSnapshot->bTreeMap_SaveAsSnapshotClick(); });
    connect(bTreeMap_CompareSnapshotWith, &QPushButton::clicked, this, [this] {
        // The scanned folder becomes the live right side; the user picks the
        // older snapshot to hold it against.
        const std::string folder = FormDiskTreeMap->Folder();
        if (platform::DirectoryExists(folder))
            if (auto* right = findChild<QLineEdit*>("edCompareVolumes1")) right->setText(Q(folder));
        miToolsMenuGenericClick(miCompareSnapshots);
    });
    // Bound to toggled, not clicked: the keyboard and the accessibility
    // layer's "Toggle" action check the button without a click. Checking
    // the button of the page already shown (as pcMainChangeX does) switches nothing.
    // The menu items are made later: each is read when its button toggles.
    struct Switch {
        QToolButton* button;
        QAction* TFormMainUi::*item;
        QWidget* page;
    };
    for (const Switch& s : {Switch{btnTreeSize, &TFormMainUi::miTreeSize, tsTreeSize},
                            Switch{btnTreeMap, &TFormMainUi::miTreeMap, tsTreeMap},
                            Switch{btnDirectoryStatistics, &TFormMainUi::miDirectoryStatistics, tsDirectoryStatistics},
                            Switch{btnFileStatistics, &TFormMainUi::miFileStatistics, tsFileStatistics},
                            Switch{btnOverview, &TFormMainUi::miOverview, tsVolumeStatistics}}) {
        connect(s.button, &QToolButton::toggled, this, [this, item = s.item, page = s.page](bool checked) {
            TFormMainUi& ui = *this;
            if (checked && !IsPageVisible(page)) miToolsMenuGenericClick(ui.*item);
        });
    }
}

void TFormMain::CreateActions() {
    ActionSelectAll = new QAction("Select all", this);
    ActionSelectAll->setObjectName("ActionSelectAll");
    ActionSelectAll->setShortcut(QKeySequence("Ctrl+A"));
    ActionSelectAll->setShortcutContext(Qt::WindowShortcut);
    connect(ActionSelectAll, &QAction::triggered, this, [] {
        QWidget* focused = QApplication::focusWidget();
        if (auto* edit = qobject_cast<QLineEdit*>(focused))
            edit->selectAll();
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(focused))
            memo->selectAll();
    });
    ActionDebug = new QAction("Debug", this);
    ActionDebug->setObjectName("ActionDebug");
    ActionDebug->setShortcut(QKeySequence("Ctrl+Shift+D"));
    connect(ActionDebug, &QAction::triggered, this, [this] {
        if (IsPageVisible(tsTreeMap))
            FormDiskTreeMap->ShowDebugPanels();
        else
            ShowPage(tsDebug);
    });
    ActionF5 = new QAction("Refresh", this);
    ActionF5->setObjectName("ActionF5");
    ActionF5->setShortcut(QKeySequence(Qt::Key_F5));
    // F5 re-runs the pending check-ins check while its page is shown.
    connect(ActionF5, &QAction::triggered, this, [this] {
        if (IsPageVisible(tsBrenixRCS_Check)) FormBrenixRCS->bCheckRepositoryClick();
    });
    addAction(ActionSelectAll);
    addAction(ActionDebug);
    addAction(ActionF5);
}

void TFormMain::CreateMenus() {
    auto item = [this](QMenu* menu, QAction*& action, const char* name, const QString& text) {
        action = menu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, action] {
            if (action == miExit)
                close();
            else if (action == miTreemapSettings || action == miShellOptions || action == miFileComparisonSettings ||
                     action == miGeneralSettings)
                miShellOptionsClick(action);
            else if (action == miFeedback || action == miSupport || action == miCheckUpdates || action == miAbout)
                QMessageBox::about(this, "About Tandrel", "Tandrel\nDisk usage and file management.");
            else
                miToolsMenuGenericClick(action);
        });
    };
    QMenu* file = menuBar()->addMenu("&File");
    item(file, miTreeMap, "miTreeMap", "Disk Tree Map");
    item(file, miTreeSize, "miTreeSize", "Disk Tree Size");
    item(file, miDirectoryStatistics, "miDirectoryStatistics", "Directory Statistics");
    item(file, miFileStatistics, "miFileStatistics", "File Statistics");
    item(file, miOverview, "miOverview", "Overview");
    file->addSeparator();
    item(file, miExit, "miExit", "Exit");
    QMenu* tools = menuBar()->addMenu("&Tools");
    item(tools, miCompareSnapshots, "miCompareSnapshots", "Compare snapshots");
    item(tools, miCompareDirectories, "miCompareDirectories", "Compare directories");
    item(tools, miDuplicateFiles, "miDuplicateFiles", "Locate Duplicate Files");
    item(tools, miRenameFiles, "miRenameFiles", "Rename files");
    QMenu* options = menuBar()->addMenu("Options");
    item(options, miTreemapSettings, "miTreemapSettings", "Treemap settings");
    item(options, miShellOptions, "miShellOptions", "Shell Options");
    item(options, miFileComparisonSettings, "miFileComparisonSettings", "File Comparison settings");
    item(options, miGeneralSettings, "miGeneralSettings", "External applications settings");
    QMenu* help = menuBar()->addMenu("&Help");
    item(help, miFeedback, "miFeedback", "Feedback");
    item(help, miSupport, "miSupport", "Support forums");
    item(help, miCheckUpdates, "miCheckUpdates", "Check for Updates...");
    item(help, miAbout, "miAbout", "About");
}

void TFormMain::CreateStatusPanel() {
    panelBottomStatus = new QWidget(this);
    panelBottomStatus->setObjectName("panelBottomStatus");
    auto* layout = new QHBoxLayout(panelBottomStatus);
    layout->setContentsMargins(6, 2, 6, 2);
    auto* lines = new QVBoxLayout;
    LabelStatus = new QLabel(panelBottomStatus);
    LabelStatus->setObjectName("LabelStatus");
    LabelStatus->setTextFormat(Qt::PlainText);
    LabelStatus2 = new QLabel(panelBottomStatus);
    LabelStatus2->setObjectName("LabelStatus2");
    LabelStatus2->setTextFormat(Qt::PlainText);
    LabelStatus2->hide();
    lines->addWidget(LabelStatus);
    lines->addWidget(LabelStatus2);
    layout->addLayout(lines, 1);
    bCancelBottom = new QPushButton("Cancel", panelBottomStatus);
    bCancelBottom->setObjectName("bCancelBottom");
    connect(bCancelBottom, &QPushButton::clicked, this, [this] { model_.CancelOperation = true; });
    layout->addWidget(bCancelBottom);
    statusBar()->addWidget(panelBottomStatus, 1);
    statusBar()->hide();
}

void TFormMain::CreateFloatingPanels() {
    cpanelErrorLog = new TCaptionPanelK("Messages", this);
    cpanelErrorLog->setObjectName("cpanelErrorLog");
    edErrorLog = new QPlainTextEdit(cpanelErrorLog);
    edErrorLog->setObjectName("edErrorLog");
    edErrorLog->setReadOnly(true);
    edErrorLog->setMinimumSize(420, 140);
    auto* clear = new QPushButton("clear", cpanelErrorLog);
    clear->setObjectName("bClearLog");
    connect(clear, &QPushButton::clicked, edErrorLog, &QPlainTextEdit::clear);
    cpanelErrorLog->Body()->addWidget(edErrorLog, 1);
    cpanelErrorLog->Body()->addWidget(clear, 0, Qt::AlignRight);
    cpanelErrorLog->OnCaptionButton = [this] {
        cpanelErrorLog->hide();
        edErrorLog->clear();
    };
    cpanelErrorLog->resize(460, 220);

    panelSaveSnapshot = new TSaveSnapshotPanel(*this);
    connect(panelSaveSnapshot, &TSaveSnapshotPanel::Saved, this,
            [this] { bTreeMap_SaveAsSnapshot3->setEnabled(false); });
    cpanelFileOperation = new TFileOperationPanel(*this, this);
    // The map follows what the panel did to the scanned tree.
    connect(cpanelFileOperation, &TFileOperationPanel::FilesChanged, this,
            [this](const std::vector<TDiskChange>& changes) { FormDiskTreeMap->ApplyDiskChanges(changes); });
    auto* dateTools = new QWidget(tsFileOperations);
    tsFileOperations->layout()->addWidget(dateTools);
    static_cast<QVBoxLayout*>(tsFileOperations->layout())->addStretch(1);
    cpanelFileOperation->CreateDateTools(dateTools);
    auto* debugFileOperations = new QPushButton("File operations", tsDebug);
    debugFileOperations->setObjectName("bDebugFileOperations");
    tsDebug->layout()->addWidget(debugFileOperations);
    connect(debugFileOperations, &QPushButton::clicked, this, [this] { ShowPage(tsFileOperations); });
    // The snapshot body format of a folder, written as text for a look at it.
    auto* debugFolder = new QLineEdit(tsDebug);
    debugFolder->setObjectName("edDebugSnapshotFolder");
    debugFolder->setPlaceholderText("Folder to write in the snapshot format");
    debugFolder->setAccessibleName("Folder to write in the snapshot format");
    tsDebug->layout()->addWidget(debugFolder);
    auto* debugSnapshot = new QPushButton("Generate snapshot - new format", tsDebug);
    debugSnapshot->setObjectName("bDebugGenerateSnapshot");
    tsDebug->layout()->addWidget(debugSnapshot);
    connect(debugSnapshot, &QPushButton::clicked, this, [this, debugFolder] {
        const std::string folder = debugFolder->text().toStdString();
        if (!platform::DirectoryExists(folder)) {
            ShowInfo("Folder not found: " + folder);
        } else if (!WriteDebugSnapshot(folder)) {
            ShowError("Could not write " + DebugSnapshotFile());
        } else {
            SetStatus(nullptr, "Written to " + DebugSnapshotFile());
        }
    });

    panelSettings = new TSettingsPanel(*this);
    connect(panelSettings, &TSettingsPanel::Closed, this, [this] {
        FormDiskTreeMap->TakeSettings(*panelSettings);
        if (applicationSettings_ && applicationSettings_->Active) applicationSettings_->SaveProjectX();
    });
    connect(panelSettings, &TSettingsPanel::ShowDynamicMenuChanged, this, [this](bool on) {
        panelMenu->setVisible(on);
        if (on) panelMenu->raise();
    });
}

void TFormMain::CreateSettingsCache() {
    // Values of views that are persisted here rather than in a control of
    // their own; the views read them at load and write them before a save.
    // Scrolled, so that the many edits never dictate the window's smallest size.
    auto* scroll = new QScrollArea(tsSettingsCache);
    scroll->setWidgetResizable(true);
    (new QVBoxLayout(tsSettingsCache))->addWidget(scroll);
    auto* holder = new QWidget(scroll);
    scroll->setWidget(holder);
    auto* layout = new QVBoxLayout(holder);
    auto edit = [&](const char* name, const QString& value) {
        auto* e = new QLineEdit(value, holder);
        e->setObjectName(name);
        layout->addWidget(e);
        return e;
    };
    edit("edLeftCompareDirectory", "");
    edit("edRightCompareDirectory", "");
    edit("edDuplicatesPathList", "");
    edit("edCompareFilter", "*.*");
    edit("edEditorFilename", "");
    edit("edBrenixRCSPath", Q(PathJoin(platform::UserHomeFolder(), "backups/rcs/")));
    edit("edBrenixRCS_Extensions", "*.php; *.pas; *.dfm; *.dpr; *.cs; *.cpp; *.aspx; *.js; *.css; *.config; *.php");
    edit("edBrenixRCSFilter_exclude", "webwork;/lz");
    edit("edBrenixRCSFilter_include", "");
    edit("edDirectoryToAnalyze", "");
    edSnapshotsDirectory = edit("edSnapshotsDirectory", "");
    edit("edCompareVolumes1", "");
    edit("edCompareVolumes2", "");
    edLastTreeMapTab = edit("edLastTreeMapTab", "0");
    // "lbHistory" is the file-operation panel's own destination history.
    auto* sessions = new QListWidget(holder);
    sessions->setObjectName("lbDuplicateSessions");
    layout->addWidget(sessions);
    auto* extraColumns = new QCheckBox("Show extra columns", holder);
    extraColumns->setObjectName("cbShowExtraDirectoryStatisticsColumns");
    layout->addWidget(extraColumns);
    layout->addStretch(1);
}

void TFormMain::CreateOverviewPage() {
    auto* layout = new QVBoxLayout(tsVolumeStatistics);
    layout->setContentsMargins(0, 0, 0, 0);
    lvOverview = new TListViewEx(tsVolumeStatistics);
    lvOverview->setObjectName("lvOverview");
    lvOverview->SetOwnerData(false);
    lvOverview->SetDesignedColumns({"Description:200:L:0", "Value:400:L:0"});
    layout->addWidget(lvOverview);
    // The page is rebuilt each time it becomes visible.
    connect(pcTreeMapTreeSize, &QStackedWidget::currentChanged, this, [this] {
        if (pcTreeMapTreeSize->currentWidget() == tsVolumeStatistics) bShowOverviewClick();
    });
}

void TFormMain::bShowOverviewClick() {
    lvOverview->Clear();
    const OverviewRows rows = BuildOverviewRows(model_, model_.ScanPath, Now());
    for (const auto& [description, value] : rows) lvOverview->AddRange({Q(description), Q(value)});
    SetStatus(PleaseWaitSlot(1), "");
}

// The views a scan run keeps current beside the map, and what the map and
// the run announce to the window's own controls.
void TFormMain::ConnectScanViews() {
    TFormDirectoryAnalysis* analysis = FormDirectoryAnalysis;
    scanRun_->ScanViews.reset = [analysis] { analysis->DirectoryAnalysis_Init(); };
    scanRun_->ScanViews.refresh = [analysis](bool complete) {
        analysis->DirectoryAnalysis_ProcessIncremental(complete);
    };
    scanRun_->ScanViews.filter = [analysis] {
        analysis->bDirectoryAnalysis_ApplyFilterClick();
        analysis->FilterFiles();
    };
    scanRun_->ScanViews.overview = [this] { bShowOverviewClick(); };
    connect(FormDiskTreeMap, &TFormDiskTreeMap::ScanRequested, scanRun_, [this] { scanRun_->Start(); });
    connect(FormDiskTreeMap, &TFormDiskTreeMap::UpdateNowRequested, scanRun_, &TScanRun::UpdateNow);
    connect(FormDiskTreeMap, &TFormDiskTreeMap::SelectVolumesRequested, this,
            [this](QObject* sender) { bTreeMap_GENERIC_SelectVolumesClick(sender); });
    connect(scanRun_, &TScanRun::SnapshotSavable, bTreeMap_SaveAsSnapshot3, &QPushButton::setEnabled);
    connect(scanRun_, &TScanRun::ScanEnded, bTreeMap_CompareSnapshotWith,
            [this] { bTreeMap_CompareSnapshotWith->setEnabled(true); });
}

void TFormMain::CreateSettingsStore() {
    applicationSettings_ = new TBrenixProject(this);
    applicationSettings_->setObjectName("ApplicationSettings");
    applicationSettings_->PropertiesList = {"edLeftCompareDirectory.Text",
                                            "edRightCompareDirectory.Text",
                                            "edDuplicatesPathList.Text",
                                            "edDuplicatesMinSize.Value",
                                            "edCompareFilter.Text",
                                            "edEditorFilename.Text",
                                            "edRenameFilter.Text",
                                            "edRenameDirectory.Text",
                                            "edBrenixRCSPath.Text",
                                            "edBrenixRCS_Extensions.Text",
                                            "edBrenixRCSFilter_exclude.Text",
                                            "edBrenixRCSFilter_include.Text",
                                            "edBrenixRCSProgram.Text",
                                            "edTreemapDirectory.Text",
                                            "edDirectoryToAnalyze.Text",
                                            "edSnapshotsDirectory.Text",
                                            "edCompareVolumes1.Text",
                                            "edCompareVolumes2.Text",
                                            "edLastTreeMapTab.Text",
                                            "panelSearchResults.Left",
                                            "panelSearchResults.Top",
                                            "panelSearchResults.Width",
                                            "panelSearchResults.Height",
                                            "lbHistory.Items",
                                            "rgFolderColors.ItemIndex",
                                            "cbCloseOnSelect.Checked",
                                            "cbShowDynamicMenu.Checked",
                                            "cbShowExtraDirectoryStatisticsColumns.Checked",
                                            "lbDuplicateSessions.Items",
                                            "cbAutoUpdateTreemap.Checked",
                                            "cbIncludeFreeSpace.Checked",
                                            "edWinMergePath.Text",
                                            "cbMonitorChanges.Checked",
                                            "cbHardLinksOnce.Checked"};
    applicationSettings_->OnProjectLoad = [this] { ApplicationSettingsProjectLoad(); };
    applicationSettings_->OnProjectBeforeSave = [this] { ApplicationSettingsProjectBeforeSave(); };
}

void TFormMain::ApplicationSettingsProjectLoad() {
    // The views that keep their persisted values on this window read them
    // when they are built; the treemap's own controls are persisted directly.
    FormDiskTreeMap->TakeSettings(*panelSettings);
    if (auto* extra = findChild<QCheckBox*>("cbShowExtraDirectoryStatisticsColumns"))
        FormDirectoryAnalysis->SetExtraColumns(extra->isChecked());
}

void TFormMain::ApplicationSettingsProjectBeforeSave() {}

// ---- status, log and the busy guard ----

void TFormMain::SetStatus(TFormPleaseWait* wait, const std::string& text) {
    std::lock_guard lock(model_.csTreemap);
    std::string shown = text.starts_with(">") ? "processing folder\r\n" + text : text;
    if (wait) {
        // Plain text: a "&" in a path is shown as it is.
        wait->Label1->SetFullText(Q(shown));
        wait->Label1->repaint();
        return;
    }
    const QString label = Q(shown).replace("&", "&&");
    LabelStatus->setVisible(true);
    QPalette palette = LabelStatus->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    LabelStatus->setPalette(palette);
    LabelStatus->setText(label);
    LabelStatus->repaint();
    bCancelBottom->setVisible(OperationInProgress());
    if (!statusBar()->isVisible()) statusBar()->show();
}

void TFormMain::SetStatus2(TFormPleaseWait* wait, const std::string& text) {
    if (wait) {
        wait->Label3->setVisible(true);
        wait->Label3->setText(Q(text));
        return;
    }
    LabelStatus2->setVisible(true);
    LabelStatus2->setText(Q(text));
    if (!statusBar()->isVisible()) statusBar()->show();
}

void TFormMain::SetStatusError(const std::string& text) {
    LabelStatus->setVisible(true);
    QPalette palette = LabelStatus->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    LabelStatus->setPalette(palette);
    LabelStatus->setText(Q(text));
    if (!statusBar()->isVisible()) statusBar()->show();
}

void TFormMain::AddErrorLine(const std::string& text) {
    QTextCursor cursor(edErrorLog->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(Q(text) + (edErrorLog->document()->isEmpty() ? "" : "\n"));
    if (!cpanelErrorLog->isVisible()) {
        QWidget* focused = QApplication::focusWidget();
        if (cpanelErrorLog->pos() == QPoint(0, 0)) {
            cpanelErrorLog->move(std::max(0, width() - cpanelErrorLog->width() - 12),
                                 std::max(0, height() - cpanelErrorLog->height() - 40));
        }
        cpanelErrorLog->show();
        cpanelErrorLog->raise();
        if (focused) focused->setFocus();
    }
}

void TFormMain::FileOperation(TFileAction action, const std::string& selectedFilesText) {
    cpanelFileOperation->OpenFor(action, selectedFilesText);
}

void TFormMain::RenameFileDialog(const std::string& path) { cpanelFileOperation->RenameFileDialog(path); }

void TFormMain::miCopyMoveDeleteFilesClick(QObject* sender) {
    QString text;
    if (auto* action = qobject_cast<QAction*>(sender))
        text = action->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(sender))
        text = button->text();
    text.remove('&');
    const std::string selected = FormDiskTreeMap->SelectedFilesText();
    if (text == "Copy to...")
        FileOperation(TFileAction::Copy, selected);
    else if (text == "Move to...")
        FileOperation(TFileAction::Move, selected);
    else if (text == "Delete")
        FileOperation(TFileAction::Delete, selected);
    else
        ShowInfo("Unknown mode");
}

QPointer<TFormPleaseWait>& TFormMain::PleaseWaitSlot(int slot) {
    return pleaseWait_.at(static_cast<std::size_t>(std::clamp(slot, 1, 3) - 1));
}

bool TFormMain::OperationInProgress() const {
    return std::any_of(pleaseWait_.begin(), pleaseWait_.end(), [](const auto& slot) { return !slot.isNull(); });
}

std::string TFormMain::SnapshotsPath() const { return model_.SnapshotsPath; }

bool TFormMain::AutoUpdateTreemap() const { return panelSettings->cbAutoUpdateTreemap->isChecked(); }
bool TFormMain::HardLinksOnce() const { return panelSettings->HardLinksOnce(); }

// ---- pages ----

QWidget* TFormMain::VisiblePage() const { return pcMain->currentWidget(); }

QWidget* TFormMain::PageOf(TViewPage page) const {
    switch (page) {
        case TViewPage::TreeMap:
            return tsTreeMap;
        case TViewPage::TreeSize:
            return tsTreeSize;
        case TViewPage::DirectoryStatistics:
            return tsDirectoryStatistics;
        case TViewPage::FileStatistics:
            return tsFileStatistics;
        case TViewPage::Overview:
            return tsVolumeStatistics;
        case TViewPage::CompareFiles:
            return tsCompareFiles;
    }
    return nullptr;
}

bool TFormMain::IsViewPageVisible(TViewPage page) const { return IsPageVisible(PageOf(page)); }

void TFormMain::ShowViewPage(TViewPage page) {
    // The disk views as their menu items show them: the strip's button checked too.
    switch (page) {
        case TViewPage::TreeMap:
            return miToolsMenuGenericClick(miTreeMap);
        case TViewPage::TreeSize:
            return miToolsMenuGenericClick(miTreeSize);
        case TViewPage::DirectoryStatistics:
            return miToolsMenuGenericClick(miDirectoryStatistics);
        case TViewPage::FileStatistics:
            return miToolsMenuGenericClick(miFileStatistics);
        case TViewPage::Overview:
            return miToolsMenuGenericClick(miOverview);
        case TViewPage::CompareFiles:
            return ShowPage(tsCompareFiles);
    }
}

bool TFormMain::IsPageVisible(const QWidget* page) const {
    if (!page) return false;
    if (page->parentWidget() == pcTreeMapTreeSize)
        return pcMain->currentWidget() == tsDiskX && pcTreeMapTreeSize->currentWidget() == page;
    return pcMain->currentWidget() == page;
}

void TFormMain::ShowPage(QWidget* page) {
    if (page->parentWidget() == pcTreeMapTreeSize) {
        pcTreeMapTreeSize->setCurrentWidget(page);
        pcMain->setCurrentWidget(tsDiskX);
    } else {
        pcMain->setCurrentWidget(page);
    }
    pcMainChangeX();
}

void TFormMain::miToolsMenuGenericClick(QObject* sender) {
    panelMainSwitch->setVisible(pcMain->currentWidget() == tsDiskX);
    struct Target {
        QAction* item;
        QWidget* page;
        QToolButton* button;
    };
    const Target targets[] = {
        {miTreeMap, tsTreeMap, btnTreeMap},
        {miTreeSize, tsTreeSize, btnTreeSize},
        {miDirectoryStatistics, tsDirectoryStatistics, btnDirectoryStatistics},
        {miFileStatistics, tsFileStatistics, btnFileStatistics},
        {miOverview, tsVolumeStatistics, btnOverview},
        {miCompareSnapshots, tsCompareSnapshots, nullptr},
        {miCompareDirectories, tsCompareDirectories, nullptr},
        {miDuplicateFiles, tsDuplicates, nullptr},
        {miRenameFiles, tsMultipleRename, nullptr},
    };
    for (const Target& target : targets) {
        if (sender != target.item) continue;
        ShowPage(target.page);
        if (target.button) target.button->setChecked(true);
        return;
    }
    GetMessages().ShowMessage(MessageKind::Info, "Unknown sender");
}

std::optional<std::string> TFormMain::SelectVolume(TSelectVolumeTarget target, const std::string& startText) {
    TFormSelectVolumes dialog(model_, SnapshotsPath(), this);
    dialog.SetFilterText(startText);
    dialog.FlagForceSelectSnapshot = target == TSelectVolumeTarget::CompareSnapshots2;
    if (dialog.FlagForceSelectSnapshot) dialog.HideDirectoriesPage();
    dialog.FlagCustomVolumeX = true;
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Result();
}

void TFormMain::bTreeMap_GENERIC_SelectVolumesClick(QObject* sender) {
    std::optional<TSelectVolumeTarget> target;
    if (sender && sender == FormDiskTreeMap->SelectVolumesButton())
        target = TSelectVolumeTarget::TreeMap;
    else if (sender && sender->objectName() == "bCompareSnapshotSelect1")
        target = TSelectVolumeTarget::CompareSnapshots1;
    else if (sender && sender->objectName() == "bCompareSnapshotSelect2")
        target = TSelectVolumeTarget::CompareSnapshots2;
    if (!target) {
        GetMessages().ShowMessage(MessageKind::Info, "Unknown sender");
        return;
    }
    // A loaded snapshot's name says nothing about where to look.
    std::string start = FormDiskTreeMap->Folder();
    if (start.find(".snapshot") != std::string::npos) start.clear();
    const std::optional<std::string> choice = SelectVolume(*target, start);
    if (!choice) return;
    switch (*target) {
        case TSelectVolumeTarget::TreeMap:
            FormDiskTreeMap->ScanFolder(*choice);
            break;
        case TSelectVolumeTarget::CompareSnapshots1:
        case TSelectVolumeTarget::CompareSnapshots2: {
            const char* input =
                *target == TSelectVolumeTarget::CompareSnapshots1 ? "edCompareVolumes1" : "edCompareVolumes2";
            if (auto* edit = findChild<QLineEdit*>(input)) edit->setText(Q(*choice));
            break;
        }
    }
}

void TFormMain::miShellOptionsClick(QObject* sender) {
    const char* page = sender == miGeneralSettings          ? "External apps"
                       : sender == miShellOptions           ? "Shell options"
                       : sender == miTreemapSettings        ? "Treemap"
                       : sender == miFileComparisonSettings ? "Duplicate Files"
                                                            : nullptr;
    if (!page) {
        GetMessages().ShowMessage(MessageKind::Info, "Unknown sender");
        return;
    }
    panelSettings->QueryShellStatus();
    panelSettings->ShowCentred();
    panelSettings->SelectPage(page);
}

void TFormMain::pcMainChangeX() {
    const bool disk = pcMain->currentWidget() == tsDiskX;
    panelMainSwitch->setVisible(disk);
    panelTreemapHeaderHost->setVisible(disk && pcTreeMapTreeSize->currentWidget() == tsTreeMap);
    if (disk) {
        QWidget* inner = pcTreeMapTreeSize->currentWidget();
        if (inner == tsTreeMap) {
            btnTreeMap->setChecked(true);
            edLastTreeMapTab->setText("0");
        } else if (inner == tsTreeSize) {
            btnTreeSize->setChecked(true);
            edLastTreeMapTab->setText("1");
        } else if (inner == tsDirectoryStatistics) {
            btnDirectoryStatistics->setChecked(true);
        } else if (inner == tsFileStatistics) {
            btnFileStatistics->setChecked(true);
        } else if (inner == tsVolumeStatistics) {
            btnOverview->setChecked(true);
        }
    }
    // Keep the navigation bar's selection on the page shown.
    if (BrenixNavBar1) {
        for (int i = 0; i < BrenixNavBar1->topLevelItemCount(); ++i) {
            QTreeWidgetItem* entry = BrenixNavBar1->topLevelItem(i);
            if (entry->data(0, Qt::UserRole).value<QWidget*>() == pcMain->currentWidget()) {
                QSignalBlocker block(BrenixNavBar1);
                BrenixNavBar1->setCurrentItem(entry);
            }
        }
    }
    emit PageChanged(VisiblePage());
}

// ---- navigation panel ----

void TFormMain::CreateNavigationPanel() {
    panelMenu = new QWidget(this);
    panelMenu->setObjectName("panelMenu");
    panelMenu->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(panelMenu);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto* header = new QLabel("menu", panelMenu);
    header->setObjectName("panelMainMenu");
    header->setAlignment(Qt::AlignCenter);
    header->setFixedHeight(20);
    layout->addWidget(header);
    BrenixNavBar1 = new QTreeWidget(panelMenu);
    BrenixNavBar1->setObjectName("BrenixNavBar1");
    BrenixNavBar1->setHeaderHidden(true);
    BrenixNavBar1->setRootIsDecorated(false);
    layout->addWidget(BrenixNavBar1, 1);
    FillNavigationBar();
    connect(BrenixNavBar1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        if (auto* page = item->data(0, Qt::UserRole).value<QWidget*>()) {
            pcMain->setCurrentWidget(page);
            panelMainSwitch->setVisible(pcMain->currentWidget() == tsDiskX);
        }
    });
    for (QWidget* w : std::initializer_list<QWidget*>{panelMenu, header, BrenixNavBar1, BrenixNavBar1->viewport()})
        w->installEventFilter(this);
    panelMenu->setFixedWidth(180);
    panelMenu->resize(180, header->height() + kMenuCollapsedExtra);
    panelMenu->hide();
}

void TFormMain::FillNavigationBar() {
    auto* title = new QTreeWidgetItem(BrenixNavBar1, QStringList{"Tandrel"});
    title->setFlags(Qt::ItemIsEnabled);
    for (int i = 0; i < pcMain->count(); ++i) {
        QWidget* page = pcMain->widget(i);
        if (page->windowTitle().startsWith("_")) continue;
        auto* entry = new QTreeWidgetItem(BrenixNavBar1, QStringList{page->windowTitle()});
        entry->setData(0, Qt::UserRole, QVariant::fromValue(page));
    }
}

void TFormMain::NavigationEnter() {
    ++flagMenuCount;
    flagMenuShow = true;
    TimerHandleMenu->start();
}

void TFormMain::NavigationLeave() {
    --flagMenuCount;
    if (flagMenuCount <= 0) {
        flagMenuShow = false;
        flagMenuHideDt = Now() + 1.0 / (3 * 86400.0);
        TimerHandleMenu->start();
    }
}

void TFormMain::TimerHandleMenuTimer() {
    const int collapsed = 20 + kMenuCollapsedExtra;
    if (flagMenuShow) {
        TimerHandleMenu->stop();
        panelMenu->resize(panelMenu->width(), kMenuExpandedHeight);
        panelMenu->raise();
    } else if (Now() >= flagMenuHideDt) {
        TimerHandleMenu->stop();
        panelMenu->resize(panelMenu->width(), collapsed);
        if (QTreeWidgetItem* current = BrenixNavBar1->currentItem())
            BrenixNavBar1->scrollToItem(current, QAbstractItemView::PositionAtTop);
    }
}

void TFormMain::RegisterSizeUnitEdit(QWidget* sizeEdit, QComboBox* unitBox) {
    sizeUnitEdits_.emplace_back(sizeEdit, unitBox);
    sizeEdit->installEventFilter(this);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (auto [edit, unitBox] : sizeUnitEdits_) {
            if (watched != edit) continue;
            const QString key = static_cast<QKeyEvent*>(event)->text().toLower();
            const int unit = key == "b" ? 0 : key == "k" ? 1 : key == "m" ? 2 : key == "g" ? 3 : -1;
            if (unit >= 0) {
                unitBox->setCurrentIndex(unit);
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }
    const bool navigation = watched == panelMenu ||
                            (BrenixNavBar1 && (watched == BrenixNavBar1 || watched == BrenixNavBar1->viewport())) ||
                            (panelMenu && watched->parent() == panelMenu);
    if (navigation && event->type() == QEvent::Enter)
        NavigationEnter();
    else if (navigation && event->type() == QEvent::Leave)
        NavigationLeave();
    return QMainWindow::eventFilter(watched, event);
}

// ---- start-up ----

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!programInitialized) FormShowOnce();
}

void TFormMain::FormShowOnce() {
    programInitialized = true;
    FormDiskTreeMap->TakeSettings(*panelSettings);
    if (panelSettings->ShowDynamicMenu()) {
        panelMenu->move(width() - 114 - panelMenu->width(), 0);
        panelMenu->show();
        panelMenu->raise();
    }
    const std::string folder = AppSettingsFolder();
    if (platform::FileExists(folder + "compare_lose.ini")) {
        platform::MoveFile(folder + "compare_lose.ini", folder + "compare_loose.ini");
    }
    if (HasSwitch("debug_treemap")) FormDiskTreeMap->ShowDebugPanels();
    const std::string snapshots = Trim(edSnapshotsDirectory->text().toStdString());
    if (snapshots.empty() || !platform::DirectoryExists(snapshots)) edSnapshotsDirectory->setText(Q(folder));
    model_.SnapshotsPath = edSnapshotsDirectory->text().toStdString();
    connect(edSnapshotsDirectory, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.SnapshotsPath = text.toStdString(); });
    ComparisonCache().SelectThoroughMethod();
    CreateIconFetcher();
    TimerInit->start();
    if (!autoCompareMode && !HasSwitch("keepdesigntab")) ShowPage(tsTreeMap);
}

void TFormMain::CreateIconFetcher() {
    threadIcons_ = std::make_unique<TThreadIcons>(model_, [this] { UpdateActiveListview(); });
    SetThreadIcons(threadIcons_.get());
    QPixmap folder = threadIcons_->folderIcon.pixmap(QSize(16, 16), 1.0);
    if (!folder.isNull()) {
        imageFolderIcon = folder.toImage()
                              .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        FormDiskTreeMap->Painter().SetFolderIcon(imageFolderIcon);
    }
    FormDiskTreeMap->Painter().SetIconSource([](const std::string& path) {
        TThreadIcons* icons = ThreadIcons();
        const QIcon icon = icons ? icons->GetIconForFile(path) : QIcon();
        return icon.isNull() ? QPixmap() : icon.pixmap(QSize(16, 16), 1.0);
    });
}

void TFormMain::UpdateActiveListview() {
    if (destroyed_) return;
    if (IsPageVisible(tsTreeMap))
        FormDiskTreeMap->DiskTreeMap_UpdateScreen();
    else if (IsPageVisible(tsFileStatistics))
        FormDirectoryAnalysis->FileStatisticsList().Invalidate();
    else if (lastActiveLV)
        lastActiveLV->Invalidate();
}

void TFormMain::SetLastActiveLV(TListViewEx* lv) { lastActiveLV = lv; }

void TFormMain::HandleCommandLine(bool act) {
    autoCompareMode = false;
    if (start_.mode == StartMode::Ordinary) return;
    autoCompareMode = true;
    switch (start_.mode) {
        case StartMode::FileCompare: {
            // A fixed 600 x 400 window: the remembered geometry is neither read nor written.
            if (applicationSettings_) {
                applicationSettings_->Active = false;
                applicationSettings_->SaveFormSize = false;
            }
            panelMenu->hide();
            menuBar()->hide();
            FormCompareFiles->SetStandalone(start_.a, start_.b);
            // The page is the whole window: no way back.
            if (auto* back = tsCompareFiles->findChild<QPushButton*>("bBackCompareFiles")) back->hide();
            if (QScreen* screen = this->screen()) {
                const QRect area = screen->availableGeometry();
                setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(600, 400), area));
            }
            setMaximumSize(600, 400);
            setWindowFlag(Qt::WindowMaximizeButtonHint, false);
            ShowPage(tsCompareFiles);
            if (act) FormCompareFiles->bCompareFilesClick();
            break;
        }
        case StartMode::FolderCompare: {
            if (applicationSettings_) applicationSettings_->Active = false;
            panelMenu->hide();
            menuBar()->hide();
            if (auto* back = tsCompareDirectories->findChild<QPushButton*>("bBackCompareDirectories")) back->hide();
            if (auto* left = findChild<QLineEdit*>("edLeftCompareDirectory")) left->setText(Q(start_.a));
            if (auto* right = findChild<QLineEdit*>("edRightCompareDirectory")) right->setText(Q(start_.b));
            ShowPage(tsCompareDirectories);
            if (act) {
                show();
                repaint();
                emit PageChanged(tsCompareDirectories);
                QApplication::processEvents();
                FormCompareDirectories->ScanThenCompare(start_.a, start_.b);
            }
            break;
        }
        case StartMode::SnapshotCompare: {
            // The inputs follow persisted edits: an unattended start neither
            // takes nor keeps the remembered ones.
            if (applicationSettings_) applicationSettings_->Active = false;
            if (auto* right = findChild<QLineEdit*>("dirEdit1")) right->setText(Q(start_.b));
            if (auto* left = findChild<QLineEdit*>("dirEdit2")) left->setText(Q(start_.a));
            ShowPage(tsCompareSnapshots);
            if (act) {
                show();
                repaint();
                emit PageChanged(tsCompareSnapshots);
                QApplication::processEvents();
                FormCompareSnapshots->bStartClick();
            }
            break;
        }
        case StartMode::FolderScan: {
            FormDiskTreeMap->SetFolder(start_.a);
            if (auto* rename = findChild<QLineEdit*>("edRenameDirectory")) rename->setText(Q(start_.a));
            autoSaveFn = start_.autoSaveFn;
            if (start_.showTreemap)
                ShowPage(tsTreeMap);
            else
                ShowPage(edLastTreeMapTab->text() == "1" ? tsTreeSize : tsTreeMap);
            if (!autoSaveFn.empty()) {
                resize(0, 0);
                if (applicationSettings_) applicationSettings_->Active = false;
            }
            if (act) {
                if (autoSaveFn.empty()) {
                    show();
                    repaint();
                    scanRun_->Start();
                } else {
                    RunSaveAndExitScan();
                }
            }
            break;
        }
        case StartMode::Duplicates: {
            ShowPage(tsDuplicates);
            if (act) {
                show();
                QApplication::processEvents();
                FormDuplicates->ImportAndFind(start_.a);
            }
            break;
        }
        case StartMode::Ordinary:
            break;
    }
}

void TFormMain::RunSaveAndExitScan() {
    hide();
    scanRun_->Start([this] {
        if (model_.CancelOperation.load() || model_.AppClosing.load()) {
            exitCode_ = 130;
        } else if (!SaveSnapshot(model_, autoSaveFn, true)) {
            exitCode_ = 1;
        }
        QApplication::exit(exitCode_);
    });
}

void TFormMain::TimerInitTimer() {
    TimerInit->stop();
    HandleCommandLine(true);
    if (start_.mode == StartMode::Ordinary && !start_.snapshot.empty()) {
        FormDiskTreeMap->SetFolder(start_.snapshot);
        scanRun_->Start();
    } else if (start_.mode == StartMode::Ordinary && FormDiskTreeMap->Folder().empty()) {
        FormDiskTreeMap->SetFolder("/");
        scanRun_->Start();
    }
    panelMainSwitch->setVisible(pcMain->currentWidget() == tsDiskX);
}

// ---- window events ----

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (panelMenu && panelMenu->isVisible()) panelMenu->move(width() - 114 - panelMenu->width(), 0);
    for (auto& slot : pleaseWait_) {
        if (slot) slot->move(geometry().center() - slot->rect().center());
    }
    if (panelSettings && panelSettings->isVisible()) {
        panelSettings->move((width() - panelSettings->width()) / 2, (height() - panelSettings->height()) / 2);
    }
    if (cpanelErrorLog) cpanelErrorLog->KeepInsideParent();
    if (cpanelFileOperation) cpanelFileOperation->KeepInsideParent();
}

void TFormMain::keyPressEvent(QKeyEvent* event) { QMainWindow::keyPressEvent(event); }

void TFormMain::closeEvent(QCloseEvent* event) {
    // Closing is never refused: every job sees the flag and ends.
    model_.AppClosing = true;
    messages_->SetClosing(true);
    event->accept();
}

void TFormMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    model_.AppClosing = true;
    messages_->SetClosing(true);
    // The scan run's job (if any) ends first: it may still write the model.
    delete scanRun_;
    scanRun_ = nullptr;
    delete FormDiskTreeMap;
    FormDiskTreeMap = nullptr;
    delete FormCompareFiles;
    FormCompareFiles = nullptr;
    delete FormMultiRename;
    FormMultiRename = nullptr;
    delete FormCompareSnapshots;
    FormCompareSnapshots = nullptr;
    delete FormCompareDirectories;
    FormCompareDirectories = nullptr;
    delete FormBrenixRCS;
    FormBrenixRCS = nullptr;
    delete FormTextChecks;
    FormTextChecks = nullptr;
    delete FormDuplicates;
    FormDuplicates = nullptr;
    SaveComparisonCache();
    DeleteTempSnapshots(model_);
    // The fetcher saw AppClosing: its loop ends within one idle poll and its
    // repaints still queued are dropped.
    if (ThreadIcons() == threadIcons_.get()) SetThreadIcons(nullptr);
    threadIcons_.reset();
    SetMessages(nullptr);
}

}  // namespace tandrel
