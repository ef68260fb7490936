#include "gui/compare/snapshot_compare_page.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "common/compare.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/messages.h"
#include "common/paths.h"
#include "compare/snapshot_compare.h"
#include "compare/snapshot_compare_thread.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/thread_icons.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/list_view_ex.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/scan_model.h"
#include "scan/snapshot_store.h"

namespace tandrel {

namespace {

// The rank of each sort key in byte order, equal keys sharing a rank.
std::vector<int> CollationRanks(const std::vector<std::string>& keys) {
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)]; });
    std::vector<int> ranks(keys.size());
    int rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto slot = static_cast<std::size_t>(order[i]);
        if (i > 0 && keys[slot] != keys[static_cast<std::size_t>(order[i - 1])]) ++rank;
        ranks[slot] = rank;
    }
    return ranks;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

const QColor kNewColour(221, 221, 255);
const QColor kDeletedColour(255, 221, 221);
const QColor kChangedSizeColour(187, 255, 187);
const QColor kChangedTimeColour(221, 255, 221);

QString Line(const char* caption, int width, bool right = false) {
    return TListViewEx::ColumnLine(caption, width, right, right ? TListViewEx::DescendingTag : 0);
}

const QStringList kTwoSideFileColumns = {Line("Filename", 360),         Line("Left size", 110, true),
                                         Line("Left date", 130, true),  Line("Right size", 110, true),
                                         Line("Right date", 130, true), Line("difference", 100, true),
                                         Line("% difference", 90, true)};

QStringList TwoSideColumns(const char* first) {
    QStringList columns = kTwoSideFileColumns;
    columns[0] = Line(first, 360);
    return columns;
}

QStringList OneSideColumns(const char* first) {
    return {Line(first, 480), Line("Size", 90, true), Line("Date", 130, true)};
}

QStringList MovedColumns(const char* left, const char* right) {
    return {Line(left, 330), Line(right, 330), Line("Size", 90, true), Line("Date", 130, true)};
}

std::string DateText(TDateTime value) { return value == 0 ? std::string() : FormatDateTimeSec(value); }

std::string FileRowPath(const TMergedFileEntry& row) { return PathJoin(row.GetFileParentPathX2(), row.FileName); }

// The background by which sides are present, the sizes and the times.
QColor RowColour(bool left, bool right, std::int64_t sizeLeft, std::int64_t sizeRight, TDateTime dateLeft,
                 TDateTime dateRight) {
    if (right && !left) return kNewColour;
    if (left && !right) return kDeletedColour;
    if (sizeLeft != sizeRight) return kChangedSizeColour;
    if (AbsSecondsBetween(dateRight, dateLeft) > 1) return kChangedTimeColour;
    return Qt::white;
}

bool NumericCaption(const QString& caption) {
    return caption != "Filename" && !caption.endsWith("Filename") && !caption.endsWith("Path");
}

}  // namespace

