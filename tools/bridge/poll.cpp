#include "poll.h"

#include "replies/projectorstatus.h"
#include "traffic/frame.h"

namespace tarn::bridge {
namespace {
const QByteArray kStatus = "CR0";
const QByteArrayList kWhileOn = {"CR1", "CRA"};
const QByteArrayList kSlow = {"CR3", "CR7", "CR6"};
} // namespace

Poll::Poll(LineService &line, TimerFactory &timers, const QList<QByteArray> &prefixes,
           milliseconds period)
    : m_line(line), m_timer(timers.createTimer())
{
    for (const QByteArray &prefix : prefixes) {
        if (prefix != kEveryProjector && !m_prefixes.contains(prefix))
            m_prefixes << prefix;
    }
    m_timer->setInterval(period);
    m_timer->setTickHandler([this] { round(); });
}

Poll::~Poll()
{
    m_line.cancel(this);
}

void Poll::start()
{
    m_timer->setEnabled(true);
    round();
}

void Poll::round()
{
    const bool slow = m_round++ % kSlowEvery == 0;
    for (const QByteArray &prefix : m_prefixes) {
        if (slow) {
            for (const QByteArray &code : kSlow)
                m_due.insert(prefix + code);
        } else if (m_unreachable.contains(prefix)) {
            continue;
        }
        ask(prefix, kStatus);
        for (const QByteArray &code : kSlow) {
            if (m_due.contains(prefix + code))
                ask(prefix, code);
        }
    }
}

void Poll::ask(const QByteArray &prefix, const QByteArray &code)
{
    if (!m_asking.insert(prefix + code).second)
        return;
    m_line.submit(
        this, {prefix, {code}, LineRequest::Priority::Background},
        [this, prefix, code](const LineResult &result) { onAnswer(prefix, code, result); });
}

void Poll::onAnswer(const QByteArray &prefix, const QByteArray &code, const LineResult &result)
{
    m_asking.erase(prefix + code);
    const bool ok = result.status == LineResult::Status::Ok && !result.replies.isEmpty();
    if (ok)
        m_due.erase(prefix + code);
    if (code != kStatus)
        return;
    if (result.status == LineResult::Status::NoReply)
        m_unreachable.insert(prefix);
    else if (ok)
        m_unreachable.erase(prefix);
    if (ok && readReply(QLatin1StringView("CR0"), result.replies[0]).power == PowerState::On) {
        for (const QByteArray &next : kWhileOn)
            ask(prefix, next);
    }
}

} // namespace tarn::bridge
