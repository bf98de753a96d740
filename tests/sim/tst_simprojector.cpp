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
        const auto row = [](const char *name, const QStringList &steps, int at, const char *code,
                            const char *reply) {
            QTest::newRow(name) << steps << at << QByteArray(code) << QByteArray(reply);
        };
        row("power: standby", {}, 0, "CR0", "80\r");
        row("power: counting down", {"0 C00"}, 2999, "CR0", "40\r");
        row("power: on after warm-up", {"0 C00"}, 3000, "CR0", "00\r");
        row("power: cooling down", {"0 C00", "4000 C01"}, 6999, "CR0", "20\r");
        row("power: standby after cooling", {"0 C00", "4000 C01"}, 7000, "CR0", "80\r");
        row("power: off during count-down cools", {"0 C00", "1000 C01"}, 1500, "CR0", "20\r");
        row("power: on while cooling is ignored", {"0 C00", "3000 C01", "4000 C00"}, 6000, "CR0",
            "80\r");
        row("power: off in standby is ignored", {"0 C01"}, 10, "CR0", "80\r");
        row("power: on again when on stays on", {"0 C00", "5000 C00"}, 5001, "CR0", "00\r");

        row("input: first at start", {}, 0, "CR1", "1\r");
        row("input: 3", {"0 C07"}, 0, "CR1", "3\r");
        row("input: 4 then 1", {"0 C08", "1 C05"}, 2, "CR1", "1\r");

        row("mute: standby", {"0 C0D"}, 0, "CRA", "FF\r");
        row("mute: none", {"0 C00"}, 3000, "CRA", "00\r");
        row("mute: no-show", {"0 C00", "0 C0D"}, 3000, "CRA", "01\r");
        row("mute: sound", {"0 C00", "0 C0B"}, 3000, "CRA", "02\r");
        row("mute: both", {"0 C0B", "0 C00", "3100 C0D"}, 3200, "CRA", "03\r");
        row("mute: no-show off", {"0 C00", "0 C0D", "0 C0B", "1 C0E"}, 3000, "CRA", "02\r");
        row("mute: sound off", {"0 C00", "0 C0D", "0 C0B", "1 C0C"}, 3000, "CRA", "01\r");

        row("lamps: standby", {}, 0, "CR7", "00\r");
        row("lamps: counting down", {"0 C00"}, 10, "CR7", "0F\r");
        row("lamps: four burning", {"0 C00"}, 3000, "CR7", "0F\r");
        row("lamps: 1 and 4", {"0 C00", "0 C71"}, 3000, "CR7", "19\r");
        row("lamps: 2 and 3", {"0 C00", "0 C72"}, 3000, "CR7", "26\r");
        row("lamps: back to four", {"0 C72", "0 C00", "1 C70"}, 3000, "CR7", "0F\r");
        row("lamps: mode kept in standby", {"0 C72"}, 0, "CR7", "20\r");
        row("lamps: out while cooling", {"0 C00", "0 C71", "3000 C01"}, 3001, "CR7", "10\r");

        row("hours: at start", {}, 0, "CR3", "01200\r");
        row("hours: while burning", {"0 C00"}, 25000, "CR3", "01202\r");
        row("hours: not in standby", {"0 C00", "20000 C01"}, 100000, "CR3", "01202\r");
        row("hours: count-down burns", {"0 C00", "2000 C01", "5000 C00", "13000 C01"}, 40000, "CR3",
            "01201\r");

        row("reversal", {}, 0, "CR4", "11\r");
        row("action acknowledged", {}, 0, "C1E", "\x06");
        row("unused action acknowledged", {}, 0, "CFF", "\x06");
        row("unknown query", {}, 0, "CR2", "");
        row("lower-case action", {}, 0, "C0a", "");
        row("not a code", {}, 0, "XYZ", "");
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
        const auto row = [](const char *name, int projectors, const QByteArray &stream, int frames,
                            const char *replies, const char *started) {
            QTest::newRow(name) << projectors << stream << frames << QByteArray(replies)
                                << QString(started);
        };
        row("no prefix: first projector", 4, "C00\r", 1, "\x06", "1000");
        row("no prefix: lone projector", 1, "C00\r", 1, "\x06", "1");
        row("broadcast: all act, none answers", 4, "AFFFC00\r", 1, "", "1111");
        row("broadcast query: silence", 4, "AFFFCR0\r", 1, "", "0000");
        row("address 4", 4, "A004C00\r", 1, "\x06", "0001");
        row("absent address 3", 2, "A003C00\r", 1, "", "00");
        row("unknown address 5", 4, "A005C00\r", 1, "", "0000");
        row("foreign prefix", 4, "AXYZC00\r", 1, "", "0000");
        row("addressed query", 4, "A002C00\rA002CR0\rA001CR0\r", 3, "\00640\r80\r", "0100");
        row("projectors keep their own state", 3, "A002C07\rA002CR1\rA003CR1\rCR1\r", 4,
            "\0063\r1\r1\r", "000");
        row("garbage is no frame", 4, QByteArray("C0\0\rC\n0\r", 8), 0, "", "0000");
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