TFormCompareSnapshots::TFormCompareSnapshots(TViewHost& host, QWidget* page)
    : QObject(host.HostWindow()), host_(host), comparison_(CurrentSnapshotComparison()) {
    setObjectName("FormCompareSnapshots");
    // Held by pointer in the menu: the list of lists never grows past this.
    lists_.reserve(10);
    auto* layout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!layout) layout = new QVBoxLayout(page);

    auto* inputs = new QGridLayout;
    auto input = [&](int row, const char* name, const char* label, QLineEdit*& edit, QPushButton*& select,
                     const char* selectName) {
        edit = new QLineEdit(page);
        edit->setObjectName(name);
        edit->setAccessibleName(label);
        auto* caption = new QLabel(label, page);
        caption->setBuddy(edit);
        select = new QPushButton("...", page);
        select->setObjectName(selectName);
        select->setToolTip("Select volumes");
        select->setAccessibleName("Select volumes");
        inputs->addWidget(caption, row, 0);
        inputs->addWidget(edit, row, 1);
        inputs->addWidget(select, row, 2);
    };
    // The window's picker knows the select buttons by these names.
    input(0, "dirEdit1", "Right snapshot:", dirEdit1, bSelectVolumes1, "bCompareSnapshotSelect1");
    input(1, "dirEdit2", "Left snapshot:", dirEdit2, bSelectVolumes2, "bCompareSnapshotSelect2");
    bStart = new QPushButton("Start", page);
    bStart->setObjectName("bStart");
    bCancel = new QPushButton("Cancel", page);
    bCancel->setObjectName("bCancel");
    bCancel->hide();
    inputs->addWidget(bStart, 0, 3);
    inputs->addWidget(bCancel, 1, 3);
    layout->addLayout(inputs);

    auto* filterRow = new QHBoxLayout;
    ed_Filter = new QLineEdit(page);
    ed_Filter->setObjectName("ed_Filter");
    ed_Filter->setAccessibleName("Filter:");
    auto* filterLabel = new QLabel("Filter:", page);
    filterLabel->setBuddy(ed_Filter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(ed_Filter, 1);
    layout->addLayout(filterRow);

    pcPages = new QTabWidget(page);
    pcPages->setObjectName("pcPages");
    layout->addWidget(pcPages, 1);

    lvOverview = new TListViewEx(pcPages);
    lvOverview->setObjectName("lvOverview");
    lvOverview->setAccessibleName("Overview");
    lvOverview->SetOwnerData(false);
    lvOverview->SetDesignedColumns({Line("Description", 160), Line("Left snapshot", 220), Line("Right snapshot", 220),
                                    Line("difference", 120, true), Line("% difference", 100, true)});
    pcPages->addTab(lvOverview, "Overview");

    auto tabWithTotals = [&](QTabWidget* tabs, TListViewEx* lv, QLabel** totals, const char* totalsName,
                             const QString& caption) {
        auto* holder = new QWidget(tabs);
        auto* v = new QVBoxLayout(holder);
        v->setContentsMargins(0, 0, 0, 0);
        lv->setParent(holder);
        v->addWidget(lv, 1);
        if (totals) {
            *totals = new QLabel(holder);
            (*totals)->setObjectName(totalsName);
            (*totals)->setAccessibleName(caption + " totals");
            (*totals)->hide();
            v->addWidget(*totals);
        }
        tabs->addTab(holder, caption);
    };

    pcFiles = new QTabWidget(pcPages);
    pcFiles->setObjectName("pcFiles");
    lvNewFiles = MakeList(pcFiles, "lvNewFiles", Kind::NewFiles, OneSideColumns("Filename"));
    lvDeletedFiles = MakeList(pcFiles, "lvDeletedFiles", Kind::DeletedFiles, OneSideColumns("Filename"));
    lvUpdatedFiles = MakeList(pcFiles, "lvUpdatedFiles", Kind::UpdatedFiles, kTwoSideFileColumns);
    lvMovedFiles = MakeList(pcFiles, "lvMovedFiles", Kind::MovedFiles, MovedColumns("Left Filename", "Right Filename"));
    tabWithTotals(pcFiles, lvNewFiles, &Label_Totals_New, "Label_Totals_New", "New files");
    tabWithTotals(pcFiles, lvDeletedFiles, &labelTotalsDeleted, "labelTotalsDeleted", "Deleted files");
    tabWithTotals(pcFiles, lvUpdatedFiles, &labelTotalsUpdated, "labelTotalsUpdated", "Updated files");
    tabWithTotals(pcFiles, lvMovedFiles, &labelTotalsMoved, "labelTotalsMoved", "Renamed/Moved files");
    pcPages->addTab(pcFiles, "Files");

    pcFolders = new QTabWidget(pcPages);
    pcFolders->setObjectName("pcFolders");
    lvNewDirectories = MakeList(pcFolders, "lvNewDirectories", Kind::NewFolders, OneSideColumns("Path"));
    lvDeletedDirectories = MakeList(pcFolders, "lvDeletedDirectories", Kind::DeletedFolders, OneSideColumns("Path"));
    lvUpdatedDirectories = MakeList(pcFolders, "lvUpdatedDirectories", Kind::UpdatedFolders, TwoSideColumns("Path"));
    lvMovedDirectories =
        MakeList(pcFolders, "lvMovedDirectories", Kind::MovedFolders, MovedColumns("Left Path", "Right Path"));
    tabWithTotals(pcFolders, lvNewDirectories, nullptr, nullptr, "New folders");
    tabWithTotals(pcFolders, lvDeletedDirectories, nullptr, nullptr, "Deleted folders");
    tabWithTotals(pcFolders, lvUpdatedDirectories, nullptr, nullptr, "Updated folders");
    tabWithTotals(pcFolders, lvMovedDirectories, nullptr, nullptr, "Renamed/Moved folders");
    pcPages->addTab(pcFolders, "Folders");

    auto* mixed = new QWidget(pcPages);
    auto* mixedLayout = new QVBoxLayout(mixed);
    mixedLayout->setContentsMargins(0, 0, 0, 0);
    auto* switches = new QHBoxLayout;
    auto check = [&](const char* name, const char* text, bool on) {
        auto* box = new QCheckBox(text, mixed);
        box->setObjectName(name);
        box->setChecked(on);
        // The row may be cut in a narrow window (the 600-pixel compare-files window shares the page control).
        box->setMinimumWidth(1);
        switches->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] { ApplyShowSwitches(); });
        return box;
    };
    cbShowIdentical = check("cbShowIdentical", "Show identical", false);
    cbShowNew = check("cbShowNew", "Show new", true);
    cbShowDeleted = check("cbShowDeleted", "Show deleted", true);
    cbShowUpdated = check("cbShowUpdated", "Show updated", true);
    cbShowMoved = check("cbShowMoved", "Show renamed/moved", true);
    switches->addStretch(1);
    mixedLayout->addLayout(switches);
    pcMixed = new QTabWidget(mixed);
    pcMixed->setObjectName("pcMixed");
    lvDirectories = MakeList(pcMixed, "lvDirectories", Kind::AllFolders, TwoSideColumns("Path"));
    lvFiles = MakeList(pcMixed, "lvFiles", Kind::AllFiles, kTwoSideFileColumns);
    tabWithTotals(pcMixed, lvDirectories, nullptr, nullptr, "Folders");
    tabWithTotals(pcMixed, lvFiles, nullptr, nullptr, "Files");
    mixedLayout->addWidget(pcMixed, 1);
    pcPages->addTab(mixed, "_Mixed");

    TimerFilter = new QTimer(this);
    TimerFilter->setObjectName("TimerFilter");
    TimerFilter->setInterval(500);
    TimerFilter->setSingleShot(true);
    connect(TimerFilter, &QTimer::timeout, this, &TFormCompareSnapshots::TimerFilterTimer);
    connect(ed_Filter, &QLineEdit::textChanged, this, [this] { TimerFilter->start(); });

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormCompareSnapshots::Poll);
    connect(bStart, &QPushButton::clicked, this, &TFormCompareSnapshots::bStartClick);
    connect(bCancel, &QPushButton::clicked, this, &TFormCompareSnapshots::bCancelClick);
    connect(dirEdit1, &QLineEdit::returnPressed, this, &TFormCompareSnapshots::bStartClick);
    connect(dirEdit2, &QLineEdit::returnPressed, this, &TFormCompareSnapshots::bStartClick);
    connect(bSelectVolumes1, &QPushButton::clicked, this, [this] { emit SelectVolumesRequested(bSelectVolumes1); });
    connect(bSelectVolumes2, &QPushButton::clicked, this, [this] { emit SelectVolumesRequested(bSelectVolumes2); });
    BindPersisted(dirEdit1, "edCompareVolumes1");
    BindPersisted(dirEdit2, "edCompareVolumes2");

    PopupMenu = new QMenu(page);
    PopupMenu->setObjectName("PopupMenu");
    auto command = [this](const char* text, std::function<void(const std::string&)> run) {
        QAction* action = PopupMenu->addAction(text);
        connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
            const std::string item = CurrentItem();
            if (!item.empty()) run(item);
        });
        return action;
    };
    command("Open", [](const std::string& item) {
        if (!ShellOpen(item)) GetMessages().ShowMessage(MessageKind::Info, "Could not open " + item);
    });
    command("Open File Location (Locate in explorer)", [](const std::string& item) { ShellLocate(item); });
    command("Command prompt here", [this](const std::string& item) {
        // For a file its folder: the text up to its last separator (the
        // terminal takes an existing file's own folder itself).
        std::string folder = item;
        if (FileListOnScreen()) {
            const std::size_t slash = folder.find_last_of('/');
            if (slash != std::string::npos) folder.resize(slash + 1);
        }
        if (!ShellCommandPromptHere(folder))
            GetMessages().ShowMessage(MessageKind::Info, "No terminal program could be started");
    });
    command("Copy filename", [](const std::string& item) { CopyFilenameToClipboard(item); });
    command("Shell Properties", [this](const std::string& item) { ShellProperties(item, host_.HostWindow()); });
    QAction* compare = PopupMenu->addAction("Compare left and right");
    connect(compare, &QAction::triggered, this, [this] {
        if (!menuList_ || !menuList_->files) return;
        const int row = menuList_->lv->FocusedRow();
        if (row < 0 || row >= menuList_->lv->LvItems.Count()) return;
        const TMergedFileEntry& r = *comparison_.MergedFiles[static_cast<std::size_t>(menuList_->lv->LvItems[row])];
        const std::string left =
            r.Status == MergedFile_Moved && r.ReferenceFile ? LeftFilePath(*r.ReferenceFile) : LeftFilePath(r);
        const std::string right = RightFilePath(r);
        if (left.empty() || right.empty()) return;
        if (!StartExternalCompare(ComparisonProgram(), left, right))
            GetMessages().ShowMessage(MessageKind::Info, "The comparison program could not be started");
    });
    PopupMenu->addSeparator();
    command("Rename...", [this](const std::string& item) { host_.RenameFileDialog(item); });
    auto fileAction = [this](TFileAction action) {
        if (menuList_) host_.FileOperation(action, SelectedFilesText(*menuList_));
    };
    connect(PopupMenu->addAction("Copy to..."), &QAction::triggered, this, [=] { fileAction(TFileAction::Copy); });
    connect(PopupMenu->addAction("Move to..."), &QAction::triggered, this, [=] { fileAction(TFileAction::Move); });
    connect(PopupMenu->addAction("Delete"), &QAction::triggered, this, [=] { fileAction(TFileAction::Delete); });
}

