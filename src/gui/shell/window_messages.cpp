#include "gui/shell/window_messages.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMessageBox>
#include <QPropertyAnimation>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "platform/desktop/full_screen.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

WindowMessages::WindowMessages(QWidget* window, std::function<void(const std::string&)> addErrorLine)
    : window_(window), addErrorLine_(std::move(addErrorLine)) {}

void WindowMessages::OnWindowThread(std::function<void()> f, bool wait) {
    QObject* context = window_ ? static_cast<QObject*>(window_.data()) : qApp;
    if (!context || QThread::currentThread() == context->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(context, std::move(f), wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void WindowMessages::ShowMessage(MessageKind kind, const std::string& text) {
    if (closing_ && QThread::currentThread() != qApp->thread()) {
        AddErrorLine(text);
        return;
    }
    OnWindowThread(
        [this, kind, text] {
            QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                            QApplication::applicationDisplayName(), Q(text), QMessageBox::Ok, window_);
            if (kind == MessageKind::InfoForeground && window_) {
                window_->raise();
                window_->activateWindow();
            }
            box.exec();
        },
        true);
}

void WindowMessages::AddErrorLine(const std::string& text) {
    OnWindowThread(
        [this, text] {
            if (addErrorLine_) addErrorLine_(text);
        },
        false);
}

void WindowMessages::ShowNotification(const std::string& text) {
    OnWindowThread([this, text] { ShowFadingNotification(window_, Q(text)); }, false);
}

MessageAnswer WindowMessages::Ask(AskButtons buttons, const std::string& text, const std::string& caption) {
    const MessageAnswer cautious = buttons == AskButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::No;
    if (closing_ && QThread::currentThread() != qApp->thread()) return cautious;
    MessageAnswer answer = cautious;
    OnWindowThread(
        [&] {
            const QMessageBox::StandardButtons offered = buttons == AskButtons::OkCancel
                                                             ? QMessageBox::Ok | QMessageBox::Cancel
                                                             : QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            QMessageBox box(QMessageBox::Question, Q(caption.empty() ? "Tandrel" : caption), Q(text), offered, window_);
            switch (box.exec()) {
                case QMessageBox::Ok:
                    answer = MessageAnswer::Ok;
                    break;
                case QMessageBox::Yes:
                    answer = MessageAnswer::Yes;
                    break;
                case QMessageBox::No:
                    answer = MessageAnswer::No;
                    break;
                default:
                    answer = MessageAnswer::Cancel;
                    break;
            }
        },
        true);
    return answer;
}

bool WindowMessages::IsFullScreenAppInFront() {
    // Only an X11 display tells which window is in front and how it is shown.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    return platform::IsFullScreenWindowInFront(qgetenv("DISPLAY").constData());
}

bool WindowMessages::IsCtrlHeld() { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier); }

void ShowFadingNotification(QWidget* window, const QString& text) {
    auto* popup = new QLabel(text, nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setAttribute(Qt::WA_ShowWithoutActivating);
    popup->setObjectName("notification");
    popup->setMargin(10);
    popup->setWordWrap(true);
    popup->setMaximumWidth(400);
    popup->adjustSize();
    QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        popup->move(area.right() - popup->width() - 16, area.bottom() - popup->height() - 16);
    }
    popup->show();
    auto* effect = new QGraphicsOpacityEffect(popup);
    popup->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", popup);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->setDuration(600);
    QObject::connect(fade, &QPropertyAnimation::finished, popup, &QLabel::close);
    // Visible for three seconds in all, the last part fading out.
    QTimer::singleShot(2400, popup, [fade] { fade->start(); });
}

}  // namespace tandrel
