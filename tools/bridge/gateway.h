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

// Every client connection of the process, PJLink and raw alike: at most kMaxConnections
// at a time, the next one closed at once. Each PJLink client gets a session; an address
// that keeps failing authentication waits for its greeting.
class Gateway final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 32;

    using Log = std::function<void(const QString &)>;
    struct Settings
    {
        std::optional<QByteArray> password; // none: no authentication
        bool verbose = false;
        AuthThrottle::Clock now;         // a steady clock, for the throttle
        std::function<quint32()> random; // the greeting's random digits
    };

    Gateway(LineService &line, TimerFactory &timers, Settings settings, Log log);
    ~Gateway() override;

    // Serves a PJLink client of the listener with this profile. `address` is the
    // client's address without the port.
    void accept(std::unique_ptr<Stream> stream, const Profile &profile, const QString &address);
    // Hands a raw client to the line, unless one is there already.
    void acceptRaw(std::unique_ptr<Stream> stream);

    int connections() const { return m_open; }

private:
    struct Connection
    {
        std::unique_ptr<Stream> stream;
        std::unique_ptr<Session> session; // none for a raw client
        bool counted = false;
    };

    Connection &adopt(std::unique_ptr<Stream> stream);
    bool admit(Connection &connection);
    void onClosed(Stream *stream);

    LineService &m_line;
    TimerFactory &m_timers;
    Settings m_settings;
    Log m_log;
    AuthThrottle m_throttle;
    std::unordered_map<Stream *, Connection> m_connections;
    std::vector<Connection> m_closed; // to be deleted
    int m_open = 0;
    bool m_refusing = false; // the limit was reported and has not been left since
};

} // namespace tarn::bridge
