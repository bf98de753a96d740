// tarn-send against the projector simulator, on a pseudo-terminal and over TCP, in real time.
#include "sendprocess.h"
#include "simprocess.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tarn::test;

class EndToEndSendTest : public QObject
{
    Q_OBJECT
private slots:
    void commandsReachTheSimulatorAndTheExitStatusTellsHowItWent_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("arguments"); // after --port
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outEnd");
        QTest::addColumn<QString>("err"); // contained in the error output; empty: none at all
        QTest::addColumn<QStringList>("logged");

        const QString standBy = "TXD  C R 0 CR \nRXD  8 0 CR \nSTATUS Stand by\n";
        QTest::newRow("status on a pseudo-terminal")
            << QStringList{} << QStringList{"status"} << 0 << standBy << ""
            << QStringList{"< CR0\\r", "> 80\\r"};
        QTest::newRow("status over tcp") << QStringList{"--tcp", "0"} << QStringList{"status"} << 0
                                         << standBy << "" << QStringList{"< CR0\\r", "> 80\\r"};
        QTest::newRow("power-on then status sees the count-down")
            << QStringList{"--tcp", "0", "--warmup", "60000"}
            << QStringList{"--address", "2", "power-on", "status"} << 0 << "STATUS Count down\n"
            << "" << QStringList{"< A002C00\\r", "> \\x06", "< A002CR0\\r"};
        QTest::newRow("a broadcast's silence is no failure")
            << QStringList{} << QStringList{"--address", "all", "--timeout", "300", "power-off"}
            << 0 << "RXD  (sent to all, no reply expected)\n"
            << "" << QStringList{"< AFFFC01\\r"};
        QTest::newRow("a silent projector ends with status 1")
            << QStringList{"--silent"} << QStringList{"--timeout", "300", "freeze-on", "mode"} << 1
            << "TXD  C R 1 CR \nRXD  X X X X\n"
            << "freeze-on: no reply within 300 ms" << QStringList{"< C43\\r", "< CR1\\r"};
    }

    void commandsReachTheSimulatorAndTheExitStatusTellsHowItWent()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, outEnd);
        QFETCH(QString, err);
        QFETCH(QStringList, logged);
        SimProcess sim(simulator);
        QVERIFY(sim.start());

        const Run run = send(QStringList{"--port", sim.address()} + arguments);
        QVERIFY2(run.out.endsWith(outEnd), qPrintable(run.out));
        QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.contains(err), qPrintable(run.err));
        QCOMPARE(run.exitCode, exitCode);
        for (const QString &line : logged)
            QVERIFY2(sim.logs(line), qPrintable(line));
    }

    void aMissingDeviceEndsWithStatus2AndTheReason()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("no-such-port"));
        const Run run = send({"--port", device, "status"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(device), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void anUnknownCommandEndsWithStatus64AndSendsNothing()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        const Run run = send({"--port", sim.address(), "power-on", "power-onn"});
        QCOMPARE(run.exitCode, 64);
        QVERIFY(run.err.contains(u"unknown command 'power-onn'"));
        QTest::qWait(200); // anything sent would be logged by now
        QVERIFY(sim.lines().filter(QStringLiteral("< ")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(EndToEndSendTest)
#include "tst_e2e_send.moc"
