#include "gateway.h"

#include "lineservice.h"
#include "session.h"
#include "stream.h"

#include <QRandomGenerator>

namespace tarn::bridge {

Gateway::Gateway(LineService &line, TimerFactory &timers, Settings settings, Log log)
    : m_line(line), m_timers(timers), m_settings(std::move(settings)), m_log(std::move(log)),
      m_throttle(m_settings.now)
{}

Gateway::~Gateway() = default;

void Gateway::accept(std::unique_ptr<Stream> stream, const Profile &profile, const QString &address)
{
    Connection &connection = adopt(std::move(stream));
    if (!admit(connection))
        return;
    Stream &client = *connection.stream;
    m_log(QStringLiteral("%1 connected (%2)").arg(client.peer(), profile.who));
    const quint32 random =
        m_settings.random ? m_settings.random() : QRandomGenerator::system()->generate();
    Session::Settings settings{profile, m_settings.password, random, {}};
    if (m_settings.verbose)
        settings.verboseLog = m_log;
    connection.session = std::make_unique<Session>(client, m_line, m_timers, settings);
    connect(connection.session.get(), &Session::authenticationFailed, this,
            [this, &client, address] {
                m_log(QStringLiteral("%1 failed to authenticate").arg(client.peer()));
                m_throttle.recordFailure(address);
            });
    const milliseconds delay = m_throttle.greetingDelay(address);
    if (delay > milliseconds::zero())
        m_log(QStringLiteral("%1 failed to authenticate %2 times within a minute: its greeting "
                             "waits %3 s")
                  .arg(address)
                  .arg(AuthThrottle::kFailures)
                  .arg(delay.count() / 1000));
    connection.session->start(delay);
}

void Gateway::acceptRaw(std::unique_ptr<Stream> stream)
{
    Connection &connection = adopt(std::move(stream));
    if (!admit(connection))
        return;
    Stream &client = *connection.stream;
    if (!m_line.attachRaw(client)) {
        m_log(QStringLiteral("%1 refused: a raw client is connected already").arg(client.peer()));
        client.close();
        return;
    }
    m_log(QStringLiteral("%1 connected (raw)").arg(client.peer()));
}

Gateway::Connection &Gateway::adopt(std::unique_ptr<Stream> stream)
{
    Stream *key = stream.get();
    connect(key, &Stream::closed, this, [this, key] { onClosed(key); });
    Connection &connection = m_connections[key];
    connection.stream = std::move(stream);
    return connection;
}

bool Gateway::admit(Connection &connection)
{
    if (m_open >= kMaxConnections) {
        if (!std::exchange(m_refusing, true))
            m_log(QStringLiteral("%1 connections open: refusing more until one closes")
                      .arg(kMaxConnections));
        connection.stream->close();
        return false;
    }
    connection.counted = true;
    ++m_open;
    return true;
}

// The stream may be in the middle of emitting, and the session of closing it: both go
// once control is back in the event loop, or with the gateway.
void Gateway::onClosed(Stream *stream)
{
    const auto it = m_connections.find(stream);
    if (it == m_connections.end())
        return;
    Connection &connection = it->second;
    if (connection.counted) {
        --m_open;
        m_refusing = false;
    }
    if (connection.session)
        m_line.cancel(connection.session.get());
    m_closed.push_back(std::move(connection));
    m_connections.erase(it);
    if (m_closed.size() == 1)
        QMetaObject::invokeMethod(
            this, [this] { m_closed.clear(); }, Qt::QueuedConnection);
}

} // namespace tarn::bridge
