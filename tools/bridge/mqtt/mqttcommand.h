#pragma once

#include "topics.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <variant>

namespace tarn::mqtt {

// A command that arrived on PREFIX/LINE/WHO/set/ACTION, as the name tarn-send knows it by.
struct MqttCommand
{
    QString who;     // "single" or "1" to "4"
    QString command; // e.g. "power-on", "input-3"
};

// Reads one message from the broker:
//   set/power, set/video-mute, set/sound-mute    ON or OFF
//   set/input                                    an input's name from inputNames (four)
//   set/freeze-on, set/freeze-off                anything
// A retained message is refused, so that a command kept by the broker never replays when
// the gateway connects. Anything else is refused too. A refusal is the reason, for the
// log; it quotes at most the first kShownPayload bytes of the payload, made printable.
std::variant<MqttCommand, QString> parseCommand(const Topics &topics, const QStringList &inputNames,
                                                const QString &topic, const QByteArray &payload,
                                                bool retained);

constexpr qsizetype kShownPayload = 32;

// PREFIX/LINE/+/set/+: a topic that parseCommand() reads, or refuses with a reason worth
// logging; anything else is not meant for it.
bool isCommandTopic(const Topics &topics, const QString &topic);

} // namespace tarn::mqtt
