// The serial control on pseudo-terminals and on a local TCP server: the test holds the far
// end of the line.
#include "pseudoterminal.h"
#include "serialcontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace tarn::test {
namespace {

const QByteArray kMissing = "/nonexistent/tarn-serial";

void mapPort(int number, const QString &device)
{
    qputenv(QByteArray("TARN_COM") + QByteArray::number(number), device.toLocal8Bit());
}

// The far end of COM1: the master side of a pseudo-terminal, or the connection a local
// TCP server accepted.
class FarEnd
{
public:
    explicit FarEnd(bool tcp) : m_tcp(tcp)
    {
        if (tcp)
            m_server.listen(QHostAddress::LocalHost);
        renew();
    }
    bool isValid() const { return m_tcp ? m_server.isListening() : m_pty->isValid(); }
    QString device() const
    {
        return m_tcp ? QStringLiteral("tcp://127.0.0.1:%1").arg(m_server.serverPort())
                     : m_pty->device();
    }
    // A device again after the far end went away.
    void renew()
    {
        if (!m_tcp)
            m_pty = std::make_unique<PseudoTerminal>();
        mapPort(1, device());
    }
    Outcome open(SerialControl &port)
    {
        Outcome opened = port.setPortOpen(true);
        if (opened && m_tcp) {
            if (!m_server.waitForNewConnection(5000))
                return Outcome::failure(QStringLiteral("no connection came"));
            m_socket.reset(m_server.nextPendingConnection());
        }
        return opened;
    }
    void send(const QByteArray &bytes)
    {
        m_tcp ? void(m_socket->write(bytes)) : m_pty->send(bytes);
    }
    QByteArray receive() { return m_tcp ? m_socket->readAll() : m_pty->receive(); }
    void close() { m_tcp ? m_socket->close() : m_pty->close(); }

private:
    bool m_tcp;
    std::unique_ptr<PseudoTerminal> m_pty;
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_socket;
};

// Runs as `nobody` (effective user and group) while it lives, so that the
// superuser can see what an ordinary user sees.
class Nobody
{
public:
    static constexpr uid_t kId = 65534;

