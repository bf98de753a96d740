// tarn-bridge between the projector simulator on a pseudo-terminal and PJLink clients
// written from PJLink's published protocol, in real time.
#include "simprocess.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTcpSocket>
#include <sys/stat.h>

using namespace tarn::test;

namespace {

QByteArray digest(const QByteArray &random, const QByteArray &password)
{
    return QCryptographicHash::hash(random + password, QCryptographicHash::Md5).toHex();
}

// A PJLink class 1 client: it reads the greeting and, when asked for authentication,
// puts the digest in front of its first command.
class Client
{
public:
    QByteArray open(quint16 port, const QByteArray &password)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        const QByteArray greeting = line();
        if (greeting.startsWith("PJLINK 1 "))
            m_digest = digest(greeting.mid(9), password);
        return greeting;
    }
    QByteArray ask(const QByteArray &command)
    {
        m_socket.write(std::exchange(m_digest, {}) + command + '\r');
        return line();
    }
    bool closed()
    {
        return waitFor([&] { return m_socket.state() == QTcpSocket::UnconnectedState; }, 5000);
    }

private:
    QByteArray line()
    {
        waitFor([&] { return (m_buffer += m_socket.readAll()).contains('\r'); }, 5000);
        const qsizetype end = m_buffer.indexOf('\r');
        const QByteArray text = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        return text;
    }
    QTcpSocket m_socket;
    QByteArray m_digest;
    QByteArray m_buffer;
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
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(m_password + '\n') > 0);
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(file.fileName()).constData(), 0640), 0);
        m_bridge.setProgram(qEnvironmentVariable("TARN_BIN") + "/tarn-bridge");
        m_bridge.setArguments({"--port", m_sim.address(), "--listen", "127.0.0.1:0=1", "--raw", "0",
                               "--password-file", file.fileName()});
        connect(&m_bridge, &QProcess::readyReadStandardError, this,
                [this] { m_log += m_bridge.readAllStandardError(); });
        m_bridge.start();
        QVERIFY(waitFor([&] { return m_log.contains("line up"); }, 10000));
    }

    void cleanupTestCase()
    {
        m_bridge.kill();
        m_bridge.waitForFinished();
    }

    void aClientPowersOnThroughWarmingAndReadsLampsMutesAndErrors()
    {
        Client client;
        const QByteArray greeting = client.open(port("PJLink"), m_password);
        QVERIFY(QRegularExpression("^PJLINK 1 [0-9a-f]{8}$").match(greeting).hasMatch());
        QVERIFY(Client().open(port("PJLink"), m_password) != greeting);
        QCOMPARE(client.ask("%1POWR ?"), "%1POWR=0");
        QCOMPARE(client.ask("%1POWR 1"), "%1POWR=OK");
        QCOMPARE(client.ask("%1POWR ?"), "%1POWR=3");
        QVERIFY(waitFor([&] { return client.ask("%1POWR ?") == "%1POWR=1"; }, 15000));
        QCOMPARE(client.ask("%1LAMP ?"), "%1LAMP=1200 1 1200 1 1200 1 1200 1");
        QCOMPARE(client.ask("%1AVMT 31"), "%1AVMT=OK");
        QCOMPARE(client.ask("%1AVMT ?"), "%1AVMT=31");
        QCOMPARE(client.ask("%1ERST ?"), "%1ERST=002000");
        QCOMPARE(client.ask("%1INPT 13"), "%1INPT=OK");
        QCOMPARE(client.ask("%1INPT ?"), "%1INPT=13");
        QCOMPARE(client.ask("%1FREZ ?"), "%1FREZ=ERR1");
    }

    void aWrongPasswordIsRefusedAndNothingReachesTheLine()
    {
        QCOMPARE(digest("498e4a67", "JBMIAProjectorLink"), "5d8409bc1c3fa39749434aa3a5c38682");
        const qsizetype frames = m_sim.lines().filter(QRegularExpression("^< ")).size();
        Client client;
        client.open(port("PJLink"), "wrong");
        QCOMPARE(client.ask("%1POWR 0"), "PJLINK ERRA");
        QVERIFY(client.closed());
        QTest::qWait(200); // anything sent would be logged by now
        QCOMPARE(m_sim.lines().filter(QRegularExpression("^< ")).size(), frames);
        QVERIFY(m_log.contains("failed to authenticate") && !m_log.contains(m_password));
    }

    void aPanelOnTheRawPortAndAPollingClientEachGetOnlyTheirOwnReplies()
    {
        QProcess send;
        send.start(qEnvironmentVariable("TARN_BIN") + "/tarn-send",
                   QStringList{"--port", QStringLiteral("tcp://127.0.0.1:%1").arg(port("raw")),
                               "--address", "1"} +
                       QStringList(10, "mode"));
        Client client;
        client.open(port("PJLink"), m_password);
        int polls = 0;
        while (send.state() != QProcess::NotRunning || polls == 0) {
            QCOMPARE(client.ask("%1POWR ?"), "%1POWR=1");
            ++polls;
        }
        QCOMPARE(send.exitCode(), 0);
        QCOMPARE(QString(send.readAllStandardOutput()).count("STATUS Input mode 3"), 10);
    }

private:
    quint16 port(const char *what) const
    {
        const QString pattern = QStringLiteral(":(\\d+) \\(%1").arg(what);
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
