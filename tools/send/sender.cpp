#include "sender.h"

#include "record.h"
#include "replies/decoding.h"
#include "traffic/linerules.h"
#include "traffic/rendering.h"

namespace tarn::send {

Sender::Sender(CommControl &port, TimerFactory &timers, std::function<milliseconds()> now,
               QTextStream &out, QTextStream &err, QObject *parent)
    : QObject(parent), m_port(port), m_now(std::move(now)), m_out(out), m_err(err),
      m_timeout(timers.createTimer())
{
    m_timeout->setTickHandler([this] { timedOut(); });
    connect(&m_port, &CommControl::onComm, this, &Sender::received);
    connect(&m_port, &CommControl::failed, this, &Sender::portFailed);
}

Sender::~Sender() = default;

void Sender::start(SendPlan plan)
{
    m_plan = std::move(plan);
    m_next = 0;
    m_current = nullptr;
    m_exitCode = kAllAnswered;
    m_running = true;

    if (const Outcome opened = openPort(m_port, 1, m_plan.settings); !opened) {
        portFailed(opened.description());
        return;
    }
    sendNext();
}

void Sender::sendNext()
{
    if (m_next == m_plan.jobs.size()) {
        finish(m_exitCode);
        return;
    }
    m_current = nullptr;
    if (const milliseconds wait = m_settle.wait(m_now()); wait > milliseconds::zero()) {
        m_timeout->setInterval(wait); // then here again
        m_timeout->setEnabled(true);
        return;
    }
    m_current = &m_plan.jobs[m_next++];
    m_port.input(); // whatever is left of earlier replies belongs to none of this command
    m_reply.clear();

    m_frame = frameFor(m_plan.prefix, m_current->code);
    if (const Outcome written = m_port.output(m_frame); !written) {
        portFailed(written.description());
        return;
    }
    if (!m_plan.json)
        m_out << "TXD " << renderMonitor(m_frame) << Qt::endl;
    m_timeout->setInterval(m_plan.timeout);
    m_timeout->setEnabled(true);
}

void Sender::received()
{
    if (m_port.commEvent() != CommControl::kEventReceive)
        return;
    const QByteArray bytes = m_port.input();
    m_settle.heard(m_now());
    if (!m_current)
        return; // late: it belongs to no command
    m_reply += bytes;
    if (!replyComplete())
        return;
    m_timeout->setEnabled(false);
    if (m_plan.json)
        printRecord(true, true);
    else
        printReply(true);
    sendNext();
}

bool Sender::replyComplete() const
{
    return tarn::replyComplete(m_current->code, m_reply);
}

void Sender::timedOut()
{
    m_timeout->setEnabled(false);
    if (!m_current) {
        sendNext(); // the line has settled, or has gone on talking since
        return;
    }
    // Frames to every projector meet silence or a garbled mix of answers: no failure.
    const bool ok = m_plan.broadcast();
    if (!ok)
        m_settle.begin(m_now());
    if (m_plan.json)
        printRecord(ok, false);
    else if (!m_reply.isEmpty())
        printReply(false);
    else
        m_out << (ok ? "RXD  (sent to all, no reply expected)" : "RXD  X X X X") << Qt::endl;
    if (!ok) {
        m_err << "tarn-send: " << m_current->word << ": "
              << (m_reply.isEmpty() ? "no reply" : "incomplete reply") << " within "
              << m_plan.timeout.count() << " ms" << Qt::endl;
        m_exitCode = kReplyMissing;
    }
    sendNext();
}

void Sender::printReply(bool complete)
{
    const QString rendering = renderMonitor(m_reply);
    m_out << "RXD " << rendering << Qt::endl;
    if (!complete || !isQuery(m_current->code))
        return;
    if (const auto status = decodeQueryReply(QLatin1StringView(m_current->code), rendering))
        m_out << "STATUS" << *status << Qt::endl;
}

void Sender::printRecord(bool ok, bool complete)
{
    m_out << jsonLine(
                 exchangeRecord({m_current->word, m_current->code, m_frame, m_reply, ok, complete}))
          << Qt::endl;
}

void Sender::portFailed(const QString &description)
{
    if (!m_running)
        return;
    if (m_plan.json)
        m_out << jsonLine(failureRecord(description)) << Qt::endl;
    m_err << "tarn-send: " << description << Qt::endl;
    finish(kPortFailed);
}

void Sender::finish(int exitCode)
{
    m_timeout->setEnabled(false);
    m_current = nullptr;
    m_running = false;
    m_exitCode = exitCode;
    (void)m_port.setPortOpen(false);
    emit finished(exitCode);
}

} // namespace tarn::send
