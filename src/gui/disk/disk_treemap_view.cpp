#include "gui/disk/disk_treemap_view.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "common/command_line.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/paths.h"
#include "common/strings.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_surface.h"
#include "gui/shell/main_window.h"
#include "gui/shell/settings_panel.h"
#include "gui/widgets/please_wait.h"
#include "gui/widgets/radio_group.h"
#include "platform/file_system.h"
#include "platform/mounts.h"
#include "scan/scan_job.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr double kSecond = 1.0 / 86400;

}  // namespace

TFormDiskTreeMap::TFormDiskTreeMap(TFormMain& main, QWidget* page, QWidget* headerHost)
    : QObject(&main), main_(main), layout_(main.Model()), navigator_(layout_) {
    setObjectName("FormDiskTreeMap");
    auto* header = new QHBoxLayout(headerHost);
    header->setContentsMargins(6, 4, 6, 4);
    header->addWidget(new QLabel("Folder:", headerHost));
    edTreemapDirectory = new QLineEdit(headerHost);
    edTreemapDirectory->setObjectName("edTreemapDirectory");
    edTreemapDirectory->setPlaceholderText("a folder, a mount point or a snapshot file");
    header->addWidget(edTreemapDirectory, 1);
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

    CreateMap(page);
    CreateDebugPanel(page);

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormDiskTreeMap::Poll);
    connect(bStartTreemap, &QPushButton::clicked, this, [this] { bStartTreemapClick(); });
    connect(edTreemapDirectory, &QLineEdit::returnPressed, this, [this] { bStartTreemapClick(); });
    connect(bCancelTreemap, &QPushButton::clicked, this, &TFormDiskTreeMap::bCancelTreemapClick);
    connect(edTreemapDirectory, &QLineEdit::textChanged, this, &TFormDiskTreeMap::edTreemapDirectoryChange);
    connect(bGoBack2, &QPushButton::clicked, this, [this] {
        DiskTreeMap_StopZoomAnimation();
        std::lock_guard lock(main_.Model().csTreemap);
        navigator_.Back();
        UpdateHistoryControls();
    });
    connect(bGoForward2, &QPushButton::clicked, this, [this] {
        DiskTreeMap_StopZoomAnimation();
        std::lock_guard lock(main_.Model().csTreemap);
        navigator_.Forward();
        UpdateHistoryControls();
    });
    connect(bSelectParent, &QPushButton::clicked, this, [this] {
        std::lock_guard lock(main_.Model().csTreemap);
        if (navigator_.SelectParent()) StartZoomAnimation();
    });
    edTreemapDirectoryChange();
}

void TFormDiskTreeMap::CreateMap(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    painter_ = new TTreemapPainter(main_.Model(), this);
    painter_->SetShowFiles(true);
    imageDiskTreemap = new TTreemapSurface(page);
    imageDiskTreemap->setObjectName("imageDiskTreemap");
    imageDiskTreemap->SetPainter(painter_);
    scrollbarTreemapH = new QScrollBar(Qt::Horizontal, page);
    scrollbarTreemapH->setObjectName("scrollbarTreemapH");
    scrollbarTreemapV = new QScrollBar(Qt::Vertical, page);
    scrollbarTreemapV->setObjectName("scrollbarTreemapV");
    grid->addWidget(imageDiskTreemap, 0, 0);
    grid->addWidget(scrollbarTreemapV, 0, 1);
    grid->addWidget(scrollbarTreemapH, 1, 0);

    layout_.OnRootPixelsDone = [this] {
        SyncScrollbars();
        DiskTreeMap_UpdateScreen();
    };
    navigator_.OnRedraw = [this] { DiskTreeMap_UpdateScreen(); };

    connect(imageDiskTreemap, &TTreemapSurface::surfaceResized, this, [this] { ResizeTreeMapToCurrentScreen(); });
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

    panelSearchResults = new QFrame(page);
    panelSearchResults->setObjectName("panelSearchResults");
    panelSearchResults->setGeometry(40, 156, 240, 41);
    panelSearchResults->hide();
}

