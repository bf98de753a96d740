#pragma once

#include "app/timer.h"
#include "profile.h"
#include "requestframer.h"

#include <QByteArray>
#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace tarn::bridge {

class LineService;
class Stream;
struct Plan;

// One PJLink client connection: the greeting, authentication, request lines in, and
// answers out in the order of the requests, whatever order the line answers them in.
//  - At most kMaxWaiting requests wait for their answers; past that the client's stream
//    is not read until one is answered.
//  - A line that is too long or holds a byte outside printable ASCII gets ERR2 (before
//    authentication: "PJLINK ERRA"), after the answers to the requests before it, and
//    the connection is closed. So is it after a wrong or missing digest.
//  - A connection with no byte in either direction for kIdleTimeout is closed, unless a
//    request of it waits.
class Session final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxWaiting = 8;
    static constexpr milliseconds kIdleTimeout{30000};
    // A command line, without its carriage return; a digest may come in front of it.
    static constexpr qsizetype kMaxCommand = 135;
    // Received bytes held unread while requests wait; more means the stream kept
    // delivering after being told to stop, and the connection is closed.
    static constexpr qsizetype kMaxUnread = 16 * 1024;

    struct Settings
    {
        Profile profile;
        std::optional<QByteArray> password;              // none: no authentication
        quint32 random = 0;                              // for the greeting
        std::function<void(const QString &)> verboseLog; // each request and its answer
    };

    Session(Stream &stream, LineService &line, TimerFactory &timers, Settings settings);
    ~Session() override;

    // Greets the client, at once or after `delay`.
    void start(milliseconds delay);

signals:
    void authenticationFailed();

private:
    struct Waiting
    {
        QByteArray reply;  // empty until answered
        bool last = false; // the connection closes once this is written
    };

    void greet();
    void onReceived(const QByteArray &bytes);
    void pump();
    void take(const RequestFramer::Piece &piece);
    void handle(const QByteArray &line);
    std::optional<QByteArray> unlock(const QByteArray &line);
    void request(const QByteArray &command);
    void enqueue(QByteArray reply, bool last = false);
    void answered(quint64 id, QByteArray reply);
    void flush();
    void send(const QByteArray &bytes);
    void onIdle();

    Stream &m_stream;
    LineService &m_line;
    Settings m_settings;
    QByteArray m_digest; // expected, while authentication is on
    RequestFramer m_framer;
    std::unique_ptr<Timer> m_idle;
    std::unique_ptr<Timer> m_greeting;
    std::deque<Waiting> m_waiting;
    quint64 m_firstId = 0; // the id of m_waiting.front()
    bool m_greeted = false;
    bool m_authenticated = false;
    bool m_ending = false; // no further request is taken
    bool m_pumping = false;
};

} // namespace tarn::bridge
