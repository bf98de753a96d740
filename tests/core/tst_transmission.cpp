// One-shot buttons: which frame each click sends, under which address, and what the
// arrow-pad buttons leave behind.
#include "panelrig.h"

#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

class TransmissionTest : public QObject
{
    Q_OBJECT
private slots:
    void eachOneShotButtonSendsItsFrame_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("frame");

        QTest::newRow("power on") << "Command17" << QByteArray("C00\r");
        QTest::newRow("power off") << "Command18" << QByteArray("C01\r");
        QTest::newRow("input 1") << "Command27" << QByteArray("C05\r");
        QTest::newRow("input 2") << "Command28" << QByteArray("C06\r");
        QTest::newRow("input 3") << "Command29" << QByteArray("C07\r");
        QTest::newRow("input 4") << "Command53" << QByteArray("C08\r");
        QTest::newRow("sound mute on") << "Command19" << QByteArray("C0B\r");
        QTest::newRow("sound mute off") << "Command20" << QByteArray("C0C\r");
        QTest::newRow("no show on") << "Command21" << QByteArray("C0D\r");
        QTest::newRow("no show off") << "Command22" << QByteArray("C0E\r");
        QTest::newRow("freeze on") << "Command25" << QByteArray("C43\r");
        QTest::newRow("freeze off") << "Command26" << QByteArray("C44\r");
        QTest::newRow("regular") << "Command31" << QByteArray("C0F\r");
        QTest::newRow("wide") << "Command32" << QByteArray("C10\r");
        QTest::newRow("menu on") << "Command23" << QByteArray("C1C\r");
        QTest::newRow("menu off") << "Command24" << QByteArray("C1D\r");
        QTest::newRow("a-image") << "Command13" << QByteArray("C89\r");
        QTest::newRow("image") << "Command30" << QByteArray("C27\r");
        QTest::newRow("cursol") << "Command43" << QByteArray("C4F\r");
        QTest::newRow("p-timer") << "Command14" << QByteArray("C8A\r");
        QTest::newRow("display clear") << "Command3" << QByteArray("C1E\r");
        QTest::newRow("4 lamp") << "Command56" << QByteArray("C70\r");
        QTest::newRow("1-4") << "Command57" << QByteArray("C71\r");
        QTest::newRow("2-3") << "Command58" << QByteArray("C72\r");
        QTest::newRow("status") << "Command44" << QByteArray("CR0\r");
        QTest::newRow("mode") << "Command45" << QByteArray("CR1\r");
        QTest::newRow("l-time") << "Command46" << QByteArray("CR3\r");
        QTest::newRow("setting") << "Command47" << QByteArray("CR4\r");
        QTest::newRow("temp") << "Command54" << QByteArray("CR6\r");
        QTest::newRow("l-mode") << "Command55" << QByteArray("CR7\r");
        QTest::newRow("pc type") << "Command38" << QByteArray("CR9\r");
        QTest::newRow("setting 2") << "Command12" << QByteArray("CRA\r");
    }

    void eachOneShotButtonSendsItsFrame()
    {
        QFETCH(QString, control);
        QFETCH(QByteArray, frame);
        PanelRig rig;
        rig.panel.click(control);
        QCOMPARE(rig.port.frames, QByteArrayList{frame});
        QCOMPARE(rig.state().SendFrame, frame);
    }

    void theAddressPrefixFollowsPjSelect_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("txd");

        QTest::newRow("single") << "Option3" << QByteArray("C00\r") << " C 0 0 CR ";
        QTest::newRow("all") << "Option4" << QByteArray("AFFFC00\r") << " A F F F C 0 0 CR ";
        QTest::newRow("001") << "Option5" << QByteArray("A001C00\r") << " A 0 0 1 C 0 0 CR ";
        QTest::newRow("002") << "Option6" << QByteArray("A002C00\r") << " A 0 0 2 C 0 0 CR ";
        QTest::newRow("003") << "Option7" << QByteArray("A003C00\r") << " A 0 0 3 C 0 0 CR ";
        QTest::newRow("004") << "Option8" << QByteArray("A004C00\r") << " A 0 0 4 C 0 0 CR ";
    }

    void theAddressPrefixFollowsPjSelect()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, frame);
        QFETCH(QString, txd);
        PanelRig rig;
        rig.panel.click(option);
        QVERIFY2(rig.port.frames.isEmpty(), "choosing an address sends nothing");
        QCOMPARE(rig.view().pjOption, option);
        rig.panel.click(u"Command17");
        QCOMPARE(rig.lastFrame(), frame);
        QCOMPARE(rig.view().txd, txd);
    }

    void aTransmissionShowsTheFrameAndArmsTheTimers()
    {
        PanelRig rig;
        rig.panel.click(u"Command44");
        QCOMPARE(rig.view().txd, " C R 0 CR ");
        QCOMPARE(rig.state().ReplyPending, 1);
        QVERIFY(rig.panel.timer(2).isEnabled());
        QVERIFY(rig.panel.timer(4).isEnabled());
        QVERIFY(!rig.panel.timer(1).isEnabled());
    }

    void arrowPadSettingsAccumulate_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("arrowMode");
        QTest::addColumn<int>("timer1");

        QTest::newRow("menu on") << QStringList{"Command23"} << 1 << 200;
        QTest::newRow("a-image") << QStringList{"Command13"} << 1 << 200;
        QTest::newRow("cursol") << QStringList{"Command43"} << 2 << 30;
        QTest::newRow("menu on then cursol") << QStringList{"Command23", "Command43"} << 2 << 30;
        QTest::newRow("cursol then menu off") << QStringList{"Command43", "Command24"} << 2 << 30;
        QTest::newRow("cursol then image, p-timer, display clear")
            << QStringList{"Command43", "Command30", "Command14", "Command3"} << 2 << 30;
        QTest::newRow("cursol then a-image") << QStringList{"Command43", "Command13"} << 1 << 200;
        QTest::newRow("query leaves it") << QStringList{"Command43", "Command44"} << 2 << 30;
    }

    void arrowPadSettingsAccumulate()
    {
        QFETCH(QStringList, clicks);
        QFETCH(int, arrowMode);
        QFETCH(int, timer1);
        PanelRig rig;
        for (const QString &c : clicks)
            rig.panel.click(c);
        QCOMPARE(rig.state().ArrowMode, arrowMode);
        QCOMPARE(rig.panel.timer(1).interval(), milliseconds(timer1));
        QVERIFY2(!rig.panel.timer(1).isEnabled(), "a setting never starts the repeat");
    }

    void aFailedSendSkipsTheArrowPadSetting()
    {
        PanelRig rig;
        rig.port.setWritesFail(true);
        rig.panel.click(u"Command43");
        QCOMPARE(rig.state().SendFrame, QByteArray("C4F\r"));
        QCOMPARE(rig.state().ArrowMode, 0);
        QCOMPARE(rig.panel.timer(1).interval(), 200ms);
        QCOMPARE(rig.view().txd, QString());
        QCOMPARE(rig.state().ReplyPending, 0);
        QVERIFY(!rig.panel.timer(2).isEnabled());
        QVERIFY(!rig.panel.timer(4).isEnabled());
    }

    void aFailedSendIsReportedOnceInABoxAndTheStatusLine()
    {
        PanelRig rig;
        rig.port.setWritesFail(true);
        rig.panel.click(u"Command17");
        const QString reason = "Cannot write to /dev/fake1: the output buffer is full";
        QCOMPARE(rig.warnings.shown, QStringList{reason});
        QCOMPARE(rig.view().status, u' ' + reason);
        // The panel goes on: the next click works once the port does.
        rig.port.setWritesFail(false);
        rig.panel.click(u"Command18");
        QCOMPARE(rig.port.frames, QByteArrayList{"C01\r"});
    }

    void theSameButtonTwiceSendsTheSameFrameTwice()
    {
        PanelRig rig;
        rig.panel.click(u"Command19");
        rig.panel.click(u"Command19");
        QCOMPARE(rig.port.frames, QByteArrayList({"C0B\r", "C0B\r"}));
    }

    void aPrefixChangeAppliesToTheNextFrameOnly()
    {
        PanelRig rig;
        rig.panel.click(u"Option5");
        rig.panel.click(u"Command44");
        rig.panel.click(u"Option4");
        QCOMPARE(rig.state().SendFrame, QByteArray("A001CR0\r"));
        rig.panel.click(u"Command44");
        QCOMPARE(rig.port.frames, QByteArrayList({"A001CR0\r", "AFFFCR0\r"}));
        rig.panel.click(u"Option4"); // the selected option again: nothing changes
        QCOMPARE(rig.state().PjPrefix, QByteArray("AFFF"));
    }
};

QTEST_GUILESS_MAIN(TransmissionTest)
#include "tst_transmission.moc"
