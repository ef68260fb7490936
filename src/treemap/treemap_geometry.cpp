#include "treemap/treemap_geometry.h"

namespace tandrel {

float CalcNodeAbsoluteX_in_px(const TDiskTreeMapEntry* node) {
    if (!node || !node->ParentNodeIdx || !node->_BoxInfo || !node->ParentNodeIdx->_BoxInfo) return 0;
    return static_cast<float>(node->ParentNodeIdx->_BoxInfo->_AbsRect.Left) + kBoxMarginLeft + node->_BoxInfo->_PixelsX;
}

float CalcNodeAbsoluteY_in_px(const TDiskTreeMapEntry* node) {
    if (!node || !node->ParentNodeIdx || !node->_BoxInfo || !node->ParentNodeIdx->_BoxInfo) return 0;
    return static_cast<float>(node->ParentNodeIdx->_BoxInfo->_AbsRect.Top) + kBoxCaptionHeight +
           node->_BoxInfo->_PixelsY;
}

// The root's box is the canvas itself: it adds its own offset (0), not a
// margin, so that these agree with the whole-pixel positions above.
float CalcNodeAbsoluteX_in_px_even_if_invisible(const TDiskTreeMapEntry* node) {
    double x = 0;
    for (; node; node = node->ParentNodeIdx) {
        if (!node->_BoxInfo) continue;
        x += node->_BoxInfo->_PixelsX;
        if (node->ParentNodeIdx) x += kBoxMarginLeft;
    }
    return static_cast<float>(x);
}

float CalcNodeAbsoluteY_in_px_even_if_invisible(const TDiskTreeMapEntry* node) {
    double y = 0;
    for (; node; node = node->ParentNodeIdx) {
        if (!node->_BoxInfo) continue;
        y += node->_BoxInfo->_PixelsY;
        if (node->ParentNodeIdx) y += kBoxCaptionHeight;
    }
    return static_cast<float>(y);
}

float CalcNodeAbsoluteX_in_pp(const TDiskTreeMapEntry* node) {
    double x = 0;
    for (; node; node = node->ParentNodeIdx) x += node->Geometry()._BigX;
    return static_cast<float>(x);
}

float CalcNodeAbsoluteY_in_pp(const TDiskTreeMapEntry* node) {
    double y = 0;
    for (; node; node = node->ParentNodeIdx) y += node->Geometry()._BigY;
    return static_cast<float>(y);
}

TDiskTreeMapEntry* GetInnermostRectangleAt(TDiskTreeMapEntry* node, float x, float y) {
    if (!node || !node->_BoxInfo) return nullptr;
    const TBoxInfo& box = *node->_BoxInfo;
    const float left = static_cast<float>(box._AbsRect.Left);
    const float top = static_cast<float>(box._AbsRect.Top);
    if (!(left <= x && x <= left + box._PixelsW && top <= y && y <= top + box._PixelsH)) return nullptr;
    for (TDiskTreeMapEntry* child : node->ChildrenEntries) {
        if (TDiskTreeMapEntry* hit = GetInnermostRectangleAt(child, x, y)) return hit;
    }
    return node;
}

void FreeBoxes(TDiskTreeMapEntry* node) {
    // Boxes exist only below boxes (the pixel pass creates them top-down), so
    // a node without one ends the walk: freeing stays proportional to what
    // was shown, however large the subtree.
    if (!node->_BoxInfo) return;
    node->_BoxInfo.reset();
    for (TDiskTreeMapEntry* child : node->ChildrenEntries) FreeBoxes(child);
}

}  // namespace tandrel
