// Hold-to-repeat buttons, the arrow pad and the repeat timer.
#include "panelrig.h"

#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {
struct Intervals
{
    int timer1, timer2, timer4;
};
Intervals intervals(const PanelRig &rig)
{
    return {int(rig.panel.timer(1).interval().count()), int(rig.panel.timer(2).interval().count()),
            int(rig.panel.timer(4).interval().count())};
}
} // namespace

class RepeatTest : public QObject
{
    Q_OBJECT
private slots:
    void aPressSendsAtOnceAndWritesItsGroupsIntervals_data();
    void aPressSendsAtOnceAndWritesItsGroupsIntervals();
    void aHoldRepeatsAtTheGroupsPeriod_data();
    void aHoldRepeatsAtTheGroupsPeriod();
    void theArrowPadRepeatsAtWhatTheLastSettingLeft_data();
    void theArrowPadRepeatsAtWhatTheLastSettingLeft();
    void aReleaseTidiesTheMonitorAndPutsBackTheTimeouts();
    void aReleaseWithoutAPressRunsTheWholeSequence();
    void aSecondPressReplacesTheRepeatAndOneReleaseStopsIt();
    void dZoomReleaseLeavesTheArrowPadFast_data();
    void dZoomReleaseLeavesTheArrowPadFast();
    void aFailedPressStartsNoRepeat();
    void aFailedTickIsRetriedByTheNextTick();
    void theRepeatReadsThePrefixAfreshOnEveryTick();
    void aFailedPressShowsItsBoxOnlyAfterTheRelease();
    void clicksOnHoldButtonsAndPressesOnOthersDoNothing();
};

void RepeatTest::aPressSendsAtOnceAndWritesItsGroupsIntervals_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("repeatCode");
    QTest::addColumn<int>("timer1");
    QTest::addColumn<int>("timer2");
    QTest::addColumn<int>("timer4");

    QTest::newRow("vol +") << "Command1" << QByteArray("C09\r") << 1 << 250 << 200 << 245;
    QTest::newRow("vol -") << "Command2" << QByteArray("C0A\r") << 2 << 250 << 200 << 245;
    QTest::newRow("zoom +") << "Command15" << QByteArray("C47\r") << 7 << 50 << 25 << 25;
    QTest::newRow("zoom -") << "Command35" << QByteArray("C46\r") << 8 << 50 << 25 << 25;
    QTest::newRow("focus +") << "Command36" << QByteArray("C4B\r") << 9 << 50 << 25 << 25;
    QTest::newRow("focus -") << "Command37" << QByteArray("C4A\r") << 10 << 50 << 25 << 25;
    QTest::newRow("select") << "Command6" << QByteArray("C3F\r") << 13 << 500 << 200 << 245;
    QTest::newRow("d.zoom +") << "Command48" << QByteArray("C30\r") << 17 << 250 << 200 << 245;
    QTest::newRow("d.zoom -") << "Command49" << QByteArray("C31\r") << 18 << 250 << 200 << 245;
    QTest::newRow("keystone +") << "Command50" << QByteArray("C8E\r") << 19 << 250 << 200 << 245;
    QTest::newRow("keystone -") << "Command51" << QByteArray("C8F\r") << 20 << 250 << 200 << 245;
    QTest::newRow("lens up") << "Command59" << QByteArray("C5D\r") << 21 << 50 << 25 << 25;
    QTest::newRow("lens down") << "Command62" << QByteArray("C5E\r") << 22 << 50 << 25 << 25;
    QTest::newRow("lens left") << "Command60" << QByteArray("C5F\r") << 23 << 50 << 25 << 25;
    QTest::newRow("lens right") << "Command61" << QByteArray("C60\r") << 24 << 50 << 25 << 25;
    // The arrows at start-up: ArrowMode 0 writes no time-outs and leaves Timer1 alone.
    QTest::newRow("up") << "Command5" << QByteArray("C3C\r") << 3 << 200 << 500 << 1000;
    QTest::newRow("down") << "Command7" << QByteArray("C3D\r") << 4 << 200 << 500 << 1000;
    QTest::newRow("left") << "Command9" << QByteArray("C3B\r") << 5 << 200 << 500 << 1000;
    QTest::newRow("right") << "Command8" << QByteArray("C3A\r") << 6 << 200 << 500 << 1000;
}

void RepeatTest::aPressSendsAtOnceAndWritesItsGroupsIntervals()
{
    QFETCH(QString, control);
    QFETCH(QByteArray, frame);
    QFETCH(int, repeatCode);
    QFETCH(int, timer1);
    QFETCH(int, timer2);
    QFETCH(int, timer4);
    PanelRig rig;
    rig.panel.press(control);
    QCOMPARE(rig.port.frames, QByteArrayList{frame});
    QCOMPARE(rig.state().RepeatCode, repeatCode);
    const Intervals i = intervals(rig);
    QCOMPARE(i.timer1, timer1);
    QCOMPARE(i.timer2, timer2);
    QCOMPARE(i.timer4, timer4);
    QVERIFY(rig.panel.timer(1).isEnabled());
    QCOMPARE(rig.state().ReplyPending, 1);
}

