#include "gui/widgets/caption_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tandrel {

void TCaptionPanelK::SetCaption(const QString& caption) {
    caption_->setText(caption);
    setAccessibleDescription(caption);
}

QString TCaptionPanelK::Caption() const { return caption_->text(); }

TCaptionPanelK::TCaptionPanelK(const QString& caption, QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);

    auto* bar = new QWidget(this);
    bar->setObjectName("captionBar");
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    bar->setPalette(palette);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 2, 2, 2);
    caption_ = new QLabel(caption, bar);
    close_ = new QToolButton(bar);
    close_->setObjectName("captionButton");
    close_->setText("x");
    close_->setAutoRaise(true);
    barLayout->addWidget(caption_, 1);
    barLayout->addWidget(close_);
    outer->addWidget(bar);

    auto* bodyHost = new QWidget(this);
    body_ = new QVBoxLayout(bodyHost);
    body_->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(bodyHost, 1);

    bar->installEventFilter(this);
    caption_->installEventFilter(this);
    connect(close_, &QToolButton::clicked, this, [this] {
        if (OnCaptionButton)
            OnCaptionButton();
        else
            hide();
    });
    hide();
}

void TCaptionPanelK::ShowCentred() {
    if (!isVisible() && parentWidget()) {
        adjustSize();
        const QSize area = parentWidget()->size();
        move(std::max(0, (area.width() - width()) / 2), std::max(0, (area.height() - height()) / 2));
    }
    show();
    raise();
}

void TCaptionPanelK::KeepInsideParent() {
    if (!parentWidget()) return;
    const QSize area = parentWidget()->size();
    move(std::clamp(x(), 0, std::max(0, area.width() - width())),
         std::clamp(y(), 0, std::max(0, area.height() - height())));
}

bool TCaptionPanelK::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                dragging_ = true;
                dragOffset_ = mouse->globalPosition().toPoint() - pos();
                raise();
                return true;
            }
            break;
        }
        case QEvent::MouseMove:
            if (dragging_) {
                move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
                KeepInsideParent();
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            break;
        default:
            break;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace tandrel
