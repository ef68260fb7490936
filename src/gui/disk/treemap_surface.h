#pragma once
// The treemap's drawing surface (imageDiskTreemap): shows the painter's
// image as it stands and passes the pointer on as signals in surface pixels,
// for the navigation to act on. It never draws the map itself.
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QWidget>

namespace tandrel {

class TTreemapPainter;

class TTreemapSurface : public QWidget {
    Q_OBJECT

public:
    explicit TTreemapSurface(QWidget* parent = nullptr);

    // The painter whose image is shown; nullptr shows the background alone.
    // Every change the painter reports is repainted.
    void SetPainter(TTreemapPainter* painter);
    TTreemapPainter* Painter() const { return painter_; }

    QSize sizeHint() const override { return QSize(640, 480); }
    QSize minimumSizeHint() const override { return QSize(16, 16); }

signals:
    void surfaceMouseDown(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    // Also without a button held: hovering.
    void surfaceMouseMove(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void surfaceMouseUp(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    // The left button released over the surface after it was pressed there
    // (after the mouse-up signal). A double click comes before the
    // mouse-down signal of its second press, and that press makes no click.
    void surfaceClick(QPoint pos, Qt::KeyboardModifiers modifiers);
    void surfaceDoubleClick(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    // delta in eighths of a degree (120 per notch), positive away from the user.
    void surfaceWheel(QPoint pos, int delta, Qt::KeyboardModifiers modifiers);
    void surfaceMouseLeave();
    void surfaceResized(QSize size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<TTreemapPainter> painter_;
    QMetaObject::Connection changed_;
    bool pressed_ = false;  // a left press on the surface waits for its release
};

}  // namespace tandrel
