// Start-up, the three views and "END".
#include "panelrig.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void startUpLeavesTheStateReset()
    {
        PanelRig rig;
        QCOMPARE(rig.state().PortSettings, "19200,N,8,1");
        QCOMPARE(rig.state().PjPrefix, QByteArray());
        QCOMPARE(rig.state().RepeatCode, 0);
        QCOMPARE(rig.state().ReplyPending, 0);
        QCOMPARE(rig.state().ArrowMode, 0);
        QCOMPARE(rig.state().RecvBuffer, QByteArray());
        QCOMPARE(rig.state().SendFrame, QByteArray());
        QCOMPARE(rig.view().outerHeight, 5200);
        QCOMPARE(rig.view().command34Visible, false);
        QCOMPARE(rig.view().command34Caption, "データを表示する");
        QCOMPARE(rig.view().frame8Visible, false);
        QCOMPARE(rig.view().portOption, "Option1");
        QCOMPARE(rig.view().speedOption, "Option9");
        QCOMPARE(rig.view().pjOption, "Option3");
        for (int n = 1; n <= 4; ++n)
            QVERIFY2(!rig.panel.timer(n).isEnabled(), qPrintable(QString::number(n)));
        QCOMPARE(rig.panel.timer(1).interval(), 200ms);
        QCOMPARE(rig.panel.timer(2).interval(), 500ms);
        QCOMPARE(rig.panel.timer(3).interval(), 5000ms);
        QCOMPARE(rig.panel.timer(4).interval(), 1000ms);
        QVERIFY(rig.port.frames.isEmpty());
    }

    void startUpOpensComOneAtFullSpeedThroughTheComOneChoice()
    {
        PanelRig rig;
        QCOMPARE(rig.port.log, QStringList({"port 1", "settings 19200,N,8,1", "open", "close",
                                            "port 1", "open"}));
        QCOMPARE(rig.port.m_setupCalls, 1);
        QCOMPARE(rig.port.m_setup.receiveThreshold, 1);
        QCOMPARE(rig.port.m_setup.inputLen, 0);
        QCOMPARE(rig.port.m_setup.inBufferSize, 1024);
        QCOMPARE(rig.port.m_setup.outBufferSize, 512);
        QVERIFY(rig.port.portOpen());
        QCOMPARE(rig.port.commPort(), 1);
        QVERIFY(rig.warnings.shown.isEmpty());
    }

    void theCompactWindowSitsWhereTheFullWindowWouldBeCentred()
    {
        PanelRig rig(false);
        rig.panel.start(QSize(28800, 16200));
        QCOMPARE(rig.view().left, (28800 - 9585) / 2);
        QCOMPARE(rig.view().top, (16200 - 7200) / 2);
        QCOMPARE(rig.view().outerHeight, 5200);
    }

    void aMissingComOneStillOpensTheWindowAndSaysWhy()
    {
        PanelRig rig(false);
        rig.port.setMissing(1);
        rig.start();
        QVERIFY(!rig.port.portOpen());
        QCOMPARE(rig.port.commPort(), 1);
        QCOMPARE(rig.view().status, " Cannot open /dev/fake1: No such file or directory");
        QVERIFY2(rig.warnings.shown.isEmpty(), "start-up is no click of the operator's");
        QCOMPARE(rig.view().frame8Visible, false);
        QCOMPARE(rig.view().portOption, "Option1");

        // A click then fails on the closed port, naming it, and the program goes on.
        rig.panel.click(u"Command44");
        QCOMPARE(rig.view().status, " Cannot write to /dev/fake1: the port is not open");
        QCOMPARE(rig.warnings.shown,
                 QStringList{"Cannot write to /dev/fake1: the port is not open"});
    }

    void ctrlJAndTheViewToggleWalkTheViews_data()
    {
        QTest::addColumn<QStringList>("steps"); // "toggle", or "key CODE SHIFT"
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("toggleShown");

        const QString ctrlJ = "key 74 2", compact = "データを表示する", data = "データを表示しない";
        QTest::newRow("ctrl+j") << QStringList{ctrlJ} << 7200 << "CLOSE" << true;
        QTest::newRow("j alone") << QStringList{"key 74 0"} << 5200 << compact << false;
        QTest::newRow("ctrl+shift+j") << QStringList{"key 74 3"} << 5200 << compact << false;
        QTest::newRow("ctrl+alt+j") << QStringList{"key 74 6"} << 5200 << compact << false;
        QTest::newRow("ctrl+k") << QStringList{"key 75 2"} << 5200 << compact << false;
        QTest::newRow("ctrl+j with a higher modifier bit")
            << QStringList{"key 74 10"} << 7200 << "CLOSE" << true;
        QTest::newRow("maintenance to compact")
            << QStringList{ctrlJ, "toggle"} << 5200 << compact << true;
        QTest::newRow("then to data")
            << QStringList{ctrlJ, "toggle", "toggle"} << 6645 << data << true;
        QTest::newRow("data back to compact")
            << QStringList{ctrlJ, "toggle", "toggle", "toggle"} << 5200 << compact << true;
        QTest::newRow("ctrl+j from data")
            << QStringList{ctrlJ, "toggle", "toggle", ctrlJ} << 7200 << "CLOSE" << true;
        QTest::newRow("ctrl+j twice") << QStringList{ctrlJ, ctrlJ} << 7200 << "CLOSE" << true;
        QTest::newRow("toggle from the start") << QStringList{"toggle"} << 6645 << data << false;
    }

    void ctrlJAndTheViewToggleWalkTheViews()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, height);
        QFETCH(QString, caption);
        QFETCH(bool, toggleShown);
        PanelRig rig;
        for (const QString &step : steps) {
            if (step == "toggle")
                rig.panel.click(u"Command34");
            else
                rig.panel.keyDown(step.section(u' ', 1, 1).toInt(),
                                  step.section(u' ', 2, 2).toInt());
        }
        QCOMPARE(rig.view().outerHeight, height);
        QCOMPARE(rig.view().command34Caption, caption);
        QCOMPARE(rig.view().command34Visible, toggleShown);
    }

    void endClosesThePortAndQuits_data()
    {
        QTest::addColumn<bool>("portAlreadyClosed");
        QTest::newRow("port open") << false;
        QTest::newRow("port already closed") << true;
    }

    void endClosesThePortAndQuits()
    {
        QFETCH(bool, portAlreadyClosed);
        PanelRig rig;
        if (portAlreadyClosed) {
            rig.port.setMissing(2);
            rig.panel.click(u"Option2"); // fails: the port stays closed
        }
        QCOMPARE(rig.port.portOpen(), !portAlreadyClosed);
        QSignalSpy quit(&rig.panel, &Panel::quitRequested);
        rig.panel.click(u"Command16");
        QCOMPARE(quit.count(), 1);
        QVERIFY(!rig.port.portOpen());
        QVERIFY(portAlreadyClosed || rig.port.log.last() == "close");
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
