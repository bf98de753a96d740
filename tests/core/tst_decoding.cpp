// Replies to the eight queries, turned into STATUS texts.
#include "replies/decoding.h"
#include "traffic/rendering.h"

#include <QTest>

using namespace tarn;

namespace {
const QString kUnchanged = QStringLiteral("<unchanged>");

QString decode(const QByteArray &reply, const QByteArray &frame, const QByteArray &prefix = {})
{
    return decodeReply(renderMonitor(reply), frame, prefix).value_or(kUnchanged);
}
} // namespace

class DecodingTest : public QObject
{
    Q_OBJECT
private slots:
    void tableRepliesGiveTheirTexts_data();
    void tableRepliesGiveTheirTexts();
    void lampModeCoversModesAndMasks_data();
    void lampModeCoversModesAndMasks();
    void lampHoursAndTemperaturesCutTheRendering_data();
    void lampHoursAndTemperaturesCutTheRendering();
    void onlyTheLastSentQueryFrameIsDecoded_data();
    void onlyTheLastSentQueryFrameIsDecoded();
};

void DecodingTest::tableRepliesGiveTheirTexts_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");

    QTest::newRow("power on") << QByteArray("CR0\r") << QByteArray("00\r") << " Power ON";
    QTest::newRow("standby") << QByteArray("CR0\r") << QByteArray("80\r") << " Stand by";
    QTest::newRow("count down") << QByteArray("CR0\r") << QByteArray("40\r") << " Count down";
    QTest::newRow("cooling") << QByteArray("CR0\r") << QByteArray("20\r") << " Cooling down";
    QTest::newRow("power fault") << QByteArray("CR0\r") << QByteArray("10\r")
                                 << " Power abnormality";
    QTest::newRow("temp 08") << QByteArray("CR0\r") << QByteArray("08\r")
                             << " Temperature abnormality";
    QTest::newRow("temp 28") << QByteArray("CR0\r") << QByteArray("28\r")
                             << " Temperature abnormality";
    QTest::newRow("temp 88") << QByteArray("CR0\r") << QByteArray("88\r")
                             << " Temperature abnormality";
    QTest::newRow("key lock") << QByteArray("CR0\r") << QByteArray("02\r")
                              << " Key input prohibition";
    QTest::newRow("power save") << QByteArray("CR0\r") << QByteArray("04\r") << " Power save";
    QTest::newRow("cooling for save")
        << QByteArray("CR0\r") << QByteArray("24\r") << " Cooling down for power save";
    QTest::newRow("status without cr") << QByteArray("CR0\r") << QByteArray("80") << " Stand by";
    QTest::newRow("status half a reply") << QByteArray("CR0\r") << QByteArray("0") << kUnchanged;
    QTest::newRow("status unknown") << QByteArray("CR0\r") << QByteArray("99\r") << kUnchanged;
    QTest::newRow("status after ack") << QByteArray("CR0\r")
                                      << QByteArray("\x06"
                                                    "00\r")
                                      << kUnchanged;
    QTest::newRow("status ack alone") << QByteArray("CR0\r") << QByteArray("\x06") << kUnchanged;
    QTest::newRow("mute lower case") << QByteArray("CRA\r") << QByteArray("ff\r") << kUnchanged;

    QTest::newRow("input 1") << QByteArray("CR1\r") << QByteArray("1\r") << " Input mode 1";
    QTest::newRow("input 3") << QByteArray("CR1\r") << QByteArray("3\r") << " Input mode 3";
    QTest::newRow("input 4") << QByteArray("CR1\r") << QByteArray("4\r") << " Input mode 4";
    QTest::newRow("input first char only")
        << QByteArray("CR1\r") << QByteArray("31\r") << " Input mode 3";
    QTest::newRow("input 5 unknown") << QByteArray("CR1\r") << QByteArray("5\r") << kUnchanged;
    QTest::newRow("input empty") << QByteArray("CR1\r") << QByteArray() << kUnchanged;

    QTest::newRow("normal") << QByteArray("CR4\r") << QByteArray("11\r") << " Normally";
    QTest::newRow("top bottom") << QByteArray("CR4\r") << QByteArray("10\r")
                                << " Top/Bottom reversal";
    QTest::newRow("left right") << QByteArray("CR4\r") << QByteArray("01\r")
                                << " Left/Right reversal";
    QTest::newRow("both") << QByteArray("CR4\r") << QByteArray("00\r")
                          << " Top/Bottom , Left/Right reversal";

    QTest::newRow("mute off") << QByteArray("CRA\r") << QByteArray("00\r")
                              << " Video & Audio mute OFF";
    QTest::newRow("video mute") << QByteArray("CRA\r") << QByteArray("01\r") << " Video mute ON";
    QTest::newRow("audio mute") << QByteArray("CRA\r") << QByteArray("02\r") << " Audio mute ON";
    QTest::newRow("both mute") << QByteArray("CRA\r") << QByteArray("03\r")
                               << " Video & Audio mute ON";
    QTest::newRow("no signal") << QByteArray("CRA\r") << QByteArray("80\r") << " No signal";
    QTest::newRow("mute standby") << QByteArray("CRA\r") << QByteArray("FF\r") << " Stand by";

    QTest::newRow("pc type whole text")
        << QByteArray("CR9\r") << QByteArray("ABC\r") << " A B C CR ";
    QTest::newRow("pc type ack") << QByteArray("CR9\r") << QByteArray("\x06") << " &";
    QTest::newRow("pc type empty") << QByteArray("CR9\r") << QByteArray() << " ";
}

void DecodingTest::tableRepliesGiveTheirTexts()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    QCOMPARE(decode(reply, frame), status);
}

