#include "gui/shell/select_volumes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/date_time.h"
#include "common/files.h"
#include "common/format_numbers.h"
#include "common/messages.h"
#include "common/paths.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/snapshot_details.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Item data of the folder tree: the path as the file system spells it, and
// whether the item's subfolders are listed yet.
constexpr int kPathRole = Qt::UserRole;
constexpr int kLoadedRole = Qt::UserRole + 1;

std::string ItemPath(const QTreeWidgetItem* item) {
    const QByteArray bytes = item->data(0, kPathRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray Bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

std::string SameFolderKey(const std::string& folder) { return RemoveTrailingBackslash(NormalizePath(folder)); }

}  // namespace

TFormSelectVolumes::TFormSelectVolumes(ScanModel& model, std::string snapshotsPath, QWidget* parent)
    : QDialog(parent), model_(model), snapshotsPath_(std::move(snapshotsPath)) {
    setObjectName("FormSelectVolumes");
    setWindowTitle("Select volumes / directories / snapshots");
    setModal(true);
    resize(960, 540);

    auto* layout = new QVBoxLayout(this);
    pcSelectVolumes = new QTabWidget(this);
    pcSelectVolumes->setObjectName("pcSelectVolumes");
    layout->addWidget(pcSelectVolumes, 1);
    CreateSnapshotsPage();
    CreateDirectoriesPage();

    cbShowSystemMounts = new QCheckBox("Show system mounts", this);
    cbShowSystemMounts->setObjectName("cbShowSystemMounts");
    layout->addWidget(cbShowSystemMounts);

    auto* bottom = new QHBoxLayout();
    auto* label = new QLabel("Selection:", this);
    bottom->addWidget(label);
    DirectoryEdit1 = new QLineEdit(this);
    DirectoryEdit1->setObjectName("DirectoryEdit1");
    DirectoryEdit1->setAccessibleName("Selection");
    label->setBuddy(DirectoryEdit1);
    bottom->addWidget(DirectoryEdit1, 1);
    bOK = new QPushButton("OK", this);
    bOK->setObjectName("bOK");
    bCancel = new QPushButton("Cancel", this);
    bCancel->setObjectName("bCancel");
    // Enter belongs to the edits: in the result it confirms, in the filter nothing.
    for (QPushButton* button : {bOK, bCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        bottom->addWidget(button);
    }
    layout->addLayout(bottom);

    connect(bOK, &QPushButton::clicked, this, &TFormSelectVolumes::bOKClick);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(DirectoryEdit1, &QLineEdit::returnPressed, this, &TFormSelectVolumes::bOKClick);
    connect(cbShowSystemMounts, &QCheckBox::toggled, this, &TFormSelectVolumes::FillVolumes);

    FillVolumes();
}

TFormSelectVolumes::~TFormSelectVolumes() = default;

void TFormSelectVolumes::CreateSnapshotsPage() {
    tsSnapshots = new QWidget();
    tsSnapshots->setObjectName("tsSnapshots");
    pcSelectVolumes->addTab(tsSnapshots, "Snapshot");
    auto* layout = new QVBoxLayout(tsSnapshots);
    auto* top = new QHBoxLayout();
    auto* label = new QLabel("Snapshot filter:", tsSnapshots);
    top->addWidget(label);
    edVolumeFilter = new QLineEdit(tsSnapshots);
    edVolumeFilter->setObjectName("edVolumeFilter");
    edVolumeFilter->setAccessibleName("Snapshot filter:");
    label->setBuddy(edVolumeFilter);
    top->addWidget(edVolumeFilter, 1);
    JvDriveCombo1 = new QComboBox(tsSnapshots);
    JvDriveCombo1->setObjectName("JvDriveCombo1");
    JvDriveCombo1->setAccessibleName("Drive");
    JvDriveCombo1->setMinimumContentsLength(24);
    top->addWidget(JvDriveCombo1);
    layout->addLayout(top);

    lbSnapshots = new TListViewEx(tsSnapshots);
    lbSnapshots->setObjectName("lbSnapshots");
    lbSnapshots->setAccessibleName("Snapshots");
    // The file name column is hidden by its width only, so a screen reader
    // still reads each row's file name.
    lbSnapshots->SetDesignedColumns({"Snapshot:0:L:0", "Root path:220:L:0", "Date taken:140:L:0", "Age:110:L:0",
                                     "Description:200:L:0", "Files:80:R:0", "Folders:80:R:0", "Size:90:R:0"});
    lbSnapshots->setSelectionMode(QAbstractItemView::SingleSelection);
    lbSnapshots->horizontalHeader()->setSectionsClickable(false);
    lbSnapshots->OnGetText = [this](int row, int column) {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return QString();
        const QStringList& cells = rows_[static_cast<std::size_t>(row)].cells;
        return column >= 0 && column < cells.size() ? cells[column] : QString();
    };
    layout->addWidget(lbSnapshots, 1);

    edVolumeFilter->installEventFilter(this);
    connect(edVolumeFilter, &QLineEdit::textChanged, this, &TFormSelectVolumes::BuildSnapshotList);
    connect(JvDriveCombo1, &QComboBox::currentIndexChanged, this, &TFormSelectVolumes::JvDriveCombo1Change);
    connect(lbSnapshots, &TListViewEx::SelectItem, this, [this](int row, bool selected) {
        if (selected) lbSnapshotsSelectItem(row);
    });
    connect(lbSnapshots, &TListViewEx::DblClick, this, [this](int row) {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        lbSnapshotsSelectItem(row);
        bOKClick();
    });
}

void TFormSelectVolumes::CreateDirectoriesPage() {
    tsDirectories = new QWidget();
    tsDirectories->setObjectName("tsDirectories");
    pcSelectVolumes->addTab(tsDirectories, "Directory");
    auto* layout = new QHBoxLayout(tsDirectories);

    JvDriveList1 = new TListViewEx(tsDirectories);
    JvDriveList1->setObjectName("JvDriveList1");
    JvDriveList1->setAccessibleName("Drives");
    JvDriveList1->SetOwnerData(false);
    JvDriveList1->SetDesignedColumns({"Drive:160:L:0", "Free:90:R:0", "Total:90:R:0"});
    JvDriveList1->setSelectionMode(QAbstractItemView::SingleSelection);
    JvDriveList1->horizontalHeader()->setSectionsClickable(false);
    layout->addWidget(JvDriveList1, 2);

    panelFolders = new QStackedWidget(tsDirectories);
    panelFolders->setObjectName("panelFolders");
    JvDirectoryListBox1 = new QTreeWidget(panelFolders);
    JvDirectoryListBox1->setObjectName("JvDirectoryListBox1");
    JvDirectoryListBox1->setAccessibleName("Folders");
    JvDirectoryListBox1->setHeaderHidden(true);
    lbNoFolders = new QListWidget(panelFolders);
    lbNoFolders->setObjectName("lbNoFolders");
    lbNoFolders->setAccessibleName("Folders (drive not readable)");
    panelFolders->addWidget(JvDirectoryListBox1);
    panelFolders->addWidget(lbNoFolders);
    layout->addWidget(panelFolders, 3);

    connect(JvDriveList1, &TListViewEx::SelectItem, this, [this](int row, bool selected) {
        if (selected) JvDriveList1Change(row);
    });
    // A click on the drive already chosen chooses it again and reads its
    // folders afresh (a medium may have come or gone).
    connect(JvDriveList1, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { JvDriveList1Change(index.row()); });
    connect(JvDirectoryListBox1, &QTreeWidget::itemExpanded, this, &TFormSelectVolumes::LoadFolderChildren);
    connect(JvDirectoryListBox1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { FolderChosen(current); });
    connect(JvDirectoryListBox1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { FolderChosen(item); });
}

void TFormSelectVolumes::SetFilterText(const std::string& text) { edVolumeFilter->setText(Q(text)); }

std::string TFormSelectVolumes::FilterText() const { return edVolumeFilter->text().toStdString(); }

void TFormSelectVolumes::HideDirectoriesPage() { pcSelectVolumes->setTabVisible(1, false); }

std::string TFormSelectVolumes::Result() const {
    const QString text = DirectoryEdit1->text();
    return text == resultShown_ ? resultBytes_ : text.toStdString();
}

void TFormSelectVolumes::SetResult(const std::string& path) {
    resultBytes_ = path;
    resultShown_ = Q(path);
    DirectoryEdit1->setText(resultShown_);
}

// ---- volumes -----------------------------------------------------------------

void TFormSelectVolumes::FillVolumes() {
    const int oldIndex = JvDriveCombo1->currentIndex();
    const std::string oldDrive =
        oldIndex >= 0 && oldIndex < static_cast<int>(volumes_.size()) ? volumes_[oldIndex].mount.path : "/";
    volumes_ = platform::ListVolumes(cbShowSystemMounts->isChecked());

    {
        // Refilling is no choice of the user: the filter stays.
        QSignalBlocker block(JvDriveCombo1);
        JvDriveCombo1->clear();
        for (const platform::Volume& volume : volumes_) {
            const QString text = Q(volume.name) + " (" + Q(volume.mount.path) + ")";
            JvDriveCombo1->addItem(text, Bytes(volume.mount.path));
        }
        JvDriveCombo1->setCurrentIndex(platform::VolumeHolding(volumes_, oldDrive));
    }

    JvDriveList1->Clear();
    for (const platform::Volume& volume : volumes_) {
        platform::MountSpace space;
        platform::GetMountSpace(volume.mount.path, space);
        auto bytes = [](std::int64_t n) { return n < 0 ? QString() : Q(FormatBytes(n)); };
        JvDriveList1->AddRange(
            {Q(volume.name) + " (" + Q(volume.mount.path) + ")", bytes(space.available), bytes(space.total)});
    }
}

void TFormSelectVolumes::JvDriveCombo1Change() {
    if (!initialized) return;
    const int index = JvDriveCombo1->currentIndex();
    if (index < 0 || index >= static_cast<int>(volumes_.size())) return;
    SetFilterText(AddTrailingBackslash(volumes_[index].mount.path));
}

// ---- showing -----------------------------------------------------------------

void TFormSelectVolumes::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TFormSelectVolumes::FormShow() {
    pcSelectVolumes->setCurrentWidget(pcSelectVolumes->isTabVisible(0) ? tsSnapshots : tsDirectories);
    edVolumeFilter->setFocus();
    const std::string filter = FilterText();
    if (FlagCustomVolumeX) {
        const int index = platform::VolumeHolding(volumes_, filter);
        if (index >= 0) {
            QSignalBlocker block(JvDriveCombo1);
            JvDriveCombo1->setCurrentIndex(index);
        }
    } else {
        const int index = JvDriveCombo1->currentIndex();
        if (index >= 0) SetFilterText(AddTrailingBackslash(volumes_[index].mount.path));
    }
    // Once even when the filter did not change.
    BuildSnapshotList();
    initialized = true;

    // The folder tree starts on the drive of the filter; the result stays as it is.
    const int drive = platform::VolumeHolding(volumes_, FilterText());
    const int shown = drive >= 0 ? drive : JvDriveCombo1->currentIndex();
    if (shown >= 0) {
        QSignalBlocker blockList(JvDriveList1);
        QSignalBlocker blockTree(JvDirectoryListBox1);
        JvDriveList1->SetSelectedRows({shown}, shown, true);
        ShowFolderTree(AddTrailingBackslash(volumes_[shown].mount.path));
    }
}

// ---- snapshots -----------------------------------------------------------------

void TFormSelectVolumes::BuildSnapshotList() {
    const std::string filter = platform::LowerCase(FilterText());
    std::vector<std::string> files;
    if (!snapshotsPath_.empty() && platform::DirectoryExists(snapshotsPath_))
        files = ListFilePaths(snapshotsPath_, "*.snapshot");
    std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return platform::CollateCompare(ExtractFileName(a), ExtractFileName(b)) < 0;
    });

    std::vector<TSnapshotDetails> listed;
    for (const std::string& file : files) {
        TSnapshotDetails details = GetSnapshotDetails(model_, file);
        if (!filter.empty() && platform::LowerCase(details.RootPath).find(filter) == std::string::npos &&
            platform::LowerCase(details.Description).find(filter) == std::string::npos)
            continue;
        listed.push_back(std::move(details));
    }
    // Newest first; snapshots of one moment keep their name order.
    std::stable_sort(listed.begin(), listed.end(), [](const TSnapshotDetails& a, const TSnapshotDetails& b) {
        return a.SnapshotCreatedDt > b.SnapshotCreatedDt;
    });

    const TDateTime now = Now();
    lbSnapshots->Clear();
    rows_.clear();
    for (const TSnapshotDetails& details : listed) {
        SnapshotRow row;
        row.file = details.SnapshotFn;
        row.name = ExtractFileName(details.SnapshotFn);
        const TDateTime created = details.SnapshotCreatedDt;
        // The age as a plain duration: the time as far ahead as it lies behind.
        row.cells = {Q(row.name),
                     Q(details.RootPath),
                     Q(FormatDateTimeSec(created)),
                     Q(FormatRelativeTime(false, now + (now - created), now)),
                     Q(details.Description),
                     Q(FormatCount(details.FilesCount)),
                     Q(FormatCount(details.FoldersCount)),
                     Q(FormatBytes(details.SizeInBytes))};
        rows_.push_back(std::move(row));
    }
    lbSnapshots->SetItemsCount(static_cast<int>(rows_.size()));
    lbSnapshots->Invalidate();
}

