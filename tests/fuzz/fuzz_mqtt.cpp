// What the gateway reads from the broker, any bytes: a topic, a payload and the retained
// flag, as a command and as a record of an earlier run's discovery. A command names a
// projector and a code the line knows; a record only ever removes configs, never anything
// this run serves.
#include "fakemqttlink.h"

#include "commandnames.h"
#include "discoveryannouncer.h"
#include "mqttcommand.h"

#include <cstdint>
#include <cstdlib>

using namespace tarn::mqtt;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto require = [](bool condition) {
        condition ? void() : std::abort();
    };
    // The first byte: the retained flag and where the topic ends; then the topic, the payload.
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype split = std::min<qsizetype>(data[0] >> 1, rest.size());
    const QString topic = QStringLiteral("tarn/hall/") + QString::fromUtf8(rest.left(split));
    const QByteArray payload = rest.mid(split);
    const bool retained = data[0] & 1;

    const Topics topics(QStringLiteral("tarn"), QStringLiteral("hall"));
    const QStringList inputs{"HDMI", "PC", "Video", "S-Video"};
    const auto parsed = parseCommand(topics, inputs, topic, payload, retained);
    if (const auto *command = std::get_if<MqttCommand>(&parsed)) {
        require(!retained && isProjectorWho(command->who));
        require(tarn::send::resolveCommand(command->command).has_value());
    }

    tarn::test::FakeMqttLink link;
    static const QList<DiscoveryNode> nodes =
        discoveryNodes(topics, {"homeassistant", "hall", "1", inputs}, {{"1", "Hall"}});
    DiscoveryAnnouncer announcer(link, topics, nodes, "homeassistant/status",
                                 [](const QString &) {});
    link.up = true;
    link.deliver(topic, payload, retained);
    for (const auto &m : std::as_const(link.published)) {
        const bool config = m.topic.endsWith("/config");
        require(m.retained && !m.topic.contains(u'+') && !m.topic.contains(u'#'));
        require(m.payload.isEmpty() && (config || m.topic.startsWith("tarn/hall/discovery/")));
        for (const DiscoveryNode &node : nodes) {
            require(m.topic != node.record.topic);
            for (const Retained &c : node.configs)
                require(c.topic != m.topic);
        }
    }
    return 0;
}
