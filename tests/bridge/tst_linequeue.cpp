// The line shared by the gateway's clients, on a fake port, a fake client stream and a
// virtual clock.
#include "fakeport.h"
#include "fakestream.h"
#include "linequeue.h"
#include "virtualclock.h"

#include <QTest>

using namespace tarn;
using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;
using List = QByteArrayList;

namespace {

const QByteArray kAck = "\x06";

struct Rig
{
    explicit Rig(bool missing = false)
    {
        QObject::connect(&line, &LineQueue::lineStateChanged,
                         [this](bool up, const QString &why) { states << (up ? "up" : why); });
        QObject::connect(&line, &LineQueue::rawClientRefused, [this] { ++refusals; });
        port.setMissing(1, missing);
        line.start(QStringLiteral("19200,N,8,1"));
        line.attachRaw(raw);
    }
    // Each answer reads "owner status replies", the replies joined by '|'.
    void ask(int owner, const QByteArray &prefix, const List &codes)
    {
        line.submit(&owners[owner], {prefix, codes}, [this, owner](const LineResult &result) {
            static const char *const kNames[] = {"Ok", "NoReply", "Silenced", "LineDown"};
            answers << QByteArray::number(owner) + ' ' + kNames[int(result.status)] + ' ' +
                           result.replies.join('|');
        });
    }
    // Plays a script, step by step: "ask OWNER PREFIX CODE..." ("-": no prefix), "cancel
    // OWNER", "raw BYTES" (the raw client sends them), "~N" (N milliseconds pass); any
    // other step arrives on the line.
    void play(const List &script)
    {
        for (const QByteArray &step : script) {
            const List words = step.split(' ');
            if (words[0] == "ask")
                ask(words[1].toInt(), words[2] == "-" ? "" : words[2], words.mid(3));
            else if (words[0] == "cancel")
                line.cancel(&owners[words[1].toInt()]);
            else if (words[0] == "raw")
                raw.send(step.mid(4));
            else if (step.startsWith('~'))
                clock.advance(milliseconds(step.mid(1).toInt()));
            else
                port.arrive(step);
        }
    }

    FakePort port;
    VirtualClock clock;
    LineQueue line{port, clock};
    FakeStream raw;
    List answers;
    QStringList states;
    int refusals = 0;
    char owners[5] = {};
};

void addScriptColumns()
{
    QTest::addColumn<List>("script");
    QTest::addColumn<List>("frames"); // every frame that went out, in order
    QTest::addColumn<List>("answers");
    QTest::addColumn<QByteArray>("toRaw"); // what the raw client got
}

void row(const char *name, const List &script, const List &frames, const List &answers,
         const QByteArray &toRaw = {})
{
    QTest::newRow(name) << script << frames << answers << toRaw;
}

void playAndCheck()
{
    QFETCH(List, script);
    QFETCH(List, frames);
    QFETCH(List, answers);
    QFETCH(QByteArray, toRaw);
    Rig rig;
    rig.play(script);
    QCOMPARE(rig.port.frames, frames);
    QCOMPARE(rig.answers, answers);
    QCOMPARE(rig.raw.written, toRaw);
}

} // namespace

