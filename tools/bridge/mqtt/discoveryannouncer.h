#pragma once

#include "discovery.h"

#include <QObject>
#include <functional>

namespace tarn::mqtt {

class MqttLink;

// Publishes the discovery configs and their records on every connection, and again when
// Home Assistant's birth topic says "online". A record of an earlier run that names configs
// no longer served (a projector taken off the command line) has them removed with an empty
// retained message, and is removed itself when its whole device is gone.
class DiscoveryAnnouncer : public QObject
{
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;

    DiscoveryAnnouncer(MqttLink &link, Topics topics, QList<DiscoveryNode> nodes,
                       QString birthTopic, Log log, QObject *parent = nullptr);

    void announce();

private:
    void received(const QString &topic, const QByteArray &payload, bool retained);
    void removeStale(const QString &who, const QByteArray &record);

    MqttLink &m_link;
    Topics m_topics;
    QList<DiscoveryNode> m_nodes;
    QString m_birthTopic;
    Log m_log;
};

} // namespace tarn::mqtt
