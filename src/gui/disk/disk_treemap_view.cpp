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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <charconv>
#include <cmath>
#include <limits>
#include <QUrl>
#include <QVBoxLayout>

#include "common/command_line.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/strings.h"
#include "gui/disk/nav_tool.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_surface.h"
#include "gui/shell/main_window.h"
#include "gui/shell/settings_panel.h"
#include "gui/widgets/please_wait.h"
#include "gui/widgets/radio_group.h"
#include "platform/file_system.h"
#include "platform/mounts.h"
#include "scan/scan_job.h"
#include "treemap/treemap_geometry.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr double kSecond = 1.0 / 86400;
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

    lbDiskTreeMapHistory = new QListWidget(page);
    lbDiskTreeMapHistory->setObjectName("lbDiskTreeMapHistory");
    lbDiskTreeMapHistory->hide();
    CreateMap(page);
    CreateNavigation();
    CreateDebugPanel(page);

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormDiskTreeMap::Poll);
    connect(bStartTreemap, &QPushButton::clicked, this, [this] { bStartTreemapClick(); });
    connect(edTreemapDirectory, &QLineEdit::returnPressed, this, [this] { bStartTreemapClick(); });
    connect(bCancelTreemap, &QPushButton::clicked, this, &TFormDiskTreeMap::bCancelTreemapClick);
    connect(edTreemapDirectory, &QLineEdit::textChanged, this, &TFormDiskTreeMap::edTreemapDirectoryChange);
    connect(cbIncludeFreeSpace, &QCheckBox::toggled, this, &TFormDiskTreeMap::cbIncludeFreeSpaceClick);
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

    panelSearchResults = new QFrame(page);
    panelSearchResults->setObjectName("panelSearchResults");
    panelSearchResults->setGeometry(40, 156, 240, 41);
    panelSearchResults->hide();
}

void TFormDiskTreeMap::CreateNavigation() {
    // Over the map's top-right corner: the pad, and the zoom bar beside it.
    panelNavigation = new QWidget(imageDiskTreemap);
    panelNavigation->setObjectName("panelNavigation");
    const int gap = 4;
    panelNavigation->resize(TFrameNavTool::kPadSide + gap + TFrameNavTool::kBarWidth, TFrameNavTool::kPadSide);
    frame1 = new TFrameNavTool(main_.Model(), navigator_, panelNavigation, QPoint(0, 0),
                               QPoint(TFrameNavTool::kPadSide + gap, 1));
    frame1->OnShowPage = [this] {
        if (!main_.IsPageVisible(main_.tsTreeMap)) main_.miToolsMenuGenericClick(main_.miTreeMap);
    };
    frame1->OnViewMoved = [this] {
        DiskTreeMap_StopZoomAnimation();
        std::lock_guard lock(main_.Model().csTreemap);
        SyncScrollbars();
    };
    frame1->OnPushState = [this] { PushState(); };
    frame1->OnElevationReleased = [this] {
        if (trackbarElevation2) trackbarElevation2->setValue(trackbarElevation2->maximum() / 2);
    };
    PlaceNavigation();
}

