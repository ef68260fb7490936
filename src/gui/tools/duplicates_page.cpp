#include "gui/tools/duplicates_page.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/app_folders.h"
#include "common/command_line.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/text_file.h"
#include "compare/compare_cache.h"
#include "compare/file_content_compare.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/thread_icons.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/list_view_ex.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "platform/trash.h"
#include "scan/scan_model.h"
#include "scan/scan_thread_x.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

const QStringList kColumns = {"Filename:220:L:0", "Path:380:L:0", "Size:110:R:0", "Date:140:L:0", "Group:60:R:0"};
const QStringList kBottomColumns = {"Filename:220:L:0", "Path:380:L:0", "Size:110:R:0", "Date:140:L:0"};

const char* const kOnDisk = "On disk";
const char* const kDeleted = "<deleted>";

std::string Lower(const std::string& text) { return platform::LowerCase(text); }

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

bool OnDisk(const TFileEntryDuplicates& entry) {
    return !entry.FileName.empty() && platform::FileExists(entry.FullFileName());
}

std::string Quoted(std::string path) {
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    return "\"" + path + "\"";
}

}  // namespace

bool SameFileOnDisk(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::string FakeDuplicateError(const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (platform::SameTextIgnoreCase(paths[i], paths[j]) || SameFileOnDisk(paths[i], paths[j]))
                return "File " + paths[i] + " was referred twice. Possible fake duplicate. Cannot continue.";
        }
    }
    return {};
}

TFormDuplicates::TFormDuplicates(TViewHost& host, QWidget* page)
    : QObject(host.HostWindow()), host_(host), model_(host.Model()), finder_(host.Model(), ComparisonCache()) {
    setObjectName("FormDuplicates");
    // Scrolled, so that the page's many controls never dictate the window's
    // smallest size (the file-compare start mode fixes it at 600 x 400).
    auto* layout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!layout) layout = new QVBoxLayout(page);
    auto* scroll = new QScrollArea(page);
    scroll->setObjectName("scrollDuplicates");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // The main view and, with the switch "debug", the folder-pair statistics.
    pagesMain = new QStackedWidget(scroll);
    pagesMain->setObjectName("pagesMain");
    tsMain = new QWidget(pagesMain);
    tsMain->setObjectName("tsMain");
    new QVBoxLayout(tsMain);
    pagesMain->addWidget(tsMain);
    scroll->setWidget(pagesMain);
    layout->addWidget(scroll, 1);
    page_ = page;
    BuildWidgets(tsMain);
    BuildDeletePanel(tsMain);
    BuildPairsPage(pagesMain);
    BuildMenus();
    poll_ = new QTimer(this);
    poll_->setInterval(100);
    page->installEventFilter(this);
}

TFormDuplicates::~TFormDuplicates() {
    poll_->stop();
    model_.CancelOperation = true;
    scanJob_.reset();  // waits for the workers
    findJob_.reset();
}

