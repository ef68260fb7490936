#pragma once
// The treemap page: the folder field with "Scan" and "Cancel" (the run
// itself is the window's scan run) and the map: drawn on the surface,
// zoomed, dragged, scrolled, hovered, selected, with a history of views.
#include <QObject>
#include <QString>
#include <functional>
#include <QPoint>
#include <memory>
#include <string>
#include <vector>

#include "scan/tree_edits.h"
#include "treemap/treemap_layout.h"
#include "treemap/treemap_navigation.h"

class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLineEdit;
class QLabel;
class QListWidget;
class QToolButton;
class QMenu;
class QAction;
class QPushButton;
class QScrollBar;
class QTimer;
class QWidget;

namespace tandrel {

class ScanModel;
class TCaptionPanelK;
class TListViewEx;
class TFileSystemWatcher;
class TFrameNavTool;
class TSettingsPanel;
class TTreemapDebugPanel;
class TTreemapPainter;
class TTreemapSurface;
class TViewHost;

// The page's components, private to it (inherited privately, as with a
// designer form); tests reach them through TFormDiskTreeMap::WidgetsForTest.
struct TFormDiskTreeMapUi {
    QLineEdit* edTreemapDirectory = nullptr;
    QToolButton* bBrowseTreemapDirectory = nullptr;
    // The folder of the last scan run with a trailing "/".
    QLabel* panelDiskTreemapCaption = nullptr;
    QPushButton* bTreeMap_SelectVolumes = nullptr;
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
    // The search: the field, its button, the status text, the button that
    // brings the result panel back, and the 300 ms debounce.
    QLineEdit* edSearchTerm = nullptr;
    QPushButton* bSearch = nullptr;
    QLabel* labelSearching = nullptr;
    QToolButton* bShowSearchResults = nullptr;
    QTimer* timerSearch = nullptr;
    TCaptionPanelK* panelSearchResults = nullptr;
    TListViewEx* lvSearchResults = nullptr;
    QCheckBox* cbCloseOnSelect = nullptr;
    QMenu* popupSearchResults = nullptr;
    TTreemapDebugPanel* panelDebug = nullptr;
    QTimer* timerZoomToFile = nullptr;
    QTimer* timerPushZoomState_IdleMouseWheel = nullptr;
    QWidget* panelNavigation = nullptr;
    TFrameNavTool* frame1 = nullptr;
    QListWidget* lbDiskTreeMapHistory = nullptr;
    // The map's context menu and the items whose text or visibility follow
    // the node under the pointer.
    QMenu* popupTreeMap = nullptr;
    QAction *piTreemapCurrentItem = nullptr, *piOpen = nullptr, *piZoomToSelectedFolder = nullptr,
            *piZoomToFileContainer = nullptr, *piZoomToFile = nullptr, *piTreemapHere = nullptr;
    QMenu* piZoomToChild = nullptr;
};

class TFormDiskTreeMap : public QObject, private TFormDiskTreeMapUi {
    Q_OBJECT
public:
    // Builds its controls into the treemap page and the header host.
    TFormDiskTreeMap(TViewHost& host, QWidget* page, QWidget* headerHost);
    ~TFormDiskTreeMap() override;

    ScanModel& Model();

    void SetFolder(const std::string& folder);
    // "Browse...": a folder dialog fills the folder field.
    void BrowseForFolder();
    // Tests: what the folder dialog would answer; empty for the dialog again.
    static void SetFolderChooserForTest(std::function<QString(QWidget*, const QString&)> chooser);
    // The folder becomes the field's text and a scan run of it is asked for.
    void ScanFolder(const std::string& folder);
    std::string Folder() const;
    // "Include Free Space" as a scan run takes it: offered (a mount point) and ticked.
    bool IncludeFreeSpace() const;
    // "Monitor changes (experimental)" ticked.
    bool MonitorChanges() const;
    // The field and its buttons while a scan run goes on: no new run, "Cancel" shown.
    void SetRunning(bool running);
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
    TDiskTreeMapEntry* Root();

    // The view as it is now: into the view history, onto the scroll bars
    // and the zoom slider; a zoom animation towards the navigator's target.
    void PushState();
    void SyncScrollbars();
    void StartZoomAnimation();

    // Changes on disk below the scanned folder applied to the tree, with one
    // refresh for the whole batch; whatever the view held of a node that left
    // the tree is let go first. True when the tree changed.
    bool ApplyDiskChanges(const std::vector<TDiskChange>& changes);

