#include "gui/disk/directory_analysis_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <functional>
#include <mutex>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/messages.h"
#include "common/types.h"
#include "gui/disk/tree_size_model.h"
#include "gui/shell/view_host.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/thread_icons.h"
#include "platform/file_system.h"
#include "scan/file_statistics.h"
#include "scan/folder_statistics.h"
#include "scan/statistics_comparators.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kSelectedBar(0x88, 0x88, 0x88);
const QColor kChartGreen(0x00, 0x80, 0x00);
const QColor kChartTop(0x00, 0x5E, 0x00);
const QColor kChartSide(0xBB, 0x00, 0x00);
constexpr int kChartRowHeight = 40;
constexpr int kIndentPerLevel = 16;

const QStringList kChartColumns = {"Path:200:L:0",         "Bar:150:L:101",       "Total Size:110:R:101",
                                   "% of parent:80:R:101", "Total Dirs:80:R:101", "Total Files:80:R:101",
                                   "Root Size:110:R:101",  "Root Dirs:80:R:101",  "Root Files:80:R:101",
                                   "Date:80:R:0",          "Full Path:300:L:0",   "level:50:R:0"};
const QStringList kFolderColumns = {"Path:300:L:0",        "Full Path:400:L:0",    "level:50:R:0",
                                    "Bar:150:L:101",       "Total Size:110:R:101", "% of parent:80:R:101",
                                    "Total Dirs:80:R:101", "Total Files:80:R:101", "Root Size:110:R:101",
                                    "Root Dirs:80:R:101",  "Root Files:80:R:101",  "Date:80:R:0"};
const QStringList kFileColumns = {"Filename:250:L:0", "Path:400:L:0", "Size:110:R:0", "Created:120:L:101",
                                  "Modified:140:R:101"};

// The position of a caption in a designed column list: the comparators key
// on the designed order, whatever order the user dragged the columns into.
int DesignedColumn(const QStringList& designed, const QString& caption) {
    for (int i = 0; i < designed.size(); ++i)
        if (designed[i].section(':', 0, 0) == caption) return i;
    return -1;
}

std::string MegabytesText(std::int64_t bytes) {
    return FormatGrouped(1, static_cast<double>(bytes) / 1048576.0) + " MB";
}

TDateTime DateOf(const QDate& date) { return EncodeDateTime(date.year(), date.month(), date.day(), 0, 0, 0, 0); }

QDate QDateOf(TDateTime value) {
    const platform::CalendarFields f = DecodeDateTime(value);
    return QDate(f.year, f.month, f.day);
}

QSpinBox* SizeEdit(QWidget* parent, const char* name, int value) {
    auto* edit = new QSpinBox(parent);
    edit->setObjectName(name);
    edit->setRange(0, INT_MAX);
    edit->setValue(value);
    return edit;
}

QLabel* Caption(QWidget* parent, const char* text) { return new QLabel(QString::fromUtf8(text), parent); }

}  // namespace

std::string FolderCommandPath(const TDirectoryEntry& record) {
    if (record.FolderName == "[files]" && record.ParentIdx) return record.ParentIdx->CalcPath();
    return record.CalcPath();
}

TFormDirectoryAnalysis::TFormDirectoryAnalysis(TViewHost& host, QWidget* treeSizePage, QWidget* folderStatisticsPage,
                                               QWidget* fileStatisticsPage, bool showExtraColumns)
    : QObject(host.HostWindow()), host_(host) {
    CreateTreeSizePage(treeSizePage);
    CreateFolderStatisticsPage(folderStatisticsPage, showExtraColumns);
    CreateFileStatisticsPage(fileStatisticsPage);
    CreateMenus();
}

TFormDirectoryAnalysis::~TFormDirectoryAnalysis() = default;

ScanModel& TFormDirectoryAnalysis::Model() { return host_.Model(); }

// ---- building ----

