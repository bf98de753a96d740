#pragma once

#include "app/timer.h"

#include <QTimer>

namespace tarn {

// A window timer on a precise QTimer, so that a 5 ms repeat really repeats every 5 ms.
class QtTimer final : public Timer
{
public:
    QtTimer();
    void setInterval(milliseconds interval) override;
    milliseconds interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_timer.isActive(); }
    void setTickHandler(std::function<void()> handler) override;

private:
    QTimer m_timer;
    milliseconds m_interval{0};
};

class QtTimerFactory final : public TimerFactory
{
public:
    std::unique_ptr<Timer> createTimer() override { return std::make_unique<QtTimer>(); }
};

} // namespace tarn
