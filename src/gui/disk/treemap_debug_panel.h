#pragma once
// The treemap's developer panel (Ctrl+Shift+D on the treemap page, or the
// "debug_treemap" switch): layout switches, zoom and scroll steps, folder
// history moves, zoom to a path, a sample tree, the elevation sliders, the
// timings of the last layout, the hovered path and the view history.
#include <QFrame>
#include <string>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSlider;

namespace tandrel {

class TDiskTreeMapEntry;
class TFormDiskTreeMap;

// The panel's components, private to it; tests reach them through
// TTreemapDebugPanel::WidgetsForTest.
struct TTreemapDebugPanelUi {
    QCheckBox* cbDiskTreeMapSquarify = nullptr;
    QDoubleSpinBox* edDiskTreeMapSquareFactor = nullptr;
    QCheckBox* cbTreeMapShowFiles = nullptr;
    QListWidget* lbDiskTreeMapHistory2 = nullptr;
    QLabel* edDebugTreemapTiming = nullptr;
    QLineEdit* edMouseoverFilename = nullptr;
    // The hovered node's layout size ("w x h = product") and the zoom factors.
    QLabel* edMouseoverSize = nullptr;
    QLabel* edZoomFactor = nullptr;
    QSlider* trackbarElevation = nullptr;
    QSlider* trackbarElevation2 = nullptr;
    QLineEdit* edZoomToFolder = nullptr;
    QPlainTextEdit* edTestDiskTreeMap = nullptr;
};

class TTreemapDebugPanel : public QFrame, private TTreemapDebugPanelUi {
    Q_OBJECT
public:
    // Hidden until ShowPanel; drawn over the map's page.
    TTreemapDebugPanel(TFormDiskTreeMap& map, QWidget* page);

    void ShowPanel();
    // What the map reports back: the zoom as the elevation slider's
    // position and as factors, the timings of the last layout, the hovered node's path and layout size, the view
    // history with its current entry.
    void ShowZoom();
    void ShowTimings(double layoutMs, double relayoutMs);
    void ShowHovered(const TDiskTreeMapEntry& node, const std::string& path);
    void ShowHistory();
    // The second slider springs back to the middle once let go.
    void CentreElevation2();

    // For tests only: the panel's components.
    TTreemapDebugPanelUi& WidgetsForTest() { return *this; }

private:
    void trackbarElevationChange(int position);

    TFormDiskTreeMap& map_;
    bool mutedTrackbar_ = false;
};

}  // namespace tandrel
