#pragma once
// Waiting for another process or a queued event without a fixed sleep.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace kelpa::test {

// Runs the event loop until `done` holds or the time is up; returns `done()`.
inline bool waitUntil(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace kelpa::test
