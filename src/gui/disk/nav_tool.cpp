#include "gui/disk/nav_tool.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "scan/scan_model.h"
#include "treemap/treemap_navigation.h"

namespace tandrel {

namespace {

const QColor kFace(226, 230, 238);
const QColor kRim(120, 128, 145);
const QColor kArrow(70, 80, 100);
const QColor kKnob(64, 110, 180);

QPixmap NewPicture(int w, int h) {
    QPixmap picture(w, h);
    picture.fill(Qt::transparent);
    return picture;
}

void Triangle(QPainter& p, QPoint a, QPoint b, QPoint c) { p.drawPolygon(QPolygon({a, b, c})); }

// The pad: a rounded face with an arrow in each edge zone.
QPixmap PadPicture() {
    const int s = TFrameNavTool::kPadSide, e = TFrameNavTool::kEdge, m = s / 2;
    QPixmap picture = NewPicture(s, s);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kRim, 1));
    p.setBrush(kFace);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), 12, 12);
    p.setBrush(kFace.darker(108));
    p.drawEllipse(QRectF(e, e, s - 2 * e, s - 2 * e));
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    Triangle(p, {m, 3}, {m - 6, 11}, {m + 6, 11});
    Triangle(p, {m, s - 4}, {m - 6, s - 12}, {m + 6, s - 12});
    Triangle(p, {3, m}, {11, m - 6}, {11, m + 6});
    Triangle(p, {s - 4, m}, {s - 12, m - 6}, {s - 12, m + 6});
    return picture;
}

QPixmap PadKnobPicture() {
    const int k = TFrameNavTool::kPadKnob;
    QPixmap picture = NewPicture(k, k);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kKnob.darker(140), 1));
    p.setBrush(kKnob);
    p.drawEllipse(QRectF(0.5, 0.5, k - 1, k - 1));
    p.setBrush(kKnob.lighter(150));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(k / 2.0 - 3, k / 2.0 - 3, 6, 6));
    return picture;
}

// The zoom bar: "+" at the bottom (pushing down zooms in), "-" at the top.
QPixmap BarPicture() {
    const int w = TFrameNavTool::kBarWidth, h = TFrameNavTool::kBarHeight;
    QPixmap picture = NewPicture(w, h);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kRim, 1));
    p.setBrush(kFace);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 6, 6);
    p.setPen(QPen(kRim, 2));
    p.drawLine(w / 2, 12, w / 2, h - 12);
    p.setPen(QPen(kArrow, 2));
    p.drawLine(w / 2 - 4, 5, w / 2 + 4, 5);
    p.drawLine(w / 2 - 4, h - 6, w / 2 + 4, h - 6);
    p.drawLine(w / 2, h - 10, w / 2, h - 2);
    return picture;
}

QPixmap BarKnobPicture() {
    const int w = TFrameNavTool::kBarWidth, h = TFrameNavTool::kBarKnob;
    QPixmap picture = NewPicture(w, h);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kKnob.darker(140), 1));
    p.setBrush(kKnob);
    p.drawRoundedRect(QRectF(2.5, 0.5, w - 5, h - 1), 3, 3);
    p.setPen(QPen(kKnob.lighter(150), 1));
    p.drawLine(7, h / 2, w - 8, h / 2);
    return picture;
}

}  // namespace

TNavToolImage::TNavToolImage(const QPixmap& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    setFixedSize(picture.size());
}

void TNavToolImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

void TNavToolImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit imageMouseDown(event->position().toPoint());
}

void TNavToolImage::mouseMoveEvent(QMouseEvent* event) { emit imageMouseMove(event->position().toPoint()); }

void TNavToolImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit imageMouseUp(event->position().toPoint());
}

TFrameNavTool::TFrameNavTool(ScanModel& model, TreemapNavigator& navigator, QWidget* panel, QPoint padAt, QPoint barAt)
    : QObject(panel), model_(model), navigator_(navigator), padAt_(padAt), barAt_(barAt) {
    setObjectName("frame1");
    imageNavTool = new TNavToolImage(PadPicture(), panel);
    imageNavTool->setObjectName("imageNavTool");
    imageNavTool->move(padAt);
    imageElevationTool = new TNavToolImage(BarPicture(), panel);
    imageElevationTool->setObjectName("imageElevationTool");
    imageElevationTool->move(barAt);
    // A press on a knob is a press on its picture below at the same point.
    imageNavToolSmall = new TNavToolImage(PadKnobPicture(), panel);
    imageNavToolSmall->setObjectName("imageNavToolSmall");
    imageNavToolSmall->setAttribute(Qt::WA_TransparentForMouseEvents);
    imageElevationToolSmall = new TNavToolImage(BarKnobPicture(), panel);
    imageElevationToolSmall->setObjectName("imageElevationToolSmall");
    imageElevationToolSmall->setAttribute(Qt::WA_TransparentForMouseEvents);
    CentrePadKnob();
    PlaceBarKnob();

    timerNavigation = new QTimer(this);
    timerNavigation->setObjectName("timerNavigation");
    timerNavigation->setInterval(100);
    connect(timerNavigation, &QTimer::timeout, this, &TFrameNavTool::NavigationTick);
    timerElevation = new QTimer(this);
    timerElevation->setObjectName("timerElevation");
    timerElevation->setInterval(100);
    connect(timerElevation, &QTimer::timeout, this, &TFrameNavTool::ElevationTick);

    connect(imageNavTool, &TNavToolImage::imageMouseDown, this, &TFrameNavTool::PadMouseDown);
    connect(imageNavTool, &TNavToolImage::imageMouseMove, this, &TFrameNavTool::PadMouseMove);
    connect(imageNavTool, &TNavToolImage::imageMouseUp, this, [this](QPoint) { PadMouseUp(); });
    connect(imageElevationTool, &TNavToolImage::imageMouseDown, this, &TFrameNavTool::BarMouseDown);
    connect(imageElevationTool, &TNavToolImage::imageMouseMove, this, &TFrameNavTool::BarMouseMove);
    connect(imageElevationTool, &TNavToolImage::imageMouseUp, this, [this](QPoint) { BarMouseUp(); });
}

