#include "gui/disk/treemap_debug_panel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <mutex>
#include <utility>

#include "common/format_numbers.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/nav_tool.h"
#include "gui/disk/treemap_painter.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TTreemapDebugPanel::TTreemapDebugPanel(TFormDiskTreeMap& map, QWidget* page) : QFrame(page), map_(map) {
    setObjectName("panelDebug");
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    TreemapLayout& treemapLayout = map_.Layout();
    TreemapNavigator& navigator = map_.Navigator();
    auto* layout = new QVBoxLayout(this);
    cbDiskTreeMapSquarify = new QCheckBox("Squarify", this);
    cbDiskTreeMapSquarify->setObjectName("cbDiskTreeMapSquarify");
    cbDiskTreeMapSquarify->setChecked(true);
    edDiskTreeMapSquareFactor = new QDoubleSpinBox(this);
    edDiskTreeMapSquareFactor->setObjectName("edDiskTreeMapSquareFactor");
    edDiskTreeMapSquareFactor->setRange(0.1, 100);
    edDiskTreeMapSquareFactor->setValue(treemapLayout.SquarifyFactor);
    cbTreeMapShowFiles = new QCheckBox("Show Files", this);
    cbTreeMapShowFiles->setObjectName("cbTreeMapShowFiles");
    cbTreeMapShowFiles->setChecked(true);
    auto* buttons1 = new QHBoxLayout;
    QHBoxLayout* buttons = buttons1;
    // Each button acts on a still map under the model lock.
    auto button = [&](const char* text, std::function<void()> action) {
        auto* b = new QPushButton(text, this);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, action] {
            map_.DiskTreeMap_StopZoomAnimation();
            std::lock_guard lock(map_.Model().csTreemap);
            action();
        });
    };
    button("Z-in", [this, &navigator] {
        navigator.ZoomCentre = TZoomCentre::ViewCentre;
        navigator.ZoomStep(true);
        map_.PushState();
    });
    button("Z-out", [this, &navigator] {
        navigator.ZoomCentre = TZoomCentre::ViewCentre;
        navigator.ZoomStep(false);
        map_.PushState();
    });
    // A zoom step out, as "Z-out", kept for those used to it.
    button("zoom0", [this, &navigator] {
        navigator.ZoomCentre = TZoomCentre::ViewCentre;
        navigator.ZoomStep(false);
        map_.PushState();
    });
    button("Z-reset", [this, &navigator] {
        navigator.ResetZoom();
        map_.PushState();
    });
    button("Refresh graph", [this] { map_.DiskTreeMap_Relayout(false); });
    auto* buttons2 = new QHBoxLayout;
    buttons = buttons2;
    const std::pair<const char*, TScrollDirection> steps[] = {{"^", TScrollDirection::Up},
                                                              {"<", TScrollDirection::Left},
                                                              {"v", TScrollDirection::Down},
                                                              {">", TScrollDirection::Right}};
    for (const auto& step : steps) {
        const TScrollDirection direction = step.second;
        button(step.first, [this, &navigator, direction] {
            navigator.ScrollStep(direction);
            map_.SyncScrollbars();
        });
    }
    button("zoom up", [this] { map_.ZoomUp(); });
    button("Zoom Up", [this] { map_.ZoomUp(); });
    auto* buttons3 = new QHBoxLayout;
    buttons = buttons3;
    button("Update Graph", [this, &treemapLayout, &navigator] {
        // The pixel pass alone: the layout stays as it is.
        TDiskTreeMapEntry* root = map_.Root();
        if (root && root->_BoxInfo && navigator.HasTree()) treemapLayout.DiskTreeMap_CalcPixels(root, true);
    });
    // These start a scan run, which takes the lock itself.
    for (auto [text, action] :
         {std::pair<const char*, std::function<void()>>{"Back", [this] { map_.FolderHistoryBack(); }},
          {"Forward", [this] { map_.FolderHistoryForward(); }},
          {"Up", [this] { map_.FolderUp(); }}}) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString("bFolder") + text);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, action);
    }
    auto* buttons4 = new QHBoxLayout;
    buttons = buttons4;
    edZoomToFolder = new QLineEdit(this);
    edZoomToFolder->setObjectName("edZoomToFolder");
    buttons4->addWidget(edZoomToFolder, 1);
    button("Zoom here", [this] { map_.ZoomHere(edZoomToFolder->text().toStdString()); });
    edTestDiskTreeMap = new QPlainTextEdit(this);
    edTestDiskTreeMap->setObjectName("edTestDiskTreeMap");
    edTestDiskTreeMap->setPlainText("100\n50\n20\n10\n5\n1");
    edTestDiskTreeMap->setMaximumHeight(60);
    button("Test tree", [this] { map_.BuildTestTree(edTestDiskTreeMap->toPlainText().toStdString()); });
    trackbarElevation = new QSlider(Qt::Horizontal, this);
    trackbarElevation->setObjectName("trackbarElevation");
    trackbarElevation->setRange(1, 1000);
    connect(trackbarElevation, &QSlider::valueChanged, this, &TTreemapDebugPanel::trackbarElevationChange);
    connect(trackbarElevation, &QSlider::sliderReleased, this, [this] { map_.PushState(); });
    trackbarElevation2 = new QSlider(Qt::Horizontal, this);
    trackbarElevation2->setObjectName("trackbarElevation2");
    trackbarElevation2->setRange(1, 1000);
    trackbarElevation2->setValue(500);
    // Held down, the second slider works the zoom knob from its position.
    auto knobFromSlider = [this] {
        const int range = trackbarElevation2->maximum() - trackbarElevation2->minimum();
        map_.NavTool().StartElevation((trackbarElevation2->value() - trackbarElevation2->minimum()) *
                                      TFrameNavTool::kKnobTravel / std::max(1, range));
    };
    connect(trackbarElevation2, &QSlider::sliderPressed, this, knobFromSlider);
    connect(trackbarElevation2, &QSlider::sliderMoved, this, knobFromSlider);
    connect(trackbarElevation2, &QSlider::sliderReleased, this, [this] {
        map_.NavTool().ReleaseElevation();
        map_.PushState();
    });
    edDebugTreemapTiming = new QLabel(this);
    edDebugTreemapTiming->setObjectName("edDebugTreemapTiming");
    lbDiskTreeMapHistory2 = new QListWidget(this);
    lbDiskTreeMapHistory2->setObjectName("lbDiskTreeMapHistory2");
    lbDiskTreeMapHistory2->setMaximumHeight(90);
    edMouseoverFilename = new QLineEdit(this);
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
    edMouseoverSize = new QLabel(this);
    edMouseoverSize->setObjectName("edMouseoverSize");
    layout->addWidget(edMouseoverSize);
    edZoomFactor = new QLabel(this);
    edZoomFactor->setObjectName("edZoomFactor");
    layout->addWidget(edZoomFactor);
    layout->addWidget(lbDiskTreeMapHistory2);
    setGeometry(8, 8, 400, 460);
    hide();
    connect(cbDiskTreeMapSquarify, &QCheckBox::toggled, this, [this, &treemapLayout](bool on) {
        treemapLayout.Squarify = on;
        map_.DiskTreeMap_Relayout(false);
    });
    connect(edDiskTreeMapSquareFactor, &QDoubleSpinBox::valueChanged, this, [this, &treemapLayout](double factor) {
        treemapLayout.SquarifyFactor = factor;
        map_.DiskTreeMap_Relayout(false);
    });
    connect(cbTreeMapShowFiles, &QCheckBox::toggled, this, [this](bool on) {
        map_.Painter().SetShowFiles(on);
        map_.DiskTreeMap_UpdateScreen();
    });
}

