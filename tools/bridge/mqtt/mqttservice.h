#pragma once

#include "commandintake.h"
#include "discoveryannouncer.h"
#include "statepublisher.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace tarn::bridge {
class LiveState;
}

namespace tarn::mqtt {

struct MqttServiceSettings
{
    Topics topics;
    QStringList inputNames;
    std::optional<DiscoverySettings> discovery; // none: discovery off
    QString birthTopic;                         // Home Assistant's; empty: none
    QList<ProjectorInfo> projectors;            // as the live state's records
};

// The gateway on the broker: its live state published, Home Assistant's discovery, and the
// commands taken from the set topics. A command goes to `run`, which puts it through the
// line's queue and rules as any client's; a command refused or failed there is logged, and
// its projector's state published again, so that a switch turned in Home Assistant springs
// back.
class MqttService : public QObject
{
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;
    // Calls `done` once with nothing when the command was carried out, else with the reason.
    using Done = std::function<void(const QString &failure)>;
    using Run = std::function<void(const MqttCommand &command, Done done)>;

    MqttService(MqttLink &link, const bridge::LiveState &state, TimerFactory &timers,
                MqttServiceSettings settings, Run run, Log log, QObject *parent = nullptr);
    ~MqttService() override;

private:
    void carryOut(const MqttCommand &command);

    Run m_run;
    Log m_log;
    StatePublisher m_state;
    std::unique_ptr<DiscoveryAnnouncer> m_discovery;
    std::unique_ptr<CommandIntake> m_intake;
};

} // namespace tarn::mqtt
