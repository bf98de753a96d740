#pragma once

#include "commandintake.h"
#include "discoveryannouncer.h"
#include "statepublisher.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace tarn::bridge {
class LineService;
class LiveState;
struct LineResult;
} // namespace tarn::bridge

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
// commands taken from the set topics. The commands are one client of the line, through the
// same queue and rules as a PJLink client's (the action rule included), in turns with the
// others. One refused or failed there is logged, and its projector's state published again,
// so that a switch turned in Home Assistant springs back; one that meets a line that is
// down is dropped so, never sent later.
class MqttService : public QObject
{
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;

    MqttService(MqttLink &link, bridge::LineService &line, const bridge::LiveState &state,
                TimerFactory &timers, MqttServiceSettings settings, Log log,
                QObject *parent = nullptr);
    ~MqttService() override;

private:
    void carryOut(const MqttCommand &command);
    void done(const MqttCommand &command, const bridge::LineResult &result);

    bridge::LineService &m_line;
    const bridge::LiveState &m_liveState;
    Log m_log;
    StatePublisher m_state;
    std::unique_ptr<DiscoveryAnnouncer> m_discovery;
    std::unique_ptr<CommandIntake> m_intake;
};

} // namespace tarn::mqtt
