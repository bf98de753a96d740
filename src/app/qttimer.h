#pragma once

#include "app/timer.h"

#include <QTimer>
#include <memory>

class QSocketNotifier;

namespace tarn {

// A window timer that keeps its period to well under a millisecond, so that a 5 ms repeat
// really repeats every 5 ms. On Linux the kernel counts the period (a timerfd, watched by
// the event loop), because the event loop's own timers round every wait up to a whole
// millisecond: a 5 ms repeat would tick at about 5.2 ms. Elsewhere a precise QTimer.
class QtTimer final : public Timer
{
public:
    QtTimer();
    ~QtTimer() override;
    void setInterval(milliseconds interval) override;
    milliseconds interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_enabled; }
    void setTickHandler(std::function<void()> handler) override { m_handler = std::move(handler); }

private:
    void arm();
    void tick();

    std::function<void()> m_handler;
    milliseconds m_interval{0};
    bool m_enabled = false;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_fallback;
};

class QtTimerFactory final : public TimerFactory
{
public:
    std::unique_ptr<Timer> createTimer() override { return std::make_unique<QtTimer>(); }
};

} // namespace tarn
