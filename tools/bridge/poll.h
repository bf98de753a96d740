#pragma once

#include "app/timer.h"
#include "lineservice.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <set>

namespace tarn::bridge {

// The gateway's own questions to its projectors, so that the live state stays fresh while
// no client asks. Every period, each projector's status (CR0), then its input and mutes
// (CR1, CRA) when that status says it is on; every kSlowEvery periods, its lamp hours,
// lamps and temperatures (CR3, CR7, CR6), which stay due until answered (the first round
// asks everything).
//
// Each code is a background request of its own: the line gives it a turn only when no
// client's request and no raw frame waits, and not within LineQueue::kBackgroundAfterRaw of
// a raw transaction, so that a waiting request is delayed by at most the one frame on the
// line. A question still waiting from an earlier period is not asked twice. A projector
// whose status went unanswered is asked only in the slow periods until it answers, so that
// an address with no projector behind it does not keep the line waiting for replies.
class Poll final
{
public:
    static constexpr int kSlowEvery = 12;

    // `prefixes`: the addresses served ("" or "A001" to "A004"; the broadcast is skipped).
    Poll(LineService &line, TimerFactory &timers, const QList<QByteArray> &prefixes,
         milliseconds period);
    ~Poll();
    Poll(const Poll &) = delete;
    Poll &operator=(const Poll &) = delete;

    // The first round now, then one every period.
    void start();

private:
    void round();
    void ask(const QByteArray &prefix, const QByteArray &code);
    void onAnswer(const QByteArray &prefix, const QByteArray &code, const LineResult &result);

    LineService &m_line;
    std::unique_ptr<Timer> m_timer;
    QList<QByteArray> m_prefixes;
    int m_round = 0;
    std::set<QByteArray> m_asking;      // prefix + code, waiting for the line
    std::set<QByteArray> m_due;         // prefix + code of the slow group, not yet answered
    std::set<QByteArray> m_unreachable; // prefixes whose status went unanswered
};

} // namespace tarn::bridge
