#pragma once

#include "app/timer.h"

#include <QtGlobal>
#include <vector>

namespace tarn::test {

// Timers on a clock that moves only when a test says so: a five-second wait takes
// microseconds and every tick happens at an exact, repeatable moment.
class VirtualClock final : public TimerFactory
{
public:
    std::unique_ptr<Timer> createTimer() override;

    // Moves the clock forward, firing every tick that falls due on the way, in order.
    void advance(milliseconds span);
    milliseconds now() const { return m_now; }

private:
    class VirtualTimer;
    friend class VirtualTimer;
    std::vector<VirtualTimer *> m_timers;
    milliseconds m_now{0};
    quint64 m_armings = 0;
};

} // namespace tarn::test
