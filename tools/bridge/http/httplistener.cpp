#include "http/httplistener.h"

#include "http/httpserver.h"
#include "tcpstream.h"

#include <QTcpSocket>
#include <algorithm>

namespace tarn::bridge {

std::optional<Endpoint> readEndpoint(QStringView text, const QHostAddress &fallback)
{
    QStringView host;
    QStringView port = text;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u"]:");
        if (close < 0)
            return std::nullopt;
        host = text.sliced(1, close - 1);
        port = text.sliced(close + 2);
    } else if (const qsizetype colon = text.indexOf(u':'); colon >= 0) {
        host = text.first(colon);
        port = text.sliced(colon + 1);
    }
    const bool digits = !port.isEmpty() && port.size() <= 5 &&
                        std::ranges::all_of(port, [](QChar c) { return c >= u'0' && c <= u'9'; });
    const uint number = digits ? port.toUInt() : 0;
    const QHostAddress address = host.isEmpty() ? fallback : QHostAddress(host.toString());
    // Brackets around an IPv6 address, and only around one.
    const bool bracketed = text.startsWith(u'[');
    const bool shaped = host.isEmpty()
                            ? !bracketed
                            : bracketed == (address.protocol() == QHostAddress::IPv6Protocol);
    if (!digits || number > 65535 || address.isNull() || !shaped)
        return std::nullopt;
    return Endpoint{address, static_cast<quint16>(number)};
}

HttpListener::HttpListener(HttpServer &server, Log log) : m_server(server), m_log(std::move(log))
{
    connect(&m_tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_tcp.nextPendingConnection())
            m_server.accept(std::make_unique<TcpStream>(socket, m_log));
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
