#include "mqttconfig.h"

#include "options.h"

namespace tarn::mqtt {
namespace {

// A prefix, or a topic of its own (the birth topic), that cannot be used.
QString topicProblem(const char *option, const QString &topic)
{
    const std::optional<QString> problem = topicPrefixProblem(topic);
    return problem ? QStringLiteral("bad --%1: %2").arg(QLatin1StringView(option), *problem)
                   : QString();
}

QList<ProjectorInfo> projectorsOf(const bridge::Options &options)
{
    QList<ProjectorInfo> projectors;
    for (const bridge::Listener &listener : options.listeners) {
        const bridge::Profile &p = listener.profile;
        const bool known = std::ranges::any_of(
            projectors, [&p](const ProjectorInfo &info) { return info.who == p.who; });
        if (!p.broadcast() && !known)
            projectors.append({p.who, QString::fromLatin1(p.name)});
    }
    return projectors;
}

} // namespace

std::optional<QString> mqttOptionsProblem(const bridge::Options &options)
{
    if (!options.mqtt)
        return std::nullopt;
    const bridge::MqttOptions &o = *options.mqtt;
    QString problem = topicProblem("mqtt-prefix", o.prefix);
    if (problem.isEmpty() && !o.discoveryPrefix.isEmpty())
        problem = topicProblem("mqtt-discovery-prefix", o.discoveryPrefix);
    if (problem.isEmpty() && !o.birthTopic.isEmpty())
        problem = topicProblem("mqtt-birth-topic", o.birthTopic);
    if (!problem.isEmpty())
        return problem;
    const auto address = parseBrokerAddress(o.url);
    if (const auto *bad = std::get_if<QString>(&address))
        return *bad;
    if (!o.caFile.isEmpty() && !std::get<BrokerAddress>(address).tls)
        return QStringLiteral("--mqtt-ca-file is for a broker reached through mqtts://");
    return std::nullopt;
}

std::variant<MqttConfig, QString> mqttConfig(const bridge::Options &options, const QString &version)
{
    if (const std::optional<QString> problem = mqttOptionsProblem(options))
        return *problem;
    const bridge::MqttOptions &o = *options.mqtt;
    const Topics topics(o.prefix, options.lineName);
    auto broker =
        brokerSettings(o.url, o.caFile, o.credentialsFile, options.lineName, topics.status());
    if (const auto *bad = std::get_if<QString>(&broker))
        return *bad;
    MqttServiceSettings service{topics, options.inputNames, std::nullopt, o.birthTopic,
                                projectorsOf(options)};
    if (!o.discoveryPrefix.isEmpty())
        service.discovery =
            DiscoverySettings{o.discoveryPrefix, options.lineName, version, service.inputNames};
    return MqttConfig{std::get<BrokerSettings>(std::move(broker)), std::move(service)};
}

} // namespace tarn::mqtt
