#include "treemap/treemap_layout.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <mutex>

#include "common/compare.h"
#include "common/messages.h"

namespace tandrel {

namespace {

constexpr const char* kRemainingZeroMessage = "parent_size_REMAINING=0";
constexpr const char* kCollapsedNodeMessage = "thisNode._big_w/h = 0";
constexpr const char* kNoMiddleMessage = "undefined value in FindMiddleChildrenIdxBasedOnSize";

using Children = decltype(TDiskTreeMapEntry::ChildrenEntries);

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Whole pixels toward zero; a canvas zoomed beyond the integer range
// saturates instead of overflowing.
int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

// A node without a place holds no geometry.
void ClearGeometry(TDiskTreeMapEntry& node) { node.ClearGeometry(); }

// Children that get no place in this layout lose their old one too: a stale
// rectangle would be drawn over the siblings that took its room.
void ClearGeometry(const Children& children, int from, int to) {
    for (int i = from; i <= to; ++i) ClearGeometry(*children[i]);
}

struct Middle {
    int index;           // first child of the second group, -1 for none
    std::int64_t first;  // bytes of the first group
};

// The median search over children from..to whose sizes add up to total.
Middle FindMiddle(const Children& children, int from, int to, std::int64_t total) {
    const std::int64_t half = total / 2;
    std::int64_t sum = 0;
    for (int i = from; i <= to; ++i) {
        const std::int64_t before = sum;
        sum += children[i]->SizeTotal;
        if (sum >= half) {
            if (i == from) return {from + 1, sum};
            return {i, before};
        }
    }
    return {-1, 0};
}

}  // namespace

int FindMiddleChildrenIdxBasedOnSize(const TDiskTreeMapEntry& node, int childFrom, int childTo) {
    const int from = std::max(childFrom, 0);
    const int to = std::min(childTo, static_cast<int>(node.ChildrenEntries.size()) - 1);
    const Middle middle = FindMiddle(node.ChildrenEntries, from, to, node.GetChildrenBytesSize(from, to));
    if (middle.index < 0) GetMessages().ShowMessage(MessageKind::InfoForeground, kNoMiddleMessage);
    return middle.index;
}

float TreemapLayout::CanvasWidth() {
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    TDiskTreeMapEntry* root = model_.Root();
    return root && root->_BoxInfo ? root->_BoxInfo->_PixelsW : 0;
}

float TreemapLayout::CanvasHeight() {
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    TDiskTreeMapEntry* root = model_.Root();
    return root && root->_BoxInfo ? root->_BoxInfo->_PixelsH : 0;
}

void TreemapLayout::DiskTreeMap_Relayout(bool resetView) {
    const auto start = std::chrono::steady_clock::now();
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    TDiskTreeMapEntry* root = model_.Root();
    if (!root) return;

    NextGeneration();

    // The root gets the surface's aspect ratio and an area of its byte count.
    const double w = SurfaceWidth, h = SurfaceHeight;
    const double size = static_cast<double>(root->SizeTotal);
    TNodeGeometry& rootPlace = root->PlaceGeometry();
    rootPlace._BigX = rootPlace._BigY = 0;
    if (w > 0 && h > 0 && size > 0) {
        rootPlace._BigW = static_cast<float>(std::sqrt(w / h * size));
        rootPlace._BigH = static_cast<float>(std::sqrt(h / w * size));
    } else {
        rootPlace._BigW = rootPlace._BigH = 0;
    }

    // Only the root's children now: the pixel pass places the rest where
    // the map reaches, so a refresh costs what is shown, not the whole tree.
    const auto layoutStart = std::chrono::steady_clock::now();
    PlaceChildren(root);
    LayoutTreeMs = MillisecondsSince(layoutStart);

    if (resetView || !root->_BoxInfo) {
        View = TViewWindow{0, 0, static_cast<float>(w), static_cast<float>(h)};
        if (!root->_BoxInfo) root->_BoxInfo = std::make_unique<TBoxInfo>();
        root->_BoxInfo->_PixelsX = root->_BoxInfo->_PixelsY = 0;
        root->_BoxInfo->_PixelsW = static_cast<float>(w);
        root->_BoxInfo->_PixelsH = static_cast<float>(h);
    }
    DiskTreeMap_CalcPixels(root, false);
    RelayoutMs = MillisecondsSince(start);
}

void TreemapLayout::DiskTreeMap_LayoutTree() {
    const auto start = std::chrono::steady_clock::now();
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    TDiskTreeMapEntry* root = model_.Root();
    if (!root) return;
    SplitDepth = 0;
    LayoutLevel = 1;
    deep_ = true;
    LayoutStep(root, TLayoutRange{});
    deep_ = false;
    LayoutTreeMs = MillisecondsSince(start);
}

void TreemapLayout::DiskTreeMap_LayoutNode(TDiskTreeMapEntry* node, const TLayoutRange& range) {
    if (!node) return;
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    deep_ = true;
    LayoutStep(node, range);
    deep_ = false;
}

void TreemapLayout::NextGeneration() {
    if (++generation_ == 0) {
        // Wrapped: a node last placed 65536 layouts ago must not pass for current.
        model_.DiskTreeMapEntries.ForEach([](TDiskTreeMapEntry& node) { node._LayoutGen = 0; });
        generation_ = 1;
    }
}

void TreemapLayout::PlaceChildren(TDiskTreeMapEntry* node) {
    SplitDepth = 0;
    LayoutLevel = node->_Level + 1;
    LayoutStep(node, TLayoutRange{});
    node->_LayoutGen = generation_;
}

void TreemapLayout::PlaceAncestors(TDiskTreeMapEntry* node) {
    if (!node) return;
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    std::vector<TDiskTreeMapEntry*> chain;
    for (TDiskTreeMapEntry* a = node->ParentNodeIdx; a; a = a->ParentNodeIdx) chain.push_back(a);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if ((*it)->_LayoutGen != generation_) PlaceChildren(*it);
    }
}

