#include "line.h"

#include <QRegularExpression>
#include <QTest>

using namespace tarn::sim;
using std::chrono::milliseconds;

namespace {

// Warm-up and cooling of 3 s, one lamp hour per 10 s of burning.
const Timing kTiming{milliseconds{3000}, milliseconds{3000}, milliseconds{10000}};

// Steps written as "<ms> <code>", e.g. "3000 C01": the code reaches the projector at that time.
void play(Projector &projector, const QStringList &steps)
{
    for (const QString &step : steps) {
        const auto parts = step.split(u' ');
        projector.handle(parts[1].toLatin1(), milliseconds{parts[0].toLongLong()});
    }
}

} // namespace

class SimProjector : public QObject
{
    Q_OBJECT

private slots:
    void eachQueryIsAnsweredFromTheProjectorsState_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("at");
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("reply"); // empty: no reply at all

        QTest::newRow("power: standby")
            << QStringList{} << 0 << QByteArray("CR0") << QByteArray("80\r");
        QTest::newRow("power: counting down")
            << QStringList{"0 C00"} << 2999 << QByteArray("CR0") << QByteArray("40\r");
        QTest::newRow("power: on after warm-up")
            << QStringList{"0 C00"} << 3000 << QByteArray("CR0") << QByteArray("00\r");
        QTest::newRow("power: cooling down")
            << QStringList{"0 C00", "4000 C01"} << 6999 << QByteArray("CR0") << QByteArray("20\r");
        QTest::newRow("power: standby after cooling")
            << QStringList{"0 C00", "4000 C01"} << 7000 << QByteArray("CR0") << QByteArray("80\r");
        QTest::newRow("power: off during count-down cools")
            << QStringList{"0 C00", "1000 C01"} << 1500 << QByteArray("CR0") << QByteArray("20\r");
        QTest::newRow("power: on while cooling is ignored")
            << QStringList{"0 C00", "3000 C01", "4000 C00"} << 6000 << QByteArray("CR0")
            << QByteArray("80\r");
        QTest::newRow("power: off in standby is ignored")
            << QStringList{"0 C01"} << 10 << QByteArray("CR0") << QByteArray("80\r");
        QTest::newRow("power: on again when on stays on")
            << QStringList{"0 C00", "5000 C00"} << 5001 << QByteArray("CR0") << QByteArray("00\r");

        QTest::newRow("input: first at start")
            << QStringList{} << 0 << QByteArray("CR1") << QByteArray("1\r");
        QTest::newRow("input: 2") << QStringList{"0 C06"} << 0 << QByteArray("CR1")
                                  << QByteArray("2\r");
        QTest::newRow("input: 3") << QStringList{"0 C07"} << 0 << QByteArray("CR1")
                                  << QByteArray("3\r");
        QTest::newRow("input: 4 then 1")
            << QStringList{"0 C08", "1 C05"} << 2 << QByteArray("CR1") << QByteArray("1\r");

        QTest::newRow("mute: standby")
            << QStringList{"0 C0D"} << 0 << QByteArray("CRA") << QByteArray("FF\r");
        QTest::newRow("mute: none")
            << QStringList{"0 C00"} << 3000 << QByteArray("CRA") << QByteArray("00\r");
        QTest::newRow("mute: no-show")
            << QStringList{"0 C00", "0 C0D"} << 3000 << QByteArray("CRA") << QByteArray("01\r");
        QTest::newRow("mute: sound")
            << QStringList{"0 C00", "0 C0B"} << 3000 << QByteArray("CRA") << QByteArray("02\r");
        QTest::newRow("mute: both") << QStringList{"0 C0B", "0 C00", "3100 C0D"} << 3200
                                    << QByteArray("CRA") << QByteArray("03\r");
        QTest::newRow("mute: no-show off") << QStringList{"0 C00", "0 C0D", "0 C0B", "1 C0E"}
                                           << 3000 << QByteArray("CRA") << QByteArray("02\r");
        QTest::newRow("mute: sound off") << QStringList{"0 C00", "0 C0D", "0 C0B", "1 C0C"} << 3000
                                         << QByteArray("CRA") << QByteArray("01\r");

