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

namespace {

const QByteArray kAck = "\x06";

struct Rig
{
    explicit Rig(bool start = true)
    {
        QObject::connect(&line, &LineQueue::lineStateChanged,
                         [this](bool up, const QString &why) { states << (up ? "up" : why); });
        QObject::connect(&line, &LineQueue::rawClientRefused, [this] { ++refusals; });
        if (start)
            line.start(QStringLiteral("19200,N,8,1"));
    }
    // Each answer reads "owner status replies", the replies joined by '|'.
    void ask(int owner, const QByteArray &prefix, const QByteArrayList &codes)
    {
        line.submit(&owners[owner], {prefix, codes}, [this, owner](const LineResult &result) {
            static const char *const kNames[] = {"Ok", "NoReply", "Silenced", "LineDown"};
            answers << QByteArray::number(owner) + ' ' + kNames[int(result.status)] + ' ' +
                           result.replies.join('|');
        });
    }
    // Bytes from the far end, or "~N": N milliseconds pass.
    void happen(const QByteArrayList &events)
    {
        for (const QByteArray &event : events)
            event.startsWith('~') ? clock.advance(milliseconds(event.mid(1).toInt()))
                                  : port.arrive(event);
    }

    FakePort port;
    VirtualClock clock;
    LineQueue line{port, clock};
    FakeStream raw;
    QByteArrayList answers;
    QStringList states;
    int refusals = 0;
    char owners[5] = {};
};

} // namespace

class LineQueueTest : public QObject
{
    Q_OBJECT
private slots:
    void eachRequestEndsAtItsRepliesOrAtTheTimeOut_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QByteArrayList>("codes");
        QTest::addColumn<QByteArrayList>("events");
        QTest::addColumn<int>("frames"); // how many went out
        QTest::addColumn<QByteArrayList>("answers");
        const QByteArray flood(LineQueue::kReplyLimit, 'x');

