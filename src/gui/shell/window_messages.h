#pragma once
// The window's side of the Messages interface: boxes, log lines and
// notifications always appear from the window's thread, whichever thread
// reported them. A worker that shows a box or asks a question waits for the
// answer; a log line or notification never makes it wait.
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>

#include "common/messages.h"

namespace tandrel {

class WindowMessages : public Messages {
public:
    // window: owner of the boxes; addErrorLine: puts a line into the log.
    WindowMessages(QWidget* window, std::function<void(const std::string&)> addErrorLine);

    void ShowMessage(MessageKind kind, const std::string& text) override;
    void AddErrorLine(const std::string& text) override;
    void ShowNotification(const std::string& text) override;
    MessageAnswer Ask(AskButtons buttons, const std::string& text, const std::string& caption) override;
    bool IsCtrlHeld() override;
    // Under X11: the active window is full screen.
    bool IsFullScreenAppInFront() override;

    // Set while the window closes and waits for its workers: a worker's box
    // then becomes a log line and its question gets the cautious answer, so
    // the worker never waits for a window that waits for it.
    void SetClosing(bool closing) { closing_ = closing; }

private:
    // Runs f on the window's thread: directly when already there, else
    // queued, waiting for it when wait is set.
    void OnWindowThread(std::function<void()> f, bool wait);

    QPointer<QWidget> window_;
    std::function<void(const std::string&)> addErrorLine_;
    std::atomic<bool> closing_{false};
};

// The fading pop-up of a notification: shown for three seconds in the
// bottom-right corner of the window's screen.
void ShowFadingNotification(QWidget* window, const QString& text);

}  // namespace tandrel