class LineQueueTest : public QObject
{
    Q_OBJECT
private slots:
    void requestsShareTheLineOneTransactionAtATime_data()
    {
        addScriptColumns();
        const QByteArray flood(LineQueue::kReplyLimit, 'x');
        const List twoFrames{"A002C0E\r", "A002C0C\r"};
        row("query", {"ask 1 - CR0", "00\r"}, {"CR0\r"}, {"1 Ok 00"});
        row("in pieces, noise after the end", {"ask 1 A001 CR1", "0", "2\r\x7f"}, {"A001CR1\r"},
            {"1 Ok 02"}, "\x7f");
        row("two frames", {"ask 1 A002 C0E C0C", kAck, kAck}, twoFrames, {"1 Ok \x06|\x06"});
        row("reply at the last moment", {"ask 1 - CR0", "~499", "00\r"}, {"CR0\r"}, {"1 Ok 00"});
        row("incomplete at the time-out", {"ask 1 - CR0", "~499", "0", "~1"}, {"CR0\r"},
            {"1 NoReply "});
        row("action without acknowledgement", {"ask 1 - C00", "80\r", "~500"}, {"C00\r"},
            {"1 NoReply "});
        row("first of two frames silent", {"ask 1 A002 C0E C0C", "~500"}, {twoFrames[0]},
            {"1 NoReply "});
        row("garbage up to the bound", {"ask 1 - CR0", flood}, {"CR0\r"}, {});
        row("garbage past the bound", {"ask 1 - CR0", flood + 'x'}, {"CR0\r"}, {"1 NoReply "});
        row("broadcast, answered when sent", {"ask 1 AFFF C00"}, {"AFFFC00\r"}, {"1 Ok "});
        row("broadcast, quiet after a frame", {"ask 1 AFFF C0E C0C", "~499"}, {"AFFFC0E\r"}, {});
        row("broadcast, both frames", {"ask 1 AFFF C0E C0C", "~500"}, {"AFFFC0E\r", "AFFFC0C\r"},
            {"1 Ok "});
        row("the next waits for the reply", {"ask 1 A001 CR0", "ask 2 A002 CR0"}, {"A001CR0\r"},
            {});
        row("two frames are never split", {"ask 1 A002 C0E C0C", "ask 2 A001 CR0", kAck}, twoFrames,
            {});
        row("arrival order, each to its owner",
            {"ask 1 A001 CR0", "ask 2 A002 C0E C0C", "ask 1 A003 CR1", "00\r", kAck, kAck, "01\r"},
            List{"A001CR0\r"} + twoFrames + List{"A003CR1\r"},
            {"1 Ok 00", "2 Ok \x06|\x06", "1 Ok 01"});
        row("cancelled, waiting or on the line",
            {"ask 1 A002 C0E C0C", "ask 2 A001 CR0", "cancel 2", kAck, "cancel 1", kAck}, twoFrames,
            {});
    }
    void requestsShareTheLineOneTransactionAtATime() { playAndCheck(); }

    void aSilencedAddressOrAFreshReplyNeedsNoLine_data()
    {
        addScriptColumns();
        const List timedOut{"ask 1 A001 CR0", "~500"};
        row("silenced at once", timedOut + List{"ask 2 A001 C00"}, {"A001CR0\r"},
            {"1 NoReply ", "2 Silenced "});
        row("silenced to the last moment", timedOut + List{"~4999", "ask 2 A001 C00"},
            {"A001CR0\r"}, {"1 NoReply ", "2 Silenced "});
        row("heard again five seconds on", timedOut + List{"~5000", "ask 2 A001 C00"},
            {"A001CR0\r", "A001C00\r"}, {"1 NoReply "});
        row("another address is heard", timedOut + List{"ask 2 A002 C00"},
            {"A001CR0\r", "A002C00\r"}, {"1 NoReply "});
        row("the unaddressed one is heard", timedOut + List{"ask 2 - C00"}, {"A001CR0\r", "C00\r"},
            {"1 NoReply "});
        const List asked{"ask 1 A001 CR0", "00\r"};
        const List once{"A001CR0\r"};
        const List twice{"A001CR0\r", "A001CR0\r"};
        row("reused to the last moment", asked + List{"~999", "ask 2 A001 CR0"}, once,
            {"1 Ok 00", "2 Ok 00"});
        row("asked again a second on", asked + List{"~1000", "ask 2 A001 CR0"}, twice, {"1 Ok 00"});
        row("another address", asked + List{"ask 2 A002 CR0"}, once + List{"A002CR0\r"},
            {"1 Ok 00"});
        row("another query", asked + List{"ask 2 A001 CR1"}, once + List{"A001CR1\r"}, {"1 Ok 00"});
        row("after an action to the address",
            asked + List{"ask 3 A001 C00", kAck, "ask 2 A001 CR0"},
            {"A001CR0\r", "A001C00\r", "A001CR0\r"}, {"1 Ok 00", "3 Ok \x06"});
        row("after an action to another", asked + List{"ask 3 A002 C00", kAck, "ask 2 A001 CR0"},
            {"A001CR0\r", "A002C00\r"}, {"1 Ok 00", "3 Ok \x06", "2 Ok 00"});
        row("after a broadcast action", asked + List{"ask 3 AFFF C00", "ask 2 A001 CR0", "~500"},
            {"A001CR0\r", "AFFFC00\r", "A001CR0\r"}, {"1 Ok 00", "3 Ok "});
        row("after the raw client's action", asked + List{"raw A001C01\r", kAck, "ask 2 A001 CR0"},
            {"A001CR0\r", "A001C01\r", "A001CR0\r"}, {"1 Ok 00"}, kAck);
        row("after the raw client's query", asked + List{"raw A001CR0\r", "01\r", "ask 2 A001 CR0"},
            twice, {"1 Ok 00", "2 Ok 00"}, "01\r");
    }
    void aSilencedAddressOrAFreshReplyNeedsNoLine() { playAndCheck(); }