        QTest::newRow("lamps: standby")
            << QStringList{} << 0 << QByteArray("CR7") << QByteArray("00\r");
        QTest::newRow("lamps: counting down")
            << QStringList{"0 C00"} << 10 << QByteArray("CR7") << QByteArray("0F\r");
        QTest::newRow("lamps: four burning")
            << QStringList{"0 C00"} << 3000 << QByteArray("CR7") << QByteArray("0F\r");
        QTest::newRow("lamps: 1 and 4")
            << QStringList{"0 C00", "0 C71"} << 3000 << QByteArray("CR7") << QByteArray("19\r");
        QTest::newRow("lamps: 2 and 3")
            << QStringList{"0 C00", "0 C72"} << 3000 << QByteArray("CR7") << QByteArray("26\r");
        QTest::newRow("lamps: back to four") << QStringList{"0 C72", "0 C00", "1 C70"} << 3000
                                             << QByteArray("CR7") << QByteArray("0F\r");
        QTest::newRow("lamps: mode kept in standby")
            << QStringList{"0 C72"} << 0 << QByteArray("CR7") << QByteArray("20\r");
        QTest::newRow("lamps: out while cooling")
            << QStringList{"0 C00", "0 C71", "3000 C01"} << 3001 << QByteArray("CR7")
            << QByteArray("10\r");

        QTest::newRow("hours: at start")
            << QStringList{} << 0 << QByteArray("CR3") << QByteArray("01200\r");
        QTest::newRow("hours: while burning")
            << QStringList{"0 C00"} << 25000 << QByteArray("CR3") << QByteArray("01202\r");
        QTest::newRow("hours: not in standby") << QStringList{"0 C00", "20000 C01"} << 100000
                                               << QByteArray("CR3") << QByteArray("01202\r");
        QTest::newRow("hours: count-down burns")
            << QStringList{"0 C00", "2000 C01", "5000 C00", "13000 C01"} << 40000
            << QByteArray("CR3") << QByteArray("01201\r");