        QTest::newRow("query") << QByteArray() << QByteArrayList{"CR0"} << QByteArrayList{"00\r"}
                               << 1 << QByteArrayList{"1 Ok 00"};
        QTest::newRow("reply in pieces, noise after its end")
            << QByteArray("A001") << QByteArrayList{"CR1"} << QByteArrayList{"0", "2\r\x7f"} << 1
            << QByteArrayList{"1 Ok 02"};
        QTest::newRow("two frames, both answered")
            << QByteArray("A002") << QByteArrayList{"C0E", "C0C"} << QByteArrayList{kAck, kAck} << 2
            << QByteArrayList{"1 Ok \x06|\x06"};
        QTest::newRow("reply just before the time-out")
            << QByteArray() << QByteArrayList{"CR0"} << QByteArrayList{"~499", "00\r"} << 1
            << QByteArrayList{"1 Ok 00"};
        QTest::newRow("incomplete at the time-out")
            << QByteArray() << QByteArrayList{"CR0"} << QByteArrayList{"~499", "0", "~1"} << 1
            << QByteArrayList{"1 NoReply "};
        QTest::newRow("action answered without acknowledgement")
            << QByteArray() << QByteArrayList{"C00"} << QByteArrayList{"80\r", "~500"} << 1
            << QByteArrayList{"1 NoReply "};
        QTest::newRow("silent first frame, second never sent")
            << QByteArray("A002") << QByteArrayList{"C0E", "C0C"} << QByteArrayList{"~500"} << 1
            << QByteArrayList{"1 NoReply "};
        QTest::newRow("silent second frame")
            << QByteArray("A002") << QByteArrayList{"C0E", "C0C"} << QByteArrayList{kAck, "~500"}
            << 2 << QByteArrayList{"1 NoReply \x06"};
        QTest::newRow("garbage up to the bound still waits")
            << QByteArray() << QByteArrayList{"CR0"} << QByteArrayList{flood} << 1
            << QByteArrayList{};
        QTest::newRow("garbage past the bound ends it at once")
            << QByteArray() << QByteArrayList{"CR0"} << QByteArrayList{flood + 'x'} << 1
            << QByteArrayList{"1 NoReply "};
        QTest::newRow("broadcast, answered when sent")
            << QByteArray("AFFF") << QByteArrayList{"C00"} << QByteArrayList{} << 1
            << QByteArrayList{"1 Ok "};
        QTest::newRow("broadcast, its next frame a time-out later")
            << QByteArray("AFFF") << QByteArrayList{"C0E", "C0C"} << QByteArrayList{"~499"} << 1
            << QByteArrayList{};
        QTest::newRow("broadcast, both frames")
            << QByteArray("AFFF") << QByteArrayList{"C0E", "C0C"} << QByteArrayList{"~500"} << 2
            << QByteArrayList{"1 Ok "};
    }

    void eachRequestEndsAtItsRepliesOrAtTheTimeOut()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArrayList, codes);
        QFETCH(QByteArrayList, events);
        QFETCH(int, frames);
        QFETCH(QByteArrayList, answers);

        Rig rig;
        rig.ask(1, prefix, codes);
        rig.happen(events);
        QCOMPARE(rig.port.frames.size(), frames);
        for (int i = 0; i < frames; ++i)
            QCOMPARE(rig.port.frames[i], prefix + codes[i] + '\r');
        QCOMPARE(rig.answers, answers);
    }

    void requestsTakeTheLineInArrivalOrderAndKeepItForAllTheirFrames()
    {
        Rig rig;
        rig.ask(1, "A001", {"CR0"});
        rig.ask(2, "A002", {"C0E", "C0C"});
        rig.ask(3, "A004", {"C00"});
        rig.line.cancel(&rig.owners[3]);
        rig.ask(1, "A003", {"CR1"});
        const QByteArrayList replies{"00\r", kAck, kAck, "01\r"};
        for (int i = 0; i < replies.size(); ++i) {
            QCOMPARE(rig.port.frames.size(), i + 1);
            rig.port.arrive(replies[i]);
        }
        QCOMPARE(rig.port.frames,
                 (QByteArrayList{"A001CR0\r", "A002C0E\r", "A002C0C\r", "A003CR1\r"}));
        QCOMPARE(rig.answers, (QByteArrayList{"1 Ok 00", "2 Ok \x06|\x06", "1 Ok 01"}));
    }

    void anAddressThatTimedOutIsSilencedForFiveSeconds_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("silenced");
        QTest::newRow("same address at once") << QByteArray("A001") << 0 << true;
        QTest::newRow("same address, last moment") << QByteArray("A001") << 4999 << true;
        QTest::newRow("same address, five seconds on") << QByteArray("A001") << 5000 << false;
        QTest::newRow("another address") << QByteArray("A002") << 0 << false;
        QTest::newRow("the unaddressed projector") << QByteArray() << 0 << false;
    }

    void anAddressThatTimedOutIsSilencedForFiveSeconds()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(int, after);
        QFETCH(bool, silenced);

        Rig rig;
        rig.ask(1, "A001", {"CR0"});
        rig.happen({"~500", "~" + QByteArray::number(after)});
        rig.ask(2, prefix, {"C00", "CR0"});
        QCOMPARE(rig.port.frames.size(), silenced ? 1 : 2);
        QCOMPARE(rig.answers.size(), silenced ? 2 : 1);
        if (silenced)
            QCOMPARE(rig.answers.last(), "2 Silenced ");
    }

    void aQueryReplyIsReusedForASecondUntilAnActionToItsAddress_data()
    {
        QTest::addColumn<QByteArray>("between"); // a frame in between, and its reply
        QTest::addColumn<bool>("viaRaw");
        QTest::addColumn<int>("after");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<bool>("reused");
        const auto row = [](const char *name, QByteArray between, bool viaRaw, int after,
                            QByteArray query, bool reused) {
            QTest::newRow(name) << between << viaRaw << after << query << reused;
        };
        row("same query, last moment", {}, false, 999, "A001CR0", true);
        row("same query, a second on", {}, false, 1000, "A001CR0", false);
        row("another address", {}, false, 0, "A002CR0", false);
        row("another query", {}, false, 0, "A001CR1", false);
        row("an action to the address", "A001C00", false, 0, "A001CR0", false);
        row("an action to another address", "A002C00", false, 0, "A001CR0", true);
        row("an action to every projector", "AFFFC00", false, 0, "A001CR0", false);
        row("the raw client's action", "A001C01", true, 0, "A001CR0", false);
        row("the raw client's query", "A001CR0", true, 0, "A001CR0", true);
    }

    void aQueryReplyIsReusedForASecondUntilAnActionToItsAddress()
    {
        QFETCH(QByteArray, between);
        QFETCH(bool, viaRaw);
        QFETCH(int, after);
        QFETCH(QByteArray, query);
        QFETCH(bool, reused);

        Rig rig;
        rig.ask(1, "A001", {"CR0"});
        rig.port.arrive("00\r");
        QVERIFY(rig.line.attachRaw(rig.raw));
        if (viaRaw)
            rig.raw.send(between + '\r');
        else if (!between.isEmpty())
            rig.ask(3, between.left(4), {between.mid(4)});
        if (!between.isEmpty())
            rig.port.arrive(between.contains("CR") ? "01\r" : kAck);
        rig.clock.advance(milliseconds(after));
        const qsizetype sent = rig.port.frames.size();
        rig.ask(2, query.left(4), {query.mid(4)});
        rig.clock.advance(2 * LineQueue::kReplyTimeout); // a broadcast's quiet time, a time-out
        QCOMPARE(rig.port.frames.size(), reused ? sent : sent + 1);
        QCOMPARE(rig.answers.last(), reused ? "2 Ok 00" : "2 NoReply ");
    }

    void theReusedRepliesAreBounded()
    {
        Rig rig;
        for (int i = 0; i <= int(LineQueue::kMemoryEntries); ++i) {
            rig.ask(1, "A001", {"CR" + QByteArray(1, char(i))});
            rig.port.arrive("00\r");
        }
        const qsizetype sent = rig.port.frames.size();
        rig.ask(1, "A001", {"CR" + QByteArray(1, char(LineQueue::kMemoryEntries - 1))});
        QCOMPARE(rig.port.frames.size(), sent);
        rig.ask(1, "A001", {"CR" + QByteArray(1, char(LineQueue::kMemoryEntries))});
        QCOMPARE(rig.port.frames.size(), sent + 1);
    }

    void aLostLineAnswersEveryWaitingRequestAndIsReopenedEveryTwoSeconds_data()
    {
        QTest::addColumn<int>("loss"); // 0: the port fails, 1: a write fails, 2: no opening
        QTest::addColumn<QByteArrayList>("answers");
        const QByteArrayList down{"1 LineDown ", "2 LineDown ", "1 LineDown "};
        QTest::newRow("the port fails") << 0 << down;
        QTest::newRow("a write fails") << 1 << QByteArrayList{"1 Ok 00", down[1], down[2]};
        QTest::newRow("the first opening fails") << 2 << down;
    }

    void aLostLineAnswersEveryWaitingRequestAndIsReopenedEveryTwoSeconds()
    {
        QFETCH(int, loss);
        QFETCH(QByteArrayList, answers);

        Rig rig(false);
        rig.port.setMissing(1, loss == 2);
        rig.line.start(QStringLiteral("19200,N,8,1"));
        QVERIFY(rig.line.attachRaw(rig.raw));
        rig.ask(1, "A001", {"CR0"});
        rig.ask(2, "A002", {"CR0"});
        rig.ask(1, "A003", {"CR0"});
        rig.raw.send("A004C00\r"); // waits, then never goes out
        rig.port.setWritesFail(loss == 1);
        loss == 0 ? rig.port.breakDown(QStringLiteral("gone")) : rig.port.arrive("00\r");
        QCOMPARE(rig.answers, answers);
        const int wasUp = loss == 2 ? 0 : 1;
        QCOMPARE(rig.states.size(), wasUp + 1);
        QVERIFY(rig.states.last() != "up");
        rig.ask(3, "A001", {"CR0"});
        QCOMPARE(rig.answers.last(), "3 LineDown ");

        rig.port.setWritesFail(false);
        const auto openings = [&] {
            return rig.port.log.count(QStringLiteral("open"));
        };
        const qsizetype before = openings();
        rig.clock.advance(LineQueue::kReopen - 1ms);
        QCOMPARE(openings(), before);
        rig.clock.advance(1ms); // still missing for the first opening: reported once only
        QCOMPARE(openings(), before + 1);
        rig.port.setMissing(1, false);
        rig.clock.advance(LineQueue::kReopen);
        QCOMPARE(rig.states.size(), wasUp + 2);
        QCOMPARE(rig.states.last(), "up");
        rig.ask(4, "A001", {"CR0"});
        QCOMPARE(rig.port.frames.last(), "A001CR0\r");
        QVERIFY(!rig.port.frames.contains("A004C00\r"));
    }

    void aRawFrameGoesFirstAndHoldsTheLineUntilItsReplyEnds_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("held"); // milliseconds after the reply
        QTest::newRow("acknowledged") << QByteArray("A001C00\r") << kAck << 0;
        QTest::newRow("answered") << QByteArray("CR0\r") << QByteArray("00\r") << 0;
        QTest::newRow("silent") << QByteArray("A001C00\r") << QByteArray() << 100;
        QTest::newRow("broadcast") << QByteArray("AFFFC00\r") << QByteArray() << 100;
        QTest::newRow("a reply still coming") << QByteArray("CR0\r") << QByteArray("0") << 500;
    }

    void aRawFrameGoesFirstAndHoldsTheLineUntilItsReplyEnds()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(int, held);

        Rig rig;
        QVERIFY(rig.line.attachRaw(rig.raw));
        rig.ask(1, "A001", {"C0E", "C0C"});
        rig.ask(2, "A002", {"CR1"});
        rig.raw.send(frame);
        rig.port.arrive(kAck);
        QCOMPARE(rig.port.frames.last(), "A001C0C\r"); // a request is never split
        rig.port.arrive(kAck);
        QCOMPARE(rig.port.frames.last(), frame);
        rig.port.arrive(reply);
        if (held > 0) {
            rig.clock.advance(milliseconds(held - 1));
            QCOMPARE(rig.port.frames.last(), frame);
            rig.clock.advance(1ms);
        }
        QCOMPARE(rig.port.frames.last(), "A002CR1\r");
        QCOMPARE(rig.raw.written, reply); // byte for byte, and only its own
    }

    void bytesOutsideEveryTransactionGoToTheRawClient()
    {
        Rig rig;
        QVERIFY(rig.line.attachRaw(rig.raw));
        rig.ask(1, "A001", {"CR0"});
        rig.port.arrive("00\r\x06"); // a reply and a stray byte after its end
        rig.port.arrive("idle\r");
        rig.ask(1, "A002", {"CR0"});
        rig.happen({"~500", "late\r"});
        QCOMPARE(rig.raw.written, "\x06idle\rlate\r");
    }

    void theRawClientIsHeldBackThenClosedAtItsBounds_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("reading");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("readingAfterOne"); // once one frame went out
        const QByteArray frame = "C00\r";
        const QByteArray line(RawClient::kLineLimit, 'x');
        const QByteArray backlog = frame.repeated(RawClient::kBacklogLimit / frame.size());
        QTest::newRow("frames up to the limit") << frame.repeated(8) << true << false << true;
        QTest::newRow("one frame more") << frame.repeated(9) << false << false << true;
        QTest::newRow("the longest line") << frame + line << true << false << true;
        QTest::newRow("a longer line") << line + 'x' << true << true << true;
        QTest::newRow("the largest backlog") << backlog << false << false << false;
        QTest::newRow("a larger backlog") << backlog + 'x' << true << true << true;
    }

    void theRawClientIsHeldBackThenClosedAtItsBounds()
    {
        QFETCH(QByteArray, sent);
        QFETCH(bool, reading);
        QFETCH(bool, closed);
        QFETCH(bool, readingAfterOne);

        Rig rig;
        QVERIFY(rig.line.attachRaw(rig.raw));
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