bool TreemapLayout::LayoutStep(TDiskTreeMapEntry* node, const TLayoutRange& range) {
    if (model_.DiskTreeMapEntries.Empty()) return true;
    if (SplitDepth == 0) {
        node->_LayoutGen = generation_;
        if (node->_Modified && node->ChildrenEntries.size() > 1) node->SortDiskTreeMapChildren();
    }
    node->_Modified = false;
    if (node->SizeTotal <= 0) {
        // Nothing to show; a negative size (inconsistent sizes) counts as none.
        if (node->_BoxInfo) *node->_BoxInfo = TBoxInfo{};
        ClearGeometry(*node);
        return true;
    }
    const Children& children = node->ChildrenEntries;
    const int childCount = static_cast<int>(children.size());

    float x = 0, y = 0, w = 0, h = 0;
    int first = 0, last = -1;
    std::int64_t remaining = 0;
    if (SplitDepth == 0) {
        if (childCount == 0) return true;
        // The children's region: their share of the node's area at the
        // node's top-left corner, a square where it fits, else a strip of
        // the node's full width or height.
        const TNodeGeometry& place = node->Geometry();
        const double nodeW = place._BigW >= 0 ? place._BigW : 0.0;
        const double nodeH = place._BigH >= 0 ? place._BigH : 0.0;
        std::int64_t bytes = 0;
        for (const TDiskTreeMapEntry* child : children) bytes += child->SizeTotal;
        // Children claiming more than their folder would spill out of its box.
        const double share = std::clamp(static_cast<double>(bytes) / static_cast<double>(node->SizeTotal), 0.0, 1.0);
        const double area = share * nodeW * nodeH;
        const double side = std::sqrt(area);
        if (side > nodeW) {
            w = static_cast<float>(nodeW);
            h = static_cast<float>(nodeW > 0 ? area / nodeW : 0);
        } else if (side > nodeH) {
            w = static_cast<float>(nodeH > 0 ? area / nodeH : 0);
            h = static_cast<float>(nodeH);
        } else {
            w = h = static_cast<float>(side);
        }
        last = childCount - 1;
        remaining = bytes;
    } else {
        x = range.x;
        y = range.y;
        w = range.w;
        h = range.h;
        first = std::max(range.first, 0);
        last = std::min(range.last, childCount - 1);
        remaining = range.remaining;
    }

    const int n = last - first + 1;
    // Bytes of the children passed over unplaced: remaining still counts
    // them, so remaining - skipped is what the children from i on hold.
    std::int64_t skipped = 0;
    for (int i = first; i <= last; ++i) {
        TDiskTreeMapEntry* child = children[i];
        if (remaining == 0) {
            if (child->SizeTotal > 0) GetMessages().ShowMessage(MessageKind::Info, kRemainingZeroMessage);
            ClearGeometry(children, i, last);
            break;
        }
        // The child's slice across the region's shorter side.
        const bool tall = w <= h;
        const double part = static_cast<double>(child->SizeTotal) / static_cast<double>(remaining);
        const float stripW = tall ? w : static_cast<float>(part * w);
        const float stripH = tall ? static_cast<float>(part * h) : h;
        if (!(stripW > 1 && stripH > 1)) {
            ClearGeometry(*child);
            skipped += child->SizeTotal;
            continue;
        }

        if (Squarify && n > 2 &&
            (static_cast<double>(stripW) / stripH > SquarifyFactor ||
             static_cast<double>(stripH) / stripW > SquarifyFactor)) {
            // Too elongated: cut the range at its byte median into two groups
            // that share the region in proportion to their bytes.
            const std::int64_t rangeBytes = remaining - skipped;
            const Middle middle = FindMiddle(children, i, last, rangeBytes);
            if (middle.index < 0) {
                // Only inconsistent (negative) sizes get here: the child is
                // placed as a plain slice instead.
                GetMessages().ShowMessage(MessageKind::InfoForeground, kNoMiddleMessage);
            } else {
                const std::int64_t firstBytes = middle.first;
                const std::int64_t secondBytes = rangeBytes - middle.first;
                TLayoutRange a{x, y, w, h, i, middle.index - 1, firstBytes};
                TLayoutRange b{x, y, w, h, middle.index, last, secondBytes};
                if (tall) {
                    a.h = static_cast<float>(static_cast<double>(firstBytes) * h / static_cast<double>(remaining));
                    b.y = y + a.h;
                    b.h = static_cast<float>(static_cast<double>(secondBytes) * h / static_cast<double>(remaining));
                } else {
                    a.w = static_cast<float>(static_cast<double>(firstBytes) * w / static_cast<double>(remaining));
                    b.x = x + a.w;
                    b.w = static_cast<float>(static_cast<double>(secondBytes) * w / static_cast<double>(remaining));
                }
                ++SplitDepth;
                bool kept = true;
                if (a.w > 3 && a.h > 3) {
                    kept = LayoutStep(node, a);
                } else {
                    ClearGeometry(children, a.first, a.last);
                }
                if (kept) {
                    if (b.w > 3 && b.h > 3) {
                        kept = LayoutStep(node, b);
                    } else {
                        ClearGeometry(children, b.first, b.last);
                    }
                }
                --SplitDepth;
                if (!kept) return false;
                break;
            }
        }

        TNodeGeometry& childPlace = child->PlaceGeometry();
        childPlace._BigX = x;
        childPlace._BigY = y;
        childPlace._BigW = stripW;
        childPlace._BigH = stripH;
        if (tall) {
            h -= stripH;
            y += stripH;
        } else {
            w -= stripW;
            x += stripW;
        }
        remaining -= child->SizeTotal;
        if (SameFloat(node->Geometry()._BigW) || SameFloat(node->Geometry()._BigH)) {
            GetMessages().ShowMessage(MessageKind::Info, kCollapsedNodeMessage);
            return false;
        }
        const TNodeGeometry& nodePlace = node->Geometry();
        childPlace._PercX = childPlace._BigX / nodePlace._BigW;
        childPlace._PercY = childPlace._BigY / nodePlace._BigH;
        childPlace._PercW = childPlace._BigW / nodePlace._BigW;
        childPlace._PercH = childPlace._BigH / nodePlace._BigH;
        child->_Level = LayoutLevel;
    }

    // The node's own step: every child is placed, now each lays out its own
    // (at once in a whole pass, else when the pixel pass first reaches it).
    if (SplitDepth < 1) {
        ++LayoutLevel;
        for (TDiskTreeMapEntry* child : children) {
            if (child->ChildrenEntries.empty() && child->SizeTotal > 0) {
                child->_Modified = false;  // a file's whole step, without the call
            } else if (deep_) {
                LayoutStep(child, TLayoutRange{});
            }
        }
        --LayoutLevel;
    }
    return true;
}