TFormCompareSnapshots::~TFormCompareSnapshots() {
    poll_->stop();
    if (job_) {
        host_.Model().CancelOperation = true;
        job_.reset();  // waits for the worker
    }
    if (wait_) wait_->deleteLater();
}

void TFormCompareSnapshots::BindPersisted(QLineEdit* input, const char* persistedName) {
    auto* persisted = host_.HostWindow()->findChild<QLineEdit*>(persistedName);
    if (!persisted) return;
    input->setText(persisted->text());
    connect(persisted, &QLineEdit::textChanged, input, [input](const QString& text) {
        if (input->text() != text) input->setText(text);
    });
    connect(input, &QLineEdit::textChanged, persisted, [persisted](const QString& text) {
        if (persisted->text() != text) persisted->setText(text);
    });
}

TListViewEx* TFormCompareSnapshots::MakeList(QWidget* parent, const char* name, Kind kind, const QStringList& columns) {
    auto* lv = new TListViewEx(parent);
    lv->setObjectName(name);
    lv->setAccessibleName(name);
    lv->SetDesignedColumns(columns);
    const bool files = kind == Kind::NewFiles || kind == Kind::DeletedFiles || kind == Kind::UpdatedFiles ||
                       kind == Kind::MovedFiles || kind == Kind::AllFiles;
    lists_.push_back({lv, kind, files});
    const int index = static_cast<int>(lists_.size()) - 1;
    auto info = [this, index]() -> const ListInfo& { return lists_[static_cast<std::size_t>(index)]; };
    lv->OnGetText = [this, lv](int row, int column) { return CellText(lv, row, column); };
    lv->OnDrawCell = [this, info](QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                  bool focused) { DrawCell(info(), painter, cell, row, column, selected, focused); };
    lv->OnGetIcon = [this, info](int row, int column) { return CellIcon(info(), row, column); };
    lv->OnSort = [this, info] { SortList(info()); };
    lv->OnSelectItem = [this, info](int row, bool selected) { RowSelected(info(), row, selected); };
    connect(lv, &TListViewEx::RowContextMenu, this, [this, info](const QPoint& pos, int) { ShowPopup(info(), pos); });
    return lv;
}

