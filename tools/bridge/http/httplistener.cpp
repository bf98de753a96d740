#include "http/httplistener.h"

#include "http/httpserver.h"
#include "tcpstream.h"

#include <QTcpSocket>

namespace tarn::bridge {

HttpListener::HttpListener(HttpServer &server, Log log) : m_server(server), m_log(std::move(log))
{
    connect(&m_tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_tcp.nextPendingConnection())
            m_server.accept(std::make_unique<TcpStream>(socket, m_log),
                            socket->peerAddress().toString());
    });
}

QString HttpListener::listen(const Endpoint &endpoint)
{
    const QString where = endpoint.address.protocol() == QHostAddress::IPv6Protocol
                              ? QStringLiteral("[%1]").arg(endpoint.address.toString())
                              : endpoint.address.toString();
    if (!m_tcp.listen(endpoint.address, endpoint.port))
        return QStringLiteral("cannot listen on %1:%2: %3")
            .arg(where)
            .arg(endpoint.port)
            .arg(m_tcp.errorString());
    m_log(QStringLiteral("listening on %1:%2 (HTTP)").arg(where).arg(m_tcp.serverPort()));
    return {};
}

} // namespace tarn::bridge
