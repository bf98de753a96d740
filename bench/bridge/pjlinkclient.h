#pragma once

#include "kit/line.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>

namespace tarn::bench {

// Where a client connects from, and the password it authenticates with (none: a listener
// without authentication). The gateway caps connections per client address; the whole of
// 127.0.0.0/8 reaches the loopback on Linux.
struct Origin
{
    QHostAddress from{QHostAddress::LocalHost};
    QByteArray password;
};

// The i-th of several clients, spread over 127.0.0.1 to 127.0.0.4.
inline Origin spread(int i)
{
    return {QHostAddress(quint32(0x7f000001 + i % 4)), {}};
}

// A PJLink client for the benchmarks: it waits for the greeting, then asks one thing at a
// time and times each answer; its first request carries the digest when the listener
// asks for one. An answer that comes with nothing asked is counted, not passed on: it
// was meant for someone else.
class PjlinkClient : public QObject
{
    Q_OBJECT
public:
    explicit PjlinkClient(quint16 port, const Origin &origin = {}, QObject *parent = nullptr);

    bool ready() const { return m_greeted && !busy() && connected(); }
    bool busy() const { return m_asked != TimePoint{}; }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Sends "%1" + command + CR, e.g. ask("POWR ?").
    void ask(const QByteArray &command);
    int unsolicited() const { return m_unsolicited; }

signals:
    void greeted();
    // The answer without "%1" and its CR, e.g. "POWR=0".
    void answered(const QByteArray &answer, Nanos roundTrip);

private:
    void read();

    QTcpSocket m_socket;
    QByteArray m_password;
    QByteArray m_digest; // for the first request
    QByteArray m_buffer;
    TimePoint m_asked{};
    bool m_greeted = false;
    int m_unsolicited = 0;
};

} // namespace tarn::bench