void TFormDirectoryAnalysis::CreateTreeSizePage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setObjectName("splitterTreesize");
    layout->addWidget(splitter);

    treeview1 = new QTreeView(splitter);
    treeview1->setObjectName("treeview1");
    treeview1->setHeaderHidden(true);
    treeview1->setUniformRowHeights(true);
    treeview1->setContextMenuPolicy(Qt::CustomContextMenu);
    treeModel = new TTreeSizeItemModel(treeview1);
    treeModel->SetFont(treeview1->font());
    treeview1->setModel(treeModel);
    treeViewport_ = treeview1->viewport();
    treeViewport_->installEventFilter(this);
    connect(treeview1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && !refreshingTree_) treeview1Change(true);
            });
    connect(treeview1, &QTreeView::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupChart1->popup(treeview1->viewport()->mapToGlobal(pos)); });

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    panelTreesizeTop = new QLabel(right);
    panelTreesizeTop->setObjectName("panelTreesizeTop");
    panelTreesizeTop->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rightLayout->addWidget(panelTreesizeTop);
    lvDirectoryChart = new TListViewEx(right);
    lvDirectoryChart->setObjectName("lvDirectoryChart");
    lvDirectoryChart->SetDesignedColumns(kChartColumns);
    lvDirectoryChart->SetRowHeight(kChartRowHeight);
    rightLayout->addWidget(lvDirectoryChart, 1);
    lvDirectoryChartLx = std::make_unique<TLvX<TDirectoryEntry>>(lvDirectoryChart);
    lvDirectoryChart->OnSort = [this] {
        lvDirectoryChartLx->SaveSelectionEx();
        SortChartRows();
        lvDirectoryChartLx->RestoreSelectionEx();
    };
    lvDirectoryChart->OnDrawCell = [this](QPainter& p, const QRect& cell, int row, int column, bool selected,
                                          bool focused) { DrawChartCell(p, cell, row, column, selected, focused); };
    lvDirectoryChart->OnGetText = [this](int row, int column) { return ChartText(row, column); };
    connect(lvDirectoryChart, &TListViewEx::DblClick, this, [this](int row) {
        std::string path;
        {
            std::lock_guard lock(Model().csTreemap);
            if (TDirectoryEntry* record = lvDirectoryChartLx->Record(row)) path = FolderCommandPath(*record);
        }
        if (!path.empty()) ShellOpen(path);
    });
    connect(lvDirectoryChart, &TListViewEx::RowContextMenu, this,
            [this](const QPoint& at, int) { popupChart2->popup(at); });
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
}

void TFormDirectoryAnalysis::CreateFolderStatisticsPage(QWidget* page, bool showExtraColumns) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QWidget(page);
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(4, 2, 4, 2);
    topLayout->addWidget(Caption(top, "Visible levels Threshold:"));
    edLevels = new QSpinBox(top);
    edLevels->setObjectName("edLevels");
    edLevels->setRange(0, 9999);
    edLevels->setValue(1);
    topLayout->addWidget(edLevels);
    bExportDirectoryAnalysis = new QPushButton(" Export", top);
    bExportDirectoryAnalysis->setObjectName("bExportDirectoryAnalysis");
    topLayout->addWidget(bExportDirectoryAnalysis);
    topLayout->addStretch(1);
    layout->addWidget(top);
    connect(edLevels, &QSpinBox::valueChanged, this, [this] { bDirectoryAnalysis_ApplyFilterClick(); });
    connect(bExportDirectoryAnalysis, &QPushButton::clicked, this, [this] { bExportDirectoryAnalysisClick(); });

    lvDirectoryAnalysis = new TListViewEx(page);
    lvDirectoryAnalysis->setObjectName("lvDirectoryAnalysis");
    SetExtraColumns(showExtraColumns);
    layout->addWidget(lvDirectoryAnalysis, 1);
    lvDirectoryAnalysis->OnSort = [this] {
        lvDirectoryAnalysis->SaveSelectionExXX();
        SortFolderRows();
        lvDirectoryAnalysis->RestoreSelectionExXX();
    };
    lvDirectoryAnalysis->OnDrawCell = [this](QPainter& p, const QRect& cell, int row, int column, bool selected,
                                             bool focused) { DrawFolderCell(p, cell, row, column, selected, focused); };
    lvDirectoryAnalysis->OnGetText = [this](int row, int column) { return FolderText(row, column); };
    connect(lvDirectoryAnalysis, &TListViewEx::DblClick, this, [this](int) {
        std::string path;
        {
            std::lock_guard lock(Model().csTreemap);
            if (TDirectoryEntry* record = FolderRowRecord()) path = FolderCommandPath(*record);
        }
        if (!path.empty()) ShellOpen(path);
    });
    connect(lvDirectoryAnalysis, &TListViewEx::RowContextMenu, this,
            [this](const QPoint& at, int) { popupDirectoryAnalysis->popup(at); });
}

