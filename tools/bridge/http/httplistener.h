#pragma once

#include "options.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <optional>

namespace tarn::bridge {

class HttpServer;

// "[ADDR:]PORT": an address (not a host name), an IPv6 one in brackets ("[::1]:9100"),
// and a port, 0 asking for any free one. Without ADDR, `fallback`: for --http 127.0.0.1,
// so that nothing outside the machine reaches the port unless told.
std::optional<Endpoint> readEndpoint(QStringView text,
                                     const QHostAddress &fallback = QHostAddress::LocalHost);

// The HTTP port: listens only where told, and hands each client to the server.
class HttpListener final : public QObject
{
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;
    HttpListener(HttpServer &server, Log log);

    // An empty text once listening, or the reason it cannot.
    QString listen(const Endpoint &endpoint);
    quint16 port() const { return m_tcp.serverPort(); }

private:
    HttpServer &m_server;
    Log m_log;
    QTcpServer m_tcp;
};

} // namespace tarn::bridge
