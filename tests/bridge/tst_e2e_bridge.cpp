// tarn-bridge between the projector simulator on a pseudo-terminal and PJLink clients
// written from PJLink's published protocol, and monitoring over HTTP, in real time.
#include "parsemetrics.h"
#include "realtime.h"
#include "sendprocess.h"
#include "simprocess.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

// A PJLink class 1 client: its first command carries the MD5 digest of the greeting's
// random digits followed by the password.
struct Client
{
    QByteArray open(quint16 port, const QByteArray &password)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        const QByteArray greeting = line();
        digest =
            QCryptographicHash::hash(greeting.mid(9) + password, QCryptographicHash::Md5).toHex();
        return greeting;
    }
    QByteArray ask(const QByteArray &command)
    {
        socket.write(std::exchange(digest, {}) + command + '\r');
        return line();
    }
    QByteArray line()
    {
        waitFor([&] { return (buffer += socket.readAll()).contains('\r'); }, 5s);
        const QByteArray text = buffer.left(buffer.indexOf('\r'));
        buffer.remove(0, text.size() + 1);
        return text;
    }
    QTcpSocket socket;
    QByteArray digest, buffer;
};

} // namespace

class EndToEndBridgeTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_sim.start());
        QFile file(m_dir.filePath("password"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(m_password + '\n') && file.flush());
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        connect(&m_bridge, &QProcess::readyReadStandardError, this,
                [this] { m_log += m_bridge.readAllStandardError(); });
        QStringList arguments =
            QString(
                "--raw 0 --http 0 --poll 1 --line-name hall --input-names PC,Vid\u00e9o,HDMI,LAN")
                .split(' ');
        arguments << "--port" << m_sim.address() << "--password-file" << file.fileName() << "--name"
                  << "1=" + QString(64, 'N') << "--http-token-file"
                  << file.fileName(); // the password, as the token too
        for (const char *who : {"1", "2", "3", "4"})
            arguments << "--listen" << QStringLiteral("127.0.0.1:0=%1").arg(who);
        m_bridge.start(qEnvironmentVariable("TARN_BIN") + "/tarn-bridge", arguments);
        QVERIFY(waitFor([&] { return m_log.contains("line up"); }, 10s));
    }

    void itRefusesToStartWithoutAuthenticationOrWithAPasswordFileEveryoneMayRead()
    {
        QFile::setPermissions(m_dir.filePath("password"), QFile::ReadOwner | QFile::ReadOther);
        for (const auto &[options, exitCode] :
             {std::pair{QStringList{"--verbose"}, 64},
              {{"--no-auth", "--mqtt", "mqtt://b", "--mqtt-ca-file", "c"}, 64},
              {{"--password-file=" + m_dir.filePath("password")}, 1}}) {
            QProcess bridge;
            bridge.start(m_bridge.program(),
                         QStringList{"--port", "x", "--listen", "127.0.0.1:0=1"} + options);
            QVERIFY(bridge.waitForFinished(10000));
            QCOMPARE(bridge.exitCode(), exitCode);
        }
    }

    void aClientPowersOnThroughWarmingReadsLampsMutesAndErrorsAndSharesTheLineWithAPanel()
    {
        Client client;
        const QByteArray greeting = client.open(port("PJLink"), m_password);
        QVERIFY(QRegularExpression("^PJLINK 1 [0-9a-f]{8}$").match(greeting).hasMatch());
        QVERIFY(Client().open(port("PJLink"), m_password) != greeting);
        QCOMPARE(client.ask("%1POWR ?"), "%1POWR=0");
        QCOMPARE(client.ask("%1POWR 1"), "%1POWR=OK");
        QCOMPARE(client.ask("%1POWR ?"), "%1POWR=3");
        // Asked in turn, never from inside another wait: answers stay in step with questions.
        QByteArray power;
        for (int i = 0; i < 150 && (power = client.ask("%1POWR ?")) != "%1POWR=1"; ++i)
            runFor(100ms);
        QCOMPARE(power, QByteArray("%1POWR=1"));
        QCOMPARE(client.ask("%1LAMP ?"), "%1LAMP=1200 1 1200 1 1200 1 1200 1");
        QCOMPARE(client.ask("%1AVMT 31"), "%1AVMT=OK");
        QCOMPARE(client.ask("%1AVMT ?"), "%1AVMT=31");
        QCOMPARE(client.ask("%1ERST ?"), "%1ERST=002000");
        // A panel on the raw port meanwhile: each gets only its own replies.
        QProcess send;
        send.start(qEnvironmentVariable("TARN_BIN") + "/tarn-send",
                   QStringList{"--port", QStringLiteral("tcp://127.0.0.1:%1").arg(port("raw")),
                               "--address", "1"} +
                       QStringList(10, "mode"));
        do
            QCOMPARE(client.ask("%1POWR ?"), "%1POWR=1");
        while (send.state() != QProcess::NotRunning);
        QCOMPARE(send.exitCode(), 0);
        QCOMPARE(QString(send.readAllStandardOutput()).count("STATUS Input mode 1"), 10);
    }

    // Monitoring, read by Prometheus's own parser: every projector's power, errors, lamp
    // hours and temperatures within a few poll periods (1 s here); a projector powered on
    // through PJLink seen warming, then on, in the API.
    void monitoringShowsEveryProjectorAndFollowsAPowerOn()
    {
        QMap<QString, double> samples;
        QString problem;
        const auto sample = [&](const QString &name) {
            return samples.value(name, -1);
        };
        QVERIFY(waitFor(
            [&] {
                samples = parsedMetrics(get("/metrics").second, problem);
                return sample("pjlink_lamp_hours{lamp=\"1\",line=\"hall\",projector=\"4\"}") >= 0;
            },
            10s));
        for (int n = 1; n <= 4; ++n) {
            const QString labels = QStringLiteral("line=\"hall\",projector=\"%1\"").arg(n);
            QCOMPARE(sample("pjlink_power_status{" + labels + '}'), n == 1 ? 1 : 0);
            QCOMPARE(sample("pjlink_error_status{component=\"temperature\"," + labels + '}'), 2);
            // The simulator gives each projector its own count.
            QCOMPARE(sample("pjlink_lamp_hours{lamp=\"1\"," + labels + '}'), 1200 + 345 * (n - 1));
            QVERIFY(sample("tarn_temperature_celsius{" + labels + ",sensor=\"1\"}") > 0);
        }
        Client client;
        client.open(port("PJLink, projector 2"), m_password);
        QCOMPARE(client.ask("%1POWR 1"), "%1POWR=OK");
        for (const char *power : {"warming", "on"})
            QVERIFY2(waitFor([&] { return state("2")["power"] == power; }, 3s), power);
    }

    // HTTP control needs the token; power on goes out, warming to on; a query answers as
    // tarn-send does. Cooling, power on gets ERR3 (PJLink) and 409, and goes out no more.
    void httpControlNeedsTheTokenAndNoPowerOnGoesOutWhileCooling()
    {
        const auto powerOns = [&] {
            return m_sim.lines().filter("A003C00").size();
        };
        QCOMPARE(control("power-on", "").first, 401);
        QCOMPARE(control("power-on", "Bearer wrong-token-0123").first, 401);
        QCOMPARE(powerOns(), 0);
        QCOMPARE(control("power-on").first, 200);
        QCOMPARE(powerOns(), 1);
        QVERIFY(waitFor([&] { return state("3")["power"] == "warming"; }, 3s));
        QVERIFY(waitFor([&] { return state("3")["power"] == "on"; }, 3s));
        const QString raw = "tcp://127.0.0.1:" + QString::number(port("raw"));
        QCOMPARE(control("status").second,
                 send({"--port", raw, "--address", "3", "--json", "status"}).out.toUtf8());
        QCOMPARE(control("power-off").first, 200);
        QVERIFY(waitFor([&] { return state("3")["power"] == "cooling"; }, 3s));
        Client client;
        client.open(port("PJLink, projector 3"), m_password);
        QCOMPARE(client.ask("%1POWR 1"), "%1POWR=ERR3");
        QCOMPARE(control("power-on").first, 409);
        QCOMPARE(powerOns(), 1);
    }

    // A wrong password puts nothing on the line. One client sends a megabyte without a
    // carriage return, one never reads its answers: each is cut off, and the others are
    // answered still. (The caps are checked on the virtual clock, and 500 connections
    // at once in the soak.)
    void badClientsAreRefusedOrCutOffAndTheOthersAnswered()
    {
        const QRegularExpression notPolled("^< (?!A00\\dCR)"); // the poll's questions aside
        const qsizetype frames = m_sim.lines().filter(notPolled).size();
        Client wrong, client, deaf;
        wrong.open(port("PJLink"), "wrong");
        QCOMPARE(wrong.ask("%1POWR 0"), "PJLINK ERRA");
        QTest::qWait(200); // anything sent would be logged by now
        QCOMPARE(m_sim.lines().filter(notPolled).size(), frames);
        QVERIFY(m_log.contains("failed to authenticate") && !m_log.contains(m_password));
        client.open(port("PJLink"), m_password);
        deaf.socket.setReadBufferSize(4096);
        deaf.open(port("PJLink"), m_password);
        deaf.socket.write(deaf.digest + QByteArray("%1NAME ?\r").repeated(200000));
        QTcpSocket flood;
        flood.connectToHost(QHostAddress::LocalHost, port("PJLink"));
        flood.write(QByteArray(1 << 20, 'x'));
        QVERIFY(waitFor([&] { return flood.state() == QTcpSocket::UnconnectedState; }, 20s));
        QVERIFY(
            waitFor([&] { return m_log.contains("cut off: it leaves its answers unread"); }, 20s));
        QVERIFY(QRegularExpression("^%1POWR=[0-3]$").match(client.ask("%1POWR ?")).hasMatch());
    }

    // A class 2 client: PJLink 2.00's requests and answers to projector 1, which is on.
    void aClass2ClientFreezesStepsTheVolumeAndReadsWhatTheLineCanTell()
    {
        Client client;
        client.open(port("PJLink, projector 1"), m_password);
        const qsizetype mark = m_sim.lines().size();
        QCOMPARE(client.ask("%2FREZ ?"), "%2FREZ=ERR3"); // nothing sent yet
        client.socket.write("%2FREZ 1\r%2FREZ ?\r");     // FREZ ? in its turn, after FREZ 1
        QCOMPARE(client.line(), "%2FREZ=OK");
        QCOMPARE(client.line(), "%2FREZ=1");
        for (const QByteArray row :
             {"%1CLSS ?=2", "%2FREZ 0=OK", "%2FREZ ?=0", "%2SVOL 1=OK", "%2INNM ?12=Vid\xc3\xa9o",
              "%2SNUM ?=", "%2SVER ?=", "%2FILT ?=ERR1", "%2RLMP ?=", "%2RFIL ?=", "%2IRES ?=*",
              "%2RRES ?=", "%2MVOL 1=ERR1", "%2POWR ?=ERR1", "%1POWR 0=OK", "%2FREZ ?=ERR3",
              "%2FREZ 1=ERR3"})
            QCOMPARE(client.ask(row.left(row.indexOf('='))),
                     row.left(6) + row.mid(row.indexOf('=')));
        QTest::qWait(200); // anything sent would be logged by now
        const QStringList sent = m_sim.lines().mid(mark).filter(QRegularExpression("^< A001C\\d"));
        QCOMPARE(sent.join(' ').remove("< A001").remove("\\r"), "C43 C44 C09 C01");
    }

    // Replies come late now and then, past the time-out: two clients ask, side by side, two
    // projectors that are on and in standby. Each answer is its own projector's or ERR4.
    void noAnswerReachesAnotherProjectorsRequest()
    {
        const qsizetype ups = m_log.count("line up");
        QVERIFY(m_sim.start({"--warmup", "0", "--late", "40", "--seed", "3"}));
        QVERIFY(waitFor([&] { return m_log.count("line up") > ups; }, 10s));
        Client on, standby;
        on.open(port("PJLink, projector 1"), m_password);
        standby.open(port("PJLink, projector 2"), m_password);
        standby.ask("%1CLSS ?"); // its digest given
        // Power on goes after a status read, which may meet a late reply too: until it is done.
        for (int i = 0; i < 40 && on.ask("%1POWR 1") != "%1POWR=OK"; ++i)
            runFor(250ms);
        // Until each client has had its answer and ERR4 (a silenced projector answers ERR4
        // for 5 s): nothing else may come.
        QSet<QByteArray> seen;
        for (int round = 0; round < 80 && seen.size() < 4; ++round, runFor(250ms)) {
            on.socket.write("%1POWR ?\r");
            standby.socket.write("%1POWR ?\r");
            seen << "on " + on.line() << "standby " + standby.line();
        }
        QCOMPARE(seen, QSet<QByteArray>({"on %1POWR=1", "on %1POWR=ERR4", "standby %1POWR=0",
                                         "standby %1POWR=ERR4"}));
    }

    void cleanupTestCase() { m_bridge.kill(), m_bridge.waitForFinished(); }

