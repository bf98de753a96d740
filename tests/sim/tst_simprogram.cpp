// The simulator as a running program: its link to the device, its exit, its usage errors.
// The exchange itself is tried by the panel's and tarn-send's end-to-end tests.
#include "simprocess.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace tarn::test;

class SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void theLinkReplacesAStaleOneAndGoesWithTheSimulator()
    {
        SimProcess sim;
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/stale"), sim.link()));
        QVERIFY(sim.start());
        QVERIFY2(sim.device().startsWith(u"/dev/"), qPrintable(sim.device()));
        QCOMPARE(QFileInfo(sim.link()).symLinkTarget(), sim.device());
        QVERIFY2(sim.stop(), "a terminated simulator exits cleanly");
        QVERIFY(!QFileInfo(sim.link()).isSymLink());
    }

    void badArgumentsEndWithAUsageError_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--loud"};
        QTest::newRow("projectors out of range") << QStringList{"--projectors", "9"};
    }
    void badArgumentsEndWithAUsageError()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/tarn-sim"), arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 64);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(SimProgram)
#include "tst_simprogram.moc"
