// The panel's logic on a fake port and a virtual clock: opening the port, the traffic
// monitor as frames and replies come and go, the STATUS texts and the typed values read
// from replies, the hold-to-repeat buttons, and its ON/OFF pairs carried out by the
// simulator; and the program's timers in real time.
#include "app/qttimer.h"
#include "commands/catalogue.h"
#include "panelrig.h"
#include "projector.h"
#include "realtime.h"
#include "replies/decoding.h"
#include "replies/projectorstatus.h"
#include "traffic/rendering.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {
const QString kFull = QStringLiteral("Cannot write to /dev/fake1: the output buffer is full");
const QString kUnchanged = QStringLiteral("<unchanged>");
using Power = sim::Projector::Power;
// The power states' names by the simulator's Power, resting in standby or in power save.
const char *const kPowerNames[2][4] = {{"standby", "warming", "on", "cooling"},
                                       {"power-save", "warming", "on", "cooling-to-power-save"}};

QString status(const QByteArray &frame, const QByteArray &reply)
{
    return decodeReply(renderMonitor(reply), frame, {}).value_or(kUnchanged);
}
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

    void eachReplyReadsAsItsStatusTextAndItsTypedValues_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("text");    // null: not checked
        QTest::addColumn<QByteArray>("json"); // the typed values; empty: not checked
        const auto row = [](const char *name, const char *frame, const QByteArray &reply,
                            const QString &text, const char *json = "") {
            QTest::newRow(name) << QByteArray(frame) << reply << text << QByteArray(json);
        };

        row("power on", "CR0\r", "00\r", " Power ON");
        row("power abnormality", "CR0\r", "10\r", " Power abnormality",
            R"({"power":null,"errors":["power"],"keyLock":false})");
        row("power save", "CR0\r", "04\r", " Power save");
        row("cooling", "CR0\r", "20\r", " Cooling down");
        row("cooling for save", "CR0\r", "24\r", " Cooling down for power save");
        row("one text, three keys: 08", "CR0\r", "08\r", " Temperature abnormality");
        row("one text, three keys: 28", "CR0\r", "28\r", " Temperature abnormality");
        row("one text, three keys: 88", "CR0\r", "88\r", " Temperature abnormality");
        row("no cr needed", "CR0\r", "80", " Stand by");
        row("half a reply", "CR0\r", "0", kUnchanged,
            R"({"power":null,"errors":null,"keyLock":null})");
        row("input mode: first char only", "CR1\r", "31\r", " Input mode 3");
        row("input mode 4", "CR1\r", "4\r", " Input mode 4");
        row("input mode 5", "CR1\r", "5\r", kUnchanged, R"({"input":null})");
        row("not reversed", "CR4\r", "11\r", " Normally");
        row("left/right reversed", "CR4\r", "01\r", " Left/Right reversal");
        row("top/bottom reversed", "CR4\r", "10\r", " Top/Bottom reversal",
            R"({"reversal":{"topBottom":true,"leftRight":false}})");
        row("both reversed", "CR4\r", "00\r", " Top/Bottom , Left/Right reversal");
        row("mute: standby", "CRA\r", "FF\r", " Stand by");
        row("mute: lower case", "CRA\r", "ff\r", kUnchanged);
        row("mute: none", "CRA\r", "00\r", " Video & Audio mute OFF");
        row("mute: video", "CRA\r", "01\r", " Video mute ON");
        row("mute: audio", "CRA\r", "02\r", " Audio mute ON");
        row("mute: no signal", "CRA\r", "80\r", " No signal",
            R"({"videoMute":null,"audioMute":null,"noSignal":true,"standby":false})");
        row("mute: both", "CRA\r", "03\r", " Video & Audio mute ON");
        row("lamps in mode 1", "CR7\r", "1A\r", " No2,4 ON  : 2 Lamp mode(1,4)");
        row("lamps in mode 2", "CR7\r", "2E\r", " No2,3,4 ON  : 2 Lamp mode(2,3)");
        row("lamps: lower case", "CR7\r", "1a\r", kUnchanged,
            R"({"lampMode":null,"lampsOn":null})");
        row("lamps: mode 3", "CR7\r", "3F\r", kUnchanged, R"({"lampMode":null,"lampsOn":null})");
        row("lamps: one char", "CR7\r", "1", kUnchanged);
        row("hours: an ack is text", "CR3\r", "\x06", " & Hour Use");
        row("hours: 19 chars", "CR3\r", "ABCDEFGHIJKLMNOPQRSTU\r",
            " A B C D E F G H I J K L M N O P Q R S Hour Use");
        row("temperatures", "CR6\r", "ABCDEFGHIJK\r", "  S1= A B C D E C  ,   S2=  H I J K C");
        row("temperatures, 7 chars", "CR6\r", "1234567", "  S1= 1 2 3 4 5 C  ,   S2=   C");
        // The PC type is the reply as the monitor renders it: each byte its token.
        row("pc type: nothing", "CR9\r", "", " ");
        row("pc type: ack, cr, lf", "CR9\r", "\x06\r\n", " &CR LF ");
        row("pc type: a space doubles", "CR9\r", "A b", " A   b ");
        row("pc type: edges of the printable", "CR9\r", "\x1f z{", " ?   z ? ");
        row("pc type: other bytes", "CR9\r", QByteArray("\0\t~\x7f\x80\xff", 6), " ? ? ? ? ? ? ");
        row("action code", "C00\r", "00\r", kUnchanged);
        row("query without cr", "CR0", "00\r", kUnchanged);
        row("lower-case query", "cr0\r", "00\r", kUnchanged);
        // The typed reading alone.
        row("key lock, no cr", "CR0\r", "02", {}, R"({"power":"on","errors":[],"keyLock":true})");
        row("two state bits", "CR0\r", "C0\r", {}, R"({"power":null,"errors":[],"keyLock":false})");
        row("after an ack", "CR0\r", "\00680\r", {},
            R"({"power":null,"errors":null,"keyLock":null})");
        row("ack to a query", "CR0\r", "\x06", {},
            R"({"acknowledged":true,"power":null,"errors":null,"keyLock":null})");
        row("input 0", "CR1\r", "0\r", {}, R"({"input":null})");
        row("reversal garbled", "CR4\r", "12\r", {},
            R"({"reversal":{"topBottom":null,"leftRight":null}})");
        row("hours beyond any counter", "CR3\r", "99999999999999999999\r", {},
            R"({"lampHours":null})");
        row("hours with a stray byte", "CR3\r", "01\001234\r", {}, R"({"lampHours":null})");
        row("temperatures: signs and stray letters", "CR6\r", " -2.5XY 9.5\r", {},
            R"({"temperatures":[-2.5,9.5]})");
        row("texts, a stray byte", "CR6\r", "1.2.3  4\x01.5\r", {},
            R"({"temperatures":["1.2.3",null]})");
        row("second reading cut short", "CR6\r", "035.6  42\r", {},
            R"({"temperatures":[35.6,null]})");
        row("pc type", "CR9\r", "TSX4L20\r", {}, R"({"pcType":"TSX4L20"})");
        row("pc type empty", "CR9\r", "\r", {}, R"({"pcType":null})");
    }

    void eachReplyReadsAsItsStatusTextAndItsTypedValues()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(QString, text);
        QFETCH(QByteArray, json);
        if (!text.isNull())
            QCOMPARE(status(frame, reply), text);
        const QByteArray code = frame.chopped(1);
        const QLatin1StringView query(code);
        if (!json.isEmpty())
            QCOMPARE(toJson(query, readReply(query, reply)),
                     QJsonDocument::fromJson(json).object());
    }

    // Bit 0 of the mask is lamp No1, bit 3 lamp No4.
    void everyLampMaskNamesTheLampsItsBitsSet()
    {
        for (int mask = 0; mask < 16; ++mask) {
            QStringList on;
            for (int lamp = 1; lamp <= 4; ++lamp) {
                if (mask & (1 << (lamp - 1)))
                    on << QString::number(lamp);
            }
            const QString lamps = on.isEmpty()     ? "All OFF "
                                  : on.size() == 4 ? "All ON  "
                                                   : "No" + on.join(u',') + " ON  ";
            const QByteArray reply = '0' + QByteArray::number(mask, 16).toUpper() + '\r';
            QCOMPARE(status("CR7\r", reply), u' ' + lamps + ": 4 Lamp mode");
        }
    }

    // The typed reading of tarn-send --json and the gateway: every state a simulated
    // projector goes through reads back as the simulator holds it.
    void whatTheSimulatorAnswersReadsAsTheStateItHolds()
    {
        for (const bool powerSave : {false, true}) { // and too hot
            sim::Projector projector(3, {}, {powerSave, powerSave});
            const QJsonValue lamps[] = {QJsonArray{1, 2, 3, 4}, QJsonArray{1, 4}, QJsonArray{2, 3}};
            std::chrono::milliseconds now{0};
            for (const char *step : {"", "C71", "C00", "+3000", "C08", "C0B", "C0D", "C0C", "C72",
                                     "+40000", "C01", "+2999", "C70", "+1"}) {
                step[0] == '+' ? void(now += std::chrono::milliseconds(atoi(step + 1)))
                               : void(projector.handle(step, now));
                const Power power = projector.power(now);
                const bool on = power == Power::On;
                const QJsonObject expected{
                    {"power", kPowerNames[powerSave][int(power)]},
                    {"errors", powerSave ? QJsonArray{"temperature"} : QJsonArray{}},
                    {"keyLock", false},
                    {"input", projector.inputMode()},
                    {"reversal", QJsonObject{{"topBottom", false}, {"leftRight", false}}},
                    {"lampHours", projector.lampHours(now)},
                    {"lampMode", QJsonArray{"4", "1-4", "2-3"}[projector.lampMode()]},
                    {"lampsOn",
                     power == Power::CountDown || on ? lamps[projector.lampMode()] : QJsonArray{}},
                    {"videoMute", on ? QJsonValue(projector.videoMuted()) : QJsonValue()},
                    {"audioMute", on ? QJsonValue(projector.soundMuted()) : QJsonValue()},
                    {"noSignal", on ? QJsonValue(false) : QJsonValue()},
                    {"standby", !on}};
                QJsonObject read;
                for (const char *code : {"CR0", "CR1", "CR4", "CR3", "CR7", "CRA"}) {
                    const QLatin1StringView query(code);
                    const QJsonObject values =
                        toJson(query, readReply(query, *projector.handle(code, now)));
                    for (auto it = values.begin(); it != values.end(); ++it)
                        read.insert(it.key(), it.value());
                }
                QCOMPARE(read, expected);
            }
        }
    }

    // A slow machine only makes ticks late: measured from the touch, the first tick comes a
    // whole interval later or the countdown was not restarted.
    void aTimerTicksEachIntervalCountedFromItsLastTouch_data()
    {
        QTest::addColumn<int>("newInterval"); // 0: enabled again instead
        QTest::newRow("enabled again") << 0;
        QTest::newRow("new interval") << 400;
    }
    void aTimerTicksEachIntervalCountedFromItsLastTouch()
    {
        QFETCH(int, newInterval);
        const auto timer = QtTimerFactory().createTimer();
        QElapsedTimer touched;
        QList<qint64> ticks; // in ms since the touch
        timer->setTickHandler([&] { ticks << touched.elapsed(); });
        timer->setInterval(300ms);
        timer->setEnabled(true);
        runFor(100ms);
        touched.start();
        ticks.clear();
        newInterval ? timer->setInterval(milliseconds(newInterval)) : timer->setEnabled(true);
        QVERIFY(waitFor([&] { return ticks.size() >= 2; }, 10s));
        QVERIFY2(ticks[0] >= (newInterval ? newInterval : 300),
                 qPrintable(QString::number(ticks[0])));
    }

    // Pressed on the panel and carried out by a simulated projector, the ON of each pair
    // sets a switch the simulator shows and the OFF clears it; the simulator does not show
    // FREEZE and MENU.
    void eachOnOffPairSetsAndClearsTheSwitchTheSimulatorShows()
    {
        PanelRig rig;
        sim::Projector projector(1, {});
        const auto press = [&](const OneShotButton &button) {
            rig.panel.click(button.control);
            projector.handle(std::exchange(rig.port.frames, {}).value(0).chopped(1), 0ms);
            return QMap<QString, bool>{
                {"power", projector.power(0ms) == sim::Projector::Power::CountDown},
                {"sound mute", projector.soundMuted()},
                {"video mute", projector.videoMuted()}};
        };
        QStringList seen;
        for (const OneShotButton &on : oneShotButtons()) {
            const auto off = std::ranges::find_if(oneShotButtons(), [&](const OneShotButton &b) {
                return b.group == on.group && b.caption == u"OFF";
            });
            if (on.caption != u"ON" || off == oneShotButtons().end())
                continue;
            const auto afterOn = press(on), afterOff = press(*off);
            for (auto it = afterOn.begin(); it != afterOn.end(); ++it) {
                if (it.value() != afterOff[it.key()])
                    seen << on.group.toString() + (it.value() ? " sets " : " clears ") + it.key();
            }
        }
        QCOMPARE(seen, QStringList({"POWER sets power", "SOUND MUTE sets sound mute",
                                    "NO SHOW sets video mute"}));
    }
};

QTEST_GUILESS_MAIN(PanelTest)
#include "tst_panel.moc"
