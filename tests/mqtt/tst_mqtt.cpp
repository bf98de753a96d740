// The gateway's MQTT logic without a broker: commands read from topics, Home Assistant's
// discovery, the pace of state messages, the options.
#include "fakemqttlink.h"
#include "virtualclock.h"

#include "brokersettings.h"
#include "commandintake.h"
#include "commandnames.h"
#include "discoveryannouncer.h"
#include "replies/projectorstatus.h"
#include "statethrottle.h"

#include "app/commandline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace tarn::mqtt;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

const Topics kTopics(QStringLiteral("tarn"), QStringLiteral("hall"));
const QStringList kInputs{"HDMI", "Input \"2\" {{ x }}", "Kamera", "PC"};

QList<DiscoveryNode> nodesFor(const QStringList &whos)
{
    QList<ProjectorInfo> projectors;
    for (const QString &who : whos)
        projectors.append({who, who == u"1" ? QStringLiteral("Hall left") : QString()});
    return discoveryNodes(kTopics, {"homeassistant", "hall", "1.31", kInputs}, projectors);
}

} // namespace

class MqttLogicTest : public QObject
{
    Q_OBJECT
private slots:
    // The expected code is the panel's own, through tarn-send's names.
    void commandsComeFromTheirTopicsAndPayloadsOnly_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("retained");
        QTest::addColumn<QString>("outcome"); // the projector and the code, or the log; or none
        const auto row = [](const char *name, const char *topic, QByteArray payload,
                            const char *outcome, bool retained = false) {
            QTest::newRow(name) << QString(topic) << payload << retained << QString(outcome);
        };
        row("power on", "tarn/hall/1/set/power", "ON", "1 C00");
        row("power off, one projector", "tarn/hall/single/set/power", "OFF", "single C01");
        row("video mute", "tarn/hall/2/set/video-mute", "ON", "2 C0D");
        row("sound mute off", "tarn/hall/3/set/sound-mute", "OFF", "3 C0C");
        row("an input by name", "tarn/hall/3/set/input", "Kamera", "3 C07");
        row("a name with quotes", "tarn/hall/1/set/input", kInputs[1].toUtf8(), "1 C06");
        row("freeze, whatever the payload", "tarn/hall/1/set/freeze-on", "", "1 C43");
        row("retained", "tarn/hall/1/set/power", "ON", "ignored: a retained command", true);
        row("lower case", "tarn/hall/1/set/power", "on", "\"on\" is not ON or OFF");
        row("an input's number", "tarn/hall/1/set/input", "3", "no input is named \"3\"");
        row("a projector not served", "tarn/hall/4/set/power", "ON", "does not serve projector 4");
        row("projector 5", "tarn/hall/5/set/power", "ON", "no projector is called 5");
        row("another action", "tarn/hall/1/set/zoom", "ON", "no command is called zoom");
        row("another line", "tarn/hallway/1/set/power", "ON", "");
        row("deeper", "tarn/hall/1/set/power/x", "ON", "");
    }
    void commandsComeFromTheirTopicsAndPayloadsOnly()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, retained);
        QFETCH(QString, outcome);
        FakeMqttLink link;
        QStringList done;
        const CommandIntake intake(
            link, kTopics, kInputs, {"1", "2", "3", "single"},
            [&](const MqttCommand &c) {
                done << c.who + u' ' + tarn::send::resolveCommand(c.command).value_or("?");
            },
            [&](const QString &line) { done << line; });
        QCOMPARE(link.filters, QStringList{"tarn/hall/+/set/+"});
        link.deliver(topic, payload, retained);
        QCOMPARE(done.size(), outcome.isEmpty() ? 0 : 1);
        QVERIFY2(done.join("").contains(outcome), qPrintable(done.join("")));
    }

    // Every topic a config names is one the gateway publishes; every payload it sends on a
    // command topic is a command.
    void discoveryConfigsAreDistinctAndAgreeWithTheTopicsAndCommands()
    {
        QSet<QString> ids;
        for (const DiscoveryNode &node : nodesFor({"1", "single"})) {
            const QString who = node.who == u"gateway" ? QString() : node.who;
            const QStringList known{kTopics.status(), kTopics.line(), kTopics.state(who),
                                    kTopics.availability(who), QString()};
            for (const Retained &config : node.configs) {
                const QJsonObject c = QJsonDocument::fromJson(config.payload).object();
                QVERIFY(config.topic.startsWith("homeassistant/") && config.topic.count(u'/') == 4);
                ids << c["unique_id"].toString();
                QStringList named{c["state_topic"].toString()};
                for (const QJsonValue &a : c["availability"].toArray())
                    named << a["topic"].toString();
                QCOMPARE(named.size(), who.isEmpty() ? 2 : 3);
                QVERIFY(std::ranges::all_of(named,
                                            [&](const QString &t) { return known.contains(t); }));
                for (const QJsonValue &p :
                     c["options"].toArray() + c["payload_on"] + c["payload_off"])
                    QVERIFY(!c.contains("command_topic") || p.isNull() ||
                            parseCommand(kTopics, kInputs, c["command_topic"].toString(),
                                         p.toString().toUtf8(), false)
                                    .index() == 0);
                QVERIFY(c["device_class"] != "enum" || c["options"].toArray().size() == 6);
                QVERIFY(who.isEmpty() || c["device"]["via_device"] == "tarn_bridge_hall");
            }
        }
        QCOMPARE(ids.size(), 1 + 2 * 12);
    }

    void aRecordOfAnEarlierRunRemovesWhatThisRunNoLongerServes()
    {
        FakeMqttLink link;
        QStringList log;
        DiscoveryAnnouncer announcer(link, kTopics, nodesFor({"1"}), "homeassistant/status",
                                     [&](const QString &line) { log << line; });
        link.bringUp();
        QCOMPARE(link.published.size(), 1 + 12 + 2);
        QVERIFY(std::ranges::all_of(link.published, &FakeMqttLink::Message::retained));
        link.published.clear();
        const QList<DiscoveryNode> earlier = nodesFor({"1", "2"});
        link.deliver(earlier[1].record.topic, earlier[1].record.payload, true);
        link.deliver(earlier[2].record.topic, earlier[2].record.payload, false); // this run's own
        QVERIFY(link.published.isEmpty());
        link.deliver(earlier[2].record.topic, earlier[2].record.payload, true);
        QCOMPARE(link.published.size(), 12 + 1);
        for (const FakeMqttLink::Message &m : std::as_const(link.published))
            QVERIFY(m.retained && m.payload.isEmpty() &&
                    m.topic.contains("tarn_hall_2") != m.topic.endsWith("/discovery/2"));
        QCOMPARE(log.size(), 1);
        link.deliver("homeassistant/status", "online");
        QCOMPARE(link.published.size(), 13 + 15);
    }

    void stateGoesOutAtOnceThenAtMostOncePerGap()
    {
        VirtualClock clock;
        QByteArrayList sent;
        StateThrottle state(clock, 1000ms, [&](const QByteArray &s) { sent << s; });
        for (const char *change : {"a", "b", "c"})
            state.update(change);
        clock.advance(999ms);
        QCOMPARE(sent.size(), 1);
        clock.advance(1ms); // the latest of the changes held back
        state.update("c");  // no change
        clock.advance(5000ms);
        state.update("d"); // the gap is long over: at once
        state.republish(); // within the gap: at its end
        clock.advance(1000ms);
        QCOMPARE(sent, (QByteArrayList{"a", "c", "d", "d"}));
    }

    void theOptionsAreReadAndCredentialsKeptPrivate()
    {
        const auto address = [](const char *url) {
            const auto parsed = brokerSettings(url, {}, {}, "hall", "tarn/hall/status");
            return parsed.index() == 0 ? std::get<0>(parsed).address.text() : QString();
        };
        QCOMPARE(address("mqtts://[::1]/") + address("mqtt://user:secret@b") +
                     address("mqtt://b/x"),
                 "mqtts://[::1]:8883");
        QVERIFY(tarn::parseInputNames(" HDMI,PC , Video,S-Video").index() == 0);
        for (const QString &refused : QStringList{"A,B,C", "A,B,C,A", "A,,C,D", "A,B,C,D\x7f",
                                                  "A,B,C,\u00e9" + QString(21, QChar(0x20AC))})
            QVERIFY(tarn::parseInputNames(refused).index() == 1);
        QTemporaryDir dir;
        QFile file(dir.filePath("credentials"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("tarn\r\nsecret\r\n") > 0 &&
                file.flush());
        file.setPermissions(QFile::ReadOwner | QFile::ReadOther);
        QVERIFY(!std::get<QString>(readCredentialsFile(file.fileName())).contains("secret"));
        file.setPermissions(QFile::ReadOwner);
        const auto read = std::get<Credentials>(readCredentialsFile(file.fileName()));
        QVERIFY(read.user == "tarn" && read.password == "secret");
    }
};

QTEST_GUILESS_MAIN(MqttLogicTest)
#include "tst_mqtt.moc"
