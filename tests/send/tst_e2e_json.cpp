// tarn-send --json against the projector simulator, in real time: its state read as data.
#include "sendprocess.h"
#include "simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace tarn::test;

static QJsonObject object(QStringView json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

class EndToEndJsonTest : public QObject
{
    Q_OBJECT
private slots:
    void thePowerStateIsReadAsData_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("arguments"); // after --port and --json
        QTest::addColumn<QStringList>("lines");     // members that each line holds

        QTest::newRow("power on, then the count-down")
            << QStringList{"--warmup", "60000"} << QStringList{"status", "power-on", "status"}
            << QStringList{R"({"power":"standby","status":" Stand by","ok":true})",
                           R"({"reply":"\u0006","ok":true})",
                           R"({"power":"warming","status":" Count down"})"};
        QTest::newRow("power save, too hot")
            << QStringList{"--power-save", "--temperature-error", "--warmup", "0", "--cooldown",
                           "60000"}
            << QStringList{"status", "power-on", "status", "power-off", "status"}
            << QStringList{R"({"power":"power-save","errors":["temperature"],"reply":"0C\r"})",
                           "{}", R"({"power":"on","status":" Temperature abnormality"})", "{}",
                           R"({"power":"cooling-to-power-save","errors":["temperature"]})"};
        QTest::newRow("a watch of two rounds")
            << QStringList{} << QStringList{"--watch", "0.2", "--count", "2", "status"}
            << QStringList{R"({"power":"standby"})", R"({"power":"standby"})"};
    }

    void thePowerStateIsReadAsData()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, lines);
        SimProcess sim(simulator);
        QVERIFY(sim.start());

        const Run run = send(QStringList{"--port", sim.address(), "--json"} + arguments);
        QCOMPARE(run.exitCode, 0);
        const QStringList got = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(got.size(), lines.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            for (const QString &key : object(lines[i]).keys())
                QVERIFY2(object(got[i])[key] == object(lines[i])[key], qPrintable(got[i]));
    }

    void aSignalEndsTheWatchBetweenTwoLinesWithStatus0()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QProcess watch;
        watch.start(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/tarn-send"),
                    {"--port", sim.address(), "--json", "--watch", "0.1", "status", "l-time"});
        QVERIFY(watch.waitForReadyRead(10000));
        watch.terminate();
        QVERIFY(watch.waitForFinished(10000) && watch.exitStatus() == QProcess::NormalExit);
        QCOMPARE(watch.exitCode(), 0);

        const QString out = QString::fromUtf8(watch.readAllStandardOutput());
        QVERIFY(out.endsWith(u'\n'));
        for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(object(line).value("ok").toBool(), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(EndToEndJsonTest)
#include "tst_e2e_json.moc"
