#include "gui/compare/dir_compare_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/command_line.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/text_filter.h"
#include "compare/compare_cache.h"
#include "compare/file_content_compare.h"
#include "gui/shell/file_operation_panel.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/thread_icons.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/list_view_ex.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/scan_model.h"
#include "scan/scan_thread_x.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

const QStringList kColumns = {"Filename:250:L:0", "Size:110:R:101", "Path:400:L:0", "Date:140:L:101", "Status:140:L:0"};

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string Trimmed(const std::string& text) { return S(Q(text).trimmed()); }

// A line edit that takes a folder dropped on it.
class FolderDropFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (!edit) return false;
        if (event->type() == QEvent::DragEnter) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (drag->mimeData()->hasUrls()) drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QList<QUrl> urls = drop->mimeData()->urls();
            if (!urls.isEmpty() && urls.first().isLocalFile()) {
                const std::string path = S(urls.first().toLocalFile());
                if (platform::DirectoryExists(path)) edit->setText(Q(path));
            }
            drop->acceptProposedAction();
            return true;
        }
        return false;
    }
};

// Two paths that reach one file (a link, a bind mount, the same folder
// under two names): deleting "the copy" would delete the only one.
bool SameFileOnDisk(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

QColor CompareStatusColor(TFileCompareResult status) {
    switch (status) {
        case FC_EMPTY:
        case FC_IDENTICAL:
            return Qt::white;
        case FC_LOOSE_COPY:
            return QColor(255, 221, 221);
        case FC_ACCESS_VIOLATION:
            return QColor(255, 170, 170);
        case FC_RIGHT_MISSING:
            return QColor(221, 255, 221);
        default:
            return QColor(221, 221, 255);
    }
}

bool StatusShown(TFileCompareResult status, const TCompareStatusBoxes& boxes) {
    switch (status) {
        case FC_IDENTICAL:
            return boxes.identical;
        case FC_RIGHT_MISSING:
            return boxes.leftOnly;
        case FC_SIZE_DIFFERENT:
            return boxes.differentSize;
        case FC_LOOSE_COPY:
            return boxes.looseCopy;
        default:
            return boxes.other;
    }
}

std::vector<std::string> FindEmptyFolders(const std::string& root) {
    std::vector<std::string> found;
    std::vector<std::string> pending{WithSlash(root)};
    while (!pending.empty()) {
        const std::string folder = pending.back();
        pending.pop_back();
        platform::FolderEnumerator items(folder);
        if (!items.IsOpen()) continue;  // unreadable: not known to be empty
        bool any = false;
        std::vector<std::string> subfolders;
        platform::FindRecord record;
        while (items.Next(record)) {
            any = true;
            if (record.IsDirectory() && !record.IsReparsePoint()) subfolders.push_back(folder + record.name + "/");
        }
        if (!any) found.push_back(folder);
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) pending.push_back(*it);
    }
    std::sort(found.begin(), found.end());
    return found;
}

int DeleteEmptyFolders(const std::string& root, const std::vector<std::string>& listed) {
    const std::string top = WithSlash(root);
    int removed = 0;
    for (;;) {
        int pass = 0;
        for (const std::string& folder : FindEmptyFolders(top)) {
            const bool isRoot = folder == top;
            if (isRoot && std::find(listed.begin(), listed.end(), folder) == listed.end()) continue;
            if (platform::RemoveFolder(folder)) ++pass;
        }
        removed += pass;
        if (pass == 0 || !platform::DirectoryExists(top)) break;
    }
    return removed;
}

TFormCompareDirectories::TFormCompareDirectories(TViewHost& host, QWidget* page)
    : QObject(host.HostWindow()), host_(host), model_(host.Model()), lx_(nullptr) {
    setObjectName("FormCompareDirectories");
    BuildWidgets(page);
    lx_.lv = lvFilesList;
    BuildMenu();
    poll_ = new QTimer(this);
    poll_->setInterval(100);
}

TFormCompareDirectories::~TFormCompareDirectories() {
    poll_->stop();
    model_.CancelOperation = true;
    scanJob_.reset();  // waits for the workers
    compareJob_.reset();
    lx_.Clear();
}