void TFormDiskTreeMap::CreateDebugPanel(QWidget* page) {
    panelDebug = new QFrame(page);
    panelDebug->setObjectName("panelDebug");
    panelDebug->setFrameShape(QFrame::StyledPanel);
    panelDebug->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(panelDebug);
    cbDiskTreeMapSquarify = new QCheckBox("Squarify", panelDebug);
    cbDiskTreeMapSquarify->setObjectName("cbDiskTreeMapSquarify");
    cbDiskTreeMapSquarify->setChecked(true);
    edDiskTreeMapSquareFactor = new QDoubleSpinBox(panelDebug);
    edDiskTreeMapSquareFactor->setObjectName("edDiskTreeMapSquareFactor");
    edDiskTreeMapSquareFactor->setRange(0.1, 100);
    edDiskTreeMapSquareFactor->setValue(layout_.SquarifyFactor);
    cbTreeMapShowFiles = new QCheckBox("Show Files", panelDebug);
    cbTreeMapShowFiles->setObjectName("cbTreeMapShowFiles");
    cbTreeMapShowFiles->setChecked(true);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* text, std::function<void()> action) {
        auto* b = new QPushButton(text, panelDebug);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, action] {
            DiskTreeMap_StopZoomAnimation();
            std::lock_guard lock(main_.Model().csTreemap);
            action();
        });
    };
    button("Z-in", [this] { navigator_.ZoomCentre = TZoomCentre::ViewCentre; navigator_.ZoomStep(true); PushState(); });
    button("Z-out", [this] { navigator_.ZoomCentre = TZoomCentre::ViewCentre; navigator_.ZoomStep(false); PushState(); });
    button("Z-reset", [this] { navigator_.ResetZoom(); PushState(); });
    button("Refresh graph", [this] { DiskTreeMap_Relayout(false); });
    edDebugTreemapTiming = new QLabel(panelDebug);
    edDebugTreemapTiming->setObjectName("edDebugTreemapTiming");
    lbDiskTreeMapHistory2 = new QListWidget(panelDebug);
    lbDiskTreeMapHistory2->setObjectName("lbDiskTreeMapHistory2");
    lbDiskTreeMapHistory2->setMaximumHeight(90);
    edMouseoverFilename = new QLineEdit(panelDebug);
    edMouseoverFilename->setObjectName("edMouseoverFilename");
    edMouseoverFilename->setReadOnly(true);
    layout->addWidget(cbDiskTreeMapSquarify);
    layout->addWidget(edDiskTreeMapSquareFactor);
    layout->addWidget(cbTreeMapShowFiles);
    layout->addLayout(buttons);
    layout->addWidget(edDebugTreemapTiming);
    layout->addWidget(edMouseoverFilename);
    layout->addWidget(lbDiskTreeMapHistory2);
    panelDebug->setGeometry(8, 8, 360, 260);
    panelDebug->hide();
    connect(cbDiskTreeMapSquarify, &QCheckBox::toggled, this, [this](bool on) {
        layout_.Squarify = on;
        DiskTreeMap_Relayout(false);
    });
    connect(edDiskTreeMapSquareFactor, &QDoubleSpinBox::valueChanged, this, [this](double factor) {
        layout_.SquarifyFactor = factor;
        DiskTreeMap_Relayout(false);
    });
    connect(cbTreeMapShowFiles, &QCheckBox::toggled, this, [this](bool on) {
        painter_->SetShowFiles(on);
        DiskTreeMap_UpdateScreen();
    });
}

TFormDiskTreeMap::~TFormDiskTreeMap() {
    poll_->stop();
    timerZoomToFile->stop();
    main_.Model().AppClosing = true;
    job_.reset();  // waits for the worker
    if (wait_) wait_->deleteLater();
}

