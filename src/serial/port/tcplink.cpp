#include "tcplink.h"

#include <QUrl>

namespace tarn {

TcpLink::TcpLink(QString address, QObject *parent)
    : Link(parent), m_address(std::move(address)), m_socket(this)
{
    m_connectTimeout.setSingleShot(true);
    m_connectTimeout.setTimerType(Qt::PreciseTimer);
    connect(&m_connectTimeout, &QTimer::timeout, this,
            [this] { finishInBackground(cannotOpen(connectFailure())); });
    connect(&m_socket, &QTcpSocket::connected, this, &TcpLink::onConnected);
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
    m_opening = Opening::Waiting;
    if (auto started = startConnecting(setup); !started) {
        m_opening = Opening::None;
        return started;
    }
    const bool connected = m_socket.waitForConnected(int(kConnectTimeout.count()));
    m_opening = Opening::None;
    if (!connected) {
        const QString reason = connectFailure();
        m_socket.abort();
        return cannotOpen(reason);
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return {};
}

// The same connection, reported by openFinished() while the event loop goes on; the
// connection has kConnectTimeout to be made. The opening is under way before the
// connection starts: one that fails at once (an unreachable address) fails inside
// connectToHost() and is reported as this opening's failure, not as a lost line.
void TcpLink::beginOpen(const LineSettings &, const CommControl::FixedSetup &setup)
{
    close();
    m_opening = Opening::InBackground;
    m_connectTimeout.start(kConnectTimeout);
    if (auto started = startConnecting(setup); !started)
        finishInBackground(started);
}

// Starts connecting; the caller has closed the link and set its opening under way.
Outcome TcpLink::startConnecting(const CommControl::FixedSetup &setup)
{
    const QUrl url(m_address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 || !url.path().isEmpty() ||
        url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return cannotOpen(QStringLiteral("the address must read tcp://HOST:PORT"));

    m_socket.setReadBufferSize(setup.inBufferSize);
    m_socket.connectToHost(url.host(), quint16(url.port()));
    return {};
}

QString TcpLink::connectFailure() const
{
    return m_socket.error() == QAbstractSocket::SocketTimeoutError ||
                   m_socket.state() != QAbstractSocket::UnconnectedState
               ? QStringLiteral("no answer within %1 s").arg(kConnectTimeout.count() / 1000.0)
               : m_socket.errorString();
}

void TcpLink::finishInBackground(const Outcome &outcome)
{
    if (m_opening != Opening::InBackground)
        return;
    m_opening = Opening::None;
    m_connectTimeout.stop();
    if (!outcome)
        m_socket.abort();
    emit openFinished(outcome);
}

void TcpLink::close()
{
    m_opening = Opening::None;
    m_connectTimeout.stop();
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket.flush(); // what is queued goes to the system, which sends it before closing
    m_socket.abort();
}

Outcome TcpLink::write(const QByteArray &data)
{
    return writeTo(m_socket, data);
}

QByteArray TcpLink::read(qint64 maxSize)
{
    return readFrom(m_socket, maxSize);
}

void TcpLink::onConnected()
{
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    finishInBackground({});
}

void TcpLink::onError(QAbstractSocket::SocketError error)
{
    if (m_opening == Opening::Waiting)
        return; // open() reports its own failure
    if (m_opening == Opening::InBackground) {
        finishInBackground(cannotOpen(m_socket.errorString()));
        return;
    }
    reportLost(error == QAbstractSocket::RemoteHostClosedError
                   ? QStringLiteral("the remote host closed the connection")
                   : m_socket.errorString());
}

} // namespace tarn
