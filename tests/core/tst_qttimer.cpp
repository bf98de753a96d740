// The program's timers in real time: a tick per interval, and the re-arm rules. Each check
// looks before the earliest moment the wrong behaviour could pass for the right one, so a
// slow machine can only delay ticks, never fail a correct timer.
#include "app/qttimer.h"
#include "realtime.h"

#include <QTest>

using namespace tarn;
using namespace std::chrono_literals;

class QtTimerTest : public QObject
{
    Q_OBJECT
private slots:
    void aRunningTimerTicksOncePerIntervalUntilDisabled()
    {
        QtTimerFactory factory;
        const auto timer = factory.createTimer();
        int ticks = 0;
        timer->setTickHandler([&] { ++ticks; });
        timer->setInterval(20ms);
        timer->setEnabled(true);
        QVERIFY(test::waitFor([&] { return ticks >= 3; }, 5s));
        timer->setEnabled(false);
        const int stopped = ticks;
        test::runFor(60ms);
        QCOMPARE(ticks, stopped);
    }

    // Started at 0 with 300 ms, touched at 200 ms: the tick is due at 500 ms (or 600 ms
    // for a new 400 ms interval), not at 300 ms. Looked at 380 ms after the start.
    void enablingOrANewIntervalRestartsTheCountdown_data()
    {
        QTest::addColumn<int>("newInterval"); // 0: enabled again instead
        QTest::newRow("enabled again") << 0;
        QTest::newRow("new interval") << 400;
    }
    void enablingOrANewIntervalRestartsTheCountdown()
    {
        QFETCH(int, newInterval);
        QtTimerFactory factory;
        const auto timer = factory.createTimer();
        int ticks = 0;
        timer->setTickHandler([&] { ++ticks; });
        timer->setInterval(300ms);
        timer->setEnabled(true);
        test::runFor(200ms);
        if (ticks > 0)
            QSKIP("the machine is too slow to tell");
        newInterval ? timer->setInterval(milliseconds(newInterval)) : timer->setEnabled(true);
        test::runFor(180ms);
        QCOMPARE(ticks, 0);
        QVERIFY(test::waitFor([&] { return ticks == 1; }, 5s));
    }
};

QTEST_GUILESS_MAIN(QtTimerTest)
#include "tst_qttimer.moc"
