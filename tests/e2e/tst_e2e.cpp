// The programs against the projector simulator on a pseudo-terminal or over TCP, in real time:
// the panel's clicks and what it shows, tarn-send's output and exit status, and the
// simulator's own life as a program (its link, its exit, its usage errors).
#include "app/program.h"
#include "realtime.h"
#include "sendprocess.h"
#include "simprocess.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

QStringList words(const char *text)
{
    return QString(text).split(u' ', Qt::SkipEmptyParts);
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    // A reply in single bytes decodes as a whole one.
    void thePanelsClicksReachTheProjectorAndItsAnswerIsShown()
    {
        for (const char *simulator : {"", "--split"}) {
            SimProcess sim(words(simulator));
            QVERIFY(sim.start());
            qputenv("TARN_COM1", sim.address().toLocal8Bit());
            PanelProgram program;
            program.start();
            QVERIFY2(program.port.portOpen(), qPrintable(program.panel.view().status));
            QTest::mouseClick(qobject_cast<QAbstractButton *>(program.window.control(u"Command44")),
                              Qt::LeftButton);
            const ViewState &view = program.panel.view();
            QVERIFY2(waitFor([&] { return view.status == " Stand by"; }, 3s),
                     qPrintable(view.rxd + u'|' + view.status));
            QVERIFY(sim.logs("< CR0\\r"));
            QVERIFY(*simulator || view.rxd == " 8 0 CR ");
        }
    }

    void tarnSendsCommandsReachTheSimulatorAndItsExitStatusTellsHowItWent_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outEnd");
        QTest::addColumn<QString>("err"); // contained in the error output; empty: none at all
        QTest::addColumn<QStringList>("frames"); // exactly those the simulator received
        const auto row = [](const char *name, const char *simulator, const char *arguments,
                            int exitCode, const char *outEnd, const char *err, const char *frames) {
            QTest::newRow(name) << words(simulator) << words(arguments) << exitCode << outEnd << err
                                << words(frames);
        };
        row("status on a pseudo-terminal", "", "status", 0,
            "TXD  C R 0 CR \nRXD  8 0 CR \nSTATUS Stand by\n", "", "CR0\\r");
        row("power-on then status over tcp sees the count-down", "--tcp 0 --warmup 60000",
            "--address 2 power-on status", 0, "STATUS Count down\n", "", "A002C00\\r A002CR0\\r");
        row("a silent projector ends with status 1", "--silent", "--timeout 300 freeze-on mode", 1,
            "TXD  C R 1 CR \nRXD  X X X X\n", "freeze-on: no reply within 300 ms", "C43\\r CR1\\r");
        row("an unknown command ends with status 64 and sends nothing", "", "power-on power-onn",
            64, "", "unknown command 'power-onn'", "");
        const auto status = [](const char *power, const char *reply, const char *text) {
            return QStringLiteral(R"({"command":"status","errors":[],"frame":"CR0\r",)"
                                  R"("keyLock":false,"ok":true,"power":"%1","reply":"%2\r",)"
                                  R"("status":" %3"})"
                                  "\n")
                .arg(power, reply, text);
        };
        const QString standby = status("standby", "80", "Stand by");
        QTest::newRow("--json reads standby, then the count-down")
            << words("--warmup 60000") << words("--json status power-on status") << 0
            << standby +
                   R"({"command":"power-on","frame":"C00\r","ok":true,"reply":"\u0006"})"
                   "\n" +
                   status("warming", "40", "Count down")
            << "" << words("CR0\\r C00\\r CR0\\r");
        QTest::newRow("--json --watch: two rounds")
            << words("") << words("--json --watch 0.2 --count 2 status") << 0 << standby + standby
            << "" << words("CR0\\r CR0\\r");
    }
    void tarnSendsCommandsReachTheSimulatorAndItsExitStatusTellsHowItWent()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, outEnd);
        QFETCH(QString, err);
        QFETCH(QStringList, frames);
        SimProcess sim(simulator);
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/stale"), sim.link())); // to be replaced
        QVERIFY(sim.start());

        const auto [status, out, errors] = send(QStringList{"--port", sim.address()} + arguments);
        QVERIFY2(outEnd.isEmpty() ? out.isEmpty() : out.endsWith(outEnd), qPrintable(out));
        QVERIFY2(err.isEmpty() ? errors.isEmpty() : errors.contains(err), qPrintable(errors));
        QCOMPARE(status, exitCode);
        QVERIFY(frames.isEmpty() || sim.logs("< " + frames.last()));
        QTest::qWait(100); // anything else sent would be logged by now
        QCOMPARE(sim.lines().filter(QStringLiteral("< ")).replaceInStrings("< ", ""), frames);
        QVERIFY2(sim.stop(), "a terminated simulator exits cleanly");
        QCOMPARE(QFileInfo(sim.link()).isSymLink(),
                 simulator.contains("--tcp")); // a link goes with it
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

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