void TFormDuplicates::BuildWidgets(QWidget* page) {
    auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(name);
        widget->setAccessibleName(accessible);
        return widget;
    };
    // A label whose text carries its caption and its value: assistive
    // technology reads the text (an accessible name would hide it).
    auto described = [](QWidget* widget, const char* name, const QString& description) {
        widget->setObjectName(name);
        widget->setAccessibleDescription(description);
        return widget;
    };
    auto* grid = new QGridLayout;
    edPathList = new QLineEdit(page);
    named(edPathList, "edPathList", "Directories to scan:");
    edPathList->setPlaceholderText("supports multiple directories, separated by semicolon (;)");
    cbDuplicatesScanSubs = new QCheckBox("include subdirectories", page);
    named(cbDuplicatesScanSubs, "cbDuplicatesScanSubs", "include subdirectories");
    cbDuplicatesScanSubs->setChecked(true);
    grid->addWidget(new QLabel("Directories to scan:", page), 0, 0);
    grid->addWidget(edPathList, 0, 1, 1, 5);
    grid->addWidget(cbDuplicatesScanSubs, 0, 6);
    grid->addWidget(new QLabel("supports multiple directories, separated by semicolon (;)", page), 1, 1, 1, 5);

    edFileFilter = new QLineEdit("*.*", page);
    named(edFileFilter, "edFileFilter", "Filter:");
    edFileFilter->setPlaceholderText("e.g. *.mp3; *.wma");
    edExcludeFilter = new QLineEdit(page);
    named(edExcludeFilter, "edExcludeFilter", "Exclusions");
    grid->addWidget(new QLabel("Filter:", page), 2, 0);
    grid->addWidget(edFileFilter, 2, 1, 1, 2);
    grid->addWidget(new QLabel("Exclusions", page), 2, 3);
    grid->addWidget(edExcludeFilter, 2, 4, 1, 2);

    auto sizeEdit = [&](QSpinBox*& edit, QComboBox*& unit, const char* name, const char* unitName,
                        const QString& caption, int value) {
        edit = new QSpinBox(page);
        named(edit, name, caption);
        edit->setRange(0, 1000000000);
        edit->setValue(value);
        unit = new QComboBox(page);
        named(unit, unitName, caption + " unit");
        unit->addItems({"bytes", "KB", "MB", "GB"});
        unit->setCurrentText("MB");
        host_.RegisterSizeUnitEdit(edit, unit);
    };
    sizeEdit(edMinSize, cbMin, "edMinSize", "cbMin", "Size >=", 5);
    sizeEdit(edMaxSize, cbMax, "edMaxSize", "cbMax", "Size <=", 0);
    auto* sizes = new QHBoxLayout;
    sizes->addWidget(new QLabel("Size >=", page));
    sizes->addWidget(edMinSize);
    sizes->addWidget(cbMin);
    sizes->addWidget(new QLabel("Size <=", page));
    sizes->addWidget(edMaxSize);
    sizes->addWidget(cbMax);
    sizes->addStretch(1);
    grid->addLayout(sizes, 3, 0, 1, 7);

    auto* commands = new QHBoxLayout;
    bScanDuplicates = new QPushButton("Collect files", page);
    named(bScanDuplicates, "bScanDuplicates", "Collect files");
    bFindDuplicates = new QPushButton("Find duplicates", page);
    named(bFindDuplicates, "bFindDuplicates", "Find duplicates");
    bFindDuplicates->hide();
    cbLoadFromPVCache = new QCheckBox("Load files from cache", page);
    named(cbLoadFromPVCache, "cbLoadFromPVCache", "Load files from cache");
    cbLoadFromPVCache->hide();
    lblProcessedFromCache = new QLabel("0", page);
    named(lblProcessedFromCache, "lblProcessedFromCache", "Cache: 0");
    lblProcessedFromCache->setAccessibleDescription("Cache");
    lblProcessedFromDisk = new QLabel("0", page);
    named(lblProcessedFromDisk, "lblProcessedFromDisk", "Disk: 0");
    lblProcessedFromDisk->setAccessibleDescription("Disk");
    StaticText2x = new QLabel("Files in list: 0", page);
    described(StaticText2x, "StaticText2x", "Files in list");
    btnOptions = new QPushButton("options", page);
    named(btnOptions, "btnOptions", "options");
    btnOptions->setFlat(true);
    btnViewByPath = new QPushButton("[by path]", page);
    named(btnViewByPath, "btnViewByPath", "[by path]");
    btnViewByPath->setFlat(true);
    btnViewByPath->setVisible(HasSwitch("debug"));
    commands->addWidget(bScanDuplicates);
    commands->addWidget(bFindDuplicates);
    commands->addWidget(cbLoadFromPVCache);
    commands->addWidget(new QLabel("Cache", page));
    commands->addWidget(lblProcessedFromCache);
    commands->addWidget(new QLabel("Disk", page));
    commands->addWidget(lblProcessedFromDisk);
    commands->addWidget(StaticText2x);
    commands->addStretch(1);
    commands->addWidget(btnViewByPath);
    commands->addWidget(btnOptions);

    auto* sessions = new QHBoxLayout;
    cbSessions = new QComboBox(page);
    named(cbSessions, "cbSessions", "Sessions");
    bLoadSession = new QPushButton("Load", page);
    named(bLoadSession, "bLoadSession", "Load");
    bDeleteSession = new QPushButton("Delete", page);
    named(bDeleteSession, "bDeleteSession", "Delete session");
    sessions->addWidget(new QLabel("Sessions", page));
    sessions->addWidget(cbSessions, 1);
    sessions->addWidget(bLoadSession);
    sessions->addWidget(bDeleteSession);

    auto* filters = new QHBoxLayout;
    edFilter = new QLineEdit(page);
    named(edFilter, "edFilter", "Filter");
    cbMatchFilename = new QCheckBox("Match filename", page);
    named(cbMatchFilename, "cbMatchFilename", "Match filename");
    cbMatchParentFolderName = new QCheckBox("Match parent folder name", page);
    named(cbMatchParentFolderName, "cbMatchParentFolderName", "Match parent folder name");
    filters->addWidget(new QLabel("Filter", page));
    filters->addWidget(edFilter, 1);
    filters->addWidget(cbMatchFilename);
    filters->addWidget(cbMatchParentFolderName);
    TimerLateFilter = new QTimer(this);
    TimerLateFilter->setObjectName("TimerLateFilter");
    TimerLateFilter->setInterval(300);
    TimerLateFilter->setSingleShot(true);

    lvDuplicates = new TListViewEx(page);
    named(lvDuplicates, "lvDuplicates", "Duplicate files");
    lvDuplicates->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvDuplicates->SetDesignedColumns(kColumns);
    lvDuplicates->OnGetText = [this](int row, int column) { return CellText(row, column); };
    lvDuplicates->OnDrawCell = [this](QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                      bool focused) { DrawCell(painter, cell, row, column, selected, focused); };
    lvDuplicates->OnGetIcon = [this](int row, int column) -> QIcon {
        TThreadIcons* icons = ThreadIcons();
        const TFileEntryDuplicates* entry = RowEntry(row);
        if (!icons || !entry || entry->FileName.empty() || lvDuplicates->ColumnCaption(column) != "Filename") return {};
        host_.SetLastActiveLV(lvDuplicates);
        return icons->GetIconForFile(entry->FullFileName());
    };
    lvDuplicates->OnSelectItem = [this](int, bool) { SelectionChanged(); };
    lvDuplicates->installEventFilter(this);
    StaticText3x = new QLabel(page);
    described(StaticText3x, "StaticText3x", "Summary");
    labelDuplicatesOf = new QLabel("Duplicates of:", page);
    described(labelDuplicatesOf, "labelDuplicatesOf", "Duplicates of:");
    lvDuplicatesBottom = new TListViewEx(page);
    named(lvDuplicatesBottom, "lvDuplicatesBottom", "Duplicates of");
    lvDuplicatesBottom->SetOwnerData(false);
    lvDuplicatesBottom->SetDesignedColumns(kBottomColumns);
    lvDuplicatesBottom->OnSelectItem = [this](int, bool selected) {
        if (selected) CreateRuleClick();
    };

    auto* lower = new QGridLayout;
    edDuplicate_Filter_Secondary = new QLineEdit(page);
    named(edDuplicate_Filter_Secondary, "edDuplicate_Filter_Secondary", "Select duplicate files in:");
    edDuplicate_Filter_Master = new QLineEdit(page);
    named(edDuplicate_Filter_Master, "edDuplicate_Filter_Master", "where a copy exists in:");
    CheckBox1x = new QCheckBox("include subdirectories", page);
    named(CheckBox1x, "CheckBox1x", "include subdirectories");
    CheckBox1x->setChecked(true);
    lower->addWidget(new QLabel("Select duplicate files in:", page), 0, 0);
    lower->addWidget(edDuplicate_Filter_Secondary, 0, 1);
    lower->addWidget(CheckBox1x, 0, 2);
    lower->addWidget(new QLabel("where a copy exists in:", page), 1, 0);
    lower->addWidget(edDuplicate_Filter_Master, 1, 1);
    auto* lowerButtons = new QHBoxLayout;
    auto button = [&](QPushButton*& target, const char* name, const char* text) {
        target = new QPushButton(text, page);
        named(target, name, text);
        lowerButtons->addWidget(target);
    };
    button(bFilter, "bFilter", "Filter");
    button(bCleanupDeleted, "bCleanupDeleted", "Cleanup deleted");
    button(bExport, "bExport", "Export");
    button(bDeleteSelected, "bDeleteSelected", "Delete selected");
    button(bDeleteOthers, "bDeleteOthers", "Delete others");
    lowerButtons->addStretch(1);
    lower->addLayout(lowerButtons, 2, 0, 1, 3);

    auto* layout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!layout) layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addLayout(commands);
    layout->addLayout(sessions);
    layout->addLayout(filters);
    layout->addWidget(lvDuplicates, 3);
    layout->addWidget(StaticText3x);
    layout->addWidget(labelDuplicatesOf);
    layout->addWidget(lvDuplicatesBottom, 1);
    layout->addLayout(lower);

    connect(edPathList, &QLineEdit::returnPressed, this, &TFormDuplicates::bScanDuplicatesClick);
    connect(edPathList, &QLineEdit::textChanged, this, [this] {
        UpdateCacheOption();
        const int at = cbSessions->findText(edPathList->text());
        if (at >= 0) cbSessions->setCurrentIndex(at);
        if (auto* kept = host_.HostWindow()->findChild<QLineEdit*>("edDuplicatesPathList"))
            kept->setText(edPathList->text());
    });
    connect(btnViewByPath, &QPushButton::clicked, this, &TFormDuplicates::btnViewByPathClick);
    connect(bScanDuplicates, &QPushButton::clicked, this, &TFormDuplicates::bScanDuplicatesClick);
    connect(bFindDuplicates, &QPushButton::clicked, this, &TFormDuplicates::bFindDuplicatesClick);
    connect(bLoadSession, &QPushButton::clicked, this, &TFormDuplicates::bLoadSessionClick);
    connect(bDeleteSession, &QPushButton::clicked, this, &TFormDuplicates::bDeleteSessionClick);
    connect(btnOptions, &QPushButton::clicked, this, [this] {
        if (auto* action = host_.HostWindow()->findChild<QAction*>("miFileComparisonSettings")) action->trigger();
    });
    connect(edFilter, &QLineEdit::textChanged, TimerLateFilter, qOverload<>(&QTimer::start));
    connect(cbMatchFilename, &QCheckBox::toggled, TimerLateFilter, qOverload<>(&QTimer::start));
    connect(cbMatchParentFolderName, &QCheckBox::toggled, TimerLateFilter, qOverload<>(&QTimer::start));
    connect(TimerLateFilter, &QTimer::timeout, this, &TFormDuplicates::RunGroupFilter);
    connect(bFilter, &QPushButton::clicked, this, &TFormDuplicates::bFilterClick);
    connect(bCleanupDeleted, &QPushButton::clicked, this, &TFormDuplicates::bCleanupDeletedClick);
    connect(bExport, &QPushButton::clicked, this, &TFormDuplicates::bExportClick);
    connect(bDeleteSelected, &QPushButton::clicked, this, &TFormDuplicates::DeleteFileClick);
    connect(bDeleteOthers, &QPushButton::clicked, this, &TFormDuplicates::KeepFileDeleteOthersClick);
    connect(lvDuplicates, &TListViewEx::RowContextMenu, this,
            [this](const QPoint& at, int) { popupDuplicates->popup(at); });
    connect(lvDuplicatesBottom, &TListViewEx::RowContextMenu, this,
            [this](const QPoint& at, int) { popupBottom->popup(at); });
}

