#include "http/httpserver.h"

#include "http/httpconnection.h"
#include "stream.h"

namespace tarn::bridge {

HttpServer::HttpServer(const Router &router, TimerFactory &timers, Log log)
    : m_router(router), m_timers(timers), m_log(std::move(log))
{}

HttpServer::~HttpServer() = default;

void HttpServer::accept(std::unique_ptr<Stream> stream)
{
    Stream *key = stream.get();
    connect(key, &Stream::closed, this, [this, key] { onClosed(key); });
    Entry &entry = m_entries[key];
    entry.stream = std::move(stream);
    if (m_open >= kMaxConnections) {
        if (!std::exchange(m_refusing, true))
            m_log(QStringLiteral("%1 HTTP connections open: refusing more until one closes")
                      .arg(kMaxConnections));
        key->close();
        return;
    }
    ++m_open;
    entry.connection = std::make_unique<HttpConnection>(
        *key, m_router, m_timers, [this](int status) { ++m_answers[status]; }, m_log);
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
        m_refusing = false;
        emit clientGone(entry.connection.get());
    }
    m_closed.push_back(std::move(entry));
    if (m_closed.size() == 1)
        QMetaObject::invokeMethod(
            this, [this] { m_closed.clear(); }, Qt::QueuedConnection);
}

} // namespace tarn::bridge
