// The line shared by the gateway's clients, on a fake port, a fake client stream and a
// virtual clock.
#include "fakeport.h"
#include "fakestream.h"
#include "linequeue.h"
#include "state/linefeed.h"
#include "virtualclock.h"

#include <QTest>

using namespace tarn;
using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;
using List = QByteArrayList;

namespace {

struct Rig
{
    explicit Rig(const QByteArray &script = {})
    {
        QObject::connect(&line, &LineQueue::lineStateChanged, [this](bool up, const QString &why) {
            log << (up ? "line up" : "line down: " + why.toLatin1());
        });
        QObject::connect(&line, &LineQueue::rawClientRefused, [this] { log << "refused"; });
        port.setMissing(1, script.startsWith("unplug"));
        line.start(QStringLiteral("19200,N,8,1"));
        line.attachRaw(raw);
        if (line.lineUp())
            log.clear(); // only a first opening that fails is of interest
    }
    // Each answer reads "owner status replies", the replies joined by ','.
    void ask(int owner, const QByteArray &prefix, const List &codes,
             LineRequest::Priority priority = LineRequest::Priority::Client)
    {
        const LineRequest request{prefix, codes, priority};
        line.submit(&owners[owner], request, [this, owner](const LineResult &result) {
            static const char *const kNames[] = {"Ok", "NoReply", "Silenced", "LineDown"};
            log << QByteArray::number(owner) + ' ' + kNames[int(result.status)] + ' ' +
                       result.replies.join(',');
        });
    }
    // Plays a script, its steps apart by '|': "ask OWNER PREFIX CODE..." ("-": no prefix),
    // "poll OWNER PREFIX CODE..." (a background request), "cancel OWNER", "held BYTES" (they
    // come without an event yet), "raw BYTES" (the raw client sends them), "~N" (N milliseconds
    // pass), "break" (the port fails), "jam"/"unjam" (writes fail or work), "unplug"/"plug"
    // (openings fail or work; first, the first opening fails), "second" (a second raw
    // client comes; whether it is taken goes to the log), "raw2 BYTES" (it sends them),
    // "quit" (the first raw client goes), "?raw" and "?second" (each one's state goes to
    // the log); any other step arrives on the line.
    void play(const QByteArray &script)
    {
        for (const QByteArray &step : script.split('|')) {
            const List words = step.split(' ');
            if (words[0] == "ask" || words[0] == "poll")
                ask(words[1].toInt(), words[2] == "-" ? "" : words[2], words.mid(3),
                    LineRequest::Priority(words[0] == "poll"));
            else if (words[0] == "held")
                port.hold(step.mid(5));
            else if (words[0] == "cancel")
                line.cancel(&owners[words[1].toInt()]);
            else if (words[0] == "raw" || words[0] == "raw2")
                (words[0] == "raw" ? raw : second).send(step.mid(words[0].size() + 1));
            else if (step.startsWith('~'))
                clock.advance(milliseconds(step.mid(1).toInt()));
            else if (step == "break")
                port.breakDown(QStringLiteral("gone"));
            else if (step == "jam" || step == "unjam")
                port.setWritesFail(step == "jam");
            else if (step == "unplug" || step == "plug")
                port.setMissing(1, step == "unplug");
            else if (const FakeStream &s = step == "?raw" ? raw : second; step.startsWith('?'))
                log << (s.isClosed ? "closed" : s.reading ? "reading" : "held");
            else if (step == "second")
                log << (line.attachRaw(second) ? "second attached" : "second refused");
            else if (step == "quit")
                raw.close();
            else
                port.arrive(step);
        }
    }

    FakePort port;
    VirtualClock clock;
    LineQueue line{port, clock, [this] {
                       return clock.now();
                   }};
    FakeStream raw;
    FakeStream second;
    List log;
    char owners[5] = {};
};

} // namespace