void TFormDuplicates::BuildDeletePanel(QWidget* page) {
    auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(name);
        widget->setAccessibleName(accessible);
        return widget;
    };
    auto described = [](QWidget* widget, const char* name, const QString& description) {
        widget->setObjectName(name);
        widget->setAccessibleDescription(description);
        return widget;
    };
    cpanelDeleteDuplicates = new QWidget(page);
    named(cpanelDeleteDuplicates, "cpanelDeleteDuplicates", "Delete duplicates");
    auto* panelLayout = new QVBoxLayout(cpanelDeleteDuplicates);
    pagesDelete = new QStackedWidget(cpanelDeleteDuplicates);
    pagesDelete->setObjectName("pagesDelete");
    panelLayout->addWidget(pagesDelete);
    auto button = [&](QWidget* parent, QHBoxLayout* row, QPushButton*& target, const char* name, const char* text) {
        target = new QPushButton(text, parent);
        named(target, name, text);
        row->addWidget(target);
    };

    tsDeleteGroup = new QWidget(pagesDelete);
    tsDeleteGroup->setObjectName("tsDeleteGroup");
    auto* group = new QVBoxLayout(tsDeleteGroup);
    labelChecksum = new QLabel("Files having checksum: ", tsDeleteGroup);
    described(labelChecksum, "labelChecksum", "Files having checksum");
    lvDuplicates1 = new TListViewEx(tsDeleteGroup);
    named(lvDuplicates1, "lvDuplicates1", "Files of the group");
    lvDuplicates1->SetOwnerData(false);
    lvDuplicates1->SetCheckboxes(true);
    lvDuplicates1->SetDesignedColumns({"Filename:500:L:0", "Status:100:L:0"});
    auto* groupButtons = new QHBoxLayout;
    button(tsDeleteGroup, groupButtons, bRefreshGroup, "bRefreshGroup", "Refresh");
    button(tsDeleteGroup, groupButtons, bDeleteSelectedGroup, "bDeleteSelectedGroup", "Delete selected");
    button(tsDeleteGroup, groupButtons, bCloseGroup, "bCloseGroup", "Close");
    button(tsDeleteGroup, groupButtons, bDeleteChecked, "bDeleteChecked", "Delete checked");
    group->addWidget(labelChecksum);
    group->addWidget(lvDuplicates1, 1);
    group->addLayout(groupButtons);
    pagesDelete->addWidget(tsDeleteGroup);

    tsDeleteFolder = new QWidget(pagesDelete);
    tsDeleteFolder->setObjectName("tsDeleteFolder");
    auto* folder = new QVBoxLayout(tsDeleteFolder);
    labelFilesInPath = new QLabel("Files in path:", tsDeleteFolder);
    described(labelFilesInPath, "labelFilesInPath", "Files in path:");
    labelFolderFiles = new QLabel("Files: ", tsDeleteFolder);
    described(labelFolderFiles, "labelFolderFiles", "Files");
    lvDuplicates2 = new TListViewEx(tsDeleteFolder);
    named(lvDuplicates2, "lvDuplicates2", "Files in path");
    lvDuplicates2->SetOwnerData(false);
    lvDuplicates2->SetDesignedColumns({"Filename:500:L:0", "Status:100:L:0"});
    lvDuplicates2->OnSelectItem = [this](int, bool) { FolderPageSelectionChanged(); };
    lvDuplicates3 = new TListViewEx(tsDeleteFolder);
    named(lvDuplicates3, "lvDuplicates3", "Other copies");
    lvDuplicates3->SetOwnerData(false);
    lvDuplicates3->SetDesignedColumns({"Filename:600:L:0"});
    auto* folderButtons = new QHBoxLayout;
    button(tsDeleteFolder, folderButtons, bRefreshFolder, "bRefreshFolder", "Refresh");
    button(tsDeleteFolder, folderButtons, bDeleteFiles, "bDeleteFiles", "Delete files");
    button(tsDeleteFolder, folderButtons, bCloseFolder, "bCloseFolder", "Close");
    button(tsDeleteFolder, folderButtons, bExportFolder, "bExportFolder", "Export");
    folder->addWidget(labelFilesInPath);
    folder->addWidget(labelFolderFiles);
    folder->addWidget(lvDuplicates2, 2);
    folder->addWidget(lvDuplicates3, 1);
    folder->addLayout(folderButtons);
    pagesDelete->addWidget(tsDeleteFolder);

    page->layout()->addWidget(cpanelDeleteDuplicates);
    cpanelDeleteDuplicates->hide();

    connect(bRefreshGroup, &QPushButton::clicked, this, &TFormDuplicates::bRefreshGroupClick);
    connect(bDeleteSelectedGroup, &QPushButton::clicked, this, &TFormDuplicates::bDeleteSelectedGroupClick);
    connect(bCloseGroup, &QPushButton::clicked, cpanelDeleteDuplicates, &QWidget::hide);
    connect(bDeleteChecked, &QPushButton::clicked, this, &TFormDuplicates::bDeleteCheckedClick);
    connect(bRefreshFolder, &QPushButton::clicked, this, &TFormDuplicates::bRefreshFolderClick);
    connect(bDeleteFiles, &QPushButton::clicked, this, &TFormDuplicates::bDeleteFilesClick);
    connect(bCloseFolder, &QPushButton::clicked, cpanelDeleteDuplicates, &QWidget::hide);
    connect(bExportFolder, &QPushButton::clicked, this, &TFormDuplicates::bExportFolderClick);
}

