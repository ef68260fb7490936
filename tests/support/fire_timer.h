#pragma once
// Tests drive timers instead of waiting for them: FireTimer runs a running
// timer's timeout now, as the end of its interval would, on this thread.
#include <QMetaObject>
#include <QTimer>

namespace tandrel::testing {

// False, and nothing runs, when the timer is not running. A single-shot
// timer stops first, as it does when it times out; a repeating one keeps
// running.
inline bool FireTimer(QTimer& timer) {
    if (!timer.isActive()) return false;
    if (timer.isSingleShot()) timer.stop();
    // timeout() is a private signal: only the meta-object may raise it.
    return QMetaObject::invokeMethod(&timer, "timeout", Qt::DirectConnection);
}

}  // namespace tandrel::testing
