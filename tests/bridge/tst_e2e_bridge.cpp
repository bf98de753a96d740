// tarn-bridge between the projector simulator on a pseudo-terminal and PJLink clients
// written from PJLink's published protocol, in real time.
#include "realtime.h"
#include "simprocess.h"

#include <QCryptographicHash>
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
        m_bridge.start(qEnvironmentVariable("TARN_BIN") + "/tarn-bridge",
                       {"--port", m_sim.address(), "--listen", "127.0.0.1:0=1", "--listen",
                        "127.0.0.1:0=2", "--raw", "0", "--password-file", file.fileName(), "--name",
                        "1=" + QString(64, 'N')});
        QVERIFY(waitFor([&] { return m_log.contains("line up"); }, 10s));
    }

    void itRefusesToStartWithoutAuthenticationOrWithAPasswordFileEveryoneMayRead()
    {
        QFile::setPermissions(m_dir.filePath("password"), QFile::ReadOwner | QFile::ReadOther);
        for (const auto &[options, exitCode] :
             {std::pair{QStringList{"--verbose"}, 64},
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

    // A wrong password puts nothing on the line. One client sends a megabyte without a
    // carriage return, one never reads its answers: each is cut off, and the others are
    // answered still. (The caps are checked on the virtual clock, and 500 connections
    // at once in the soak.)
    void badClientsAreRefusedOrCutOffAndTheOthersAnswered()
    {
        const qsizetype frames = m_sim.lines().filter(QRegularExpression("^< ")).size();
        Client wrong, client, deaf;
        wrong.open(port("PJLink"), "wrong");
        QCOMPARE(wrong.ask("%1POWR 0"), "PJLINK ERRA");
        QTest::qWait(200); // anything sent would be logged by now
        QCOMPARE(m_sim.lines().filter(QRegularExpression("^< ")).size(), frames);
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
        on.ask("%1POWR 1"), standby.ask("%1CLSS ?"); // both digests given
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

    const QByteArray m_password = "s3cret pw";
    SimProcess m_sim{{"--warmup", "1500", "--hour-ms", "3600000", "--temperature-error"}};
    QTemporaryDir m_dir;
    QProcess m_bridge;
    QString m_log;
};

QTEST_GUILESS_MAIN(EndToEndBridgeTest)
#include "tst_e2e_bridge.moc"
