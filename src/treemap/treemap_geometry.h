#pragma once
// Where the pixel boxes of the treemap lie on the canvas: absolute positions,
// the hit test and the box frame (margins and caption strip). The boxes are
// filled by the pixel pass of TreemapLayout; these queries only read them.
#include "scan/scan_model.h"

namespace tandrel {

// Every box keeps a margin on the left, right and bottom and a caption strip
// on top; its children are placed only in the inner area left over.
inline constexpr float kBoxMarginLeft = 5;
inline constexpr float kBoxCaptionHeight = 20;
inline constexpr float kBoxMarginRight = 5;
inline constexpr float kBoxMarginBottom = 5;
// A child smaller than this in either direction gets no box (not drawn, not hit).
inline constexpr float kMinBoxPixels = 5;

// The part of the canvas shown on the drawing surface, in canvas pixels.
struct TViewWindow {
    float left = 0, top = 0, right = 0, bottom = 0;
};

// Left edge on the canvas from the parent's whole-pixel box: exact once the
// parent's _AbsRect is up to date (the pixel pass works top-down). 0 for
// none, for the root and for a node without a box.
float CalcNodeAbsoluteX_in_px(const TDiskTreeMapEntry* node);
float CalcNodeAbsoluteY_in_px(const TDiskTreeMapEntry* node);
// The same summed over the ancestors' relative positions, for nodes whose
// _AbsRect may be stale. Levels without a box add nothing.
float CalcNodeAbsoluteX_in_px_even_if_invisible(const TDiskTreeMapEntry* node);
float CalcNodeAbsoluteY_in_px_even_if_invisible(const TDiskTreeMapEntry* node);
// The node's corner in the root's layout units.
float CalcNodeAbsoluteX_in_pp(const TDiskTreeMapEntry* node);
float CalcNodeAbsoluteY_in_pp(const TDiskTreeMapEntry* node);

// The innermost node with a box whose box holds the canvas point (edges
// included), searching below node; null when the point is outside node's box
// or node has none. Callers pass the root and the pointer plus the view's
// left and top.
TDiskTreeMapEntry* GetInnermostRectangleAt(TDiskTreeMapEntry* node, float x, float y);

// Frees the boxes of node and of everything below it that has one.
void FreeBoxes(TDiskTreeMapEntry* node);

}  // namespace tandrel
