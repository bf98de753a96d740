#pragma once

#include "app/timer.h"
#include "auththrottle.h"
#include "profile.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tarn::bridge {

class LineService;
class Session;
class Stream;

// Every client connection of the process. Each PJLink client gets a session, within caps
// that keep strangers from holding every slot (anchored on OpenSSH's MaxStartups and
// LoginGraceTime): at most kMaxConnections in all; with authentication, at most
// kMaxStrangers not yet authenticated, kMaxStrangersPerClient of them from one client (an
// IPv6 client counts by its /64), and none from a client that the throttle holds back;
// without it, at most kMaxPerClient from one client. A connection past a cap is closed at
// once. The raw client has a slot of its own, outside these.
class Gateway final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 32;
    static constexpr int kMaxStrangers = 8;
    static constexpr int kMaxStrangersPerClient = 4;
    static constexpr int kMaxPerClient = 16;

    using Log = std::function<void(const QString &)>;
    struct Settings
    {
        std::optional<QByteArray> password; // none: no authentication
        bool verbose = false;
        Clock now;                       // a steady clock, for the throttle
        std::function<quint32()> random; // the greeting's random digits
    };

    Gateway(LineService &line, TimerFactory &timers, Settings settings, Log log);
    ~Gateway() override;

    // Serves a PJLink client of the listener with this profile. `address` is the
    // client's address without the port.
    void accept(std::unique_ptr<Stream> stream, const Profile &profile, const QString &address);
    // Hands a raw client to the line; one the line turns away is closed, with a log line.
    void acceptRaw(std::unique_ptr<Stream> stream);

private:
    struct Connection
    {
        std::unique_ptr<Stream> stream;
        std::unique_ptr<Session> session; // none for a raw client or a refused one
        QString client;                   // AuthThrottle::clientOf its address
        bool authenticated = false;
    };

    Connection &adopt(std::unique_ptr<Stream> stream);
    QString refusal(const QString &client) const;
    void refuse(Stream &stream, const QString &why);
    void onAuthenticationFailed(Stream *stream, const QString &client);
    void onClosed(Stream *stream);

    LineService &m_line;
    TimerFactory &m_timers;
    Settings m_settings;
    Log m_log;
    AuthThrottle m_throttle;
    std::unordered_map<Stream *, Connection> m_connections;
    std::vector<Connection> m_closed; // to be deleted
    QString m_refusing;               // the refusal last logged, until a served connection closes
};

} // namespace tarn::bridge