void TFormCompareDirectories::BuildWidgets(QWidget* page) {
    auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(name);
        widget->setAccessibleName(accessible);
        return widget;
    };
    auto* grid = new QGridLayout;
    edLeftCompareDirectory = new QLineEdit(page);
    named(edLeftCompareDirectory, "edLeftCompareDirectory", "Left directory:");
    edRightCompareDirectory = new QLineEdit(page);
    named(edRightCompareDirectory, "edRightCompareDirectory", "Right directory:");
    auto* drop = new FolderDropFilter(this);
    for (QLineEdit* edit : {edLeftCompareDirectory, edRightCompareDirectory}) {
        edit->setAcceptDrops(true);
        edit->installEventFilter(drop);
    }
    labelSwapFolders = new QPushButton("swap", page);
    named(labelSwapFolders, "labelSwapFolders", "swap");
    labelSwapFolders->setFlat(true);
    cb_subdirs_directorycompare = new QCheckBox("subdirectories", page);
    named(cb_subdirs_directorycompare, "cb_subdirs_directorycompare", "subdirectories");
    cb_subdirs_directorycompare->setChecked(true);
    grid->addWidget(new QLabel("Left directory:", page), 0, 0);
    grid->addWidget(edLeftCompareDirectory, 0, 1);
    grid->addWidget(labelSwapFolders, 0, 2, 2, 1);
    grid->addWidget(new QLabel("Right directory:", page), 1, 0);
    grid->addWidget(edRightCompareDirectory, 1, 1);
    grid->addWidget(cb_subdirs_directorycompare, 0, 3);

    auto* filters = new QHBoxLayout;
    edCompareFilter = new QLineEdit("*.*", page);
    named(edCompareFilter, "edCompareFilter", "Filter:");
    edCompareFilter_Exclude = new QLineEdit(page);
    named(edCompareFilter_Exclude, "edCompareFilter_Exclude", "Exclusions:");
    edMinSize = new QSpinBox(page);
    named(edMinSize, "edMinSize", "File Size >=");
    edMinSize->setRange(0, 1000000000);
    cbMin = new QComboBox(page);
    named(cbMin, "cbMin", "Size unit");
    cbMin->addItems({"bytes", "KB", "MB", "GB"});
    cbMin->setCurrentText("MB");
    host_.RegisterSizeUnitEdit(edMinSize, cbMin);
    filters->addWidget(new QLabel("Filter:", page));
    filters->addWidget(edCompareFilter, 1);
    filters->addWidget(new QLabel("Exclusions:", page));
    filters->addWidget(edCompareFilter_Exclude, 1);
    filters->addWidget(new QLabel("File Size >=", page));
    filters->addWidget(edMinSize);
    filters->addWidget(cbMin);

    auto* commands = new QHBoxLayout;
    btnScanSource = new QPushButton("Scan", page);
    named(btnScanSource, "btnScanSource", "Scan");
    bCompareFolders = new QPushButton("Compare", page);
    named(bCompareFolders, "bCompareFolders", "Compare");
    bCancelCompareDirectories = new QPushButton("Cancel", page);
    named(bCancelCompareDirectories, "bCancelCompareDirectories", "Cancel");
    bCancelCompareDirectories->hide();
    cbProcessMode = new QComboBox(page);
    named(cbProcessMode, "cbProcessMode", "Process mode");
    cbProcessMode->addItems({"compare all", "compare selected"});
    cbProcessMode->setEnabled(false);
    bDeleteFromDisk = new QPushButton("Delete identical (left directory)", page);
    named(bDeleteFromDisk, "bDeleteFromDisk", "Delete identical (left directory)");
    bDeleteFromDisk->hide();
    btnChangeFileDates = new QPushButton("Change file dates (left)", page);
    named(btnChangeFileDates, "btnChangeFileDates", "Change file dates (left)");
    btnChangeFileDates->setVisible(HasSwitch("debug"));
    for (QWidget* w : std::initializer_list<QWidget*>{btnScanSource, bCompareFolders, bCancelCompareDirectories,
                                                      cbProcessMode, bDeleteFromDisk, btnChangeFileDates})
        commands->addWidget(w);
    commands->addStretch(1);

    auto* boxes = new QHBoxLayout;
    auto box = [&](QCheckBox*& target, const char* name, const char* text) {
        target = new QCheckBox(text, page);
        named(target, name, text);
        target->setChecked(true);
        boxes->addWidget(target);
        connect(target, &QCheckBox::toggled, this, [this] { Refilter(); });
    };
    box(cbShowIdentical, "cbShowIdentical", "Identical");
    box(cbShowLeftOnly, "cbShowLeftOnly", "Left-only");
    box(cbDifferentSize, "cbDifferentSize", "Different size");
    box(cbLooseCopy, "cbLooseCopy", "Loose copy");
    box(cbOther, "cbOther", "Other");
    cbOther->setToolTip("Not compared yet, cancelled, deleted, and files that could not be read");
    edFilter = new QLineEdit(page);
    named(edFilter, "edFilter", "Filter:");
    boxes->addWidget(new QLabel("Filter:", page));
    boxes->addWidget(edFilter, 1);

    lvFilesList = new TListViewEx(page);
    named(lvFilesList, "lvFilesList", "Compared files");
    lvFilesList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFilesList->SetDesignedColumns(kColumns);
    lvFilesList->OnGetText = [this](int row, int column) { return CellText(row, column); };
    lvFilesList->OnDrawCell = [this](QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                     bool focused) { DrawCell(painter, cell, row, column, selected, focused); };
    lvFilesList->OnGetIcon = [this](int row, int column) { return RowIcon(row, column); };
    lvFilesList->OnSelectItem = [this](int, bool) { UpdateProcessMode(); };
    labelTotals = new QLabel(page);
    named(labelTotals, "labelTotals", "Totals");

    cpanelEmptyFolders = new QWidget(page);
    named(cpanelEmptyFolders, "cpanelEmptyFolders", "Delete empty folders");
    auto* emptyLayout = new QVBoxLayout(cpanelEmptyFolders);
    emptyLayout->addWidget(new QLabel("<b>Delete empty folders</b>", cpanelEmptyFolders));
    emptyLayout->addWidget(new QLabel("The following folders are empty. Delete these folders?", cpanelEmptyFolders));
    lbEmptyFolders = new QListWidget(cpanelEmptyFolders);
    named(lbEmptyFolders, "lbEmptyFolders", "Empty folders");
    emptyLayout->addWidget(lbEmptyFolders, 1);
    auto* emptyButtons = new QHBoxLayout;
    bDeleteEmptyFolders = new QPushButton("Delete", cpanelEmptyFolders);
    named(bDeleteEmptyFolders, "bDeleteEmptyFolders", "Delete");
    bCancelEmptyFolders = new QPushButton("Cancel", cpanelEmptyFolders);
    named(bCancelEmptyFolders, "bCancelEmptyFolders", "Cancel");
    emptyButtons->addStretch(1);
    emptyButtons->addWidget(bDeleteEmptyFolders);
    emptyButtons->addWidget(bCancelEmptyFolders);
    emptyLayout->addLayout(emptyButtons);
    cpanelEmptyFolders->hide();

    auto* layout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!layout) layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addLayout(filters);
    layout->addLayout(commands);
    layout->addLayout(boxes);
    layout->addWidget(lvFilesList, 1);
    layout->addWidget(labelTotals);
    layout->addWidget(cpanelEmptyFolders);

    connect(labelSwapFolders, &QPushButton::clicked, this, &TFormCompareDirectories::SwapFolders);
    connect(btnScanSource, &QPushButton::clicked, this, &TFormCompareDirectories::btnScanSourceClick);
    connect(bCompareFolders, &QPushButton::clicked, this, &TFormCompareDirectories::bCompareFoldersClick);
    connect(bCancelCompareDirectories, &QPushButton::clicked, this, &TFormCompareDirectories::bCancelClick);
    connect(bDeleteFromDisk, &QPushButton::clicked, this, &TFormCompareDirectories::bDeleteFromDiskClick);
    connect(btnChangeFileDates, &QPushButton::clicked, this, &TFormCompareDirectories::btnChangeFileDatesClick);
    connect(bDeleteEmptyFolders, &QPushButton::clicked, this, &TFormCompareDirectories::bDeleteEmptyFoldersClick);
    connect(bCancelEmptyFolders, &QPushButton::clicked, cpanelEmptyFolders, &QWidget::hide);
    connect(edFilter, &QLineEdit::textChanged, this, [this] { Refilter(); });
    connect(lbEmptyFolders, &QListWidget::itemDoubleClicked, this,
            [](QListWidgetItem* item) { ShellOpenFolder(S(item->text())); });
    connect(lvFilesList, &TListViewEx::DblClick, this, [this](int row) { ExternalCompare(row); });
    connect(lvFilesList, &TListViewEx::RowContextMenu, this, [this](const QPoint& at, int) { popupFiles->popup(at); });
}

