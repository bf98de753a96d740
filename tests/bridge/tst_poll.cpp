// The gateway's background poll, answered by simulated projectors on a virtual clock: what
// it asks when. (How the line gives background requests their turn is the line's own
// test's.)
#include "fakelineservice.h"
#include "line.h"
#include "poll.h"
#include "virtualclock.h"

#include <QMap>
#include <QTest>

using namespace tarn;
using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;

class PollTest : public QObject
{
    Q_OBJECT
private slots:
    // Projector 1 is on, 2 in standby, and nothing answers at address 3. Rounds at 0, 5,
    // ..., 60 s: the slow ones at 0 and 60 s, the silent address asked only then. Each
    // row: how long the poll runs, and how often it asked each question.
    void itAsksWhatEachProjectorsStateCallsForOneBackgroundFrameAtATime()
    {
        const QByteArray round = "A001CR0 1|A001CR1 1|A001CR3 1|A001CR6 1|A001CR7 1|A001CRA 1|"
                                 "A002CR0 1|A002CR3 1|A002CR6 1|A002CR7 1|A003CR0 1|A003CR3 1|"
                                 "A003CR6 1|A003CR7 1";
        const QByteArray minute = "A001CR0 13|A001CR1 13|A001CR3 2|A001CR6 2|A001CR7 2|A001CRA 13|"
                                  "A002CR0 13|A002CR3 2|A002CR6 2|A002CR7 2|A003CR0 2|A003CR3 2|"
                                  "A003CR6 2|A003CR7 2";
        for (const auto &[span, frames] : {std::pair{0s, round}, {60s, minute}}) {
            VirtualClock clock;
            tarn::sim::Line projectors(2, {0ms, 0ms, 1h});
            projectors.projector(1).handle("C00", 0ms);
            FakeLineService line;
            line.respond = [&](const LineRequest &r) {
                const auto exchanges =
                    projectors.receive(r.prefix + r.codes[0] + '\r', clock.now());
                if (exchanges.empty() || !exchanges[0].reply)
                    return std::optional<LineResult>({LineResult::Status::NoReply, {}});
                return std::optional<LineResult>({{}, {exchanges[0].reply->chopped(1)}});
            };
            Poll poll(line, clock, {"A001", "A002", "A003", "AFFF"}, 5s);
            poll.start();
            clock.advance(span);
            QMap<QByteArray, int> counts;
            for (const LineRequest &request : line.requests) {
                QVERIFY(request.priority == LineRequest::Priority::Background &&
                        request.codes.size() == 1);
                ++counts[request.prefix + request.codes[0]];
            }
            QByteArrayList seen;
            for (auto it = counts.begin(); it != counts.end(); ++it)
                seen << it.key() + ' ' + QByteArray::number(it.value());
            QCOMPARE(seen.join('|'), frames);
        }
    }

    // A question still waiting is not asked again; a poll that goes takes its questions.
    void aQuestionWaitsOnceAndGoesWithThePoll()
    {
        VirtualClock clock;
        FakeLineService line;
        std::optional<Poll> poll(std::in_place, line, clock, QList<QByteArray>{"A001"}, 5s);
        poll->start();
        clock.advance(5s);
        QCOMPARE(line.waiting.size(), 4);
        poll.reset();
        QVERIFY(line.waiting.isEmpty());
    }
};

QTEST_GUILESS_MAIN(PollTest)
#include "tst_poll.moc"