    void theReusedRepliesAreBounded()
    {
        Rig rig;
        const auto query = [](int i) {
            return List{"CR" + QByteArray(1, char(i))};
        };
        const int limit = int(LineQueue::kMemoryEntries);
        for (int i = 0; i <= limit; ++i)
            rig.ask(1, "A001", query(i)), rig.port.arrive("00\r");
        rig.ask(1, "A001", query(limit - 1));
        QCOMPARE(rig.port.frames.size(), limit + 1);
        rig.ask(1, "A001", query(limit));
        QCOMPARE(rig.port.frames.size(), limit + 2);
    }

    void aLostLineAnswersEveryWaitingRequestAndIsReopenedEveryTwoSeconds_data()
    {
        QTest::addColumn<int>("loss"); // 0: the port fails, 1: a write fails, 2: no opening
        QTest::addColumn<List>("answers");
        const List down{"1 LineDown ", "2 LineDown ", "1 LineDown "};
        QTest::newRow("the port fails") << 0 << down;
        QTest::newRow("a write fails") << 1 << List{"1 Ok 00", down[1], down[2]};
        QTest::newRow("the first opening fails") << 2 << down;
    }

    void aLostLineAnswersEveryWaitingRequestAndIsReopenedEveryTwoSeconds()
    {
        QFETCH(int, loss);
        QFETCH(List, answers);
        Rig rig(loss == 2);
        rig.ask(1, "A001", {"CR0"});
        rig.ask(2, "A002", {"CR0"});
        rig.ask(1, "A003", {"CR0"});
        rig.raw.send("A004C00\rA0"); // waits, then never goes out; the next frame's start stays
        rig.port.setWritesFail(loss == 1);
        loss == 0 ? rig.port.breakDown(QStringLiteral("gone")) : rig.port.arrive("00\r");
        rig.ask(3, "A001", {"CR0"});
        QCOMPARE(rig.answers, answers + List{"3 LineDown "});
        const int wasUp = loss == 2 ? 0 : 1;
        QCOMPARE(rig.states.size(), wasUp + 1);
        QVERIFY(rig.states.last() != "up");

        rig.port.setWritesFail(false);
        const auto openings = [&] {
            return rig.port.log.count(QStringLiteral("open"));
        };
        const qsizetype before = openings();
        rig.clock.advance(LineQueue::kReopen - 1ms);
        QCOMPARE(openings(), before);
        rig.port.setMissing(1, true);
        rig.clock.advance(1ms); // fails again, and is not reported again
        QCOMPARE(openings(), before + 1);
        rig.port.setMissing(1, false);
        rig.clock.advance(LineQueue::kReopen);
        QCOMPARE(rig.states.size(), wasUp + 2);
        QCOMPARE(rig.states.last(), "up");
        rig.raw.send("01CR0\r");
        QCOMPARE(rig.port.frames.last(), "A001CR0\r");
        QVERIFY(!rig.port.frames.contains("A004C00\r"));
    }

