#include "app/qttimer.h"

namespace tarn {

QtTimer::QtTimer()
{
    m_timer.setTimerType(Qt::PreciseTimer);
}

void QtTimer::setInterval(milliseconds interval)
{
    m_interval = interval;
    if (m_timer.isActive())
        m_timer.start(m_interval); // a running timer counts the new interval from now
}

void QtTimer::setEnabled(bool enabled)
{
    if (enabled)
        m_timer.start(m_interval); // also restarts a running countdown
    else
        m_timer.stop();
}

void QtTimer::setTickHandler(std::function<void()> handler)
{
    QObject::disconnect(&m_timer, &QTimer::timeout, nullptr, nullptr);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(handler));
}

} // namespace tarn
