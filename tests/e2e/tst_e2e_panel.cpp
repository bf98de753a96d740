// The whole panel against the projector simulator on a pseudo-terminal or over TCP, in real
// time: clicks on the window reach the projector and its answers are shown.
#include "app/program.h"
#include "realtime.h"
#include "simprocess.h"

#include <QAbstractButton>
#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

// Clicks a control with the mouse once the panel waits for no reply any more: a reply
// still in the buffer would be read in front of the next one and spoil its decoding.
bool clickWhenIdle(PanelProgram &program, QStringView name)
{
    auto *button = qobject_cast<QAbstractButton *>(program.window.control(name));
    if (!button || !waitFor([&] { return !program.panel.timer(2).isEnabled(); }, 3s))
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

} // namespace

class EndToEndPanelTest : public QObject
{
    Q_OBJECT
private slots:
    void clicksReachTheProjectorAndItsAnswerIsShown_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("rxd"); // empty: any
        QTest::addColumn<QString>("status");
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
        QFETCH(QString, status);
        SimProcess sim(simulator);
        QVERIFY(sim.start());
        qputenv("TARN_COM1", sim.address().toLocal8Bit());
        PanelProgram program;
        program.start();
        QVERIFY2(program.port.portOpen(), qPrintable(program.panel.view().status));
        for (const QString &name : clicks)
            QVERIFY(clickWhenIdle(program, name));
        const ViewState &view = program.panel.view();
        QVERIFY2(waitFor(
                     [&] {
                         return (rxd.isEmpty() || view.rxd == rxd) &&
                                (status.isEmpty() || view.status.endsWith(status));
                     },
                     3s),
                 qPrintable(view.rxd + u'|' + view.status));
        QVERIFY(sim.logs(clicks.last() == "Command44" ? "< CR0\\r" : "< CR7\\r"));
    }
};

QTEST_MAIN(EndToEndPanelTest)
#include "tst_e2e_panel.moc"
