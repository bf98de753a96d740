#include "statethrottle.h"

namespace tarn::mqtt {

StateThrottle::StateThrottle(TimerFactory &timers, milliseconds gap, Publish publish)
    : m_timer(timers.createTimer()), m_publish(std::move(publish))
{
    m_timer->setInterval(gap);
    m_timer->setTickHandler([this] { tick(); });
}

void StateThrottle::update(const QByteArray &state)
{
    m_latest = state;
    m_due = m_latest != m_published;
    if (m_due && !m_timer->isEnabled())
        tick();
}

void StateThrottle::republish(const QByteArray &state)
{
    m_published.clear();
    update(state);
}

// Publishes what is due and holds the next message back for one gap; a gap that ends with
// nothing due stops the timer, so that the next change goes out at once.
void StateThrottle::tick()
{
    if (!m_due) {
        m_timer->setEnabled(false);
        return;
    }
    m_due = false;
    m_published = m_latest;
    m_publish(m_latest);
    m_timer->setEnabled(true);
}

} // namespace tarn::mqtt
