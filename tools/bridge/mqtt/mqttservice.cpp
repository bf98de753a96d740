#include "mqttservice.h"

#include "state/livestate.h"

#include <QPointer>

namespace tarn::mqtt {

MqttService::MqttService(MqttLink &link, const bridge::LiveState &state, TimerFactory &timers,
                         MqttServiceSettings settings, Run run, Log log, QObject *parent)
    : QObject(parent), m_run(std::move(run)), m_log(std::move(log)),
      m_state(link, state, settings.topics, timers)
{
    if (settings.discovery)
        m_discovery = std::make_unique<DiscoveryAnnouncer>(
            link, settings.topics,
            discoveryNodes(settings.topics, *settings.discovery, settings.projectors),
            settings.birthTopic, m_log);
    QStringList served;
    for (const ProjectorInfo &projector : std::as_const(settings.projectors))
        served << projector.who;
    m_intake = std::make_unique<CommandIntake>(
        link, settings.topics, settings.inputNames, served,
        [this](const MqttCommand &command) { carryOut(command); }, m_log);
}

MqttService::~MqttService() = default;

void MqttService::carryOut(const MqttCommand &command)
{
    m_run(command, [self = QPointer(this), command](const QString &failure) {
        if (!self || failure.isEmpty())
            return;
        self->m_log(QStringLiteral("MQTT command %1 for projector %2 not carried out: %3")
                        .arg(command.command, command.who, failure));
        self->m_state.republish(command.who);
    });
}

} // namespace tarn::mqtt
