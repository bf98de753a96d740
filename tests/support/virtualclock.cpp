#include "virtualclock.h"

#include <algorithm>

namespace tarn::test {

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
    const auto earlier = [](const VirtualTimer *a, const VirtualTimer *b) {
        return std::pair(a->m_due, a->m_order) < std::pair(b->m_due, b->m_order);
    };
    for (;;) {
        VirtualTimer *next = nullptr;
        for (VirtualTimer *t : m_timers) {
            if (t->m_enabled && t->m_due <= target && (!next || earlier(t, next)))
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
