#include "gui/disk/disk_treemap_view.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <charconv>
#include <limits>

#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/strings.h"
#include "gui/disk/nav_tool.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_debug_panel.h"
#include "gui/disk/treemap_surface.h"
#include "gui/shell/settings_panel.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/please_wait.h"
#include "gui/widgets/radio_group.h"
#include "platform/file_system.h"
#include "platform/mounts.h"
#include "scan/change_watcher.h"
#include "scan/scan_model.h"
#include "treemap/treemap_geometry.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr std::int64_t kMiB = 1048576;

// A sample tree's line: its number of MiB, 1 when it is not a usable number.
std::int64_t TestTreeSize(std::string line) {
    line = Trim(line);
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), n);
    const bool usable = error == std::errc() && end == line.data() + line.size() && n >= 0 &&
                        n <= std::numeric_limits<std::int64_t>::max() / kMiB;
    return (usable ? n : 1) * kMiB;
}

}  // namespace

TFormDiskTreeMap::TFormDiskTreeMap(TViewHost& host, QWidget* page, QWidget* headerHost)
    : QObject(host.HostWindow()), host_(host), layout_(host.Model()), navigator_(layout_) {
    setObjectName("FormDiskTreeMap");
    auto* header = new QHBoxLayout(headerHost);
    header->setContentsMargins(6, 4, 6, 4);
    header->addWidget(new QLabel("Folder:", headerHost));
    edTreemapDirectory = new QLineEdit(headerHost);
    edTreemapDirectory->setObjectName("edTreemapDirectory");
    edTreemapDirectory->setPlaceholderText("a folder, a mount point or a snapshot file");
    header->addWidget(edTreemapDirectory, 1);
    bBrowseTreemapDirectory = new QToolButton(headerHost);
    bBrowseTreemapDirectory->setObjectName("bBrowseTreemapDirectory");
    bBrowseTreemapDirectory->setText("Browse...");
    bBrowseTreemapDirectory->setToolTip("Browse for a folder");
    bBrowseTreemapDirectory->setAccessibleName("Browse for a folder");
    header->addWidget(bBrowseTreemapDirectory);
    connect(bBrowseTreemapDirectory, &QToolButton::clicked, this, &TFormDiskTreeMap::BrowseForFolder);
    bTreeMap_SelectVolumes = new QPushButton("...", headerHost);
    bTreeMap_SelectVolumes->setObjectName("bTreeMap_SelectVolumes");
    bTreeMap_SelectVolumes->setToolTip("Select volumes");
    bTreeMap_SelectVolumes->setAccessibleName("Select volumes");
    header->addWidget(bTreeMap_SelectVolumes);
    bStartTreemap = new QPushButton("Scan", headerHost);
    bStartTreemap->setObjectName("bStartTreemap");
    header->addWidget(bStartTreemap);
    bCancelTreemap = new QPushButton("Cancel", headerHost);
    bCancelTreemap->setObjectName("bCancelTreemap");
    bCancelTreemap->hide();
    header->addWidget(bCancelTreemap);
    // Copies of the settings panel's switches, named apart so that the
    // settings store finds the panel's own.
    cbIncludeFreeSpace = new QCheckBox("Include Free Space", headerHost);
    cbIncludeFreeSpace->setObjectName("cbIncludeFreeSpace_Treemap");
    header->addWidget(cbIncludeFreeSpace);
    cbMonitorChanges = new QCheckBox("Monitor changes (experimental)", headerHost);
    cbMonitorChanges->setObjectName("cbMonitorChanges_Treemap");
    header->addWidget(cbMonitorChanges);
    CreateSearch(page, header, headerHost);
    bGoBack2 = new QPushButton("Back", headerHost);
    bGoBack2->setObjectName("bGoBack2");
    bGoForward2 = new QPushButton("Forward", headerHost);
    bGoForward2->setObjectName("bGoForward2");
    bSelectParent = new QPushButton("Select parent", headerHost);
    bSelectParent->setObjectName("bSelectParent");
    for (QPushButton* button : {bGoBack2, bGoForward2, bSelectParent}) {
        button->setEnabled(false);
        header->addWidget(button);
    }

    lbDiskTreeMapHistory = new QListWidget(page);
    lbDiskTreeMapHistory->setObjectName("lbDiskTreeMapHistory");
    lbDiskTreeMapHistory->hide();
    CreateMap(page);
    CreateNavigation();
    CreateContextMenu();
    panelDebug = new TTreemapDebugPanel(*this, page);

    connect(bStartTreemap, &QPushButton::clicked, this, &TFormDiskTreeMap::ScanRequested);
    connect(edTreemapDirectory, &QLineEdit::returnPressed, this, &TFormDiskTreeMap::ScanRequested);
    connect(bTreeMap_SelectVolumes, &QPushButton::clicked, this,
            [this] { emit SelectVolumesRequested(bTreeMap_SelectVolumes); });
    connect(bCancelTreemap, &QPushButton::clicked, this, [this] { host_.Model().CancelOperation = true; });
    connect(edTreemapDirectory, &QLineEdit::textChanged, this, &TFormDiskTreeMap::edTreemapDirectoryChange);
    connect(cbIncludeFreeSpace, &QCheckBox::toggled, this, &TFormDiskTreeMap::cbIncludeFreeSpaceClick);
    connect(cbMonitorChanges, &QCheckBox::clicked, this, &TFormDiskTreeMap::cbMonitorChangesClick);
    connect(bGoBack2, &QPushButton::clicked, this, [this] {
        DiskTreeMap_StopZoomAnimation();
        std::lock_guard lock(host_.Model().csTreemap);
        navigator_.Back();
        UpdateHistoryControls();
    });
    connect(bGoForward2, &QPushButton::clicked, this, [this] {
        DiskTreeMap_StopZoomAnimation();
        std::lock_guard lock(host_.Model().csTreemap);
        navigator_.Forward();
        UpdateHistoryControls();
    });
    connect(bSelectParent, &QPushButton::clicked, this, [this] {
        std::lock_guard lock(host_.Model().csTreemap);
        if (navigator_.SelectParent()) StartZoomAnimation();
    });
    edTreemapDirectoryChange();
}

