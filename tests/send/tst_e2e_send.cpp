// tarn-send against the projector simulator, on a pseudo-terminal and over TCP, in real time,
// and the simulator's own life as a program: its link, its exit, its usage errors.
#include "simprocess.h"

#include <QFileInfo>
#include <QTest>

using namespace tarn::test;

class EndToEndSendTest : public QObject
{
    Q_OBJECT
private slots:
    void commandsReachTheSimulatorAndTheExitStatusTellsHowItWent_data()
    {
        QTest::addColumn<QStringList>("simulator"); // "none": a port with no device behind it
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outEnd");
        QTest::addColumn<QString>("err"); // contained in the error output; empty: none at all
        QTest::addColumn<QStringList>("logged"); // exactly the frames the simulator received

        const QString standBy = "TXD  C R 0 CR \nRXD  8 0 CR \nSTATUS Stand by\n";
        QTest::newRow("status on a pseudo-terminal") << QStringList{} << QStringList{"status"} << 0
                                                     << standBy << "" << QStringList{"< CR0\\r"};
        QTest::newRow("power-on then status over tcp sees the count-down")
            << QStringList{"--tcp", "0", "--warmup", "60000"}
            << QStringList{"--address", "2", "power-on", "status"} << 0 << "STATUS Count down\n"
            << "" << QStringList{"< A002C00\\r", "< A002CR0\\r"};
        QTest::newRow("a broadcast's silence is no failure")
            << QStringList{} << QStringList{"--address", "all", "--timeout", "300", "power-off"}
            << 0 << "RXD  (sent to all, no reply expected)\n"
            << "" << QStringList{"< AFFFC01\\r"};
        QTest::newRow("a silent projector ends with status 1")
            << QStringList{"--silent"} << QStringList{"--timeout", "300", "freeze-on", "mode"} << 1
            << "TXD  C R 1 CR \nRXD  X X X X\n"
            << "freeze-on: no reply within 300 ms" << QStringList{"< C43\\r", "< CR1\\r"};
        QTest::newRow("a missing device ends with status 2")
            << QStringList{"none"} << QStringList{"status"} << 2 << ""
            << "Cannot open /nonexistent/com: No such file or directory" << QStringList{};
        QTest::newRow("an unknown command ends with status 64 and sends nothing")
            << QStringList{} << QStringList{"power-on", "power-onn"} << 64 << ""
            << "unknown command 'power-onn'" << QStringList{};
    }
    void commandsReachTheSimulatorAndTheExitStatusTellsHowItWent()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, outEnd);
        QFETCH(QString, err);
        QFETCH(QStringList, logged);
        const bool none = simulator == QStringList{"none"};
        SimProcess sim(none ? QStringList() : simulator);
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/stale"), sim.link())); // to be replaced
        QVERIFY(none || sim.start());

        QProcess send;
        send.start(qEnvironmentVariable("TARN_BIN") + "/tarn-send",
                   QStringList{"--port", none ? "/nonexistent/com" : sim.address()} + arguments);
        QVERIFY(send.waitForFinished(30000));
        const QString out = QString::fromUtf8(send.readAllStandardOutput());
        const QString errors = QString::fromUtf8(send.readAllStandardError());
        QVERIFY2(outEnd.isEmpty() ? out.isEmpty() : out.endsWith(outEnd), qPrintable(out));
        QVERIFY2(err.isEmpty() ? errors.isEmpty() : errors.contains(err), qPrintable(errors));
        QCOMPARE(send.exitCode(), exitCode);
        QVERIFY(logged.isEmpty() || sim.logs(logged.last()));
        QTest::qWait(100); // anything else sent would be logged by now
        QCOMPARE(sim.lines().filter(QStringLiteral("< ")), logged);
        QVERIFY2(none || sim.stop(), "a terminated simulator exits cleanly");
        const bool pty = !none && !simulator.contains("--tcp");
        QCOMPARE(QFileInfo(sim.link()).isSymLink(), !pty); // a simulator takes its link along
    }

    void theSimulatorRefusesUnusableArgumentsWithStatus64()
    {
        QProcess sim;
        sim.start(qEnvironmentVariable("TARN_BIN") + "/tarn-sim", {"--projectors", "9"});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 64);
        QVERIFY(sim.readAllStandardError().contains("'9' is not a number from 1 to 4"));
    }
};

QTEST_GUILESS_MAIN(EndToEndSendTest)
#include "tst_e2e_send.moc"