class LineQueueTest : public QObject
{
    Q_OBJECT
private slots:
    // Each row a script, and what comes of it, each a list with its items apart by '|':
    // every frame that went out; the log of answers, line states and the raw client's state;
    // what the raw client got.
    void eachScriptSendsItsFramesAndAnswersItsOwners_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QByteArray>("toRaw");
        const auto row = [](const char *name, const QByteArray &script, const QByteArray &frames,
                            const QByteArray &log, const QByteArray &toRaw = {}) {
            QTest::newRow(name) << script << frames << log << toRaw;
        };
        // Requests share the line one transaction at a time.
        const QByteArray flood(LineQueue::kReplyLimit, 'x');
        row("in pieces, noise after the end", "ask 1 A001 CR1|0|2\r\x7f", "A001CR1\r", "1 Ok 02",
            "\x7f");
        row("reply at the last moment", "ask 1 - CR0|~499|00\r", "CR0\r", "1 Ok 00");
        row("incomplete at the time-out", "ask 1 - CR0|~499|0|~1", "CR0\r", "1 NoReply ");
        row("action without acknowledgement", "ask 1 - C00|80\r|~500", "C00\r", "1 NoReply ");
        row("first of two frames silent", "ask 1 A002 C0E C0C|~500", "A002C0E\r", "1 NoReply ");
        row("garbage up to the bound", "ask 1 - CR0|" + flood, "CR0\r", "");
        row("broadcast, quiet after a frame", "ask 1 AFFF C0E C0C|~499", "AFFFC0E\r", "");
        row("broadcast, both frames", "ask 1 AFFF C0E C0C|~500", "AFFFC0E\r|AFFFC0C\r", "1 Ok ");
        row("two frames are never split", "ask 1 A002 C0E C0C|ask 2 A001 CR0|\x06",
            "A002C0E\r|A002C0C\r", "");
        row("owners in turn, one request each, each answer to its owner",
            "ask 4 A004 CR0|ask 1 A001 C0E|ask 1 A001 C0C|ask 1 A001 C0D|ask 2 A002 CR0|"
            "ask 3 A003 CR0|01\r|\x06|00\r|02\r|\x06|\x06",
            "A004CR0\r|A001C0E\r|A002CR0\r|A003CR0\r|A001C0C\r|A001C0D\r",
            "4 Ok 01|1 Ok \x06|2 Ok 00|3 Ok 02|1 Ok \x06|1 Ok \x06");
        row("bytes that came before the frame", "held 80\r|ask 1 A001 CR0|01\r", "A001CR0\r",
            "1 Ok 01", "80\r");
        row("cancelled, waiting or on the line",
            "ask 1 A002 C0E C0C|ask 2 A001 CR0|cancel 2|\x06|cancel 1|\x06", "A002C0E\r|A002C0C\r",
            "");

        // A silenced address or a fresh reply needs no line.
        const QByteArray timedOut = "ask 1 A001 CR0|~500|";
        row("silenced to the last moment", timedOut + "~4999|ask 2 A001 C00", "A001CR0\r",
            "1 NoReply |2 Silenced ");
        row("heard again five seconds on", timedOut + "~5000|ask 2 A001 C00", "A001CR0\r|A001C00\r",
            "1 NoReply ");
        row("another address is heard", timedOut + "ask 2 A002 C00|~500", "A001CR0\r|A002C00\r",
            "1 NoReply ");
        const QByteArray asked = "ask 1 A001 CR0|00\r|";
        row("reused to the last moment", asked + "~999|ask 2 A001 CR0", "A001CR0\r",
            "1 Ok 00|2 Ok 00");
        row("asked again a second on", asked + "~1000|ask 2 A001 CR0", "A001CR0\r|A001CR0\r",
            "1 Ok 00");
        row("after an action to the address", asked + "ask 3 A001 C00|\x06|ask 2 A001 CR0",
            "A001CR0\r|A001C00\r|A001CR0\r", "1 Ok 00|3 Ok \x06");
        row("after a broadcast action", asked + "ask 3 AFFF C00|ask 2 A001 CR0|~500",
            "A001CR0\r|AFFFC00\r|A001CR0\r", "1 Ok 00|3 Ok ");
        row("after the raw client's action", asked + "raw A001C01\r|\x06|ask 2 A001 CR0|~10",
            "A001CR0\r|A001C01\r|A001CR0\r", "1 Ok 00", "\x06");
        row("after the raw client's query", asked + "raw A001CR0\r|01\r|ask 2 A001 CR0|~10",
            "A001CR0\r|A001CR0\r", "1 Ok 00|2 Ok 00", "01\r");

