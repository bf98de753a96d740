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
    const QString client = AuthThrottle::clientOf(address);
    const QString refused = refusal(client);
    Connection &connection = adopt(std::move(stream));
    Stream &peer = *connection.stream;
    if (!refused.isEmpty()) {
        refuse(peer, refused);
        return;
    }
    m_log(QStringLiteral("%1 connected (%2)").arg(peer.peer(), profile.who));
    connection.client = client;
    connection.authenticated = !m_settings.password;
    const quint32 random =
        m_settings.random ? m_settings.random() : QRandomGenerator::system()->generate();
    Session::Settings settings{profile, m_settings.password, random, {}};
    if (m_settings.verbose)
        settings.verboseLog = m_log;
    connection.session = std::make_unique<Session>(peer, m_line, m_timers, settings);
    Stream *key = &peer;
    connect(connection.session.get(), &Session::authenticated, this,
            [this, key] { m_connections.at(key).authenticated = true; });
    connect(connection.session.get(), &Session::authenticationFailed, this,
            [this, key, client] { onAuthenticationFailed(key, client); });
    connect(connection.session.get(), &Session::dropped, this, [this, key](const QString &why) {
        m_log(key->peer() + QStringLiteral(" closed: ") + why);
    });
    connection.session->start();
}

void Gateway::acceptRaw(std::unique_ptr<Stream> stream)
{
    Stream &client = *adopt(std::move(stream)).stream;
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

// Why a new PJLink connection from `client` is refused, or nothing when it is served.
QString Gateway::refusal(const QString &client) const
{
    int open = 0, fromClient = 0, strangers = 0, strangersFromClient = 0;
    for (const auto &[stream, connection] : m_connections) {
        if (!connection.session)
            continue;
        const bool same = connection.client == client;
        ++open;
        fromClient += same;
        strangers += !connection.authenticated;
        strangersFromClient += !connection.authenticated && same;
    }
    if (open >= kMaxConnections)
        return QStringLiteral("%1 PJLink connections are open").arg(kMaxConnections);
    if (!m_settings.password)
        return fromClient >= kMaxPerClient ? QStringLiteral("%1 connections from %2 are open")
                                                 .arg(kMaxPerClient)
                                                 .arg(client)
                                           : QString();
    if (strangers >= kMaxStrangers)
        return QStringLiteral("%1 connections are not yet authenticated").arg(kMaxStrangers);
    if (strangersFromClient >= kMaxStrangersPerClient)
        return QStringLiteral("%1 connections from %2 are not yet authenticated")
            .arg(kMaxStrangersPerClient)
            .arg(client);
    if (m_throttle.wait(client) > milliseconds::zero())
        return QStringLiteral("%1 failed to authenticate %2 times within a minute")
            .arg(client)
            .arg(AuthThrottle::kTries);
    return {};
}

// Closes a connection at once; each reason is logged once until a served connection closes.
void Gateway::refuse(Stream &stream, const QString &why)
{
    if (std::exchange(m_refusing, why) != why)
        m_log(QStringLiteral("%1 refused: %2; refusing more like it until a connection closes")
                  .arg(stream.peer(), why));
    stream.close();
}

// A client that has used up its tries loses its other connections that have not
// authenticated yet: none of them may try before its wait is over.
void Gateway::onAuthenticationFailed(Stream *stream, const QString &client)
{
    m_log(QStringLiteral("%1 failed to authenticate").arg(stream->peer()));
    m_throttle.recordFailure(client);
    const milliseconds wait = m_throttle.wait(client);
    if (wait == milliseconds::zero())
        return;
    m_log(QStringLiteral("%1 failed to authenticate %2 times within a minute: refused for %3 s")
              .arg(client)
              .arg(AuthThrottle::kTries)
              .arg((wait.count() + 999) / 1000));
    std::vector<Stream *> others;
    for (const auto &[other, connection] : m_connections) {
        if (other != stream && connection.session && !connection.authenticated &&
            connection.client == client)
            others.push_back(other);
    }
    for (Stream *other : others)
        other->close();
}

// The stream may be in the middle of emitting, and the session of closing it: both go
// once control is back in the event loop, or with the gateway.
void Gateway::onClosed(Stream *stream)
{
    const auto it = m_connections.find(stream);
    if (it == m_connections.end())
        return;
    Connection &connection = it->second;
    if (connection.session) {
        m_refusing.clear();
        m_line.cancel(connection.session.get());
    }
    m_closed.push_back(std::move(connection));
    m_connections.erase(it);
    if (m_closed.size() == 1)
        QMetaObject::invokeMethod(
            this, [this] { m_closed.clear(); }, Qt::QueuedConnection);
}

} // namespace tarn::bridge
