// The broker connection against a real Mosquitto broker that the test starts itself, in
// real time with generous bounds.
#include "brokerprocess.h"
#include "realtime.h"
#include "simprocess.h"

#include "mosquittolink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

using namespace tarn::mqtt;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

// Client "hall" is the gateway's connection; any other, someone else on the broker.
BrokerSettings settingsFor(quint16 port, const char *client = "hall",
                           QByteArray password = BrokerProcess::kPassword)
{
    auto s = std::get<BrokerSettings>(
        brokerSettings(QStringLiteral("mqtt://127.0.0.1:%1").arg(port), {}, {}, client,
                       QStringLiteral("tarn/%1/status").arg(client)));
    s.credentials = Credentials{BrokerProcess::kUser, std::move(password)};
    s.firstRetry = 100ms;
    s.longestRetry = 400ms;
    return s;
}

// A link with its log and its signals, as the gateway would hold it.
struct Client
{
    explicit Client(BrokerSettings settings, const QString &filter = "tarn/hall/+/set/+")
        : link(std::move(settings), [this](const QString &line) { log << line; })
    {
        link.subscribe(filter);
        link.open();
    }
    bool logged(const QString &text, int times = 1)
    {
        return waitFor([&] { return log.filter(text).size() >= times; }, 20s);
    }
    bool receives(int count)
    {
        return waitFor([&] { return received.size() >= count; }, 20s);
    }
    QStringList log;
    MosquittoLink link;
    QSignalSpy connected{&link, &MqttLink::connected};
    QSignalSpy received{&link, &MqttLink::received};
};

} // namespace

class MqttBrokerTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(broker.start()); }

    void wrongCredentialsAreReportedAndRetriedWithBackoff()
    {
        Client client(settingsFor(broker.port(), "hall", "not-the-password"));
        const QString refused = QStringLiteral("MQTT broker mqtt://127.0.0.1:%1: refused the "
                                               "connection: not authorised")
                                    .arg(broker.port());
        QVERIFY(client.logged(refused, 4)); // the waits double, up to the longest
        QStringList tries = client.log.filter(refused);
        for (const char *wait : {"0.1", "0.2", "0.4", "0.4"})
            QVERIFY(tries.takeFirst().endsWith(QStringLiteral("trying again in %1 s").arg(wait)));
        QVERIFY(!client.link.isConnected() && !client.log.join(' ').contains("not-the-password"));
    }

    void tlsConnectsWithTheBrokersCaOnly()
    {
        const QString failed =
            QStringLiteral("mqtts://127.0.0.1:%1: TLS failed").arg(broker.tlsPort());
        for (const char *ca : {"ca.crt", "other.crt"}) {
            BrokerSettings settings = settingsFor(broker.tlsPort());
            settings.address.tls = true;
            settings.caFile = broker.file(ca);
            Client client(settings);
            QVERIFY(ca == QLatin1String("ca.crt")
                        ? client.connected.wait(20000)
                        : client.logged(failed) && client.logged("certificate verify failed"));
        }
    }

private:
    BrokerProcess broker;
};

