#pragma once
// The treemap layout of one scan model, in two passes kept apart so that
// zooming stays cheap:
//  - the layout pass places the children of a node inside it in layout
//    units (the root's area equals its size in bytes), sorting them first
//    where the node was modified; a relayout places only the root's
//    children and the pixel pass places the rest where it first reaches
//    them, so a relayout costs what is shown, not the whole tree;
//  - the pixel pass maps those relative rectangles onto a canvas of a given
//    size in pixels, keeping margins and a caption strip inside every box and
//    dropping every box smaller than 5 pixels or wholly outside the view
//    window; it runs on every zoom and pan, and costs what is visible.
// Everything runs on the window's thread under the model lock.
#include <cstdint>
#include <functional>

#include "scan/scan_model.h"
#include "treemap/treemap_geometry.h"

namespace tandrel {

// A range of children and the region they share, for one layout step. All
// zero is a fresh range: the step then takes the region from the node itself.
struct TLayoutRange {
    float x = 0, y = 0, w = 0, h = 0;  // layout units, relative to the node's corner
    int first = 0, last = 0;           // child indexes, both included
    std::int64_t remaining = 0;        // bytes of the range still to be placed: at the
                                       // start of a step, the sum of children first..last
};

// Where a child range divides into two groups of about equal bytes: the
// first index at which the running sum reaches half the range's total, but
// never childFrom itself, so the first group is never empty. -1 (with a
// message) when the range is empty.
int FindMiddleChildrenIdxBasedOnSize(const TDiskTreeMapEntry& node, int childFrom, int childTo);

class TreemapLayout {
public:
    explicit TreemapLayout(ScanModel& model) : model_(model) {}
    TreemapLayout(const TreemapLayout&) = delete;
    TreemapLayout& operator=(const TreemapLayout&) = delete;

    // Layout state. The split depth is above 0 only inside the sub-steps of
    // a squarify split; the layout level is the _Level given to children
    // placed now.
    int SplitDepth = 0;
    int LayoutLevel = 1;
    bool Squarify = true;         // cbDiskTreeMapSquarify
    double SquarifyFactor = 1.0;  // edDiskTreeMapSquareFactor

    // The drawing surface in pixels (W x H) and the part of the canvas it
    // shows. The canvas is the root's box (_PixelsW x _PixelsH).
    int SurfaceWidth = 0;
    int SurfaceHeight = 0;
    TViewWindow View;

    // Called at the end of every pixel pass of the root, still under the
    // model lock: the window synchronises its scroll bars and redraws there.
    std::function<void()> OnRootPixelsDone;

    // Milliseconds taken by the last DiskTreeMap_LayoutTree (edDebugTreemapTiming)
    // and by the last whole DiskTreeMap_Relayout.
    double LayoutTreeMs = 0;
    double RelayoutMs = 0;

    ScanModel& Model() { return model_; }
    // Nodes whose _LayoutGen equals this have their children placed.
    std::uint16_t Generation() const { return generation_; }

    // Starts a new layout: sizes the root to the surface's aspect with an
    // area of its byte count, places its children, with resetView makes
    // canvas and view the surface, then runs the pixel pass (which places
    // the rest of what it shows). Takes the model lock.
    void DiskTreeMap_Relayout(bool resetView);
    // The whole layout pass from the root (layout level 1), every node at once.
    void DiskTreeMap_LayoutTree();
    // One layout step of node: its own step with a fresh range (split depth
    // 0), which also lays out its children, or a sub-step of a split.
    void DiskTreeMap_LayoutNode(TDiskTreeMapEntry* node, const TLayoutRange& range);
    // Places the children of every ancestor of node not yet placed in this
    // layout, so that node's position in layout units is current (the zoom
    // animation reads it). Takes the model lock.
    void PlaceAncestors(TDiskTreeMapEntry* node);
    // The pixel pass below node, whose box must be sized already (for the
    // root: the canvas). With takeLock it holds the model lock itself.
    void DiskTreeMap_CalcPixels(TDiskTreeMapEntry* node, bool takeLock);
    // The pixel pass of the root after the view moved over the same canvas,
    // without OnRootPixelsDone: the caller redraws. The caller holds the
    // model lock.
    void DiskTreeMap_CalcViewPixels();

    // True when the centre of node's box lies strictly inside the view
    // window. Takes the model lock.
    bool IsNodeVisible(const TDiskTreeMapEntry* node) const;
    // Hit test from the root at a canvas point; null when nothing is there.
    // Takes the model lock.
    TDiskTreeMapEntry* GetInnermostRectangleAt(float x, float y);

    // The root's box; 0 before the first layout.
    float CanvasWidth();
    float CanvasHeight();

private:
    // One layout step; false when it was abandoned (the node's own width or
    // height collapsed), which also stops the steps that called it.
    bool LayoutStep(TDiskTreeMapEntry* node, const TLayoutRange& range);
    void CalcPixels(TDiskTreeMapEntry* node);
    // Starts a new layout: every placement made before is out of date.
    void NextGeneration();
    // node's own layout step, which places its children (not theirs).
    void PlaceChildren(TDiskTreeMapEntry* node);
    void PixelPass(TDiskTreeMapEntry* node, int left, int top);

    ScanModel& model_;
    std::uint16_t generation_ = 1;
    // True in a whole layout pass, which descends at once instead of lazily.
    bool deep_ = false;
};

}  // namespace tandrel
