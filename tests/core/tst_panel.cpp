// The panel's logic on a fake port and a virtual clock: opening the port, the traffic
// monitor as frames and replies come and go, and the hold-to-repeat buttons.
#include "panelrig.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {
const QString kFull = QStringLiteral("Cannot write to /dev/fake1: the output buffer is full");

} // namespace

class PanelTest : public QObject
{
    Q_OBJECT
private slots:
    void startUpOpensComOneAtFullSpeedThroughTheComOneChoice()
    {
        PanelRig rig;
        QCOMPARE(rig.port.log, QStringList({"port 1", "settings 19200,N,8,1", "open", "close",
                                            "port 1", "open"}));
    }

    // Missing at start or lost later, a port comes back when chosen, at the speed chosen.
    void aMissingOrLostPortIsReportedAndComesBackWhenChosen()
    {
        PanelRig rig(false);
        rig.port.setMissing(1);
        rig.start();
        QCOMPARE(rig.view().status, " Cannot open /dev/fake1: No such file or directory");
        QVERIFY2(rig.warnings.shown.isEmpty(), "start-up is no click of the operator's");
        rig.run({"Command44", "Option10"}); // the write fails on the closed port
        QCOMPARE(rig.warnings.shown.size(), 1);
        rig.port.setMissing(1, false);
        rig.panel.click(u"Option1");
        QVERIFY(rig.port.portOpen());
        QCOMPARE(rig.port.settings(), "9600,N,8,1");
        rig.port.breakDown("Input/output error");
        QCOMPARE(rig.view().status, " /dev/fake1: Input/output error");
        QCOMPARE(rig.warnings.shown.size(), 1); // the line's own failures open no box
    }

    void aRefusedStepIsReportedInOneBoxAndEndStillQuits()
    {
        PanelRig rig;
        rig.port.refused = {"close", "settings 9600,N,8,1"};
        rig.run({"Command33", "Option10"});
        QVERIFY2(rig.view().frame8Visible, "the refused speed keeps the frame");
        rig.port.log.clear();
        int boxes = 0;
        rig.warnings.whileOpen = [&] {
            if (boxes++ == 0)
                rig.panel.click(u"Option10"); // refused again, while the box is open
        };
        rig.panel.click(u"Option2"); // the port does not close, so nothing follows
        QCOMPARE(rig.port.log, QStringList({"close", "port 2", "settings 9600,N,8,1", "port 1"}));
        QCOMPARE(boxes, 1);
        QSignalSpy quit(&rig.panel, &Panel::quitRequested);
        rig.panel.click(u"Command16");
        QCOMPARE(quit.size(), 1);
    }