const TFormCompareSnapshots::ListInfo* TFormCompareSnapshots::InfoOf(const TListViewEx* lv) const {
    for (const ListInfo& info : lists_)
        if (info.lv == lv) return &info;
    return nullptr;
}

// ---- running a comparison ----

void TFormCompareSnapshots::bStartClick() {
    if (job_) return;
    Messages& messages = GetMessages();
    if (host_.OperationInProgress()) {
        messages.ShowMessage(MessageKind::Info, "Another operation is in progress");
        return;
    }
    ScanModel& model = host_.Model();
    // A bare snapshot name is looked for in the snapshots folder first.
    auto resolve = [&](const std::string& text) {
        if (!model.SnapshotsPath.empty() && !text.empty()) {
            const std::string joined = PathJoin(model.SnapshotsPath, text);
            if (platform::FileExists(joined)) return joined;
        }
        return text;
    };
    std::string right = resolve(dirEdit1->text().toStdString());
    std::string left = resolve(dirEdit2->text().toStdString());
    if (!platform::FileExists(right) && !platform::DirectoryExists(right)) {
        messages.ShowMessage(MessageKind::Info, "Snapshot not found: " + right);
        return;
    }
    if (!platform::FileExists(left)) {
        messages.ShowMessage(MessageKind::Info, "Snapshot not found: " + left);
        return;
    }
    if (platform::FileExists(right) && FileModificationTime(left) > FileModificationTime(right)) {
        if (messages.Ask(AskButtons::OkCancel,
                         "Right snapshot must be newer than left snapshot. Click OK to swap snapshots",
                         "Tandrel") != MessageAnswer::Ok)
            return;
        std::swap(left, right);
        dirEdit1->setText(Q(right));
        dirEdit2->setText(Q(left));
    }

    QWidget* window = host_.HostWindow();
    auto* wait = new TFormPleaseWait(model, window);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->ShowTreemapControls(false);
    wait_ = wait;
    host_.PleaseWaitSlot(2) = wait;
    wait->show();
    wait->move(window->geometry().center() - wait->rect().center());
    bStart->setEnabled(false);
    bCancel->show();
    model.CancelOperation = false;
    model.PauseOperation = false;
    ClearLists();

    comparison_.LeftPath = left;
    comparison_.RightPath = right;
    job_ = std::make_unique<TThreadCompareSnapshots>(model, comparison_);
    job_->Start();
    model.ProgressText.SetText("Working...");
    poll_->start();
}