void TFormDuplicates::BuildMenus() {
    auto add = [this](QMenu* menu, const QString& text, auto handler) {
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    popupDuplicates = new QMenu(lvDuplicates);
    popupDuplicates->setObjectName("popupDuplicates");
    add(popupDuplicates, "Open", [this] { OpenClick(); });
    add(popupDuplicates, "Locate in explorer", [this] { LocateClick(false); });
    popupDuplicates->addSeparator();
    add(popupDuplicates, "Delete File", [this] { DeleteFileClick(); });
    add(popupDuplicates, "Keep File and delete all other copies", [this] { KeepFileDeleteOthersClick(); });
    add(popupDuplicates, "Delete All duplicates from this path", [this] { DeleteAllFromPathClick(); });
    popupDuplicates->addSeparator();
    add(popupDuplicates, "Compare Files with Tandrel", [this] { CompareFilesWithTandrel(); });
    add(popupDuplicates, "Compare Files with WinMerge", [this] { CompareFilesExternal(); });
    add(popupDuplicates, "Compare Files with fc.exe", [this] { CompareFilesCmp(); });
    add(popupDuplicates, "Compare Directories (Tandrel)", [this] { CompareDirectoriesClick(); });
    popupBottom = new QMenu(lvDuplicatesBottom);
    popupBottom->setObjectName("popupBottom");
    add(popupBottom, "Locate in explorer", [this] { LocateClick(true); });
    add(popupBottom, "Create Rule", [this] { CreateRuleClick(); });
}

bool TFormDuplicates::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched == page_) PageShown();
    if (watched == lvDuplicates && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        DeleteFileClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TFormDuplicates::PageShown() {
    if (!collected_) bScanDuplicates->setText("Start");
    if (edPathList->text().isEmpty())
        if (auto* kept = host_.HostWindow()->findChild<QLineEdit*>("edDuplicatesPathList"))
            edPathList->setText(kept->text());
    ListSessions();
    UpdateCacheOption();
}

// ---- saved searches ----

void TFormDuplicates::ListSessions() {
    auto* kept = host_.HostWindow()->findChild<QListWidget*>("lbDuplicateSessions");
    if (!kept) return;
    // Only the searches whose results are still there can be reopened.
    for (int i = kept->count() - 1; i >= 0; --i)
        if (!platform::FileExists(DuplicatesResultsFile(S(kept->item(i)->text())))) delete kept->takeItem(i);
    const QString current = cbSessions->currentText();
    cbSessions->clear();
    for (int i = 0; i < kept->count(); ++i) cbSessions->addItem(kept->item(i)->text());
    const int at = cbSessions->findText(edPathList->text().isEmpty() ? current : edPathList->text());
    if (at >= 0) cbSessions->setCurrentIndex(at);
}

void TFormDuplicates::AddSession(const std::string& spec) {
    auto* kept = host_.HostWindow()->findChild<QListWidget*>("lbDuplicateSessions");
    if (!kept || spec.empty()) return;
    if (kept->findItems(Q(spec), Qt::MatchExactly).isEmpty()) kept->addItem(Q(spec));
    ListSessions();
}

void TFormDuplicates::bLoadSessionClick() {
    if (Running() || host_.OperationInProgress()) return Notify("Another operation is in progress");
    const std::string spec = S(cbSessions->currentText());
    if (spec.empty()) return;
    edPathList->setText(Q(spec));
    cpanelDeleteDuplicates->hide();
    if (!finder_.LoadResults(spec)) return;
    spec_ = spec;
    ShowFileCount();
    RunGroupFilter();
}

void TFormDuplicates::bDeleteSessionClick() {
    const std::string spec = S(cbSessions->currentText());
    if (spec.empty()) return;
    if (AskOkCancel("Delete session data?") != MessageAnswer::Ok) return;
    platform::DeleteFile(DuplicatesResultsFile(spec));
    if (auto* kept = host_.HostWindow()->findChild<QListWidget*>("lbDuplicateSessions"))
        for (QListWidgetItem* item : kept->findItems(Q(spec), Qt::MatchExactly)) delete item;
    ListSessions();
}

void TFormDuplicates::UpdateCacheOption() {
    const std::string spec = S(edPathList->text().trimmed());
    cbLoadFromPVCache->setVisible(!spec.empty() && platform::FileExists(DuplicatesFileListFile(spec)));
}

// ---- collect and search ----

std::int64_t TFormDuplicates::MinSizeBytes() const {
    return TDuplicateFinder::EffectiveMinSize(SizeInUnitToBytes(S(cbMin->currentText()), edMinSize->value()));
}

std::int64_t TFormDuplicates::MaxSizeBytes() const {
    return SizeInUnitToBytes(S(cbMax->currentText()), edMaxSize->value());
}

TFormPleaseWait* TFormDuplicates::OpenWait(bool withPause) {
    return OpenToolPleaseWait(host_.PleaseWaitSlot(3), model_, host_.HostWindow(), withPause);
}

void TFormDuplicates::CloseWait() { CloseToolPleaseWait(host_.PleaseWaitSlot(3)); }

void TFormDuplicates::SetWorking(bool working) {
    for (QWidget* w : std::initializer_list<QWidget*>{edPathList, cbDuplicatesScanSubs, edFileFilter, edExcludeFilter,
                                                      edMinSize, cbMin, edMaxSize, cbMax, bScanDuplicates,
                                                      bFindDuplicates, bLoadSession, bDeleteSession})
        w->setEnabled(!working);
}

bool TFormDuplicates::Running() const { return scanJob_ || findJob_; }

void TFormDuplicates::ShowCounters() {
    lblProcessedFromCache->setText(Q(FormatCount(finder_.Counters.fromCache)));
    lblProcessedFromDisk->setText(Q(FormatCount(finder_.Counters.fromDisk)));
    // The bare number would read as nothing; the name says what it counts.
    lblProcessedFromCache->setAccessibleName("Cache: " + lblProcessedFromCache->text());
    lblProcessedFromDisk->setAccessibleName("Disk: " + lblProcessedFromDisk->text());
}

void TFormDuplicates::ShowFileCount() {
    StaticText2x->setText(Q("Files in list: " + FormatCount(static_cast<double>(finder_.Entries.size()))));
}

void TFormDuplicates::bScanDuplicatesClick() {
    if (Running() || host_.OperationInProgress()) {
        Notify("Another operation is in progress");
        emit CollectFinished();
        return;
    }
    if (!bScanDuplicates->isEnabled()) return;
    const std::string spec = S(edPathList->text().trimmed());
    const bool fromCache = !cbLoadFromPVCache->isHidden() && cbLoadFromPVCache->isChecked();
    model_.PauseOperation = false;
    model_.CancelOperation = false;
    SetWorking(true);
    OpenWait(true);
    cpanelDeleteDuplicates->hide();
    rows_ = {};
    lvDuplicates->SetItemsCount(0);
    lvDuplicatesBottom->Clear();
    finder_.Clear();
    ShowCounters();
    host_.SetStatus(nullptr, "Preparing results");
    spec_ = spec;
    findAfterScan_ = true;
    if (fromCache) {
        const std::string list = DuplicatesFileListFile(spec);
        if (!platform::FileExists(list)) {
            ShowInfo("Cache file does not exist: " + list);
            findAfterScan_ = false;
        } else {
            finder_.LoadFileList(spec);
        }
        EndScan();
        return;
    }
    scanJob_ = std::make_unique<TThreadScanX>(model_);
    scanJob_->Init(spec, cbDuplicatesScanSubs->isChecked(), S(edFileFilter->text()), S(edExcludeFilter->text()),
                   MinSizeBytes(), MaxSizeBytes(),
                   [this](const std::string& dir) { model_.ProgressText.SetText(dir); });
    model_.ProgressText.SetText("Working...");
    scanJob_->Start();
    disconnect(poll_, nullptr, this, nullptr);
    connect(poll_, &QTimer::timeout, this, &TFormDuplicates::PollScan);
    poll_->start();
}

void TFormDuplicates::PollScan() {
    QPointer<TFormPleaseWait> wait = host_.PleaseWaitSlot(3);
    if (wait) wait->Step();
    host_.SetStatus(wait, model_.ProgressText.GetText());
    if (scanJob_ && scanJob_->threadRunning.load() && !model_.AppClosing.load()) return;
    EndScan();
}

void TFormDuplicates::EndScan() {
    poll_->stop();
    if (scanJob_) {
        scanJob_->WaitFor();
        if (scanJob_->Failed() && !model_.AppClosing.load()) host_.AddErrorLine(scanJob_->ErrorText());
        if (!model_.CancelOperation.load() && !model_.AppClosing.load()) {
            finder_.TakeScanResult(std::move(scanJob_->tempFilesAr));
            scanJob_->tempFilesAr.clear();
            finder_.SaveFileList(spec_);
        } else {
            findAfterScan_ = false;
        }
        scanJob_.reset();
    }
    collected_ = true;
    UpdateCacheOption();
    SetWorking(false);
    ShowFileCount();
    bScanDuplicates->setText("New scan");
    CloseWait();
    host_.SetStatus(nullptr, "Ready");
    const bool thenFind = findAfterScan_ && !model_.CancelOperation.load();
    findAfterScan_ = false;
    emit CollectFinished();
    if (thenFind) {
        bFindDuplicates->show();
        StartFind();
    }
}

void TFormDuplicates::ImportAndFind(const std::string& listFile) {
    if (Running() || host_.OperationInProgress()) return Notify("Another operation is in progress");
    spec_.clear();  // an imported list has no folder specification to save results under
    if (!finder_.ImportList(listFile)) {
        ShowInfo("File not found: " + listFile);
        return;
    }
    collected_ = true;
    ShowFileCount();
    bFindDuplicates->show();
    StartFind();
}

void TFormDuplicates::bFindDuplicatesClick() {
    if (Running() || host_.OperationInProgress()) return Notify("Another operation is in progress");
    StartFind();
}

void TFormDuplicates::StartFind() {
    model_.PauseOperation = false;
    model_.CancelOperation = false;
    // The delete panel's rows would refer to records the search now owns.
    cpanelDeleteDuplicates->hide();
    rows_ = {};
    liveGroupIds_.clear();
    groupsShown_ = 0;
    finder_.FoundGroups.Clear();
    lvDuplicates->SetItemsCount(0);
    lvDuplicatesBottom->Clear();
    bottomEntries_.clear();
    StaticText3x->clear();
    SetWorking(true);
    OpenWait(true);
    Notify("Thorough comparison started");
    host_.SetStatus(nullptr, "Processing");
    findJob_ = std::make_unique<TThreadFindDuplicates>(model_, finder_);
    findJob_->Start();
    disconnect(poll_, nullptr, this, nullptr);
    connect(poll_, &QTimer::timeout, this, &TFormDuplicates::PollFind);
    poll_->start();
}

void TFormDuplicates::PollFind() {
    QPointer<TFormPleaseWait> wait = host_.PleaseWaitSlot(3);
    if (wait) wait->Step();
    host_.SetStatus(wait, model_.ProgressText.GetText());
    host_.SetStatus2(wait, ProgressText2().GetText());
    if (findJob_ && findJob_->threadRunning.load() && !model_.AppClosing.load()) {
        ShowFoundGroups();
        return;
    }
    EndFind();
}

void TFormDuplicates::ShowFoundGroups() {
    const std::vector<std::vector<int>> found = finder_.FoundGroups.From(groupsShown_);
    if (found.empty()) return;
    for (const std::vector<int>& group : found) {
        const int id = kFirstGroupId + static_cast<int>(groupsShown_++);
        rows_.rows.push_back(kGroupSeparatorRow);
        liveGroupIds_.push_back(id);
        for (int position : group) {
            rows_.rows.push_back(position);
            liveGroupIds_.push_back(id);
        }
        // Names, folders and sizes are set before the search and only read by it.
        const std::int64_t size = finder_.Entry(group.front()).Size;
        rows_.files += static_cast<int>(group.size());
        rows_.groups += 1;
        rows_.totalSize += size * static_cast<std::int64_t>(group.size());
        rows_.uniqueSize += size;
    }
    lvDuplicates->SetItemsCount(static_cast<int>(rows_.rows.size()));
    StaticText3x->setText(Q(rows_.Summary()));
}

void TFormDuplicates::EndFind() {
    poll_->stop();
    bool completed = false;
    if (findJob_) {
        findJob_->WaitFor();
        if (findJob_->Failed() && !model_.AppClosing.load()) host_.AddErrorLine(findJob_->ErrorText());
        completed = findJob_->completed && !findJob_->Failed();
        findJob_.reset();
    }
    SetWorking(false);
    ShowCounters();
    if (completed && !spec_.empty()) {
        finder_.SaveResults(spec_);
        AddSession(spec_);
    }
    SaveComparisonCache();
    CloseWait();
    host_.SetStatus2(nullptr, "");
    RunGroupFilter();
    host_.SetStatus(nullptr, "Ready");
    emit FindFinished();
}

void TFormDuplicates::bCancelClick() { model_.CancelOperation = true; }

// ---- the shown rows ----

void TFormDuplicates::RunGroupFilter() {
    TimerLateFilter->stop();
    if (Running()) return;
    host_.SetStatus(nullptr, "Filtering...");
    const int focused = lvDuplicates->FocusedRow();
    lvDuplicatesBottom->Clear();
    bottomEntries_.clear();
    TGroupFilterOptions options;
    options.filter = S(edFilter->text());
    options.matchFilename = cbMatchFilename->isChecked();
    options.matchParentFolderName = cbMatchParentFolderName->isChecked();
    rows_ = finder_.GroupFilter(options);
    liveGroupIds_.clear();
    lvDuplicates->SetItemsCount(0);
    lvDuplicates->SetItemsCount(static_cast<int>(rows_.rows.size()));
    lvDuplicates->Invalidate();
    StaticText3x->setText(Q(rows_.Summary()));
    if (focused >= 0 && focused < static_cast<int>(rows_.rows.size())) {
        lvDuplicates->SelectItemIdCentered(focused);
        SelectionChanged();
    }
    host_.SetStatus(nullptr, "Ready");
}

const TFileEntryDuplicates* TFormDuplicates::RowEntry(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.rows.size())) return nullptr;
    const int position = rows_.rows[static_cast<std::size_t>(row)];
    if (position == kGroupSeparatorRow || position < 0 || position >= static_cast<int>(finder_.Entries.size()))
        return nullptr;
    return &finder_.Entry(position);
}

