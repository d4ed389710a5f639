#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Processes events until `done` holds or the deadline passes; returns whether it held. Waits on
// the event loop in short slices, so real I/O and timers make progress meanwhile.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
