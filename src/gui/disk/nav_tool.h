#pragma once
// The navigation frame over the map's top-right corner: a pad whose edges
// scroll and whose knob pans while held away from the middle, and a zoom bar
// whose knob zooms in below the middle and out above it, faster the further
// it is pushed. Both knobs snap back to the middle on release.
#include <QPoint>
#include <QWidget>
#include <functional>

class QTimer;

namespace tandrel {

class ScanModel;
class TreemapNavigator;

// One picture of the frame; presses, moves and releases go to the frame in
// the picture's own coordinates.
class TNavToolImage : public QWidget {
    Q_OBJECT
public:
    TNavToolImage(const QPixmap& picture, QWidget* parent);

signals:
    void imageMouseDown(QPoint pos);
    void imageMouseMove(QPoint pos);
    void imageMouseUp(QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
};

class TFrameNavTool : public QObject {
    Q_OBJECT
public:
    static constexpr int kPadSide = 78;
    static constexpr int kPadKnob = 23;
    static constexpr int kEdge = 15;
    static constexpr int kBarWidth = 24;
    static constexpr int kBarHeight = 76;
    static constexpr int kBarKnob = 12;
    static constexpr int kKnobTravel = kBarHeight - kBarKnob;  // 64

    // The pictures go onto panel, the pad at padAt and the zoom bar at barAt.
    TFrameNavTool(ScanModel& model, TreemapNavigator& navigator, QWidget* panel, QPoint padAt, QPoint barAt);

    // Set by the page: show the map's page, after a pan move the scroll
    // bars, record the view in the history.
    std::function<void()> OnShowPage;
    std::function<void()> OnViewMoved;
    std::function<void()> OnPushState;
    // The zoom knob let go (by the pointer or by a node too small to zoom to).
    std::function<void()> OnElevationReleased;

    TNavToolImage* imageNavTool = nullptr;
    TNavToolImage* imageNavToolSmall = nullptr;
    TNavToolImage* imageElevationTool = nullptr;
    TNavToolImage* imageElevationToolSmall = nullptr;
    QTimer* timerNavigation = nullptr;
    QTimer* timerElevation = nullptr;

    int PadMode() const { return padMode_; }
    bool ZoomKnobGrabbed() const { return zoomDown_; }
    int ZoomKnobOffset() const { return knobOffset_; }
    // Zoom knob offset for an outside control (the developer slider);
    // -1 leaves the offset where the pointer put it.
    void StartElevation(int offset = -1);
    void ReleaseElevation();

    // Handlers, in pad or bar coordinates.
    void PadMouseDown(QPoint pos);
    void PadMouseMove(QPoint pos);
    void PadMouseUp();
    void BarMouseDown(QPoint pos);
    void BarMouseMove(QPoint pos);
    void BarMouseUp();

private:
    void NavigationTick();
    void ElevationTick();
    // The edge zone under pos: 0 none, else 1 + TScrollDirection.
    static int EdgeZone(QPoint pos);
    void ScrollZone(int zone);
    void CentrePadKnob();
    void PlaceBarKnob();
    bool HasTree() const;

    ScanModel& model_;
    TreemapNavigator& navigator_;
    QPoint padAt_, barAt_;
    int padMode_ = 0;  // 0 none, 1 edge scrolling, 2 knob
    bool padDown_ = false;
    QPoint padPress_, padPointer_;
    bool zoomDown_ = false;
    int knobOffset_ = kKnobTravel / 2;
};

}  // namespace tandrel
