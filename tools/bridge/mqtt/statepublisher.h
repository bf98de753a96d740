#pragma once

#include "statethrottle.h"
#include "topics.h"

#include <QObject>
#include <memory>
#include <vector>

namespace tarn::bridge {
class LiveState;
struct ProjectorRecord;
} // namespace tarn::bridge

namespace tarn::mqtt {

class MqttLink;

// Publishes what the gateway knows, retained: the line ("up" or "down"), and for each
// projector its availability ("offline" while the line is down, the projector is silenced
// or its last request timed out) and its state, the typed reading's members as one JSON
// object. A state goes out on every change, at most once per kStateGap per projector, and
// not at all while nothing changed. Everything goes out again on every new connection.
class StatePublisher : public QObject
{
    Q_OBJECT
public:
    static constexpr milliseconds kStateGap{1000};

    StatePublisher(MqttLink &link, const bridge::LiveState &state, Topics topics,
                   TimerFactory &timers, QObject *parent = nullptr);
    ~StatePublisher() override;

    // The state of `who` again, within the same bound: a switch that Home Assistant has
    // already turned springs back when its command is refused.
    void republish(const QString &who);

private:
    struct Projector
    {
        QString who;
        QByteArray availability; // as last published; empty: to be published
        std::unique_ptr<StateThrottle> state;
    };

    void connected();
    void changed(const QByteArray &prefix);
    void lineChanged(bool up);
    void publishAvailability(Projector &projector, const bridge::ProjectorRecord &record);

    MqttLink &m_link;
    const bridge::LiveState &m_state;
    Topics m_topics;
    std::vector<Projector> m_projectors; // as the state's records
};

} // namespace tarn::mqtt
