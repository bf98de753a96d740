#pragma once

#include "mqttcommand.h"

#include <QObject>
#include <functional>

namespace tarn::mqtt {

class MqttLink;

// Takes commands from PREFIX/LINE/WHO/set/ACTION for the projectors this gateway serves and
// hands each to the gateway, which puts it through the line's queue and rules. Whatever it
// refuses (a retained message, an unknown payload, a projector not served) is logged with
// the topic and the reason, and goes no further.
class CommandIntake : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const MqttCommand &)>;
    using Log = std::function<void(const QString &)>;

    CommandIntake(MqttLink &link, Topics topics, QStringList inputNames, QStringList served,
                  Handler handler, Log log, QObject *parent = nullptr);

private:
    void received(const QString &topic, const QByteArray &payload, bool retained);

    Topics m_topics;
    QStringList m_inputNames;
    QStringList m_served;
    Handler m_handler;
    Log m_log;
};

} // namespace tarn::mqtt