QString TFormDuplicates::CellText(int row, int column) const {
    if (row >= 0 && row < static_cast<int>(rows_.rows.size()) &&
        rows_.rows[static_cast<std::size_t>(row)] == kGroupSeparatorRow)
        return column == 0 ? QStringLiteral("--GROUP--") : QString();
    const TFileEntryDuplicates* entry = RowEntry(row);
    if (!entry) return {};
    const QString caption = lvDuplicates->ColumnCaption(column);
    if (caption == "Filename") return Q(entry->FileName);
    if (caption == "Path") return Q(entry->Path);
    if (caption == "Size") return Q(FormatCount(static_cast<double>(entry->Size)));
    if (caption == "Date") return entry->DateM == 0 ? QString() : Q(FormatDateTimeSec(entry->DateM));
    if (caption == "Group")
        return QString::number(Running() && row < static_cast<int>(liveGroupIds_.size())
                                   ? liveGroupIds_[static_cast<std::size_t>(row)]
                                   : entry->DuplicateGroupId);
    return {};
}

void TFormDuplicates::DrawCell(QPainter& painter, const QRect& cell, int row, int column, bool selected, bool focused) {
    const TFileEntryDuplicates* entry = RowEntry(row);
    if (!entry) {
        // A separator opens each group.
        painter.fillRect(cell, selected ? QColor(0, 0, 128) : QColor(221, 221, 255));
        return;
    }
    if (selected) {
        TListViewEx::FillCellBackground(painter, cell, true, focused);
    } else {
        painter.fillRect(cell, Qt::white);
        painter.setPen(OnDisk(*entry) ? QColor(Qt::black) : QColor(255, 0, 0));
    }
    const QString text = CellText(row, column);
    const QString caption = lvDuplicates->ColumnCaption(column);
    if (caption == "Size" || caption == "Group")
        TListViewEx::_DrawTextW_Right(painter, cell, text);
    else
        TListViewEx::_DrawTextW_Left(painter, cell, text, caption == "Filename" ? TListViewEx::IconLeft + 20 : 2);
}

void TFormDuplicates::SelectionChanged() {
    lvDuplicatesBottom->Clear();
    bottomEntries_.clear();
    const int row = lvDuplicates->FocusedRow();
    if (row >= 0 && row < static_cast<int>(rows_.rows.size()) &&
        rows_.rows[static_cast<std::size_t>(row)] == kGroupSeparatorRow) {
        labelDuplicatesOf->setText("--GROUP--");
        return;
    }
    const TFileEntryDuplicates* entry = RowEntry(row);
    if (!entry || lvDuplicates->SelectedCount() != 1) {
        labelDuplicatesOf->setText("Duplicates of:");
        return;
    }
    labelDuplicatesOf->setText(Q("Duplicates of: " + entry->FileName));
    edDuplicate_Filter_Secondary->setText(Q(entry->Path));
    std::vector<int> members;
    if (Running()) {
        // The keys are the search's until it ends; the shown group is whole.
        std::size_t first = static_cast<std::size_t>(row);
        while (first > 0 && rows_.rows[first - 1] != kGroupSeparatorRow) --first;
        for (std::size_t r = first; r < rows_.rows.size() && rows_.rows[r] != kGroupSeparatorRow; ++r)
            members.push_back(rows_.rows[r]);
    } else {
        members = finder_.GroupMembers(entry->Checksum);
    }
    for (int position : members) {
        const TFileEntryDuplicates& copy = finder_.Entry(position);
        if (!OnDisk(copy)) continue;
        bottomEntries_.push_back(position);
        lvDuplicatesBottom->AddRange({Q(copy.FileName), Q(copy.Path), Q(FormatCount(static_cast<double>(copy.Size))),
                                      copy.DateM == 0 ? QString() : Q(FormatDateTimeSec(copy.DateM))});
    }
}

// ---- deleting ----

int TFormDuplicates::SingleSelectedFile() {
    const std::vector<int> selected = lvDuplicates->SelectedRows();
    const TFileEntryDuplicates* entry = selected.size() == 1 ? RowEntry(selected[0]) : nullptr;
    if (!entry || entry->Checksum.empty()) {
        ShowInfo("Please select a single file");
        return -1;
    }
    return rows_.rows[static_cast<std::size_t>(selected[0])];
}

void TFormDuplicates::OpenGroupPage(const std::string& key, int chosen, bool checkOthers) {
    groupKey_ = key;
    groupEntries_ = finder_.GroupMembers(key);
    labelChecksum->setText(Q("Files having checksum: " + key));
    lvDuplicates1->Clear();
    const std::string chosenPath = finder_.Entry(chosen).FullFileName();
    int chosenRow = -1;
    for (int position : groupEntries_) {
        const std::string path = finder_.Entry(position).FullFileName();
        const int row = lvDuplicates1->AddRange({Q(path), Q(kOnDisk)});
        const bool isChosen = position == chosen || platform::SameTextIgnoreCase(path, chosenPath);
        if (isChosen && chosenRow < 0) chosenRow = row;
        lvDuplicates1->SetChecked(row, checkOthers && !isChosen);
    }
    if (chosenRow >= 0) lvDuplicates1->SetSelectedRows({chosenRow});
    RefreshGroupStatuses();
    pagesDelete->setCurrentWidget(tsDeleteGroup);
    cpanelDeleteDuplicates->show();
}

void TFormDuplicates::RefreshGroupStatuses() {
    for (int row = 0; row < lvDuplicates1->ItemsCount(); ++row) {
        const TFileEntryDuplicates& entry = finder_.Entry(groupEntries_[static_cast<std::size_t>(row)]);
        QStringList cells = lvDuplicates1->GetLVLineAr(row);
        cells[1] = OnDisk(entry) ? kOnDisk : kDeleted;
        // A deleted entry has lost its path; the row keeps the one it had.
        lvDuplicates1->SetLVLineAr(row, cells);
    }
}

void TFormDuplicates::bRefreshGroupClick() { RefreshGroupStatuses(); }

bool TFormDuplicates::DeleteCopy(const std::string& path, const std::vector<std::string>& staying) {
    // The last check before the file goes: another file on disk, not this
    // one under a second name, must still hold the same bytes.
    FileContentComparer comparer(model_);
    bool copyLeft = false;
    for (const std::string& other : staying) {
        if (!platform::FileExists(other) || platform::SameTextIgnoreCase(other, path) || SameFileOnDisk(other, path))
            continue;
        if (comparer.CompareContents(path, other) == FC_IDENTICAL) {
            copyLeft = true;
            break;
        }
    }
    if (!copyLeft) {
        ShowInfo("File " + path + " will not be deleted. Not enough mirror Items left");
        return false;
    }
    if (!platform::MoveToTrash(path) && platform::FileExists(path)) {
        ShowInfo("deletefile failed: " + path);
        if (platform::FileExists(path)) ShowInfo("File " + path + " could not be deleted");
        return false;
    }
    if (platform::FileExists(path)) {
        ShowInfo("File " + path + " could not be deleted");
        return false;
    }
    LogDeletedFile(path);
    finder_.MarkDeleted(path);
    return true;
}

