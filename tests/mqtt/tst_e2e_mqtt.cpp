// The broker connection against a real Mosquitto broker that the test starts itself, in
// real time with generous bounds; another client is Mosquitto's own mosquitto_sub or _pub.
#include "brokerprocess.h"
#include "realtime.h"

#include "mosquittolink.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

using namespace tarn::mqtt;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

const QString kStatus = QStringLiteral("tarn/hall/status");

BrokerSettings settingsFor(const BrokerProcess &broker, bool tls = false,
                           QByteArray password = BrokerProcess::kPassword)
{
    BrokerSettings s;
    s.address = {QStringLiteral("127.0.0.1"), tls ? broker.tlsPort() : broker.port(), tls};
    s.caFile = broker.caFile();
    s.credentials = Credentials{BrokerProcess::kUser, std::move(password)};
    s.clientId = QStringLiteral("tarn-bridge-hall");
    s.statusTopic = kStatus;
    s.firstRetry = 100ms;
    s.longestRetry = 400ms;
    return s;
}

// A link with its log, as the gateway would hold it.
struct Client
{
    explicit Client(BrokerSettings settings)
        : link(std::move(settings), [this](const QString &line) { log << line; })
    {}
    bool logged(const QString &text, int times = 1)
    {
        return waitFor([&] { return log.filter(text).size() >= times; }, 20s);
    }
    QStringList log;
    MosquittoLink link;
};

bool shows(QProcess &subscriber, const QByteArray &line)
{
    QByteArray seen;
    return waitFor([&] { return (seen += subscriber.readAllStandardOutput()).contains(line); },
                   20s);
}

} // namespace

class MqttBrokerTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(broker.start()); }

    void aGatewayThatDiesLeavesOfflineAsItsLastWill()
    {
        QProcess &watcher = broker.subscriber(kStatus);
        QProcess peer; // this program again, holding only a connection
        peer.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARN_MQTT_PEER_PORT", QString::number(broker.port()));
        peer.setProcessEnvironment(environment);
        peer.start(QCoreApplication::applicationFilePath());
        QVERIFY(shows(watcher, "tarn/hall/status online"));
        peer.kill();
        QVERIFY(shows(watcher, "tarn/hall/status offline"));
    }

    void wrongCredentialsAreReportedAndRetriedWithBackoff()
    {
        Client client(settingsFor(broker, false, "not-the-password"));
        client.link.open();
        const QString refused = QStringLiteral("MQTT broker mqtt://127.0.0.1:%1: refused the "
                                               "connection: not authorised")
                                    .arg(broker.port());
        QVERIFY(client.logged(refused, 3));
        const QStringList tries = client.log.filter(refused);
        QVERIFY(tries[0].endsWith("trying again in 0.1 s") && tries[1].endsWith("in 0.2 s"));
        QVERIFY(!client.link.isConnected());
        QVERIFY(!client.log.join(' ').contains("not-the-password"));
    }

    void tlsConnectsWithTheBrokersCaOnly_data()
    {
        QTest::addColumn<bool>("ownCa");
        QTest::newRow("the CA that signed the broker's certificate") << true;
        QTest::newRow("another CA") << false;
    }
    void tlsConnectsWithTheBrokersCaOnly()
    {
        QFETCH(bool, ownCa);
        BrokerSettings settings = settingsFor(broker, true);
        settings.caFile = ownCa ? broker.caFile() : broker.otherCaFile();
        Client client(settings);
        QSignalSpy connected(&client.link, &MqttLink::connected);
        client.link.open();
        if (ownCa)
            QVERIFY(connected.wait(20000));
        else
            QVERIFY(client.logged(
                        QStringLiteral("mqtts://127.0.0.1:%1: TLS failed").arg(broker.tlsPort())) &&
                    client.logged("certificate verify failed"));
        QCOMPARE(client.link.isConnected(), ownCa);
    }

    void aRestartedBrokerIsReconnectedWithTheSubscriptionsRenewed()
    {
        Client client(settingsFor(broker));
        QSignalSpy connected(&client.link, &MqttLink::connected);
        QSignalSpy received(&client.link, &MqttLink::received);
        client.link.subscribe("tarn/hall/+/set/+");
        client.link.open();
        QVERIFY(connected.wait(20000));
        broker.kill();
        QVERIFY(client.logged("connection lost"));
        QVERIFY(!client.link.isConnected() && !client.link.publish("tarn/x", "x", false));
        QVERIFY(broker.start());
        QVERIFY(waitFor([&] { return connected.size() == 2; }, 20s));
        QVERIFY(broker.publish("tarn/hall/1/set/power", "ON", false));
        QVERIFY(waitFor([&] { return received.size() == 1; }, 20s));
    }

    void messagesPastOneKibibyteAreDroppedAndRetainedOnesMarked()
    {
        QVERIFY(broker.publish("tarn/hall/1/set/power", "ON", true)); // kept from "before"
        Client client(settingsFor(broker));
        QSignalSpy received(&client.link, &MqttLink::received);
        client.link.subscribe("tarn/hall/+/set/+");
        client.link.open();
        QVERIFY(waitFor([&] { return received.size() == 1; }, 20s));
        QCOMPARE(received[0], (QVariantList{"tarn/hall/1/set/power", QByteArray("ON"), true}));
        QVERIFY(broker.publish("tarn/hall/1/set/input", QByteArray(1025, 'x'), false));
        QVERIFY(broker.publish("tarn/hall/1/set/input", QByteArray(1024, 'y'), false));
        QVERIFY(client.logged("dropped a message of 1025 bytes on tarn/hall/1/set/input"));
        QVERIFY(waitFor([&] { return received.size() == 2; }, 20s));
        QCOMPARE(received[1][1].toByteArray(), QByteArray(1024, 'y'));
        QCOMPARE(received[1][2].toBool(), false);
    }

private:
    BrokerProcess broker;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (const QString port = qEnvironmentVariable("TARN_MQTT_PEER_PORT"); !port.isEmpty()) {
        BrokerSettings settings;
        settings.address = {QStringLiteral("127.0.0.1"), quint16(port.toUInt()), false};
        settings.credentials = Credentials{BrokerProcess::kUser, BrokerProcess::kPassword};
        settings.clientId = QStringLiteral("peer");
        settings.statusTopic = kStatus;
        MosquittoLink link(settings, [](const QString &) {});
        link.open();
        return app.exec();
    }
    MqttBrokerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_mqtt.moc"
