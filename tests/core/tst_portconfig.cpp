// The "COM" frame: choosing the port and the speed.
#include "panelrig.h"

#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

class PortConfigTest : public QObject
{
    Q_OBJECT
private slots:
    void comShowsTheFrameForFiveSeconds();
    void showingTheFrameAgainRestartsTheCountdown();
    void aSuccessfulChoiceHidesTheFrameAndTheTimerFiresHarmlessly_data();
    void aSuccessfulChoiceHidesTheFrameAndTheTimerFiresHarmlessly();
    void aFailedSwitchWarnsAndFallsBack();
    void choosingAWorkingPortAfterAFailureOpensIt();
    void choosingTheSamePortAgainBringsBackALostPort();
    void speedIsAppliedAtOnceOnAnOpenPort();
    void speedIsOnlyStoredOnAClosedPort();
    void theSwitchKeepsTheSpeed();
    void aSecondFailureWhileTheBoxIsOpenDoesNotStackABox();
    void aLostDeviceIsReportedOnceWithoutABox();
};

void PortConfigTest::comShowsTheFrameForFiveSeconds()
{
    PanelRig rig;
    rig.panel.click(u"Command33");
    QVERIFY(rig.view().frame8Visible);
    QVERIFY(rig.panel.timer(3).isEnabled());
    rig.advance(4999ms);
    QVERIFY(rig.view().frame8Visible);
    rig.advance(1ms);
    QVERIFY(!rig.view().frame8Visible);
    QVERIFY(!rig.panel.timer(3).isEnabled());
}

void PortConfigTest::showingTheFrameAgainRestartsTheCountdown()
{
    PanelRig rig;
    rig.panel.click(u"Command33");
    rig.advance(3000ms);
    rig.panel.click(u"Command33");
    rig.advance(4999ms);
    QVERIFY(rig.view().frame8Visible);
    rig.advance(1ms);
    QVERIFY(!rig.view().frame8Visible);
}

void PortConfigTest::aSuccessfulChoiceHidesTheFrameAndTheTimerFiresHarmlessly_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::newRow("com1") << "Option1" << 1 << "19200,N,8,1";
    QTest::newRow("com2") << "Option2" << 2 << "19200,N,8,1";
    QTest::newRow("19200") << "Option9" << 1 << "19200,N,8,1";
    QTest::newRow("9600") << "Option10" << 1 << "9600,N,8,1";
}

void PortConfigTest::aSuccessfulChoiceHidesTheFrameAndTheTimerFiresHarmlessly()
{
    QFETCH(QString, option);
    QFETCH(int, port);
    QFETCH(QString, settings);
    PanelRig rig;
    rig.panel.click(u"Command33");
    rig.panel.click(option);
    QVERIFY(!rig.view().frame8Visible);
    QVERIFY2(rig.panel.timer(3).isEnabled(), "the choice leaves the countdown running");
    QVERIFY(rig.port.portOpen());
    QCOMPARE(rig.port.commPort(), port);
    QCOMPARE(rig.port.settings(), settings);
    QCOMPARE(rig.state().PortSettings, settings);
    rig.advance(5s);
    QVERIFY(!rig.view().frame8Visible);
    QVERIFY(!rig.panel.timer(3).isEnabled());
    QVERIFY(rig.warnings.shown.isEmpty());
}

void PortConfigTest::aFailedSwitchWarnsAndFallsBack()
{
    PanelRig rig;
    rig.port.setMissing(2);
    rig.panel.click(u"Command33");
    rig.port.log.clear();
    int portWhileBoxOpen = 0;
    rig.warnings.whileOpen = [&] {
        portWhileBoxOpen = rig.port.commPort();
    };
    rig.panel.click(u"Option2");
    QCOMPARE(rig.warnings.shown, QStringList{"Cannot open /dev/fake2: No such file or directory"});
    QCOMPARE(portWhileBoxOpen, 2);
    QCOMPARE(rig.port.log, QStringList({"close", "port 2", "open", "port 1"}));
    QCOMPARE(rig.port.commPort(), 1);
    QVERIFY(!rig.port.portOpen());
    QVERIFY(rig.view().frame8Visible);
    QCOMPARE(rig.view().portOption, "Option2");
    QCOMPARE(rig.view().status, " Cannot open /dev/fake2: No such file or directory");
}

void PortConfigTest::choosingAWorkingPortAfterAFailureOpensIt()
{
    PanelRig rig;
    rig.port.setMissing(2);
    rig.panel.click(u"Command33");
    rig.panel.click(u"Option2");
    rig.panel.click(u"Option1");
    QVERIFY(rig.port.portOpen());
    QCOMPARE(rig.port.commPort(), 1);
    QVERIFY(!rig.view().frame8Visible);
    QCOMPARE(rig.view().portOption, "Option1");
    rig.panel.click(u"Command44");
    QCOMPARE(rig.port.frames, QByteArrayList{"CR0\r"});
}

void PortConfigTest::choosingTheSamePortAgainBringsBackALostPort()
{
    PanelRig rig;
    rig.port.breakDown("Input/output error");
    QVERIFY(!rig.port.portOpen());
    rig.panel.click(u"Command33");
    rig.panel.click(u"Option1");
    QVERIFY(rig.port.portOpen());
    QVERIFY(rig.warnings.shown.isEmpty());
}

void PortConfigTest::speedIsAppliedAtOnceOnAnOpenPort()
{
    PanelRig rig;
    rig.port.log.clear();
    rig.panel.click(u"Option10");
    QCOMPARE(rig.port.log, QStringList{"settings 9600,N,8,1"});
    QVERIFY(rig.port.portOpen());
    QCOMPARE(rig.view().speedOption, "Option10");
}

void PortConfigTest::speedIsOnlyStoredOnAClosedPort()
{
    PanelRig rig;
    rig.port.setMissing(2);
    rig.panel.click(u"Option2"); // leaves the port closed
    rig.port.log.clear();
    rig.panel.click(u"Option10");
    QCOMPARE(rig.port.log, QStringList{"settings 9600,N,8,1"});
    QVERIFY(!rig.port.portOpen());
    rig.panel.click(u"Option1");
    QVERIFY(rig.port.portOpen());
    QCOMPARE(rig.port.settings(), "9600,N,8,1");
}

void PortConfigTest::theSwitchKeepsTheSpeed()
{
    PanelRig rig;
    rig.panel.click(u"Option10");
    rig.panel.click(u"Option2");
    QCOMPARE(rig.state().PortSettings, "9600,N,8,1");
    QCOMPARE(rig.view().speedOption, "Option10");
    QCOMPARE(rig.port.settings(), "9600,N,8,1");
}

void PortConfigTest::aSecondFailureWhileTheBoxIsOpenDoesNotStackABox()
{
    PanelRig rig;
    rig.port.setMissing(2);
    rig.panel.press(u"Command15"); // a repeat runs on
    rig.port.setWritesFail(true);
    rig.warnings.whileOpen = [&] {
        rig.advance(200ms); // ticks go on and fail while the box is open
        rig.panel.click(u"Command17");
    };
    rig.panel.click(u"Option2");
    QCOMPARE(rig.warnings.shown.size(), 1);
}

void PortConfigTest::aLostDeviceIsReportedOnceWithoutABox()
{
    PanelRig rig;
    rig.port.breakDown("Input/output error");
    QCOMPARE(rig.view().status, " /dev/fake1: Input/output error");
    QVERIFY(rig.warnings.shown.isEmpty());
}

QTEST_GUILESS_MAIN(PortConfigTest)
#include "tst_portconfig.moc"