// tarn-bridge on the simulator's line and the test's broker, as Home Assistant meets it.
class MqttGatewayTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_broker.start());
        QVERIFY(m_sim.start({"--warmup", "1500", "--cooldown", "60000", "--temperature-error"}));
        QFile file(m_dir.filePath("credentials"));
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write(QByteArray(BrokerProcess::kUser) + '\n' + BrokerProcess::kPassword) &&
                file.flush() && file.setPermissions(QFile::ReadOwner));
        // A power-on kept by the broker from before the gateway's start.
        Client before(settingsFor(m_broker.port(), "before"), "tarn/hall/1/set/power");
        QVERIFY(waitFor([&] { return before.link.isConnected(); }, 20s));
        before.link.publish("tarn/hall/1/set/power", "ON", true);
        QVERIFY(before.receives(1));
        connect(&m_bridge, &QProcess::readyReadStandardError, this,
                [this] { m_log += m_bridge.readAllStandardError(); });
        m_bridge.start(qEnvironmentVariable("TARN_BIN") + "/tarn-bridge",
                       {"--port", m_sim.address(), "--listen", "127.0.0.1:0=1", "--no-auth",
                        "--line-name", "hall", "--poll", "1", "--mqtt",
                        QStringLiteral("mqtt://127.0.0.1:%1").arg(m_broker.port()),
                        "--mqtt-credentials-file", file.fileName(), "--input-names",
                        "HDMI,PC,Video,S-Video"});
        QVERIFY(
            waitFor([&] { return m_log.contains("line up") && m_log.contains("connected"); }, 20s));
    }

    // A retained command from before the start, a payload that is not one and one past
    // 1 KiB put nothing on the line. Home Assistant's switch turned on: C00 on the line, the
    // state through warming to on, the temperature error in it all along.
    void theSwitchPowersOnAndRetainedOrMalformedCommandsDoNothing()
    {
        Client ha(settingsFor(m_broker.port(), "ha"), "tarn/hall/1/state");
        QVERIFY(waitFor([&] { return ha.link.isConnected(); }, 20s));
        ha.link.publish("tarn/hall/1/set/input", QByteArray(1025, 'x'), false);
        ha.link.publish("tarn/hall/1/set/input", QByteArray(1024, 'y'), false);
        ha.link.publish("tarn/hall/1/set/power", "on please", false);
        QVERIFY(waitFor([&] { return m_log.contains("on please"); }, 20s));
        QVERIFY(m_log.contains("dropped a message of 1025 bytes on tarn/hall/1/set/input") &&
                m_log.contains("no input is named \"yyyy") &&
                m_log.contains("a retained command is never carried out"));
        QVERIFY(m_sim.lines().filter("C00").isEmpty());
        ha.link.publish("tarn/hall/1/set/power", "ON", false);
        // Compact JSON, keys in order: every state read shows the error.
        QByteArray states;
        QVERIFY(waitFor(
            [&] {
                states = payloads(ha);
                return states.contains("\"power\":\"on\"");
            },
            20s));
        QVERIFY2(states.contains("\"power\":\"warming\"") &&
                     states.count("\"power\":\"") == states.count("\"temperature\""),
                 states.constData());
        QVERIFY(!m_sim.lines().filter("C00").isEmpty());
    }

    // The broker dies and comes back: PJLink is answered meanwhile, and the gateway is back
    // with its availability, state and discovery, whose every config parses, with a
    // distinct unique_id, and names only topics that the gateway publishes or takes commands
    // from; and its subscriptions, which take the PJLink clients' rules.
    void aRestartedBrokerIsReconnectedWhileTheLineServesOn()
    {
        m_broker.kill();
        QVERIFY(waitFor([&] { return m_log.contains("connection lost"); }, 20s));
        QTcpSocket pjlink;
        pjlink.connectToHost(
            QHostAddress::LocalHost,
            QRegularExpression("127.0.0.1:(\\d+) \\(PJLink").match(m_log).captured(1).toUShort());
        QByteArray answers;
        pjlink.write("%1POWR ?\r");
        QVERIFY(waitFor([&] { return (answers += pjlink.readAll()).contains("%1POWR="); }, 5s));
        QVERIFY(m_broker.start());
        Client ha(settingsFor(m_broker.port(), "ha"), "homeassistant/#");
        ha.link.subscribe("tarn/hall/#");
        // 13 configs, 2 records of them, status, line, availability and state.
        QVERIFY(waitFor(
            [&] {
                return ha.received.size() >= 13 + 6 &&
                       std::ranges::any_of(ha.received, [](const QVariantList &m) {
                           return m[0] == "tarn/hall/1/state";
                       });
            },
            20s));
        QMap<QString, QByteArray> seen; // the last message on each topic
        for (const QVariantList &m : std::as_const(ha.received))
            seen[m[0].toString()] = m[1].toByteArray();
        const QStringList configs = seen.keys().filter(QRegularExpression("^homeassistant/"));
        QSet<QString> ids, named;
        for (const QString &topic : configs) {
            QVERIFY(QJsonDocument::fromJson(seen[topic]).isObject());
            ids << QRegularExpression("\"unique_id\":\"([^\"]+)").match(seen[topic]).captured(1);
            for (const auto &m : QRegularExpression("\"(tarn/[^\"]+)").globalMatch(seen[topic]))
                named << m.captured(1);
        }
        QVERIFY(configs.size() == 13 && ids.size() == 13 && !ids.contains(QString()));
        for (const QString &topic : std::as_const(named))
            QVERIFY2(seen.contains(topic) || topic.startsWith("tarn/hall/1/set/"),
                     qPrintable(topic));
        ha.link.publish("tarn/hall/1/set/power", "OFF", false);
        QVERIFY(waitFor([&] { return payloads(ha).contains("\"power\":\"cooling\""); }, 20s));
        QCOMPARE(m_sim.lines().filter("C01").size(), 1);
        ha.link.publish("tarn/hall/1/set/power", "ON", false); // while it cools down: refused
        QVERIFY(
            waitFor([&] { return m_log.contains("power-on for projector 1 not carried"); }, 20s));
        QCOMPARE(m_sim.lines().filter("C00").size(), 1);
    }

    void aGatewayKilledLeavesOfflineAsItsLastWill()
    {
        Client ha(settingsFor(m_broker.port(), "ha"), "tarn/hall/status");
        QVERIFY(ha.receives(1));
        m_bridge.kill();
        QVERIFY(ha.receives(2));
        QCOMPARE(ha.received[0][1].toByteArray() + ha.received[1][1].toByteArray(),
                 "onlineoffline");
    }

private:
    static QByteArray payloads(const Client &client)
    {
        QByteArrayList all;
        for (const QVariantList &m : client.received)
            all << m[1].toByteArray();
        return all.join('\n');
    }

    BrokerProcess m_broker;
    SimProcess m_sim;
    QTemporaryDir m_dir;
    QProcess m_bridge;
    QString m_log;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    MqttBrokerTest link;
    MqttGatewayTest gateway;
    return QTest::qExec(&link, argc, argv) | QTest::qExec(&gateway, argc, argv);
}

#include "tst_e2e_mqtt.moc"
