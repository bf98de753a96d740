#include "mqttservice.h"

#include "lineservice.h"
#include "state/livestate.h"

#include "commandnames.h"

namespace tarn::mqtt {

using bridge::LineResult;

MqttService::MqttService(MqttLink &link, bridge::LineService &line, const bridge::LiveState &state,
                         TimerFactory &timers, MqttServiceSettings settings, Log log,
                         QObject *parent)
    : QObject(parent), m_line(line), m_liveState(state), m_log(std::move(log)),
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

MqttService::~MqttService()
{
    m_line.cancel(this);
}

void MqttService::carryOut(const MqttCommand &command)
{
    // The intake passes only projectors served and names it knows.
    const bridge::ProjectorRecord *record = m_liveState.byWho(command.who);
    const std::optional<QByteArray> code = send::resolveCommand(command.command);
    if (!record || !code)
        return;
    m_line.submit(this, {record->profile.prefix, {*code}},
                  [this, command](const LineResult &result) { done(command, result); });
}

void MqttService::done(const MqttCommand &command, const LineResult &result)
{
    QString why;
    switch (result.status) {
    case LineResult::Status::Ok:
        return;
    case LineResult::Status::NotNow:
        why = result.why;
        break;
    case LineResult::Status::NoReply:
        why = QStringLiteral("the projector did not answer in time");
        break;
    case LineResult::Status::Silenced:
        why = QStringLiteral("the projector did not answer moments ago; not asked again");
        break;
    case LineResult::Status::LineDown:
        why = QStringLiteral("the serial line is down; dropped, never sent later");
        break;
    }
    m_log(QStringLiteral("MQTT command %1 for projector %2 not carried out: %3")
              .arg(command.command, command.who, why));
    m_state.republish(command.who);
}

} // namespace tarn::mqtt
