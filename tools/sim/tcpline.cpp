#include "tcpline.h"

#include "simulator.h"

namespace tarn::sim {

QString TcpLine::listen(quint16 port)
{
    if (!m_server.listen(QHostAddress::LocalHost, port))
        return {};
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_server.serverPort());
}

void TcpLine::attach(Simulator &simulator)
{
    QObject::connect(&m_server, &QTcpServer::newConnection, [this, &simulator] {
        while (QTcpSocket *next = m_server.nextPendingConnection()) {
            if (m_client) {
                m_client->abort();
                m_client->deleteLater();
            }
            m_client = next;
            simulator.restart();
            QObject::connect(next, &QTcpSocket::readyRead,
                             [next, &simulator] { simulator.receive(next->readAll()); });
            QObject::connect(next, &QTcpSocket::disconnected, next, &QObject::deleteLater);
        }
    });
}

void TcpLine::write(const QByteArray &bytes)
{
    if (m_client && m_client->bytesToWrite() < kMaxBacklog)
        m_client->write(bytes);
}

} // namespace tarn::sim
