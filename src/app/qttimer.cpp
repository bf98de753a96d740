#include "app/qttimer.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace tarn {

QtTimer::QtTimer()
{
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { tick(); });
        return;
    }
#endif
    m_fallback.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_fallback, &QTimer::timeout, &m_fallback, [this] { tick(); });
}

QtTimer::~QtTimer()
{
#ifdef Q_OS_LINUX
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void QtTimer::setInterval(milliseconds interval)
{
    m_interval = interval;
    if (m_enabled)
        arm(); // a running timer counts the new interval from now
}

void QtTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    arm(); // enabling also restarts a running countdown
}

// Starts a fresh countdown of one interval, repeating, or stops the timer.
void QtTimer::arm()
{
    // A timer of 0 ms ticks as often as the event loop turns, as a window timer does.
    const milliseconds period = std::max(m_interval, milliseconds(0));
    if (m_fd < 0) {
        if (m_enabled)
            m_fallback.start(period);
        else
            m_fallback.stop();
        return;
    }
#ifdef Q_OS_LINUX
    itimerspec schedule{};
    if (m_enabled) {
        const auto ns = std::max<long long>(std::chrono::nanoseconds(period).count(), 1);
        schedule.it_value = {time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        schedule.it_interval = schedule.it_value;
    }
    ::timerfd_settime(m_fd, 0, &schedule, nullptr);
#endif
}

void QtTimer::tick()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        // Ticks the loop was too busy to take are one tick, as with any window timer.
        quint64 expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
            return;
    }
#endif
    if (m_enabled && m_handler)
        m_handler();
}

} // namespace tarn