    // The change watcher on the scanned folder: the one of the last run is
    // stopped when a run starts; a run that ended makes a new one, active
    // when "Monitor changes (experimental)" is ticked.
    void StopWatcher();
    void StartWatcher(const std::string& scanPath);
    // The box clicked: unticked stops the watcher; ticked starts nothing
    // before the next run ends.
    void cbMonitorChangesClick();
    TFileSystemWatcher* WatcherForTest() { return watcher.get(); }

    // The search field changed: the search runs 300 ms after the last
    // keystroke; fewer than 3 characters clear the hits.
    void edSearchTermChange();
    // Runs the search now (the debounce's end).
    void timerSearchTimer();
    // The button: at once, or a message for fewer than 3 characters.
    void bSearchClick();
    // Forgets all hits.
    void DiskTreeMap_ClearSearch();
    // Keeps at least half of the result panel inside the map's panel.
    void DiskTreeMap_PlaceSearchPanel();
    // The hits in list order (until sorted).
    const std::vector<TDiskTreeMapEntry*>& SearchHits() const { return searchHits_; }
    // The search's text of a row's cell, as the list shows and reads it.
    QString SearchResultText(int row, int column) const;
    // A row of the results chosen: the map zooms to its node.
    void lvSearchResultsDblClick(int row);

    // Prepares the map's context menu for the node at a surface point: that
    // node becomes the current and selected one. False when there is no map.
    bool popupTreeMapPopup(QPoint pos);

    // The full path of the selected item as the file system has it (file
    // operations read it); empty with nothing selected.
    const std::string& SelectedFilesText() const { return selectedPath_; }

    TreemapLayout& Layout() { return layout_; }
    TreemapNavigator& Navigator() { return navigator_; }
    TTreemapPainter& Painter() { return *painter_; }
    TFrameNavTool& NavTool() { return *frame1; }

    // The volume picker button, as the sender of SelectVolumesRequested.
    const QObject* SelectVolumesButton() const;

    // For tests only: the page's components.
    TFormDiskTreeMapUi& WidgetsForTest() { return *this; }

signals:
    // "Scan", Enter in the folder field or a move in the folder history:
    // a scan run of the folder field is wanted.
    void ScanRequested();
    // The volume picker button: the window opens its picker for this sender.
    void SelectVolumesRequested(QObject* sender);
    // The model changed outside a scan run (free space joined or left):
    // the map and the views want one refresh.
    void UpdateNowRequested();
    // The watcher watches every folder of the tree (tests wait for it).
    void WatcherReady();
    // One batch of the watcher was applied to the tree, changed or not.
    void WatcherBatchApplied();
    // A search ended with that many hits shown.
    void SearchDone(int hits);

private:
    void CreateMap(QWidget* page);
    void CreateNavigation();
    void CreateContextMenu();
    void CreateSearch(QWidget* page, QHBoxLayout* header, QWidget* headerHost);
    void SortSearchResults();
    void DropRemovedSearchHits();
    // The node of the selected result row, nullptr without one.
    TDiskTreeMapEntry* SelectedSearchResult() const;
    void FillZoomToChild(TDiskTreeMapEntry* folder);
    // Zooms the map to the node with the animation, as a double click does.
    void AnimatedZoom(TDiskTreeMapEntry* node, bool toParent);
    void PlaceNavigation();
    void ResetView();
    void AddToFolderHistory(const std::string& folder);
    void MoveInFolderHistory(int step);
    void edTreemapDirectoryChange();

    // Pointer on the surface.
    void MouseDown(QPoint pos);
    void MouseMove(QPoint pos, Qt::MouseButtons buttons);
    void MouseUp();
    void Click();
    void DoubleClick(Qt::KeyboardModifiers modifiers);
    void Wheel(QPoint pos, int delta);
    void Hover(QPoint pos);

    void ScrollbarChanged(bool horizontal);
    void UpdateHistoryControls();
    void ZoomAnimationTick();

    TViewHost& host_;
    std::unique_ptr<TFileSystemWatcher> watcher;
    // Batches already posted by a watcher that was stopped since are dropped.
    unsigned watcherGeneration_ = 0;
    TreemapLayout layout_;
    TreemapNavigator navigator_;
    TTreemapPainter* painter_ = nullptr;
    std::string selectedPath_;
    bool mouseDown_ = false;
    bool doubleClick_ = false;
    bool mutedScrollbars_ = false;
    std::vector<TDiskTreeMapEntry*> searchHits_;
};

}  // namespace tandrel
