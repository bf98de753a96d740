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
//  - A request line starts with "%", a class digit and four command characters. A line
//    that is too long or holds a byte outside printable ASCII gets ERR2 (before
//    authentication: "PJLINK ERRA"), after the answers to the requests before it, and the
//    connection is closed. So is it after a wrong or missing digest, and, with a log
//    line, after a line that is not a PJLink request at all.
//  - A client must authenticate within kGraceTime of its greeting, and end each line
//    within kLineTime of its first byte, or it is closed.
//  - A connection with no complete request and no answer for kIdleTimeout is closed,
//    unless a request of it waits: stray bytes and empty lines do not keep it.
class Session final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxWaiting = 8;
    static constexpr milliseconds kIdleTimeout{30000};
    static constexpr milliseconds kGraceTime{10000};
    static constexpr milliseconds kLineTime{5000};
    // A command line, without its carriage return; a digest may come in front of it.
    static constexpr qsizetype kMaxCommand = 135;
    // Received bytes held unread while requests wait; more means the stream kept
    // delivering after being told to stop, and the connection is closed.
    static constexpr qsizetype kMaxUnread = qsizetype{16} * 1024;

    struct Settings
    {
        Profile profile;
        std::optional<QByteArray> password;              // none: no authentication
        quint32 random = 0;                              // for the greeting
        std::function<void(const QString &)> verboseLog; // each request and its answer
    };

    Session(Stream &stream, LineService &line, TimerFactory &timers, Settings settings);
    ~Session() override;

    // Greets the client.
    void start();

signals:
    void authenticationFailed();
    void authenticated();
    // The session closed its client for breaking a rule; says why, for the log.
    void dropped(const QString &why);

private:
    struct Waiting
    {
        QByteArray reply;  // empty until answered
        bool last = false; // the connection closes once this is written
    };

    void onReceived(const QByteArray &bytes);
    void pump();
    void take(const RequestFramer::Piece &piece);
    void handle(const QByteArray &line);
    std::optional<QByteArray> unlock(const QByteArray &line);
    void refuseAuthentication();
    void drop(const QString &why);
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
    std::unique_ptr<Timer> m_grace;
    std::unique_ptr<Timer> m_unfinished; // a line begun and not yet ended
    std::deque<Waiting> m_waiting;
    quint64 m_firstId = 0;        // the id of m_waiting.front()
    bool m_authenticated = false; // or no password to give
    bool m_ending = false;        // no further request is taken
    bool m_pumping = false;
};

} // namespace tarn::bridge