bool TFrameNavTool::HasTree() const { return model_.DiskTreeMapEntries.Count() > 1; }

int TFrameNavTool::EdgeZone(QPoint pos) {
    const int x = pos.x(), y = pos.y(), inner = kPadSide - kEdge;
    const bool midX = kEdge < x && x < inner, midY = kEdge < y && y < inner;
    if (y < kEdge && midX) return 1 + static_cast<int>(TScrollDirection::Up);
    if (y > inner && midX) return 1 + static_cast<int>(TScrollDirection::Down);
    if (x < kEdge && midY) return 1 + static_cast<int>(TScrollDirection::Left);
    if (x > inner && midY) return 1 + static_cast<int>(TScrollDirection::Right);
    return 0;
}

void TFrameNavTool::ScrollZone(int zone) {
    if (zone == 0) return;
    {
        std::lock_guard lock(model_.csTreemap);
        navigator_.ScrollStep(static_cast<TScrollDirection>(zone - 1));
    }
    if (OnViewMoved) OnViewMoved();
}

void TFrameNavTool::PadMouseDown(QPoint pos) {
    if (OnShowPage) OnShowPage();
    padPointer_ = pos;
    padPress_ = pos;
    if (int zone = EdgeZone(pos)) {
        ScrollZone(zone);
        padMode_ = 1;
        padDown_ = true;
        timerNavigation->start();
    } else if (std::abs(pos.x() - kPadSide / 2) < 12 && std::abs(pos.y() - kPadSide / 2) < 12) {
        // The knob pans only once it has been pulled away from the press
        // point, so a plain click on it never moves the map.
        padMode_ = 2;
        padDown_ = true;
    }
}

void TFrameNavTool::PadMouseMove(QPoint pos) {
    padPointer_ = pos;
    if (padMode_ != 2 || !padDown_) return;
    if (!timerNavigation->isActive()) {
        // Either axis counts: a straight sideways pull must pan too.
        if (std::abs(pos.x() - padPress_.x()) < 3 && std::abs(pos.y() - padPress_.y()) < 3) return;
        timerNavigation->start();
    }
    const int low = kEdge, high = kPadSide - kPadKnob - kEdge;
    const int x = std::clamp(pos.x() - kPadKnob / 2, low, high);
    const int y = std::clamp(pos.y() - kPadKnob / 2, low, high);
    imageNavToolSmall->move(padAt_ + QPoint(x, y));
}

void TFrameNavTool::PadMouseUp() {
    const bool wasDown = padDown_;
    padDown_ = false;
    padMode_ = 0;
    timerNavigation->stop();
    CentrePadKnob();
    if (wasDown && OnPushState) OnPushState();
}

void TFrameNavTool::NavigationTick() {
    if (!HasTree()) return;
    if (padMode_ == 1) {
        ScrollZone(EdgeZone(padPointer_));
        return;
    }
    if (padMode_ != 2) return;
    {
        std::lock_guard lock(model_.csTreemap);
        // Each axis moves by the other axis's extent, as the scroll steps do.
        const float half = kPadSide / 2;
        const float dy = navigator_.ViewWidth() * (padPointer_.y() - half) / 600;
        const float dx = navigator_.ViewHeight() * (padPointer_.x() - half) / 600;
        // A knob held at the middle leaves the view alone: no redraw.
        if (dx == 0 && dy == 0) return;
        navigator_.PanBy(dx, dy);
    }
    if (OnViewMoved) OnViewMoved();
}

void TFrameNavTool::CentrePadKnob() {
    const int at = (kPadSide - kPadKnob) / 2;
    imageNavToolSmall->move(padAt_ + QPoint(at, at));
}

void TFrameNavTool::PlaceBarKnob() { imageElevationToolSmall->move(barAt_ + QPoint(0, knobOffset_)); }

void TFrameNavTool::BarMouseDown(QPoint pos) {
    if (OnShowPage) OnShowPage();
    if (std::abs(pos.x() - kBarWidth / 2) < 12 && std::abs(pos.y() - kBarHeight / 2) < 12) zoomDown_ = true;
}

void TFrameNavTool::BarMouseMove(QPoint pos) {
    if (!zoomDown_ || model_.DiskTreeMapEntries.Empty()) return;
    StartElevation(pos.y() - kBarKnob / 2);
}

void TFrameNavTool::StartElevation(int offset) {
    if (offset != -1) knobOffset_ = std::clamp(offset, 0, kKnobTravel);
    PlaceBarKnob();
    if (!timerElevation->isActive()) timerElevation->start();
}

void TFrameNavTool::BarMouseUp() {
    const bool wasDown = zoomDown_ || timerElevation->isActive();
    ReleaseElevation();
    if (wasDown && OnPushState) OnPushState();
}

void TFrameNavTool::ReleaseElevation() {
    zoomDown_ = false;
    knobOffset_ = kKnobTravel / 2;
    PlaceBarKnob();
    timerElevation->stop();
    if (OnElevationReleased) OnElevationReleased();
}

void TFrameNavTool::ElevationTick() {
    if (!HasTree()) return;
    bool zoomed = false;
    {
        std::lock_guard lock(model_.csTreemap);
        zoomed = navigator_.KnobZoom(knobOffset_, kKnobTravel);
    }
    // A node too small to zoom to lets go of the knob (the message is shown).
    if (!zoomed) ReleaseElevation();
}

}  // namespace tandrel