void TFormDiskTreeMap::PlaceNavigation() {
    panelNavigation->move(std::max(0, imageDiskTreemap->width() - panelNavigation->width() - 8), 8);
    panelNavigation->raise();
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
    auto* buttons1 = new QHBoxLayout;
    QHBoxLayout* buttons = buttons1;
    auto button = [&](const char* text, std::function<void()> action) {
        auto* b = new QPushButton(text, panelDebug);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, action] {
            DiskTreeMap_StopZoomAnimation();
            std::lock_guard lock(main_.Model().csTreemap);
            action();
        });
    };
    button("Z-in", [this] {
        navigator_.ZoomCentre = TZoomCentre::ViewCentre;
        navigator_.ZoomStep(true);
        PushState();
    });
    button("Z-out", [this] {
        navigator_.ZoomCentre = TZoomCentre::ViewCentre;
        navigator_.ZoomStep(false);
        PushState();
    });
    button("Z-reset", [this] {
        navigator_.ResetZoom();
        PushState();
    });
    button("Refresh graph", [this] { DiskTreeMap_Relayout(false); });
    auto* buttons2 = new QHBoxLayout;
    buttons = buttons2;
    button("^", [this] {
        navigator_.ScrollStep(TScrollDirection::Up);
        SyncScrollbars();
    });
    button("<", [this] {
        navigator_.ScrollStep(TScrollDirection::Left);
        SyncScrollbars();
    });
    button("v", [this] {
        navigator_.ScrollStep(TScrollDirection::Down);
        SyncScrollbars();
    });
    button(">", [this] {
        navigator_.ScrollStep(TScrollDirection::Right);
        SyncScrollbars();
    });
    button("zoom up", [this] { ZoomUp(); });
    button("Zoom Up", [this] { ZoomUp(); });
    auto* buttons3 = new QHBoxLayout;
    buttons = buttons3;
    button("Update Graph", [this] {
        // The pixel pass alone: the layout stays as it is.
        if (Root() && Root()->_BoxInfo && navigator_.HasTree()) layout_.DiskTreeMap_CalcPixels(Root(), true);
    });
    // These start a scan run, which takes the lock itself.
    for (auto [text, action] : {std::pair<const char*, std::function<void()>>{"Back", [this] { FolderHistoryBack(); }},
                                {"Forward", [this] { FolderHistoryForward(); }},
                                {"Up", [this] { FolderUp(); }}}) {
        auto* b = new QPushButton(text, panelDebug);
        b->setObjectName(QString("bFolder") + text);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, action);
    }
    auto* buttons4 = new QHBoxLayout;
    buttons = buttons4;
    edZoomToFolder = new QLineEdit(panelDebug);
    edZoomToFolder->setObjectName("edZoomToFolder");
    buttons4->addWidget(edZoomToFolder, 1);
    button("Zoom here", [this] { ZoomHere(edZoomToFolder->text().toStdString()); });
    edTestDiskTreeMap = new QPlainTextEdit(panelDebug);
    edTestDiskTreeMap->setObjectName("edTestDiskTreeMap");
    edTestDiskTreeMap->setPlainText("100\n50\n20\n10\n5\n1");
    edTestDiskTreeMap->setMaximumHeight(60);
    button("Test tree", [this] { BuildTestTree(edTestDiskTreeMap->toPlainText().toStdString()); });
    trackbarElevation = new QSlider(Qt::Horizontal, panelDebug);
    trackbarElevation->setObjectName("trackbarElevation");
    trackbarElevation->setRange(1, 1000);
    connect(trackbarElevation, &QSlider::valueChanged, this, &TFormDiskTreeMap::trackbarElevationChange);
    connect(trackbarElevation, &QSlider::sliderReleased, this, [this] { PushState(); });
    trackbarElevation2 = new QSlider(Qt::Horizontal, panelDebug);
    trackbarElevation2->setObjectName("trackbarElevation2");
    trackbarElevation2->setRange(1, 1000);
    trackbarElevation2->setValue(500);
    // Held down, the second slider works the zoom knob from its position.
    auto knobFromSlider = [this] {
        const int range = trackbarElevation2->maximum() - trackbarElevation2->minimum();
        frame1->StartElevation((trackbarElevation2->value() - trackbarElevation2->minimum()) *
                               TFrameNavTool::kKnobTravel / std::max(1, range));
    };
    connect(trackbarElevation2, &QSlider::sliderPressed, this, knobFromSlider);
    connect(trackbarElevation2, &QSlider::sliderMoved, this, knobFromSlider);
    connect(trackbarElevation2, &QSlider::sliderReleased, this, [this] {
        frame1->ReleaseElevation();
        PushState();
    });
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
    layout->addLayout(buttons1);
    layout->addLayout(buttons2);
    layout->addLayout(buttons3);
    layout->addLayout(buttons4);
    layout->addWidget(edTestDiskTreeMap);
    layout->addWidget(trackbarElevation);
    layout->addWidget(trackbarElevation2);
    layout->addWidget(edDebugTreemapTiming);
    layout->addWidget(edMouseoverFilename);
    layout->addWidget(lbDiskTreeMapHistory2);
    panelDebug->setGeometry(8, 8, 400, 460);
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
    frame1->timerNavigation->stop();
    frame1->timerElevation->stop();
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
    painter_->SetViewWindow(layout_.View);
    painter_->SetSelectedFolder(navigator_.SelectedFolder);
    painter_->SetSelectedFile(navigator_.SelectedFile);
    painter_->DiskTreeMap_UpdateScreen();
}

