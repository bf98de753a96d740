// The measuring instruments of the benchmarks: if these are wrong, every figure is.

#include "kit/countingport.h"
#include "kit/line.h"
#include "kit/procinfo.h"
#include "kit/ptyline.h"
#include "kit/reports.h"
#include "kit/stats.h"
#include "kit/table.h"
#include "soak/simprocess.h"

#include "fakeport.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace tarn::bench;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::vector<double>)

namespace {

TimePoint at(Nanos since)
{
    return TimePoint{since};
}

} // namespace

class BenchKitTest : public QObject
{
    Q_OBJECT
private slots:
    void percentilesAreNearestRankValuesThatWereMeasured_data()
    {
        QTest::addColumn<std::vector<double>>("sorted");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<double>("expected");
        const std::vector<double> hundred = [] {
            std::vector<double> v;
            for (int i = 1; i <= 100; ++i)
                v.push_back(i);
            return v;
        }();
        QTest::newRow("median of an odd count") << std::vector<double>{1, 2, 9} << 0.5 << 2.0;
        QTest::newRow("median of an even count is the lower middle")
            << std::vector<double>{1, 2, 3, 4} << 0.5 << 2.0;
        QTest::newRow("p95 of 1..100") << hundred << 0.95 << 95.0;
        QTest::newRow("p99 of 1..100") << hundred << 0.99 << 99.0;
        QTest::newRow("p99 of a short series is its maximum")
            << std::vector<double>{5, 6, 7, 50} << 0.99 << 50.0;
        QTest::newRow("zeroth percentile is the minimum")
            << std::vector<double>{3, 4} << 0.0 << 3.0;
        QTest::newRow("no sample") << std::vector<double>{} << 0.5 << 0.0;
    }
    void percentilesAreNearestRankValuesThatWereMeasured()
    {
        QFETCH(std::vector<double>, sorted);
        QFETCH(double, fraction);
        QFETCH(double, expected);
        QCOMPARE(percentile(sorted, fraction), expected);
    }

    void aSummarySortsItsSamplesFirst()
    {
        const Summary s = summarize({250.4, 249.8, 251.0, 250.0, 262.5});
        QCOMPARE(s.count, std::size_t(5));
        QCOMPARE(s.min, 249.8);
        QCOMPARE(s.median, 250.4);
        QCOMPARE(s.max, 262.5);
        QCOMPARE(s.p99, 262.5);
    }

    void gapsAreTheDifferencesBetweenNeighbours()
    {
        QCOMPARE(gaps({10, 15, 21, 21}), (std::vector<double>{5, 6, 0}));
        QVERIFY(gaps({7}).empty());
    }

    void aRepeatMeetsItsTargetsWithinTwoPercentAndOneMillisecond_data()
    {
        QTest::addColumn<double>("median");
        QTest::addColumn<double>("p99");
        QTest::addColumn<int>("design");
        QTest::addColumn<bool>("met");
        QTest::newRow("on time") << 250.1 << 250.9 << 250 << true;
        QTest::newRow("median 2 % slow") << 51.0 << 51.0 << 50 << true;
        QTest::newRow("median over 2 % slow") << 5.11 << 5.11 << 5 << false;
        QTest::newRow("median 2 % fast") << 245.0 << 250.0 << 250 << true;
        QTest::newRow("median over 2 % fast") << 244.9 << 250.0 << 250 << false;
        QTest::newRow("p99 1 ms over") << 50.2 << 51.0 << 50 << true;
        QTest::newRow("p99 more than 1 ms over") << 50.2 << 51.05 << 50 << false;
        QTest::newRow("25 ms is held to the p99 too") << 25.1 << 26.5 << 25 << false;
        QTest::newRow("5 ms is held to its median only") << 5.05 << 7.5 << 5 << true;
        QTest::newRow("5 ms median 3.7 % slow") << 5.185 << 5.4 << 5 << false;
    }
    void aRepeatMeetsItsTargetsWithinTwoPercentAndOneMillisecond()
    {
        QFETCH(double, median);
        QFETCH(double, p99);
        QFETCH(int, design);
        QFETCH(bool, met);
        Summary periods;
        periods.count = 100;
        periods.median = median;
        periods.p99 = p99;
        QCOMPARE(meetsPeriodTargets(periods, std::chrono::milliseconds(design)), met);
    }

