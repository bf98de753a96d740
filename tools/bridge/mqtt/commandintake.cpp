#include "commandintake.h"

#include "mqttlink.h"

namespace tarn::mqtt {

CommandIntake::CommandIntake(MqttLink &link, Topics topics, QStringList inputNames,
                             QStringList served, Handler handler, Log log, QObject *parent)
    : QObject(parent), m_topics(std::move(topics)), m_inputNames(std::move(inputNames)),
      m_served(std::move(served)), m_handler(std::move(handler)), m_log(std::move(log))
{
    link.subscribe(m_topics.commandFilter());
    connect(&link, &MqttLink::received, this, &CommandIntake::received);
}

void CommandIntake::received(const QString &topic, const QByteArray &payload, bool retained)
{
    if (!isCommandTopic(m_topics, topic))
        return;
    auto parsed = parseCommand(m_topics, m_inputNames, topic, payload, retained);
    if (const auto *command = std::get_if<MqttCommand>(&parsed);
        command && !m_served.contains(command->who))
        parsed = QStringLiteral("this gateway does not serve projector %1").arg(command->who);
    if (const auto *reason = std::get_if<QString>(&parsed))
        m_log(QStringLiteral("MQTT command on %1 ignored: %2").arg(topic, *reason));
    else
        m_handler(std::get<MqttCommand>(parsed));
}

} // namespace tarn::mqtt
