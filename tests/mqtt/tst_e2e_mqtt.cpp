// The broker connection against a real Mosquitto broker that the test starts itself, in
// real time with generous bounds.
#include "brokerprocess.h"
#include "realtime.h"

#include "mosquittolink.h"

#include <QSignalSpy>
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

    void aGatewayThatDiesLeavesOfflineAsItsLastWill()
    {
        Client watcher(settingsFor(broker.port(), "watcher"), "tarn/hall/status");
        QProcess peer; // this program again, holding only a connection; see main()
        qputenv("TARN_MQTT_PEER_PORT", QByteArray::number(broker.port()));
        peer.start(QCoreApplication::applicationFilePath());
        qunsetenv("TARN_MQTT_PEER_PORT");
        QVERIFY(watcher.receives(1));
        peer.kill();
        QVERIFY(watcher.receives(2));
        QCOMPARE(watcher.received[0][1].toByteArray() + watcher.received[1][1].toByteArray(),
                 "onlineoffline");
    }

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

    void aRestartedBrokerIsReconnectedWithTheSubscriptionsRenewed()
    {
        Client client(settingsFor(broker.port()));
        Client other(settingsFor(broker.port(), "other"));
        const auto bothConnected = [&](int times) {
            return waitFor(
                [&] { return std::min(client.connected.size(), other.connected.size()) >= times; },
                20s);
        };
        QVERIFY(bothConnected(1));
        broker.kill();
        QVERIFY(client.logged("connection lost"));
        QVERIFY(!client.link.isConnected() && !client.link.publish("tarn/x", "x", false));
        QVERIFY(broker.start());
        QVERIFY(bothConnected(2));
        QVERIFY(other.link.publish("tarn/hall/1/set/power", "ON", false));
        QVERIFY(client.receives(1));
    }

    void messagesPastOneKibibyteAreDroppedAndRetainedOnesMarked()
    {
        Client other(settingsFor(broker.port(), "other"));
        QVERIFY(other.connected.wait(20000));
        other.link.publish("tarn/hall/1/set/power", "ON", true); // kept from "before"
        QVERIFY(other.receives(1));                              // the broker has it
        Client client(settingsFor(broker.port()));
        QVERIFY(client.receives(1));
        QCOMPARE(client.received[0],
                 (QVariantList{"tarn/hall/1/set/power", QByteArray("ON"), true}));
        other.link.publish("tarn/hall/1/set/input", QByteArray(1025, 'x'), false);
        other.link.publish("tarn/hall/1/set/input", QByteArray(1024, 'y'), false);
        QVERIFY(client.logged("dropped a message of 1025 bytes on tarn/hall/1/set/input"));
        QVERIFY(client.receives(2));
        QCOMPARE(client.received[1],
                 (QVariantList{"tarn/hall/1/set/input", QByteArray(1024, 'y'), false}));
    }

private:
    BrokerProcess broker;
};

// Run with TARN_MQTT_PEER_PORT, it is a gateway's connection alone, for the test to kill.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (const uint port = qEnvironmentVariableIntValue("TARN_MQTT_PEER_PORT")) {
        MosquittoLink link(settingsFor(quint16(port)), [](const QString &) {});
        link.open();
        return app.exec();
    }
    MqttBrokerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_mqtt.moc"