void TFormDiskTreeMap::DiskTreeMap_NewScan() {
    ResetView();
    AddToFolderHistory(Folder());
}

void TFormDiskTreeMap::ResetView() {
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
    if (main_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    lbDiskTreeMapHistory->setCurrentRow(row);
    edTreemapDirectory->setText(lbDiskTreeMapHistory->item(row)->text());
    bStartTreemapClick();
}

void TFormDiskTreeMap::FolderHistoryBack() { MoveInFolderHistory(-1); }

void TFormDiskTreeMap::FolderHistoryForward() { MoveInFolderHistory(1); }

void TFormDiskTreeMap::FolderUp() {
    const std::string folder = Folder();
    const std::string parent = ParentFolder(folder);
    if (folder.empty() || parent == folder) return;
    SetFolder(parent);
    bStartTreemapClick();
}

void TFormDiskTreeMap::UpdateNow() {
    if (main_.Model().DiskTreeMapEntries.Empty()) return;
    std::lock_guard lock(main_.Model().csTreemap);
    RefreshScanViews(false);
    DiskTreeMap_Relayout(false);
    FilterScanViews();
    RefreshOverview();
}

void TFormDiskTreeMap::cbIncludeFreeSpaceClick() {
    ScanModel& model = main_.Model();
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
    UpdateNow();
}

// ---- developer tools ----

void TFormDiskTreeMap::trackbarElevationChange(int position) {
    if (mutedTrackbar_ || !Root()) return;
    DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(main_.Model().csTreemap);
    if (!navigator_.HasTree()) return;
    const double oldZx = navigator_.ZoomX(), oldZy = navigator_.ZoomY();
    if (std::fabs(oldZy) < 1e-5) return;
    const double q = oldZx / oldZy;
    const int maximum = trackbarElevation->maximum();
    const double zx = static_cast<double>(maximum) / (maximum - position + 1);
    double zy = zx / q;
    // Axes that drifted apart come together a third of the way per change.
    if (std::fabs(zx - zy) > 1) zy += (zx - zy) / 3;
    navigator_.ZoomCentre = TZoomCentre::Node;
    navigator_.ZoomInward = zx > oldZx;
    navigator_.ZoomTo(zy, zx);
}

void TFormDiskTreeMap::ZoomUp() {
    std::lock_guard lock(main_.Model().csTreemap);
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
    std::lock_guard lock(main_.Model().csTreemap);
    TDiskTreeMapEntry* node = Root();
    if (!node) return nullptr;
    const std::string wanted = RemoveTrailingBackslash(Trim(path));
    const std::string rootPath = RemoveTrailingBackslash(GetNodeFullPath(main_.Model(), node));
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
    std::lock_guard lock(main_.Model().csTreemap);
    TDiskTreeMapEntry* node = FindNode(path);
    if (!node || !navigator_.HasTree()) return;
    navigator_.ZoomToNode(node);
    StartZoomAnimation();
}

void TFormDiskTreeMap::BuildTestTree(const std::string& lines) {
    if (Running() || main_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    ScanModel& model = main_.Model();
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
            child->SizeTotal = child->SizeRoot = TestTreeSize(texts[i]);
            child->ParentNodeIdx = root;
            child->_Modified = true;
            root->ChildrenEntries.push_back(child);
            root->SizeTotal += child->SizeTotal;
            root->SizeRoot += child->SizeTotal;
        }
        root->_Modified = true;
    }
    DiskTreeMap_Relayout(true);
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
    mutedTrackbar_ = true;
    trackbarElevation->setValue(navigator_.ZoomSliderPosition(trackbarElevation->maximum()));
    mutedTrackbar_ = false;
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
    edMouseoverFilename->setText(Q(GetNodeFullPath(main_.Model(), node)));
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
    if (OnStopChangeWatcher) OnStopChangeWatcher();
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
    wait->SetUpdateNow([this] { UpdateNow(); });
    wait_ = wait;
    main_.PleaseWaitSlot(1) = wait;
    if (showProgress) {
        wait->show();
        wait->move(main_.geometry().center() - wait->rect().center());
    }

    // The views let go of the records and nodes before the reset frees them.
    ResetScanViews();
    LongestViewsRefreshMs = FinalViewsRefreshMs = 0;
    DiskTreeMap_NewScan();
    PrepareScan(model, path, cbIncludeFreeSpace->isVisible() && cbIncludeFreeSpace->isChecked());
    DiskTreeMap_Relayout(true);
    RefreshScanViews(false);
    FilterScanViews();
    RefreshOverview();
    job_ = std::make_unique<TThreadDiskTreemap>(model);
    job_->Start();
    model.ProgressText.SetText("Working...");
    nextStatisticsRefresh_ = Now() + kSecond;
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
    if (snapshotRun_ || !wait_ || !wait_->cbAutoUpdate->isChecked()) return;
    if (Now() >= nextStatisticsRefresh_) RefreshStatisticsDuringScan();
    if (wait_ && wait_->cbAutoUpdate->isChecked() && Now() >= nextMapRefresh_) RefreshDuringScan();
}

