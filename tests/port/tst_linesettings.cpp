// Reading settings texts, and how far the line falls behind at its speed.
#include "linebacklog.h"
#include "linesettings.h"

#include <QTest>

using namespace std::chrono_literals;

namespace tarn::test {

// A step is (milliseconds since start, bytes handed over, baud from then on, bytes
// expected waiting at that moment after the hand-over). 8N1 throughout, so one
// character is 10 bits: 960 characters a second at 9600 baud.
struct Step
{
    int atMs;
    int handedOver;
    int baud;
    int expectWaiting;
};
using Steps = QList<Step>;

} // namespace tarn::test

Q_DECLARE_METATYPE(tarn::test::Step)

namespace tarn::test {

class LineSettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void aWellFormedTextGivesItsLine_data();
    void aWellFormedTextGivesItsLine();
    void aMalformedTextSaysWhatIsWrong_data();
    void aMalformedTextSaysWhatIsWrong();
    void aCharacterTakesItsFrameOfBitsOnTheLine_data();
    void aCharacterTakesItsFrameOfBitsOnTheLine();
    void theLineSendsNoFasterThanItsSpeed_data();
    void theLineSendsNoFasterThanItsSpeed();
};

void LineSettingsTest::aWellFormedTextGivesItsLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");
    QTest::addColumn<QSerialPort::StopBits>("stopBits");

    QTest::newRow("19200 baud") << "19200,N,8,1" << 19200 << QSerialPort::NoParity
                                << QSerialPort::Data8 << QSerialPort::OneStop;
    QTest::newRow("9600 baud") << "9600,N,8,1" << 9600 << QSerialPort::NoParity
                               << QSerialPort::Data8 << QSerialPort::OneStop;
    QTest::newRow("even, 7 bits, 2 stop") << "4800,E,7,2" << 4800 << QSerialPort::EvenParity
                                          << QSerialPort::Data7 << QSerialPort::TwoStop;
    QTest::newRow("odd") << "1200,O,8,1" << 1200 << QSerialPort::OddParity << QSerialPort::Data8
                         << QSerialPort::OneStop;
    QTest::newRow("mark, 5 bits, 1.5 stop") << "110,M,5,1.5" << 110 << QSerialPort::MarkParity
                                            << QSerialPort::Data5 << QSerialPort::OneAndHalfStop;
    QTest::newRow("space, 6 bits") << "2400,S,6,1" << 2400 << QSerialPort::SpaceParity
                                   << QSerialPort::Data6 << QSerialPort::OneStop;
    QTest::newRow("lower-case parity") << "9600,n,8,1" << 9600 << QSerialPort::NoParity
                                       << QSerialPort::Data8 << QSerialPort::OneStop;
    QTest::newRow("spaces around fields") << " 9600 , E , 8 , 1 " << 9600 << QSerialPort::EvenParity
                                          << QSerialPort::Data8 << QSerialPort::OneStop;
}

void LineSettingsTest::aWellFormedTextGivesItsLine()
{
    QFETCH(QString, text);
    QFETCH(int, baud);
    QFETCH(QSerialPort::Parity, parity);
    QFETCH(QSerialPort::DataBits, dataBits);
    QFETCH(QSerialPort::StopBits, stopBits);

    const ParsedSettings parsed = parseSettings(text);
    QVERIFY2(parsed.settings, qPrintable(parsed.problem));
    QCOMPARE(parsed.settings->baudRate, baud);
    QCOMPARE(parsed.settings->parity, parity);
    QCOMPARE(parsed.settings->dataBits, dataBits);
    QCOMPARE(parsed.settings->stopBits, stopBits);
}

