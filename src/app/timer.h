#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace tarn {

using std::chrono::milliseconds;

// One window timer: an interval and an enabled flag, ticking once per interval while
// enabled. The rules, the same for every timer of the panel:
//  - enabling a timer starts a fresh countdown of one interval, also when it was
//    already running (a transmission re-arms the reply time-out and the display
//    clearing from its own moment);
//  - writing an interval into a running timer restarts its countdown with the new
//    interval; writing one into a stopped timer only stores it;
//  - disabling stops it; a stopped timer never ticks.
class Timer
{
public:
    virtual ~Timer() = default;
    virtual void setInterval(milliseconds interval) = 0;
    virtual milliseconds interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    // Called on every tick, on the panel's thread.
    virtual void setTickHandler(std::function<void()> handler) = 0;
};

class TimerFactory
{
public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> createTimer() = 0;
};

} // namespace tarn