void TFormDuplicates::DeleteFileClick() {
    if (Running()) return;
    const int chosen = SingleSelectedFile();
    if (chosen < 0) return;
    OpenGroupPage(finder_.Entry(chosen).Checksum, chosen, false);
    bDeleteSelectedGroupClick();
}

void TFormDuplicates::bDeleteSelectedGroupClick() {
    const int row = lvDuplicates1->SelectedRow();
    if (row < 0 || row >= static_cast<int>(groupEntries_.size())) return ShowInfo("Please select a single file");
    std::vector<std::string> paths, onDisk;
    for (int i = 0; i < lvDuplicates1->ItemsCount(); ++i) {
        paths.push_back(S(lvDuplicates1->GetText_K(i, 0)));
        if (platform::FileExists(paths.back())) onDisk.push_back(paths.back());
    }
    if (onDisk.size() <= 1) return ShowInfo("There must be at least 2 files left on the disk, to perform this action");
    if (const std::string error = FakeDuplicateError(paths); !error.empty()) return ShowError(error);
    const std::string path = paths[static_cast<std::size_t>(row)];
    if (AskOkCancel("Are you sure you want to delete duplicate file: \r\r" + path + "?") != MessageAnswer::Ok) return;
    std::vector<std::string> staying;
    for (const std::string& other : onDisk)
        if (other != path) staying.push_back(other);
    DeleteCopy(path, staying);
    RefreshGroupStatuses();
    AfterDeletion();
}

void TFormDuplicates::KeepFileDeleteOthersClick() {
    if (Running()) return;
    const int chosen = SingleSelectedFile();
    if (chosen < 0) return;
    OpenGroupPage(finder_.Entry(chosen).Checksum, chosen, true);
    cpanelDeleteDuplicates->hide();
    bDeleteCheckedClick();
}

void TFormDuplicates::bDeleteCheckedClick() {
    std::vector<std::string> paths, onDisk, doomed, staying;
    bool uncheckedOnDisk = false;
    for (int i = 0; i < lvDuplicates1->ItemsCount(); ++i) {
        const std::string path = S(lvDuplicates1->GetText_K(i, 0));
        const bool exists = platform::FileExists(path);
        paths.push_back(path);
        if (exists) onDisk.push_back(path);
        if (lvDuplicates1->IsChecked(i)) {
            if (exists) doomed.push_back(path);
        } else if (exists) {
            uncheckedOnDisk = true;
            staying.push_back(path);
        }
    }
    if (onDisk.size() <= 1) return ShowInfo("There must be at least 2 files left on the disk, to perform this action");
    if (const std::string error = FakeDuplicateError(paths); !error.empty()) return ShowError(error);
    if (!uncheckedOnDisk) return ShowInfo("You have to leave one copy of the file unchecked");
    if (doomed.empty()) return;
    std::string list;
    for (const std::string& path : doomed) list += path + "\r";
    if (AskOkCancel("Are you sure you want to delete duplicate files: \r\r" + list + "?") != MessageAnswer::Ok) return;
    for (const std::string& path : doomed) DeleteCopy(path, staying);
    RefreshGroupStatuses();
    AfterDeletion();
}

void TFormDuplicates::AfterDeletion() {
    RunGroupFilter();
    if (!spec_.empty()) finder_.SaveResults(spec_);
}

// ---- the folder page ----

void TFormDuplicates::ShowFolderPage(const std::string& caption, std::vector<int> entries) {
    folderEntries_ = std::move(entries);
    labelFilesInPath->setText(Q("Files in path: " + caption));
    lvDuplicates2->Clear();
    lvDuplicates3->Clear();
    std::int64_t total = 0;
    for (int position : folderEntries_) {
        const TFileEntryDuplicates& entry = finder_.Entry(position);
        const bool exists = OnDisk(entry);
        if (exists) total += entry.Size;
        lvDuplicates2->AddRange({Q(entry.FullFileName()), exists ? QString() : QString(kDeleted)});
    }
    labelFolderFiles->setText(
        Q("Files: " + FormatCount(static_cast<double>(folderEntries_.size())) + ", size: " + FormatBytes(total)));
    pagesDelete->setCurrentWidget(tsDeleteFolder);
    cpanelDeleteDuplicates->show();
}

void TFormDuplicates::DeleteAllFromPathClick() {
    if (Running()) return;
    const int chosen = SingleSelectedFile();
    if (chosen < 0) return;
    const TFileEntryDuplicates& selected = finder_.Entry(chosen);
    const std::string folder = Lower(selected.Path);
    std::vector<int> entries;
    for (int position : finder_.duplicateFilesLVItems) {
        const TFileEntryDuplicates& entry = finder_.Entry(position);
        if (entry.DuplicateGroupId == 0 || entry.Checksum.empty() || !Lower(entry.Path).starts_with(folder)) continue;
        if (cbMatchFilename->isChecked() && !platform::SameTextIgnoreCase(entry.FileName, selected.FileName)) continue;
        entries.push_back(position);
    }
    ShowFolderPage(selected.Path, std::move(entries));
}

void TFormDuplicates::bRefreshFolderClick() {
    for (int row = 0; row < lvDuplicates2->ItemsCount(); ++row) {
        const TFileEntryDuplicates& entry = finder_.Entry(folderEntries_[static_cast<std::size_t>(row)]);
        QStringList cells = lvDuplicates2->GetLVLineAr(row);
        if (!OnDisk(entry))
            cells[1] = kDeleted;
        else if (!entry.Checksum.empty())
            cells[1] = Q(FormatCount(finder_.ExistingCopies(entry.Checksum)) + " copies");
        lvDuplicates2->SetLVLineAr(row, cells);
    }
}

void TFormDuplicates::FolderPageSelectionChanged() {
    lvDuplicates3->Clear();
    const int row = lvDuplicates2->SelectedRow();
    if (row < 0 || row >= static_cast<int>(folderEntries_.size())) return;
    const TFileEntryDuplicates& entry = finder_.Entry(folderEntries_[static_cast<std::size_t>(row)]);
    for (int position : finder_.GroupMembers(entry.Checksum))
        if (position != folderEntries_[static_cast<std::size_t>(row)] && OnDisk(finder_.Entry(position)))
            lvDuplicates3->AddRange({Q(finder_.Entry(position).FullFileName())});
}

void TFormDuplicates::bFilterClick() {
    if (Running()) return;
    const std::string secondary = S(edDuplicate_Filter_Secondary->text().trimmed());
    const std::string master = S(edDuplicate_Filter_Master->text().trimmed());
    const std::string lowSecondary = Lower(secondary), lowMaster = Lower(master);
    const bool subfolders = CheckBox1x->isChecked();
    if (subfolders) {
        // The master inside the secondary folder (or the reverse) would let
        // the copies meant to stay be listed for deletion.
        if (!lowSecondary.empty() && lowMaster.find(lowSecondary) != std::string::npos)
            return ShowInfo("Master path is a subset of secondary path");
        if (!lowMaster.empty() && lowSecondary.find(lowMaster) != std::string::npos)
            return ShowInfo("Secondary path is a subset of master path");
    } else if (platform::SameTextIgnoreCase(secondary, master)) {
        return ShowInfo("Master path is the same as the secondary path");
    }
    const std::string folder = WithSlash(lowSecondary);
    std::vector<int> entries;
    for (int position : finder_.duplicateFilesLVItems) {
        const TFileEntryDuplicates& entry = finder_.Entry(position);
        if (entry.DuplicateGroupId == 0 || entry.Checksum.empty() || !OnDisk(entry)) continue;
        const std::string path = Lower(entry.Path);
        if (subfolders ? !path.starts_with(folder) : path != folder) continue;
        if (!master.empty() && finder_.CopiesUnder(entry.Checksum, master) == 0) continue;
        entries.push_back(position);
    }
    ShowFolderPage(secondary, std::move(entries));
}

