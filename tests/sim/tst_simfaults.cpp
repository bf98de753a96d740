#include "transmitter.h"

#include <QTest>

using namespace tarn::sim;
using std::chrono::milliseconds;

namespace {

bool printable(char c)
{
    return c >= ' ' && c < 127;
}

// Everything the transmitter gives out, asking once per virtual millisecond.
struct Recording
{
    QList<QByteArray> writes;
    QList<int> times;
    QList<QByteArray> replies;
};

Recording record(Transmitter &transmitter, int until)
{
    Recording recording;
    for (int ms = 0; ms <= until; ++ms) {
        const auto out = transmitter.take(milliseconds{ms});
        if (!out.bytes.isEmpty()) {
            recording.writes << out.bytes;
            recording.times << ms;
        }
        recording.replies << out.replies;
    }
    return recording;
}

} // namespace

class SimFaults : public QObject
{
    Q_OBJECT

private slots:
    void repliesGoOutShapedByTheFaults_data()
    {
        QTest::addColumn<bool>("split");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QList<int>>("times");

        QTest::newRow("plain") << false << 0 << QList<QByteArray>{"80\r\x06"} << QList<int>{0};
        QTest::newRow("late") << false << 40 << QList<QByteArray>{"80\r\x06"} << QList<int>{40};
        QTest::newRow("split") << true << 0 << QList<QByteArray>{"8", "0", "\r", "\x06"}
                               << QList<int>{0, 2, 4, 6};
        QTest::newRow("split and late") << true << 10 << QList<QByteArray>{"8", "0", "\r", "\x06"}
                                        << QList<int>{10, 12, 14, 16};
    }
    void repliesGoOutShapedByTheFaults()
    {
        QFETCH(bool, split);
        QFETCH(int, delay);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QList<int>, times);
        Faults faults;
        faults.split = split;
        faults.delay = milliseconds{delay};
        Transmitter transmitter(faults, 1);
        transmitter.send("80\r", milliseconds{0});
        transmitter.send("\x06", milliseconds{0});
        const Recording recording = record(transmitter, 100);
        QCOMPARE(recording.writes, writes);
        QCOMPARE(recording.times, times);
        QCOMPARE(recording.replies, (QList<QByteArray>{"80\r", "\x06"}));
        QVERIFY(transmitter.idle());
    }

    void aLateTakeKeepsTheGapsOfASplitReply()
    {
        Faults faults;
        faults.split = true;
        Transmitter transmitter(faults, 1);
        transmitter.send("00\r", milliseconds{0});
        // The event loop comes back late: still only one byte goes out at a time.
        QCOMPARE(transmitter.take(milliseconds{50}).bytes, QByteArray("0"));
        QCOMPARE(transmitter.take(milliseconds{50}).bytes, QByteArray());
        QCOMPARE(transmitter.nextDue(), std::optional(milliseconds{52}));
        QCOMPARE(transmitter.take(milliseconds{52}).bytes, QByteArray("0"));
    }

    void theNextDueTimeTellsWhenToComeBack()
    {
        Faults faults;
        faults.delay = milliseconds{25};
        Transmitter transmitter(faults, 1);
        QCOMPARE(transmitter.nextDue(), std::nullopt);
        transmitter.send("1\r", milliseconds{100});
        QCOMPARE(transmitter.nextDue(), std::optional(milliseconds{125}));
        QVERIFY(transmitter.take(milliseconds{124}).bytes.isEmpty());
        QCOMPARE(transmitter.take(milliseconds{125}).bytes, QByteArray("1\r"));
        QCOMPARE(transmitter.nextDue(), std::nullopt);
    }

    void aSilentProjectorSendsNothing()
    {
        Faults faults;
        faults.silent = true;
        Transmitter transmitter(faults, 1);
        transmitter.send("80\r", milliseconds{0});
        QVERIFY(record(transmitter, 10).writes.isEmpty());
        QCOMPARE(transmitter.nextDue(), std::nullopt);
    }

    void noiseAddsStrayBytesAndKeepsTheReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("status") << QByteArray("80\r");
        QTest::newRow("temperatures") << QByteArray("035.2  41.8\r");
        QTest::newRow("ack") << QByteArray("\x06");
    }
    void noiseAddsStrayBytesAndKeepsTheReply()
    {
        QFETCH(QByteArray, reply);
        Faults faults;
        faults.noise = true;
        for (quint32 seed = 1; seed <= 40; ++seed) {
            Transmitter transmitter(faults, seed);
            transmitter.send(reply, milliseconds{0});
            const auto out = transmitter.take(milliseconds{0});
            QCOMPARE(out.replies, QList<QByteArray>{out.bytes});
            // The reply is still there in order; every byte added is a non-printable one.
            qsizetype matched = 0;
            for (const char c : out.bytes) {
                if (matched < reply.size() && c == reply[matched])
                    ++matched;
                else
                    QVERIFY2(!printable(c) && c != '\r', out.bytes.toHex().constData());
            }
            QCOMPARE(matched, reply.size());
            QVERIFY(out.bytes.size() > reply.size());
            QCOMPARE(out.bytes.endsWith('\r'), reply.endsWith('\r'));
        }
    }

    void strayBytesCoverEveryKindOfNonPrintable()
    {
        QRandomGenerator random(11);
        bool nul = false, del = false, high = false, control = false;
        for (int i = 0; i < 5000; ++i) {
            const auto c = static_cast<unsigned char>(strayByte(random));
            QVERIFY(c < 32 || c >= 127);
            QVERIFY(c != '\r');
            nul |= c == 0;
            del |= c == 127;
            high |= c > 127;
            control |= c > 0 && c < 32;
        }
        QVERIFY(nul && del && high && control);
    }

    void aFloodKeepsThePaceOfItsLine_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("span");
        QTest::addColumn<int>("bytes");
        QTest::newRow("19200 for a second") << 19200 << 1000 << 1920;
        QTest::newRow("9600 for half a second") << 9600 << 500 << 480;
        QTest::newRow("300 for two seconds") << 300 << 2000 << 60;
        QTest::newRow("110 for 90 ms") << 110 << 90 << 0;
    }
    void aFloodKeepsThePaceOfItsLine()
    {
        QFETCH(int, baud);
        QFETCH(int, span);
        QFETCH(int, bytes);
        Flood whole(baud, 5, milliseconds{1000});
        QCOMPARE(whole.take(milliseconds{1000 + span}).size(), bytes);
        Flood chunked(baud, 5, milliseconds{1000});
        qsizetype total = 0;
        for (int ms = 1000; ms <= 1000 + span; ms += 10)
            total += chunked.take(milliseconds{ms}).size();
        QCOMPARE(total, bytes);
        QCOMPARE(chunked.sent(), quint64(bytes));
    }
};

QTEST_GUILESS_MAIN(SimFaults)
#include "tst_simfaults.moc"
