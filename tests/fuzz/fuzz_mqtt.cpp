// What the gateway reads from the broker, any bytes: a topic under its own, a payload and
// the retained flag. A command names a projector and a code the line knows; a record of
// an earlier run's discovery only ever removes configs, never one this run serves.
#include "fakemqttlink.h"

#include "commandintake.h"
#include "commandnames.h"
#include "discoveryannouncer.h"

#include <cstdint>
#include <cstdlib>

using namespace tarn::mqtt;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto require = [](bool condition) {
        condition ? void() : std::abort();
    };
    if (size < 1) // the retained flag and the topic's length, then the topic and the payload
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString topic = "tarn/hall/" + QString::fromUtf8(rest.left(data[0] >> 1));
    const Topics topics("tarn", "hall");
    static const QList<DiscoveryNode> nodes =
        discoveryNodes(topics, {"homeassistant", "hall", "1", {"A", "B", "C", "D"}}, {{"1", ""}});
    tarn::test::FakeMqttLink link;
    link.up = true;
    DiscoveryAnnouncer announcer(link, topics, nodes, {}, [](const QString &) {});
    CommandIntake intake(
        link, topics, {"A", "B", "C", "D"}, {"1", "single"},
        [&](const MqttCommand &c) {
            require(!(data[0] & 1) && tarn::send::resolveCommand(c.command).has_value());
        },
        [](const QString &) {});
    link.deliver(topic, rest.mid(data[0] >> 1), data[0] & 1);
    for (const auto &m : std::as_const(link.published)) {
        require(m.retained && m.payload.isEmpty() && !m.topic.contains(u'+'));
        for (const DiscoveryNode &node : nodes)
            require(m.topic != node.record.topic &&
                    std::ranges::none_of(node.configs,
                                         [&](const Retained &c) { return c.topic == m.topic; }));
    }
    return 0;
}