        // A missed reply leaves the line to settle first.
        const QByteArray missed = "ask 1 A001 CR0|ask 2 A002 CR0|~500|";
        const QByteArray first = "A001CR0\r";
        const QByteArray both = "A001CR0\r|A002CR0\r";
        row("quiet, to the last moment", missed + "~499", first, "1 NoReply ");
        row("quiet, then the next frame", missed + "~500", both, "1 NoReply ");
        row("a late reply restarts the quiet", missed + "~400|00\r|~499", first, "1 NoReply ",
            "00\r");
        row("then the next frame goes", missed + "~400|00\r|~500", both, "1 NoReply ", "00\r");
        row("noise holds it a second at most", missed + "~400|x|~400|x|~199", first, "1 NoReply ",
            "xx");
        row("then the next frame goes", missed + "~400|x|~400|x|~200", both, "1 NoReply ", "xx");
        const QByteArray garbled = "ask 1 A001 CR0|ask 2 A002 CR0|" + flood + "x|~";
        row("a reply past its bound", garbled + "499", first, "1 NoReply ");

        // A lost line answers every request until it is reopened.
        const QByteArray gone = "line down: /dev/fake1: gone";
        const QByteArray jammed =
            "line down: Cannot write to /dev/fake1: the output buffer is full";
        const QByteArray missing = "line down: Cannot open /dev/fake1: No such file or directory";
        const QByteArray waiting = "ask 1 A001 CR0|ask 2 A002 C00|raw A004C00\rA0|";
        const QByteArray back = "|~2000|raw 01CR0\r"; // a frame's start is kept, frames not
        row("the port fails", waiting + "break|ask 3 - CR0" + back, "A001CR0\r|A001CR0\r",
            gone + "|1 LineDown |2 LineDown |3 LineDown |line up");
        row("writes fail for the reply time-out",
            waiting + "jam|00\r|ask 3 - CR0|~499|?raw|~1|unjam" + back, "A001CR0\r|A001CR0\r",
            "1 Ok 00|reading|" + jammed + "|2 LineDown |3 LineDown |line up");
        row("a full buffer that drains in time",
            "jam|raw C00\r|ask 1 - CR0|late\r|~499|unjam|~1|\x06|~10", "C00\r|CR0\r", "",
            "late\r\x06");
        row("the first opening fails", "unplug|" + waiting + "plug" + back, "A001CR0\r",
            missing + "|1 LineDown |2 LineDown |line up");
        row("not reopened before two seconds", "break|~1999", "", gone);
        row("reopening fails quietly, is tried again", "break|unplug|~2000|plug|~1999|~1", "",
            gone + "|line up");

