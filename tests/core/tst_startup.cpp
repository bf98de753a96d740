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
    void startUpLeavesTheStateReset();
    void startUpOpensComOneAtFullSpeedThroughTheComOneChoice();
    void theCompactWindowSitsWhereTheFullWindowWouldBeCentred();
    void aMissingComOneStillOpensTheWindowAndSaysWhy();
    void keysOpenTheMaintenanceViewOnlyForCtrlJ_data();
    void keysOpenTheMaintenanceViewOnlyForCtrlJ();
    void theViewToggleWalksTheViews_data();
    void theViewToggleWalksTheViews();
    void theViewToggleRestartsThePortFrameCountdown();
    void endClosesThePortAndQuits();
    void endStillQuitsWhenThePortIsAlreadyClosed();
};

void StartupTest::startUpLeavesTheStateReset()
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

void StartupTest::startUpOpensComOneAtFullSpeedThroughTheComOneChoice()
{
    PanelRig rig;
    QCOMPARE(rig.port.log,
             QStringList({"port 1", "settings 19200,N,8,1", "open", "close", "port 1", "open"}));
    QCOMPARE(rig.port.m_setupCalls, 1);
    QCOMPARE(rig.port.m_setup.receiveThreshold, 1);
    QCOMPARE(rig.port.m_setup.inputLen, 0);
    QCOMPARE(rig.port.m_setup.inBufferSize, 1024);
    QCOMPARE(rig.port.m_setup.outBufferSize, 512);
    QVERIFY(rig.port.portOpen());
    QCOMPARE(rig.port.commPort(), 1);
    QVERIFY(rig.warnings.shown.isEmpty());
}

void StartupTest::theCompactWindowSitsWhereTheFullWindowWouldBeCentred()
{
    PanelRig rig(false);
    rig.panel.start(QSize(28800, 16200));
    QCOMPARE(rig.view().left, (28800 - 9585) / 2);
    QCOMPARE(rig.view().top, (16200 - 7200) / 2);
    QCOMPARE(rig.view().outerHeight, 5200);
}

void StartupTest::aMissingComOneStillOpensTheWindowAndSaysWhy()
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
    QCOMPARE(rig.warnings.shown, QStringList{"Cannot write to /dev/fake1: the port is not open"});
}

void StartupTest::keysOpenTheMaintenanceViewOnlyForCtrlJ_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("height");

    QTest::newRow("ctrl+j") << 74 << 2 << 7200;
    QTest::newRow("j alone") << 74 << 0 << 5200;
    QTest::newRow("ctrl+shift+j") << 74 << 3 << 5200;
    QTest::newRow("ctrl+alt+j") << 74 << 6 << 5200;
    QTest::newRow("ctrl+k") << 75 << 2 << 5200;
    QTest::newRow("ctrl+j with a higher modifier bit") << 74 << (8 | 2) << 7200;
}

void StartupTest::keysOpenTheMaintenanceViewOnlyForCtrlJ()
{
    QFETCH(int, key);
    QFETCH(int, shift);
    QFETCH(int, height);
    PanelRig rig;
    rig.panel.keyDown(key, shift);
    QCOMPARE(rig.view().outerHeight, height);
    QCOMPARE(rig.view().command34Visible, height == 7200);
    QCOMPARE(rig.view().command34Caption, height == 7200 ? "CLOSE" : "データを表示する");
}

void StartupTest::theViewToggleWalksTheViews_data()
{
    QTest::addColumn<QStringList>("steps"); // "ctrl+j" or "toggle"
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("caption");

    QTest::newRow("maintenance") << QStringList{"ctrl+j"} << 7200 << "CLOSE";
    QTest::newRow("maintenance to compact")
        << QStringList{"ctrl+j", "toggle"} << 5200 << "データを表示する";
    QTest::newRow("then to data") << QStringList{"ctrl+j", "toggle", "toggle"} << 6645
                                  << "データを表示しない";
    QTest::newRow("data back to compact")
        << QStringList{"ctrl+j", "toggle", "toggle", "toggle"} << 5200 << "データを表示する";
    QTest::newRow("ctrl+j from data")
        << QStringList{"ctrl+j", "toggle", "toggle", "ctrl+j"} << 7200 << "CLOSE";
    QTest::newRow("ctrl+j twice") << QStringList{"ctrl+j", "ctrl+j"} << 7200 << "CLOSE";
    QTest::newRow("toggle from the start") << QStringList{"toggle"} << 6645 << "データを表示しない";
}

void StartupTest::theViewToggleWalksTheViews()
{
    QFETCH(QStringList, steps);
    QFETCH(int, height);
    QFETCH(QString, caption);
    PanelRig rig;
    for (const QString &step : steps) {
        if (step == "ctrl+j")
            rig.panel.keyDown(74, 2);
        else
            rig.panel.click(u"Command34");
    }
    QCOMPARE(rig.view().outerHeight, height);
    QCOMPARE(rig.view().command34Caption, caption);
    QCOMPARE(rig.view().command34Visible, steps.contains("ctrl+j"));
}

void StartupTest::theViewToggleRestartsThePortFrameCountdown()
{
    PanelRig rig;
    rig.panel.click(u"Command33");
    rig.advance(4000ms);
    QVERIFY(rig.view().frame8Visible);
    rig.panel.click(u"Command34");
    rig.advance(4999ms);
    QVERIFY2(rig.view().frame8Visible, "the countdown starts again at the toggle");
    rig.advance(1ms);
    QVERIFY(!rig.view().frame8Visible);
    QVERIFY(!rig.panel.timer(3).isEnabled());
}

void StartupTest::endClosesThePortAndQuits()
{
    PanelRig rig;
    QSignalSpy quit(&rig.panel, &Panel::quitRequested);
    rig.panel.click(u"Command16");
    QCOMPARE(quit.count(), 1);
    QVERIFY(!rig.port.portOpen());
    QCOMPARE(rig.port.log.last(), "close");
}

void StartupTest::endStillQuitsWhenThePortIsAlreadyClosed()
{
    PanelRig rig;
    rig.port.setMissing(2);
    rig.panel.click(u"Command33");
    rig.panel.click(u"Option2"); // fails: the port stays closed
    QVERIFY(!rig.port.portOpen());
    QSignalSpy quit(&rig.panel, &Panel::quitRequested);
    rig.panel.click(u"Command16");
    QCOMPARE(quit.count(), 1);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