void DecodingTest::lampModeCoversModesAndMasks_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");

    QTest::newRow("00") << QByteArray("00\r") << " All OFF : 4 Lamp mode";
    QTest::newRow("01") << QByteArray("01\r") << " No1 ON  : 4 Lamp mode";
    QTest::newRow("05") << QByteArray("05\r") << " No1,3 ON  : 4 Lamp mode";
    QTest::newRow("0F") << QByteArray("0F\r") << " All ON  : 4 Lamp mode";
    QTest::newRow("19") << QByteArray("19\r") << " No1,4 ON  : 2 Lamp mode(1,4)";
    QTest::newRow("1A") << QByteArray("1A\r") << " No2,4 ON  : 2 Lamp mode(1,4)";
    QTest::newRow("17") << QByteArray("17\r") << " No1,2,3 ON  : 2 Lamp mode(1,4)";
    QTest::newRow("26") << QByteArray("26\r") << " No2,3 ON  : 2 Lamp mode(2,3)";
    QTest::newRow("2B") << QByteArray("2B\r") << " No1,2,4 ON  : 2 Lamp mode(2,3)";
    QTest::newRow("2C") << QByteArray("2C\r") << " No3,4 ON  : 2 Lamp mode(2,3)";
    QTest::newRow("2D") << QByteArray("2D\r") << " No1,3,4 ON  : 2 Lamp mode(2,3)";
    QTest::newRow("2E") << QByteArray("2E\r") << " No2,3,4 ON  : 2 Lamp mode(2,3)";
    QTest::newRow("2F") << QByteArray("2F\r") << " All ON  : 2 Lamp mode(2,3)";
    QTest::newRow("08") << QByteArray("08\r") << " No4 ON  : 4 Lamp mode";
    QTest::newRow("lower case mask") << QByteArray("1a\r") << kUnchanged;
    QTest::newRow("mode 3") << QByteArray("3F\r") << kUnchanged;
    QTest::newRow("mask G") << QByteArray("0G\r") << kUnchanged;
    QTest::newRow("one char") << QByteArray("1") << kUnchanged;
    QTest::newRow("noise first") << QByteArray("\x7f"
                                               "0F")
                                 << kUnchanged;
}

void DecodingTest::lampModeCoversModesAndMasks()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    QCOMPARE(decode(reply, "CR7\r"), status);
}

void DecodingTest::lampHoursAndTemperaturesCutTheRendering_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");

    QTest::newRow("hours short") << QByteArray("CR3\r") << QByteArray("12345\r")
                                 << " 1 2 3 4 5 CR  Hour Use";
    QTest::newRow("hours empty") << QByteArray("CR3\r") << QByteArray() << "  Hour Use";
    QTest::newRow("hours ack") << QByteArray("CR3\r") << QByteArray("\x06") << " & Hour Use";
    QTest::newRow("hours exactly 19 chars")
        << QByteArray("CR3\r") << QByteArray("ABCDEFGHIJKLMNOPQRS")
        << " A B C D E F G H I J K L M N O P Q R S Hour Use";
    QTest::newRow("hours long") << QByteArray("CR3\r") << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ\r")
                                << " A B C D E F G H I J K L M N O P Q R S Hour Use";
    QTest::newRow("temps full") << QByteArray("CR6\r") << QByteArray("ABCDEFGHIJK\r")
                                << "  S1= A B C D E C  ,   S2=  H I J K C";
    QTest::newRow("temps short") << QByteArray("CR6\r") << QByteArray("ABC\r")
                                 << "  S1= A B C CR  C  ,   S2=  C";
    QTest::newRow("temps empty") << QByteArray("CR6\r") << QByteArray() << "  S1=  C  ,   S2=  C";
    QTest::newRow("temps seven chars")
        << QByteArray("CR6\r") << QByteArray("1234567") << "  S1= 1 2 3 4 5 C  ,   S2=   C";
    QTest::newRow("temps eight chars")
        << QByteArray("CR6\r") << QByteArray("12345678") << "  S1= 1 2 3 4 5 C  ,   S2=  8  C";
    QTest::newRow("temps reading") << QByteArray("CR6\r") << QByteArray("035.2  41.8\r")
                                   << "  S1= 0 3 5 . 2 C  ,   S2=  4 1 . 8 C";
}

void DecodingTest::lampHoursAndTemperaturesCutTheRendering()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    QCOMPARE(decode(reply, frame), status);
}

void DecodingTest::onlyTheLastSentQueryFrameIsDecoded_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QString>("status");

    QTest::newRow("broadcast query")
        << QByteArray("AFFFCR0\r") << QByteArray("AFFF") << " Power ON";
    QTest::newRow("addressed query")
        << QByteArray("A001CR0\r") << QByteArray("A001") << " Power ON";
    QTest::newRow("prefix changed since")
        << QByteArray("CR0\r") << QByteArray("A003") << kUnchanged;
    QTest::newRow("frame for another address")
        << QByteArray("A002CR0\r") << QByteArray("A001") << kUnchanged;
    QTest::newRow("action code") << QByteArray("C00\r") << QByteArray() << kUnchanged;
    QTest::newRow("nothing sent yet") << QByteArray() << QByteArray() << kUnchanged;
    QTest::newRow("query without cr") << QByteArray("CR0") << QByteArray() << kUnchanged;
    QTest::newRow("unknown read code") << QByteArray("CR2\r") << QByteArray() << kUnchanged;
    QTest::newRow("lower case query") << QByteArray("cr0\r") << QByteArray() << kUnchanged;
}

void DecodingTest::onlyTheLastSentQueryFrameIsDecoded()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, prefix);
    QFETCH(QString, status);
    QCOMPARE(decode("00\r", frame, prefix), status);
}

QTEST_APPLESS_MAIN(DecodingTest)
#include "tst_decoding.moc"