TDiskTreeMapEntry* TFormDiskTreeMap::Root() {
    ScanModel& model = main_.Model();
    return model.DiskTreeMapEntries.Empty() ? nullptr : model.DiskTreeMapEntries[0];
}

void TFormDiskTreeMap::SetFolder(const std::string& folder) { edTreemapDirectory->setText(Q(folder)); }

std::string TFormDiskTreeMap::Folder() const { return Trim(edTreemapDirectory->text().toStdString()); }

void TFormDiskTreeMap::TakeSettings(const TSettingsPanel& settings) {
    cbIncludeFreeSpace->setChecked(settings.IncludeFreeSpace());
    cbMonitorChanges->setChecked(settings.MonitorChanges());
    if (painter_->FolderColors() != settings.rgFolderColors->itemIndex()) {
        painter_->SetFolderColors(settings.rgFolderColors->itemIndex());
        DiskTreeMap_UpdateScreen();
    }
}

void TFormDiskTreeMap::ShowDebugPanels() {
    panelDebug->show();
    panelDebug->raise();
}

void TFormDiskTreeMap::edTreemapDirectoryChange() {
    // Free space belongs to a whole file system: offered for mount points only.
    const std::string folder = Folder();
    cbIncludeFreeSpace->setVisible(!folder.empty() && platform::IsMountPoint(folder));
}

// ---- drawing ----

void TFormDiskTreeMap::DiskTreeMap_Relayout(bool resetView) {
    ScanModel& model = main_.Model();
    std::lock_guard lock(model.csTreemap);
    // Nothing to draw on a surface without size (a hidden window).
    if (!Root() || imageDiskTreemap->width() <= 0 || imageDiskTreemap->height() <= 0) return;
    painter_->SizeBitmap(imageDiskTreemap->width(), imageDiskTreemap->height());
    layout_.SurfaceWidth = imageDiskTreemap->width();
    layout_.SurfaceHeight = imageDiskTreemap->height();
    if (!Root()->_BoxInfo) resetView = true;
    layout_.DiskTreeMap_Relayout(resetView);
    edDebugTreemapTiming->setText(QString("layout %1 ms, relayout %2 ms")
                                      .arg(layout_.LayoutTreeMs, 0, 'f', 1)
                                      .arg(layout_.RelayoutMs, 0, 'f', 1));
}

void TFormDiskTreeMap::DiskTreeMap_UpdateScreen() {
    ScanModel& model = main_.Model();
    std::lock_guard lock(model.csTreemap);
    const TViewWindow& v = layout_.View;
    painter_->SetViewWindow({v.left, v.top, v.right, v.bottom});
    painter_->SetSelectedFolder(navigator_.SelectedFolder);
    painter_->SetSelectedFile(navigator_.SelectedFile);
    painter_->DiskTreeMap_UpdateScreen();
}

void TFormDiskTreeMap::DiskTreeMap_NewScan() {
    std::lock_guard lock(main_.Model().csTreemap);
    DiskTreeMap_StopZoomAnimation();
    navigator_.Reset();
    painter_->SetSelectedFolder(nullptr);
    painter_->SetSelectedFile(nullptr);
    main_.SelectedFilesText.clear();
    layout_.SplitDepth = 0;
    layout_.LayoutLevel = 1;
    UpdateHistoryControls();
}

void TFormDiskTreeMap::ResizeTreeMapToCurrentScreen() {
    const int w = imageDiskTreemap->width(), h = imageDiskTreemap->height();
    if (w <= 0 || h <= 0) return;
    ScanModel& model = main_.Model();
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
}

void TFormDiskTreeMap::ScrollbarChanged(bool horizontal) {
    if (mutedScrollbars_) return;
    DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(main_.Model().csTreemap);
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
    std::lock_guard lock(main_.Model().csTreemap);
    if (navigator_.DragTo(pos.x(), pos.y())) SyncScrollbars();
}