        // The raw client goes first and gets what no request takes.
        const QByteArray busy = "ask 1 A001 C0E C0C|ask 2 A002 CR1|raw A003C00\r|\x06|";
        const QByteArray before = "A001C0E\r|A001C0C\r";
        const QByteArray raw1st = before + "|A003C00\r";
        const QByteArray after = raw1st + "|A002CR1\r";
        const QByteArray answered = "1 Ok \x06,\x06";
        row("not inside a request", busy + "~0", before, "");
        row("ahead of waiting requests", busy + "\x06", raw1st, answered);
        row("ends at an acknowledgement, keeps the line", busy + "\x06|\x06|~9", raw1st, answered,
            "\x06");
        row("requests go on 10 ms later", busy + "\x06|\x06|~10", after, answered, "\x06");
        row("the next raw frame goes at once", busy + "\x06|\x06|~9|raw C00\r", raw1st + "|C00\r",
            answered, "\x06");
        row("ends at a carriage return", busy + "\x06|00\r|~10", after, answered, "00\r");
        row("silent, held while the line settles", busy + "\x06|~599", raw1st, answered);
        row("silent, free once it has settled", busy + "\x06|~600", after, answered);
        row("silent, its own next frame goes", busy + "\x06|~100|raw C01\r", raw1st + "|C01\r",
            answered);
        row("a reply that never ends, held to 1 s", busy + "\x06|0|~999", raw1st, answered, "0");
        row("a reply that never ends, then free", busy + "\x06|0|~1000", after, answered, "0");
        row("a silent broadcast leaves the line settled", "raw AFFFC00\r|ask 1 A001 CR0|~110",
            "AFFFC00\r|A001CR0\r", "");
        // A request's wait behind the raw client, not counting a settling line.
        const auto acked = [](int gap, int times) {
            return ("~" + QByteArray::number(gap) + "|\x06|raw C00\r|").repeated(times) + "~0";
        };
        const QByteArray behind = "ask 1 A002 CR0|";
        const int turn = int(LineQueue::kRawTurn / 5ms);
        const QByteArray raws = QByteArray("C00\r|").repeated(turn);
        row("a request waits behind the raw client", "raw C00\r|" + behind + acked(5, turn - 1),
            raws.chopped(1), "", QByteArray("\x06").repeated(turn - 1));
        row("until its turn is over", "raw C00\r|" + behind + acked(5, turn), raws + "A002CR0\r",
            "", QByteArray("\x06").repeated(turn));
        row("settling is not part of that wait",
            "raw A001C00\r|" + behind + "~100|raw C00\r|" + acked(50, 21),
            "A001C00\r|" + QByteArray("C00\r|").repeated(21) + "A002CR0\r", "",
            QByteArray("\x06").repeated(21));
        const QByteArray poll = "raw C00\r|poll 1 A001 CR0|ask 2 A002 CR0|\x06|~10|00\r|~89";
        row("a background request waits for the others", poll, "C00\r|A002CR0\r", "2 Ok 00",
            "\x06");
        row("and for a pause after the raw client", poll + "|~1", "C00\r|A002CR0\r|A001CR0\r",
            "2 Ok 00", "\x06");
        row("late and stray bytes", "ask 1 A001 CR0|00\r\x06|idle\r|ask 2 A002 CR0|~500|late\r",
            "A001CR0\r|A002CR0\r", "1 Ok 00|2 NoReply ", "\x06idle\rlate\r");

        // The raw client is held back then closed at its bounds.
        const QByteArray frame = "C00\r";
        const QByteArray line(RawClient::kLineLimit, 'x');
        const QByteArray backlog = frame.repeated(RawClient::kBacklogLimit / frame.size());
        const auto sent = [](const QByteArray &bytes) {
            return "ask 1 A001 CR0|second|raw " + bytes + "|?raw|?second|00\r|?raw";
        };
        const QByteArray closed = "second attached|refused|closed|reading|1 Ok 00|closed";
        row("frames up to the limit", sent(frame.repeated(8)), "A001CR0\r|C00\r",
            "second attached|reading|held|1 Ok 00|reading");
        row("one frame more", sent(frame.repeated(9)), "A001CR0\r|C00\r",
            "second attached|held|held|1 Ok 00|reading");
        row("the longest line", sent(frame + line), "A001CR0\r|C00\r",
            "second attached|reading|held|1 Ok 00|reading");
        row("a longer line", sent(line + 'x'), "A001CR0\r", closed);
        row("the largest backlog", sent(backlog), "A001CR0\r|C00\r",
            "second attached|held|held|1 Ok 00|held");
        row("a larger backlog", sent(backlog + 'x'), "A001CR0\r", closed);

