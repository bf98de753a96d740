#include "discovery.h"

#include "replies/projectorstatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>

namespace tarn::mqtt {
namespace {

using L = QLatin1StringView;

enum class Options
{
    None,
    PowerStates, // the typed reading's power values
    Inputs,      // the input names
};

// One entity of a projector. The value templates read the state JSON, whose members are
// the typed reading's; each renders "None" (unknown) while its value is.
struct Entity
{
    QStringView component{};
    QStringView object{};
    QStringView name{};
    QStringView action{}; // the command topic's last level; empty: none
    QStringView value{};  // the value template; empty: no state
    QStringView deviceClass{};
    QStringView unit{};
    QStringView stateClass{};
    bool diagnostic = false;
    Options options = Options::None;
};

const std::array kEntities = {
    Entity{.component = u"switch",
           .object = u"power",
           .name = u"Power",
           .action = u"power",
           .value = u"{{ none if value_json.power is none else "
                    u"('ON' if value_json.power in ['warming', 'on'] else 'OFF') }}"},
    Entity{.component = u"sensor",
           .object = u"power_state",
           .name = u"Power state",
           .value = u"{{ value_json.power }}",
           .deviceClass = u"enum",
           .options = Options::PowerStates},
    Entity{.component = u"select",
           .object = u"input",
           .name = u"Input",
           .action = u"input",
           .value = u"{{ none if value_json.input is none else %1[value_json.input - 1] }}",
           .options = Options::Inputs},
    Entity{.component = u"switch",
           .object = u"video_mute",
           .name = u"Video mute",
           .action = u"video-mute",
           .value = u"{{ none if value_json.videoMute is none else "
                    u"('ON' if value_json.videoMute else 'OFF') }}"},
    Entity{.component = u"switch",
           .object = u"sound_mute",
           .name = u"Sound mute",
           .action = u"sound-mute",
           .value = u"{{ none if value_json.audioMute is none else "
                    u"('ON' if value_json.audioMute else 'OFF') }}"},
    Entity{.component = u"button",
           .object = u"freeze_on",
           .name = u"Freeze on",
           .action = u"freeze-on"},
    Entity{.component = u"button",
           .object = u"freeze_off",
           .name = u"Freeze off",
           .action = u"freeze-off"},
    Entity{.component = u"sensor",
           .object = u"lamp_hours",
           .name = u"Lamp hours",
           .value = u"{{ value_json.lampHours }}",
           .deviceClass = u"duration",
           .unit = u"h",
           .stateClass = u"total_increasing",
           .diagnostic = true},
    Entity{.component = u"sensor",
           .object = u"temperature_1",
           .name = u"Temperature 1",
           .value = u"{{ value_json.temperatures[0] if value_json.temperatures "
                    u"and value_json.temperatures[0] is number else none }}",
           .deviceClass = u"temperature",
           .unit = u"°C",
           .stateClass = u"measurement",
           .diagnostic = true},
    Entity{.component = u"sensor",
           .object = u"temperature_2",
           .name = u"Temperature 2",
           .value = u"{{ value_json.temperatures[1] if value_json.temperatures "
                    u"and value_json.temperatures[1] is number else none }}",
           .deviceClass = u"temperature",
           .unit = u"°C",
           .stateClass = u"measurement",
           .diagnostic = true},
    Entity{.component = u"binary_sensor",
           .object = u"power_error",
           .name = u"Power error",
           .value = u"{{ none if value_json.errors is none else "
                    u"('ON' if 'power' in value_json.errors else 'OFF') }}",
           .deviceClass = u"problem",
           .diagnostic = true},
    Entity{.component = u"binary_sensor",
           .object = u"temperature_error",
           .name = u"Temperature error",
           .value = u"{{ none if value_json.errors is none else "
                    u"('ON' if 'temperature' in value_json.errors else 'OFF') }}",
           .deviceClass = u"problem",
           .diagnostic = true},
};

// In the order a person reads them.
constexpr std::array kPowerStates = {PowerState::Standby,   PowerState::Warming,
                                     PowerState::On,        PowerState::Cooling,
                                     PowerState::PowerSave, PowerState::CoolingToPowerSave};

QString gatewayNode(const DiscoverySettings &s)
{
    return QStringLiteral("tarn_bridge_") + s.line;
}

bool isId(QStringView text)
{
    return !text.isEmpty() && std::ranges::all_of(text, [](QChar c) {
        return (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'_' || c == u'-';
    });
}

// What every config of a node shares.
struct NodeContext
{
    const DiscoverySettings &settings;
    QString node;
    QJsonObject device;
    QJsonArray availability;
};

QJsonObject common(const NodeContext &n, const QString &object, const QString &name)
{
    const QString id = n.node + u'_' + object;
    return {{"name", name},
            {"unique_id", id},
            {"object_id", id},
            {"device", n.device},
            {"origin", QJsonObject{{"name", "tarn-bridge"}, {"sw_version", n.settings.version}}},
            {"availability", n.availability},
            {"availability_mode", "all"}};
}

QJsonArray options(Options kind, const QStringList &inputNames)
{
    QJsonArray list;
    if (kind == Options::PowerStates) {
        for (const PowerState state : kPowerStates)
            list.append(QString(powerStateName(state)));
    } else if (kind == Options::Inputs) {
        list = QJsonArray::fromStringList(inputNames);
    }
    return list;
}

QJsonObject projectorConfig(const NodeContext &n, const Topics &topics, const QString &who,
                            const Entity &e)
{
    QJsonObject config = common(n, e.object.toString(), e.name.toString());
    const QJsonArray offered = options(e.options, n.settings.inputNames);
    if (!offered.isEmpty())
        config.insert("options", offered);
    if (!e.value.isEmpty()) {
        config.insert("state_topic", topics.state(who));
        // The input names go into the template as a list of JSON strings, which Jinja reads
        // as the same strings.
        const QString names =
            QString::fromUtf8(QJsonDocument(offered).toJson(QJsonDocument::Compact));
        config.insert("value_template", e.value.toString().replace(QStringLiteral("%1"), names));
    }
    if (!e.action.isEmpty()) {
        config.insert("command_topic", topics.command(who, e.action.toString()));
        config.insert("qos", 1);
    }
    if (e.component == u"switch" || e.component == u"binary_sensor") {
        config.insert("payload_on", "ON");
        config.insert("payload_off", "OFF");
    }
    if (e.component == u"switch") {
        config.insert("state_on", "ON");
        config.insert("state_off", "OFF");
    }
    const std::array<std::pair<L, QStringView>, 3> optional = {{{L("device_class"), e.deviceClass},
                                                                {L("unit_of_measurement"), e.unit},
                                                                {L("state_class"), e.stateClass}}};
    for (const auto &[key, text] : optional) {
        if (!text.isEmpty())
            config.insert(key, text.toString());
    }
    if (e.diagnostic)
        config.insert("entity_category", "diagnostic");
    return config;
}

// Each config's topic, and the record of them all.
DiscoveryNode finish(const NodeContext &n, const Topics &topics, const QString &who,
                     const QList<std::pair<QString, QJsonObject>> &configs)
{
    DiscoveryNode node{who, {}, {}};
    QJsonArray recorded;
    for (const auto &[path, config] : configs) {
        const QString component = path.section(u'/', 0, 0);
        const QString object = path.section(u'/', 1, 1);
        node.configs.append({n.settings.prefix + u'/' + component + u'/' + n.node + u'/' + object +
                                 QStringLiteral("/config"),
                             QJsonDocument(config).toJson(QJsonDocument::Compact)});
        recorded.append(path);
    }
    const QJsonObject record{
        {"prefix", n.settings.prefix}, {"node", n.node}, {"configs", recorded}};
    node.record = {topics.published(who), QJsonDocument(record).toJson(QJsonDocument::Compact)};
    return node;
}

DiscoveryNode gateway(const Topics &topics, const DiscoverySettings &s)
{
    const QJsonObject device{{"identifiers", QJsonArray{gatewayNode(s)}},
                             {"name", QStringLiteral("tarn-bridge ") + s.line},
                             {"manufacturer", "TARN"},
                             {"model", "tarn-bridge"},
                             {"sw_version", s.version}};
    const NodeContext n{s, gatewayNode(s), device,
                        QJsonArray{QJsonObject{{"topic", topics.status()}}}};
    QJsonObject line = common(n, QStringLiteral("line"), QStringLiteral("Serial line"));
    line.insert("state_topic", topics.line());
    line.insert("payload_on", "up");
    line.insert("payload_off", "down");
    line.insert("device_class", "connectivity");
    line.insert("entity_category", "diagnostic");
    return finish(n, topics, QStringLiteral("gateway"),
                  {{QStringLiteral("binary_sensor/line"), line}});
}

DiscoveryNode projector(const Topics &topics, const DiscoverySettings &s, const ProjectorInfo &p)
{
    const QString node = QStringLiteral("tarn_") + s.line + u'_' + p.who;
    const QJsonObject device{{"identifiers", QJsonArray{node}},
                             {"name", p.name.isEmpty() ? s.line + u' ' + p.who : p.name},
                             {"manufacturer", "TARN"},
                             {"model", "HV20"},
                             {"via_device", gatewayNode(s)}};
    const QJsonArray availability{QJsonObject{{"topic", topics.status()}},
                                  QJsonObject{{"topic", topics.availability(p.who)}}};
    const NodeContext n{s, node, device, availability};
    QList<std::pair<QString, QJsonObject>> configs;
    for (const Entity &e : kEntities)
        configs.append({e.component.toString() + u'/' + e.object.toString(),
                        projectorConfig(n, topics, p.who, e)});
    return finish(n, topics, p.who, configs);
}

} // namespace

QList<DiscoveryNode> discoveryNodes(const Topics &topics, const DiscoverySettings &settings,
                                    const QList<ProjectorInfo> &projectors)
{
    QList<DiscoveryNode> nodes{gateway(topics, settings)};
    for (const ProjectorInfo &p : projectors)
        nodes.append(projector(topics, settings, p));
    return nodes;
}

QStringList staleConfigs(const QByteArray &record, const QStringList &current)
{
    const QJsonObject r = QJsonDocument::fromJson(record).object();
    const QString prefix = r.value("prefix").toString();
    const QString node = r.value("node").toString();
    if (topicPrefixProblem(prefix) || !isId(node))
        return {};
    QStringList stale;
    for (const auto &value : r.value("configs").toArray()) {
        const QStringList levels = value.toString().split(u'/');
        if (levels.size() != 2 || !isId(levels[0]) || !isId(levels[1]))
            continue;
        const QString topic =
            prefix + u'/' + levels[0] + u'/' + node + u'/' + levels[1] + QStringLiteral("/config");
        if (!current.contains(topic) && !stale.contains(topic))
            stale.append(topic);
    }
    return stale;
}

} // namespace tarn::mqtt