void TreemapLayout::DiskTreeMap_CalcPixels(TDiskTreeMapEntry* node, bool takeLock) {
    if (!node) return;
    std::unique_lock<std::recursive_mutex> lock(model_.csTreemap, std::defer_lock);
    if (takeLock) lock.lock();
    const bool isRoot = node == model_.Root();
    if (!node->_BoxInfo) {
        // Only the root's box is made here (as an empty canvas); any other
        // node without a box is not shown.
        if (!isRoot) return;
        node->_BoxInfo = std::make_unique<TBoxInfo>();
    }
    CalcPixels(node);
    // Also when the root has nothing to show: the window must not keep
    // showing an earlier tree.
    if (isRoot && OnRootPixelsDone) OnRootPixelsDone();
}

void TreemapLayout::CalcPixels(TDiskTreeMapEntry* node) {
    PixelPass(node, TruncToInt(CalcNodeAbsoluteX_in_px(node)), TruncToInt(CalcNodeAbsoluteY_in_px(node)));
}

// The box of node at (left, top) on the canvas, then its children's. The
// children's corners are worked out here as CalcNodeAbsoluteX_in_px and
// CalcNodeAbsoluteY_in_px would, without walking back to the parent.
void TreemapLayout::PixelPass(TDiskTreeMapEntry* node, int left, int top) {
    TBoxInfo& box = *node->_BoxInfo;
    box._BoxPixelsX = kBoxMarginLeft;
    box._BoxPixelsY = kBoxCaptionHeight;
    box._BoxPixelsW = box._PixelsW - kBoxMarginLeft - kBoxMarginRight;
    box._BoxPixelsH = box._PixelsH - kBoxCaptionHeight - kBoxMarginBottom;
    TRect& r = box._AbsRect;
    r.Left = left;
    r.Top = top;
    r.Right = TruncToInt(static_cast<double>(left) + box._PixelsW);
    r.Bottom = TruncToInt(static_cast<double>(top) + box._PixelsH);

    const Children& children = node->ChildrenEntries;
    if (r.Right <= r.Left || r.Bottom <= r.Top) {
        for (TDiskTreeMapEntry* child : children) FreeBoxes(child);
        return;
    }
    if (!children.empty() && node->_LayoutGen != generation_) PlaceChildren(node);
    const double innerW = box._BoxPixelsW;
    const double innerH = box._BoxPixelsH;
    const float innerLeft = static_cast<float>(left) + kBoxMarginLeft;
    const float innerTop = static_cast<float>(top) + kBoxCaptionHeight;
    // A pixel of slack around the view, so that a box whose edge only
    // touches it (after rounding) is still there to draw and hit.
    const double viewLeft = static_cast<double>(View.left) - 1, viewRight = static_cast<double>(View.right) + 1;
    const double viewTop = static_cast<double>(View.top) - 1, viewBottom = static_cast<double>(View.bottom) + 1;
    for (TDiskTreeMapEntry* child : children) {
        // One pixel of gap to the right of and below every child.
        const TNodeGeometry& place = child->Geometry();
        const float childW = static_cast<float>(place._PercW * innerW - 1);
        const float childH = static_cast<float>(place._PercH * innerH - 1);
        if (!(childW >= kMinBoxPixels && childH >= kMinBoxPixels)) {
            if (child->_BoxInfo) FreeBoxes(child);
            continue;
        }
        const float x = static_cast<float>(place._PercX * innerW);
        const float y = static_cast<float>(place._PercY * innerH);
        const float absLeft = innerLeft + x, absTop = innerTop + y;
        // Wholly outside the view: the subtree is neither drawn nor hit, so
        // it keeps no boxes and costs nothing; panning there makes them.
        // Unsaturated positions, as a canvas beyond the integer range has.
        if (absLeft > viewRight || absTop > viewBottom || absLeft + static_cast<double>(childW) < viewLeft ||
            absTop + static_cast<double>(childH) < viewTop) {
            if (child->_BoxInfo) FreeBoxes(child);
            continue;
        }
        if (!child->_BoxInfo) child->_BoxInfo = std::make_unique<TBoxInfo>();
        TBoxInfo& childBox = *child->_BoxInfo;
        childBox._PixelsX = x;
        childBox._PixelsY = y;
        childBox._PixelsW = childW;
        childBox._PixelsH = childH;
        PixelPass(child, TruncToInt(absLeft), TruncToInt(absTop));
    }
}

void TreemapLayout::DiskTreeMap_CalcViewPixels() {
    TDiskTreeMapEntry* root = model_.Root();
    if (root && root->_BoxInfo) CalcPixels(root);
}

bool TreemapLayout::IsNodeVisible(const TDiskTreeMapEntry* node) const {
    if (!node) return false;
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    if (!node->_BoxInfo) return false;
    const double cx = CalcNodeAbsoluteX_in_px_even_if_invisible(node) + node->_BoxInfo->_PixelsW / 2.0;
    const double cy = CalcNodeAbsoluteY_in_px_even_if_invisible(node) + node->_BoxInfo->_PixelsH / 2.0;
    return View.left < cx && cx < View.right && View.top < cy && cy < View.bottom;
}

TDiskTreeMapEntry* TreemapLayout::GetInnermostRectangleAt(float x, float y) {
    // The scan job may be adding nodes meanwhile.
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    return tandrel::GetInnermostRectangleAt(model_.Root(), x, y);
}

}  // namespace tandrel
