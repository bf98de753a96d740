#pragma once

#include "app/timer.h"

#include <QtGlobal>
#include <algorithm>
#include <vector>

namespace tarn::test {

// Timers on a clock that moves only when a test says so: a five-second wait takes
// microseconds and every tick happens at an exact, repeatable moment.
class VirtualClock final : public TimerFactory
{
    class VirtualTimer;

public:
    std::unique_ptr<Timer> createTimer() override;

    // Moves the clock forward, firing every tick that falls due on the way, in order.
    void advance(milliseconds span);
    milliseconds now() const { return m_now; }

private:
    std::vector<VirtualTimer *> m_timers;
    milliseconds m_now{0};
    quint64 m_armings = 0;
};

class VirtualClock::VirtualTimer final : public Timer
{
public:
    explicit VirtualTimer(VirtualClock &clock) : m_clock(clock) { clock.m_timers.push_back(this); }
    ~VirtualTimer() override { std::erase(m_clock.m_timers, this); }

    void setInterval(milliseconds interval) override
    {
        m_interval = interval;
        if (m_enabled)
            arm(m_clock.m_now);
    }
    milliseconds interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        if ((m_enabled = enabled))
            arm(m_clock.m_now);
    }
    bool isEnabled() const override { return m_enabled; }
    void setTickHandler(std::function<void()> handler) override { m_handler = std::move(handler); }

    // Due one interval (at least a millisecond) after `from`; among timers due at the same
    // moment, the one armed first ticks first.
    void arm(milliseconds from)
    {
        m_due = from + std::max(m_interval, milliseconds(1));
        m_order = ++m_clock.m_armings;
    }
    bool before(const VirtualTimer &other) const
    {
        return std::pair(m_due, m_order) < std::pair(other.m_due, other.m_order);
    }

    VirtualClock &m_clock;
    std::function<void()> m_handler;
    milliseconds m_interval{0};
    milliseconds m_due{0};
    quint64 m_order = 0;
    bool m_enabled = false;
};

inline std::unique_ptr<Timer> VirtualClock::createTimer()
{
    return std::make_unique<VirtualTimer>(*this);
}

inline void VirtualClock::advance(milliseconds span)
{
    const milliseconds target = m_now + span;
    for (;;) {
        VirtualTimer *next = nullptr;
        for (VirtualTimer *t : m_timers) {
            if (t->m_enabled && t->m_due <= target && (!next || t->before(*next)))
                next = t;
        }
        if (!next)
            break;
        m_now = next->m_due;
        next->arm(m_now);
        if (next->m_handler)
            next->m_handler();
    }
    m_now = target;
}

} // namespace tarn::test
