#include "state/linefeed.h"

#include "linequeue.h"

namespace tarn::bridge {

void feedLiveState(LineQueue &line, LiveState &state, std::function<Moment()> clock)
{
    LiveState *s = &state;
    QObject::connect(&line, &LineQueue::exchanged, s,
                     [s, clock = std::move(clock)](const QByteArray &prefix, const QByteArray &code,
                                                   const QByteArray &reply) {
                         s->observe(prefix, code, reply, clock());
                     });
    QObject::connect(&line, &LineQueue::timedOut, s, [s](const QByteArray &prefix) {
        ++s->counters().timeouts;
        s->observeTimeout(prefix);
    });
    QObject::connect(&line, &LineQueue::silenceChanged, s, &LiveState::setSilenced);
    QObject::connect(&line, &LineQueue::transactionEnded, s, [s] { ++s->counters().transactions; });
    QObject::connect(&line, &LineQueue::answerReused, s, [s] { ++s->counters().reusedAnswers; });
    QObject::connect(&line, &LineQueue::settleWaited, s, [s] { ++s->counters().settleWaits; });
    QObject::connect(&line, &LineQueue::lineStateChanged, s, [s](bool up) { s->setLineUp(up); });
    state.setLineUp(line.lineUp());
}

} // namespace tarn::bridge