void TFormDuplicates::bDeleteFilesClick() {
    if (AskOkCancel("Are you sure you want to delete all shown duplicate files?") != MessageAnswer::Ok) return;
    const std::vector<int> entries = folderEntries_;
    const std::string count = FormatCount(static_cast<double>(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const TFileEntryDuplicates& entry = finder_.Entry(entries[k]);
        const std::string path = entry.FullFileName();
        host_.SetStatus(nullptr,
                        "Deleting file " + FormatCount(static_cast<double>(k + 1)) + " of " + count + ": " + path);
        if (entry.FileName.empty() || !platform::FileExists(path)) continue;
        std::vector<std::string> staying;
        for (int position : finder_.GroupMembers(entry.Checksum))
            if (position != entries[k] && OnDisk(finder_.Entry(position)))
                staying.push_back(finder_.Entry(position).FullFileName());
        DeleteCopy(path, staying);
    }
    cpanelDeleteDuplicates->hide();
    AfterDeletion();
    host_.SetStatus(nullptr, "Ready");
}

// ---- other commands ----

void TFormDuplicates::bCleanupDeletedClick() {
    if (Running()) return;
    const int removed = finder_.CleanUpDeleted([this](const std::string& text) { host_.SetStatus(nullptr, text); });
    if (!spec_.empty()) finder_.SaveResults(spec_);
    ShowInfo(FormatCount(removed) + " items have been cleaned up");
    RunGroupFilter();
}

void TFormDuplicates::bExportClick() {
    if (Running()) return Notify("Another operation is in progress");
    const std::string sep = ",";
    TStringList lines{"group id" + sep + "filename" + sep + "size" + sep + "date"};
    for (int position : rows_.rows) {
        if (position == kGroupSeparatorRow) {
            lines.push_back("---");
            continue;
        }
        const TFileEntryDuplicates& entry = finder_.Entry(position);
        lines.push_back(std::to_string(entry.DuplicateGroupId) + sep + entry.FullFileName() + sep +
                        std::to_string(entry.Size) + sep + (entry.DateM == 0 ? "" : FormatDateTimeSec(entry.DateM)));
    }
    lastExport_ = DataFile(AddTimestampToFileName("DuplicateResults.csv"));
    if (!SaveTextFile(lines, lastExport_)) return host_.AddErrorLine("Could not write " + lastExport_);
    ShellOpen(lastExport_);
}

void TFormDuplicates::bExportFolderClick() {
    TStringList lines;
    for (int row = 0; row < lvDuplicates2->ItemsCount(); ++row) lines.push_back(S(lvDuplicates2->GetText_K(row, 0)));
    lastExport_ = DataFile(AddTimestampToFileName("export.txt"));
    if (!SaveTextFile(lines, lastExport_)) return host_.AddErrorLine("Could not write " + lastExport_);
    ShellOpen(lastExport_);
}

bool TFormDuplicates::TwoSelectedFiles(std::string& a, std::string& b) {
    const std::vector<int> selected = lvDuplicates->SelectedRows();
    const TFileEntryDuplicates* first = selected.size() == 2 ? RowEntry(selected[0]) : nullptr;
    const TFileEntryDuplicates* second = selected.size() == 2 ? RowEntry(selected[1]) : nullptr;
    if (!first || !second) {
        ShowInfo("Please select two files");
        return false;
    }
    a = first->FullFileName();
    b = second->FullFileName();
    return true;
}

void TFormDuplicates::CompareFilesWithTandrel() {
    std::string a, b;
    if (!TwoSelectedFiles(a, b)) return;
    for (const std::string& path : {a, b})
        if (!platform::FileExists(path)) return ShowInfo("File " + path + " does not exist");
    ShellOpen(platform::ExecutablePath(), Quoted(a) + " " + Quoted(b));
}

void TFormDuplicates::CompareFilesExternal() {
    std::string a, b;
    if (!TwoSelectedFiles(a, b)) return;
    for (const std::string& path : {a, b})
        if (!platform::FileExists(path)) return ShowInfo("File " + path + " does not exist");
    auto* program = host_.HostWindow()->findChild<QLineEdit*>("edWinMergePath");
    const std::string tool = program ? S(program->text().trimmed()) : std::string();
    if (tool.empty()) return;
    if (!StartExternalCompare(tool, a, b)) host_.AddErrorLine("Could not start " + tool);
}

void TFormDuplicates::CompareFilesCmp() {
    std::string a, b;
    if (!TwoSelectedFiles(a, b)) return;
    for (const std::string& path : {a, b})
        if (!platform::FileExists(path)) return ShowInfo("File " + path + " does not exist");
    // The byte-wise compare of the shell, in a terminal that stays open.
    auto shellQuoted = [](const std::string& path) {
        std::string quoted = "'";
        for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    };
    const std::string script = DataFile("fc1.sh");
    if (!SaveTextFile({"#!/bin/sh", "cmp -l " + shellQuoted(a) + " " + shellQuoted(b) + " | head",
                       "printf 'Press Enter to close'", "read _"},
                      script))
        return host_.AddErrorLine("Could not write " + script);
    const std::string terminal = FindTerminal(TerminalSearch::FromEnvironment());
    if (terminal.empty()) return ShowInfo("No terminal found");
    if (!ShellOpen(terminal, "-e sh " + Quoted(script))) host_.AddErrorLine("Could not start " + terminal);
}

void TFormDuplicates::CompareDirectoriesClick() {
    const std::vector<int> selected = lvDuplicates->SelectedRows();
    const TFileEntryDuplicates* first = selected.size() == 2 ? RowEntry(selected[0]) : nullptr;
    const TFileEntryDuplicates* second = selected.size() == 2 ? RowEntry(selected[1]) : nullptr;
    if (!first || !second) return ShowInfo("Please select two files");
    for (const std::string& folder : {first->Path, second->Path})
        if (!platform::DirectoryExists(folder)) return ShowInfo("Directory " + folder + " does not exist");
    ShellOpen(platform::ExecutablePath(), Quoted(first->Path) + " " + Quoted(second->Path));
}

void TFormDuplicates::OpenClick() {
    const TFileEntryDuplicates* entry = RowEntry(lvDuplicates->FocusedRow());
    if (!entry || entry->FileName.empty()) return;
    if (!platform::FileExists(entry->FullFileName())) return ShowInfo("File not found: " + entry->FullFileName());
    ShellOpen(entry->FullFileName());
}

void TFormDuplicates::LocateClick(bool bottom) {
    std::string path;
    if (bottom) {
        const int row = lvDuplicatesBottom->SelectedRow();
        if (row < 0 || row >= static_cast<int>(bottomEntries_.size())) return;
        path = finder_.Entry(bottomEntries_[static_cast<std::size_t>(row)]).FullFileName();
    } else if (const TFileEntryDuplicates* entry = RowEntry(lvDuplicates->FocusedRow())) {
        path = entry->FullFileName();
    }
    if (!path.empty()) ShellLocate(path);
}

void TFormDuplicates::CreateRuleClick() {
    const int row = lvDuplicatesBottom->SelectedRow();
    if (row < 0 || row >= static_cast<int>(bottomEntries_.size())) return;
    edDuplicate_Filter_Master->setText(Q(finder_.Entry(bottomEntries_[static_cast<std::size_t>(row)]).Path));
}

// ---- folder-pair statistics ----

namespace {

const QStringList kPairColumns = {"Path1:260:L:0",  "Path2:260:L:0",   "Size1:80:R:101",   "Files1:60:R:101",
                                  "Size2:80:R:101", "Files2:60:R:101", "Ident S:80:R:101", "Ident F:60:R:101",
                                  "s1:40:R:101",    "s2:40:R:101",     "f1:40:R:101",      "f2:40:R:101"};

QString Percent(float value) { return QString::number(static_cast<double>(value), 'f', 0); }

// The number a column sorts by; paths sort by text instead.
double PairNumber(const FileGroupStats& s, const QString& caption) {
    if (caption == "Size1") return static_cast<double>(s.Size1);
    if (caption == "Files1") return s.Files1;
    if (caption == "Size2") return static_cast<double>(s.Size2);
    if (caption == "Files2") return s.Files2;
    if (caption == "Ident S") return static_cast<double>(s.IdentSize);
    if (caption == "Ident F") return s.IdentFiles;
    if (caption == "s1") return s.S1;
    if (caption == "s2") return s.S2;
    if (caption == "f1") return s.F1;
    if (caption == "f2") return s.F2;
    return 0;
}

}  // namespace

void TFormDuplicates::BuildPairsPage(QStackedWidget* pages) {
    auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(name);
        widget->setAccessibleName(accessible);
        return widget;
    };
    tsViewByPath = new QWidget(pages);
    tsViewByPath->setObjectName("tsViewByPath");
    auto* layout = new QVBoxLayout(tsViewByPath);
    auto* top = new QHBoxLayout;
    auto button = [&](QPushButton*& target, const char* name, const char* text) {
        target = new QPushButton(text, tsViewByPath);
        named(target, name, text);
        top->addWidget(target);
    };
    button(btnBackFromPaths, "btnBackFromPaths", " << Back");
    button(btnProcess, "btnProcess", "Process");
    SpinEdit1 = new QSpinBox(tsViewByPath);
    named(SpinEdit1, "SpinEdit1", "Threshold %");
    SpinEdit1->setRange(0, 100);
    top->addWidget(new QLabel("Threshold %", tsViewByPath));
    top->addWidget(SpinEdit1);
    button(btnOpenFolder1, "btnOpenFolder1", "open folder 1");
    button(btnOpenFolder2, "btnOpenFolder2", "open folder 2");
    button(btnTandrel, "btnTandrel", "Tandrel");
    top->addStretch(1);

    ListViewEx1 = new TListViewEx(tsViewByPath);
    named(ListViewEx1, "ListViewEx1", "Folder pairs");
    ListViewEx1->SetDesignedColumns(kPairColumns);
    ListViewEx1->OnGetText = [this](int row, int column) { return PairCellText(row, column); };
    ListViewEx1->OnSort = [this] { SortPairs(); };
    ListViewEx1->OnSelectItem = [this](int, bool) { PairSelectionChanged(); };

    panelFolderPair = new QWidget(tsViewByPath);
    named(panelFolderPair, "panelFolderPair", "Statistics of the two folders");
    auto* pair = new QVBoxLayout(panelFolderPair);
    auto label = [&](QLabel*& target, const char* name, const char* accessible) {
        target = new QLabel(panelFolderPair);
        // Read by its text, which starts with the caption.
        target->setObjectName(name);
        target->setAccessibleDescription(accessible);
        target->setTextInteractionFlags(Qt::TextSelectableByMouse);
        pair->addWidget(target);
    };
    label(lblPairFolder1, "lblPairFolder1", "Folder 1");
    label(lblPairFolder2, "lblPairFolder2", "Folder 2");
    label(lblPairIdentical, "lblPairIdentical", "Identical");

    layout->addLayout(top);
    layout->addWidget(ListViewEx1, 1);
    layout->addWidget(panelFolderPair);
    pages->addWidget(tsViewByPath);
    PairSelectionChanged();

    connect(btnBackFromPaths, &QPushButton::clicked, this, &TFormDuplicates::btnBackFromPathsClick);
    connect(btnProcess, &QPushButton::clicked, this, &TFormDuplicates::btnProcessClick);
    connect(btnOpenFolder1, &QPushButton::clicked, this, [this] { OpenPairFolderClick(false); });
    connect(btnOpenFolder2, &QPushButton::clicked, this, [this] { OpenPairFolderClick(true); });
    connect(btnTandrel, &QPushButton::clicked, this, &TFormDuplicates::btnTandrelClick);
}