void TFormDirectoryAnalysis::CreateFileStatisticsPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    // Two rows of filter controls that may be cut on a narrow window rather
    // than widen it.
    auto* filter = new QWidget(page);
    filter->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* rows = new QVBoxLayout(filter);
    rows->setContentsMargins(4, 2, 4, 2);
    auto* row = new QHBoxLayout;
    rows->addLayout(row);
    row->addWidget(Caption(filter, "Filename:"));
    edFilename = new QLineEdit(filter);
    edFilename->setObjectName("edFilename");
    row->addWidget(edFilename, 2);
    row->addWidget(Caption(filter, "Directory:"));
    edDirectory = new QLineEdit(filter);
    edDirectory->setObjectName("edDirectory");
    row->addWidget(edDirectory, 2);
    row = new QHBoxLayout;
    rows->addLayout(row);
    row->addWidget(Caption(filter, "Size more than:"));
    edtSizeFrom = SizeEdit(filter, "edtSizeFrom", 5);
    row->addWidget(edtSizeFrom);
    row->addWidget(Caption(filter, "Size less than:"));
    edtSizeTo = SizeEdit(filter, "edtSizeTo", 0);
    row->addWidget(edtSizeTo);
    cbbByteUnit = new QComboBox(filter);
    cbbByteUnit->setObjectName("cbbByteUnit");
    cbbByteUnit->addItems({"bytes", "kb", "MB", "GB"});
    cbbByteUnit->setCurrentIndex(2);
    row->addWidget(cbbByteUnit);
    cbbDateMode = new QComboBox(filter);
    cbbDateMode->setObjectName("cbbDateMode");
    cbbDateMode->addItems({"modified", "created"});
    row->addWidget(cbbDateMode);
    chkDateAfter = new QCheckBox("after:", filter);
    chkDateAfter->setObjectName("chkDateAfter");
    row->addWidget(chkDateAfter);
    dtpDateAfter = new QDateEdit(QDate::currentDate(), filter);
    dtpDateAfter->setObjectName("dtpDateAfter");
    dtpDateAfter->setCalendarPopup(true);
    dtpDateAfter->setDisplayFormat("yyyy-MM-dd");
    row->addWidget(dtpDateAfter);
    chkDateBefore = new QCheckBox("before:", filter);
    chkDateBefore->setObjectName("chkDateBefore");
    row->addWidget(chkDateBefore);
    dtpDateBefore = new QDateEdit(QDate::currentDate(), filter);
    dtpDateBefore->setObjectName("dtpDateBefore");
    dtpDateBefore->setCalendarPopup(true);
    dtpDateBefore->setDisplayFormat("yyyy-MM-dd");
    row->addWidget(dtpDateBefore);
    bDateMenu = new QToolButton(filter);
    bDateMenu->setObjectName("bDateMenu");
    bDateMenu->setText("...");
    bDateMenu->setPopupMode(QToolButton::InstantPopup);
    auto* dateMenu = new QMenu(bDateMenu);
    for (const TDateMenuItem& item : DateMenuItems()) {
        const int days = item.Days;
        dateMenu->addAction(Q(std::string(item.Caption)), this, [this, days] { ApplyDateMenu(days); });
    }
    bDateMenu->setMenu(dateMenu);
    row->addWidget(bDateMenu);
    bFilterFiles = new QPushButton("Filter", filter);
    bFilterFiles->setObjectName("bFilterFiles");
    row->addWidget(bFilterFiles);
    row->addStretch(1);
    layout->addWidget(filter);

    connect(bFilterFiles, &QPushButton::clicked, this, [this] { FilterFiles(); });
    for (QLineEdit* edit : {edFilename, edDirectory})
        connect(edit, &QLineEdit::returnPressed, this, [this] { FilterFiles(); });
    for (QSpinBox* edit : {edtSizeFrom, edtSizeTo}) {
        connect(edit, &QSpinBox::editingFinished, this, [this, edit] {
            if (edit->hasFocus()) FilterFiles();  // Enter, not leaving the field
        });
        host_.RegisterSizeUnitEdit(edit, cbbByteUnit);
    }
    connect(dtpDateAfter, &QDateEdit::dateChanged, chkDateAfter, [this] { chkDateAfter->setChecked(true); });
    connect(dtpDateBefore, &QDateEdit::dateChanged, chkDateBefore, [this] { chkDateBefore->setChecked(true); });

    lvFileAnalysis = new TListViewEx(page);
    lvFileAnalysis->setObjectName("lvFileAnalysis");
    lvFileAnalysis->SetDesignedColumns(kFileColumns);
    layout->addWidget(lvFileAnalysis, 1);
    lvFileAnalysisLx = std::make_unique<TLvX<TDiskTreeMapEntry>>(lvFileAnalysis);
    lvFileAnalysis->OnSort = [this] {
        lvFileAnalysisLx->SaveSelectionEx();
        SortFileRows();
        lvFileAnalysisLx->RestoreSelectionEx();
    };
    lvFileAnalysis->OnDrawCell = [this](QPainter& p, const QRect& cell, int row, int column, bool selected,
                                        bool focused) { DrawFileCell(p, cell, row, column, selected, focused); };
    lvFileAnalysis->OnGetText = [this](int row, int column) { return FileText(row, column); };
    lvFileAnalysis->OnGetIcon = [this](int row, int column) { return FileIcon(row, column); };
    connect(lvFileAnalysis, &TListViewEx::RowContextMenu, this,
            [this](const QPoint& at, int) { popupFile->popup(at); });
}