    void theRawClientGoesFirstAndGetsWhatNoRequestTakes_data()
    {
        addScriptColumns();
        const List busy{"ask 1 A001 C0E C0C", "ask 2 A002 CR1", "raw A003C00\r", kAck};
        const List before{"A001C0E\r", "A001C0C\r"};
        const List first = before + List{"A003C00\r"};
        const List after = first + List{"A002CR1\r"};
        const List answered{"1 Ok \x06|\x06"};
        row("not inside a request", busy, before, {});
        row("ahead of waiting requests", busy + List{kAck}, first, answered);
        row("ends at an acknowledgement", busy + List{kAck, kAck}, after, answered, kAck);
        row("ends at a carriage return", busy + List{kAck, "00\r"}, after, answered, "00\r");
        row("silent, held to 100 ms", busy + List{kAck, "~99"}, first, answered);
        row("silent, free at 100 ms", busy + List{kAck, "~100"}, after, answered);
        row("a reply coming, held", busy + List{kAck, "0", "~499"}, first, answered, "0");
        row("a reply coming, free at 500 ms", busy + List{kAck, "0", "~500"}, after, answered, "0");
        row("a broadcast like any frame", {"raw AFFFC00\r", "ask 1 A001 CR0", "~100"},
            {"AFFFC00\r", "A001CR0\r"}, {});
        row("late and stray bytes",
            {"ask 1 A001 CR0", "00\r\x06", "idle\r", "ask 2 A002 CR0", "~500", "late\r"},
            {"A001CR0\r", "A002CR0\r"}, {"1 Ok 00", "2 NoReply "}, "\x06idle\rlate\r");
    }
    void theRawClientGoesFirstAndGetsWhatNoRequestTakes() { playAndCheck(); }

    void theRawClientIsHeldBackThenClosedAtItsBounds_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("reading");         // while the line is busy
        QTest::addColumn<bool>("readingAfterOne"); // once one frame went out
        QTest::addColumn<bool>("closed");
        const QByteArray frame = "C00\r";
        const QByteArray line(RawClient::kLineLimit, 'x');
        const QByteArray backlog = frame.repeated(RawClient::kBacklogLimit / frame.size());
        QTest::newRow("frames up to the limit") << frame.repeated(8) << true << true << false;
        QTest::newRow("one frame more") << frame.repeated(9) << false << true << false;
        QTest::newRow("the longest line") << frame + line << true << true << false;
        QTest::newRow("a longer line") << line + 'x' << true << true << true;
        QTest::newRow("the largest backlog") << backlog << false << false << false;
        QTest::newRow("a larger backlog") << backlog + 'x' << true << true << true;
    }

    void theRawClientIsHeldBackThenClosedAtItsBounds()
    {
        QFETCH(QByteArray, sent);
        QFETCH(bool, reading);
        QFETCH(bool, readingAfterOne);
        QFETCH(bool, closed);
        Rig rig;
        FakeStream second;
        QVERIFY(!rig.line.attachRaw(second));
        rig.ask(1, "A001", {"CR0"});
        rig.raw.send(sent);
        QCOMPARE(rig.raw.reading, reading);
        QCOMPARE(rig.raw.isClosed, closed);
        QCOMPARE(rig.refusals, closed ? 1 : 0);
        QCOMPARE(rig.line.attachRaw(second), closed);
        rig.port.arrive("00\r");
        QCOMPARE(rig.raw.reading, readingAfterOne);
        QCOMPARE(rig.port.frames.size(), closed ? 1 : 2);
    }
};

QTEST_GUILESS_MAIN(LineQueueTest)
#include "tst_linequeue.moc"
