// The projector simulator's model on virtual time: projectors, the line they share, the frame
// parser and its log form, the faults of the sending side, and the command line.
#include "line.h"
#include "options.h"
#include "transmitter.h"

#include <QRegularExpression>
#include <QTest>

using namespace tarn::sim;
using std::chrono::milliseconds;

namespace {

// Warm-up and cooling of 3 s, one lamp hour per 10 s of burning.
const Timing kTiming{milliseconds{3000}, milliseconds{3000}, milliseconds{10000}};

// The frames as "prefix:code" or "code", and after a slash the count of runs thrown away.
QString described(const std::vector<Frame> &frames, const FrameParser &parser)
{
    QStringList out;
    for (const Frame &frame : frames)
        out << QString::fromLatin1(frame.isAddressed() ? frame.prefix + ':' + frame.code
                                                       : frame.code);
    return out.join(u' ') + QStringLiteral(" / %1").arg(parser.discarded());
}

// Every value the command line sets, in the order of the usage text; -1 where none is set.
QList<qint64> values(const Options &o)
{
    return QList<qint64>() << o.projectors << o.timing.warmup.count() << o.timing.cooldown.count()
                           << o.timing.hour.count() << o.conditions.temperatureError
                           << o.conditions.powerSave << o.tcpPort.value_or(-1) << o.faults.silent
                           << o.faults.delay.count() << o.faults.latePercent << o.faults.split
                           << o.faults.noise << o.floodBaud.value_or(-1) << o.seed.value_or(-1)
                           << o.help;
}

} // namespace