void TFormDiskTreeMap::CreateMap(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    // The folder of the last scan run, above its map.
    panelDiskTreemapCaption = new QLabel(page);
    panelDiskTreemapCaption->setObjectName("panelDiskTreemapCaption");
    panelDiskTreemapCaption->setTextFormat(Qt::PlainText);
    panelDiskTreemapCaption->setContentsMargins(6, 2, 6, 2);
    grid->addWidget(panelDiskTreemapCaption, 0, 0, 1, 2);
    painter_ = new TTreemapPainter(host_.Model(), this);
    painter_->SetShowFiles(true);
    imageDiskTreemap = new TTreemapSurface(page);
    imageDiskTreemap->setObjectName("imageDiskTreemap");
    imageDiskTreemap->SetPainter(painter_);
    scrollbarTreemapH = new QScrollBar(Qt::Horizontal, page);
    scrollbarTreemapH->setObjectName("scrollbarTreemapH");
    scrollbarTreemapV = new QScrollBar(Qt::Vertical, page);
    scrollbarTreemapV->setObjectName("scrollbarTreemapV");
    grid->addWidget(imageDiskTreemap, 1, 0);
    grid->addWidget(scrollbarTreemapV, 1, 1);
    grid->addWidget(scrollbarTreemapH, 2, 0);

    layout_.OnRootPixelsDone = [this] {
        SyncScrollbars();
        DiskTreeMap_UpdateScreen();
    };
    navigator_.OnRedraw = [this] { DiskTreeMap_UpdateScreen(); };

    connect(imageDiskTreemap, &TTreemapSurface::surfaceResized, this, [this] {
        PlaceNavigation();
        ResizeTreeMapToCurrentScreen();
    });
    connect(imageDiskTreemap, &TTreemapSurface::surfaceMouseDown, this,
            [this](QPoint pos, Qt::MouseButton, Qt::KeyboardModifiers) { MouseDown(pos); });
    connect(imageDiskTreemap, &TTreemapSurface::surfaceMouseMove, this,
            [this](QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers) { MouseMove(pos, buttons); });
    connect(imageDiskTreemap, &TTreemapSurface::surfaceMouseUp, this, [this] { MouseUp(); });
    connect(imageDiskTreemap, &TTreemapSurface::surfaceClick, this, [this] { Click(); });
    connect(imageDiskTreemap, &TTreemapSurface::surfaceDoubleClick, this,
            [this](QPoint, Qt::MouseButton, Qt::KeyboardModifiers modifiers) { DoubleClick(modifiers); });
    connect(imageDiskTreemap, &TTreemapSurface::surfaceWheel, this,
            [this](QPoint pos, int delta, Qt::KeyboardModifiers) { Wheel(pos, delta); });
    connect(scrollbarTreemapH, &QScrollBar::valueChanged, this, [this] { ScrollbarChanged(true); });
    connect(scrollbarTreemapV, &QScrollBar::valueChanged, this, [this] { ScrollbarChanged(false); });

    timerZoomToFile = new QTimer(this);
    timerZoomToFile->setObjectName("timerZoomToFile");
    timerZoomToFile->setInterval(100);
    timerZoomToFile->setSingleShot(true);
    connect(timerZoomToFile, &QTimer::timeout, this, &TFormDiskTreeMap::ZoomAnimationTick);
    timerPushZoomState_IdleMouseWheel = new QTimer(this);
    timerPushZoomState_IdleMouseWheel->setObjectName("timerPushZoomState_IdleMouseWheel");
    timerPushZoomState_IdleMouseWheel->setInterval(300);
    timerPushZoomState_IdleMouseWheel->setSingleShot(true);
    connect(timerPushZoomState_IdleMouseWheel, &QTimer::timeout, this, &TFormDiskTreeMap::PushState);
}