        QTest::newRow("reversal") << QStringList{} << 0 << QByteArray("CR4") << QByteArray("11\r");
        QTest::newRow("action acknowledged")
            << QStringList{} << 0 << QByteArray("C1E") << QByteArray("\x06");
        QTest::newRow("unused action acknowledged")
            << QStringList{} << 0 << QByteArray("CFF") << QByteArray("\x06");
        QTest::newRow("unknown query") << QStringList{} << 0 << QByteArray("CR2") << QByteArray();
        QTest::newRow("lower-case action")
            << QStringList{} << 0 << QByteArray("C0a") << QByteArray();
        QTest::newRow("not a code") << QStringList{} << 0 << QByteArray("XYZ") << QByteArray();
    }
    void eachQueryIsAnsweredFromTheProjectorsState()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, at);
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, reply);
        Projector projector(1, kTiming);
        play(projector, steps);
        QCOMPARE(projector.handle(code, milliseconds{at}).value_or(QByteArray()), reply);
    }

    void temperaturesAreTwoReadingsThatMoveALittle_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("standby") << QStringList{};
        QTest::newRow("on") << QStringList{"0 C00"};
    }
    void temperaturesAreTwoReadingsThatMoveALittle()
    {
        QFETCH(QStringList, steps);
        Projector projector(4, kTiming);
        play(projector, steps);
        // The panel shows characters 1-5 and 8-11 of the reading.
        static const QRegularExpression kShape(
            QStringLiteral("^(\\d{3}\\.\\d)  ([ \\d]\\d\\.\\d)\r$"));
        QSet<QByteArray> seen;
        double low = 1000, high = -1;
        for (int ms = 3000; ms <= 63000; ms += 500) {
            const QByteArray reply = *projector.handle("CR6", milliseconds{ms});
            const auto match = kShape.match(QString::fromLatin1(reply));
            QVERIFY2(match.hasMatch(), reply.constData());
            const double first = match.captured(1).toDouble();
            low = std::min(low, first);
            high = std::max(high, first);
            seen.insert(reply);
        }
        QVERIFY(seen.size() > 1);
        QVERIFY(high - low <= 1.0);
    }

    void theLampsWarmTheSensors()
    {
        Projector cold(1, kTiming);
        Projector warm(1, kTiming);
        warm.handle("C00", milliseconds{0});
        const QByteArray a = *cold.handle("CR6", milliseconds{5000});
        const QByteArray b = *warm.handle("CR6", milliseconds{5000});
        QVERIFY(b.left(5).toDouble() > a.left(5).toDouble());
        QVERIFY(b.mid(7, 4).toDouble() > a.mid(7, 4).toDouble());
    }

    void thePcTypeIsUpperCaseText()
    {
        Projector projector(1, kTiming);
        const QByteArray reply = *projector.handle("CR9", milliseconds{0});
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Z0-9]{3,}\r$"))
                    .match(QString::fromLatin1(reply))
                    .hasMatch());
    }

    void lampHoursStopAtFiveDigits()
    {
        Projector projector(1, {milliseconds{0}, milliseconds{0}, milliseconds{1}});
        projector.handle("C00", milliseconds{0});
        QCOMPARE(*projector.handle("CR3", milliseconds{500000}), QByteArray("99999\r"));
    }

    void framesReachTheProjectorsTheyAddress_data()
    {
        QTest::addColumn<int>("projectors");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QByteArray>("replies"); // all replies, in order
        QTest::addColumn<QString>("started");    // per projector: 1 if it began counting down

        QTest::newRow("no prefix: first projector")
            << 4 << QByteArray("C00\r") << 1 << QByteArray("\x06") << "1000";
        QTest::newRow("no prefix: lone projector")
            << 1 << QByteArray("C00\r") << 1 << QByteArray("\x06") << "1";
        QTest::newRow("broadcast: all act, none answers")
            << 4 << QByteArray("AFFFC00\r") << 1 << QByteArray() << "1111";
        QTest::newRow("broadcast: two projectors")
            << 2 << QByteArray("AFFFC00\r") << 1 << QByteArray() << "11";
        QTest::newRow("broadcast query: silence")
            << 4 << QByteArray("AFFFCR0\r") << 1 << QByteArray() << "0000";
        QTest::newRow("address 3")
            << 4 << QByteArray("A003C00\r") << 1 << QByteArray("\x06") << "0010";
        QTest::newRow("address 4")
            << 4 << QByteArray("A004C00\r") << 1 << QByteArray("\x06") << "0001";
        QTest::newRow("absent address 3")
            << 2 << QByteArray("A003C00\r") << 1 << QByteArray() << "00";
        QTest::newRow("unknown address 5")
            << 4 << QByteArray("A005C00\r") << 1 << QByteArray() << "0000";
        QTest::newRow("foreign prefix")
            << 4 << QByteArray("AXYZC00\r") << 1 << QByteArray() << "0000";
        QTest::newRow("addressed query") << 4 << QByteArray("A002C00\rA002CR0\rA001CR0\r") << 3
                                         << QByteArray("\x06"
                                                       "40\r80\r")
                                         << "0100";
        QTest::newRow("projectors keep their own state")
            << 3 << QByteArray("A002C07\rA002CR1\rA003CR1\rCR1\r") << 4
            << QByteArray("\x06"
                          "3\r1\r1\r")
            << "000";
        QTest::newRow("garbage is no frame")
            << 4 << QByteArray("C0\0\rC\n0\r", 8) << 0 << QByteArray() << "0000";
    }
    void framesReachTheProjectorsTheyAddress()
    {
        QFETCH(int, projectors);
        QFETCH(QByteArray, stream);
        QFETCH(int, frames);
        QFETCH(QByteArray, replies);
        QFETCH(QString, started);
        Line line(projectors, kTiming);
        QCOMPARE(line.projectorCount(), projectors);
        const auto exchanges = line.receive(stream, milliseconds{0});
        QCOMPARE(int(exchanges.size()), frames);
        QByteArray got;
        for (const auto &exchange : exchanges)
            got += exchange.reply.value_or(QByteArray());
        QCOMPARE(got, replies);
        QString counting;
        for (int n = 1; n <= projectors; ++n)
            counting += line.projector(n).power(milliseconds{1}) == Projector::Power::CountDown
                            ? u'1'
                            : u'0';
        QCOMPARE(counting, started);
    }

    void aBroadcastLampCodeChangesEveryProjector()
    {
        Line line(4, kTiming);
        line.receive("AFFFC00\rAFFFC72\r", milliseconds{0});
        const auto exchanges = line.receive("A001CR7\rA004CR7\r", milliseconds{3000});
        QCOMPARE(exchanges.size(), size_t(2));
        QCOMPARE(*exchanges[0].reply, QByteArray("26\r"));
        QCOMPARE(*exchanges[1].reply, QByteArray("26\r"));
    }
};

QTEST_GUILESS_MAIN(SimProjector)
#include "tst_simprojector.moc"
