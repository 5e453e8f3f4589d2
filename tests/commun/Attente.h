#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace vp::test {

// Lets the event loop run until `condition` holds, for at most `delaiMaxMs` milliseconds (a
// loaded machine may be slow); returns whether it holds.
inline bool attendreQue(const std::function<bool()>& condition, int delaiMaxMs = 20000) {
    QElapsedTimer chrono;
    chrono.start();
    while (!condition()) {
        if (chrono.elapsed() > delaiMaxMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace vp::test