void TFormDirectoryAnalysis::CreateMenus() {
    // The folder a tree, chart or folder-statistics command acts on, with
    // the path "Copy filename" copies.
    struct Target {
        std::string folder, copied;
    };
    const auto folderMenu = [this](const char* name, const char* openCaption, std::function<Target()> target) {
        auto* menu = new QMenu(host_.HostWindow());
        menu->setObjectName(name);
        menu->addAction(openCaption, this, [this, target] {
            if (const Target t = target(); !t.folder.empty()) OpenFolderPath(t.folder);
        });
        menu->addAction("Command prompt here", this, [this, target] {
            if (const Target t = target(); !t.folder.empty()) CommandPromptHere(t.folder);
        });
        menu->addAction("Copy filename", this, [target] {
            if (const Target t = target(); !t.copied.empty()) CopyFilenameToClipboard(t.copied);
        });
        menu->addAction("Shell Properties", this, [this, target] {
            if (const Target t = target(); !t.folder.empty()) ShellProperties(t.folder, host_.HostWindow());
        });
        return menu;
    };
    const auto ofRecord = [](TDirectoryEntry* record) {
        if (!record) return Target{};
        return Target{FolderCommandPath(*record), record->CalcPath()};
    };
    popupChart1 = folderMenu("popupChart1", "Open Folder", [this, ofRecord] {
        std::lock_guard lock(Model().csTreemap);
        return ofRecord(SelectedFolderRecord());
    });
    popupChart2 = folderMenu("popupChart2", "Open Folder", [this, ofRecord] {
        std::lock_guard lock(Model().csTreemap);
        return ofRecord(lvDirectoryChartLx->Record(lvDirectoryChart->SelectedRow()));
    });
    popupDirectoryAnalysis = folderMenu("popupDirectoryAnalysis", "Open folder", [this, ofRecord] {
        std::lock_guard lock(Model().csTreemap);
        return ofRecord(FolderRowRecord());
    });

    popupFile = new QMenu(host_.HostWindow());
    popupFile->setObjectName("popupFile");
    const auto filePath = [this] {
        std::lock_guard lock(Model().csTreemap);
        TDiskTreeMapEntry* node = FileRowNode();
        return node ? GetNodeFullPath(Model(), node) : std::string();
    };
    popupFile->addAction("Locate in explorer", this, [filePath] {
        if (const std::string path = filePath(); !path.empty()) ShellLocate(path);
    });
    popupFile->addAction("Copy filename", this, [filePath] {
        if (const std::string path = filePath(); !path.empty()) CopyFilenameToClipboard(path);
    });
    popupFile->addAction("Shell Properties", this, [this, filePath] {
        if (const std::string path = filePath(); !path.empty()) ShellProperties(path, host_.HostWindow());
    });
}

bool TFormDirectoryAnalysis::eventFilter(QObject* watched, QEvent* event) {
    // Any button first selects the node under the pointer, so the menu acts on it.
    // Compared by the pointer kept: the view may be half destroyed when
    // its viewport's last events arrive.
    if (watched == treeViewport_ && event->type() == QEvent::MouseButtonPress) {
        const QModelIndex index = treeview1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (index.isValid() && index != treeview1->currentIndex()) treeview1->setCurrentIndex(index);
    }
    return QObject::eventFilter(watched, event);
}

void TFormDirectoryAnalysis::SetExtraColumns(bool show) {
    QStringList columns = kFolderColumns;
    if (!show) {
        // The first "Path" and the first "Bar" go; every key stays with its caption.
        for (const char* caption : {"Path", "Bar"}) {
            const int at = DesignedColumn(columns, caption);
            if (at >= 0) columns.removeAt(at);
        }
    }
    lvDirectoryAnalysis->columsCurrentSl.clear();
    lvDirectoryAnalysis->SetDesignedColumns(columns);
}

// ---- refresh ----

void TFormDirectoryAnalysis::DirectoryAnalysis_Init() {
    ScanModel& model = Model();
    std::lock_guard lock(model.csTreemap);
    model.ScanDepth = 0;
    // The rows go before the records they point at.
    lvDirectoryAnalysis->LvItems.Clear();
    lvDirectoryAnalysis->SetItemsCount(0);
    lvDirectoryChartLx->Clear();
    lvFileAnalysisLx->Clear();
    largestSiblingSize_ = -1;
    selectedTreeNode_ = nullptr;
    refreshingTree_ = true;
    treeModel->Clear();
    refreshingTree_ = false;
    model.ResetDirectoryEntries();
}

