// The broker connection against a real Mosquitto broker that the test starts itself, in
// real time with generous bounds.
#include "realtime.h"

#include "mosquittolink.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

using namespace tarn::mqtt;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

// Debian's Mosquitto as a child process, never a system service: a plain and a TLS listener
// on free loopback ports, one user in a password file, and a CA and a server certificate (for
// 127.0.0.1) made with openssl, all in a private temporary folder. Run as root (as CI does),
// Mosquitto drops to the user its configuration names: the one running this.
class BrokerProcess
{
public:
    static constexpr const char *kUser = "tarn";
    static constexpr const char *kPassword = "pass-word-7";

    BrokerProcess()
    {
        QTcpServer a; // two ports free at this moment
        QTcpServer b;
        a.listen(QHostAddress::LocalHost);
        b.listen(QHostAddress::LocalHost);
        port = a.serverPort();
        tlsPort = b.serverPort();
        QProcess make;
        make.setWorkingDirectory(m_dir.path());
        make.setProcessChannelMode(QProcess::MergedChannels);
        make.start("sh", {"-c", kMakeFiles, "sh", kUser, kPassword, QString::number(port),
                          QString::number(tlsPort)});
        if (!make.waitForFinished(30000) || make.exitCode() != 0)
            qWarning("the broker's files could not be made: %s", make.readAll().constData());
        m_process.setProgram("/usr/sbin/mosquitto");
        m_process.setArguments({"-c", file("mosquitto.conf")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~BrokerProcess() { kill(); }

    // Starts it (again, on the same ports) and waits until it accepts connections.
    bool start()
    {
        kill();
        m_process.start();
        const auto accepts = [this] {
            QTcpSocket probe;
            probe.connectToHost("127.0.0.1", port);
            return probe.waitForConnected(100);
        };
        return m_process.waitForStarted(5000) && waitFor(accepts, 10s);
    }
    // Ends it at once, as a crash would.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

    QString file(const char *name) const { return m_dir.filePath(name); } // "ca.crt", "other.crt"

    quint16 port = 0;
    quint16 tlsPort = 0;

private:
    // Arguments: the user, the password, the two ports.
    static constexpr const char *kMakeFiles = R"sh(set -e
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -days 2 -keyout ca.key -out ca.crt -subj /CN=ca
openssl req -x509 $key -days 2 -keyout other.key -out other.crt -subj /CN=other
openssl req $key -keyout server.key -out server.csr -subj /CN=127.0.0.1
echo subjectAltName=IP:127.0.0.1 > san.cnf
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile san.cnf -out server.crt
mosquitto_passwd -c -b passwd "$1" "$2"
printf 'user %s\npersistence false\nallow_anonymous false\npassword_file %s/passwd
log_dest stderr\nlog_type error\nlistener %s 127.0.0.1\nlistener %s 127.0.0.1
cafile %s/ca.crt\ncertfile %s/server.crt\nkeyfile %s/server.key\n' "$(id -un)" "$PWD" \
    "$3" "$4" "$PWD" "$PWD" "$PWD" > mosquitto.conf
)sh";

    QTemporaryDir m_dir;
    QProcess m_process;
};

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
        Client watcher(settingsFor(broker.port, "watcher"), "tarn/hall/status");
        QProcess peer; // this program again, holding only a connection; see main()
        qputenv("TARN_MQTT_PEER_PORT", QByteArray::number(broker.port));
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
        Client client(settingsFor(broker.port, "hall", "not-the-password"));
        const QString refused = QStringLiteral("MQTT broker mqtt://127.0.0.1:%1: refused the "
                                               "connection: not authorised")
                                    .arg(broker.port);
        QVERIFY(client.logged(refused, 4)); // the waits double, up to the longest
        QStringList tries = client.log.filter(refused);
        for (const char *wait : {"0.1", "0.2", "0.4", "0.4"})
            QVERIFY(tries.takeFirst().endsWith(QStringLiteral("trying again in %1 s").arg(wait)));
        QVERIFY(!client.link.isConnected() && !client.log.join(' ').contains("not-the-password"));
    }

    void tlsConnectsWithTheBrokersCaOnly()
    {
        const QString failed =
            QStringLiteral("mqtts://127.0.0.1:%1: TLS failed").arg(broker.tlsPort);
        for (const char *ca : {"ca.crt", "other.crt"}) {
            BrokerSettings settings = settingsFor(broker.tlsPort);
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
        Client client(settingsFor(broker.port));
        Client other(settingsFor(broker.port, "other"));
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
        Client other(settingsFor(broker.port, "other"));
        QVERIFY(other.connected.wait(20000));
        other.link.publish("tarn/hall/1/set/power", "ON", true); // kept from "before"
        QVERIFY(other.receives(1));                              // the broker has it
        Client client(settingsFor(broker.port));
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
