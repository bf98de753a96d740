#pragma once

#include "kit/line.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>

namespace tarn::bench {

// A PJLink client for the benchmarks, on a listener without authentication: it waits for
// the greeting, then asks one thing at a time and times each answer. An answer that comes
// with nothing asked is counted, not passed on: it was meant for someone else.
class PjlinkClient : public QObject
{
    Q_OBJECT
public:
    explicit PjlinkClient(quint16 port, QObject *parent = nullptr);

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
    QByteArray m_buffer;
    TimePoint m_asked{};
    bool m_greeted = false;
    int m_unsolicited = 0;
};

} // namespace tarn::bench