void TFormCompareSnapshots::bCancelClick() { host_.Model().CancelOperation = true; }

void TFormCompareSnapshots::Poll() {
    ScanModel& model = host_.Model();
    if (wait_) wait_->Step();
    std::string progress = model.ProgressText.GetText();
    while (!progress.empty() && (progress.back() == '\n' || progress.back() == '\r')) progress.pop_back();
    host_.SetStatus(wait_, progress);
    if (!job_ || !job_->threadRunning.load()) EndRun();
}

void TFormCompareSnapshots::EndRun() {
    poll_->stop();
    ScanModel& model = host_.Model();
    if (job_) job_->WaitFor();
    // The worker has shown its own failure message.
    job_.reset();
    const bool cancelled = model.CancelOperation.load() || model.AppClosing.load();
    if (!cancelled && !model.AppClosing.load()) {
        FillOverview();
        host_.SetStatus(wait_, "Filtering directories");
        FilterFolders();
        host_.SetStatus(wait_, "Filtering files");
        FilterFiles();
        shown_ = true;
    }
    host_.SetStatus(nullptr, "");
    if (wait_) wait_->close();
    host_.PleaseWaitSlot(2) = nullptr;
    bStart->setEnabled(true);
    bCancel->hide();
    emit Finished();
}

void TFormCompareSnapshots::ClearLists() {
    shown_ = false;
    selectedFolder_.clear();
    selectedFile_.clear();
    for (const ListInfo& info : lists_) {
        info.lv->LvItems.Clear();
        info.lv->SetItemsCount(0);
    }
    lvOverview->ClearItems();
}

// An empty or damaged snapshot has no root folder: its path cell says so,
// and its totals and the differences stay empty.
void TFormCompareSnapshots::FillOverview() {
    lvOverview->ClearItems();
    const TDateTime now = Now();
    const TDateTime leftDate = ComparisonSideDate(comparison_.LeftPath, now);
    const TDateTime rightDate = ComparisonSideDate(comparison_.RightPath, now);
    for (TComparisonOverviewRow row : BuildComparisonOverview(comparison_, leftDate, rightDate, now)) {
        if (row.description == "Path:") {
            if (comparison_.LeftFolders.Empty()) row.left = "(no folders: empty or damaged snapshot)";
            if (comparison_.RightFolders.Empty()) row.right = "(no folders: empty or damaged snapshot)";
        }
        lvOverview->AddRange({Q(row.description), Q(row.left), Q(row.right), Q(row.difference), Q(row.percent)});
    }
}

TComparisonShow TFormCompareSnapshots::ShowSwitches() const {
    TComparisonShow show;
    show.identical = cbShowIdentical->isChecked();
    show.added = cbShowNew->isChecked();
    show.deleted = cbShowDeleted->isChecked();
    show.updated = cbShowUpdated->isChecked();
    show.moved = cbShowMoved->isChecked();
    return show;
}

namespace {

void Fill(TListViewEx* lv, const std::vector<int>& positions) {
    lv->LvItems.Clear();
    lv->LvItems.Reserve(static_cast<int>(positions.size()));
    for (int p : positions) lv->LvItems.Add(p);
    lv->SetItemsCount(lv->LvItems.Count());
    lv->Invalidate();
}

}  // namespace