void RepeatTest::aHoldRepeatsAtTheGroupsPeriod_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("period");

    QTest::newRow("vol") << "Command1" << 250;
    QTest::newRow("keystone") << "Command51" << 250;
    QTest::newRow("d.zoom") << "Command48" << 250;
    QTest::newRow("zoom") << "Command15" << 50;
    QTest::newRow("lens shift") << "Command61" << 50;
    QTest::newRow("select") << "Command6" << 500;
    QTest::newRow("arrow at start-up") << "Command5" << 200;
}

void RepeatTest::aHoldRepeatsAtTheGroupsPeriod()
{
    QFETCH(QString, control);
    QFETCH(int, period);
    PanelRig rig;
    rig.panel.press(control);
    rig.advance(milliseconds(period - 1));
    QCOMPARE(rig.port.frames.size(), 1);
    rig.advance(1ms);
    QCOMPARE(rig.port.frames.size(), 2);
    rig.advance(milliseconds(period * 10));
    QCOMPARE(rig.port.frames.size(), 12);
    QCOMPARE(rig.port.frames.last(), rig.port.frames.first());
    rig.panel.release(control);
    rig.advance(10s);
    QCOMPARE(rig.port.frames.size(), 12);
}

void RepeatTest::theArrowPadRepeatsAtWhatTheLastSettingLeft_data()
{
    QTest::addColumn<QStringList>("before"); // clicks, or "+name"/"-name" for press/release
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("timer2");
    QTest::addColumn<int>("timer4");

    QTest::newRow("mode 0") << QStringList{} << 200 << 500 << 1000;
    QTest::newRow("mode 1 by menu on") << QStringList{"Command23"} << 200 << 150 << 190;
    QTest::newRow("mode 1 by a-image") << QStringList{"Command13"} << 200 << 150 << 190;
    QTest::newRow("mode 2 by cursol") << QStringList{"Command43"} << 30 << 50 << 75;
    QTest::newRow("mode 3 by d.zoom release")
        << QStringList{"+Command48", "-Command48"} << 5 << 5 << 5;
    QTest::newRow("vol after d.zoom")
        << QStringList{"+Command49", "-Command49", "+Command1", "-Command1"} << 250 << 5 << 5;
    QTest::newRow("zoom after cursol")
        << QStringList{"Command43", "+Command15", "-Command15"} << 50 << 50 << 75;
    QTest::newRow("mode 0 after select")
        << QStringList{"+Command6", "-Command6"} << 500 << 500 << 1000;
}

void RepeatTest::theArrowPadRepeatsAtWhatTheLastSettingLeft()
{
    QFETCH(QStringList, before);
    QFETCH(int, period);
    QFETCH(int, timer2);
    QFETCH(int, timer4);
    PanelRig rig;
    for (const QString &step : before) {
        if (step.startsWith(u'+'))
            rig.panel.press(step.mid(1));
        else if (step.startsWith(u'-'))
            rig.panel.release(step.mid(1));
        else
            rig.panel.click(step);
    }
    rig.port.frames.clear();
    rig.panel.press(u"Command8");
    QCOMPARE(intervals(rig).timer1, period);
    QCOMPARE(intervals(rig).timer2, timer2);
    QCOMPARE(intervals(rig).timer4, timer4);
    rig.advance(milliseconds(period * 20));
    QCOMPARE(rig.port.frames.size(), 21);
    QVERIFY(std::ranges::all_of(rig.port.frames, [](const QByteArray &f) { return f == "C3A\r"; }));
}

void RepeatTest::aReleaseTidiesTheMonitorAndPutsBackTheTimeouts()
{
    PanelRig rig;
    rig.panel.click(u"Command44");
    rig.port.arrive("00\r");
    rig.panel.press(u"Command36");
    rig.advance(10ms); // before the hold's own 25 ms display clearing
    rig.port.arrive("\x06");
    rig.panel.release(u"Command36");
    QCOMPARE(rig.state().RepeatCode, 0);
    QCOMPARE(rig.view().txd, QString());
    QCOMPARE(rig.view().rxd, QString());
    QCOMPARE(rig.view().status, " Power ON");
    QCOMPARE(rig.state().RecvBuffer, QByteArray());
    QVERIFY(!rig.panel.timer(1).isEnabled());
    QVERIFY(!rig.panel.timer(2).isEnabled());
    QVERIFY(rig.panel.timer(4).isEnabled());
    QCOMPARE(intervals(rig).timer2, 500);
    QCOMPARE(intervals(rig).timer4, 1000);
    QCOMPARE(intervals(rig).timer1, 50);
    rig.advance(999ms);
    QCOMPARE(rig.view().status, " Power ON");
    rig.advance(1ms);
    QCOMPARE(rig.view().status, QString());
}

