#include "http/httpserver.h"

#include "auththrottle.h"
#include "http/httpconnection.h"
#include "stream.h"

#include <algorithm>

namespace tarn::bridge {

HttpServer::HttpServer(const Router &router, TimerFactory &timers, Log log)
    : m_router(router), m_timers(timers), m_log(std::move(log))
{}

HttpServer::~HttpServer() = default;

void HttpServer::accept(std::unique_ptr<Stream> stream, const QString &address)
{
    Stream *key = stream.get();
    connect(key, &Stream::closed, this, [this, key] { onClosed(key); });
    const QString client = AuthThrottle::clientOf(address);
    const QString refused = refusal(client);
    Entry &entry = m_entries[key];
    entry.stream = std::move(stream);
    if (!refused.isEmpty()) {
        if (std::exchange(m_refusing, refused) != refused)
            m_log(refused + QStringLiteral(": refusing more until one closes"));
        key->close();
        return;
    }
    entry.client = client;
    ++m_open;
    entry.connection = std::make_unique<HttpConnection>(
        *key, m_router, m_timers, [this](int status) { ++m_answers[status]; }, m_log);
}

// Why a new connection from `client` is refused, or nothing when it is served.
QString HttpServer::refusal(const QString &client) const
{
    if (m_open >= kMaxConnections)
        return QStringLiteral("%1 HTTP connections open").arg(kMaxConnections);
    const auto fromClient = std::ranges::count_if(m_entries, [&client](const auto &entry) {
        return entry.second.connection && entry.second.client == client;
    });
    if (fromClient >= kMaxPerClient)
        return QStringLiteral("%1 HTTP connections from %2 open").arg(kMaxPerClient).arg(client);
    return {};
}

// The stream may be in the middle of emitting, and the connection of closing it: both go
// once control is back in the event loop, or with the server.
void HttpServer::onClosed(Stream *stream)
{
    const auto it = m_entries.find(stream);
    if (it == m_entries.end())
        return;
    Entry entry = std::move(it->second);
    m_entries.erase(it);
    if (entry.connection) {
        --m_open;
        m_refusing.clear();
        emit clientGone(entry.connection.get());
    }
    m_closed.push_back(std::move(entry));
    if (m_closed.size() == 1)
        QMetaObject::invokeMethod(
            this, [this] { m_closed.clear(); }, Qt::QueuedConnection);
}

} // namespace tarn::bridge