std::vector<std::string> TFormSelectVolumes::ListedSnapshots() const {
    std::vector<std::string> files;
    for (const SnapshotRow& row : rows_) files.push_back(row.file);
    return files;
}

void TFormSelectVolumes::lbSnapshotsSelectItem(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    SetResult(rows_[static_cast<std::size_t>(row)].name);
}

void TFormSelectVolumes::MoveSnapshotSelection(int step) {
    const int count = lbSnapshots->ItemsCount();
    if (count == 0) return;
    const int current = lbSnapshots->SelectedRow();
    const int next = current < 0 ? 0 : std::clamp(current + step, 0, count - 1);
    lbSnapshots->SelectItemIdCentered(next);
    lbSnapshotsSelectItem(next);
}

bool TFormSelectVolumes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edVolumeFilter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            MoveSnapshotSelection(key == Qt::Key_Down ? 1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- folders -----------------------------------------------------------------

void TFormSelectVolumes::JvDriveList1Change(int row) {
    if (row < 0 || row >= static_cast<int>(volumes_.size())) return;
    const std::string root = AddTrailingBackslash(volumes_[static_cast<std::size_t>(row)].mount.path);
    SetResult(root);
    QSignalBlocker block(JvDirectoryListBox1);
    ShowFolderTree(root);
}

void TFormSelectVolumes::ShowFolderTree(const std::string& root) {
    JvDirectoryListBox1->clear();
    {
        platform::FolderEnumerator probe(root);
        if (!probe.IsOpen()) {
            panelFolders->setCurrentWidget(lbNoFolders);
            return;
        }
    }
    auto* item = new QTreeWidgetItem(JvDirectoryListBox1, {Q(root)});
    item->setData(0, kPathRole, Bytes(root));
    LoadFolderChildren(item);
    item->setExpanded(true);
    panelFolders->setCurrentWidget(JvDirectoryListBox1);
}

// Subfolders are listed when their parent opens, so a drive costs one
// listing until the user goes deeper.
void TFormSelectVolumes::LoadFolderChildren(QTreeWidgetItem* item) {
    if (!item || item->data(0, kLoadedRole).toBool()) return;
    item->setData(0, kLoadedRole, true);
    const std::string folder = ItemPath(item);
    std::vector<std::string> names;
    platform::FolderEnumerator folders(folder);
    platform::FindRecord record;
    while (folders.Next(record))
        if (record.IsDirectory()) names.push_back(record.name);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return platform::CollateCompareLogical(a, b) < 0; });
    for (const std::string& name : names) {
        auto* child = new QTreeWidgetItem(item, {Q(name)});
        child->setData(0, kPathRole, Bytes(PathJoin(folder, name)));
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TFormSelectVolumes::FolderChosen(QTreeWidgetItem* item) {
    if (item) SetResult(ItemPath(item));
}

// ---- confirming ----------------------------------------------------------------

void TFormSelectVolumes::bOKClick() {
    if (FlagForceSelectSnapshot) {
        const std::string text = Result();
        const bool absolute = !text.empty() && text.front() == platform::PathDelim;
        const std::string file = absolute ? text : PathJoin(snapshotsPath_, text);
        if (!text.empty() && (platform::DirectoryExists(text) || platform::DirectoryExists(file))) {
            GetMessages().ShowMessage(MessageKind::Info, "Please select a snapshot, not a folder or drive");
            return;
        }
        const bool inside =
            !snapshotsPath_.empty() && SameFolderKey(ExtractFilePath(file)) == SameFolderKey(snapshotsPath_);
        if (text.empty() || !inside || !platform::FileExists(file)) {
            GetMessages().ShowMessage(MessageKind::Info, "Please select a snapshot");
            return;
        }
    }
    accept();
}

}  // namespace tandrel
