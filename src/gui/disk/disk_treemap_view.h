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
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QWidget;

namespace tandrel {

class TFormMain;
class TFormPleaseWait;
class TFrameNavTool;
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
    // One refresh of the map from the model as it stands: layout without
    // a view reset and a full redraw.
    void UpdateNow();
    // "Include Free Space" ticked or unticked: the free space of the
    // scanned file system joins or leaves the root.
    void cbIncludeFreeSpaceClick();

    // The folder history of past scan runs: back, forward and to the parent
    // folder, each starting a scan run.
    void FolderHistoryBack();
    void FolderHistoryForward();
    void FolderUp();

    // Developer tools: zoom up from the selected folder, zoom to the node of
    // a path, a sample tree of n MiB files from the lines of text.
    void ZoomUp();
    void ZoomHere(const std::string& path);
    void BuildTestTree(const std::string& lines);
    // The node of a full path in the scanned tree, or nullptr.
    TDiskTreeMapEntry* FindNode(const std::string& path);

    // The change watcher of a scan run: stopped when the next run starts,
    // created when a run ends with the scanned path and whether
    // "Monitor changes (experimental)" is ticked.
    std::function<void()> OnStopChangeWatcher;
    std::function<void(const std::string& scanPath, bool monitor)> OnScanRunEnded;

    // The disk views a scan run keeps current beside the map; the main
    // window connects them. The caller holds the model lock for the reset
    // and the refresh.
    struct TScanViews {
        std::function<void()> reset;                 // forget the last scan
        std::function<void(bool complete)> refresh;  // bring the folder views up to date
        std::function<void()> filter;                // rebuild the filtered rows
        std::function<void()> overview;              // rebuild the overview
    } ScanViews;
    // Milliseconds of the longest refresh of those views during the last
    // run and of its final pass.
    double LongestViewsRefreshMs = 0;
    double FinalViewsRefreshMs = 0;

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
    QWidget* panelNavigation = nullptr;
    TFrameNavTool* frame1 = nullptr;
    QSlider* trackbarElevation = nullptr;
    QSlider* trackbarElevation2 = nullptr;
    QLineEdit* edZoomToFolder = nullptr;
    QPlainTextEdit* edTestDiskTreeMap = nullptr;
    QListWidget* lbDiskTreeMapHistory = nullptr;

private:
    void CreateMap(QWidget* page);
    void CreateDebugPanel(QWidget* page);
    void Poll();
    void EndRun();
    void edTreemapDirectoryChange();
    void RefreshDuringScan();
    void RefreshStatisticsDuringScan();
    // Each runs its view when connected.
    void ResetScanViews();
    void RefreshScanViews(bool complete);
    void FilterScanViews();
    void RefreshOverview();
    void CreateNavigation();
    void PlaceNavigation();
    void ResetView();
    void AddToFolderHistory(const std::string& folder);
    void MoveInFolderHistory(int step);
    void trackbarElevationChange(int position);

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
    double nextStatisticsRefresh_ = 0;
    bool mouseDown_ = false;
    bool doubleClick_ = false;
    bool mutedScrollbars_ = false;
    bool mutedTrackbar_ = false;
};

}  // namespace tandrel
