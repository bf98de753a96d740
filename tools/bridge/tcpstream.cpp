#include "tcpstream.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace tarn::bridge {
namespace {

QString addressAndPort(const QTcpSocket &socket)
{
    const QHostAddress address = socket.peerAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(socket.peerPort());
}

} // namespace

TcpStream::TcpStream(QTcpSocket *socket, Log log)
    : m_socket(socket), m_peer(addressAndPort(*socket)), m_log(std::move(log))
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadChunk);
    // Answers go out at once: a client that sends several requests in one go would
    // otherwise wait on delayed acknowledgements.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_linger.setSingleShot(true);
    m_linger.setTimerType(Qt::PreciseTimer);
    m_linger.setInterval(kLinger);
    connect(&m_linger, &QTimer::timeout, this,
            [this] { cutOff(QStringLiteral("it did not take its last answer")); });
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpStream::readSome);
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpStream::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { cutOff({}); });
}

TcpStream::~TcpStream()
{
    m_socket->disconnect(this);
}

void TcpStream::write(const QByteArray &bytes)
{
    if (m_closing)
        return;
    if (m_socket->bytesToWrite() + bytes.size() > kMaxUnsent) {
        cutOff(QStringLiteral("it leaves its answers unread"));
        return;
    }
    m_socket->write(bytes);
}

void TcpStream::setReading(bool reading)
{
    if (m_reading == reading)
        return;
    m_reading = reading;
    // Not from inside the caller, which may be handling the bytes before these.
    if (reading)
        QMetaObject::invokeMethod(this, &TcpStream::readSome, Qt::QueuedConnection);
}

void TcpStream::close()
{
    if (std::exchange(m_closing, true))
        return;
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        finish();
    else
        m_linger.start();
}

void TcpStream::readSome()
{
    while (m_reading && !m_closing && m_socket->bytesAvailable() > 0)
        emit received(m_socket->read(kReadChunk));
}

// Without a reason: the connection failed on its own.
void TcpStream::cutOff(const QString &why)
{
    if (!why.isEmpty() && !m_finished)
        m_log(QStringLiteral("%1 cut off: %2").arg(m_peer, why));
    m_closing = true;
    m_socket->abort();
    finish();
}

void TcpStream::finish()
{
    m_linger.stop();
    m_closing = true;
    if (!std::exchange(m_finished, true))
        emit closed();
}

} // namespace tarn::bridge