void RepeatTest::aReleaseWithoutAPressRunsTheWholeSequence()
{
    PanelRig rig;
    rig.panel.click(u"Command17");
    rig.port.arrive("\x06");
    rig.panel.release(u"Command2");
    QCOMPARE(rig.port.frames.size(), 1);
    QCOMPARE(rig.view().txd, QString());
    QCOMPARE(rig.view().rxd, QString());
    QCOMPARE(rig.state().RecvBuffer, QByteArray());
    QVERIFY(!rig.panel.timer(2).isEnabled());
    QVERIFY(rig.panel.timer(4).isEnabled());
    QCOMPARE(intervals(rig).timer2, 500);
    QCOMPARE(intervals(rig).timer4, 1000);
}

void RepeatTest::aSecondPressReplacesTheRepeatAndOneReleaseStopsIt()
{
    PanelRig rig;
    rig.panel.press(u"Command1");
    rig.panel.press(u"Command15"); // a lost release, or a second mouse button
    QCOMPARE(rig.state().RepeatCode, 7);
    rig.advance(100ms);
    QCOMPARE(rig.port.frames, QByteArrayList({"C09\r", "C47\r", "C47\r", "C47\r"}));
    rig.panel.release(u"Command1"); // any release of the table ends it
    rig.advance(1s);
    QCOMPARE(rig.port.frames.size(), 4);
}

void RepeatTest::dZoomReleaseLeavesTheArrowPadFast_data()
{
    QTest::addColumn<QString>("setting");
    QTest::newRow("from mode 0") << QString();
    QTest::newRow("from mode 1") << "Command23";
    QTest::newRow("from mode 2") << "Command43";
}

void RepeatTest::dZoomReleaseLeavesTheArrowPadFast()
{
    QFETCH(QString, setting);
    PanelRig rig;
    if (!setting.isEmpty())
        rig.panel.click(setting);
    rig.panel.press(u"Command49");
    rig.advance(600ms);
    QCOMPARE(rig.port.frames.size() - (setting.isEmpty() ? 0 : 1), 3);
    rig.panel.release(u"Command49");
    QCOMPARE(rig.state().ArrowMode, 3);
    QCOMPARE(intervals(rig).timer1, 5);
    QVERIFY(!rig.panel.timer(1).isEnabled());
}

void RepeatTest::aFailedPressStartsNoRepeat()
{
    PanelRig rig;
    rig.panel.click(u"Command43"); // mode 2
    rig.port.setWritesFail(true);
    rig.panel.press(u"Command7");
    QCOMPARE(rig.state().RepeatCode, 4);
    QCOMPARE(rig.state().SendFrame, QByteArray("C3D\r"));
    QCOMPARE(intervals(rig).timer2, 50); // written before the send
    QVERIFY(!rig.panel.timer(1).isEnabled());
    rig.advance(1s);
    QCOMPARE(rig.port.frames.size(), 1);
    rig.panel.release(u"Command7");
    QCOMPARE(intervals(rig).timer2, 500);
}

void RepeatTest::aFailedTickIsRetriedByTheNextTick()
{
    PanelRig rig;
    rig.panel.press(u"Command15");
    rig.port.setWritesFail(true);
    rig.advance(50ms);
    QVERIFY(rig.panel.timer(1).isEnabled());
    QCOMPARE(rig.view().status, " Cannot write to /dev/fake1: the output buffer is full");
    QVERIFY2(rig.warnings.shown.isEmpty(), "a tick never opens a box");
    rig.port.setWritesFail(false);
    rig.advance(50ms);
    QCOMPARE(rig.port.frames.size(), 2);
}

void RepeatTest::theRepeatReadsThePrefixAfreshOnEveryTick()
{
    PanelRig rig;
    rig.panel.press(u"Command15");
    rig.panel.click(u"Option7");
    rig.advance(50ms);
    QCOMPARE(rig.port.frames, QByteArrayList({"C47\r", "A003C47\r"}));
}

void RepeatTest::aFailedPressShowsItsBoxOnlyAfterTheRelease()
{
    PanelRig rig;
    rig.port.setWritesFail(true);
    rig.panel.press(u"Command1");
    QVERIFY(rig.warnings.shown.isEmpty());
    rig.panel.release(u"Command1");
    QCOMPARE(rig.warnings.shown.size(), 1);
    rig.panel.release(u"Command1");
    QCOMPARE(rig.warnings.shown.size(), 1);
}

void RepeatTest::clicksOnHoldButtonsAndPressesOnOthersDoNothing()
{
    PanelRig rig;
    rig.panel.click(u"Command1");
    rig.panel.press(u"Command17");
    rig.panel.release(u"Command17");
    QVERIFY(rig.port.frames.isEmpty());
    QCOMPARE(rig.state().RepeatCode, 0);
}

QTEST_GUILESS_MAIN(RepeatTest)
#include "tst_repeat.moc"
