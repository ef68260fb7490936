#include "gui/disk/treemap_surface.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include "gui/disk/treemap_painter.h"

namespace tandrel {

namespace {

// Surface pixels: the pointer's position truncated, as the image's pixels are
// addressed.
QPoint SurfacePoint(const QPointF& position) {
    return QPoint(static_cast<int>(position.x()), static_cast<int>(position.y()));
}

}  // namespace

TTreemapSurface::TTreemapSurface(QWidget* parent) : QWidget(parent) {
    setObjectName("imageDiskTreemap");
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    // The image covers every pixel it has; the rest is filled by hand.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TTreemapSurface::SetPainter(TTreemapPainter* painter) {
    if (changed_) disconnect(changed_);
    painter_ = painter;
    if (painter) {
        changed_ = connect(painter, &TTreemapPainter::imageChanged, this, [this](const QRect& area) { update(area); });
    }
    update();
}

void TTreemapSurface::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = event->rect();
    QRect imageRect;
    if (painter_ && !painter_->Image().isNull()) {
        const QImage& image = painter_->Image();
        imageRect = area & image.rect();
        if (!imageRect.isEmpty()) p.drawImage(imageRect.topLeft(), image, imageRect);
    }
    // Whatever the image does not cover (before the first sizing, or while
    // a resize waits for the new bitmap) shows the background.
    const QRegion rest = QRegion(area).subtracted(imageRect);
    for (const QRect& part : rest) p.fillRect(part, QColor::fromRgb(TTreemapPainter::kBackgroundColor));
}

void TTreemapSurface::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    emit surfaceMouseDown(SurfacePoint(event->position()), event->button(), event->modifiers());
}

void TTreemapSurface::mouseMoveEvent(QMouseEvent* event) {
    emit surfaceMouseMove(SurfacePoint(event->position()), event->buttons(), event->modifiers());
}

void TTreemapSurface::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = SurfacePoint(event->position());
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(pos);
    if (event->button() == Qt::LeftButton) pressed_ = false;
    emit surfaceMouseUp(pos, event->button(), event->modifiers());
    if (click) emit surfaceClick(pos, event->modifiers());
}

void TTreemapSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: the double click first, then the
    // press itself; its release is no click of its own.
    const QPoint pos = SurfacePoint(event->position());
    pressed_ = false;
    emit surfaceDoubleClick(pos, event->button(), event->modifiers());
    emit surfaceMouseDown(pos, event->button(), event->modifiers());
}

void TTreemapSurface::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    emit surfaceWheel(SurfacePoint(event->position()), delta, event->modifiers());
}

void TTreemapSurface::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit surfaceMouseLeave();
}

void TTreemapSurface::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit surfaceResized(event->size());
}

}  // namespace tandrel
