#include "discoveryannouncer.h"

#include "mqttlink.h"

#include <algorithm>

namespace tarn::mqtt {

DiscoveryAnnouncer::DiscoveryAnnouncer(MqttLink &link, Topics topics, QList<DiscoveryNode> nodes,
                                       QString birthTopic, Log log, QObject *parent)
    : QObject(parent), m_link(link), m_topics(std::move(topics)), m_nodes(std::move(nodes)),
      m_birthTopic(std::move(birthTopic)), m_log(std::move(log))
{
    if (!m_birthTopic.isEmpty())
        m_link.subscribe(m_birthTopic);
    m_link.subscribe(m_topics.publishedFilter());
    connect(&m_link, &MqttLink::connected, this, &DiscoveryAnnouncer::announce);
    connect(&m_link, &MqttLink::received, this, &DiscoveryAnnouncer::received);
}

void DiscoveryAnnouncer::announce()
{
    for (const DiscoveryNode &node : std::as_const(m_nodes)) {
        for (const Retained &config : node.configs)
            m_link.publish(config.topic, config.payload, true);
        m_link.publish(node.record.topic, node.record.payload, true);
    }
}

void DiscoveryAnnouncer::received(const QString &topic, const QByteArray &payload, bool retained)
{
    if (topic == m_birthTopic && payload == "online") {
        announce();
        return;
    }
    const QString records = m_topics.published({});
    // Only a retained record is one of an earlier run: a live one is this run's own.
    const QString who = topic.mid(records.size());
    if (retained && !payload.isEmpty() && topic.startsWith(records) &&
        (isProjectorWho(who) || who == u"gateway"))
        removeStale(who, payload);
}

void DiscoveryAnnouncer::removeStale(const QString &who, const QByteArray &record)
{
    // Whatever the record says, nothing that this run publishes is removed.
    QStringList served;
    for (const DiscoveryNode &node : std::as_const(m_nodes)) {
        for (const Retained &config : node.configs)
            served << config.topic;
    }
    const QStringList stale = staleConfigs(record, served);
    for (const QString &topic : stale)
        m_link.publish(topic, {}, true);
    if (std::ranges::find(m_nodes, who, &DiscoveryNode::who) == m_nodes.end())
        m_link.publish(m_topics.published(who), {}, true);
    if (!stale.isEmpty())
        m_log(QStringLiteral("MQTT discovery: removed %1 config(s) of %2 that this run does not "
                             "serve")
                  .arg(stale.size())
                  .arg(who));
}

} // namespace tarn::mqtt
