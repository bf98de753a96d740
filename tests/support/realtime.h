#pragma once

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <functional>

// Real time, for the end-to-end tests (with generous bounds) and the benchmarks only.
namespace tarn::test {

inline void runFor(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds or the time is up; returns whether it holds.
inline bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    QEventLoop loop;
    QTimer::singleShot(timeout, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QTimer poll; // every millisecond, so as not to blur a measured moment
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(std::chrono::milliseconds(1));
    if (!done())
        loop.exec();
    return done();
}

// CPU time (user and system) this process has used so far.
inline std::chrono::nanoseconds processCpuTime()
{
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

} // namespace tarn::test