void TFormCompareSnapshots::FilterFolders() {
    const TFolderRowLists rows = FilterFolderRows(comparison_, ShowSwitches(), ed_Filter->text().toStdString());
    Fill(lvDirectories, rows.all);
    Fill(lvNewDirectories, rows.added);
    Fill(lvDeletedDirectories, rows.deleted);
    Fill(lvUpdatedDirectories, rows.updated);
    Fill(lvMovedDirectories, {});
}

void TFormCompareSnapshots::FilterFiles() {
    const TFileRowLists rows = FilterFileRows(comparison_, ShowSwitches(), ed_Filter->text().toStdString());
    Fill(lvFiles, rows.all);
    Fill(lvNewFiles, rows.added);
    Fill(lvDeletedFiles, rows.deleted);
    Fill(lvUpdatedFiles, rows.updated);
    Fill(lvMovedFiles, rows.moved);
    Label_Totals_New->setText(Q(FileTotalsText(rows.addedTotals.count, rows.addedTotals.sizeRight)));
    labelTotalsDeleted->setText(Q(FileTotalsText(rows.deletedTotals.count, rows.deletedTotals.sizeLeft)));
    labelTotalsUpdated->setText(Q(UpdatedTotalsText(rows.updatedTotals)));
    labelTotalsMoved->setText(Q(FileTotalsText(rows.movedTotals.count, rows.movedTotals.sizeRight)));
    for (QLabel* label : {Label_Totals_New, labelTotalsDeleted, labelTotalsUpdated, labelTotalsMoved}) label->show();
}

void TFormCompareSnapshots::ApplyShowSwitches() {
    if (!shown_) return;
    FilterFolders();
    FilterFiles();
}

void TFormCompareSnapshots::TimerFilterTimer() {
    TimerFilter->stop();
    if (!shown_) return;
    FilterFiles();
    FilterFolders();
    for (const ListInfo& info : lists_)
        if (info.kind != Kind::AllFiles && info.kind != Kind::AllFolders && info.lv->ColumnClicked >= 0) SortList(info);
}

// ---- cells ----

QString TFormCompareSnapshots::CellText(const TListViewEx* lv, int row, int column) const {
    const ListInfo* info = InfoOf(lv);
    if (!info || !shown_ || row < 0 || row >= lv->LvItems.Count()) return {};
    const auto p = static_cast<std::size_t>(lv->LvItems[row]);
    const QString caption = lv->ColumnCaption(column);
    const bool all = info->kind == Kind::AllFiles || info->kind == Kind::AllFolders;
    const bool leftSide = info->kind == Kind::DeletedFiles || info->kind == Kind::DeletedFolders;
    auto size = [all](std::int64_t value) {
        return Q(all ? FormatCount(static_cast<double>(value)) : FormatBytes(value));
    };
    auto numbers = [&](std::int64_t sizeLeft, std::int64_t sizeRight, TDateTime dateLeft,
                       TDateTime dateRight) -> QString {
        if (caption == "Left size") return size(sizeLeft);
        if (caption == "Right size") return size(sizeRight);
        if (caption == "Size") return Q(FormatBytes(leftSide ? sizeLeft : sizeRight));
        if (caption == "Left date") return Q(DateText(dateLeft));
        if (caption == "Right date") return Q(DateText(dateRight));
        if (caption == "Date") return Q(DateText(leftSide ? dateLeft : dateRight));
        if (caption == "difference") return Q(FormatCountSigned(static_cast<double>(sizeRight - sizeLeft)));
        if (caption == "% difference")
            return Q(FormatPercentChange(2, static_cast<double>(sizeRight), static_cast<double>(sizeLeft)));
        return {};
    };
    if (info->files) {
        const TMergedFileEntry& r = *comparison_.MergedFiles[p];
        if (caption == "Filename") return Q(info->kind == Kind::AllFiles ? r.FileName : FileRowPath(r));
        if (caption == "Left Filename") return Q(r.ReferenceFile ? LeftFilePath(*r.ReferenceFile) : "");
        if (caption == "Right Filename") return Q(RightFilePath(r));
        return numbers(r.SizeLeft, r.SizeRight, r.DateMLeft, r.DateMRight);
    }
    const TMergedFolderEntry& r = *comparison_.MergedFolders[p];
    if (caption == "Path" || caption == "Right Path") return Q(r.Path);
    if (caption == "Left Path") return Q(r.ReferenceFolder ? r.ReferenceFolder->Path : "");
    return numbers(r.SizeLeft, r.SizeRight, r.DateMLeft, r.DateMRight);
}

