// The serial control on pseudo-terminals: the test holds the far end of the line.
#include "pseudoterminal.h"
#include "serialcontrol.h"

#include <QElapsedTimer>
#include <QSignalSpy>
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

} // namespace

class SerialControlTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void bytesTravelBothWaysAndAReadTakesAllThatArrived();
    void aSpeedChangeOnAnOpenPortTakesEffectWithoutClosingIt();
    void settingsGivenWhileClosedApplyAtTheNextOpening();
    void eachFailureNamesTheDeviceAndTheReason_data();
    void eachFailureNamesTheDeviceAndTheReason();
    void aDeviceTheUserMayNotOpenSaysWhoMay_data();
    void aDeviceTheUserMayNotOpenSaysWhoMay();
    void aFarEndThatGoesAwayIsReportedOnceAndLeavesNothingSpinning();
    void aFrameThatDoesNotFitTheOutputBufferIsRefusedUntilTheLineCatchesUp();
};

// No test may reach the machine's own serial ports.
void SerialControlTest::init()
{
    mapPort(1, QString::fromLatin1(kMissing + "1"));
    mapPort(2, QString::fromLatin1(kMissing + "2"));
}

void SerialControlTest::bytesTravelBothWaysAndAReadTakesAllThatArrived()
{
    PseudoTerminal line;
    QVERIFY(line.isValid());
    mapPort(1, line.device());
    SerialControl port;
    QSignalSpy events(&port, &CommControl::onComm);
    QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")).ok());
    const Outcome opened = port.setPortOpen(true);
    QVERIFY2(opened.ok(), qPrintable(opened.description()));
    QCOMPARE(port.deviceName(), line.device());

    QVERIFY(port.output("CR0\r").ok());
    QByteArray sent;
    QTRY_COMPARE((sent += line.receive()), QByteArray("CR0\r"));

    line.send("00");
    QTRY_COMPARE(events.count(), 1);
    QCOMPARE(port.commEvent(), CommControl::kEventReceive);
    line.send("\r");
    QTRY_COMPARE(events.count(), 2);
    QCOMPARE(port.input(), QByteArray("00\r"));
    QCOMPARE(port.input(), QByteArray());
}

void SerialControlTest::aSpeedChangeOnAnOpenPortTakesEffectWithoutClosingIt()
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
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(port.portOpen());
    // A closed and reopened port would have dropped what it had not handed on yet.
    QCOMPARE(port.input(), QByteArray("abc"));
}

void SerialControlTest::settingsGivenWhileClosedApplyAtTheNextOpening()
{
    PseudoTerminal line;
    QVERIFY(line.isValid());
    mapPort(1, line.device());
    SerialControl port;
    QVERIFY(port.setSettings(QStringLiteral("19200,N,8,1")).ok());
    QVERIFY(port.setPortOpen(true).ok());
    QVERIFY(port.setPortOpen(false).ok());

    QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok());
    QVERIFY(port.setPortOpen(true).ok());
    QCOMPARE(line.lineSpeed(), 9600);
}

enum class Step
{
    Write,
    Open,
    OpenAgain,
    OpenSecondControl,
    OpenSecondControlByAlias,
    Renumber,
    Settings,
    Close
};

void SerialControlTest::eachFailureNamesTheDeviceAndTheReason_data()
{
    QTest::addColumn<bool>("deviceExists");
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<Step>("step");
    // %1 is the device, %2 another path to it; empty for success
    QTest::addColumn<QString>("expected");

    QTest::newRow("write while closed")
        << true << false << Step::Write << "Cannot write to %1: the port is not open";
    QTest::newRow("missing device")
        << false << false << Step::Open << "Cannot open %1: No such file or directory";
    QTest::newRow("opened twice") << true << true << Step::OpenAgain
                                  << "Cannot open %1: the port is already open";
    QTest::newRow("held by another control")
        << true << true << Step::OpenSecondControl
        << "Cannot open %1: Device or resource busy (in use by another program)";
    QTest::newRow("held by another control, reached by another path")
        << true << true << Step::OpenSecondControlByAlias
        << "Cannot open %2: Device or resource busy (in use by another program)";
    QTest::newRow("renumbered while open")
        << true << true << Step::Renumber << "Cannot change the port number of %1 while it is open";
    QTest::newRow("malformed settings")
        << true << true << Step::Settings
        << "Invalid settings \"19200,X,8,1\" for %1: the parity must be N, E, O, M or S";
    QTest::newRow("malformed settings while closed")
        << true << false << Step::Settings
        << "Invalid settings \"19200,X,8,1\" for %1: the parity must be N, E, O, M or S";
    QTest::newRow("closing a closed port succeeds") << true << false << Step::Close << "";
}

