#pragma once

#include "options.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <functional>

namespace tarn::bridge {

class HttpServer;

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
