#pragma once

#include "gateway.h"
#include "profile.h"

#include <QHostAddress>
#include <QObject>
#include <memory>
#include <vector>

class QTcpServer;

namespace tarn::bridge {

// The TCP ports the gateway listens on, each handing its clients to the gateway.
class Listeners final : public QObject
{
    Q_OBJECT
public:
    Listeners(Gateway &gateway, Gateway::Log log);
    ~Listeners() override;

    // Each returns an empty text once listening, or the reason it cannot.
    QString listen(const QHostAddress &address, quint16 port, const Profile &profile);
    QString listenRaw(const QHostAddress &address, quint16 port);

private:
    QTcpServer *open(const QHostAddress &address, quint16 port, const QString &what,
                     QString &error);

    Gateway &m_gateway;
    Gateway::Log m_log;
    std::vector<std::unique_ptr<QTcpServer>> m_servers;
};

} // namespace tarn::bridge
