#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <optional>

namespace tarn::bridge {

class HttpServer;

// "[ADDR:]PORT" as --http takes it: ADDR defaults to 127.0.0.1, so that nothing outside
// the machine reaches the port unless told; an IPv6 address goes in brackets
// ("[::1]:9100"). Port 0 asks for any free port.
struct HttpEndpoint
{
    QHostAddress address;
    quint16 port = 0;
};
std::optional<HttpEndpoint> parseHttpEndpoint(QStringView text);

// The HTTP port: listens only where told, and hands each client to the server.
class HttpListener final : public QObject
{
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;
    HttpListener(HttpServer &server, Log log);

    // An empty text once listening, or the reason it cannot.
    QString listen(const HttpEndpoint &endpoint);
    quint16 port() const { return m_tcp.serverPort(); }

private:
    HttpServer &m_server;
    Log m_log;
    QTcpServer m_tcp;
};

} // namespace tarn::bridge