    Nobody() : m_ok(::setegid(kId) == 0 && ::seteuid(kId) == 0) {}
    ~Nobody()
    {
        [[maybe_unused]] const int user = ::seteuid(0);
        [[maybe_unused]] const int group = ::setegid(0);
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok;
};

enum class Step
{
    Write,
    Open,
    OpenSecondControl,
    OpenSecondControlByAlias,
    Renumber,
    Settings,
    Close
};

void addTransports()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

} // namespace

class SerialControlTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        mapPort(1, QString::fromLatin1(kMissing + "1"));
        mapPort(2, QString::fromLatin1(kMissing + "2"));
    }

    void portsMapToTheirVariableOrThePlatformsDevice_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("device");

        QTest::newRow("com1 unset") << 1 << QByteArray() << "/dev/ttyS0";
        QTest::newRow("com2 unset") << 2 << QByteArray() << "/dev/ttyS1";
        QTest::newRow("usb adapter") << 1 << QByteArray("/dev/ttyUSB0") << "/dev/ttyUSB0";
        QTest::newRow("relative path is taken from here")
            << 1 << QByteArray("build/com1") << QDir::current().absoluteFilePath("build/com1");
        QTest::newRow("dot path") << 2 << QByteArray("./link")
                                  << QDir::current().absoluteFilePath("link");
        QTest::newRow("bare name is left to the port") << 1 << QByteArray("ttyUSB1") << "ttyUSB1";
        QTest::newRow("tcp") << 2 << QByteArray("tcp://127.0.0.1:4001") << "tcp://127.0.0.1:4001";
    }

    void portsMapToTheirVariableOrThePlatformsDevice()
    {
        QFETCH(int, port);
        QFETCH(QByteArray, variable);
        QFETCH(QString, device);
        const QByteArray name = "TARN_COM" + QByteArray::number(port);
        if (variable.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, variable);
        QCOMPARE(deviceForPort(port), device); // only named, never opened
    }

    void bytesTravelBothWaysAndAReadTakesAllThatArrived_data() { addTransports(); }
    void bytesTravelBothWaysAndAReadTakesAllThatArrived()
    {
        QFETCH(bool, tcp);
        FarEnd far(tcp);
        QVERIFY(far.isValid());
        SerialControl port;
        QSignalSpy events(&port, &CommControl::onComm);
        QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")).ok());
        const Outcome opened = far.open(port);
        QVERIFY2(opened.ok(), qPrintable(opened.description()));
        QCOMPARE(port.deviceName(), far.device());
        QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok()); // keeps the line open

        QVERIFY(port.output("CR0\r").ok());
        QByteArray sent;
        QTRY_COMPARE((sent += far.receive()), QByteArray("CR0\r"));

        far.send("00");
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(port.commEvent(), CommControl::kEventReceive);
        far.send("\r");
        QTRY_VERIFY(events.count() >= 2);
        QCOMPARE(port.input(), QByteArray("00\r"));
        QCOMPARE(port.input(), QByteArray());
    }

    void aSpeedChangeAppliesAtOnceWhenOpenAndAtTheNextOpeningWhenClosed()
    {
        PseudoTerminal line;
        QVERIFY(line.isValid());
        mapPort(1, line.device());
        SerialControl port;
        QSignalSpy events(&port, &CommControl::onComm);
        QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")).ok());
        QVERIFY(port.setPortOpen(true).ok());
        QCOMPARE(line.lineSpeed(), 19200);

        line.send("abc");
        QTRY_COMPARE(events.count(), 1);
        QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok());
        QCOMPARE(line.lineSpeed(), 9600);
        QVERIFY(port.portOpen());
        // A closed and reopened port would have dropped what it had not handed on yet.
        QCOMPARE(port.input(), QByteArray("abc"));

        QVERIFY(port.setPortOpen(false).ok());
        QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")).ok());
        QVERIFY(port.setPortOpen(true).ok());
        QCOMPARE(line.lineSpeed(), 19200);
    }

    void eachFailureNamesTheDeviceAndTheReason_data()
    {
        QTest::addColumn<bool>("deviceExists");
        QTest::addColumn<bool>("openFirst");
        QTest::addColumn<Step>("step");
        // %1 is the device, %2 another path to it; empty for success
        QTest::addColumn<QString>("expected");

        const QString busy = "Device or resource busy (in use by another program)";
        QTest::newRow("write while closed")
            << true << false << Step::Write << "Cannot write to %1: the port is not open";
        QTest::newRow("missing device")
            << false << false << Step::Open << "Cannot open %1: No such file or directory";
        QTest::newRow("opened twice")
            << true << true << Step::Open << "Cannot open %1: the port is already open";
        QTest::newRow("held by another control")
            << true << true << Step::OpenSecondControl << "Cannot open %1: " + busy;
        QTest::newRow("held by another control, reached by another path")
            << true << true << Step::OpenSecondControlByAlias << "Cannot open %2: " + busy;
        QTest::newRow("renumbered while open")
            << true << true << Step::Renumber
            << "Cannot change the port number of %1 while it is open";
        QTest::newRow("malformed settings")
            << true << true << Step::Settings
            << "Invalid settings \"19200,X,8,1\" for %1: the parity must be N, E, O, M or S";
        QTest::newRow("malformed settings while closed")
            << true << false << Step::Settings
            << "Invalid settings \"19200,X,8,1\" for %1: the parity must be N, E, O, M or S";
        QTest::newRow("closing a closed port succeeds") << true << false << Step::Close << "";
    }

    void eachFailureNamesTheDeviceAndTheReason()
    {
        QFETCH(bool, deviceExists);
        QFETCH(bool, openFirst);
        QFETCH(Step, step);
        QFETCH(QString, expected);

        PseudoTerminal line;
        QVERIFY(line.isValid());
        const QString device = deviceExists ? line.device() : QString::fromLatin1(kMissing);
        mapPort(1, device);
        SerialControl port;
        if (openFirst)
            QVERIFY(port.setPortOpen(true).ok());
        const QString settingsBefore = port.settings();

        QTemporaryDir aliases;
        const QString alias = aliases.filePath(QStringLiteral("projector"));
        QVERIFY(QFile::link(device, alias));
        mapPort(2, alias);

        SerialControl other;
        const Outcome outcome = [&] {
            switch (step) {
            case Step::Write:
                return port.output("C00\r");
            case Step::Open:
                return port.setPortOpen(true);
            case Step::OpenSecondControl:
                return other.setPortOpen(true);
            case Step::OpenSecondControlByAlias:
                if (auto r = other.setCommPort(2); !r)
                    return r;
                return other.setPortOpen(true);
            case Step::Renumber:
                return port.setCommPort(2);
            case Step::Settings:
                return port.setSettings(QStringLiteral("19200,X,8,1"));
            case Step::Close:
                return port.setPortOpen(false);
            }
            return Outcome::failure(QStringLiteral("unknown step"));
        }();

        expected.replace(QStringLiteral("%1"), device).replace(QStringLiteral("%2"), alias);
        QCOMPARE(outcome.description(), expected.isEmpty() ? QString() : expected);
        // A failure leaves the port as it was.
        QCOMPARE(port.portOpen(), openFirst);
        QCOMPARE(port.commPort(), 1);
        QCOMPARE(port.settings(), settingsBefore);
    }

    void aConnectionThatCannotBeMadeSaysWhy_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reason");

        QTcpServer probe; // a port on which nothing listens once the probe has gone
        probe.listen(QHostAddress::LocalHost);
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(probe.serverPort());
        const QString form = QStringLiteral("the address must read tcp://HOST:PORT");
        QTest::newRow("nothing listens") << refused << "Connection refused";
        QTest::newRow("no port") << "tcp://127.0.0.1" << form;
        QTest::newRow("port out of range") << "tcp://127.0.0.1:70000" << form;
        QTest::newRow("a path after the port") << "tcp://127.0.0.1:4001/x" << form;
        QTest::newRow("no host") << "tcp://:4001" << form;
    }

    void aConnectionThatCannotBeMadeSaysWhy()
    {
        QFETCH(QString, address);
        QFETCH(QString, reason);
        mapPort(1, address);
        SerialControl port;
        QCOMPARE(port.setPortOpen(true).description(),
                 QStringLiteral("Cannot open %1: %2").arg(address, reason));
        QVERIFY(!port.portOpen());
    }

    void aDeviceTheUserMayNotOpenSaysWhoMay_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("hint");

        QTest::newRow("group may read and write")
            << "dialout" << 0660
            << "the user must be in the group \"dialout\" that owns the device";
        QTest::newRow("group may only read")
            << "dialout" << 0640 << "only its owner \"root\" may open the device";
        QTest::newRow("owner only")
            << "root" << 0600 << "only its owner \"root\" may open the device";
    }

    void aDeviceTheUserMayNotOpenSaysWhoMay()
    {
        QFETCH(QString, group);
        QFETCH(int, mode);
        QFETCH(QString, hint);
        if (::geteuid() != 0)
            QSKIP("only the superuser can try the device as another user");
        const ::group *owningGroup = ::getgrnam(group.toLocal8Bit().constData());
        if (!owningGroup)
            QSKIP("this system has no such group");

        PseudoTerminal line;
        QVERIFY(line.isValid());
        mapPort(1, line.device());
        const QByteArray path = line.device().toLocal8Bit();
        QCOMPARE(::chown(path.constData(), 0, owningGroup->gr_gid), 0);
        QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);

        SerialControl port;
        Outcome outcome;
        {
            Nobody nobody;
            QVERIFY(nobody.ok());
            outcome = port.setPortOpen(true);
        }
        QCOMPARE(outcome.description(),
                 QStringLiteral("Cannot open %1: Permission denied (%2)").arg(line.device(), hint));
        QVERIFY(!port.portOpen());
    }

    void aFarEndThatGoesAwayIsReportedOnceAndLeavesNothingSpinning_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pseudo-terminal")
            << false << "the far end of the pseudo-terminal was closed";
        QTest::newRow("tcp") << true << "the remote host closed the connection";
    }

    void aFarEndThatGoesAwayIsReportedOnceAndLeavesNothingSpinning()
    {
        QFETCH(bool, tcp);
        QFETCH(QString, reason);
        FarEnd far(tcp);
        const QString device = far.device();
        SerialControl port;
        QSignalSpy failures(&port, &CommControl::failed);
        QVERIFY(far.open(port).ok());

        far.close();
        QTRY_COMPARE(failures.count(), 1);
        QCOMPARE(failures.at(0).at(0).toString(),
                 QStringLiteral("Lost %1: %2 (the port is now closed)").arg(device, reason));
        QVERIFY(!port.portOpen());

        // A port left open on a vanished device turns the event loop at full speed.
        const auto cpuBefore = processCpuTime();
        QTest::qWait(1000);
        const auto cpuUsed = processCpuTime() - cpuBefore;
        QVERIFY2(
            cpuUsed < 200ms,
            qPrintable(QStringLiteral("%1 ms of CPU in one second of idling").arg(cpuUsed / 1ms)));
        QCOMPARE(failures.count(), 1);
        QCOMPARE(port.output("C00\r").description(),
                 QStringLiteral("Cannot write to %1: the port is not open").arg(device));

        // The port comes back once there is a device again.
        far.renew();
        QVERIFY(far.open(port).ok());
        QVERIFY(port.output("C00\r").ok());
        QByteArray sent;
        QTRY_COMPARE((sent += far.receive()), QByteArray("C00\r"));
    }

    void anOpeningInTheBackgroundLetsTheEventLoopRunUntilItEnds_data()
    {
        QTest::addColumn<int>("far"); // 0: accepts, 1: nothing listens, 2: never answers
        QTest::addColumn<QString>("failure");
        QTest::newRow("accepted") << 0 << QString();
        QTest::newRow("nothing listens") << 1 << "Connection refused";
        QTest::newRow("never answered") << 2 << "no answer within 3 s";
    }

    void anOpeningInTheBackgroundLetsTheEventLoopRunUntilItEnds()
    {
        QFETCH(int, far);
        QFETCH(QString, failure);
        QTcpServer server;
        server.setListenBacklogSize(0);
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        QTcpSocket filler; // takes the one place in a backlog that nobody empties
        if (far == 1)
            server.close();
        if (far == 2) {
            server.pauseAccepting();
            filler.connectToHost(server.serverAddress(), server.serverPort());
            QVERIFY(filler.waitForConnected(5000));
        }
        mapPort(1, address);
        SerialControl port;
        QSignalSpy opened(&port, &CommControl::opened);
        QSignalSpy failed(&port, &CommControl::openFailed);
        port.beginOpen();
        QVERIFY(opened.isEmpty() && failed.isEmpty()); // still connecting

        QTRY_COMPARE_WITH_TIMEOUT(opened.size() + failed.size(), 1, 10000);
        QCOMPARE(port.portOpen(), failure.isEmpty());
        if (!failure.isEmpty()) {
            QCOMPARE(failed[0][0].toString(),
                     QStringLiteral("Cannot open %1: %2").arg(address, failure));
            return;
        }
        QVERIFY(port.output("C00\r").ok());
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> accepted(server.nextPendingConnection());
        QByteArray got;
        QTRY_COMPARE((got += accepted->readAll()), QByteArray("C00\r"));
    }

    void aFrameThatDoesNotFitTheOutputBufferIsRefusedUntilTheLineCatchesUp_data()
    {
        addTransports();
    }
    void aFrameThatDoesNotFitTheOutputBufferIsRefusedUntilTheLineCatchesUp()
    {
        QFETCH(bool, tcp);
        FarEnd far(tcp);
        SerialControl port;
        QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok());
        QVERIFY(far.open(port).ok());

        // The far end reads nothing meanwhile; a pseudo-terminal or a socket would take kilobytes.
        // The connection's queue is only emptied by the event loop, so it is left standing.
        const QByteArray frame = "AFFFC00\r";
        const QString full =
            QStringLiteral("Cannot write to %1: output buffer full, ").arg(far.device());
        QElapsedTimer clock;
        clock.start();
        qint64 accepted = 0;
        Outcome refusal;
        for (int attempt = 0; attempt < 10'000 && refusal.ok(); ++attempt) {
            refusal = port.output(frame);
            if (refusal.ok())
                accepted += frame.size();
            if (!tcp)
                QCoreApplication::processEvents();
        }
        const qint64 sentMeanwhile =
            tcp ? 0 : clock.elapsed() * 960 / 1000 + 1; // 960 chars a second

        QVERIFY2(refusal.description().startsWith(full), qPrintable(refusal.description()));
        const int waiting = refusal.description().mid(full.size()).section(u' ', 0, 0).toInt();
        QVERIFY2(waiting > 512 - frame.size() && waiting <= 512, qPrintable(refusal.description()));
        QVERIFY2(accepted <= 512 + frame.size() + sentMeanwhile,
                 qPrintable(QString::number(accepted)));

        // Nothing accepted is lost, and the next attempt gets through once the line has caught up.
        QByteArray arrived;
        QTRY_COMPARE((arrived += far.receive()).size(), accepted);
        QCOMPARE(arrived, frame.repeated(accepted / frame.size()));
        QTRY_VERIFY(port.output(frame).ok());
    }
};

// No test may reach the machine's own serial ports.

} // namespace tarn::test

QTEST_GUILESS_MAIN(tarn::test::SerialControlTest)
#include "tst_serialcontrol.moc"
