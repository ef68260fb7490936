#pragma once
// The treemap page: the folder field with "Scan" and "Cancel", the scan run
// that fills the model from a live scan or a snapshot while a progress
// window shows what it does, and the map itself: drawn on the surface,
// zoomed, dragged, scrolled, hovered, selected, with a history of views.
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "treemap/treemap_layout.h"
#include "treemap/treemap_navigation.h"

class QCheckBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTimer;
class QWidget;

namespace tandrel {

class TFormMain;
class TFormPleaseWait;
class TSettingsPanel;
class TThreadDiskTreemap;
class TTreemapPainter;
class TTreemapSurface;

class TFormDiskTreeMap : public QObject {
    Q_OBJECT
public:
    // Builds its controls into the treemap page and the header host.
    TFormDiskTreeMap(TFormMain& main, QWidget* page, QWidget* headerHost);
    // Waits for a running job, which sees AppClosing and ends.
    ~TFormDiskTreeMap() override;

    // A scan run of the folder field: a live scan or a snapshot load. The
    // optional callback runs once the run has ended (cancelled or not).
    // Without a progress window (showProgress false) the run is invisible.
    void bStartTreemapClick(std::function<void()> finished = {}, bool showProgress = true);
    void bCancelTreemapClick();
    bool Running() const { return job_ != nullptr; }

    void SetFolder(const std::string& folder);
    std::string Folder() const;
    // "Include Free Space", "Monitor changes (experimental)" and the colour
    // scheme from the settings panel.
    void TakeSettings(const TSettingsPanel& settings);
    void ShowDebugPanels();

    // Sort, layout and pixel pass of the whole tree, then a full redraw;
    // resetView shows the whole canvas again.
    void DiskTreeMap_Relayout(bool resetView);
    // One full redraw with the present view.
    void DiskTreeMap_UpdateScreen();
    // The view reset of a new scan: no hovered, current or selected node,
    // an empty view history.
    void DiskTreeMap_NewScan();
    void DiskTreeMap_StopZoomAnimation();
    // Follows the size of the drawing surface.
    void ResizeTreeMapToCurrentScreen();

    TreemapLayout& Layout() { return layout_; }
    TreemapNavigator& Navigator() { return navigator_; }
    TTreemapPainter& Painter() { return *painter_; }

    QLineEdit* edTreemapDirectory = nullptr;
    QPushButton* bStartTreemap = nullptr;
    QPushButton* bCancelTreemap = nullptr;
    QCheckBox* cbIncludeFreeSpace = nullptr;
    QCheckBox* cbMonitorChanges = nullptr;
    TTreemapSurface* imageDiskTreemap = nullptr;
    QScrollBar* scrollbarTreemapH = nullptr;
    QScrollBar* scrollbarTreemapV = nullptr;
    QPushButton* bGoBack2 = nullptr;
    QPushButton* bGoForward2 = nullptr;
    QPushButton* bSelectParent = nullptr;
    QFrame* panelSearchResults = nullptr;
    QFrame* panelDebug = nullptr;
    QCheckBox* cbDiskTreeMapSquarify = nullptr;
    QDoubleSpinBox* edDiskTreeMapSquareFactor = nullptr;
    QCheckBox* cbTreeMapShowFiles = nullptr;
    QListWidget* lbDiskTreeMapHistory2 = nullptr;
    QLabel* edDebugTreemapTiming = nullptr;
    QLineEdit* edMouseoverFilename = nullptr;
    QTimer* timerZoomToFile = nullptr;
    QTimer* timerPushZoomState_IdleMouseWheel = nullptr;

private:
    void CreateMap(QWidget* page);
    void CreateDebugPanel(QWidget* page);
    void Poll();
    void EndRun();
    void edTreemapDirectoryChange();
    void RefreshDuringScan();

    // Pointer on the surface.
    void MouseDown(QPoint pos);
    void MouseMove(QPoint pos, Qt::MouseButtons buttons);
    void MouseUp();
    void Click();
    void DoubleClick(Qt::KeyboardModifiers modifiers);
    void Wheel(QPoint pos, int delta);
    void Hover(QPoint pos);

    void SyncScrollbars();
    void ScrollbarChanged(bool horizontal);
    void PushState();
    void UpdateHistoryControls();
    void StartZoomAnimation();
    void ZoomAnimationTick();
    TDiskTreeMapEntry* Root();

    TFormMain& main_;
    TreemapLayout layout_;
    TreemapNavigator navigator_;
    TTreemapPainter* painter_ = nullptr;
    std::unique_ptr<TThreadDiskTreemap> job_;
    QPointer<TFormPleaseWait> wait_;
    QTimer* poll_ = nullptr;
    std::function<void()> finished_;
    std::string scanPath_;
    bool snapshotRun_ = false;
    double nextMapRefresh_ = 0;
    bool mouseDown_ = false;
    bool doubleClick_ = false;
    bool mutedScrollbars_ = false;
};

}  // namespace tandrel