void TFormDirectoryAnalysis::DirectoryAnalysis_ProcessIncremental(bool complete) {
    ScanModel& model = Model();
    // A cancel stops the periodic refreshes; the pass at the end of the run
    // still shows what was scanned.
    if (!complete && model.CancelOperation.load()) return;
    std::lock_guard lock(model.csTreemap);
    if (complete) host_.SetStatus(nullptr, "Sorting treeview...");
    ResortChangedDirectoryChildren(model);
    if (complete) host_.SetStatus(nullptr, "Preparing treeview...");
    if (!model.DirectoryEntries.Empty()) {
        refreshingTree_ = true;
        const bool wasEmpty = treeModel->Update(model);
        refreshingTree_ = false;
        if (wasEmpty && treeModel->Tree().Top()) {
            const QModelIndex top = treeModel->IndexOf(treeModel->Tree().Top());
            treeview1->expand(top);
            treeview1->setCurrentIndex(top);  // shows its chart
        } else if (selectedTreeNode_) {
            treeview1Change(false);
        }
    }
    if (complete) {
        host_.SetStatus(nullptr, "");
        const QSignalBlocker block(edLevels);
        edLevels->setValue(1);
        bDirectoryAnalysis_ApplyFilterClick();
    }
    if (lvDirectoryAnalysis->ColumnClicked >= 0) {
        SortFolderRows();
    } else {
        ColumnClick(*lvDirectoryAnalysis, lvDirectoryAnalysis->ColumnIndexOfCaption("Full Path"));
    }
    lvDirectoryAnalysis->Invalidate();
}

TDirectoryEntry* TFormDirectoryAnalysis::SelectedFolderRecord() const {
    return selectedTreeNode_ ? selectedTreeNode_->Record : nullptr;
}

void TFormDirectoryAnalysis::SelectTreeRecord(const TDirectoryEntry* record) {
    if (!record || !record->TreeNodeX) return;
    treeview1->setCurrentIndex(treeModel->IndexOf(static_cast<const TTreeSizeNode*>(record->TreeNodeX)));
}

void TFormDirectoryAnalysis::treeview1Change(bool fromUser) {
    std::lock_guard lock(Model().csTreemap);
    TTreeSizeNode* node = TTreeSizeItemModel::NodeAt(treeview1->currentIndex());
    if (!node) return;
    selectedTreeNode_ = node;
    lvDirectoryChartLx->SaveSelectionEx();
    const std::vector<TDirectoryEntry*> selection = lvDirectoryChartLx->selectedRecordId;
    lvDirectoryChartLx->LvItems = node->Record->ChildrenEntries;
    largestSiblingSize_ = -1;
    for (const TDirectoryEntry* child : lvDirectoryChartLx->LvItems)
        largestSiblingSize_ = std::max(largestSiblingSize_, child->TotalSize);
    lvDirectoryChartLx->UpdateItemsCount();
    if (fromUser) {
        lvDirectoryChart->ClearSortColumn();
        panelTreesizeTop->setText(Q(node->Record->CalcPath()));
    }
    if (lvDirectoryChart->ColumnClicked >= 0) {
        SortChartRows();
    } else {
        ColumnClick(*lvDirectoryChart, lvDirectoryChart->ColumnIndexOfCaption("Bar"));
    }
    lvDirectoryChart->Invalidate();
    lvDirectoryChartLx->selectedRecordId = selection;
    lvDirectoryChartLx->RestoreSelectionEx();
}

void TFormDirectoryAnalysis::bDirectoryAnalysis_ApplyFilterClick() {
    ScanModel& model = Model();
    std::lock_guard lock(model.csTreemap);
    lvDirectoryAnalysis->SaveSelectionExXX();
    lvDirectoryAnalysis->LvItems.Clear();
    const std::vector<int> rows = FolderStatisticsRows(model, edLevels->value());
    lvDirectoryAnalysis->LvItems.Reserve(static_cast<int>(rows.size()));
    for (int row : rows) lvDirectoryAnalysis->LvItems.Add(row);
    lvDirectoryAnalysis->SetItemsCount(lvDirectoryAnalysis->LvItems.Count());
    if (lvDirectoryAnalysis->ColumnClicked >= 0) SortFolderRows();
    lvDirectoryAnalysis->RestoreSelectionExXX();
    lvDirectoryAnalysis->Invalidate();
}

void TFormDirectoryAnalysis::FilterFiles() {
    ScanModel& model = Model();
    std::lock_guard lock(model.csTreemap);
    lvFileAnalysisLx->SaveSelectionEx();
    // The first sort below goes through a column click, which saves a
    // selection of its own.
    const std::vector<TDiskTreeMapEntry*> selection = lvFileAnalysisLx->selectedRecordId;
    lvFileAnalysisLx->Clear();
    TFileFilterInput input;
    input.NameWords = edFilename->text().toStdString();
    input.FolderWords = edDirectory->text().toStdString();
    input.SizeFrom = edtSizeFrom->value();
    input.SizeTo = edtSizeTo->value();
    input.ByteUnit = cbbByteUnit->currentText().toStdString();
    if (chkDateAfter->isChecked()) input.After = DateOf(dtpDateAfter->date());
    if (chkDateBefore->isChecked()) input.Before = DateOf(dtpDateBefore->date());
    try {
        lvFileAnalysisLx->LvItems = tandrel::FilterFiles(model, input);
        lvFileAnalysisLx->UpdateItemsCount();
        if (lvFileAnalysis->ColumnClicked >= 0) {
            SortFileRows();
        } else {
            ColumnClick(*lvFileAnalysis, lvFileAnalysis->ColumnIndexOfCaption("Size"));
        }
    } catch (const TandrelError& error) {
        lvFileAnalysisLx->Clear();
        GetMessages().ShowMessage(MessageKind::Error, error.what());
    }
    lvFileAnalysisLx->selectedRecordId = selection;
    lvFileAnalysisLx->RestoreSelectionEx();
    lvFileAnalysis->Invalidate();
}