void SerialControlTest::eachFailureNamesTheDeviceAndTheReason()
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
        case Step::OpenAgain:
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

void SerialControlTest::aDeviceTheUserMayNotOpenSaysWhoMay_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("hint");

    QTest::newRow("group may read and write")
        << "dialout" << 0660 << "the user must be in the group \"dialout\" that owns the device";
    QTest::newRow("group may only read")
        << "dialout" << 0640 << "only its owner \"root\" may open the device";
    QTest::newRow("owner only") << "root" << 0600 << "only its owner \"root\" may open the device";
}

void SerialControlTest::aDeviceTheUserMayNotOpenSaysWhoMay()
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

void SerialControlTest::aFarEndThatGoesAwayIsReportedOnceAndLeavesNothingSpinning()
{
    auto line = std::make_unique<PseudoTerminal>();
    QVERIFY(line->isValid());
    const QString device = line->device();
    mapPort(1, device);
    SerialControl port;
    QSignalSpy failures(&port, &CommControl::failed);
    QVERIFY(port.setPortOpen(true).ok());

    line->close();
    QTRY_COMPARE(failures.count(), 1);
    QCOMPARE(failures.at(0).at(0).toString(),
             QStringLiteral("Lost %1: the far end of the pseudo-terminal was closed (the port is "
                            "now closed)")
                 .arg(device));
    QVERIFY(!port.portOpen());

    // A port left open on a vanished device turns the event loop at full speed.
    const auto cpuBefore = processCpuTime();
    QTest::qWait(1000);
    const auto cpuUsed = processCpuTime() - cpuBefore;
    QVERIFY2(cpuUsed < 200ms,
             qPrintable(QStringLiteral("%1 ms of CPU in one second of idling").arg(cpuUsed / 1ms)));
    QCOMPARE(failures.count(), 1);
    QCOMPARE(port.output("C00\r").description(),
             QStringLiteral("Cannot write to %1: the port is not open").arg(device));

    // The port comes back once there is a device again.
    PseudoTerminal replacement;
    mapPort(1, replacement.device());
    QVERIFY(port.setPortOpen(true).ok());
    QVERIFY(port.output("C00\r").ok());
    QByteArray sent;
    QTRY_COMPARE((sent += replacement.receive()), QByteArray("C00\r"));
}

void SerialControlTest::aFrameThatDoesNotFitTheOutputBufferIsRefusedUntilTheLineCatchesUp()
{
    PseudoTerminal line;
    QVERIFY(line.isValid());
    mapPort(1, line.device());
    SerialControl port;
    QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok());
    QVERIFY(port.setPortOpen(true).ok());

    // The far end reads nothing meanwhile; a pseudo-terminal would take kilobytes.
    const QByteArray frame = "AFFFC00\r";
    const QString full =
        QStringLiteral("Cannot write to %1: output buffer full, ").arg(line.device());
    QElapsedTimer clock;
    clock.start();
    qint64 accepted = 0;
    Outcome refusal;
    for (int attempt = 0; attempt < 10'000 && refusal.ok(); ++attempt) {
        refusal = port.output(frame);
        if (refusal.ok())
            accepted += frame.size();
        QCoreApplication::processEvents();
    }
    const qint64 sentMeanwhile = clock.elapsed() * 960 / 1000 + 1; // 960 characters a second

    QVERIFY2(refusal.description().startsWith(full), qPrintable(refusal.description()));
    const int waiting = refusal.description().mid(full.size()).section(u' ', 0, 0).toInt();
    QVERIFY2(waiting > 512 - frame.size() && waiting <= 512, qPrintable(refusal.description()));
    QVERIFY2(accepted <= 512 + frame.size() + sentMeanwhile, qPrintable(QString::number(accepted)));

    // Nothing accepted is lost, and the next attempt gets through once the line has
    // caught up.
    QByteArray arrived;
    QTRY_COMPARE((arrived += line.receive()).size(), accepted);
    QCOMPARE(arrived, frame.repeated(accepted / frame.size()));
    QTRY_VERIFY(port.output(frame).ok());
}

} // namespace tarn::test

QTEST_GUILESS_MAIN(tarn::test::SerialControlTest)
#include "tst_serialcontrol.moc"