    void theLinesFollowFramesRepliesAndTheTimers_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("lines"); // TXD, RXD, STATUS after the steps
        const auto row = [](const char *name, const QStringList &steps, const QStringList &lines) {
            QTest::newRow(name) << steps << lines;
        };
        row("no reply at 499 ms", {"Command44", "499ms"}, {" C R 0 CR ", "", ""});
        row("no reply at 500 ms", {"Command44", "500ms"}, {" C R 0 CR ", " X X X X", ""});
        row("a reply, at 999 ms", {"Command44", ">00\r", "999ms"},
            {" C R 0 CR ", " 0 0 CR ", " Power ON"});
        row("the time-out empties the buffer", {"Command38", ">A", "500ms", ">B"},
            {" C R 9 CR ", " B ", " B "});
        row("no emptying without a frame", {"Command38", "600ms", ">A", "1000ms", ">B"},
            {"", " A B ", " A B "});
        row("an empty read ends the wait", {"Command38", ">", "500ms"}, {" C R 9 CR ", " ", " "});
        row("line error", {"Command44", "!1004", "500ms"}, {" C R 0 CR ", " X X X X", ""});
        row("a left-over ack spoils the key", {"Command17", ">\x06", "Command44", ">00\r"},
            {" C R 0 CR ", " &0 0 CR ", ""});
        row("PJ Select changed before the reply", {"Option5", "Command44", "Option6", ">00\r"},
            {" A 0 0 1 C R 0 CR ", " 0 0 CR ", ""});
        row("each frame re-arms the time-out", {"Command17", "400ms", "Command44", "499ms"},
            {" C R 0 CR ", "", ""});
        row("... and the clearing", {"Command17", "400ms", "Command44", "999ms"},
            {" C R 0 CR ", " X X X X", ""});
    }

    void theLinesFollowFramesRepliesAndTheTimers()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, lines);
        PanelRig rig;
        rig.run(steps);
        QCOMPARE(rig.lines(), lines);
    }

    void aFailedWriteEndsTheClickThere()
    {
        PanelRig rig;
        rig.port.setWritesFail(true);
        rig.panel.click(u"Command43"); // "CURSOL" would set the arrow pad after sending
        QCOMPARE(rig.state().ReplyPending, 0);
        QVERIFY(!rig.panel.timer(2).isEnabled() && !rig.panel.timer(4).isEnabled());
        rig.advance(2s);
        QCOMPARE(rig.lines(), QStringList({"", "", u' ' + kFull}));
        QCOMPARE(rig.warnings.shown, QStringList{kFull});
        QCOMPARE(rig.state().ArrowMode, 0);
        QCOMPARE(rig.panel.timer(1).interval(), 200ms);
    }

    void aPressSendsAtOnceAndRepeatsAtItsPeriod_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QList<qint64>>("intervals"); // Timer1 (the period), Timer2, Timer4
        const auto row = [](const char *name, const QStringList &before, const char *control,
                            const char *frame, const QList<qint64> &intervals) {
            QTest::newRow(name) << before << control << QByteArray(frame) << intervals;
        };
        row("VOL +", {}, "Command1", "C09\r", {250, 200, 245});
        row("SELECT", {}, "Command6", "C3F\r", {500, 200, 245});
        row("lens shift →", {}, "Command61", "C60\r", {50, 25, 25});
        row("Zoom + over a held VOL +", {"+Command1"}, "Command15", "C47\r", {50, 25, 25});
        // An arrow repeats at what the last setting left in Timer1.
        row("↑ at start", {}, "Command5", "C3C\r", {200, 500, 1000});
        row("→ after MENU ON", {"Command23"}, "Command8", "C3A\r", {200, 150, 190});
        row("← after CURSOL", {"Command43"}, "Command9", "C3B\r", {30, 50, 75});
        row("→ after A-IMAGE", {"Command43", "Command13"}, "Command8", "C3A\r", {200, 150, 190});
        row("→ after CURSOL, buttons without a setting",
            {"Command43", "Command24", "Command30", "Command14", "Command3", "Command44"},
            "Command8", "C3A\r", {30, 50, 75});
        row("→ after CURSOL, D.Zoom -", {"Command43", "+Command49", "-Command49"}, "Command8",
            "C3A\r", {5, 5, 5});
        row("→ after D.Zoom, VOL", {"+Command49", "-Command49", "+Command1", "-Command1"},
            "Command8", "C3A\r", {250, 5, 5});
    }

    void aPressSendsAtOnceAndRepeatsAtItsPeriod()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, control);
        QFETCH(QByteArray, frame);
        QFETCH(QList<qint64>, intervals);
        PanelRig rig;
        rig.run(before);
        rig.port.frames.clear();
        rig.panel.press(control);
        QCOMPARE(rig.intervals(), intervals);
        rig.advance(milliseconds(intervals[0]) - 1ms);
        QCOMPARE(rig.port.frames, QByteArrayList{frame});
        rig.advance(1ms); // the window test holds and releases every button
        QCOMPARE(rig.port.frames, QByteArrayList(2, frame));
    }

    void anyReleaseStopsTheRepeatAndTidiesTheMonitor()
    {
        PanelRig rig;
        rig.run({"Command44", ">00\r", "+Command36", "10ms", ">\x06", "-Command2"});
        QCOMPARE(rig.lines(), QStringList({"", "", " Power ON"}));
        QVERIFY(!rig.panel.timer(1).isEnabled() && !rig.panel.timer(2).isEnabled());
        QCOMPARE(rig.intervals(), (QList<qint64>{50, 500, 1000}));
        rig.run({">8", "999ms"});
        QCOMPARE(rig.lines(), QStringList({"", " 8 ", " Power ON"})); // the buffer was emptied
        rig.advance(1ms);
        QCOMPARE(rig.lines(), QStringList(3));
    }

    void aFailedPressStartsNoRepeatAndWarnsOnlyAfterTheRelease()
    {
        PanelRig rig;
        rig.panel.click(u"Command43"); // arrows now write 50 and 75 ms before they send
        rig.port.setWritesFail(true);
        rig.panel.press(u"Command7");
        QCOMPARE(rig.state().SendFrame, QByteArray("C3D\r"));
        QCOMPARE(rig.intervals(), (QList<qint64>{30, 50, 75}));
        QVERIFY(!rig.panel.timer(1).isEnabled() && rig.warnings.shown.isEmpty());
        rig.run({"-Command7", "-Command7", "+Command1"}); // VOL writes its own after sending
        QCOMPARE(rig.warnings.shown, QStringList{kFull});
        QCOMPARE(rig.state().RepeatCode, 1);
        QCOMPARE(rig.intervals(), (QList<qint64>{30, 500, 1000}));
    }

    void aTickReadsThePrefixAfreshAndAFailedTickIsRetried()
    {
        PanelRig rig;
        rig.run({"+Command15", "Option7"});
        rig.port.setWritesFail(true);
        rig.advance(50ms);
        QCOMPARE(rig.view().status, u' ' + kFull);
        QVERIFY2(rig.warnings.shown.isEmpty(), "a tick never opens a box");
        rig.port.setWritesFail(false);
        rig.advance(50ms);
        QCOMPARE(rig.port.frames, QByteArrayList({"C47\r", "A003C47\r"}));
    }
};

QTEST_GUILESS_MAIN(PanelTest)
#include "tst_panel.moc"