QIcon TFormCompareSnapshots::CellIcon(const ListInfo& info, int row, int column) {
    if (column != 0 || !shown_ || row < 0 || row >= info.lv->LvItems.Count()) return {};
    TThreadIcons* icons = ThreadIcons();
    if (!info.files) return icons ? icons->folderIcon : QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    if (!icons) return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    host_.SetLastActiveLV(info.lv);
    const TMergedFileEntry& r = *comparison_.MergedFiles[static_cast<std::size_t>(info.lv->LvItems[row])];
    return icons->GetIconForFile(FileRowPath(r));
}

void TFormCompareSnapshots::DrawCell(const ListInfo& info, QPainter& painter, const QRect& cell, int row, int column,
                                     bool selected, bool focused) {
    if (!shown_ || row < 0 || row >= info.lv->LvItems.Count()) return;
    const auto p = static_cast<std::size_t>(info.lv->LvItems[row]);
    QColor background;
    if (info.files) {
        const TMergedFileEntry& r = *comparison_.MergedFiles[p];
        background = RowColour(r.FileLeft, r.FileRight, r.SizeLeft, r.SizeRight, r.DateMLeft, r.DateMRight);
    } else {
        const TMergedFolderEntry& r = *comparison_.MergedFolders[p];
        background = RowColour(r.DirLeft, r.DirRight, r.SizeLeft, r.SizeRight, r.DateMLeft, r.DateMRight);
    }
    if (selected) {
        TListViewEx::FillCellBackground(painter, cell, true, focused);
    } else {
        painter.fillRect(cell, background);
        painter.setPen(Qt::black);
    }
    const QString text = CellText(info.lv, row, column);
    if (NumericCaption(info.lv->ColumnCaption(column)))
        TListViewEx::_DrawTextW_Right(painter, cell, text, 2, 6);
    else
        TListViewEx::_DrawTextW_Left(painter, cell, text, column == 0 ? 25 : 2, 2);
}

// ---- sorting ----

