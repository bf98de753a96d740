#include "http/httpconnection.h"

#include "http/router.h"
#include "stream.h"

#include <QPointer>

namespace tarn::bridge {

HttpConnection::HttpConnection(Stream &stream, const Router &router, TimerFactory &timers,
                               std::function<void(int)> answered, Log log)
    : m_stream(stream), m_router(router), m_answered(std::move(answered)), m_log(std::move(log)),
      m_deadline(timers.createTimer()), m_idle(timers.createTimer())
{
    m_deadline->setInterval(kRequestTime);
    m_deadline->setTickHandler([this] {
        send(HttpResponse::error(408, QStringLiteral("the request did not come whole within %1 s")
                                          .arg(kRequestTime.count() / 1000)),
             true);
    });
    m_idle->setInterval(kIdleTime);
    m_idle->setTickHandler([this] { end({}); });
    m_idle->setEnabled(true);
    connect(&m_stream, &Stream::received, this, &HttpConnection::onReceived);
    connect(&m_stream, &Stream::closed, this, [this] {
        m_closing = true;
        m_deadline->setEnabled(false);
        m_idle->setEnabled(false);
    });
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::onReceived(const QByteArray &bytes)
{
    if (m_closing)
        return;
    m_reader.append(bytes);
    pump();
    // What is left unread: a request still coming, or what came while an answer waits.
    if (m_reader.buffered() > kMaxUnread)
        end(QStringLiteral("it sent more than %1 bytes while its answer was pending")
                .arg(kMaxUnread));
}

// Serves what the reader has, one request after the other while each is answered at once.
void HttpConnection::pump()
{
    if (std::exchange(m_pumping, true))
        return;
    while (!m_busy && !m_closing) {
        RequestReader::Result result = m_reader.next();
        if (const auto *request = std::get_if<HttpRequest>(&result)) {
            m_deadline->setEnabled(false);
            m_idle->setEnabled(false); // an answer that waits is no idle client
            serve(*request);
        } else if (const auto *refusal = std::get_if<Refusal>(&result)) {
            m_log(QStringLiteral("%1 refused (%2): %3")
                      .arg(m_stream.peer())
                      .arg(refusal->status)
                      .arg(refusal->reason));
            send(HttpResponse::error(refusal->status, refusal->reason), true);
        } else {
            if (m_reader.started() && !m_deadline->isEnabled()) {
                m_idle->setEnabled(false);
                m_deadline->setEnabled(true);
            }
            break;
        }
    }
    m_pumping = false;
}

void HttpConnection::serve(const HttpRequest &request)
{
    m_busy = true;
    m_head = request.method == "HEAD";
    m_keepAlive = request.keepAlive;
    m_stream.setReading(false);
    const quint64 serial = ++m_serial;
    m_router.dispatch(
        request, this, m_stream.peer(),
        [self = QPointer<HttpConnection>(this), serial](const HttpResponse &response) {
            if (self)
                self->answer(serial, response);
        });
}

void HttpConnection::answer(quint64 serial, const HttpResponse &response)
{
    if (m_closing || !m_busy || serial != m_serial)
        return;
    m_busy = false;
    send(response, !m_keepAlive);
    if (m_closing)
        return;
    m_stream.setReading(true);
    m_idle->setEnabled(true);
    pump();
}

void HttpConnection::send(const HttpResponse &response, bool closing)
{
    m_stream.write(response.serialize(!std::exchange(m_head, false), closing));
    if (m_answered)
        m_answered(response.status);
    if (closing)
        end({});
}

// Without a reason: an ordinary end, not worth a log line.
void HttpConnection::end(const QString &why)
{
    if (std::exchange(m_closing, true))
        return;
    if (!why.isEmpty())
        m_log(QStringLiteral("%1 cut off: %2").arg(m_stream.peer(), why));
    m_deadline->setEnabled(false);
    m_idle->setEnabled(false);
    m_stream.close();
}

} // namespace tarn::bridge
