#include "mqttcommand.h"

#include <array>

namespace tarn::mqtt {
namespace {

using L = QLatin1StringView;

// The actions a payload of ON or OFF chooses between two commands for; for the others,
// `on` is the command whatever the payload.
struct Action
{
    QStringView name;
    L on;
    L off;
};

constexpr std::array kActions = {
    Action{u"power", L("power-on"), L("power-off")},
    Action{u"video-mute", L("no-show-on"), L("no-show-off")},
    Action{u"sound-mute", L("sound-mute-on"), L("sound-mute-off")},
    Action{u"freeze-on", L("freeze-on"), L()},
    Action{u"freeze-off", L("freeze-off"), L()},
};

QString shown(const QByteArray &payload)
{
    QString text;
    for (const char c : payload.left(kShownPayload))
        text += c >= ' ' && c <= '~' ? QString(QChar(c))
                                     : QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QChar(u'0'));
    return u'"' + text +
           (payload.size() > kShownPayload ? QStringLiteral("\"...") : QStringLiteral("\""));
}

std::variant<MqttCommand, QString> fromPayload(const QString &who, const Action &action,
                                               const QByteArray &payload)
{
    if (action.off.isEmpty() || payload == "ON")
        return MqttCommand{who, action.on};
    if (payload == "OFF")
        return MqttCommand{who, action.off};
    return QStringLiteral("%1 is not ON or OFF").arg(shown(payload));
}

} // namespace

bool isCommandTopic(const Topics &topics, const QString &topic)
{
    const QString base = topics.base() + u'/';
    const QStringList levels = topic.mid(base.size()).split(u'/');
    return topic.startsWith(base) && levels.size() == 3 && levels[1] == u"set";
}

std::variant<MqttCommand, QString> parseCommand(const Topics &topics, const QStringList &inputNames,
                                                const QString &topic, const QByteArray &payload,
                                                bool retained)
{
    if (!isCommandTopic(topics, topic))
        return QStringLiteral("not a command topic");
    const QString who = topic.section(u'/', -3, -3);
    const QString name = topic.section(u'/', -1);
    if (!isProjectorWho(who))
        return QStringLiteral("no projector is called %1").arg(who.left(kShownPayload));
    if (retained)
        return QStringLiteral("a retained command is never carried out");
    if (name == u"input") {
        const qsizetype index = inputNames.indexOf(QString::fromUtf8(payload));
        if (index < 0 || payload.isEmpty())
            return QStringLiteral("no input is named %1").arg(shown(payload));
        return MqttCommand{who, QStringLiteral("input-%1").arg(index + 1)};
    }
    for (const Action &action : kActions) {
        if (action.name == name)
            return fromPayload(who, action, payload);
    }
    return QStringLiteral("no command is called %1").arg(name.left(kShownPayload));
}

} // namespace tarn::mqtt