void TFormDiskTreeMap::Hover(QPoint pos) {
    std::lock_guard lock(main_.Model().csTreemap);
    if (!Root() || !Root()->_BoxInfo) return;
    TDiskTreeMapEntry* node = layout_.GetInnermostRectangleAt(pos.x() + layout_.View.left, pos.y() + layout_.View.top);
    if (!node || node == navigator_.HoveredNode) return;
    if (TDiskTreeMapEntry* old = navigator_.HoveredNode) painter_->DiskTreeMap_UpdateGraphFor(old, false, false);
    navigator_.HoveredNode = node;
    edMouseoverFilename->setText(Q(GetNodeFullPath(node)));
    painter_->DiskTreeMap_UpdateGraphFor(node, true, false);
}

void TFormDiskTreeMap::MouseUp() {
    mouseDown_ = false;
    doubleClick_ = false;
    if (main_.Model().DiskTreeMapEntries.Count() > 1) PushState();
}

void TFormDiskTreeMap::Click() {
    std::lock_guard lock(main_.Model().csTreemap);
    if (!navigator_.HoveredNode) return;
    navigator_.CurrentNode = navigator_.HoveredNode;
    main_.SelectedFilesText = edMouseoverFilename->text().toStdString();
    navigator_.SelectNode(navigator_.CurrentNode);
    bSelectParent->setEnabled(navigator_.CanSelectParent());
    DiskTreeMap_UpdateScreen();
}

void TFormDiskTreeMap::DoubleClick(Qt::KeyboardModifiers modifiers) {
    doubleClick_ = true;
    PushState();
    std::lock_guard lock(main_.Model().csTreemap);
    if (modifiers & Qt::ControlModifier) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Q(main_.SelectedFilesText)));
        return;
    }
    TDiskTreeMapEntry* current = navigator_.CurrentNode;
    if (modifiers & Qt::AltModifier) {
        navigator_.ZoomToParent(current);
    } else if (current) {
        if (current->EntryType == EntryType_File) navigator_.ZoomToParent(current);
        else navigator_.ZoomToNode(current);
    } else {
        return;
    }
    StartZoomAnimation();
}

void TFormDiskTreeMap::Wheel(QPoint pos, int delta) {
    if (!Root() || !main_.IsPageVisible(main_.tsTreeMap)) return;
    DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(main_.Model().csTreemap);
    if (navigator_.WheelZoom(pos.x(), pos.y(), delta > 0)) timerPushZoomState_IdleMouseWheel->start();
}

// ---- history and animation ----

void TFormDiskTreeMap::PushState() {
    std::lock_guard lock(main_.Model().csTreemap);
    navigator_.PushState();
    UpdateHistoryControls();
}

void TFormDiskTreeMap::UpdateHistoryControls() {
    bGoBack2->setEnabled(navigator_.CanGoBack());
    bGoForward2->setEnabled(navigator_.CanGoForward());
    bSelectParent->setEnabled(navigator_.CanSelectParent());
    lbDiskTreeMapHistory2->clear();
    for (const std::string& entry : navigator_.History()) lbDiskTreeMapHistory2->addItem(Q(entry));
    lbDiskTreeMapHistory2->setCurrentRow(navigator_.HistoryIndex());
}

void TFormDiskTreeMap::StartZoomAnimation() {
    timerZoomToFile->stop();
    timerZoomToFile->start();
}

void TFormDiskTreeMap::DiskTreeMap_StopZoomAnimation() { timerZoomToFile->stop(); }

void TFormDiskTreeMap::ZoomAnimationTick() {
    bool again = false;
    {
        std::lock_guard lock(main_.Model().csTreemap);
        again = navigator_.ZoomAnimationTick();
    }
    UpdateHistoryControls();
    if (again) timerZoomToFile->start();
}

// ---- the scan run ----

void TFormDiskTreeMap::bCancelTreemapClick() { main_.Model().CancelOperation = true; }

