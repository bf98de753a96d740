// The port layer: settings texts, the line's pace, and the serial control on pseudo-terminals
// and on a local TCP server, whose far end the test holds. It never opens a real port.
#include "linebacklog.h"
#include "pseudoterminal.h"
#include "realtime.h"
#include "serialcontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMetaEnum>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace tarn::test {
namespace {

void mapPort(int number, const QString &device)
{
    qputenv("TARN_COM" + QByteArray::number(number), device.toLocal8Bit());
}

template<typename Enum> QLatin1StringView keyOf(Enum value)
{
    return QLatin1StringView(QMetaEnum::fromType<Enum>().valueToKey(value));
}

// The far end of COM1: the master of a pseudo-terminal, or what a local TCP server accepted.
class FarEnd
{
public:
    explicit FarEnd(bool tcp) : m_tcp(tcp)
    {
        if (tcp)
            m_server.listen(QHostAddress::LocalHost);
        renew();
    }
    QString device() const // the scheme in capitals, as some users write it
    {
        return m_tcp ? QStringLiteral("TCP://127.0.0.1:%1").arg(m_server.serverPort())
                     : m_pty.slavePath();
    }
    void renew() // a device again after the far end went away
    {
        if (!m_tcp)
            m_pty.open();
        mapPort(1, device());
    }
    bool open(SerialControl &port)
    {
        if (port.setPortOpen(true) && m_tcp && m_server.waitForNewConnection(5000))
            m_socket.reset(m_server.nextPendingConnection());
        return port.portOpen() && (!m_tcp || m_socket);
    }
    speed_t speed() const // what the device side set, as the master sees it
    {
        termios settings{};
        return m_tcp || ::tcgetattr(m_pty.master(), &settings) != 0 ? 0 : ::cfgetospeed(&settings);
    }
    void send(const QByteArray &bytes) { m_tcp ? m_socket->write(bytes) : m_pty.write(bytes); }
    QByteArray receive() { return m_tcp ? m_socket->readAll() : m_pty.read().value_or(""); }
    void close() { m_tcp ? m_socket->close() : m_pty.close(); }

private:
    bool m_tcp;
    PseudoTerminal m_pty;
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_socket;
};

void bothKindsOfLine()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

} // namespace

class PortTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { mapPort(2, QStringLiteral("/nonexistent/tarn-com2")); }

    // A character is a start bit, the data bits, the parity bit and the stop bits.
    void aSettingsTextGivesItsLineAndCharacterTimeOrSaysWhatIsWrong()
    {
        const char *fields = "expected baud,parity,data bits,stop bits";
        const char *speed = "the speed must be a whole number of baud";
        const char *dataBits = "the data bits must be 5, 6, 7 or 8";
        for (const auto &[text, expected] : QList<std::pair<QString, QString>>{
                 {"19200,N,8,1", "19200 NoParity 8 OneStop 520833"},
                 {"9600,e,7,2", "9600 EvenParity 7 TwoStop 1145833"},
                 {" 1200 , O , 6 , 1 ", "1200 OddParity 6 OneStop 7500000"},
                 {"110,M,5,1.5", "110 MarkParity 5 OneAndHalfStop 77272727"},
                 {"4000000,S,8,1", "4000000 SpaceParity 8 OneStop 2750"},
                 {"9600,N,8", fields},
                 {"9600,N,8,1,1", fields},
                 {"0,N,8,1", speed},
                 {"9600.5,N,8,1", speed},
                 {"4000001,N,8,1", speed},
                 {"9600,None,8,1", "the parity must be N, E, O, M or S"},
                 {"9600,N,4,1", dataBits},
                 {"9600,N,9,1", dataBits},
                 {"9600,N,8,2.5", "the stop bits must be 1, 1.5 or 2"}}) {
            const ParsedSettings parsed = parseSettings(text);
            const LineSettings line = parsed.settings.value_or(LineSettings{});
            QCOMPARE(text + ": " +
                         (parsed.settings ? QStringLiteral("%1 %2 %3 %4 %5")
                                                .arg(line.baudRate)
                                                .arg(keyOf(line.parity))
                                                .arg(int(line.dataBits))
                                                .arg(keyOf(line.stopBits))
                                                .arg(line.characterTime().count())
                                          : parsed.problem),
                     text + ": " + expected);
        }
    }

    void theLineSendsNoFasterThanItsSpeed_data()
    {
        // Steps of (ms since start, bytes handed over, baud from then on, bytes expected
        // still waiting); 8N1, so 960 characters a second at 9600 baud.
        QTest::addColumn<QList<QList<int>>>("steps");
        QTest::newRow("a started character still waits")
            << QList<QList<int>>{{0, 96, 9600, 96}, {49, 0, 9600, 49}, {101, 0, 9600, 0}};
        QTest::newRow("a second batch queues behind the first")
            << QList<QList<int>>{{0, 96, 9600, 96}, {50, 96, 9600, 144}, {150, 0, 9600, 48}};
        QTest::newRow("an idle line does not bank time")
            << QList<QList<int>>{{0, 96, 9600, 96}, {500, 96, 9600, 96}, {550, 0, 9600, 48}};
        QTest::newRow("a speed change applies to what is left")
            << QList<QList<int>>{{0, 96, 9600, 96}, {50, 0, 19200, 48}, {75, 0, 19200, 0}};
    }
    void theLineSendsNoFasterThanItsSpeed()
    {
        QFETCH(QList<QList<int>>, steps);
        const LineBacklog::Clock::time_point start{std::chrono::hours(1)};
        LineBacklog backlog;
        for (const QList<int> &step : steps) {
            const auto now = start + std::chrono::milliseconds(step[0]);
            LineSettings line;
            line.baudRate = step[2];
            backlog.setCharacterTime(line.characterTime(), now);
            backlog.handOver(step[1], now);
            QCOMPARE(backlog.waiting(now), step[3]);
        }
    }

    void portsMapToTheirVariableOrThePlatformsDevice()
    {
        for (const auto &[variable, device] : QList<std::pair<QString, QString>>{
                 {{}, "/dev/ttyS1"},
                 {"./link", QDir::current().absoluteFilePath("link")},
                 {"TCP://host:4001", "TCP://host:4001"}}) { // tcp in capitals is no path
            variable.isEmpty() ? void(qunsetenv("TARN_COM2")) : mapPort(2, variable);
            QCOMPARE(deviceForPort(2), device); // only named, never opened
        }
    }

    void aLineCarriesBytesUntilItsFarEndGoesAndThenNothingSpins_data() { bothKindsOfLine(); }
    void aLineCarriesBytesUntilItsFarEndGoesAndThenNothingSpins()
    {
        QFETCH(bool, tcp);
        const QString reason = tcp ? "the remote host closed the connection"
                                   : "the far end of the pseudo-terminal was closed";
        FarEnd far(tcp);
        SerialControl port;
        QSignalSpy events(&port, &CommControl::onComm);
        QSignalSpy failures(&port, &CommControl::failed);
        QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")).ok()); // kept for the opening
        QVERIFY(far.open(port));
        QCOMPARE(port.deviceName(), far.device());
        QCOMPARE(far.speed(), speed_t(tcp ? 0 : B19200));

        far.send("0"); // one character is enough to be told
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(port.commEvent(), CommControl::kEventReceive);
        QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok()); // at once, staying open
        QCOMPARE(far.speed(), speed_t(tcp ? 0 : B9600));
        far.send("0\r");
        QByteArray sent; // a reopened port would have lost the first character
        QTRY_COMPARE((sent += port.input()), QByteArray("00\r"));
        QVERIFY(port.output("CR0\r").ok());
        sent.clear();
        QTRY_COMPARE((sent += far.receive()), QByteArray("CR0\r"));

        far.close();
        QTRY_COMPARE(failures.count(), 1);
        QCOMPARE(failures.at(0).at(0).toString(),
                 QStringLiteral("Lost %1: %2 (the port is now closed)").arg(far.device(), reason));
        QVERIFY(!port.portOpen());
        const auto cpuBefore = processCpuTime();
        QTest::qWait(1000); // a port left open on a vanished device spins the event loop
        QVERIFY2(processCpuTime() - cpuBefore < 200ms, "the event loop spins");
        QCOMPARE(failures.count(), 1);
        QCOMPARE(port.output("C00\r").description(),
                 QStringLiteral("Cannot write to %1: the port is not open").arg(far.device()));

        far.renew(); // the port comes back once there is a device again
        QVERIFY(far.open(port));
        QVERIFY(port.output("C00\r").ok());
        sent.clear();
        QTRY_COMPARE((sent += far.receive()), QByteArray("C00\r"));
        if (tcp)
            return;
        // The device goes before the port has heard of it: new settings fail and report the
        // loss, and an opening made before that report is handled keeps its line.
        far.close();
        QVERIFY(!port.setSettings(QStringLiteral("19200,N,8,1")).ok());
        QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
        far.renew();
        QVERIFY(far.open(port));
        QTest::qWait(100);
        QVERIFY(port.output("C01\r").ok());
        sent.clear();
        QTRY_COMPARE((sent += far.receive()), QByteArray("C01\r"));
    }

    void eachFailureNamesTheDeviceAndTheReasonAndChangesNothing_data()
    {
        QTest::addColumn<QString>("device"); // empty: a pseudo-terminal
        QTest::addColumn<bool>("openFirst");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("expected"); // %1 the device, %2 a link to it
        QTest::addColumn<QString>("access");   // group and mode of the device, tried as nobody
        const auto row = [](const char *name, QString device, bool openFirst, const char *step,
                            QString expected, const char *access = "") {
            QTest::newRow(name) << device << openFirst << QString(step) << expected
                                << QString(access);
        };
        const QString busy = "Device or resource busy (in use by another program)";
        const QString denied = "Cannot open %1: Permission denied ";
        const QString form = "Cannot open %1: the address must read tcp://HOST:PORT";
        QTcpServer probe; // a port on which nothing listens once the probe has gone
        probe.listen(QHostAddress::LocalHost);
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(probe.serverPort());

        row("write while closed", {}, false, "write", "Cannot write to %1: the port is not open");
        row("missing device", "/nonexistent/tty", false, "open",
            "Cannot open %1: No such file or directory");
        row("opened twice", {}, true, "open", "Cannot open %1: the port is already open");
        row("held by another control", {}, true, "other", "Cannot open %1: " + busy);
        row("held by another control, through a link", {}, true, "link", "Cannot open %2: " + busy);
        row("renumbered while open", {}, true, "renumber 2",
            "Cannot change the port number of %1 while it is open");
        row("port number 0", {}, false, "renumber 0",
            "Cannot use port number 0: port numbers start at 1");
        row("malformed settings", {}, true, "settings",
            "Invalid settings \"9600,X,8,1\" for %1: the parity must be N, E, O, M or S");
        row("group may read and write", {}, false, "open",
            denied + "(the user must be in the group \"dialout\" that owns the device)",
            "dialout 660");
        row("group may only read", {}, false, "open",
            denied + "(only its owner \"root\" may open the device)", "dialout 640");
        row("nothing listens", refused, false, "open", "Cannot open %1: Connection refused");
        row("tcp without a port", "tcp://127.0.0.1", false, "open", form);
        row("tcp on port 0", "tcp://127.0.0.1:0", false, "open", form);
        row("tcp with a path", "tcp://127.0.0.1:4001/x", false, "open", form);
        row("tcp without a host", "tcp://:4001", false, "open", form);
        row("tcp with a user", "tcp://me@127.0.0.1:4001", false, "open", form);
    }
    void eachFailureNamesTheDeviceAndTheReasonAndChangesNothing()
    {
        QFETCH(QString, device);
        QFETCH(bool, openFirst);
        QFETCH(QString, step);
        QFETCH(QString, expected);
        QFETCH(QString, access);
        PseudoTerminal pty;
        if (device.isEmpty() && pty.open().isEmpty())
            device = pty.slavePath();
        QTemporaryDir links;
        const QString link = links.filePath(QStringLiteral("projector"));
        QVERIFY(QFile::link(device, link));
        mapPort(1, device);
        mapPort(2, link);
        if (!access.isEmpty()) {
            const ::group *group = ::getgrnam(qPrintable(access.section(u' ', 0, 0)));
            if (::geteuid() != 0 || !group)
                QSKIP("only the superuser can try the device as another user");
            QCOMPARE(::chown(qPrintable(device), 0, group->gr_gid), 0);
            QCOMPARE(::chmod(qPrintable(device), access.section(u' ', 1).toUInt(nullptr, 8)), 0);
        }
        SerialControl port;
        SerialControl other;
        QVERIFY(!openFirst || port.setPortOpen(true));
        const QString settings = port.settings();

        const bool nobody = !access.isEmpty() && ::setegid(65534) == 0 && ::seteuid(65534) == 0;
        const Outcome outcome =
            step == "write"      ? port.output("C00\r")
            : step == "open"     ? port.setPortOpen(true)
            : step == "other"    ? other.setPortOpen(true)
            : step == "link"     ? (void(other.setCommPort(2)), other.setPortOpen(true))
            : step == "settings" ? port.setSettings(QStringLiteral("9600,X,8,1"))
                                 : port.setCommPort(step.right(1).toInt());
        QVERIFY(!nobody || (::seteuid(0) == 0 && ::setegid(0) == 0));
        QVERIFY(access.isEmpty() || nobody);

        QCOMPARE(outcome.description(), expected.replace("%1", device).replace("%2", link));
        QCOMPARE(port.portOpen(), openFirst);
        QCOMPARE(port.commPort(), 1);
        QCOMPARE(port.settings(), settings);
    }

    void aFrameThatDoesNotFitTheOutputBufferIsRefusedUntilTheLineCatchesUp_data()
    {
        bothKindsOfLine();
    }
    void aFrameThatDoesNotFitTheOutputBufferIsRefusedUntilTheLineCatchesUp()
    {
        QFETCH(bool, tcp);
        FarEnd far(tcp);
        SerialControl port;
        QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok());
        QVERIFY(far.open(port));

        // The far end reads nothing meanwhile; a pseudo-terminal or a socket would take
        // kilobytes. The connection's queue is only emptied by the event loop.
        const QByteArray frame = "AFFFC00\r";
        QElapsedTimer clock;
        clock.start();
        qint64 accepted = 0;
        Outcome refusal;
        for (int attempt = 0; attempt < 10'000 && refusal.ok(); ++attempt) {
            refusal = port.output(frame);
            accepted += refusal.ok() ? frame.size() : 0;
            if (!tcp)
                QCoreApplication::processEvents();
        }
        const qint64 sentMeanwhile = tcp ? 0 : clock.elapsed() * 960 / 1000 + 1; // 9600 baud
        const QString waiting = refusal.description().section(u' ', -4, -4);     // bytes
        QCOMPARE(refusal.description(),
                 QStringLiteral("Cannot write to %1: output buffer full, %2 bytes still waiting")
                     .arg(far.device(), waiting));
        QVERIFY(waiting.toInt() > 512 - frame.size() && waiting.toInt() <= 512);
        QVERIFY(accepted <= 512 + frame.size() + sentMeanwhile);

        // Nothing accepted is lost, and the next frame gets through once the line caught up.
        QByteArray arrived;
        QTRY_COMPARE((arrived += far.receive()).size(), accepted);
        QCOMPARE(arrived, frame.repeated(accepted / frame.size()));
        QTRY_VERIFY(port.output(frame).ok());
    }

    void anOpeningInTheBackgroundLetsTheEventLoopRunUntilItEnds_data()
    {
        QTest::addColumn<int>("far"); // 0: accepts, 1: nothing listens, 2: never answers,
                                      // 3: unreachable, which the system says at once
        QTest::addColumn<QString>("failure");
        QTest::newRow("accepted") << 0 << QString();
        QTest::newRow("nothing listens") << 1 << "Connection refused";
        QTest::newRow("never answered") << 2 << "no answer within 3 s";
        QTest::newRow("unreachable, reported at once") << 3 << "Network unreachable";
    }

    void anOpeningInTheBackgroundLetsTheEventLoopRunUntilItEnds()
    {
        QFETCH(int, far);
        QFETCH(QString, failure);
        QTcpServer server;
        server.setListenBacklogSize(0); // one connection fills it while nobody accepts
        QVERIFY(server.listen(QHostAddress::LocalHost));
        // TCP never reaches a multicast group: connecting fails before connectToHost() returns.
        const QString address = far == 3
                                    ? QStringLiteral("tcp://224.0.0.1:4001")
                                    : QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        QTcpSocket filler;
        if (far == 1)
            server.close();
        if (far == 2)
            server.pauseAccepting(),
                filler.connectToHost(server.serverAddress(), server.serverPort());
        QVERIFY(far != 2 || filler.waitForConnected(5000));
        SerialControl port;
        port.setDevice(1, address);
        QSignalSpy opened(&port, &AsyncCommControl::opened);
        QSignalSpy failed(&port, &AsyncCommControl::openFailed);
        port.beginOpen();
        QVERIFY(opened.isEmpty()); // still connecting, or failed at once
        QCOMPARE(failed.size(), far == 3 ? 1 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(opened.size() + failed.size(), 1, 10000);
        QCOMPARE(port.portOpen(), failure.isEmpty());
        QCOMPARE(port.output("C00\r").ok(), failure.isEmpty());
        if (!failure.isEmpty())
            QCOMPARE(failed[0][0].toString(),
                     QStringLiteral("Cannot open %1: %2").arg(address, failure));
    }
};

} // namespace tarn::test

QTEST_GUILESS_MAIN(tarn::test::PortTest)
#include "tst_port.moc"
