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

TcpStream::TcpStream(QTcpSocket *socket) : m_socket(socket), m_peer(addressAndPort(*socket))
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadChunk);
    m_linger.setSingleShot(true);
    m_linger.setTimerType(Qt::PreciseTimer);
    m_linger.setInterval(kLinger);
    connect(&m_linger, &QTimer::timeout, this, &TcpStream::cutOff);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpStream::readSome);
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpStream::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TcpStream::cutOff);
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
        cutOff();
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

void TcpStream::cutOff()
{
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