void TFormDiskTreeMap::CreateNavigation() {
    // Over the map's top-right corner: the pad, and the zoom bar beside it.
    panelNavigation = new QWidget(imageDiskTreemap);
    panelNavigation->setObjectName("panelNavigation");
    const int gap = 4;
    panelNavigation->resize(TFrameNavTool::kPadSide + gap + TFrameNavTool::kBarWidth, TFrameNavTool::kPadSide);
    frame1 = new TFrameNavTool(host_.Model(), navigator_, panelNavigation, QPoint(0, 0),
                               QPoint(TFrameNavTool::kPadSide + gap, 1));
    frame1->OnShowPage = [this] {
        if (!host_.IsViewPageVisible(TViewPage::TreeMap)) host_.ShowViewPage(TViewPage::TreeMap);
    };
    frame1->OnViewMoved = [this] {
        DiskTreeMap_StopZoomAnimation();
        std::lock_guard lock(host_.Model().csTreemap);
        SyncScrollbars();
    };
    frame1->OnPushState = [this] { PushState(); };
    frame1->OnElevationReleased = [this] {
        if (panelDebug) panelDebug->CentreElevation2();
    };
    PlaceNavigation();
}

void TFormDiskTreeMap::PlaceNavigation() {
    panelNavigation->move(std::max(0, imageDiskTreemap->width() - panelNavigation->width() - 8), 8);
    panelNavigation->raise();
}

TFormDiskTreeMap::~TFormDiskTreeMap() {
    StopWatcher();
    timerZoomToFile->stop();
    frame1->timerNavigation->stop();
    frame1->timerElevation->stop();
}

TDiskTreeMapEntry* TFormDiskTreeMap::Root() {
    ScanModel& model = host_.Model();
    return model.DiskTreeMapEntries.Empty() ? nullptr : model.DiskTreeMapEntries[0];
}

