#include "session.h"

#include "digest.h"
#include "lineservice.h"
#include "pjlinkcommands.h"
#include "stream.h"

namespace tarn::bridge {
namespace {

constexpr qsizetype kDigestLength = 32;
const QString kNotPjlink = QStringLiteral("sent a line that is not a PJLink request");

QByteArray randomDigits(quint32 random)
{
    return QByteArray::number(random, 16).rightJustified(8, '0');
}

} // namespace

Session::Session(Stream &stream, LineService &line, TimerFactory &timers, Settings settings)
    : m_stream(stream), m_line(line), m_settings(std::move(settings)),
      m_framer(kMaxCommand + (m_settings.password ? kDigestLength : 0)),
      m_idle(timers.createTimer()), m_grace(timers.createTimer()),
      m_unfinished(timers.createTimer()), m_authenticated(!m_settings.password)
{
    if (m_settings.password)
        m_digest = digestFor(randomDigits(m_settings.random), *m_settings.password);
    m_idle->setInterval(kIdleTimeout);
    m_idle->setTickHandler([this] { onIdle(); });
    m_grace->setInterval(kGraceTime);
    m_grace->setTickHandler([this] {
        drop(QStringLiteral("not authenticated within %1 s of its greeting")
                 .arg(kGraceTime.count() / 1000));
    });
    m_unfinished->setInterval(kLineTime);
    m_unfinished->setTickHandler([this] {
        drop(QStringLiteral("a request line not ended within %1 s").arg(kLineTime.count() / 1000));
    });
    connect(&m_stream, &Stream::received, this, &Session::onReceived);
    // A stream may close on its own, in the middle of a write: no request is taken after.
    connect(&m_stream, &Stream::closed, this, [this] {
        m_ending = true;
        m_idle->setEnabled(false);
        m_grace->setEnabled(false);
        m_unfinished->setEnabled(false);
    });
}

Session::~Session()
{
    m_line.cancel(this);
}

void Session::start()
{
    send(m_settings.password ? "PJLINK 1 " + randomDigits(m_settings.random) + '\r'
                             : QByteArray("PJLINK 0\r"));
    m_grace->setEnabled(!m_authenticated);
}

void Session::onReceived(const QByteArray &bytes)
{
    if (m_ending)
        return;
    m_framer.append(bytes);
    if (m_framer.buffered() > kMaxUnread) {
        m_ending = true;
        m_stream.close();
        return;
    }
    pump();
}

void Session::pump()
{
    if (m_pumping)
        return;
    m_pumping = true;
    while (!m_ending && std::ssize(m_waiting) < kMaxWaiting) {
        const RequestFramer::Piece piece = m_framer.next();
        if (piece.kind == RequestFramer::Piece::Kind::Partial)
            break;
        take(piece);
    }
    m_pumping = false;
    const bool reading = !m_ending && std::ssize(m_waiting) < kMaxWaiting;
    m_stream.setReading(reading);
    // A line begun must end in time while it is read.
    if (!reading || m_framer.buffered() == 0)
        m_unfinished->setEnabled(false);
    else if (!m_unfinished->isEnabled())
        m_unfinished->setEnabled(true);
}

void Session::take(const RequestFramer::Piece &piece)
{
    if (piece.kind == RequestFramer::Piece::Kind::Line)
        handle(piece.line);
    else if (!m_authenticated)
        refuseAuthentication();
    else if (isRequest(piece.line))
        enqueue(replyLine(piece.line, "ERR2"), true);
    else
        drop(kNotPjlink);
}

void Session::handle(const QByteArray &line)
{
    if (line.isEmpty())
        return;
    const std::optional<QByteArray> command = unlock(line);
    if (!command) {
        refuseAuthentication();
    } else if (command->isEmpty()) {
        return; // the digest alone
    } else if (!isRequest(*command)) {
        drop(kNotPjlink);
    } else {
        m_idle->setEnabled(true); // only a complete request keeps the connection
        if (command->size() > kMaxCommand)
            enqueue(replyLine(*command, "ERR2"), true);
        else
            request(*command);
    }
}

// The command line without its digest; nothing when the digest is missing or wrong. The
// first line carries the digest; a later one may carry it again.
std::optional<QByteArray> Session::unlock(const QByteArray &line)
{
    if (!m_settings.password)
        return line;
    const bool offered =
        startsWithDigest(line) && line.size() > kDigestLength && line[kDigestLength] == '%';
    if (!m_authenticated || offered) {
        if (!digestMatches(line.first(std::min(line.size(), kDigestLength)), m_digest))
            return std::nullopt;
        if (!std::exchange(m_authenticated, true)) {
            m_grace->setEnabled(false);
            emit authenticated();
        }
        return line.mid(kDigestLength);
    }
    return line;
}

void Session::refuseAuthentication()
{
    enqueue("PJLINK ERRA\r", true);
    emit authenticationFailed();
}

void Session::drop(const QString &why)
{
    if (std::exchange(m_ending, true))
        return; // closing already
    emit dropped(why);
    m_stream.close();
}
void Session::request(const QByteArray &command)
{
    Plan plan = planFor(command, m_settings.profile);
    if (!plan.needsLine()) {
        enqueue(replyLine(command, plan.answer));
        return;
    }
    const quint64 id = m_firstId + m_waiting.size();
    m_waiting.emplace_back();
    const LineRequest lineRequest = plan.request;
    m_line.submit(
        this, lineRequest, [this, id, command, plan = std::move(plan)](const LineResult &result) {
            answered(id, replyLine(command, answerFrom(plan, result, m_settings.profile)));
        });
}

void Session::enqueue(QByteArray reply, bool last)
{
    m_waiting.push_back({std::move(reply), last});
    m_ending = m_ending || last;
    flush();
}

void Session::answered(quint64 id, QByteArray reply)
{
    m_waiting.at(id - m_firstId).reply = std::move(reply);
    flush();
    pump();
}

void Session::flush()
{
    while (!m_waiting.empty() && !m_waiting.front().reply.isEmpty()) {
        const Waiting done = std::move(m_waiting.front());
        m_waiting.pop_front();
        ++m_firstId;
        send(done.reply);
        if (done.last) {
            m_idle->setEnabled(false);
            m_stream.close();
            return;
        }
    }
}

void Session::send(const QByteArray &bytes)
{
    m_stream.write(bytes);
    m_idle->setEnabled(true);
    if (m_settings.verboseLog)
        m_settings.verboseLog(m_stream.peer() + QStringLiteral(" <- ") +
                              QString::fromLatin1(bytes.chopped(1)));
}

void Session::onIdle()
{
    if (!m_waiting.empty())
        return;
    m_ending = true;
    m_idle->setEnabled(false);
    m_stream.close();
}

} // namespace tarn::bridge
