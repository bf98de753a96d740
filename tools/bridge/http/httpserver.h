#pragma once

#include "app/timer.h"

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tarn::bridge {

class HttpConnection;
class Router;
class Stream;

// The gateway's HTTP side: every HTTP connection, at most kMaxConnections at a time and
// kMaxPerClient from one client (an IPv6 client counts by its /64), so that no address
// takes every slot; a connection past either cap is closed at once. Each request goes to
// the router.
//
// Our own server rather than Qt 6.4's QHttpServer: that one is a technology preview that
// reads a whole body before any handler runs, cannot bound headers, bodies or time, and
// is not hardened against network attacks, by Qt's own word. Here every bound holds
// before a handler sees a byte (see RequestReader and HttpConnection).
class HttpServer final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 32;
    static constexpr int kMaxPerClient = 8;

    using Log = std::function<void(const QString &)>;
    HttpServer(const Router &router, TimerFactory &timers, Log log);
    ~HttpServer() override;

    // `address` is the client's address without the port.
    void accept(std::unique_ptr<Stream> stream, const QString &address);
    int connections() const { return m_open; }
    // The answers sent since the start, by status code.
    const std::map<int, quint64> &answers() const { return m_answers; }

signals:
    // The connection that was `client` in its requests has closed: whatever waits on its
    // behalf can be forgotten.
    void clientGone(const void *client);

private:
    struct Entry
    {
        std::unique_ptr<Stream> stream;
        std::unique_ptr<HttpConnection> connection; // none for a refused one
        QString client;                             // AuthThrottle::clientOf its address
    };

    QString refusal(const QString &client) const;

    void onClosed(Stream *stream);

    const Router &m_router;
    TimerFactory &m_timers;
    Log m_log;
    std::unordered_map<Stream *, Entry> m_entries;
    std::vector<Entry> m_closed; // to be deleted once control is back in the event loop
    std::map<int, quint64> m_answers;
    int m_open = 0;
    QString m_refusing; // the refusal last logged, until a connection closes
};

} // namespace tarn::bridge
