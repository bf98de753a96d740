#pragma once

#include "app/timer.h"
#include "http/httprequest.h"
#include "http/httpresponse.h"

#include <QObject>
#include <functional>
#include <memory>

namespace tarn::bridge {

class Router;
class Stream;

// One HTTP client connection: one request at a time is read, handed to the router and
// answered before the next is read, so that an answer that waits (for the serial line)
// holds the client back through TCP rather than through our memory.
//  - A request must come whole within kRequestTime of its first byte: 408, then close.
//  - With no request under way, the connection closes after kIdleTime.
//  - A request the reader refuses is answered with its status, then the connection
//    closes: what follows it in the stream cannot be trusted.
//  - HTTP/1.0 and "Connection: close" close after the answer; HTTP/1.1 stays open.
class HttpConnection final : public QObject
{
    Q_OBJECT
public:
    static constexpr milliseconds kRequestTime{10000};
    static constexpr milliseconds kIdleTime{15000};
    // Received bytes held unread while an answer is pending: a stream that delivers more
    // after being told to stop is closed.
    static constexpr qsizetype kMaxUnread = RequestReader::kMaxHead + RequestReader::kMaxBody;

    using Log = std::function<void(const QString &)>;
    // `answered` hears the status of every answer sent.
    HttpConnection(Stream &stream, const Router &router, TimerFactory &timers,
                   std::function<void(int status)> answered, Log log);
    ~HttpConnection() override;

private:
    void onReceived(const QByteArray &bytes);
    void pump();
    void serve(const HttpRequest &request);
    void answer(quint64 serial, const HttpResponse &response);
    void send(const HttpResponse &response, bool closing);
    void end(const QString &why);

    Stream &m_stream;
    const Router &m_router;
    std::function<void(int)> m_answered;
    Log m_log;
    RequestReader m_reader;
    std::unique_ptr<Timer> m_deadline;
    std::unique_ptr<Timer> m_idle;
    quint64 m_serial = 0; // the request being answered, counted from 1
    bool m_busy = false;  // a request waits for its answer
    bool m_head = false;  // it is a HEAD request: the answer goes without its body
    bool m_closing = false;
    bool m_pumping = false;
    bool m_keepAlive = true;
};

} // namespace tarn::bridge