void TFormDirectoryAnalysis::ApplyDateMenu(int days) {
    const TDateMenuChoice choice = LastDaysChoice(days, Now());
    {
        const QSignalBlocker blockAfter(dtpDateAfter), blockBefore(dtpDateBefore);
        dtpDateAfter->setDate(QDateOf(choice.After));
        dtpDateBefore->setDate(QDateOf(choice.Before));
    }
    chkDateAfter->setChecked(choice.AfterTicked);
    chkDateBefore->setChecked(choice.BeforeTicked);
}

std::string TFormDirectoryAnalysis::bExportDirectoryAnalysisClick(bool open) {
    std::string file;
    {
        std::lock_guard lock(Model().csTreemap);
        std::vector<const TDirectoryEntry*> rows;
        rows.reserve(static_cast<std::size_t>(lvDirectoryAnalysis->LvItems.Count()));
        for (int index : lvDirectoryAnalysis->LvItems) rows.push_back(Model().DirectoryEntries[index]);
        file = ExportFolderStatistics(rows, DataFolder(), Now());
    }
    if (file.empty()) {
        GetMessages().ShowMessage(MessageKind::Error, "Could not write the export file in " + DataFolder());
    } else if (open) {
        ShellOpen(file);
    }
    return file;
}

// ---- sorting ----

void TFormDirectoryAnalysis::SortFolderRows() {
    TListViewEx& lv = *lvDirectoryAnalysis;
    std::lock_guard lock(Model().csTreemap);
    const DirectoryAnalysisKey key = DirectoryAnalysisKeyOfCaption(lv.ClickedCaption().toStdString());
    const TOwningStore<TDirectoryEntry>& entries = Model().DirectoryEntries;
    const bool inverse = lv.FlagInverseSort;
    lv.LvItems.Sort([&](int a, int b) { return CompareDirectoryAnalysis(key, inverse, *entries[a], *entries[b]); });
}

void TFormDirectoryAnalysis::SortChartRows() {
    TListViewEx& lv = *lvDirectoryChart;
    std::lock_guard lock(Model().csTreemap);
    SortDirectoryChartRows(lvDirectoryChartLx->LvItems, DesignedColumn(kChartColumns, lv.ClickedCaption()),
                           lv.FlagInverseSort);
}

void TFormDirectoryAnalysis::SortFileRows() {
    TListViewEx& lv = *lvFileAnalysis;
    std::lock_guard lock(Model().csTreemap);
    SortFileNodes(lvFileAnalysisLx->LvItems, FileAnalysisKeyOfColumn(DesignedColumn(kFileColumns, lv.ClickedCaption())),
                  lv.FlagInverseSort);
}

// ---- drawing ----