// Refreshes slower than 3 s turn auto-update off: the views must not take
// the window away from the user.
void TFormDiskTreeMap::RefreshStatisticsDuringScan() {
    QElapsedTimer clock;
    clock.start();
    {
        std::lock_guard lock(main_.Model().csTreemap);
        RefreshScanViews(false);
    }
    if (clock.elapsed() > 3000 && wait_) wait_->cbAutoUpdate->setChecked(false);
    nextStatisticsRefresh_ = Now() + kSecond;
}

void TFormDiskTreeMap::RefreshDuringScan() {
    QElapsedTimer clock;
    clock.start();
    DiskTreeMap_Relayout(false);
    if (clock.elapsed() > 3000 && wait_) wait_->cbAutoUpdate->setChecked(false);
    FilterScanViews();
    RefreshOverview();
    nextMapRefresh_ = Now() + 3 * kSecond;
}

void TFormDiskTreeMap::ResetScanViews() {
    std::lock_guard lock(main_.Model().csTreemap);
    if (ScanViews.reset) ScanViews.reset();
}

void TFormDiskTreeMap::RefreshScanViews(bool complete) {
    QElapsedTimer clock;
    clock.start();
    {
        std::lock_guard lock(main_.Model().csTreemap);
        if (ScanViews.refresh) ScanViews.refresh(complete);
    }
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (complete) {
        FinalViewsRefreshMs = ms;
    } else {
        LongestViewsRefreshMs = std::max(LongestViewsRefreshMs, ms);
    }
}

void TFormDiskTreeMap::FilterScanViews() {
    if (ScanViews.filter) ScanViews.filter();
}

void TFormDiskTreeMap::RefreshOverview() {
    if (ScanViews.overview) ScanViews.overview();
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
        main_.bTreeMap_SaveAsSnapshot3->setEnabled(platform::DirectoryExists(scanPath_) &&
                                                   !model.TempSnapshotFn.empty());
        DiskTreeMap_Relayout(true);
        RefreshScanViews(true);
        FilterScanViews();
        RefreshOverview();
        if (OnScanRunEnded) OnScanRunEnded(scanPath_, cbMonitorChanges->isChecked());
        main_.SetStatus(nullptr, "");
    }
    bStartTreemap->setEnabled(true);
    bCancelTreemap->hide();
    edTreemapDirectory->setEnabled(true);
    if (auto finished = std::move(finished_)) finished();
}

}  // namespace tandrel
