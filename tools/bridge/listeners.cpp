#include "listeners.h"

#include "tcpstream.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace tarn::bridge {
namespace {

QString endpoint(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace

Listeners::Listeners(Gateway &gateway, Gateway::Log log) : m_gateway(gateway), m_log(std::move(log))
{}

Listeners::~Listeners() = default;

QString Listeners::listen(const QHostAddress &address, quint16 port, const Profile &profile)
{
    QString error;
    const QString what = profile.who == u"single" || profile.who == u"all"
                             ? profile.who
                             : QStringLiteral("projector %1").arg(profile.who);
    QTcpServer *server = open(address, port, QStringLiteral("PJLink, %1").arg(what), error);
    if (!server)
        return error;
    connect(server, &QTcpServer::newConnection, this, [this, server, profile] {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            const QString peer = socket->peerAddress().toString();
            m_gateway.accept(std::make_unique<TcpStream>(socket), profile, peer);
        }
    });
    return {};
}

QString Listeners::listenRaw(const QHostAddress &address, quint16 port)
{
    QString error;
    QTcpServer *server = open(address, port, QStringLiteral("raw"), error);
    if (!server)
        return error;
    connect(server, &QTcpServer::newConnection, this, [this, server] {
        while (QTcpSocket *socket = server->nextPendingConnection())
            m_gateway.acceptRaw(std::make_unique<TcpStream>(socket));
    });
    return {};
}

QTcpServer *Listeners::open(const QHostAddress &address, quint16 port, const QString &what,
                            QString &error)
{
    auto server = std::make_unique<QTcpServer>();
    if (!server->listen(address, port)) {
        error = QStringLiteral("cannot listen on %1: %2")
                    .arg(endpoint(address, port), server->errorString());
        return nullptr;
    }
    m_log(QStringLiteral("listening on %1 (%2)")
              .arg(endpoint(server->serverAddress(), server->serverPort()), what));
    m_servers.push_back(std::move(server));
    return m_servers.back().get();
}

} // namespace tarn::bridge