namespace {
std::function<QString(QWidget*, const QString&)>& FolderChooser() {
    static std::function<QString(QWidget*, const QString&)> chooser;
    return chooser;
}
}  // namespace

void TFormDiskTreeMap::SetFolderChooserForTest(std::function<QString(QWidget*, const QString&)> chooser) {
    FolderChooser() = std::move(chooser);
}

void TFormDiskTreeMap::BrowseForFolder() {
    const QString start = edTreemapDirectory->text();
    const QString chosen =
        FolderChooser() ? FolderChooser()(host_.HostWindow(), start)
                        : QFileDialog::getExistingDirectory(host_.HostWindow(), "Select a folder to scan", start);
    if (!chosen.isEmpty()) edTreemapDirectory->setText(chosen);
}

void TFormDiskTreeMap::SetFolder(const std::string& folder) { edTreemapDirectory->setText(Q(folder)); }

const QObject* TFormDiskTreeMap::SelectVolumesButton() const { return bTreeMap_SelectVolumes; }

void TFormDiskTreeMap::ScanFolder(const std::string& folder) {
    SetFolder(folder);
    emit ScanRequested();
}

std::string TFormDiskTreeMap::Folder() const { return Trim(edTreemapDirectory->text().toStdString()); }

void TFormDiskTreeMap::TakeSettings(const TSettingsPanel& settings) {
    cbIncludeFreeSpace->setChecked(settings.IncludeFreeSpace());
    cbMonitorChanges->setChecked(settings.MonitorChanges());
    if (painter_->FolderColors() != settings.rgFolderColors->itemIndex()) {
        painter_->SetFolderColors(settings.rgFolderColors->itemIndex());
        DiskTreeMap_UpdateScreen();
    }
}

void TFormDiskTreeMap::ShowDebugPanels() { panelDebug->ShowPanel(); }

ScanModel& TFormDiskTreeMap::Model() { return host_.Model(); }

// Unticked by a hidden window too: the box shows only for mount points.
bool TFormDiskTreeMap::IncludeFreeSpace() const {
    return cbIncludeFreeSpace->isVisible() && cbIncludeFreeSpace->isChecked();
}

bool TFormDiskTreeMap::MonitorChanges() const { return cbMonitorChanges->isChecked(); }

void TFormDiskTreeMap::SetRunning(bool running) {
    bStartTreemap->setEnabled(!running);
    bCancelTreemap->setVisible(running);
    edTreemapDirectory->setEnabled(!running);
    bTreeMap_SelectVolumes->setEnabled(!running);
}

void TFormDiskTreeMap::edTreemapDirectoryChange() {
    // Free space belongs to a whole file system: offered for mount points only.
    const std::string folder = Folder();
    cbIncludeFreeSpace->setVisible(!folder.empty() && platform::IsMountPoint(folder));
}

// ---- drawing ----

void TFormDiskTreeMap::DiskTreeMap_Relayout(bool resetView) {
    ScanModel& model = host_.Model();
    std::lock_guard lock(model.csTreemap);
    // Nothing to draw on a surface without size (a hidden window).
    if (!Root() || imageDiskTreemap->width() <= 0 || imageDiskTreemap->height() <= 0) return;
    painter_->SizeBitmap(imageDiskTreemap->width(), imageDiskTreemap->height());
    layout_.SurfaceWidth = imageDiskTreemap->width();
    layout_.SurfaceHeight = imageDiskTreemap->height();
    if (!Root()->_BoxInfo) resetView = true;
    layout_.DiskTreeMap_Relayout(resetView);
    panelDebug->ShowTimings(layout_.LayoutTreeMs, layout_.RelayoutMs);
}

void TFormDiskTreeMap::DiskTreeMap_UpdateScreen() {
    ScanModel& model = host_.Model();
    std::lock_guard lock(model.csTreemap);
    painter_->SetViewWindow(layout_.View);
    painter_->SetSelectedFolder(navigator_.SelectedFolder);
    painter_->SetSelectedFile(navigator_.SelectedFile);
    painter_->DiskTreeMap_UpdateScreen();
}

