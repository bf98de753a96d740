// What the benchmarks publish and no run would show wrong: nearest-rank percentiles and the
// verdict on a repeat's period (median within 2 %, p99 within 1 ms from 25 ms up).
#include "kit/stats.h"

#include <QTest>

using namespace tarn::bench;

class BenchKitTest : public QObject
{
    Q_OBJECT
private slots:
    void percentilesAreMeasuredValuesAndTheVerdictHoldsToItsTargets()
    {
        QCOMPARE(percentile({1, 2, 3, 4}, 0.5), 2.0);
        QCOMPARE(percentile({5, 6, 7, 50}, 0.99), 50.0);
        QCOMPARE(
            summarize({10, 9, 1, 8, 2, 7, 3, 6, 4, 5, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}).p95,
            19.0);
        const auto meets = [](double median, double p99, int design) {
            return meetsPeriodTargets({100, 0, median, 0, p99, 0},
                                      std::chrono::milliseconds(design));
        };
        QVERIFY(meets(51.0, 51.0, 50) && meets(245.0, 250.0, 250) && meets(5.05, 7.5, 5));
        QVERIFY(!meets(5.11, 5.11, 5) && !meets(244.9, 250.0, 250) && !meets(25.1, 26.5, 25));
        QVERIFY(!meetsPeriodTargets({}, std::chrono::milliseconds(250)));
    }
};

QTEST_GUILESS_MAIN(BenchKitTest)
#include "tst_benchkit.moc"