        // A second raw client waits for the first to go.
        row("the first stays", "second|second|~999|?second|~1|?second|raw C00\r", "C00\r",
            "second attached|second refused|held|refused|closed");
        row("the first goes", "second|raw2 CR0\r|quit|?second|~1000|?second", "CR0\r",
            "second attached|reading|reading");
    }
    void eachScriptSendsItsFramesAndAnswersItsOwners()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, frames);
        QFETCH(QByteArray, log);
        QFETCH(QByteArray, toRaw);
        Rig rig(script);
        rig.play(script);
        QCOMPARE(rig.port.frames.join('|'), frames);
        QCOMPARE(rig.log.join('|'), log);
        QCOMPARE(rig.raw.written, toRaw);
    }

    void theReusedRepliesAreBounded()
    {
        Rig rig;
        const int limit = int(LineQueue::kMemoryEntries);
        for (int i = 0; i <= limit; ++i)
            rig.ask(1, "A001", {"CR" + QByteArray(1, char(i))}), rig.port.arrive("00\r");
        rig.ask(1, "A001", {"CR" + QByteArray(1, char(limit - 1))}); // reused
        rig.ask(1, "A001", {"CR" + QByteArray(1, char(limit))});     // never stored: asked again
        QCOMPARE(rig.port.frames.size(), limit + 2);
    }

    // The observer hook: what each transaction showed (an exchange as "PREFIX CODE REPLY"),
    // and the live state's counts of transactions, time-outs, reused answers and settle waits.
    void everyCleanTransactionIsReportedAndCounted_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("seen");
        QTest::addColumn<QByteArray>("counts");
        const auto row = [](const char *name, QByteArray script, QByteArray seen, QByteArray n) {
            QTest::newRow(name) << script << seen << n;
        };
        row("a query and an action", "ask 1 A001 CR3 C0E|01234\r|\x06",
            "A001 CR3 01234|A001 C0E \x06", "1 0 0 0");
        row("a broadcast once quiet", "ask 1 AFFF C0E C0C|~1000", "AFFF C0E |AFFF C0C ", "1 0 0 0");
        row("a reused answer", "ask 1 A001 CR0|00\r|ask 2 A001 CR0", "A001 CR0 00|reused",
            "1 0 1 0");
        row("a time-out, its silence and settling",
            "ask 1 A001 CR0|~499|ask 2 A002 CR0|~1|~200|ask 3 A002 CR1|~300|00\r|1\r|~5000",
            "timeout A001|silenced A001 1|settling|A002 CR0 00|A002 CR1 1|silenced A001 0",
            "3 1 0 1");
        row("raw frames", "raw A002CR0\r|00\r|raw C0E\r|\x06|raw AFFFC0E\r|~100",
            "A002 CR0 00| C0E \x06|AFFF C0E ", "3 0 0 0");
        row("not a raw reply with more after its end", "raw A002CR0\r|00\r0", "", "1 0 0 0");
        row("not a raw frame that is no frame", "raw A002CR\r|00\r", "", "1 0 0 0");
        row("not a raw reply on an unsettled line", "ask 1 A001 CR0|~500|raw A002CR0\r|00\r",
            "timeout A001|silenced A001 1", "2 1 0 0");
        row("not a raw reply before its frame was out", "jam|raw A002CR0\r|00\r|unjam|~1|00\r", "",
            "1 0 0 0");
    }
    void everyCleanTransactionIsReportedAndCounted()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, seen);
        QFETCH(QByteArray, counts);
        Rig rig;
        QByteArrayList raised;
        LineQueue *line = &rig.line;
        QObject::connect(line, &LineQueue::exchanged,
                         [&](auto p, auto c, auto r) { raised << p + ' ' + c + ' ' + r; });
        QObject::connect(line, &LineQueue::timedOut, [&](auto p) { raised << "timeout " + p; });
        QObject::connect(line, &LineQueue::silenceChanged, [&](auto p, bool on) {
            raised << "silenced " + p + ' ' + QByteArray::number(on);
        });
        QObject::connect(line, &LineQueue::answerReused, [&] { raised << "reused"; });
        QObject::connect(line, &LineQueue::settleWaited, [&] { raised << "settling"; });
        LiveState state({});
        feedLiveState(rig.line, state, [] { return Moment{}; });
        rig.play(script);
        QCOMPARE(raised.join('|'), seen);
        const LineCounters &n = state.counters();
        QCOMPARE(QString::asprintf("%llu %llu %llu %llu", n.transactions, n.timeouts,
                                   n.reusedAnswers, n.settleWaits)
                     .toLatin1(),
                 counts);
    }
};

QTEST_GUILESS_MAIN(LineQueueTest)
#include "tst_linequeue.moc"