void TFormCompareDirectories::BuildMenu() {
    popupFiles = new QMenu(lvFilesList);
    popupFiles->setObjectName("popupFiles");
    auto add = [this](QMenu* menu, const QString& text, auto handler) {
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    add(popupFiles, "Winmerge", [this] { ExternalCompare(lvFilesList->FocusedRow()); });
    QMenu* open = popupFiles->addMenu("Open file");
    add(open, "left", [this] { OpenFile(false); });
    add(open, "right", [this] { OpenFile(true); });
    QMenu* folder = popupFiles->addMenu("Open folder");
    add(folder, "left", [this] { OpenFolder(false); });
    add(folder, "right", [this] { OpenFolder(true); });
    QMenu* copy = popupFiles->addMenu("Copy filenames");
    add(copy, "left", [this] { CopySelectedNames(0); });
    add(copy, "right", [this] { CopySelectedNames(1); });
    add(popupFiles, "Copy Left + Right filenames", [this] { CopySelectedNames(2); });
    QMenu* properties = popupFiles->addMenu("Shell properties");
    add(properties, "left", [this] { Properties(false); });
    add(properties, "right", [this] { Properties(true); });
    popupFiles->addSeparator();
    add(popupFiles, "Reset failed", [this] { ResetFailed(); });
    add(popupFiles, "Reset selected", [this] { ResetSelected(); });
    if (HasSwitch("debug")) {
        add(popupFiles, "Debug - set selected to DIFFERENT-SIZE", [this] {
            for (int row : lvFilesList->SelectedRows())
                if (TFileEntryCompare* entry = lx_.Record(row)) entry->SetStatus(FC_SIZE_DIFFERENT);
            lvFilesList->Invalidate();
        });
    }
}

// ---- cells ----

QString TFormCompareDirectories::CellText(int row, int column) const {
    const TFileEntryCompare* entry = lx_.Record(row);
    if (!entry) return {};
    const QString caption = lvFilesList->ColumnCaption(column);
    if (caption == "Filename") return Q(entry->FileName);
    if (caption == "Path") return Q(entry->Path);
    if (caption == "Size") return Q(FormatCount(static_cast<double>(entry->Size)));
    if (caption == "Date") return entry->DateM == 0 ? QString() : Q(FormatDateTimeSec(entry->DateM));
    if (caption == "Status") return Q(std::string(CompareResultText(entry->Status())));
    return {};
}

void TFormCompareDirectories::DrawCell(QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                       bool focused) {
    const TFileEntryCompare* entry = lx_.Record(row);
    if (selected) {
        TListViewEx::FillCellBackground(painter, cell, true, focused);
    } else {
        painter.fillRect(cell, entry ? CompareStatusColor(entry->Status()) : QColor(Qt::white));
        painter.setPen(Qt::black);
    }
    if (!entry) return;
    const QString text = CellText(row, column);
    const QString caption = lvFilesList->ColumnCaption(column);
    if (caption == "Size")
        TListViewEx::_DrawTextW_Right(painter, cell, text);
    else
        TListViewEx::_DrawTextW_Left(painter, cell, text, caption == "Filename" ? TListViewEx::IconLeft + 20 : 2);
}

QIcon TFormCompareDirectories::RowIcon(int row, int column) {
    TThreadIcons* icons = ThreadIcons();
    if (!icons || lvFilesList->ColumnCaption(column) != "Filename") return {};
    const TFileEntryCompare* entry = lx_.Record(row);
    if (!entry) return {};
    host_.SetLastActiveLV(lvFilesList);
    return icons->GetIconForFile(LeftFileOf(*entry));
}

// ---- scan ----

std::int64_t TFormCompareDirectories::MinSizeBytes() const {
    return SizeInUnitToBytes(S(cbMin->currentText()), edMinSize->value());
}

TFormPleaseWait* TFormCompareDirectories::OpenWait(bool withPause) {
    return OpenToolPleaseWait(host_.PleaseWaitSlot(3), model_, host_.HostWindow(), withPause);
}

void TFormCompareDirectories::CloseWait() { CloseToolPleaseWait(host_.PleaseWaitSlot(3)); }

void TFormCompareDirectories::SetWorking(bool working) {
    btnScanSource->setEnabled(!working);
    bCompareFolders->setEnabled(!working);
    bCancelCompareDirectories->setVisible(working);
    UpdateProcessMode();
}

bool TFormCompareDirectories::Running() const { return scanJob_ || compareJob_; }

void TFormCompareDirectories::btnScanSourceClick() {
    if (host_.OperationInProgress() || Running()) {
        Notify("Another operation is in progress");
        compareAfterScan_ = false;
        emit ScanFinished();
        return;
    }
    model_.PauseOperation = false;
    const std::string left = Trimmed(S(edLeftCompareDirectory->text()));
    const std::string right = Trimmed(S(edRightCompareDirectory->text()));
    auto refuse = [this](const std::string& text) {
        ShowInfo(text);
        compareAfterScan_ = false;
        emit ScanFinished();
    };
    if (!platform::DirectoryExists(left))
        return refuse("Left directory not found: " + S(edLeftCompareDirectory->text()));
    if (!platform::DirectoryExists(right))
        return refuse("Right directory not found: " + S(edRightCompareDirectory->text()));
    edLeftCompareDirectory->setText(Q(WithSlash(left)));
    edRightCompareDirectory->setText(Q(WithSlash(right)));
    // Equal texts, or two names of one folder (a link, a bind mount): the
    // delete command would otherwise remove the only copy.
    const bool same = platform::SameTextIgnoreCase(WithSlash(left), WithSlash(right)) || SameFileOnDisk(left, right);
    if (same && !HasSwitch("debug")) return refuse("Directories point to the same location");
    scannedDirectoryLEFT = WithSlash(left);
    scannedDirectoryRIGHT = WithSlash(right);
    flagScanSubdirectories = cb_subdirs_directorycompare->isChecked();

    OpenWait(true);
    lx_.Clear();
    // The last run's rows are freed on the worker, not here.
    auto previous = std::make_shared<TFileEntryCompareList>(std::move(entries_));
    entries_.clear();
    listed_.clear();
    SetWorking(true);
    model_.CancelOperation = false;
    bDeleteFromDisk->hide();
    if (!HasSwitch("debug")) btnChangeFileDates->hide();
    cpanelEmptyFolders->hide();
    host_.SetStatus(nullptr, "Building files list");
    const std::int64_t minSize = MinSizeBytes();
    scanJob_ = std::make_unique<TThreadScanX>(model_);
    scanJob_->Init(scannedDirectoryLEFT, flagScanSubdirectories, S(edCompareFilter->text()),
                   S(edCompareFilter_Exclude->text()), minSize, 0,
                   [this](const std::string& dir) { model_.ProgressText.SetText(dir); });
    // The rows are made on the worker as the folders are listed: the window
    // only takes them over at the end.
    scanJob_->OnFilesListed = [this, previous](const TFileTypeList& files, std::size_t from) {
        previous->clear();
        for (std::size_t i = from; i < files.size(); ++i) listed_.push_back(MakeCompareEntry(*files[i]));
    };
    scanJob_->KeepFiles = false;
    model_.ProgressText.SetText("Working...");
    scanJob_->Start();
    disconnect(poll_, nullptr, this, nullptr);
    connect(poll_, &QTimer::timeout, this, &TFormCompareDirectories::PollScan);
    poll_->start();
}

void TFormCompareDirectories::PollScan() {
    QPointer<TFormPleaseWait> wait = host_.PleaseWaitSlot(3);
    if (wait) wait->Step();
    host_.SetStatus(wait, model_.ProgressText.GetText());
    if (scanJob_ && scanJob_->threadRunning.load() && !model_.AppClosing.load()) return;
    EndScan();
}

void TFormCompareDirectories::EndScan() {
    poll_->stop();
    bool listed = false;
    if (scanJob_) {
        scanJob_->WaitFor();
        if (scanJob_->Failed() && !model_.AppClosing.load()) host_.AddErrorLine(scanJob_->ErrorText());
        if (!model_.CancelOperation.load() && !model_.AppClosing.load()) {
            entries_ = std::move(listed_);
            std::int64_t total = 0;
            for (const auto& entry : entries_) total += entry->Size;
            host_.SetStatus2(nullptr, "Total files: " + FormatCount(static_cast<double>(entries_.size())) +
                                          " Size: " + FormatBytes(total) + ", " +
                                          FormatCount(static_cast<double>(total)) + "bytes");
            listed = true;
        }
        scanJob_.reset();
    }
    listed_.clear();
    lx_.LvItems.clear();
    for (const auto& entry : entries_) lx_.LvItems.push_back(entry.get());
    lx_.UpdateItemsCount();
    lvFilesList->Invalidate();
    ++refills_;
    SetWorking(false);
    CloseWait();
    host_.SetStatus(nullptr, "Ready");
    const bool thenCompare = compareAfterScan_ && listed;
    compareAfterScan_ = false;
    emit ScanFinished();
    if (thenCompare) bCompareFoldersClick();
}

void TFormCompareDirectories::ScanThenCompare(const std::string& left, const std::string& right) {
    edLeftCompareDirectory->setText(Q(left));
    edRightCompareDirectory->setText(Q(right));
    compareAfterScan_ = true;
    btnScanSourceClick();
}

// ---- compare ----

void TFormCompareDirectories::bCompareFoldersClick() {
    if (host_.OperationInProgress() || Running()) {
        emit CompareFinished();
        return;
    }
    model_.PauseOperation = false;
    OpenWait(true);
    host_.SetStatus(nullptr, "Comparing files");
    model_.CancelOperation = false;
    SetWorking(true);
    flagComparing = true;
    std::vector<TFileEntryCompare*> work;
    const std::vector<int> selected = lvFilesList->SelectedRows();
    auto wanted = [](const TFileEntryCompare* entry) {
        return entry->Status() == FC_EMPTY || entry->Status() == FC_CANCELLED;
    };
    if (!selected.empty()) {
        for (int row : selected)
            if (TFileEntryCompare* entry = lx_.Record(row); entry && wanted(entry)) work.push_back(entry);
    } else {
        for (TFileEntryCompare* entry : lx_.LvItems)
            if (wanted(entry)) work.push_back(entry);
    }
    model_.ProgressText.SetText("");
    ProgressText2().SetText("");
    compareJob_ = std::make_unique<TThreadCompareX>(model_, ComparisonCache());
    compareJob_->Init(std::move(work), scannedDirectoryLEFT, scannedDirectoryRIGHT);
    model_.ProgressText.SetText("Working...");
    compareJob_->Start();
    disconnect(poll_, nullptr, this, nullptr);
    connect(poll_, &QTimer::timeout, this, &TFormCompareDirectories::PollCompare);
    poll_->start();
}

void TFormCompareDirectories::PollCompare() {
    QPointer<TFormPleaseWait> wait = host_.PleaseWaitSlot(3);
    if (wait) wait->Step();
    host_.SetStatus(wait, model_.ProgressText.GetText());
    host_.SetStatus2(wait, ProgressText2().GetText());
    lvFilesList->viewport()->update();
    if (compareJob_ && compareJob_->threadRunning.load() && !model_.AppClosing.load()) return;
    EndCompare();
}

void TFormCompareDirectories::EndCompare() {
    poll_->stop();
    if (compareJob_) {
        compareJob_->WaitFor();
        if (compareJob_->Failed() && !model_.AppClosing.load()) host_.AddErrorLine(compareJob_->ErrorText());
        compareJob_.reset();
    }
    host_.SetStatus(nullptr, "");
    host_.SetStatus(nullptr, "Ready");
    host_.SetStatus2(nullptr, "");
    flagComparing = false;
    SetWorking(false);
    bDeleteFromDisk->show();
    btnChangeFileDates->show();
    Refilter();
    CloseWait();
    emit CompareFinished();
}

void TFormCompareDirectories::bCancelClick() { model_.CancelOperation = true; }

void TFormCompareDirectories::SwapFolders() {
    const QString left = edLeftCompareDirectory->text();
    edLeftCompareDirectory->setText(edRightCompareDirectory->text());
    edRightCompareDirectory->setText(left);
}

void TFormCompareDirectories::UpdateProcessMode() {
    const bool many = !flagComparing && lvFilesList->SelectedCount() > 1;
    cbProcessMode->setEnabled(many);
    cbProcessMode->setCurrentIndex(many ? 1 : 0);
}

// ---- filter ----

void TFormCompareDirectories::Refilter() {
    const TextFilter words = PrepareTextFilter(SplitList(S(edFilter->text()), " "));
    TCompareStatusBoxes boxes;
    boxes.identical = cbShowIdentical->isChecked();
    boxes.leftOnly = cbShowLeftOnly->isChecked();
    boxes.differentSize = cbDifferentSize->isChecked();
    boxes.looseCopy = cbLooseCopy->isChecked();
    boxes.other = cbOther->isChecked();
    lx_.SaveSelectionEx();
    lx_.Clear();
    std::int64_t total = 0;
    // The rows of one folder come together: its path is lowered and searched
    // once.
    PrefixedTextFilter matcher(words);
    std::string lowered;
    const std::string* path = nullptr;
    for (const auto& entry : entries_) {
        if (!StatusShown(entry->Status(), boxes)) continue;
        if (!words.MatchesEverything()) {
            if (!path || *path != entry->Path) {
                path = &entry->Path;
                lowered.clear();
                AppendLowerCase(lowered, entry->Path);
                lowered += ' ';
                matcher.SetPrefix(lowered);
            }
            AppendLowerCase(matcher.NewSuffix(), entry->FileName);
            if (!matcher.MatchesSuffix()) continue;
        }
        lx_.LvItems.push_back(entry.get());
        total += entry->Size;
    }
    lx_.UpdateItemsCount();
    lx_.RestoreSelectionEx();
    lvFilesList->Invalidate();
    ++refills_;
    const std::string totals = "Total files: " + FormatCount(static_cast<double>(lx_.Count())) +
                               ", Size: " + FormatBytes(total) + ", " + FormatCount(static_cast<double>(total)) +
                               " bytes";
    labelTotals->setText(Q(totals));
    host_.SetStatus(nullptr, totals);
}

// ---- follow-up commands ----

bool TFormCompareDirectories::RootsAreSame() const {
    if (platform::SameTextIgnoreCase(scannedDirectoryLEFT, scannedDirectoryRIGHT) ||
        SameFileOnDisk(scannedDirectoryLEFT, scannedDirectoryRIGHT)) {
        ShowError("Right directory = Source directory. Cannot delete files ");
        return true;
    }
    return false;
}

std::string TFormCompareDirectories::RightFileOfEntry(const TFileEntryCompare& entry) const {
    return RightFileOf(entry, scannedDirectoryLEFT, scannedDirectoryRIGHT);
}

void TFormCompareDirectories::bDeleteFromDiskClick() {
    if (Running() || host_.OperationInProgress() || scannedDirectoryLEFT.empty()) return;
    if (RootsAreSame()) return;
    if (AskOkCancel("You are about to delete identical files from " + scannedDirectoryLEFT + "?") != MessageAnswer::Ok)
        return;
    // Messages run between files: the window may be gone by the next one.
    const QPointer<TFormPleaseWait> wait = OpenWait(false);
    model_.CancelOperation = false;
    FileContentComparer comparer(model_);
    const std::vector<TFileEntryCompare*> rows = lx_.LvItems;
    const std::string count = FormatCount(static_cast<double>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        TFileEntryCompare* entry = rows[i];
        if (entry->Status() != FC_IDENTICAL) continue;
        const std::string left = LeftFileOf(*entry);
        const std::string right = RightFileOfEntry(*entry);
        host_.SetStatus(wait, "Deleting item " + FormatCount(static_cast<double>(i + 1)) + " of " + count);
        host_.SetStatus2(wait, left);
        QApplication::processEvents();
        if (model_.CancelOperation.load() || model_.AppClosing.load()) break;
        // The verdict is from the comparison; the right copy may have gone or
        // changed since. Only a copy that still matches byte for byte, and is
        // not the left file itself under another name, lets the left one go.
        TFileCompareResult now = FC_RIGHT_MISSING;
        if (platform::FileExists(right)) {
            if (SameFileOnDisk(left, right))
                now = FC_ACCESS_VIOLATION;
            else
                now = comparer.CompareContents(left, right);
        }
        if (now != FC_IDENTICAL) {
            if (now == FC_CANCELLED) break;
            entry->SetStatus(now);
            host_.AddErrorLine("Not deleted, the right file is missing or differs: " + left);
            continue;
        }
        if (DeleteOneFile(host_, left))
            entry->SetStatus(FC_DELETED);
        else
            ShowInfo("Could not delete file: " + left);
    }
    host_.SetStatus2(wait, "");
    ShowEmptyFolders();
    lvFilesList->Invalidate();
    CloseWait();
    host_.SetStatus(nullptr, "Ready");
}

void TFormCompareDirectories::ShowEmptyFolders() {
    emptyFolders_ = FindEmptyFolders(scannedDirectoryLEFT);
    lbEmptyFolders->clear();
    for (const std::string& folder : emptyFolders_) lbEmptyFolders->addItem(Q(folder));
    cpanelEmptyFolders->setVisible(!emptyFolders_.empty());
}

void TFormCompareDirectories::bDeleteEmptyFoldersClick() {
    if (AskOkCancel("Are you sure you want to delete empty folders?") != MessageAnswer::Ok) return;
    DeleteEmptyFolders(scannedDirectoryLEFT, emptyFolders_);
    emptyFolders_.clear();
    lbEmptyFolders->clear();
    cpanelEmptyFolders->hide();
}

void TFormCompareDirectories::btnChangeFileDatesClick() {
    if (Running() || host_.OperationInProgress() || scannedDirectoryLEFT.empty()) return;
    if (RootsAreSame()) return;
    if (AskOkCancel("You are about to change file dates from " + scannedDirectoryLEFT + " to match file dates from " +
                    scannedDirectoryRIGHT) != MessageAnswer::Ok)
        return;
    // Messages run between files: the window may be gone by the next one.
    const QPointer<TFormPleaseWait> wait = OpenWait(false);
    model_.CancelOperation = false;
    const std::vector<TFileEntryCompare*> rows = lx_.LvItems;
    const std::string count = FormatCount(static_cast<double>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        TFileEntryCompare* entry = rows[i];
        if (entry->Status() != FC_IDENTICAL) continue;
        const std::string left = LeftFileOf(*entry);
        const std::string right = RightFileOfEntry(*entry);
        if (!platform::FileExists(left)) {
            ShowInfo("left file not found\r\r" + left);
            break;
        }
        if (!platform::FileExists(right)) {
            ShowInfo("right file not found\r\r" + right);
            break;
        }
        host_.SetStatus(wait, "Changing date " + FormatCount(static_cast<double>(i + 1)) + " of " + count);
        host_.SetStatus2(wait, left);
        QApplication::processEvents();
        if (model_.CancelOperation.load() || model_.AppClosing.load()) break;
        platform::FileTime written = 0;
        if (!platform::GetFileTimes(right, nullptr, &written) || !platform::SetLastWriteTime(left, written))
            host_.AddErrorLine("Could not change the date of " + left + ": " + platform::LastErrorText());
    }
    host_.SetStatus2(wait, "");
    lvFilesList->Invalidate();
    CloseWait();
    host_.SetStatus(nullptr, "Ready");
}

void TFormCompareDirectories::ResetFailed() {
    for (const auto& entry : entries_)
        if (entry->Status() != FC_IDENTICAL) entry->SetStatus(FC_EMPTY);
    Refilter();
}

void TFormCompareDirectories::ResetSelected() {
    for (int row : lvFilesList->SelectedRows())
        if (TFileEntryCompare* entry = lx_.Record(row)) entry->SetStatus(FC_EMPTY);
    Refilter();
}

// ---- row commands ----

TFileEntryCompare* TFormCompareDirectories::FocusedEntry() const { return lx_.Record(lvFilesList->FocusedRow()); }

void TFormCompareDirectories::ExternalCompare(int row) {
    const TFileEntryCompare* entry = lx_.Record(row);
    if (!entry) return;
    auto* program = host_.HostWindow()->findChild<QLineEdit*>("edWinMergePath");
    const std::string tool = program ? S(program->text()) : std::string();
    if (Trimmed(tool).empty()) return;
    if (!StartExternalCompare(tool, LeftFileOf(*entry), RightFileOfEntry(*entry)))
        host_.AddErrorLine("Could not start " + tool);
}

void TFormCompareDirectories::OpenFile(bool right) {
    const TFileEntryCompare* entry = FocusedEntry();
    if (!entry) return;
    const std::string path = right ? RightFileOfEntry(*entry) : LeftFileOf(*entry);
    if (!platform::FileExists(path)) return ShowInfo("File not found: " + path);
    ShellOpen(path);
}

void TFormCompareDirectories::OpenFolder(bool right) {
    const TFileEntryCompare* entry = FocusedEntry();
    if (!entry) return;
    const std::string path = right ? RightFileOfEntry(*entry) : LeftFileOf(*entry);
    const std::string folder = right ? RightFolderOf(*entry, scannedDirectoryLEFT, scannedDirectoryRIGHT) : entry->Path;
    if (!platform::DirectoryExists(folder)) return ShowInfo("Directory not found: " + folder);
    if (platform::FileExists(path))
        ShellLocate(path);
    else
        ShellOpenFolder(folder);
}

void TFormCompareDirectories::Properties(bool right) {
    const TFileEntryCompare* entry = FocusedEntry();
    if (!entry) return;
    const std::string path = right ? RightFileOfEntry(*entry) : LeftFileOf(*entry);
    if (!platform::FileExists(path)) return ShowInfo("File not found: " + path);
    ShellProperties(path, host_.HostWindow());
}

void TFormCompareDirectories::CopySelectedNames(int which) {
    QStringList lines;
    for (int row : lvFilesList->SelectedRows()) {
        const TFileEntryCompare* entry = lx_.Record(row);
        if (!entry) continue;
        const std::string left = LeftFileOf(*entry);
        const std::string right = RightFileOfEntry(*entry);
        lines << Q(which == 0 ? left : which == 1 ? right : left + "\t" + right);
    }
    QApplication::clipboard()->setText(lines.join("\n"));
}

}  // namespace tandrel
