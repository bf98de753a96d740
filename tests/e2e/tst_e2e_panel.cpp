// The whole panel against the projector simulator on a pseudo-terminal.
#include "app/program.h"
#include "simprocess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

using namespace tarn;
using namespace tarn::test;

namespace {

void clickControl(PanelProgram &program, QStringView name)
{
    auto *button = qobject_cast<QAbstractButton *>(program.window.control(name));
    QVERIFY2(button, qPrintable(name.toString()));
    QTest::mouseClick(button, Qt::LeftButton);
}

bool statusBecomes(PanelProgram &program, const QString &text, int ms = 3000)
{
    return waitFor([&] { return program.panel.view().status == text; }, ms);
}

} // namespace

class EndToEndPanelTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { qunsetenv("TARN_COM1"); }

    void aStatusClickReachesTheProjectorAndItsAnswerIsDecoded();
    void powerOnCountsDownToPowerOn();
    void lampModeFollowsTheLampChoice();
    void aSilentProjectorIsMarkedMissing();
    void aReplyInSingleBytesDecodesAsAWholeOne();
    void aMissingDeviceStillOpensTheWindowAndSaysWhy();
};

void EndToEndPanelTest::aStatusClickReachesTheProjectorAndItsAnswerIsDecoded()
{
    SimProcess sim;
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    PanelProgram program;
    program.start();
    QVERIFY2(program.port.portOpen(), qPrintable(program.panel.view().status));

    clickControl(program, u"Command44");
    QVERIFY(waitFor([&] { return sim.count(QStringLiteral("< CR0\\r")) == 1; }, 3000));
    QVERIFY(statusBecomes(program, QStringLiteral(" Stand by")));
    QCOMPARE(program.panel.view().rxd, " 8 0 CR ");
}

void EndToEndPanelTest::powerOnCountsDownToPowerOn()
{
    SimProcess sim({QStringLiteral("--warmup"), QStringLiteral("1500")});
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    PanelProgram program;
    program.start();

    clickControl(program, u"Command17");
    QVERIFY(waitFor([&] { return program.panel.view().rxd == " &"; }, 3000));
    clickControl(program, u"Command44");
    QVERIFY(statusBecomes(program, QStringLiteral(" Count down")));
    QVERIFY(waitFor(
        [&] {
            if (!program.panel.timer(2).isEnabled())
                program.panel.click(u"Command44");
            return program.panel.view().status == " Power ON";
        },
        15000));
}

void EndToEndPanelTest::lampModeFollowsTheLampChoice()
{
    SimProcess sim;
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    PanelProgram program;
    program.start();

    clickControl(program, u"Command57"); // "1-4"
    QVERIFY(waitFor([&] { return !program.panel.timer(2).isEnabled(); }, 3000));
    clickControl(program, u"Command55"); // "L-MODE"
    QVERIFY(
        waitFor([&] { return program.panel.view().status.endsWith(": 2 Lamp mode(1,4)"); }, 3000));
}

void EndToEndPanelTest::aSilentProjectorIsMarkedMissing()
{
    SimProcess sim({QStringLiteral("--silent")});
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    PanelProgram program;
    program.start();

    clickControl(program, u"Command44");
    QVERIFY(waitFor([&] { return program.panel.view().rxd == " X X X X"; }, 3000));
}

void EndToEndPanelTest::aReplyInSingleBytesDecodesAsAWholeOne()
{
    SimProcess sim({QStringLiteral("--split")});
    QVERIFY(sim.start());
    qputenv("TARN_COM1", sim.link().toLocal8Bit());
    PanelProgram program;
    program.start();

    clickControl(program, u"Command44");
    QVERIFY(statusBecomes(program, QStringLiteral(" Stand by")));
}

void EndToEndPanelTest::aMissingDeviceStillOpensTheWindowAndSaysWhy()
{
    qputenv("TARN_COM1", "/nonexistent/tarn-com1");
    PanelProgram program;
    program.start();
    QVERIFY(program.window.isVisible());
    QVERIFY(!program.port.portOpen());
    const QString status = program.panel.view().status;
    QVERIFY2(status.startsWith(" Cannot open /nonexistent/tarn-com1: "), qPrintable(status));
}

QTEST_MAIN(EndToEndPanelTest)
#include "tst_e2e_panel.moc"
