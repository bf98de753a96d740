#pragma once

#include "app/timer.h"

#include <QByteArray>
#include <functional>
#include <memory>

namespace tarn::mqtt {

// One projector's state messages: each change goes out at once when the last one went
// out at least a gap ago, else at the end of that gap, as the latest state then; at most
// one message per gap, and none while nothing changed.
class StateThrottle
{
public:
    using Publish = std::function<void(const QByteArray &)>;

    StateThrottle(TimerFactory &timers, milliseconds gap, Publish publish);

    void update(const QByteArray &state);
    // The state even if it is the one published last (after a new connection, or a refused
    // command that must spring a switch back), within the same bound.
    void republish(const QByteArray &state);

private:
    void tick();

    std::unique_ptr<Timer> m_timer;
    Publish m_publish;
    QByteArray m_latest;
    QByteArray m_published;
    bool m_due = false; // m_latest waits for the gap's end
};

} // namespace tarn::mqtt
