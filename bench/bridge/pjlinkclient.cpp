#include "pjlinkclient.h"

#include <QCryptographicHash>

namespace tarn::bench {

PjlinkClient::PjlinkClient(quint16 port, const Origin &origin, QObject *parent)
    : QObject(parent), m_socket(this), m_password(origin.password)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &PjlinkClient::read);
    m_socket.bind(origin.from);
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); // as control systems do
}

void PjlinkClient::ask(const QByteArray &command)
{
    m_asked = Clock::now();
    m_socket.write(std::exchange(m_digest, {}) + "%1" + command + '\r');
}

void PjlinkClient::read()
{
    m_buffer += m_socket.readAll();
    qsizetype end;
    while ((end = m_buffer.indexOf('\r')) >= 0) {
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (!m_greeted) {
            m_greeted =
                line == "PJLINK 0" || (line.startsWith("PJLINK 1 ") && !m_password.isEmpty());
            if (line.startsWith("PJLINK 1 "))
                m_digest =
                    QCryptographicHash::hash(line.mid(9) + m_password, QCryptographicHash::Md5)
                        .toHex();
            if (m_greeted)
                emit greeted();
        } else if (!busy() || !line.startsWith("%1")) {
            ++m_unsolicited;
        } else {
            const Nanos roundTrip = Clock::now() - std::exchange(m_asked, TimePoint{});
            emit answered(line.mid(2), roundTrip);
        }
    }
}

} // namespace tarn::bench