class SimTest : public QObject
{
    Q_OBJECT
private slots:
    void eachCodeActsOnTheProjectorAndEachQueryAnswersFromIt_data()
    {
        QTest::addColumn<QString>("steps");    // "<ms> <code>"; every action but the last is acked
        QTest::addColumn<QString>("expected"); // the replies to the queries and to the last step
        const auto row = [](const char *name, const char *steps, const char *replies) {
            QTest::newRow(name) << QString(steps) << QString(replies);
        };
        row("power: counting down, on, cooling, standby",
            "0 C00, 2999 CR0, 3000 CR0, 4000 C01, 6999 CR0, 7000 CR0", "40\r 00\r 20\r 80\r");
        row("power: off while counting down cools", "0 C00, 1000 C01, 1500 CR0", "20\r");
        row("power: on while cooling and off in standby are ignored",
            "0 C00, 3000 C01, 4000 C00, 6000 CR0, 6001 C01, 6002 CR0", "80\r 80\r");
        row("input", "0 C08, 1 CR1, 2 C05, 3 CR1", "4\r 1\r");
        row("mutes: none while not on, then each",
            "0 C00, 0 C0D, 10 CRA, 11 C0B, 12 C0E, 3000 CRA, 3001 C0D, 3002 C0C, 3003 CRA",
            "FF\r 02\r 01\r");
        row("lamps: the chosen ones burn while the projector does",
            "0 CR7, 1 C72, 2 CR7, 3 C00, 4 CR7, 5 C70, 3004 CR7, 3005 C71, 3006 CR7, 3007 C01, "
            "3008 CR7",
            "00\r 20\r 26\r 0F\r 19\r 10\r");
        // Projector 2 starts at 1545 hours, 345 after projector 1.
        row("hours: only while burning", "0 CR3, 0 C00, 25000 CR3, 25000 C01, 100000 CR3",
            "01545\r 01547\r 01547\r");
        row("hours: counting down burns", "0 C00, 2000 C01, 5000 C00, 13000 C01, 40000 CR3",
            "01546\r");
        row("hours: five digits at most", "0 C00, 999999999 CR3", "99999\r");
        // Two sensors, about 34 and 41 degrees; the panel shows characters 1-5 and 8-11.
        row("temperatures", "1000 CR6", "034\\.[2-6]  4[01]\\.\\d\r");
        row("temperatures: the lamps warm them", "0 C00, 9000 CR6", "040\\.[2-6]  (49|50)\\.\\d\r");
        row("reversal, pc type", "0 CR4, 0 CR9", "11\r TSX4L20\r");
        row("actions, used or not", "0 C1E, 0 CFF", "\x06");
        row("unknown query", "0 CR2", "");
        row("lower-case action", "0 C0a", "");
        row("not a code", "0 XYZ", "");
    }
    void eachCodeActsOnTheProjectorAndEachQueryAnswersFromIt()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        Projector projector(2, kTiming);
        QStringList replies;
        const QStringList all = steps.split(QStringLiteral(", "));
        for (const QString &step : all) {
            const QByteArray code = step.section(u' ', 1).toLatin1();
            const auto reply =
                projector.handle(code, milliseconds{step.section(u' ', 0, 0).toInt()});
            if (code.startsWith("CR") || &step == &all.last())
                replies << QString::fromLatin1(reply.value_or(QByteArray()));
            else
                QCOMPARE(reply, QByteArray("\x06"));
        }
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expected))
                     .match(replies.join(u' '))
                     .hasMatch(),
                 qPrintable(replies.join(u' ')));
    }

    void framesReachTheProjectorsTheyAddress_data()
    {
        QTest::addColumn<int>("projectors");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("replies"); // all replies, in order
        QTest::addColumn<QString>("started");    // per projector on the line: 1 if it counts down
        const auto row = [](const char *name, int projectors, const char *stream,
                            const char *replies, const char *started) {
            QTest::newRow(name) << projectors << QByteArray(stream) << QByteArray(replies)
                                << QString(started);
        };
        row("no prefix: the first projector", 4, "C00\r", "\x06", "1000");
        row("broadcast: all act, none answers", 4, "AFFFC00\r", "", "1111");
        row("broadcast lamp choice reaches all", 4, "AFFFC72\rA001CR7\rA004CR7\r", "20\r20\r",
            "0000");
        row("address 4", 4, "A004C00\r", "\x06", "0001");
        row("absent address 3", 2, "A003C00\r", "", "00");
        row("foreign prefix", 4, "AXYZC00\r", "", "0000");
        row("no more than four projectors", 5, "A004C00\r", "\x06", "0001");
        row("each keeps its own state", 3, "A002C07\rA002CR1\rA003CR1\rCR1\r",
            "\x06"
            "3\r1\r1\r",
            "000");
    }
    void framesReachTheProjectorsTheyAddress()
    {
        QFETCH(int, projectors);
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, replies);
        QFETCH(QString, started);
        Line line(projectors, kTiming);
        QByteArray got;
        for (const auto &exchange : line.receive(stream, milliseconds{0}))
            got += exchange.reply.value_or(QByteArray());
        QCOMPARE(got, replies);
        QString counting;
        for (int n = 1; n <= line.projectorCount(); ++n)
            counting += line.projector(n).power(milliseconds{1}) == Projector::Power::CountDown
                            ? u'1'
                            : u'0';
        QCOMPARE(counting, started);
    }

    void wellFormedFramesComeOutAndGarbageIsDroppedUpToTheNextEnd_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("frames");
        QTest::newRow("plain code") << QByteArray("C00\r") << "C00 / 0";
        QTest::newRow("addressed") << QByteArray("A003CR7\rCRA\r") << "A003:CR7 CRA / 0";
        QTest::newRow("garbage between") << QByteArray("CR1\rxx\rA004C05\r") << "CR1 A004:C05 / 1";
        QTest::newRow("overlong") << QByteArray("AFFFC000\rCR0\r") << "CR0 / 1";
        QTest::newRow("too short") << QByteArray("C0\rCR0\r") << "CR0 / 1";
        QTest::newRow("seven characters without A") << QByteArray("BFFFC00\rC01\r") << "C01 / 1";
        QTest::newRow("a line feed spoils the next frame")
            << QByteArray("CR0\r\nCR0\rCR1\r") << "CR0 CR1 / 1";
        QTest::newRow("NUL, space, DEL and a high byte spoil a frame")
            << QByteArray("C\0"
                          "0\rC 0\rC0\x7f\rC\xff"
                          "0\rC00\r",
                          20)
            << "C00 / 4";
        QTest::newRow("empty runs are nothing") << QByteArray("\r\r\rCR0\r") << "CR0 / 0";
        QTest::newRow("no end yet") << QByteArray("CR0") << " / 0";
        QTest::newRow("endless garbage") << QByteArray(100'000, 'A') + "\rCR0\r"
                                         << "CR0 / 1";
    }
    void wellFormedFramesComeOutAndGarbageIsDroppedUpToTheNextEnd()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, frames);
        FrameParser whole;
        QCOMPARE(described(whole.feed(stream), whole), frames);
        FrameParser bytewise; // the other extreme of a stream cut anywhere
        std::vector<Frame> got;
        for (const char c : stream) {
            for (Frame &frame : bytewise.feed(QByteArrayView(&c, 1)))
                got.push_back(frame);
            QVERIFY(bytewise.pending() <= FrameParser::kMaxBody);
        }
        QCOMPARE(described(got, bytewise), frames);
    }

    void repliesGoOutInOrderShapedByTheFaults_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<int>("firstTake");  // when the event loop first asks, in ms
        QTest::addColumn<QString>("writes"); // "<ms>:<bytes>" for each write
        const auto row = [](const char *faults, int firstTake, const char *writes) {
            QTest::newRow(faults) << QString(faults) << firstTake << QString(writes);
        };
        row("none", 0, "0:80\r\x06");
        row("delay", 0, "40:80\r\x06");
        row("split", 0, "0:8 2:0 4:\r 6:\x06");
        row("split delay", 0, "40:8 42:0 44:\r 46:\x06");
        row("split, the loop coming back late", 50, "50:8 52:0 54:\r 56:\x06");
        row("silent", 0, "");
    }
    void repliesGoOutInOrderShapedByTheFaults()
    {
        QFETCH(QString, faults);
        QFETCH(int, firstTake);
        QFETCH(QString, writes);
        Faults shape;
        shape.silent = faults.contains(u"silent");
        shape.split = faults.contains(u"split");
        shape.delay = milliseconds{faults.contains(u"delay") ? 40 : 0};
        Transmitter transmitter(shape, 1);
        transmitter.send("80\r", milliseconds{0});
        transmitter.send("\x06", milliseconds{0});
        QCOMPARE(transmitter.nextDue(), shape.silent ? std::nullopt : std::optional(shape.delay));
        QStringList got;
        QList<QByteArray> replies;
        for (int ms = firstTake; ms <= 100; ++ms) {
            const Transmitter::Output out = transmitter.take(milliseconds{ms});
            if (!out.bytes.isEmpty())
                got << QStringLiteral("%1:%2").arg(ms).arg(QString::fromLatin1(out.bytes));
            replies << out.replies;
        }
        QCOMPARE(got.join(u' '), writes);
        QCOMPARE(replies, (shape.silent ? QList<QByteArray>{} : QList<QByteArray>{"80\r", "\x06"}));
        QCOMPARE(transmitter.nextDue(), std::nullopt);
    }

    void noiseAddsOneToThreeStrayBytesOfEveryKindBeforeTheEnd()
    {
        Faults faults;
        faults.noise = true;
        QSet<int> kinds; // NUL, another control byte, DEL, a high byte
        for (quint32 seed = 1; seed <= 200; ++seed) {
            Transmitter transmitter(faults, seed);
            transmitter.send("035.2  41.8\r", milliseconds{0});
            const auto out = transmitter.take(milliseconds{0});
            QCOMPARE(out.replies, QList<QByteArray>{out.bytes}); // logged as it went out
            QByteArray reply;
            for (const char c : out.bytes) {
                const auto u = static_cast<unsigned char>(c);
                if ((u >= 32 && u < 127) || c == '\r')
                    reply += c;
                else
                    kinds.insert(u == 0 ? 0 : u < 32 ? 1 : u == 127 ? 2 : 3);
            }
            QCOMPARE(reply, "035.2  41.8\r");
            QVERIFY(out.bytes.endsWith('\r') && out.bytes.size() > 12 && out.bytes.size() <= 15);
        }
        QCOMPARE(kinds.size(), 4);
    }

    void theCommandLineSetsEveryOptionOrSaysWhatIsWrong()
    {
        const auto parse = [](const char *arguments) {
            return parseOptions(QString(arguments).split(u' ', Qt::SkipEmptyParts));
        };
        QCOMPARE(values(std::get<Options>(parse(""))), values(Options{}));
        QCOMPARE(values(std::get<Options>(parse(
                     "--projectors 1 --warmup=0 --cooldown 20 --hour-ms 1 --temperature-error "
                     "--tcp 65535 --silent --delay 7 --late 100 --split --noise --flood 9600 "
                     "--seed 4294967295"))),
                 (QList<qint64>{1, 0, 20, 1, 1, 0, 65535, 1, 7, 100, 1, 1, 9600, 4294967295, 0}));
        const Options other = std::get<Options>(parse("-h --power-save --link /tmp/com"));
        QVERIFY(other.help && other.conditions.powerSave && !other.conditions.temperatureError);
        QCOMPARE(other.link, "/tmp/com");
        for (const auto &[arguments, problem] :
             {std::pair{"extra", "unexpected argument 'extra'"},
              {"--link=", "--link needs a path"},
              {"--tcp 0 --link /tmp/com", "--link makes no sense with --tcp"}})
            QCOMPARE(std::get<QString>(parse(arguments)), problem);
        QVERIFY(usage().contains(QLatin1String("--flood BAUD")));
    }
};

QTEST_GUILESS_MAIN(SimTest)
#include "tst_sim.moc"
