// The gateway's MQTT logic without a broker: commands read from topics, Home Assistant's
// discovery, the pace of state messages, the options.
#include "fakelineservice.h"
#include "fakemqttlink.h"
#include "virtualclock.h"

#include "brokersettings.h"
#include "commandintake.h"
#include "commandnames.h"
#include "discoveryannouncer.h"
#include "mqttconfig.h"
#include "mqttservice.h"
#include "options.h"
#include "replies/projectorstatus.h"
#include "state/livestate.h"
#include "statethrottle.h"

#include "app/commandline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace tarn::mqtt;
using tarn::bridge::LineRequest;
using tarn::bridge::LineResult;
using tarn::bridge::LiveState;
using tarn::bridge::Moment;
using tarn::bridge::Profile;
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

// What the link took since the last call, each as "LEVELS=PAYLOAD" below tarn/hall; a state
// shows only its power and input, as the live state read them.
QStringList taken(FakeMqttLink &link)
{
    QStringList shown;
    for (const FakeMqttLink::Message &m : std::exchange(link.published, {})) {
        const QJsonObject s = QJsonDocument::fromJson(m.payload).object();
        shown << m.topic.mid(kTopics.base().size() + 1) + u'=' +
                     (s.isEmpty()
                          ? QString(m.payload)
                          : s["power"].toString("-") + u' ' + QString::number(s["input"].toInt())) +
                     (m.retained ? "" : " (not retained)");
    }
    return shown;
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

    // Every payload a config sends on a command topic is a command; the power state's options
    // are the typed reading's; a projector's device goes through the gateway's. (What the
    // configs name is checked on a real broker, end to end.)
    void discoveryConfigsAgreeWithTheCommandsAndTheReading()
    {
        for (const DiscoveryNode &node : nodesFor({"1", "single"})) {
            for (const Retained &config : node.configs) {
                const QJsonObject c = QJsonDocument::fromJson(config.payload).object();
                for (const QJsonValue &p :
                     c["options"].toArray() + c["payload_on"] + c["payload_off"])
                    QVERIFY(!c.contains("command_topic") || p.isNull() ||
                            parseCommand(kTopics, kInputs, c["command_topic"].toString(),
                                         p.toString().toUtf8(), false)
                                    .index() == 0);
                QVERIFY(c["device_class"] != "enum" || c["options"].toArray().size() == 6);
                QVERIFY(node.who == "gateway" || c["device"]["via_device"] == "tarn_bridge_hall");
            }
        }
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

    // The state published, and the commands taken: each one a request of the line's, and
    // one refused or failed there logged and its switch sprung back.
    void theBrokerHearsTheLineAndEachProjectorsReachAndStateOnChangesOnlyAndCommandsAreRun()
    {
        VirtualClock clock;
        FakeMqttLink link;
        FakeLineService line;
        QStringList out; // what the line and the log took, between the link's messages
        LineResult::Status status{};
        line.respond = [&](const LineRequest &r) {
            out << "line " + r.prefix + r.codes.join();
            return LineResult{status, {"\x06"}, "it is cooling"};
        };
        LiveState state({Profile{"1", "A001", {}, {}}, Profile{"2", "A002", {}, {}}});
        const MqttService service(
            link, line, state, clock, {kTopics, kInputs, std::nullopt, {}, {{"1", ""}, {"2", ""}}},
            [&](const QString &text) { out << "log " + text.section(": ", -1); });
        // What happens ("A001 CR0 00": that reply on the line), then what is published.
        const std::vector<std::pair<QString, QStringList>> steps = {
            {"connect",
             {"line=down", "1/availability=offline", "1/state=- 0", "2/availability=offline",
              "2/state=- 0"}},
            {"line up, wait", {"line=up", "1/availability=online", "2/availability=online"}},
            {"A001 CR0 00", {"1/state=on 0"}},        // at once
            {"A001 CR0 40, A001 CR1 3", {}},          // within the gap
            {"wait", {"1/state=warming 3"}},          // the latest, at its end
            {"A001 CR0 40, A001 C00 \x06, wait", {}}, // the same; stale only
            {"input 0, retained",                     // done, then not run at all
             {"line A001C07", "log a retained command is never carried out"}},
            {"input 4", {"line A001C07", "log it is cooling", "1/state=warming 3"}},
            {"input 3, wait, wait",
             {"line A001C07", "log the serial line is down; dropped, never sent later",
              "1/state=warming 3"}}, // held for the gap
            {"timeout A002", {"2/availability=offline"}},
            {"A002 CR0 80", {"2/availability=online", "2/state=standby 0"}},
            {"silence A001, connect",
             {"1/availability=offline", "line=up", "1/availability=offline", "1/state=warming 3",
              "2/availability=online"}},
            {"wait", {"2/state=standby 0"}},
            {"lose, unsilence A001, connect",
             {"line=up", "1/availability=online", "1/state=warming 3", "2/availability=online"}},
        };
        for (const auto &[events, expected] : steps) {
            for (const QString &event : events.split(", ")) {
                const QByteArrayList w = event.toLatin1().split(' ');
                if (w[0] == "connect" || w[0] == "lose")
                    w[0] == "lose" ? void(link.up = false) : link.bringUp();
                else if (w[0] == "line" || w[0] == "wait")
                    w[0] == "line" ? state.setLineUp(true) : clock.advance(1000ms);
                else if (w[0] == "input" || w[0] == "retained") {
                    status = LineResult::Status(w.value(1).toInt()); // as LineResult::Status
                    link.deliver("tarn/hall/1/set/input", "Kamera", w[0] == "retained");
                } else if (w[0] == "timeout")
                    state.observeTimeout(w[1]);
                else if (w[0].endsWith("silence"))
                    state.setSilenced(w[1], w[0] == "silence");
                else
                    state.observe(w[0], w[1], w[2], {clock.now(), clock.now()});
            }
            const QStringList actual = std::exchange(out, {}) + taken(link);
            QVERIFY2(actual == expected, qPrintable(events + ": " + actual.join(", ")));
        }
    }

    // The projectors are the listeners' but the broadcast's; an empty discovery prefix turns
    // discovery off; a topic option with a wildcard is refused.
    void theGatewaysOptionsMakeTheMqttSideOrSayWhichIsWrong()
    {
        tarn::bridge::Options o;
        o.listeners = {{{}, Profile{"1", "A001", "Hall left", {}}},
                       {{}, Profile{"all", "AFFF", {}, {}}}};
        o.lineName = "hall";
        o.mqtt.emplace().url = "mqtt://b";
        QCOMPARE(std::get<MqttConfig>(mqttConfig(o, "1.31")).service.projectors.size(), 1);
        QVERIFY(std::get<MqttConfig>(mqttConfig(o, "1.31")).service.discovery);
        o.mqtt->discoveryPrefix.clear();
        QVERIFY(!std::get<MqttConfig>(mqttConfig(o, "1.31")).service.discovery);
        for (QString *topic : {&o.mqtt->prefix, &o.mqtt->birthTopic}) {
            *topic = "ha/+/x";
            QVERIFY(
                std::get<QString>(mqttConfig(o, "1.31")).endsWith("has no + or # (\"ha/+/x\")"));
            *topic = "x";
        }
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
