// Port choices and real-port failures, with the simulator on a pseudo-terminal.
#include "app/program.h"
#include "modalwatcher.h"
#include "simprocess.h"

#include <QAbstractButton>
#include <QTest>
#include <sys/resource.h>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

void clickControl(PanelProgram &program, QStringView name)
{
    auto *button = qobject_cast<QAbstractButton *>(program.window.control(name));
    QVERIFY2(button, qPrintable(name.toString()));
    QTest::mouseClick(button, Qt::LeftButton);
}

bool standByAfterStatus(PanelProgram &program)
{
    if (!waitFor([&] { return !program.panel.timer(2).isEnabled(); }, 3000))
        return false;
    program.panel.click(u"Command44");
    return waitFor([&] { return program.panel.view().status == " Stand by"; }, 3000);
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class EndToEndPortsTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        qunsetenv("TARN_COM1");
        qunsetenv("TARN_COM2");
    }

    void aMissingComTwoWarnsAndComOneRecovers();
    void aVanishingLineIsReportedOnceAndComesBackByChoosingItAgain();
    void aSecondPanelOnTheSameDeviceIsToldItIsBusy();
    void holdingZoomSendsItsFrameEveryFiftyMilliseconds();
};

void EndToEndPortsTest::aMissingComTwoWarnsAndComOneRecovers()
{
    SimProcess sim;
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    qputenv("TARN_COM2", "/nonexistent/tarn-com2");
    ModalWatcher boxes;
    PanelProgram program;
    program.start();

    clickControl(program, u"Command33");
    clickControl(program, u"Option2");
    QCOMPARE(boxes.texts,
             QStringList{"Cannot open /nonexistent/tarn-com2: No such file or directory"});
    QVERIFY(!program.port.portOpen());
    QCOMPARE(program.port.commPort(), 1);
    QVERIFY(program.panel.view().frame8Visible);

    clickControl(program, u"Option1");
    QVERIFY(program.port.portOpen());
    QVERIFY(standByAfterStatus(program));
    QCOMPARE(boxes.texts.size(), 1);
}

void EndToEndPortsTest::aVanishingLineIsReportedOnceAndComesBackByChoosingItAgain()
{
    SimProcess sim;
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    ModalWatcher boxes;
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
    QVERIFY2(boxes.texts.isEmpty(), "a failure of the line opens no box");

    QVERIFY(sim.start());
    program.panel.click(u"Command33");
    program.panel.click(u"Option1");
    QVERIFY(program.port.portOpen());
    QVERIFY(standByAfterStatus(program));
}

void EndToEndPortsTest::aSecondPanelOnTheSameDeviceIsToldItIsBusy()
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

void EndToEndPortsTest::holdingZoomSendsItsFrameEveryFiftyMilliseconds()
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

QTEST_MAIN(EndToEndPortsTest)
#include "tst_e2e_ports.moc"
