#include "frameparser.h"
#include "options.h"

#include <QTest>

using namespace tarn::sim;

namespace {

QStringList texts(const std::vector<Frame> &frames)
{
    QStringList out;
    for (const Frame &frame : frames)
        out << QString::fromLatin1(frame.text());
    return out;
}

} // namespace

class SimFrames : public QObject
{
    Q_OBJECT

private slots:
    void framesSurviveBeingCutAtAnyPoint_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("plain code") << QByteArray("C00\r") << QStringList{"C00"};
        QTest::newRow("broadcast") << QByteArray("AFFFC00\r") << QStringList{"AFFFC00"};
        QTest::newRow("two frames")
            << QByteArray("CR0\rA002CR7\r") << QStringList{"CR0", "A002CR7"};
        QTest::newRow("garbage between")
            << QByteArray("CR1\rxx\n\rA004C05\r") << QStringList{"CR1", "A004C05"};
    }
    void framesSurviveBeingCutAtAnyPoint()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, frames);
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            FrameParser parser;
            std::vector<Frame> got = parser.feed(stream.left(cut));
            for (Frame &frame : parser.feed(stream.mid(cut)))
                got.push_back(frame);
            QCOMPARE(texts(got), frames);
            QCOMPARE(parser.pending(), 0);
        }
        FrameParser bytewise;
        std::vector<Frame> got;
        for (const char c : stream) {
            for (Frame &frame : bytewise.feed(QByteArrayView(&c, 1)))
                got.push_back(frame);
        }
        QCOMPARE(texts(got), frames);
    }

    void anAddressedFrameSplitsIntoPrefixAndCode()
    {
        FrameParser parser;
        const auto frames = parser.feed("A003CR7\rCRA\r");
        QCOMPARE(frames.size(), size_t(2));
        QCOMPARE(frames[0].prefix, QByteArray("A003"));
        QCOMPARE(frames[0].code, QByteArray("CR7"));
        QVERIFY(!frames[0].isBroadcast());
        QVERIFY(frames[1].prefix.isEmpty());
        QCOMPARE(frames[1].code, QByteArray("CRA"));
    }

    void garbageIsDroppedUpToTheNextCarriageReturn_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<int>("discarded");
        QTest::newRow("overlong") << QByteArray("AFFFC000\rCR0\r") << QStringList{"CR0"} << 1;
        QTest::newRow("too short") << QByteArray("C0\rCR0\r") << QStringList{"CR0"} << 1;
        QTest::newRow("five characters") << QByteArray("AFFFC\r") << QStringList{} << 1;
        QTest::newRow("eight-character run without A")
            << QByteArray("BFFFC00\rC01\r") << QStringList{"C01"} << 1;
        QTest::newRow("line feed inside") << QByteArray("C\n00\rCR1\r") << QStringList{"CR1"} << 1;
        QTest::newRow("line feed after a frame spoils the next")
            << QByteArray("CR0\r\nCR0\rCR1\r") << QStringList{"CR0", "CR1"} << 1;
        QTest::newRow("NUL") << QByteArray("C\0"
                                           "0\rC00\r",
                                           8)
                             << QStringList{"C00"} << 1;
        QTest::newRow("DEL") << QByteArray("C0\x7f\rC00\r") << QStringList{"C00"} << 1;
        QTest::newRow("high byte") << QByteArray("C\xff"
                                                 "0\rC00\r")
                                   << QStringList{"C00"} << 1;
        QTest::newRow("space") << QByteArray("C 0\rC00\r") << QStringList{"C00"} << 1;
        QTest::newRow("empty runs are nothing")
            << QByteArray("\r\r\rCR0\r") << QStringList{"CR0"} << 0;
        QTest::newRow("no end yet") << QByteArray("CR0") << QStringList{} << 0;
    }
    void garbageIsDroppedUpToTheNextCarriageReturn()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, frames);
        QFETCH(int, discarded);
        FrameParser parser;
        QCOMPARE(texts(parser.feed(stream)), frames);
        QCOMPARE(parser.discarded(), quint64(discarded));
    }

    void endlessGarbageIsHeldInABoundedBuffer()
    {
        FrameParser parser;
        const QByteArray junk(1 << 20, 'A');
        for (int i = 0; i < 8; ++i) {
            QVERIFY(parser.feed(junk).empty());
            QVERIFY(parser.pending() <= 8);
        }
        QCOMPARE(texts(parser.feed("\rCR0\r")), QStringList{"CR0"});
    }

    void aRestartForgetsAHalfReceivedFrame()
    {
        FrameParser parser;
        parser.feed("A00");
        parser.reset();
        QCOMPARE(texts(parser.feed("CR0\r")), QStringList{"CR0"});
    }

    void logLinesShowControlBytesEscaped_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("frame") << QByteArray("AFFFC00\r") << QByteArray("AFFFC00\\r");
        QTest::newRow("ack") << QByteArray("\x06") << QByteArray("\\x06");
        QTest::newRow("line feed") << QByteArray("0\n") << QByteArray("0\\n");
        QTest::newRow("NUL") << QByteArray("\0", 1) << QByteArray("\\x00");
        QTest::newRow("DEL and high") << QByteArray("\x7f\xff") << QByteArray("\\x7f\\xff");
        QTest::newRow("backslash") << QByteArray("a\\b") << QByteArray("a\\\\b");
        QTest::newRow("spaces kept") << QByteArray("035.2  41.8\r") << QByteArray("035.2  41.8\\r");
    }
    void logLinesShowControlBytesEscaped()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, logged);
        QCOMPARE(escaped(bytes), logged);
    }

    void unusableCommandLinesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--bogus"};
        QTest::newRow("stray word") << QStringList{"extra"};
        QTest::newRow("missing value") << QStringList{"--delay"};
        QTest::newRow("not a number") << QStringList{"--warmup", "soon"};
        QTest::newRow("no projectors") << QStringList{"--projectors", "0"};
        QTest::newRow("five projectors") << QStringList{"--projectors=5"};
        QTest::newRow("negative delay") << QStringList{"--delay", "-1"};
        QTest::newRow("zero hour") << QStringList{"--hour-ms", "0"};
        QTest::newRow("port too high") << QStringList{"--tcp", "65536"};
        QTest::newRow("zero baud") << QStringList{"--flood", "0"};
        QTest::newRow("switch with value") << QStringList{"--split=yes"};
        QTest::newRow("empty link") << QStringList{"--link="};
        QTest::newRow("link with tcp") << QStringList{"--tcp", "0", "--link", "/tmp/x"};
    }
    void unusableCommandLinesAreRefused()
    {
        QFETCH(QStringList, arguments);
        const auto parsed = parseOptions(arguments);
        QVERIFY(std::holds_alternative<QString>(parsed));
        QVERIFY(!std::get<QString>(parsed).isEmpty());
    }

    void everyOptionReachesItsSetting()
    {
        const auto parsed =
            parseOptions({"--projectors", "2", "--warmup=10", "--cooldown", "20", "--hour-ms", "5",
                          "--delay", "7", "--split", "--noise", "--silent", "--flood", "9600",
                          "--seed", "3", "--tcp", "0"});
        QVERIFY(std::holds_alternative<Options>(parsed));
        const Options &o = std::get<Options>(parsed);
        QCOMPARE(o.projectors, 2);
        QCOMPARE(o.timing.warmup.count(), 10);
        QCOMPARE(o.timing.cooldown.count(), 20);
        QCOMPARE(o.timing.hour.count(), 5);
        QCOMPARE(o.faults.delay.count(), 7);
        QVERIFY(o.faults.split && o.faults.noise && o.faults.silent);
        QCOMPARE(o.floodBaud, std::optional<int>(9600));
        QCOMPARE(o.seed, std::optional<quint32>(3));
        QCOMPARE(o.tcpPort, std::optional<quint16>(0));
        QVERIFY(!o.help);
    }

    void theHelpNamesEveryOption()
    {
        const QString help = usage();
        for (const char *name :
             {"--projectors", "--warmup", "--cooldown", "--hour-ms", "--tcp", "--link", "--silent",
              "--delay", "--split", "--noise", "--flood", "--help"})
            QVERIFY2(help.contains(QLatin1String(name)), name);
    }
};

QTEST_GUILESS_MAIN(SimFrames)
#include "tst_simframes.moc"
