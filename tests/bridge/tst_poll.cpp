// The gateway's background poll on the shared line, with simulated projectors behind a
// fake port and a virtual clock: what it asks when, and how it gives way to everyone else.
#include "fakeport.h"
#include "fakestream.h"
#include "line.h"
#include "linequeue.h"
#include "poll.h"
#include "virtualclock.h"

#include <QMap>
#include <QTest>

using namespace tarn;
using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

constexpr milliseconds kPeriod = 5s;
constexpr milliseconds kLatency = 2ms; // from a frame to its projector's reply

// Projectors 1 (on) and 2 (in standby) answer; nothing answers at address 3.
struct Rig
{
    explicit Rig(const QList<QByteArray> &prefixes = {"A001", "A002", "A003", "AFFF"})
        : poll(line, clock, prefixes, kPeriod)
    {
        projectors.projector(1).handle("C00", 0ms);
        line.start(QStringLiteral("19200,N,8,1"));
        line.attachRaw(raw);
    }
    // Moves the clock a millisecond at a time. Each frame on the line is noted with its
    // moment, and the projectors' reply arrives kLatency later.
    void run(milliseconds span)
    {
        for (const milliseconds end = clock.now() + span; clock.now() < end;) {
            clock.advance(1ms);
            if (!replies.isEmpty() && replies.firstKey() <= clock.now())
                port.arrive(replies.take(replies.firstKey()));
            for (; noted < port.frames.size(); ++noted) {
                sent << std::pair{clock.now(), port.frames[noted]};
                for (const auto &exchange : projectors.receive(port.frames[noted], clock.now()))
                    if (exchange.reply)
                        replies[clock.now() + kLatency] += *exchange.reply;
            }
        }
    }

    VirtualClock clock;
    FakePort port;
    LineQueue line{port, clock, [this] {
                       return clock.now();
                   }};
    FakeStream raw;
    sim::Line projectors{2, {0ms, 0ms, 1h}};
    Poll poll;
    QMap<milliseconds, QByteArray> replies;
    QList<std::pair<milliseconds, QByteArray>> sent;
    qsizetype noted = 0;
};

} // namespace

class PollTest : public QObject
{
    Q_OBJECT
private slots:
    // Each row: how long the poll runs, and how often each frame went out in that time.
    void itAsksWhatEachProjectorsStateCallsFor_data()
    {
        QTest::addColumn<milliseconds>("span");
        QTest::addColumn<QByteArray>("frames");
        QTest::newRow("the first round asks everything, input and mutes once on")
            << milliseconds(2s)
            << QByteArray("A001CR0 1|A001CR1 1|A001CR3 1|A001CR6 1|A001CR7 1|A001CRA 1|"
                          "A002CR0 1|A002CR3 1|A002CR6 1|A002CR7 1|A003CR0 1");
        // Rounds at 0, 5, ..., 60 s: the slow ones at 0 and 60 s; the silent address is
        // asked only then.
        QTest::newRow("a minute")
            << milliseconds(62s)
            << QByteArray("A001CR0 13|A001CR1 13|A001CR3 2|A001CR6 2|A001CR7 2|A001CRA 13|"
                          "A002CR0 13|A002CR3 2|A002CR6 2|A002CR7 2|A003CR0 2");
    }

    void itAsksWhatEachProjectorsStateCallsFor()
    {
        QFETCH(milliseconds, span);
        QFETCH(QByteArray, frames);
        Rig rig;
        rig.poll.start();
        rig.run(span);
        QMap<QByteArray, int> counts;
        for (const auto &[when, frame] : rig.sent)
            ++counts[frame.chopped(1)];
        QByteArrayList seen;
        for (auto it = counts.begin(); it != counts.end(); ++it)
            seen << it.key() + ' ' + QByteArray::number(it.value());
        QCOMPARE(seen.join('|'), frames);
    }

    // A raw client repeats a frame every 5 ms for two seconds, then a client asks while the
    // poll's questions wait: no question goes within 100 ms of a raw transaction, none
    // breaks the raw rhythm, and the client waits for one question at most.
    void itGivesWayToTheRawClientAndToRequests()
    {
        Rig rig({"A001", "A002"});
        rig.poll.start();
        rig.run(12ms); // the first question is on the line
        for (int i = 0; i < 400; ++i) {
            rig.raw.send("A001C1C\r");
            rig.run(5ms);
        }
        rig.run(LineQueue::kBackgroundAfterRaw + 25ms);
        const qsizetype before = rig.sent.size();
        const milliseconds asked = rig.clock.now();
        bool answered = false;
        char client = 0;
        rig.line.submit(&client, {"A002", {"CR9"}}, [&](const LineResult &) { answered = true; });
        rig.run(100ms);
        QVERIFY(answered);
        milliseconds lastRaw = -1s, lastPoll = -1s;
        for (const auto &[when, frame] : rig.sent) {
            if (frame == "A001C1C\r") {
                QVERIFY2(when - lastRaw <= 5ms || lastRaw < 0ms, qPrintable(frame));
                lastRaw = when;
            } else if (frame != "A002CR9\r") {
                QVERIFY(lastRaw < 0ms || when - lastRaw >= LineQueue::kBackgroundAfterRaw);
                lastPoll = when;
            } else {
                QVERIFY(rig.sent.indexOf(std::pair{when, frame}) <= before + 1);
                QVERIFY(when - asked <= kLatency + 2ms);
            }
        }
        QVERIFY(lastPoll > lastRaw); // the poll went on after the raw client's pause
    }

    void itStopsAskingWhenDestroyed()
    {
        Rig rig;
        auto poll = std::make_unique<Poll>(rig.line, rig.clock, QList<QByteArray>{"A001"}, 1s);
        poll->start();
        poll.reset();
        rig.run(3s);
        QCOMPARE(rig.sent.size(), 1); // the question on the line ends; the others never go
    }
};

QTEST_GUILESS_MAIN(PollTest)
#include "tst_poll.moc"
