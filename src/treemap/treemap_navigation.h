#pragma once
// Moving over a canvas that can be many times larger than the drawing
// surface: zoom steps, zoom around a point or a node, zoom to a rectangle,
// panning, clamping, the animated zoom onto a node, resizing, selection and
// the history of views. Only the canvas size and the view window change; the
// layout units stay. The caller holds the model lock and owns the timers.
#include <string>
#include <vector>

#include "treemap/treemap_layout.h"

namespace tandrel {

enum class TZoomCentre { ViewCentre, WheelPoint, Node };
enum class TScrollDirection { Up, Down, Left, Right };

// What a scroll bar shows of one axis of the canvas.
struct TScrollbarState {
    int maximum = 0;
    int pageSize = 0;
    int position = 0;
    int smallChange = 1;
    int largeChange = 1;
};

class TreemapNavigator {
public:
    explicit TreemapNavigator(TreemapLayout& layout) : layout_(layout) {}

    // Draws the whole map after a pan (zooms redraw through the pixel pass).
    std::function<void()> OnRedraw;

    TDiskTreeMapEntry* HoveredNode = nullptr;
    TDiskTreeMapEntry* CurrentNode = nullptr;
    TDiskTreeMapEntry* SelectedFolder = nullptr;
    TDiskTreeMapEntry* SelectedFile = nullptr;
    TDiskTreeMapEntry* ZoomTarget = nullptr;
    TZoomCentre ZoomCentre = TZoomCentre::ViewCentre;
    bool ZoomInward = false;
    float WheelX = 0, WheelY = 0;
    int AnimationStep = 0;

    // A new scan: every node reference none, the history empty.
    void Reset();
    bool HasTree();

    float ViewWidth() const { return layout_.View.right - layout_.View.left; }
    float ViewHeight() const { return layout_.View.bottom - layout_.View.top; }
    // Canvas size over view size.
    double ZoomX();
    double ZoomY();

    // Pulls the view window back onto the canvas; true when anything moved.
    bool ClampView();
    // New zoom factors around the zoom centre; the canvas point under the
    // centre stays under it.
    void ZoomTo(double zy, double zx);
    // Shows the canvas rectangle on the whole surface.
    void ZoomToRect(float left, float top, float right, float bottom);
    // Trims (d > 0) or adds (d < 0) d canvas pixels on each side of the view;
    // when the axes drifted more than 10 % apart only the lagging one moves.
    void ZoomStepBy(double d);
    void ZoomStep(bool inward) { ZoomStepBy(inward ? 50 : -50); }
    // One wheel step at a surface point (ignored outside the surface).
    bool WheelZoom(float x, float y, bool up);
    // The zoom knob at offset 0..travel: below the middle zooms in, above out,
    // by up to 50 pixels a side. False (after the message) when the current
    // node is too small to zoom to.
    bool KnobZoom(int offset, int travel);
    // Scroll steps take 6 % of the other axis's extent.
    void ScrollStep(TScrollDirection direction);
    // Moves the window by (dx, dy) canvas pixels, clamps, makes the boxes of
    // the new view (pixel pass) and redraws.
    void PanBy(float dx, float dy);

    // Dragging with the mouse button down: nothing until the pointer moved
    // more than 2 pixels from the last position on either axis.
    void DragStart(float x, float y);
    bool DragTo(float x, float y);

    TScrollbarState HorizontalScrollbar();
    TScrollbarState VerticalScrollbar();
    // The developer zoom slider's position for a slider of 1..maximum.
    int ZoomSliderPosition(int maximum);
    // A scroll bar moved to position: the view moves and its boxes are made;
    // true when the map must be redrawn
    // (the whole-pixel view origin changed).
    bool ScrollbarMoved(bool horizontal, int position, int maximum, int pageSize);

    // The selection rule: a file selects itself and its folder, a folder
    // itself (keeping a selected file inside it).
    void SelectNode(TDiskTreeMapEntry* node);
    bool CanSelectParent() const { return SelectedFolder != nullptr; }
    // "Select parent": true when a zoom animation towards the parent started.
    bool SelectParent();
    // Selects the node and makes it the target of the zoom animation.
    void ZoomToNode(TDiskTreeMapEntry* node);
    void ZoomToParent(TDiskTreeMapEntry* node);
    // One tick of the zoom animation; true when another tick is wanted.
    bool ZoomAnimationTick();

    // The drawing surface changed size: canvas scaled, view centre kept.
    void Resize(int width, int height);
    // Canvas and view back to the surface.
    void ResetZoom();

    // The view history: one entry "canvasW,canvasH,left,top,right,bottom,W,H".
    bool PushState();
    bool Back();
    bool Forward();
    bool CanGoBack() const { return historyIndex_ > 0; }
    bool CanGoForward() const { return historyIndex_ >= 0 && historyIndex_ + 1 < static_cast<int>(history_.size()); }
    const std::vector<std::string>& History() const { return history_; }
    int HistoryIndex() const { return historyIndex_; }

private:
    TDiskTreeMapEntry* Root();
    float& CanvasW();
    float& CanvasH();
    std::string StateText();
    void Restore(const std::string& entry);
    // After the canvas or view changed: clamp, pixel pass, and again if the
    // second clamp still moved the view.
    void Recalculate();
    void Redraw();

    TreemapLayout& layout_;
    std::vector<std::string> history_;
    int historyIndex_ = -1;
    float dragX_ = 0, dragY_ = 0;
};

}  // namespace tandrel