void TFormDiskTreeMap::bStartTreemapClick(std::function<void()> finished, bool showProgress) {
    ScanModel& model = main_.Model();
    if (main_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    DiskTreeMap_StopZoomAnimation();
    model.CancelOperation = false;
    model.PauseOperation = false;
    const std::string folder = Folder();
    if (folder.empty()) return;
    std::string path = folder;
    // A bare snapshot name is found in the snapshots folder.
    const std::string inSnapshots = PathJoin(model.SnapshotsPath, folder);
    if (!model.SnapshotsPath.empty() && platform::FileExists(inSnapshots)) path = inSnapshots;
    if (!platform::DirectoryExists(path) && !platform::FileExists(path)) {
        if (finished) finished();
        return;
    }
    snapshotRun_ = platform::FileExists(path) && !platform::DirectoryExists(path);
    scanPath_ = path;
    finished_ = std::move(finished);

    bStartTreemap->setEnabled(false);
    bCancelTreemap->show();
    edTreemapDirectory->setEnabled(false);
    main_.bTreeMap_SaveAsSnapshot3->setEnabled(false);

    auto* wait = new TFormPleaseWait(model, &main_);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->ShowTreemapControls(!snapshotRun_);
    if (auto* autoUpdate = main_.findChild<QCheckBox*>("cbAutoUpdateTreemap"))
        wait->cbAutoUpdate->setChecked(autoUpdate->isChecked());
    wait->SetUpdateNow([this] { DiskTreeMap_Relayout(false); });
    wait_ = wait;
    main_.PleaseWaitSlot(1) = wait;
    if (showProgress) {
        wait->show();
        wait->move(main_.geometry().center() - wait->rect().center());
    }

    DiskTreeMap_NewScan();
    PrepareScan(model, path, cbIncludeFreeSpace->isVisible() && cbIncludeFreeSpace->isChecked());
    DiskTreeMap_Relayout(true);
    job_ = std::make_unique<TThreadDiskTreemap>(model);
    job_->Start();
    model.ProgressText.SetText("Working...");
    nextMapRefresh_ = Now() + 3 * kSecond;
    poll_->start();
}

void TFormDiskTreeMap::Poll() {
    ScanModel& model = main_.Model();
    if (wait_) wait_->Step();
    std::string progress = model.ProgressText.GetText();
    while (!progress.empty() && (progress.back() == '\n' || progress.back() == '\r')) progress.pop_back();
    main_.SetStatus(wait_, progress);
    if (model.AppClosing.load() || !job_ || !job_->threadRunning.load()) {
        EndRun();
        return;
    }
    if (!snapshotRun_ && wait_ && wait_->cbAutoUpdate->isChecked() && Now() >= nextMapRefresh_) RefreshDuringScan();
}

void TFormDiskTreeMap::RefreshDuringScan() {
    QElapsedTimer clock;
    clock.start();
    DiskTreeMap_Relayout(false);
    // The map must not take the window away from the user.
    if (clock.elapsed() > 3000 && wait_) wait_->cbAutoUpdate->setChecked(false);
    nextMapRefresh_ = Now() + 3 * kSecond;
}

void TFormDiskTreeMap::EndRun() {
    poll_->stop();
    ScanModel& model = main_.Model();
    if (job_) {
        job_->WaitFor();
        if (job_->Failed() && !model.AppClosing.load()) main_.AddErrorLine(job_->ErrorText());
        job_.reset();
    }
    if (wait_) wait_->close();
    main_.PleaseWaitSlot(1) = nullptr;
    if (!model.AppClosing.load()) {
        main_.bTreeMap_CompareSnapshotWith->setEnabled(true);
        main_.bTreeMap_SaveAsSnapshot3->setEnabled(platform::DirectoryExists(scanPath_) && !model.TempSnapshotFn.empty());
        DiskTreeMap_Relayout(true);
        main_.SetStatus(nullptr, "");
    }
    bStartTreemap->setEnabled(true);
    bCancelTreemap->hide();
    edTreemapDirectory->setEnabled(true);
    if (auto finished = std::move(finished_)) finished();
}

}  // namespace tandrel
