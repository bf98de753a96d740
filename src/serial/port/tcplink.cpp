#include "tcplink.h"

#include <QUrl>

namespace tarn {

TcpLink::TcpLink(QString address, QObject *parent)
    : Link(parent), m_address(std::move(address)), m_socket(this)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpLink::arrived);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpLink::onError);
    connect(&m_socket, &QTcpSocket::disconnected, this,
            [this] { reportLost(QStringLiteral("the connection was closed")); });
}

// Connecting waits for the connection, at most kConnectTimeout, without turning the
// event loop: the panel's handlers run one at a time and must not find the port half
// open, nor run again in the middle of the one that opens it. The window stands
// still meanwhile; a refused connection or a host on the local network keeps that
// short, an unreachable host takes the whole time-out, and a host name is looked up
// first, in the resolver's own time (a numeric address skips that).
Outcome TcpLink::open(const LineSettings &, const CommControl::FixedSetup &setup)
{
    close();
    const QUrl url(m_address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 || !url.path().isEmpty() ||
        url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return cannotOpen(QStringLiteral("the address must read tcp://HOST:PORT"));

    m_socket.setReadBufferSize(setup.inBufferSize);
    m_connecting = true;
    m_socket.connectToHost(url.host(), quint16(url.port()));
    const bool connected = m_socket.waitForConnected(int(kConnectTimeout.count()));
    m_connecting = false;
    if (!connected) {
        const QString reason =
            m_socket.error() == QAbstractSocket::SocketTimeoutError
                ? QStringLiteral("no answer within %1 s").arg(kConnectTimeout.count() / 1000.0)
                : m_socket.errorString();
        m_socket.abort();
        return cannotOpen(reason);
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return {};
}

void TcpLink::close()
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket.flush(); // what is queued goes to the system, which sends it before closing
    m_socket.abort();
}

Outcome TcpLink::write(const QByteArray &data)
{
    if (m_socket.write(data) != data.size())
        return cannotWrite(m_socket.errorString());
    return {};
}

QByteArray TcpLink::read(qint64 maxSize)
{
    return maxSize > 0 ? m_socket.read(maxSize) : m_socket.readAll();
}

void TcpLink::onError(QAbstractSocket::SocketError error)
{
    if (m_connecting)
        return; // opening reports its own failure
    reportLost(error == QAbstractSocket::RemoteHostClosedError
                   ? QStringLiteral("the remote host closed the connection")
                   : m_socket.errorString());
}

} // namespace tarn
