#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace tarn::sim {

class Simulator;

// One client at a time on a local TCP port; a new connection replaces the old one.
class TcpLine
{
public:
    // Flood bytes beyond this many waiting for a slow client are dropped.
    static constexpr qint64 kMaxBacklog = qint64{64} * 1024;

    // Listens on 127.0.0.1 and returns the address clients use, or an empty text.
    QString listen(quint16 port);
    void attach(Simulator &simulator);
    void write(const QByteArray &bytes);

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
};

} // namespace tarn::sim