    void nothingMeasuredMeetsNoTarget()
    {
        QVERIFY(!meetsPeriodTargets(Summary{}, std::chrono::milliseconds(250)));
    }

    void aCharacterTakesTenBitTimes_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<qint64>("nanoseconds");
        QTest::newRow("19200") << 19200 << qint64(520'833);
        QTest::newRow("9600") << 9600 << qint64(1'041'666);
    }
    void aCharacterTakesTenBitTimes()
    {
        QFETCH(int, baud);
        QFETCH(qint64, nanoseconds);
        QCOMPARE(characterTime(baud).count(), nanoseconds);
    }

    void theLineCarriesOneCharacterAtATime_data()
    {
        QTest::addColumn<QList<qint64>>("noticed"); // microseconds
        QTest::addColumn<QList<bool>>("queued");
        QTest::addColumn<QList<qint64>>("arrived");
        // 1000 us per character.
        QTest::newRow("an idle line delivers one character time later")
            << QList<qint64>{0, 5000} << QList<bool>{false, false} << QList<qint64>{1000, 6000};
        QTest::newRow("characters handed over together go one after the other")
            << QList<qint64>{0, 0, 0, 0} << QList<bool>{false, false, false, false}
            << QList<qint64>{1000, 2000, 3000, 4000};
        QTest::newRow("a queue drains, then the line idles")
            << QList<qint64>{0, 100, 10'000} << QList<bool>{false, false, false}
            << QList<qint64>{1000, 2000, 11'000};
        QTest::newRow("a character handed over mid-slot waits for it")
            << QList<qint64>{0, 400} << QList<bool>{false, false} << QList<qint64>{1000, 2000};
        QTest::newRow("queued characters noticed late lose no line time")
            << QList<qint64>{0, 1300, 2600, 3100} << QList<bool>{false, true, true, true}
            << QList<qint64>{1000, 2000, 3000, 4000};
        QTest::newRow("a character that was waited for starts when it came")
            << QList<qint64>{0, 1300, 2500} << QList<bool>{false, false, true}
            << QList<qint64>{1000, 2300, 3300};
        QTest::newRow("the very first character cannot have queued behind another")
            << QList<qint64>{700} << QList<bool>{true} << QList<qint64>{1700};
    }
    void theLineCarriesOneCharacterAtATime()
    {
        QFETCH(QList<qint64>, noticed);
        QFETCH(QList<bool>, queued);
        QFETCH(QList<qint64>, arrived);
        LinePace pace(1000us);
        for (qsizetype i = 0; i < noticed.size(); ++i) {
            const TimePoint got =
                pace.arrival(at(std::chrono::microseconds(noticed[i])), queued[i]);
            QCOMPARE(got, at(std::chrono::microseconds(arrived[i])));
        }
    }

    void framesEndWithACarriageReturnAndKeepTheirTimes()
    {
        FrameAssembler assembler;
        const QByteArray stream = "C00\rA001C3C\r";
        std::vector<Frame> frames;
        for (qsizetype i = 0; i < stream.size(); ++i) {
            const Nanos t = Nanos(i * 1000);
            if (auto frame = assembler.add(stream[i], at(t), at(t + 500ns)))
                frames.push_back(*frame);
        }
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0].bytes, QByteArray("C00\r"));
        QCOMPARE(frames[0].firstRead, at(0ns));
        QCOMPARE(frames[0].firstArrival, at(500ns));
        QCOMPARE(frames[0].arrival, at(3500ns));
        QCOMPARE(frames[1].bytes, QByteArray("A001C3C\r"));
        QCOMPARE(frames[1].firstRead, at(4000ns));
        QCOMPARE(frames[1].arrival, at(11'500ns));
        QVERIFY(!assembler.pending());
        QVERIFY(!assembler.add('C', at(0ns), at(1ns)));
        QVERIFY(assembler.pending());
    }

    void statusFieldsAreReadByKey_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<qint64>("expected"); // -1: absent
        const QByteArray status = "Name:\ttarn-bench\nVmPeak:\t  312000 kB\nVmRSS:\t   41236 kB\n"
                                  "RssAnon:\t   12000 kB\nThreads:\t3\n";
        QTest::newRow("resident memory") << status << QByteArray("VmRSS") << qint64(41236);
        QTest::newRow("a key that is a prefix of another is not confused")
            << status << QByteArray("Rss") << qint64(-1);
        QTest::newRow("a number without a unit") << status << QByteArray("Threads") << qint64(3);
        QTest::newRow("a text value is no number") << status << QByteArray("Name") << qint64(-1);
        QTest::newRow("absent") << status << QByteArray("VmSwap") << qint64(-1);
    }
    void statusFieldsAreReadByKey()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, key);
        QFETCH(qint64, expected);
        QCOMPARE(statusField(status, key).value_or(-1), expected);
    }

    void theCpuModelIsFoundInCpuinfo_data()
    {
        QTest::addColumn<QByteArray>("cpuinfo");
        QTest::addColumn<QString>("model");
        QTest::newRow("x86") << QByteArray("processor\t: 0\nvendor_id\t: GenuineIntel\n"
                                           "model\t\t: 85\nmodel name\t: Intel(R) Xeon(R) CPU @ "
                                           "2.20GHz\n")
                             << QStringLiteral("Intel(R) Xeon(R) CPU @ 2.20GHz");
        QTest::newRow("a board that names only its Model")
            << QByteArray("processor\t: 0\nBogoMIPS\t: 108.00\n\nModel\t\t: Raspberry Pi 4\n")
            << QStringLiteral("Raspberry Pi 4");
        QTest::newRow("nothing known")
            << QByteArray("processor\t: 0\n") << QStringLiteral("unknown");
    }
    void theCpuModelIsFoundInCpuinfo()
    {
        QFETCH(QByteArray, cpuinfo);
        QFETCH(QString, model);
        QCOMPARE(cpuModel(cpuinfo), model);
    }

    void thisProcessHasResidentMemory() { QVERIFY(residentKb() > 0); }

    void tablesLineUpAndEscapeBars()
    {
        const QString table = markdownTable(
            {QStringLiteral("a"), QStringLiteral("bb")},
            {{QStringLiteral("x|y"), QStringLiteral("1")}, {QStringLiteral("long cell")}});
        QCOMPARE(table, QStringLiteral("| a         | bb  |\n"
                                       "| --------- | --- |\n"
                                       "| x\\|y      | 1   |\n"
                                       "| long cell |     |\n"));
    }

    void numbersKeepTheirDecimals()
    {
        QCOMPARE(formatted(250.0123, 2), QStringLiteral("250.01"));
        QCOMPARE(formatted(5, 3), QStringLiteral("5.000"));
    }

    void aFailureIsReportedOnceOrOnceMoreAfterABlank_data()
    {
        QTest::addColumn<QStringList>("trace");
        QTest::addColumn<int>("reports");
        QTest::addColumn<int>("distinct");
        QTest::addColumn<bool>("once");
        const QString lost = QStringLiteral(" Lost /dev/pts/3");
        const QString closed = QStringLiteral(" Cannot write: the port is not open");
        QTest::newRow("each failure once") << QStringList{lost, closed} << 2 << 2 << true;
        QTest::newRow("shown again after the display clearing")
            << QStringList{lost, closed, QString(), closed} << 3 << 2 << true;
        QTest::newRow("alternating texts are a report per tick")
            << QStringList{lost, closed, lost} << 3 << 2 << false;
        QTest::newRow("shown again after every blank")
            << QStringList{closed, QString(), closed, QString(), closed} << 3 << 1 << false;
        QTest::newRow("nothing reported at all") << QStringList{QString()} << 0 << 0 << false;
    }
    void aFailureIsReportedOnceOrOnceMoreAfterABlank()
    {
        QFETCH(QStringList, trace);
        QFETCH(int, reports);
        QFETCH(int, distinct);
        QFETCH(bool, once);
        const FailureReports judged = judgeFailureReports(trace);
        QCOMPARE(judged.reports, reports);
        QCOMPARE(judged.distinct, distinct);
        QCOMPARE(judged.once, once);
    }

    void theCountingPortCountsFailedTransmissionsAndPassesTheRestOn()
    {
        tarn::test::FakePort fake;
        CountingPort port(fake);
        QVERIFY(port.setPortOpen(true).ok());
        QVERIFY(fake.portOpen());
        port.recordTimes = true;
        QVERIFY(port.output("C00\r").ok());
        fake.setWritesFail(true);
        const tarn::Outcome failed = port.output("C01\r");
        QVERIFY(!failed.ok());
        QCOMPARE(port.outputs, 2);
        QCOMPARE(port.failures, 1);
        QCOMPARE(port.lastFailure, failed.description());
        QVERIFY(port.firstFailure.has_value());
        QCOMPARE(port.outputTimes.size(), std::size_t(2));
        QCOMPARE(fake.frames, QByteArrayList{"C00\r"});

        int received = 0;
        connect(&port, &tarn::CommControl::onComm, this, [&] { ++received; });
        fake.arrive("00\r");
        QCOMPARE(received, 1);
        QCOMPARE(port.input(), QByteArray("00\r"));

        port.resetCounts();
        QCOMPARE(port.outputs, 0);
        QCOMPARE(port.failures, 0);
        QVERIFY(!port.firstFailure.has_value());
        QVERIFY(port.outputTimes.empty());
    }

    void theSimulatorsReportIsReadLineByLine()
    {
        SimOutputParser parser;
        QVERIFY(parser.feed("/dev/pts/", at(1ns)).empty());
        std::vector<SimLine> lines = parser.feed("7\n< C3C\\r\n> \\x06\\r\n< AF", at(2ns));
        QCOMPARE(parser.device(), QByteArray("/dev/pts/7"));
        QCOMPARE(lines.size(), std::size_t(2));
        QCOMPARE(lines[0].kind, SimLine::Kind::Frame);
        QCOMPARE(lines[0].text, QByteArray("C3C\\r"));
        QCOMPARE(lines[0].at, at(2ns));
        QCOMPARE(lines[1].kind, SimLine::Kind::Reply);
        lines = parser.feed("FFC00\\r\nnoise\n", at(3ns));
        QCOMPARE(lines.size(), std::size_t(1));
        QCOMPARE(lines[0].text, QByteArray("AFFFC00\\r"));
        QCOMPARE(lines[0].at, at(3ns));
    }

    void thePseudoTerminalDeliversWhatWasWrittenFrameByFrame()
    {
        PtyLine line(115200); // fast, so the test does not wait long
        QCOMPARE(line.open(), QString());
        const int fd = ::open(QFile::encodeName(line.slavePath()).constData(), O_WRONLY | O_NOCTTY);
        QVERIFY(fd >= 0);
        const QByteArray written = "C09\rA001C3C\rC0";
        QCOMPARE(::write(fd, written.constData(), size_t(written.size())), ssize_t(written.size()));
        QTRY_COMPARE_WITH_TIMEOUT(line.frameCount(), quint64(2), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(line.byteCount(), quint64(written.size()), 10000);
        ::close(fd);
        const std::vector<Frame> frames = line.takeFrames();
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0].bytes, QByteArray("C09\r"));
        QCOMPARE(frames[1].bytes, QByteArray("A001C3C\r"));
        QVERIFY(frames[0].arrival < frames[1].firstArrival);
        QVERIFY(line.midFrame());
        QVERIFY(line.takeFrames().empty());
    }
};

QTEST_GUILESS_MAIN(BenchKitTest)
#include "tst_benchkit.moc"
