// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
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

// The longest time the window's thread went without handling its events, from the creation of
// this object on: a timer of that thread ticks every few milliseconds and the gaps between its
// ticks are measured.
class MesureBlocage {
public:
    MesureBlocage() {
        minuterie_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&minuterie_, &QTimer::timeout, [this] { tic(); });
        minuterie_.start(5);
        chrono_.start();
    }
    // In milliseconds, the time since the last tick included.
    qint64 max() const { return std::max(max_, chrono_.elapsed()); }

private:
    void tic() { max_ = std::max(max_, chrono_.restart()); }

    QTimer minuterie_;
    QElapsedTimer chrono_;
    qint64 max_ = 0;
};

}  // namespace vp::test