namespace {

// The texts of the cells the folder statistics and the chart show alike;
// empty for a caption without text. "Full Path" is drawn on the left, the
// others on the right.
QString RecordCellText(const QString& caption, const TDirectoryEntry& r) {
    if (caption == "Total Size") return Q(FormatCount(static_cast<double>(r.TotalSize)));
    if (caption == "Total Dirs") return Q(FormatCount(r.TotalDirs));
    if (caption == "Total Files") return Q(FormatCount(r.TotalFiles));
    if (caption == "Root Size") return Q(FormatCount(static_cast<double>(r.RootSize)));
    if (caption == "Root Dirs") return Q(FormatCount(r.RootDirs));
    if (caption == "Root Files") return Q(FormatCount(r.RootFiles));
    if (caption == "% of parent") return Q(FormatFixed(2, r.PercentOfParent()));
    if (caption == "level") return Q(FormatCount(r.Level));
    if (caption == "Full Path") return Q(r.CalcPath());
    return {};  // "Date": no date is kept for folders
}

void DrawRecordCell(QPainter& painter, const QRect& cell, const QString& caption, const TDirectoryEntry& r) {
    const QString text = RecordCellText(caption, r);
    if (caption == "Full Path")
        TListViewEx::_DrawTextW_Left(painter, cell, text);
    else
        TListViewEx::_DrawTextW_Right(painter, cell, text, 6, 2);
}

// The folder statistics' "Path": the size padded to a column, then the name.
QString FolderPathText(const QFontMetrics& metrics, const TDirectoryEntry& r) {
    return PadLeftToWidth(metrics, Q(MegabytesText(r.TotalSize)), 60) + "  " + Q(r.FolderName);
}

QString FolderCellText(const QFontMetrics& metrics, const QString& caption, const TDirectoryEntry& r) {
    if (caption == "Path") return FolderPathText(metrics, r);
    if (caption == "Bar") return {};
    return RecordCellText(caption, r);
}

// The chart's "Path" is drawn in two pieces, the size in bold and the name.
QString ChartSizeText(const TDirectoryEntry& r) { return Q(MegabytesText(r.TotalSize)); }
QString ChartNameText(const TDirectoryEntry& r) { return Q(r.FolderName); }

QString ChartCellText(const QString& caption, const TDirectoryEntry& r) {
    if (caption == "Path") return ChartSizeText(r) + "  " + ChartNameText(r);
    if (caption == "Bar") return {};
    return RecordCellText(caption, r);
}

// "Created" shows nothing. The caller holds the model lock.
QString FileCellText(const QString& caption, const TDiskTreeMapEntry& node) {
    if (caption == "Filename") return Q(node.Name);
    if (caption == "Path") {
        std::string folder = NodeFullPath(node.ParentNodeIdx);
        if (folder.empty() || folder.back() != '/') folder += '/';
        return Q(folder);
    }
    if (caption == "Size") return Q(FormatCount(static_cast<double>(node.SizeTotal)));
    if (caption == "Modified") return Q(FormatDateTimeSec(node.DateM));
    return {};
}

}  // namespace

const TDirectoryEntry* TFormDirectoryAnalysis::FolderRowAt(int row) {
    if (row < 0 || row >= lvDirectoryAnalysis->LvItems.Count()) return nullptr;
    const int index = lvDirectoryAnalysis->LvItems[row];
    if (index < 0 || index >= Model().DirectoryEntries.Count()) return nullptr;
    return Model().DirectoryEntries[index];
}

QString TFormDirectoryAnalysis::FolderText(int row, int column) {
    std::lock_guard lock(Model().csTreemap);
    const TDirectoryEntry* r = FolderRowAt(row);
    return r ? FolderCellText(lvDirectoryAnalysis->fontMetrics(), lvDirectoryAnalysis->ColumnCaption(column), *r)
             : QString();
}

QString TFormDirectoryAnalysis::ChartText(int row, int column) {
    std::lock_guard lock(Model().csTreemap);
    const TDirectoryEntry* r = lvDirectoryChartLx->Record(row);
    return r ? ChartCellText(lvDirectoryChart->ColumnCaption(column), *r) : QString();
}

QString TFormDirectoryAnalysis::FileText(int row, int column) {
    std::lock_guard lock(Model().csTreemap);
    const TDiskTreeMapEntry* node = lvFileAnalysisLx->Record(row);
    return node ? FileCellText(lvFileAnalysis->ColumnCaption(column), *node) : QString();
}

QIcon TFormDirectoryAnalysis::FileIcon(int row, int column) {
    TThreadIcons* icons = ThreadIcons();
    if (!icons || lvFileAnalysis->ColumnCaption(column) != "Filename") return {};
    host_.SetLastActiveLV(lvFileAnalysis);
    std::string path;
    {
        std::lock_guard lock(Model().csTreemap);
        const TDiskTreeMapEntry* node = lvFileAnalysisLx->Record(row);
        if (!node) return {};
        path = NodeFullPath(node);
    }
    return icons->GetIconForFile(path);
}

void TFormDirectoryAnalysis::DrawFolderCell(QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                            bool focused) {
    std::lock_guard lock(Model().csTreemap);
    TListViewEx::FillCellBackground(painter, cell, selected, focused);
    const TDirectoryEntry* record = FolderRowAt(row);
    if (!record) return;
    const TDirectoryEntry& r = *record;
    const QString caption = lvDirectoryAnalysis->ColumnCaption(column);
    if (caption == "Path") {
        const int indent = r.Level * kIndentPerLevel;
        const QRect iconRect(cell.left() + indent + 3, cell.top() + (cell.height() - 16) / 2, 16, 16);
        const TThreadIcons* icons = ThreadIcons();
        if (r.FolderName == "[files]")
            QApplication::style()->standardIcon(QStyle::SP_FileIcon).paint(&painter, iconRect);
        else if (icons)
            icons->folderIcon.paint(&painter, iconRect);
        else
            QApplication::style()->standardIcon(QStyle::SP_DirIcon).paint(&painter, iconRect);
        TListViewEx::_DrawTextW_Left(painter, cell, FolderPathText(painter.fontMetrics(), r), indent + 25, 2);
    } else if (caption == "Bar") {
        const double share = std::clamp(static_cast<double>(r.PercentOfParent()), 0.0, 100.0);
        const int width = 20 + static_cast<int>(share * (cell.width() - 22) / 100.0);
        painter.fillRect(QRect(cell.left() + 2, cell.top() + 2, width, cell.height() - 4),
                         selected ? kSelectedBar : kNavy);
    } else {
        DrawRecordCell(painter, cell, caption, r);
    }
}

