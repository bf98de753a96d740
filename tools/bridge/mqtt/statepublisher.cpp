#include "statepublisher.h"

#include "brokersettings.h"
#include "mqttlink.h"
#include "state/livestate.h"

#include <QJsonDocument>

namespace tarn::mqtt {
namespace {

QByteArray stateOf(const bridge::ProjectorRecord &record)
{
    return QJsonDocument(record.values()).toJson(QJsonDocument::Compact);
}

} // namespace

using bridge::LiveState;
using bridge::ProjectorRecord;

StatePublisher::StatePublisher(MqttLink &link, const LiveState &state, Topics topics,
                               TimerFactory &timers, QObject *parent)
    : QObject(parent), m_link(link), m_state(state), m_topics(std::move(topics))
{
    for (const ProjectorRecord &record : m_state.records()) {
        const QString topic = m_topics.state(record.profile.who);
        m_projectors.push_back({record.profile.who,
                                {},
                                std::make_unique<StateThrottle>(
                                    timers, kStateGap, [this, topic](const QByteArray &json) {
                                        m_link.publish(topic, json, true);
                                    })});
    }
    connect(&m_link, &MqttLink::connected, this, &StatePublisher::connected);
    connect(&m_state, &LiveState::changed, this, &StatePublisher::changed);
    connect(&m_state, &LiveState::lineChanged, this, &StatePublisher::lineChanged);
}

StatePublisher::~StatePublisher() = default;

void StatePublisher::republish(const QString &who)
{
    if (const ProjectorRecord *record = m_state.byWho(who))
        m_projectors[record - m_state.records().data()].state->republish(stateOf(*record));
}

void StatePublisher::connected()
{
    m_link.publish(m_topics.line(), m_state.lineUp() ? "up" : "down", true);
    for (std::size_t i = 0; i < m_projectors.size(); ++i) {
        m_projectors[i].availability.clear();
        publishAvailability(m_projectors[i], m_state.records()[i]);
        m_projectors[i].state->republish(stateOf(m_state.records()[i]));
    }
}

void StatePublisher::changed(const QByteArray &prefix)
{
    const ProjectorRecord *record = m_state.byPrefix(prefix);
    if (!record)
        return;
    Projector &projector = m_projectors[record - m_state.records().data()];
    publishAvailability(projector, *record);
    // While the broker is away, nothing: the next connection publishes the state then.
    if (m_link.isConnected())
        projector.state->update(stateOf(*record));
}

void StatePublisher::lineChanged(bool up)
{
    m_link.publish(m_topics.line(), up ? "up" : "down", true);
    for (std::size_t i = 0; i < m_projectors.size(); ++i)
        publishAvailability(m_projectors[i], m_state.records()[i]);
}

// Only on a change, or when the last attempt did not reach the broker.
void StatePublisher::publishAvailability(Projector &projector, const ProjectorRecord &record)
{
    const bool reachable = m_state.lineUp() && !record.silenced && record.consecutiveTimeouts == 0;
    const QByteArray availability = reachable ? kOnline : kOffline;
    if (availability != projector.availability &&
        m_link.publish(m_topics.availability(projector.who), availability, true))
        projector.availability = availability;
}

} // namespace tarn::mqtt