void LineSettingsTest::aMalformedTextSaysWhatIsWrong_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem");

    const QString fields = QStringLiteral("expected baud,parity,data bits,stop bits");
    const QString speed = QStringLiteral("the speed must be a whole number of baud");
    const QString parity = QStringLiteral("the parity must be N, E, O, M or S");
    const QString data = QStringLiteral("the data bits must be 5, 6, 7 or 8");
    const QString stop = QStringLiteral("the stop bits must be 1, 1.5 or 2");

    QTest::newRow("empty") << "" << fields;
    QTest::newRow("three fields") << "9600,N,8" << fields;
    QTest::newRow("five fields") << "9600,N,8,1,1" << fields;
    QTest::newRow("semicolons") << "9600;N;8;1" << fields;
    QTest::newRow("speed missing") << ",N,8,1" << speed;
    QTest::newRow("speed not a number") << "fast,N,8,1" << speed;
    QTest::newRow("speed zero") << "0,N,8,1" << speed;
    QTest::newRow("speed negative") << "-9600,N,8,1" << speed;
    QTest::newRow("speed fractional") << "9600.5,N,8,1" << speed;
    QTest::newRow("speed beyond any line") << "99999999999,N,8,1" << speed;
    QTest::newRow("parity unknown") << "9600,X,8,1" << parity;
    QTest::newRow("parity spelt out") << "9600,None,8,1" << parity;
    QTest::newRow("parity missing") << "9600,,8,1" << parity;
    QTest::newRow("4 data bits") << "9600,N,4,1" << data;
    QTest::newRow("9 data bits") << "9600,N,9,1" << data;
    QTest::newRow("0 stop bits") << "9600,N,8,0" << stop;
    QTest::newRow("3 stop bits") << "9600,N,8,3" << stop;
    QTest::newRow("2.5 stop bits") << "9600,N,8,2.5" << stop;
}

void LineSettingsTest::aMalformedTextSaysWhatIsWrong()
{
    QFETCH(QString, text);
    QFETCH(QString, problem);

    const ParsedSettings parsed = parseSettings(text);
    QVERIFY(!parsed.settings);
    QCOMPARE(parsed.problem, problem);
}

void LineSettingsTest::aCharacterTakesItsFrameOfBitsOnTheLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("nanoseconds");

    // start bit + data bits + parity bit + stop bits, at the baud rate
    QTest::newRow("19200 8N1: 10 bits") << "19200,N,8,1" << qint64(520'833);
    QTest::newRow("9600 8N1: 10 bits") << "9600,N,8,1" << qint64(1'041'666);
    QTest::newRow("9600 7E2: 11 bits") << "9600,E,7,2" << qint64(1'145'833);
    QTest::newRow("300 8N1.5: 10.5 bits") << "300,N,8,1.5" << qint64(35'000'000);
    QTest::newRow("110 5N1: 7 bits") << "110,N,5,1" << qint64(63'636'363);
}

void LineSettingsTest::aCharacterTakesItsFrameOfBitsOnTheLine()
{
    QFETCH(QString, text);
    QFETCH(qint64, nanoseconds);

    QCOMPARE(parseSettings(text).settings->characterTime().count(), nanoseconds);
}

void LineSettingsTest::theLineSendsNoFasterThanItsSpeed_data()
{
    QTest::addColumn<Steps>("steps");

    QTest::newRow("nothing handed over") << Steps{{0, 0, 9600, 0}, {100, 0, 9600, 0}};
    QTest::newRow("all waits at first") << Steps{{0, 96, 9600, 96}};
    QTest::newRow("half sent after 50 ms") << Steps{{0, 96, 9600, 96}, {50, 0, 9600, 48}};
    QTest::newRow("a started character still waits") << Steps{{0, 96, 9600, 96}, {49, 0, 9600, 49}};
    QTest::newRow("all sent after 100 ms") << Steps{{0, 96, 9600, 96}, {101, 0, 9600, 0}};
    QTest::newRow("twice as fast at 19200")
        << Steps{{0, 96, 19200, 96}, {25, 0, 19200, 48}, {51, 0, 19200, 0}};
    QTest::newRow("a second batch queues behind the first")
        << Steps{{0, 96, 9600, 96}, {50, 96, 9600, 144}, {150, 0, 9600, 48}};
    QTest::newRow("an idle line does not bank time")
        << Steps{{0, 96, 9600, 96}, {500, 96, 9600, 96}, {550, 0, 9600, 48}};
    QTest::newRow("a speed change applies to what is left")
        << Steps{{0, 96, 9600, 96}, {50, 0, 19200, 48}, {75, 0, 19200, 0}};
}

void LineSettingsTest::theLineSendsNoFasterThanItsSpeed()
{
    QFETCH(Steps, steps);

    const LineBacklog::Clock::time_point start{std::chrono::hours(1)};
    LineBacklog backlog;
    for (const Step &step : steps) {
        const auto now = start + std::chrono::milliseconds(step.atMs);
        LineSettings line;
        line.baudRate = step.baud;
        backlog.setCharacterTime(line.characterTime(), now);
        backlog.handOver(step.handedOver, now);
        QCOMPARE(backlog.waiting(now), step.expectWaiting);
    }
}

} // namespace tarn::test

QTEST_GUILESS_MAIN(tarn::test::LineSettingsTest)
#include "tst_linesettings.moc"
