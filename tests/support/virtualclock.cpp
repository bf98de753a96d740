#include "virtualclock.h"

#include <algorithm>

namespace tarn::test {

class VirtualClock::VirtualTimer final : public Timer
{
public:
    explicit VirtualTimer(VirtualClock &clock) : m_clock(clock)
    {
        m_clock.m_timers.push_back(this);
    }
    ~VirtualTimer() override { std::erase(m_clock.m_timers, this); }

    void setInterval(milliseconds interval) override
    {
        m_interval = interval;
        if (m_enabled)
            arm();
    }
    milliseconds interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        m_enabled = enabled;
        if (enabled)
            arm();
    }
    bool isEnabled() const override { return m_enabled; }
    void setTickHandler(std::function<void()> handler) override { m_handler = std::move(handler); }

    void arm()
    {
        m_due = m_clock.m_now + std::max(m_interval, milliseconds(1));
        m_order = ++m_clock.m_armings;
    }

    VirtualClock &m_clock;
    std::function<void()> m_handler;
    milliseconds m_interval{0};
    milliseconds m_due{0};
    quint64 m_order = 0;
    bool m_enabled = false;
};

std::unique_ptr<Timer> VirtualClock::createTimer()
{
    return std::make_unique<VirtualTimer>(*this);
}

void VirtualClock::advance(milliseconds span)
{
    const milliseconds target = m_now + span;
    for (;;) {
        VirtualTimer *next = nullptr;
        for (VirtualTimer *t : m_timers) {
            if (!t->m_enabled || t->m_due > target)
                continue;
            if (!next || t->m_due < next->m_due ||
                (t->m_due == next->m_due && t->m_order < next->m_order))
                next = t;
        }
        if (!next)
            break;
        m_now = next->m_due;
        next->m_due += std::max(next->m_interval, milliseconds(1));
        next->m_order = ++m_armings;
        if (next->m_handler)
            next->m_handler();
    }
    m_now = target;
}

} // namespace tarn::test
