#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace tarn::bench {

// Runs the event loop for a span of time: the panel's timers and the port keep working.
inline void runFor(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds, checked whenever `sender` emits `signal`, or until
// the time-out. Returns whether done() held.
template<typename Sender, typename Signal>
bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout,
              const Sender *sender, Signal signal)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer::singleShot(timeout, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    loop.exec();
    return done();
}

} // namespace tarn::bench