// Each row's key is made once, so a million rows sort in one pass of
// comparisons over plain bytes and numbers rather than over built paths.
void TFormCompareSnapshots::SortList(const ListInfo& info) {
    TListViewEx& lv = *info.lv;
    const int count = lv.LvItems.Count();
    if (count == 0 || lv.ColumnClicked < 0 || !shown_) return;
    const QString caption = lv.ClickedCaption();
    const bool numeric = NumericCaption(caption);
    const bool leftSide = info.kind == Kind::DeletedFiles || info.kind == Kind::DeletedFolders;
    // The column is looked up once, not once per row.
    enum class Number { LeftSize, RightSize, Size, LeftDate, RightDate, Date, Difference };
    const Number what = caption == "Left size"    ? Number::LeftSize
                        : caption == "Right size" ? Number::RightSize
                        : caption == "Size"       ? Number::Size
                        : caption == "Left date"  ? Number::LeftDate
                        : caption == "Right date" ? Number::RightDate
                        : caption == "Date"       ? Number::Date
                                                  : Number::Difference;
    // Text columns sort by rank: a path shared by the rows of one folder is
    // collated once, not once per row.
    std::vector<int> slotOfRow(numeric ? 0 : static_cast<std::size_t>(count));
    std::vector<std::string> slotKeys;
    std::unordered_map<const TDirectoryEntry*, int> slotOfFolder;
    std::vector<double> numbers(numeric ? static_cast<std::size_t>(count) : 0);
    // File names break ties of the path columns, except in the mixed list.
    const bool nameTie = !numeric && info.files && info.kind != Kind::AllFiles;
    std::vector<std::string> names(nameTie ? static_cast<std::size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        const auto p = static_cast<std::size_t>(lv.LvItems[i]);
        const auto k = static_cast<std::size_t>(i);
        std::int64_t sizeLeft, sizeRight;
        TDateTime dateLeft, dateRight;
        if (info.files) {
            const TMergedFileEntry& r = *comparison_.MergedFiles[p];
            sizeLeft = r.SizeLeft, sizeRight = r.SizeRight, dateLeft = r.DateMLeft, dateRight = r.DateMRight;
            if (!numeric) {
                const TMergedFileEntry& keyRow = caption == "Left Filename" && r.ReferenceFile ? *r.ReferenceFile : r;
                const TFileEntry* file = keyRow.FileLeft ? keyRow.FileLeft : keyRow.FileRight;
                const TDirectoryEntry* folder = file ? file->OwnerFolder : nullptr;
                const auto [slot, added] = slotOfFolder.try_emplace(folder, static_cast<int>(slotKeys.size()));
                if (added) slotKeys.push_back(platform::CollateSortKey(keyRow.GetFileParentPathX2()));
                slotOfRow[k] = slot->second;
                if (nameTie) names[k] = platform::CollateSortKey(keyRow.FileName);
            }
        } else {
            const TMergedFolderEntry& r = *comparison_.MergedFolders[p];
            sizeLeft = r.SizeLeft, sizeRight = r.SizeRight, dateLeft = r.DateMLeft, dateRight = r.DateMRight;
            if (!numeric) {
                slotOfRow[k] = static_cast<int>(slotKeys.size());
                slotKeys.push_back(platform::CollateSortKey(
                    caption == "Left Path" && r.ReferenceFolder ? r.ReferenceFolder->Path : r.Path));
            }
        }
        if (!numeric) continue;
        double value;
        switch (what) {
            case Number::LeftSize:
                value = static_cast<double>(sizeLeft);
                break;
            case Number::RightSize:
                value = static_cast<double>(sizeRight);
                break;
            case Number::Size:
                value = static_cast<double>(leftSide ? sizeLeft : sizeRight);
                break;
            case Number::LeftDate:
                value = dateLeft;
                break;
            case Number::RightDate:
                value = dateRight;
                break;
            case Number::Date:
                value = leftSide ? dateLeft : dateRight;
                break;
            default:
                value = static_cast<double>(sizeRight - sizeLeft);
                break;
        }
        numbers[k] = value;
    }
    const std::vector<int> rankOfSlot = CollationRanks(slotKeys);
    std::vector<int> ranks(slotOfRow.size());
    for (std::size_t k = 0; k < slotOfRow.size(); ++k) ranks[k] = rankOfSlot[static_cast<std::size_t>(slotOfRow[k])];
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    const bool inverse = lv.FlagInverseSort;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto ka = static_cast<std::size_t>(a), kb = static_cast<std::size_t>(b);
        int c;
        if (numeric) {
            c = numbers[ka] > numbers[kb] ? -1 : numbers[ka] < numbers[kb] ? 1 : 0;  // descending by nature
        } else {
            c = ranks[ka] < ranks[kb] ? -1 : ranks[ka] > ranks[kb] ? 1 : 0;
            if (c == 0 && nameTie) c = names[ka].compare(names[kb]);
        }
        return (inverse ? -c : c) < 0;
    });
    lv.LvItems.Permute(order);
}

// ---- rows and commands ----

void TFormCompareSnapshots::RowSelected(const ListInfo& info, int row, bool selected) {
    if (!shown_) return;
    if (!selected || row < 0 || row >= info.lv->LvItems.Count()) {
        if (!info.files) selectedFolder_.clear();
        return;
    }
    const auto p = static_cast<std::size_t>(info.lv->LvItems[row]);
    if (info.files)
        selectedFile_ = FileRowPath(*comparison_.MergedFiles[p]);
    else
        selectedFolder_ = comparison_.MergedFolders[p]->Path;
}

bool TFormCompareSnapshots::FileListOnScreen() const {
    const int page = pcPages->currentIndex();
    return page == 1 || (page == 3 && pcMixed->currentIndex() == 1);
}

std::string TFormCompareSnapshots::CurrentItem() const { return FileListOnScreen() ? selectedFile_ : selectedFolder_; }

std::string TFormCompareSnapshots::SelectedFilesText(const ListInfo& info) const {
    std::string text;
    for (int row : info.lv->SelectedRows()) {
        if (row >= info.lv->LvItems.Count()) continue;
        const auto p = static_cast<std::size_t>(info.lv->LvItems[row]);
        text += info.files ? FileRowPath(*comparison_.MergedFiles[p]) : comparison_.MergedFolders[p]->Path;
        text += "\n";
    }
    return text;
}

std::string TFormCompareSnapshots::ComparisonProgram() const {
    auto* edit = host_.HostWindow()->findChild<QLineEdit*>("edWinMergePath");
    return edit ? edit->text().toStdString() : "meld";
}

void TFormCompareSnapshots::ShowPopup(const ListInfo& info, const QPoint& globalPos) {
    menuList_ = &info;
    PopupMenu->popup(globalPos);
}

}  // namespace tandrel