void TFormDiskTreeMap::DiskTreeMap_NewScan() {
    DiskTreeMap_ClearSearch();
    ResetView();
    panelDiskTreemapCaption->setText(Q(AddTrailingBackslash(Folder())));
    AddToFolderHistory(Folder());
}

bool TFormDiskTreeMap::ApplyDiskChanges(const std::vector<TDiskChange>& changes) {
    ScanModel& model = host_.Model();
    // A scan in progress sees the disk as it is now; its tree is not complete
    // enough to edit.
    if (host_.PleaseWaitSlot(1)) return false;
    {
        std::lock_guard lock(model.csTreemap);
        if (!Root()) return false;
        if (!ApplyDiskChangeBatch(model, changes)) return false;
        for (TDiskTreeMapEntry** held : {&navigator_.HoveredNode, &navigator_.CurrentNode, &navigator_.SelectedFolder,
                                         &navigator_.SelectedFile, &navigator_.ZoomTarget}) {
            if (IsRemovedNode(*held)) *held = nullptr;
        }
        if (navigator_.ZoomTarget == nullptr) DiskTreeMap_StopZoomAnimation();
        DropRemovedSearchHits();
        painter_->SetSelectedFolder(navigator_.SelectedFolder);
        painter_->SetSelectedFile(navigator_.SelectedFile);
        // A renamed node gives its new path.
        selectedPath_ = NodeFullPath(navigator_.CurrentNode);
        UpdateHistoryControls();
    }
    emit UpdateNowRequested();
    return true;
}

void TFormDiskTreeMap::StopWatcher() {
    ++watcherGeneration_;
    watcher.reset();  // joins its worker
}

void TFormDiskTreeMap::StartWatcher(const std::string& scanPath) {
    StopWatcher();
    const unsigned generation = watcherGeneration_;
    // The worker's reports come over to this thread; one of a stopped
    // watcher finds another generation there and is dropped.
    auto onThisThread = [this, generation](auto job) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, job = std::move(job)] {
                if (generation == watcherGeneration_ && watcher && watcher->Actived()) job();
            },
            Qt::QueuedConnection);
    };
    TWatcherEvents events;
    events.OnChange = [this, onThisThread](std::vector<TDiskChange> changes) {
        onThisThread([this, changes = std::move(changes)] {
            ApplyDiskChanges(changes);
            emit WatcherBatchApplied();
        });
    };
    events.OnMessage = [this, onThisThread](const std::string& text) {
        onThisThread([this, text] { host_.AddErrorLine(text); });
    };
    events.OnReady = [this, onThisThread] { onThisThread([this] { emit WatcherReady(); }); };
    watcher = std::make_unique<TFileSystemWatcher>();
    watcher->SetWatchedDir(scanPath);
    watcher->SetOnChange(std::move(events));
    watcher->SetActived(cbMonitorChanges->isChecked());
}

void TFormDiskTreeMap::cbMonitorChangesClick() {
    if (!watcher) return;
    if (!cbMonitorChanges->isChecked())
        watcher->SetActived(false);
    else if (!bStartTreemap->isEnabled())
        watcher->SetActived(true);
}

void TFormDiskTreeMap::ResetView() {
    std::lock_guard lock(host_.Model().csTreemap);
    DiskTreeMap_StopZoomAnimation();
    navigator_.Reset();
    painter_->SetSelectedFolder(nullptr);
    painter_->SetSelectedFile(nullptr);
    selectedPath_.clear();
    layout_.SplitDepth = 0;
    layout_.LayoutLevel = 1;
    UpdateHistoryControls();
}

