#include "treemap/treemap_navigation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/messages.h"
#include "common/split.h"
#include "common/strings.h"
#include "treemap/treemap_geometry.h"

namespace tandrel {

namespace {

constexpr double kTiny = 1e-5;
const char* const kTooSmall = "Cannot zoom to this file because its size is too small";

bool NearZero(double value) { return std::fabs(value) < kTiny; }

// A change of a scroll bar below 2 becomes 1.
int AtLeastOne(int value) { return value < 2 ? 1 : value; }

}  // namespace

TDiskTreeMapEntry* TreemapNavigator::Root() {
    ScanModel& model = layout_.Model();
    return model.DiskTreeMapEntries.Empty() ? nullptr : model.DiskTreeMapEntries[0];
}

bool TreemapNavigator::HasTree() {
    TDiskTreeMapEntry* root = Root();
    return root && root->_BoxInfo;
}

float& TreemapNavigator::CanvasW() { return Root()->_BoxInfo->_PixelsW; }
float& TreemapNavigator::CanvasH() { return Root()->_BoxInfo->_PixelsH; }

void TreemapNavigator::Reset() {
    HoveredNode = CurrentNode = SelectedFolder = SelectedFile = ZoomTarget = nullptr;
    ZoomCentre = TZoomCentre::ViewCentre;
    AnimationStep = 0;
    history_.clear();
    historyIndex_ = -1;
}

double TreemapNavigator::ZoomX() {
    if (!HasTree() || NearZero(ViewWidth())) return 1;
    return CanvasW() / ViewWidth();
}

double TreemapNavigator::ZoomY() {
    if (!HasTree() || NearZero(ViewHeight())) return 1;
    return CanvasH() / ViewHeight();
}

void TreemapNavigator::Redraw() {
    if (OnRedraw) OnRedraw();
}

bool TreemapNavigator::ClampView() {
    if (!HasTree()) return false;
    TViewWindow& v = layout_.View;
    bool changed = false;
    auto shift = [&](float dx, float dy) {
        v.left += dx;
        v.right += dx;
        v.top += dy;
        v.bottom += dy;
        changed = true;
    };
    if (v.left < 0) shift(-v.left, 0);
    if (v.top < 0) shift(0, -v.top);
    if (CanvasW() < v.right) shift(CanvasW() - v.right, 0);
    if (CanvasH() < v.bottom) shift(0, CanvasH() - v.bottom);
    // A canvas smaller than the window snaps back to the surface.
    if (v.left < 0) {
        CanvasW() = static_cast<float>(layout_.SurfaceWidth);
        v.left = 0;
        v.right = CanvasW();
        changed = true;
    }
    if (v.top < 0) {
        CanvasH() = static_cast<float>(layout_.SurfaceHeight);
        v.top = 0;
        v.bottom = CanvasH();
        changed = true;
    }
    return changed;
}

void TreemapNavigator::Recalculate() {
    ClampView();
    layout_.DiskTreeMap_CalcPixels(Root(), false);
    if (ClampView()) layout_.DiskTreeMap_CalcPixels(Root(), false);
}

void TreemapNavigator::ZoomTo(double zy, double zx) {
    if (!HasTree() || NearZero(CanvasW()) || NearZero(CanvasH())) return;
    const float w = static_cast<float>(layout_.SurfaceWidth), h = static_cast<float>(layout_.SurfaceHeight);
    TViewWindow& v = layout_.View;
    double cx = ViewWidth() / 2, cy = ViewHeight() / 2;
    if (ZoomCentre == TZoomCentre::WheelPoint) {
        cx = WheelX;
        cy = WheelY;
    } else if (ZoomCentre == TZoomCentre::Node && CurrentNode && CurrentNode->_BoxInfo) {
        // A node without a box (too small, or out of view) has no position
        // in pixels: the zoom then keeps the view centre.
        cx = CalcNodeAbsoluteX_in_px_even_if_invisible(CurrentNode) - v.left + CurrentNode->_BoxInfo->_PixelsW / 2;
        cy = CalcNodeAbsoluteY_in_px_even_if_invisible(CurrentNode) - v.top + CurrentNode->_BoxInfo->_PixelsH / 2;
        if (ZoomInward) {
            cx += (cx - w / 2) / 2;
            cy += (cy - h / 2) / 2;
        }
    }
    const double oldW = CanvasW(), oldH = CanvasH();
    CanvasW() = static_cast<float>(w * zx);
    CanvasH() = static_cast<float>(h * zy);
    v.left = static_cast<float>(CanvasW() * (v.left + cx) / oldW - cx);
    v.top = static_cast<float>(CanvasH() * (v.top + cy) / oldH - cy);
    v.right = v.left + w;
    v.bottom = v.top + h;
    Recalculate();
}

void TreemapNavigator::ZoomToRect(float left, float top, float right, float bottom) {
    if (!HasTree() || NearZero(right - left) || NearZero(bottom - top)) return;
    const double fx = layout_.SurfaceWidth / static_cast<double>(right - left);
    const double fy = layout_.SurfaceHeight / static_cast<double>(bottom - top);
    CanvasW() = static_cast<float>(CanvasW() * fx);
    CanvasH() = static_cast<float>(CanvasH() * fy);
    layout_.View = {static_cast<float>(left * fx), static_cast<float>(top * fy), static_cast<float>(right * fx),
                    static_cast<float>(bottom * fy)};
    Recalculate();
}

void TreemapNavigator::ZoomStepBy(double d) {
    if (!HasTree()) return;
    const bool inward = d > 0;
    const double zx = ZoomX(), zy = ZoomY();
    const double q = zx / zy;
    const double byHeight = CanvasH() / (ViewHeight() - 2 * d);
    const double byWidth = CanvasW() / (ViewWidth() - 2 * d);
    if ((q > 1.1 && inward) || (q < 0.9 && !inward))
        ZoomTo(byHeight, zx);
    else if ((q > 1.1 && !inward) || (q < 0.9 && inward))
        ZoomTo(zy, byWidth);
    else
        ZoomTo(byWidth / q, byWidth);
}

bool TreemapNavigator::WheelZoom(float x, float y, bool up) {
    if (!HasTree()) return false;
    if (x < 0 || y < 0 || x > layout_.SurfaceWidth || y > layout_.SurfaceHeight) return false;
    ZoomCentre = TZoomCentre::WheelPoint;
    WheelX = x;
    WheelY = y;
    ZoomStep(up);
    return true;
}

bool TreemapNavigator::KnobZoom(int offset, int travel) {
    if (!HasTree() || travel <= 0) return false;
    if (CurrentNode && CurrentNode->SizeTotal < 10) {
        GetMessages().ShowMessage(MessageKind::Info, kTooSmall);
        return false;
    }
    const double f = static_cast<double>(offset - travel / 2) / travel;
    ZoomInward = f > 0;
    const bool nodeCentred = CurrentNode && CurrentNode->_BoxInfo && layout_.IsNodeVisible(CurrentNode);
    ZoomCentre = nodeCentred ? TZoomCentre::Node : TZoomCentre::ViewCentre;
    ZoomStepBy(f * 100);
    return true;
}

void TreemapNavigator::ScrollStep(TScrollDirection direction) {
    if (!HasTree()) return;
    const float vertical = 0.06f * ViewWidth(), horizontal = 0.06f * ViewHeight();
    switch (direction) {
        case TScrollDirection::Up:
            PanBy(0, -vertical);
            break;
        case TScrollDirection::Down:
            PanBy(0, vertical);
            break;
        case TScrollDirection::Left:
            PanBy(-horizontal, 0);
            break;
        case TScrollDirection::Right:
            PanBy(horizontal, 0);
            break;
    }
}

void TreemapNavigator::PanBy(float dx, float dy) {
    if (!HasTree()) return;
    TViewWindow& v = layout_.View;
    v.left += dx;
    v.right += dx;
    v.top += dy;
    v.bottom += dy;
    ClampView();
    // Boxes coming into view must exist before they are drawn or hit.
    layout_.DiskTreeMap_CalcViewPixels();
    Redraw();
}

void TreemapNavigator::DragStart(float x, float y) {
    dragX_ = x;
    dragY_ = y;
}

bool TreemapNavigator::DragTo(float x, float y) {
    if (std::fabs(x - dragX_) <= 2 && std::fabs(y - dragY_) <= 2) return false;
    HoveredNode = nullptr;
    PanBy(-(x - dragX_), -(y - dragY_));
    dragX_ = x;
    dragY_ = y;
    return true;
}

TScrollbarState TreemapNavigator::HorizontalScrollbar() {
    TScrollbarState bar;
    if (!HasTree()) return bar;
    TViewWindow& v = layout_.View;
    v.right = std::min(v.right, CanvasW());
    bar.maximum = static_cast<int>(std::lround(CanvasW()));
    bar.pageSize = static_cast<int>(std::lround(ViewWidth()));
    bar.position = static_cast<int>(v.left);
    bar.smallChange = AtLeastOne(bar.pageSize / 100);
    bar.largeChange = AtLeastOne(bar.pageSize * 20 / 100);
    return bar;
}

TScrollbarState TreemapNavigator::VerticalScrollbar() {
    TScrollbarState bar;
    if (!HasTree()) return bar;
    TViewWindow& v = layout_.View;
    v.bottom = std::min(v.bottom, CanvasH());
    bar.maximum = static_cast<int>(std::lround(CanvasH()));
    bar.pageSize = static_cast<int>(std::lround(ViewHeight()));
    bar.position = static_cast<int>(v.top);
    bar.smallChange = AtLeastOne(bar.pageSize / 100);
    bar.largeChange = AtLeastOne(bar.pageSize * 20 / 100);
    return bar;
}

int TreemapNavigator::ZoomSliderPosition(int maximum) {
    if (!HasTree() || NearZero(CanvasW())) return maximum;
    const double a = ViewWidth() * maximum / CanvasW();
    return NearZero(a) ? maximum : maximum - static_cast<int>(a) + 1;
}

bool TreemapNavigator::ScrollbarMoved(bool horizontal, int position, int maximum, int pageSize) {
    if (!HasTree() || NearZero(maximum - pageSize)) return false;
    TViewWindow& v = layout_.View;
    const TViewWindow before = v;
    const int oldLeft = static_cast<int>(v.left), oldTop = static_cast<int>(v.top);
    if (horizontal) {
        const float width = ViewWidth();
        v.left = (CanvasW() - width) * position / static_cast<float>(maximum - pageSize);
        v.right = v.left + width;
    } else {
        const float height = ViewHeight();
        v.top = (CanvasH() - height) * position / static_cast<float>(maximum - pageSize);
        v.bottom = v.top + height;
    }
    ClampView();
    if (v.left != before.left || v.top != before.top || v.right != before.right || v.bottom != before.bottom) {
        layout_.DiskTreeMap_CalcViewPixels();
    }
    return static_cast<int>(v.left) != oldLeft || static_cast<int>(v.top) != oldTop;
}

void TreemapNavigator::SelectNode(TDiskTreeMapEntry* node) {
    if (!node) {
        SelectedFile = nullptr;
        SelectedFolder = nullptr;
        return;
    }
    if (node->EntryType == EntryType_File) {
        SelectedFile = node;
        SelectedFolder = node->ParentNodeIdx;
        return;
    }
    SelectedFolder = node;
    if (SelectedFile && SelectedFile->ParentNodeIdx != node) SelectedFile = nullptr;
}

bool TreemapNavigator::SelectParent() {
    TDiskTreeMapEntry* root = Root();
    if (!root || !SelectedFolder || SelectedFolder == root) return false;
    TDiskTreeMapEntry* parent = SelectedFolder->ParentNodeIdx;
    if (!parent) return false;
    if (parent != root) SelectedFolder = parent;
    if (parent->_BoxInfo && parent->_BoxInfo->_AbsRect.Left >= layout_.View.left) {
        Redraw();
        return false;
    }
    ZoomToNode(parent);
    return true;
}

void TreemapNavigator::ZoomToNode(TDiskTreeMapEntry* node) {
    if (!node) return;
    if (node->EntryType == EntryType_File) {
        SelectedFolder = node->ParentNodeIdx;
        SelectedFile = node;
    } else {
        SelectedFolder = node;
    }
    ZoomTarget = node;
    AnimationStep = 0;
}

void TreemapNavigator::ZoomToParent(TDiskTreeMapEntry* node) {
    if (!node) return;
    ZoomToNode(node->ParentNodeIdx ? node->ParentNodeIdx : Root());
}

bool TreemapNavigator::ZoomAnimationTick() {
    ++AnimationStep;
    TDiskTreeMapEntry* root = Root();
    if (AnimationStep > 50 || !ZoomTarget || !HasTree()) return false;
    if (NearZero(CanvasW()) || NearZero(CanvasH())) return false;
    const double sx = root->Geometry()._BigW / CanvasW(), sy = root->Geometry()._BigH / CanvasH();
    if (ZoomTarget->SizeTotal < 10) {
        GetMessages().ShowMessage(MessageKind::Info, kTooSmall);
        return false;
    }
    if (NearZero(sx) || NearZero(sy)) return false;
    // The target may lie where the map was never drawn: place it first.
    layout_.PlaceAncestors(ZoomTarget);
    const float canvasW = CanvasW(), canvasH = CanvasH();
    float l = static_cast<float>(CalcNodeAbsoluteX_in_pp(ZoomTarget) / sx);
    float t = static_cast<float>(CalcNodeAbsoluteY_in_pp(ZoomTarget) / sy);
    float r = static_cast<float>(l + ZoomTarget->Geometry()._BigW / sx);
    float b = static_cast<float>(t + ZoomTarget->Geometry()._BigH / sy);
    l = std::max(l, 0.0f);
    t = std::max(t, 0.0f);
    r = std::min(r, canvasW);
    b = std::min(b, canvasH);
    const TViewWindow v = layout_.View;
    if (v.left <= l && r <= v.right && v.top <= t && b <= v.bottom) {
        l = std::max(l - 100, 0.0f);
        t = std::max(t - 100, 0.0f);
        r = std::min(r + 100, canvasW);
        b = std::min(b + 100, canvasH);
        if (std::fabs(l - v.left) / canvasW < 0.001 && std::fabs(r - v.right) / canvasW < 0.001 &&
            std::fabs(t - v.top) / canvasH < 0.001 && std::fabs(b - v.bottom) / canvasH < 0.001) {
            PushState();
            return false;
        }
        ZoomToRect(v.left + (l - v.left) / 5, v.top + (t - v.top) / 5, v.right + (r - v.right) / 5,
                   v.bottom + (b - v.bottom) / 5);
        return true;
    }
    // Outside the view: step back first; these steps do not count.
    const float q = static_cast<float>(ZoomX() / ZoomY());
    ZoomToRect(v.left - 100 * q, v.top - 100, v.right + 100 * q, v.bottom + 100);
    --AnimationStep;
    return true;
}

void TreemapNavigator::Resize(int width, int height) {
    const int oldW = layout_.SurfaceWidth, oldH = layout_.SurfaceHeight;
    layout_.SurfaceWidth = width;
    layout_.SurfaceHeight = height;
    if (!HasTree() || oldW <= 0 || oldH <= 0) return;
    const double sx = static_cast<double>(width) / oldW, sy = static_cast<double>(height) / oldH;
    CanvasW() = static_cast<float>(CanvasW() * sx);
    CanvasH() = static_cast<float>(CanvasH() * sy);
    const TViewWindow v = layout_.View;
    const float top = static_cast<float>((v.top + (v.bottom - v.top) / 2) * sy - height / 2.0);
    const float left = static_cast<float>((v.left + (v.right - v.left) / 2) * sx - width / 2.0);
    ZoomToRect(left, top, left + width, top + height);
}

void TreemapNavigator::ResetZoom() {
    if (!HasTree()) return;
    const float w = static_cast<float>(layout_.SurfaceWidth), h = static_cast<float>(layout_.SurfaceHeight);
    layout_.View = {0, 0, w, h};
    CanvasW() = w;
    CanvasH() = h;
    layout_.DiskTreeMap_CalcPixels(Root(), false);
}

std::string TreemapNavigator::StateText() {
    const TViewWindow& v = layout_.View;
    auto i = [](double value) { return std::to_string(static_cast<long long>(value)); };
    return i(CanvasW()) + "," + i(CanvasH()) + "," + i(v.left) + "," + i(v.top) + "," + i(v.right) + "," + i(v.bottom) +
           "," + i(layout_.SurfaceWidth) + "," + i(layout_.SurfaceHeight);
}

bool TreemapNavigator::PushState() {
    if (!HasTree()) return false;
    if (history_.empty()) {
        const std::string w = std::to_string(layout_.SurfaceWidth), h = std::to_string(layout_.SurfaceHeight);
        history_.push_back(w + "," + h + ",0,0," + w + "," + h + "," + w + "," + h);
        historyIndex_ = 0;
    }
    const std::string entry = StateText();
    if (historyIndex_ >= 0 && history_[static_cast<std::size_t>(historyIndex_)] == entry) return false;
    history_.resize(static_cast<std::size_t>(historyIndex_ + 1));
    history_.push_back(entry);
    historyIndex_ = static_cast<int>(history_.size()) - 1;
    return true;
}

bool TreemapNavigator::Back() {
    PushState();
    if (historyIndex_ <= 0) return false;
    --historyIndex_;
    Restore(history_[static_cast<std::size_t>(historyIndex_)]);
    return true;
}

bool TreemapNavigator::Forward() {
    if (!CanGoForward()) return false;
    ++historyIndex_;
    Restore(history_[static_cast<std::size_t>(historyIndex_)]);
    return true;
}

void TreemapNavigator::Restore(const std::string& entry) {
    if (!HasTree()) return;
    double n[8] = {};
    const std::vector<std::string> parts = SplitString(entry, ",", false);
    for (std::size_t i = 0; i < 8 && i < parts.size(); ++i) {
        char* end = nullptr;
        const double value = std::strtod(parts[i].c_str(), &end);
        n[i] = end && *end == '\0' && end != parts[i].c_str() ? value : 0;
    }
    const double sx = NearZero(n[6]) ? 1 : layout_.SurfaceWidth / n[6];
    const double sy = NearZero(n[7]) ? 1 : layout_.SurfaceHeight / n[7];
    CanvasW() = static_cast<float>(std::trunc(n[0] * sx));
    CanvasH() = static_cast<float>(std::trunc(n[1] * sy));
    layout_.View = {static_cast<float>(std::trunc(n[2] * sx)), static_cast<float>(std::trunc(n[3] * sy)),
                    static_cast<float>(std::trunc(n[4] * sx)), static_cast<float>(std::trunc(n[5] * sy))};
    layout_.DiskTreeMap_CalcPixels(Root(), false);
}

}  // namespace tandrel