void TTreemapDebugPanel::ShowPanel() {
    show();
    raise();
}

void TTreemapDebugPanel::ShowZoom() {
    mutedTrackbar_ = true;
    TreemapNavigator& navigator = map_.Navigator();
    trackbarElevation->setValue(navigator.ZoomSliderPosition(trackbarElevation->maximum()));
    mutedTrackbar_ = false;
    edZoomFactor->setText(QString("zoom %1 x %2").arg(navigator.ZoomX(), 0, 'f', 2).arg(navigator.ZoomY(), 0, 'f', 2));
}

void TTreemapDebugPanel::ShowTimings(double layoutMs, double relayoutMs) {
    edDebugTreemapTiming->setText(
        QString("layout %1 ms, relayout %2 ms").arg(layoutMs, 0, 'f', 1).arg(relayoutMs, 0, 'f', 1));
}

void TTreemapDebugPanel::ShowHovered(const TDiskTreeMapEntry& node, const std::string& path) {
    edMouseoverFilename->setText(Q(path));
    const double w = node.Geometry()._BigW, h = node.Geometry()._BigH;
    edMouseoverSize->setText(Q(FormatCount(w) + " x " + FormatCount(h) + " = " + FormatCount(w * h)));
}

void TTreemapDebugPanel::ShowHistory() {
    const TreemapNavigator& navigator = map_.Navigator();
    lbDiskTreeMapHistory2->clear();
    for (const std::string& entry : navigator.History()) lbDiskTreeMapHistory2->addItem(Q(entry));
    lbDiskTreeMapHistory2->setCurrentRow(navigator.HistoryIndex());
}

void TTreemapDebugPanel::CentreElevation2() { trackbarElevation2->setValue(trackbarElevation2->maximum() / 2); }

void TTreemapDebugPanel::trackbarElevationChange(int position) {
    if (mutedTrackbar_ || !map_.Root()) return;
    map_.DiskTreeMap_StopZoomAnimation();
    std::lock_guard lock(map_.Model().csTreemap);
    TreemapNavigator& navigator = map_.Navigator();
    if (!navigator.HasTree()) return;
    const double oldZx = navigator.ZoomX(), oldZy = navigator.ZoomY();
    if (std::fabs(oldZy) < 1e-5) return;
    const double q = oldZx / oldZy;
    const int maximum = trackbarElevation->maximum();
    const double zx = static_cast<double>(maximum) / (maximum - position + 1);
    double zy = zx / q;
    // Axes that drifted apart come together a third of the way per change.
    if (std::fabs(zx - zy) > 1) zy += (zx - zy) / 3;
    navigator.ZoomCentre = TZoomCentre::Node;
    navigator.ZoomInward = zx > oldZx;
    navigator.ZoomTo(zy, zx);
}

}  // namespace tandrel