void TFormDiskTreeMap::AddToFolderHistory(const std::string& folder) {
    if (folder.empty()) return;
    QListWidget* list = lbDiskTreeMapHistory;
    // "/a/b" and "/a/b/" are one folder.
    auto same = [&](int row) {
        return RemoveTrailingBackslash(list->item(row)->text().toStdString()) == RemoveTrailingBackslash(folder);
    };
    const int selected = list->currentRow();
    // A scan run started from the history itself keeps the entries after
    // it, so that "Forward" still leads back.
    if (selected >= 0 && same(selected)) return;
    while (list->count() > selected + 1) delete list->takeItem(list->count() - 1);
    if (list->count() == 0 || !same(list->count() - 1)) list->addItem(Q(folder));
    list->setCurrentRow(list->count() - 1);
}

void TFormDiskTreeMap::MoveInFolderHistory(int step) {
    const int row = lbDiskTreeMapHistory->currentRow() + step;
    if (row < 0 || row >= lbDiskTreeMapHistory->count()) return;
    if (host_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    lbDiskTreeMapHistory->setCurrentRow(row);
    edTreemapDirectory->setText(lbDiskTreeMapHistory->item(row)->text());
    emit ScanRequested();
}

void TFormDiskTreeMap::FolderHistoryBack() { MoveInFolderHistory(-1); }

void TFormDiskTreeMap::FolderHistoryForward() { MoveInFolderHistory(1); }

void TFormDiskTreeMap::FolderUp() {
    const std::string folder = Folder();
    const std::string parent = ParentFolder(folder);
    if (folder.empty() || parent == folder) return;
    SetFolder(parent);
    emit ScanRequested();
}

void TFormDiskTreeMap::cbIncludeFreeSpaceClick() {
    ScanModel& model = host_.Model();
    {
        std::lock_guard lock(model.csTreemap);
        if (model.DiskTreeMapEntries.Count() <= 1) return;
        if (cbIncludeFreeSpace->isChecked()) {
            // The free bytes belong to the whole file system: never added to
            // the scan of a folder inside it, whatever the field says now.
            if (!ScanModel::CanIncludeFreeSpace(model.ScanPath)) return;
            model.IncludeFreeSpace();
        } else {
            model.ExcludeFreeSpace();
        }
    }
    emit UpdateNowRequested();
}

// ---- developer tools ----

void TFormDiskTreeMap::ZoomUp() {
    std::lock_guard lock(host_.Model().csTreemap);
    TDiskTreeMapEntry* target = Root();
    if (!target || !navigator_.HasTree()) return;
    for (TDiskTreeMapEntry* node = navigator_.SelectedFolder; node; node = node->ParentNodeIdx) {
        if (!node->_BoxInfo) {
            GetMessages().ShowMessage(MessageKind::Info, "_box_info = nil");
            return;
        }
        if (CalcNodeAbsoluteX_in_px_even_if_invisible(node) < layout_.View.left + 39) {
            target = node;
            break;
        }
    }
    navigator_.ZoomToNode(target);
    StartZoomAnimation();
}

TDiskTreeMapEntry* TFormDiskTreeMap::FindNode(const std::string& path) {
    std::lock_guard lock(host_.Model().csTreemap);
    TDiskTreeMapEntry* node = Root();
    if (!node) return nullptr;
    const std::string wanted = RemoveTrailingBackslash(Trim(path));
    const std::string rootPath = RemoveTrailingBackslash(GetNodeFullPath(host_.Model(), node));
    if (wanted == rootPath) return node;
    const std::string prefix = AddTrailingBackslash(rootPath);
    if (wanted.size() <= prefix.size() || wanted.compare(0, prefix.size(), prefix) != 0) return nullptr;
    std::size_t start = prefix.size();
    while (node && start <= wanted.size()) {
        std::size_t end = wanted.find(platform::PathDelim, start);
        if (end == std::string::npos) end = wanted.size();
        const std::string name = wanted.substr(start, end - start);
        TDiskTreeMapEntry* next = nullptr;
        for (TDiskTreeMapEntry* child : node->ChildrenEntries)
            if (child->Name == name) next = child;
        node = next;
        start = end + 1;
    }
    return node;
}

void TFormDiskTreeMap::ZoomHere(const std::string& path) {
    std::lock_guard lock(host_.Model().csTreemap);
    TDiskTreeMapEntry* node = FindNode(path);
    if (!node || !navigator_.HasTree()) return;
    navigator_.ZoomToNode(node);
    StartZoomAnimation();
}

void TFormDiskTreeMap::BuildTestTree(const std::string& lines) {
    if (host_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    ScanModel& model = host_.Model();
    {
        std::lock_guard lock(model.csTreemap);
        ResetView();
        model.ScanPath.clear();
        model.ResetTreemap("", false);
        model.ResetDirectoryEntries();
        TDiskTreeMapEntry* root = Root();
        root->Name = "test";
        std::vector<std::string> texts;
        std::size_t start = 0;
        while (start <= lines.size()) {
            std::size_t end = lines.find('\n', start);
            if (end == std::string::npos) end = lines.size();
            texts.push_back(lines.substr(start, end - start));
            start = end + 1;
        }
        // A final line break makes no extra child.
        if (texts.size() > 1 && Trim(texts.back()).empty()) texts.pop_back();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            TDiskTreeMapEntry* child = model.DiskTreeMapEntries.Add();
            child->Name = "file" + std::to_string(i + 1);
            child->EntryType = EntryType_File;
            child->SizeTotal = TestTreeSize(texts[i]);
            child->ParentNodeIdx = root;
            child->_Modified = true;
            root->ChildrenEntries.push_back(child);
            root->SizeTotal += child->SizeTotal;
        }
        root->_Modified = true;
    }
    DiskTreeMap_Relayout(true);
}

void TFormDiskTreeMap::ResizeTreeMapToCurrentScreen() {
    const int w = imageDiskTreemap->width(), h = imageDiskTreemap->height();
    if (w <= 0 || h <= 0) return;
    ScanModel& model = host_.Model();
    std::lock_guard lock(model.csTreemap);
    if (painter_->Image().size() == QSize(w, h) && painter_->imageDiskTreemapInit()) return;
    painter_->SizeBitmap(w, h);
    if (!Root() || !Root()->_BoxInfo) {
        layout_.SurfaceWidth = w;
        layout_.SurfaceHeight = h;
        return;
    }
    navigator_.Resize(w, h);
}

void TFormDiskTreeMap::SyncScrollbars() {
    mutedScrollbars_ = true;
    const TScrollbarState horizontal = navigator_.HorizontalScrollbar();
    const TScrollbarState vertical = navigator_.VerticalScrollbar();
    for (auto [bar, state] : {std::pair{scrollbarTreemapH, horizontal}, std::pair{scrollbarTreemapV, vertical}}) {
        // A scroll bar's range excludes the page: maximum - page.
        bar->setRange(0, std::max(0, state.maximum - state.pageSize));
        bar->setPageStep(state.pageSize);
        bar->setSingleStep(state.smallChange);
        bar->setValue(state.position);
    }
    mutedScrollbars_ = false;
    panelDebug->ShowZoom();
}

void TFormDiskTreeMap::ScrollbarChanged(bool horizontal) {
    if (mutedScrollbars_) return;
    DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(host_.Model().csTreemap);
    QScrollBar* bar = horizontal ? scrollbarTreemapH : scrollbarTreemapV;
    const int maximum = bar->maximum() + bar->pageStep();
    if (navigator_.ScrollbarMoved(horizontal, bar->value(), maximum, bar->pageStep())) DiskTreeMap_UpdateScreen();
}

// ---- pointer ----

void TFormDiskTreeMap::MouseDown(QPoint pos) {
    navigator_.DragStart(pos.x(), pos.y());
    mouseDown_ = true;
    if (!doubleClick_) DiskTreeMap_StopZoomAnimation();
}

void TFormDiskTreeMap::MouseMove(QPoint pos, Qt::MouseButtons buttons) {
    if (!Root() || doubleClick_) return;
    if (!mouseDown_ || !(buttons & Qt::LeftButton)) {
        Hover(pos);
        return;
    }
    DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(host_.Model().csTreemap);
    if (navigator_.DragTo(pos.x(), pos.y())) SyncScrollbars();
}

void TFormDiskTreeMap::Hover(QPoint pos) {
    std::lock_guard lock(host_.Model().csTreemap);
    if (!Root() || !Root()->_BoxInfo) return;
    TDiskTreeMapEntry* node = layout_.GetInnermostRectangleAt(pos.x() + layout_.View.left, pos.y() + layout_.View.top);
    if (!node || node == navigator_.HoveredNode) return;
    if (TDiskTreeMapEntry* old = navigator_.HoveredNode) painter_->DiskTreeMap_UpdateGraphFor(old, false, false);
    navigator_.HoveredNode = node;
    panelDebug->ShowHovered(*node, GetNodeFullPath(host_.Model(), node));
    painter_->DiskTreeMap_UpdateGraphFor(node, true, false);
}

void TFormDiskTreeMap::MouseUp() {
    mouseDown_ = false;
    doubleClick_ = false;
    if (host_.Model().DiskTreeMapEntries.Count() > 1) PushState();
}

void TFormDiskTreeMap::Click() {
    std::lock_guard lock(host_.Model().csTreemap);
    if (!navigator_.HoveredNode) return;
    navigator_.CurrentNode = navigator_.HoveredNode;
    // From the node, not from the label: a name that is not UTF-8 keeps its bytes.
    selectedPath_ = GetNodeFullPath(host_.Model(), navigator_.CurrentNode);
    navigator_.SelectNode(navigator_.CurrentNode);
    bSelectParent->setEnabled(navigator_.CanSelectParent());
    DiskTreeMap_UpdateScreen();
}

void TFormDiskTreeMap::DoubleClick(Qt::KeyboardModifiers modifiers) {
    doubleClick_ = true;
    PushState();
    std::lock_guard lock(host_.Model().csTreemap);
    if (modifiers & Qt::ControlModifier) {
        ShellOpen(selectedPath_);
        return;
    }
    TDiskTreeMapEntry* current = navigator_.CurrentNode;
    if (modifiers & Qt::AltModifier) {
        navigator_.ZoomToParent(current);
    } else if (current) {
        if (current->EntryType == EntryType_File)
            navigator_.ZoomToParent(current);
        else
            navigator_.ZoomToNode(current);
    } else {
        return;
    }
    StartZoomAnimation();
}

void TFormDiskTreeMap::Wheel(QPoint pos, int delta) {
    if (!Root() || !host_.IsViewPageVisible(TViewPage::TreeMap)) return;
    DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(host_.Model().csTreemap);
    if (navigator_.WheelZoom(pos.x(), pos.y(), delta > 0)) timerPushZoomState_IdleMouseWheel->start();
}

// ---- history and animation ----

void TFormDiskTreeMap::PushState() {
    std::lock_guard lock(host_.Model().csTreemap);
    navigator_.PushState();
    UpdateHistoryControls();
}

void TFormDiskTreeMap::UpdateHistoryControls() {
    bGoBack2->setEnabled(navigator_.CanGoBack());
    bGoForward2->setEnabled(navigator_.CanGoForward());
    bSelectParent->setEnabled(navigator_.CanSelectParent());
    panelDebug->ShowHistory();
}

void TFormDiskTreeMap::StartZoomAnimation() {
    timerZoomToFile->stop();
    timerZoomToFile->start();
}

void TFormDiskTreeMap::DiskTreeMap_StopZoomAnimation() { timerZoomToFile->stop(); }

void TFormDiskTreeMap::ZoomAnimationTick() {
    bool again = false;
    {
        std::lock_guard lock(host_.Model().csTreemap);
        again = navigator_.ZoomAnimationTick();
    }
    UpdateHistoryControls();
    if (again) timerZoomToFile->start();
}

}  // namespace tandrel