void TFormDuplicates::btnViewByPathClick() { pagesMain->setCurrentWidget(tsViewByPath); }

void TFormDuplicates::btnBackFromPathsClick() { pagesMain->setCurrentWidget(tsMain); }

void TFormDuplicates::btnProcessClick() {
    // The groups of a running search are still growing.
    if (Running()) return Notify("Another operation is in progress");
    finder_._tempMinSize = MinSizeBytes();
    finder_._tempMaxSize = MaxSizeBytes();
    const auto threshold = static_cast<float>(SpinEdit1->value());
    pairs_.clear();
    for (FileGroupStats& s : finder_.FolderPairStatistics(rows_.rows))
        if (s.S1 >= threshold || s.S2 >= threshold || s.F1 >= threshold || s.F2 >= threshold)
            pairs_.push_back(std::move(s));
    ListViewEx1->SetItemsCount(0);
    ListViewEx1->SetItemsCount(static_cast<int>(pairs_.size()));
    ListViewEx1->SortAgain();
    ListViewEx1->Invalidate();
    PairSelectionChanged();
}

QString TFormDuplicates::PairCellText(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(pairs_.size())) return {};
    const FileGroupStats& s = pairs_[static_cast<std::size_t>(row)];
    const QString caption = ListViewEx1->ColumnCaption(column);
    if (caption == "Path1") return Q(s.Path1);
    if (caption == "Path2") return Q(s.Path2);
    if (caption == "Size1") return Q(FormatBytes(s.Size1));
    if (caption == "Files1") return Q(FormatCount(s.Files1));
    if (caption == "Size2") return Q(FormatBytes(s.Size2));
    if (caption == "Files2") return Q(FormatCount(s.Files2));
    if (caption == "Ident S") return Q(FormatBytes(s.IdentSize));
    if (caption == "Ident F") return Q(FormatCount(s.IdentFiles));
    if (caption == "s1") return Percent(s.S1);
    if (caption == "s2") return Percent(s.S2);
    if (caption == "f1") return Percent(s.F1);
    if (caption == "f2") return Percent(s.F2);
    return {};
}

void TFormDuplicates::SortPairs() {
    const int column = ListViewEx1->ColumnClicked;
    const QString caption = ListViewEx1->ColumnCaption(column);
    if (caption.isEmpty()) return;
    // Always the column's own direction: a second click does not reverse it.
    ListViewEx1->FlagInverseSort = false;
    if (caption == "Path1" || caption == "Path2") {
        const bool first = caption == "Path1";
        std::stable_sort(pairs_.begin(), pairs_.end(), [first](const FileGroupStats& a, const FileGroupStats& b) {
            return platform::CollateCompare(first ? a.Path1 : a.Path2, first ? b.Path1 : b.Path2) < 0;
        });
        ListViewEx1->SetHeaderImage(column, 0);
    } else {
        std::stable_sort(pairs_.begin(), pairs_.end(), [&caption](const FileGroupStats& a, const FileGroupStats& b) {
            return PairNumber(a, caption) > PairNumber(b, caption);
        });
        ListViewEx1->SetHeaderImage(column, 1);
    }
    ListViewEx1->Invalidate();
    PairSelectionChanged();
}

const FileGroupStats* TFormDuplicates::SelectedPair() const {
    const int row = ListViewEx1->SelectedRow();
    if (row < 0 || row >= static_cast<int>(pairs_.size())) return nullptr;
    return &pairs_[static_cast<std::size_t>(row)];
}

void TFormDuplicates::PairSelectionChanged() {
    const FileGroupStats* s = SelectedPair();
    for (QPushButton* b : {btnOpenFolder1, btnOpenFolder2, btnTandrel}) b->setEnabled(s != nullptr);
    if (!s) {
        lblPairFolder1->setText("Folder 1:");
        lblPairFolder2->setText("Folder 2:");
        lblPairIdentical->setText("Identical:");
        return;
    }
    auto folder = [](const char* caption, const std::string& path, int files, std::int64_t size) {
        return Q(std::string(caption) + path + "  (files: " + FormatCount(files) + ", size: " + FormatBytes(size) +
                 ")");
    };
    lblPairFolder1->setText(folder("Folder 1: ", s->Path1, s->Files1, s->Size1));
    lblPairFolder2->setText(folder("Folder 2: ", s->Path2, s->Files2, s->Size2));
    lblPairIdentical->setText(Q("Identical: " + FormatCount(s->IdentFiles) + " files, " + FormatBytes(s->IdentSize)));
}

void TFormDuplicates::OpenPairFolderClick(bool second) {
    const FileGroupStats* s = SelectedPair();
    if (!s) return;
    const std::string& folder = second ? s->Path2 : s->Path1;
    if (!platform::DirectoryExists(folder)) return ShowInfo("Directory " + folder + " does not exist");
    if (!ShellOpenFolder(folder)) host_.AddErrorLine("Could not open " + folder);
}

void TFormDuplicates::btnTandrelClick() {
    // The same second instance as "Compare Directories (Tandrel)": the
    // folder-compare start mode with the two folders.
    const FileGroupStats* s = SelectedPair();
    if (!s) return;
    for (const std::string& folder : {s->Path1, s->Path2})
        if (!platform::DirectoryExists(folder)) return ShowInfo("Directory " + folder + " does not exist");
    if (!ShellOpen(platform::ExecutablePath(), Quoted(s->Path1) + " " + Quoted(s->Path2)))
        host_.AddErrorLine("Could not start " + platform::ExecutablePath());
}

}  // namespace tandrel