private:
    quint16 port(const char *what) const
    {
        const QString pattern = QStringLiteral("127.0.0.1:(\\d+) \\(%1").arg(what);
        return QRegularExpression(pattern).match(m_log).captured(1).toUShort();
    }
    // One HTTP request on a connection of its own that it closes: the status and the body.
    std::pair<int, QByteArray> exchange(const QByteArray &request)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port("HTTP"));
        socket.write(request);
        QByteArray answer;
        waitFor(
            [&] { return (answer += socket.readAll(), socket.state() == socket.UnconnectedState); },
            5s);
        answer += socket.readAll();
        return {answer.mid(9, 3).toInt(), answer.mid(answer.indexOf("\r\n\r\n") + 4)};
    }
    std::pair<int, QByteArray>
    control(const QByteArray &name, const QByteArray &authorization = "Bearer s3cret pw and token")
    {
        return exchange("POST /api/v1/projectors/3/commands/" + name +
                        " HTTP/1.1\r\nHost: gw\r\nConnection: close\r\nAuthorization: " +
                        authorization + "\r\n\r\n");
    }
    QJsonObject state(const QByteArray &who)
    {
        return QJsonDocument::fromJson(get("/api/v1/projectors/" + who).second).object();
    }
    std::pair<int, QByteArray> get(const QByteArray &path)
    {
        return exchange("GET " + path + " HTTP/1.1\r\nHost: gw\r\nConnection: close\r\n\r\n");
    }

    const QByteArray m_password = "s3cret pw and token";
    SimProcess m_sim{{"--warmup", "1500", "--hour-ms", "3600000", "--temperature-error"}};
    QTemporaryDir m_dir;
    QProcess m_bridge;
    QString m_log;
};

QTEST_GUILESS_MAIN(EndToEndBridgeTest)
#include "tst_e2e_bridge.moc"
