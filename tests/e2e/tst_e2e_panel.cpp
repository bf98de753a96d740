// The whole panel against the projector simulator on a pseudo-terminal, in real time: the
// exchange, port choices and failures of a real line.
#include "app/program.h"
#include "modalwatcher.h"
#include "simprocess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <sys/resource.h>

using namespace tarn;
using namespace tarn::test;

namespace {

// Clicks a control with the mouse once the panel waits for no reply any more: a reply
// still in the buffer would be read in front of the next one and spoil its decoding.
bool clickWhenIdle(PanelProgram &program, QStringView name)
{
    auto *button = qobject_cast<QAbstractButton *>(program.window.control(name));
    if (!button || !waitFor([&] { return !program.panel.timer(2).isEnabled(); }, 3000))
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

bool standByAfterStatus(PanelProgram &program)
{
    return clickWhenIdle(program, u"Command44") &&
           waitFor([&] { return program.panel.view().status == " Stand by"; }, 3000);
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class EndToEndPanelTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_boxes.texts.clear(); }
    void cleanup()
    {
        qunsetenv("TARN_COM1");
        qunsetenv("TARN_COM2");
    }

    void clicksReachTheProjectorAndItsAnswerIsShown_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("rxd");       // empty: any
        QTest::addColumn<QString>("statusEnd"); // empty: any

        QTest::newRow("status") << QStringList{} << QStringList{"Command44"} << " 8 0 CR "
                                << " Stand by";
        QTest::newRow("status through a network serial server")
            << QStringList{"--tcp", "0"} << QStringList{"Command44"} << " 8 0 CR "
            << " Stand by";
        QTest::newRow("a reply in single bytes decodes as a whole one")
            << QStringList{"--split"} << QStringList{"Command44"} << ""
            << " Stand by";
        QTest::newRow("a silent projector is marked missing")
            << QStringList{"--silent"} << QStringList{"Command44"} << " X X X X"
            << "";
        QTest::newRow("lamp mode follows the lamp choice")
            << QStringList{} << QStringList{"Command57", "Command55"} << ""
            << ": 2 Lamp mode(1,4)";
    }