void TFormDirectoryAnalysis::DrawChartCell(QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                           bool focused) {
    std::lock_guard lock(Model().csTreemap);
    TListViewEx::FillCellBackground(painter, cell, selected, focused);
    const TDirectoryEntry* record = lvDirectoryChartLx->Record(row);
    if (!record) return;
    const TDirectoryEntry& r = *record;
    const QString caption = lvDirectoryChart->ColumnCaption(column);
    // Texts sit a little above the middle of the tall rows.
    const QRect text = cell.translated(0, -6);
    if (caption == "Path") {
        QFont bold = painter.font();
        bold.setBold(true);
        const QFont normal = painter.font();
        painter.setFont(bold);
        const QRect size(text.left(), text.top(), std::min(100, text.width()), text.height());
        TListViewEx::_DrawTextW_Right(painter, size, ChartSizeText(r), 0, 0);
        painter.setFont(normal);
        if (text.width() > 115) {
            const QRect name(text.left() + 115, text.top(), text.width() - 115, text.height());
            TListViewEx::_DrawTextW_Left(painter, name, ChartNameText(r), 0, 2);
        }
    } else if (caption == "Bar") {
        const int available = std::max(0, cell.width() - 22);
        if (largestSiblingSize_ <= 0) return;  // an empty bar
        const int length = static_cast<int>(static_cast<double>(available) * static_cast<double>(r.TotalSize) /
                                            static_cast<double>(largestSiblingSize_));
        if (length <= 0) return;
        const int left = cell.left() + 2, top = cell.top() + 2 + 3, bottom = cell.bottom() - 2;
        const int right = left + length;
        painter.fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), selected ? kSelectedBar : kChartGreen);
        painter.setPen(Qt::NoPen);
        // A slanted top face and right face give the bar some depth.
        painter.setBrush(kChartTop);
        painter.drawPolygon(
            QPolygon({QPoint(left, top), QPoint(left + 3, top - 3), QPoint(right + 3, top - 3), QPoint(right, top)}));
        painter.setBrush(kChartSide);
        painter.drawPolygon(QPolygon(
            {QPoint(right, top), QPoint(right + 3, top - 3), QPoint(right + 3, bottom - 3), QPoint(right, bottom)}));
    } else {
        DrawRecordCell(painter, text, caption, r);
    }
}

void TFormDirectoryAnalysis::DrawFileCell(QPainter& painter, const QRect& cell, int row, int column, bool selected,
                                          bool focused) {
    std::lock_guard lock(Model().csTreemap);
    TListViewEx::FillCellBackground(painter, cell, selected, focused);
    const TDiskTreeMapEntry* node = lvFileAnalysisLx->Record(row);
    if (!node) return;
    const QString caption = lvFileAnalysis->ColumnCaption(column);
    const QString text = FileCellText(caption, *node);
    if (caption == "Filename")
        TListViewEx::_DrawTextW_Left(painter, cell, text, 25, 2);
    else if (caption == "Path")
        TListViewEx::_DrawTextW_Left(painter, cell, text);
    else
        TListViewEx::_DrawTextW_Right(painter, cell, text, 6, 2);
}

// ---- commands ----

TDirectoryEntry* TFormDirectoryAnalysis::FolderRowRecord() const {
    const int row = lvDirectoryAnalysis->SelectedRow();
    if (row < 0 || row >= lvDirectoryAnalysis->LvItems.Count()) return nullptr;
    const int index = lvDirectoryAnalysis->LvItems[row];
    ScanModel& model = const_cast<TFormDirectoryAnalysis*>(this)->Model();
    return index >= 0 && index < model.DirectoryEntries.Count() ? model.DirectoryEntries[index] : nullptr;
}

TDiskTreeMapEntry* TFormDirectoryAnalysis::FileRowNode() const {
    return lvFileAnalysisLx->Record(lvFileAnalysis->SelectedRow());
}

void TFormDirectoryAnalysis::OpenFolderPath(const std::string& path) { ShellOpen(path); }

void TFormDirectoryAnalysis::CommandPromptHere(const std::string& path) {
    if (!ShellCommandPromptHere(path)) GetMessages().ShowMessage(MessageKind::Error, "No terminal program found");
}

}  // namespace tandrel