    void clicksReachTheProjectorAndItsAnswerIsShown()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, clicks);
        QFETCH(QString, rxd);
        QFETCH(QString, statusEnd);
        SimProcess sim(simulator);
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.address().toLocal8Bit());
        PanelProgram program;
        program.start();
        QVERIFY2(program.port.portOpen(), qPrintable(program.panel.view().status));

        for (const QString &name : clicks)
            QVERIFY(clickWhenIdle(program, name));
        QVERIFY(waitFor(
            [&] {
                const ViewState &view = program.panel.view();
                return (rxd.isEmpty() || view.rxd == rxd) &&
                       (statusEnd.isEmpty() || view.status.endsWith(statusEnd));
            },
            3000));
        QVERIFY(
            sim.logs(QStringLiteral("< CR%1\\r").arg(clicks.last() == "Command44" ? '0' : '7')));
    }

    void powerOnCountsDownToPowerOn()
    {
        SimProcess sim({QStringLiteral("--warmup"), QStringLiteral("1500")});
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.link().toLocal8Bit());
        PanelProgram program;
        program.start();

        QVERIFY(clickWhenIdle(program, u"Command17"));
        QVERIFY(waitFor([&] { return program.panel.view().rxd == " &"; }, 3000));
        QVERIFY(clickWhenIdle(program, u"Command44"));
        QVERIFY(waitFor([&] { return program.panel.view().status == " Count down"; }, 3000));
        QVERIFY(waitFor(
            [&] {
                if (!program.panel.timer(2).isEnabled())
                    program.panel.click(u"Command44");
                return program.panel.view().status == " Power ON";
            },
            15000));
    }

    void aMissingDeviceStillOpensTheWindowAndSaysWhy()
    {
        qputenv("TARN_COM1", "/nonexistent/tarn-com1");
        PanelProgram program;
        program.start();
        QVERIFY(program.window.isVisible());
        QVERIFY(!program.port.portOpen());
        const QString status = program.panel.view().status;
        QVERIFY2(status.startsWith(" Cannot open /nonexistent/tarn-com1: "), qPrintable(status));
    }

    void aMissingComTwoWarnsAndComOneRecovers()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.link().toLocal8Bit());
        qputenv("TARN_COM2", "/nonexistent/tarn-com2");
        PanelProgram program;
        program.start();

        QVERIFY(clickWhenIdle(program, u"Command33"));
        QVERIFY(clickWhenIdle(program, u"Option2"));
        QCOMPARE(m_boxes.texts,
                 QStringList{"Cannot open /nonexistent/tarn-com2: No such file or directory"});
        QVERIFY(!program.port.portOpen());
        QCOMPARE(program.port.commPort(), 1);
        QVERIFY(program.panel.view().frame8Visible);

        QVERIFY(clickWhenIdle(program, u"Option1"));
        QVERIFY(program.port.portOpen());
        QVERIFY(standByAfterStatus(program));
        QCOMPARE(m_boxes.texts.size(), 1);
    }

    void aVanishingLineIsReportedOnceAndComesBackByChoosingItAgain()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.link().toLocal8Bit());
        PanelProgram program;
        program.start();
        QStringList failures;
        connect(&program.panel, &Panel::viewChanged, this, [&](ViewItem item) {
            if (item == ViewItem::Status && program.panel.view().status.startsWith(" Lost"))
                failures << program.panel.view().status;
        });
        program.panel.press(u"Command15"); // a repeat runs while the line goes

        sim.kill();
        QVERIFY(waitFor([&] { return !failures.isEmpty(); }, 3000));
        QTest::qWait(200);
        const double before = processCpuSeconds();
        QTest::qWait(1000);
        const double spent = processCpuSeconds() - before;
        program.panel.release(u"Command15");
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures.first().contains(sim.link()) || failures.first().contains("/dev/"),
                 qPrintable(failures.first()));
        QVERIFY2(spent < 0.3, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(spent)));
        QVERIFY(!program.port.portOpen());
        QVERIFY2(m_boxes.texts.isEmpty(), "a failure of the line opens no box");

        QVERIFY(sim.start());
        program.panel.click(u"Command33");
        program.panel.click(u"Option1");
        QVERIFY(program.port.portOpen());
        QVERIFY(standByAfterStatus(program));
    }

    void aSecondPanelOnTheSameDeviceIsToldItIsBusy()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.link().toLocal8Bit());
        PanelProgram first;
        first.start();
        QVERIFY(first.port.portOpen());

        PanelProgram second;
        second.start();
        QVERIFY(!second.port.portOpen());
        const QString status = second.panel.view().status;
        QVERIFY2(status.contains("busy"), qPrintable(status));
        QVERIFY(standByAfterStatus(first));
    }

    void holdingZoomSendsItsFrameEveryFiftyMilliseconds()
    {
        SimProcess sim;
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.link().toLocal8Bit());
        PanelProgram program;
        program.start();

        QWidget *zoomIn = program.window.control(u"Command15");
        QVERIFY(zoomIn);
        QTest::mousePress(zoomIn, Qt::LeftButton);
        QTest::qWait(500);
        QTest::mouseRelease(zoomIn, Qt::LeftButton);
        QVERIFY(waitFor([&] { return sim.count("< C47\\r") >= 6; }, 3000));
        QTest::qWait(300);
        const qsizetype frames = sim.count("< C47\\r");
        QVERIFY2(frames >= 6 && frames <= 16, qPrintable(QString::number(frames)));
    }

private:
    ModalWatcher m_boxes; // a box left open would stall the test
};

QTEST_MAIN(EndToEndPanelTest)
#include "tst_e2e_panel.moc"
