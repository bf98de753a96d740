// Replies to the eight queries, turned into STATUS texts.
#include "replies/decoding.h"
#include "traffic/rendering.h"

#include <QTest>

using namespace tarn;

namespace {
const QString kUnchanged = QStringLiteral("<unchanged>");

// One row: the frame last sent, the reply as it arrived, the STATUS text it gives.
void row(const char *name, const QByteArray &frame, const QByteArray &reply, const QString &status,
         const QByteArray &prefix = {})
{
    QTest::newRow(name) << frame << reply << status << prefix;
}
} // namespace

class DecodingTest : public QObject
{
    Q_OBJECT
private slots:
    void repliesToTheLastSentQueryGiveTheirTexts_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("prefix");

        row("power on", "CR0\r", "00\r", " Power ON");
        row("standby", "CR0\r", "80\r", " Stand by");
        row("count down", "CR0\r", "40\r", " Count down");
        row("cooling", "CR0\r", "20\r", " Cooling down");
        row("power fault", "CR0\r", "10\r", " Power abnormality");
        row("temp 08", "CR0\r", "08\r", " Temperature abnormality");
        row("temp 28", "CR0\r", "28\r", " Temperature abnormality");
        row("temp 88", "CR0\r", "88\r", " Temperature abnormality");
        row("key lock", "CR0\r", "02\r", " Key input prohibition");
        row("power save", "CR0\r", "04\r", " Power save");
        row("cooling for save", "CR0\r", "24\r", " Cooling down for power save");
        row("status without cr", "CR0\r", "80", " Stand by");
        row("status half a reply", "CR0\r", "0", kUnchanged);
        row("status unknown", "CR0\r", "99\r", kUnchanged);
        row("status after ack", "CR0\r", "\00600\r", kUnchanged);
        row("status ack alone", "CR0\r", "\x06", kUnchanged);

        row("input 1", "CR1\r", "1\r", " Input mode 1");
        row("input 4", "CR1\r", "4\r", " Input mode 4");
        row("input first char only", "CR1\r", "31\r", " Input mode 3");
        row("input 5 unknown", "CR1\r", "5\r", kUnchanged);
        row("input empty", "CR1\r", "", kUnchanged);

        row("normal", "CR4\r", "11\r", " Normally");
        row("top bottom", "CR4\r", "10\r", " Top/Bottom reversal");
        row("left right", "CR4\r", "01\r", " Left/Right reversal");
        row("both", "CR4\r", "00\r", " Top/Bottom , Left/Right reversal");

        row("mute off", "CRA\r", "00\r", " Video & Audio mute OFF");
        row("video mute", "CRA\r", "01\r", " Video mute ON");
        row("audio mute", "CRA\r", "02\r", " Audio mute ON");
        row("both mute", "CRA\r", "03\r", " Video & Audio mute ON");
        row("no signal", "CRA\r", "80\r", " No signal");
        row("mute standby", "CRA\r", "FF\r", " Stand by");
        row("mute lower case", "CRA\r", "ff\r", kUnchanged);

        row("pc type whole text", "CR9\r", "ABC\r", " A B C CR ");
        row("pc type ack", "CR9\r", "\x06", " &");
        row("pc type empty", "CR9\r", "", " ");

        row("lamps all off", "CR7\r", "00\r", " All OFF : 4 Lamp mode");
        row("lamp 1", "CR7\r", "01\r", " No1 ON  : 4 Lamp mode");
        row("lamp 4", "CR7\r", "08\r", " No4 ON  : 4 Lamp mode");
        row("lamps 1 and 3", "CR7\r", "05\r", " No1,3 ON  : 4 Lamp mode");
        row("lamps all on", "CR7\r", "0F\r", " All ON  : 4 Lamp mode");
        row("two-lamp mode 1,4", "CR7\r", "19\r", " No1,4 ON  : 2 Lamp mode(1,4)");
        row("three lamps", "CR7\r", "17\r", " No1,2,3 ON  : 2 Lamp mode(1,4)");
        row("two-lamp mode 2,3", "CR7\r", "26\r", " No2,3 ON  : 2 Lamp mode(2,3)");
        row("three lamps, mask letter", "CR7\r", "2D\r", " No1,3,4 ON  : 2 Lamp mode(2,3)");
        row("all on in two-lamp mode", "CR7\r", "2F\r", " All ON  : 2 Lamp mode(2,3)");
        row("lamps lower-case mask", "CR7\r", "1a\r", kUnchanged);
        row("lamps mode 3", "CR7\r", "3F\r", kUnchanged);
        row("lamps mask G", "CR7\r", "0G\r", kUnchanged);
        row("lamps one char", "CR7\r", "1", kUnchanged);
        row("lamps noise first", "CR7\r", "\1770F", kUnchanged);

        // Lamp hours and temperatures cut the rendering rather than read numbers.
        row("hours short", "CR3\r", "12345\r", " 1 2 3 4 5 CR  Hour Use");
        row("hours empty", "CR3\r", "", "  Hour Use");
        row("hours ack", "CR3\r", "\x06", " & Hour Use");
        row("hours long", "CR3\r", "ABCDEFGHIJKLMNOPQRSTUVWXYZ\r",
            " A B C D E F G H I J K L M N O P Q R S Hour Use");
        row("temps full", "CR6\r", "ABCDEFGHIJK\r", "  S1= A B C D E C  ,   S2=  H I J K C");
        row("temps short", "CR6\r", "ABC\r", "  S1= A B C CR  C  ,   S2=  C");
        row("temps empty", "CR6\r", "", "  S1=  C  ,   S2=  C");
        row("temps seven chars", "CR6\r", "1234567", "  S1= 1 2 3 4 5 C  ,   S2=   C");
        row("temps eight chars", "CR6\r", "12345678", "  S1= 1 2 3 4 5 C  ,   S2=  8  C");

        // Only the frame last sent, under the address now chosen, is decoded.
        row("broadcast query", "AFFFCR0\r", "00\r", " Power ON", "AFFF");
        row("addressed query", "A001CR0\r", "00\r", " Power ON", "A001");
        row("prefix changed since", "CR0\r", "00\r", kUnchanged, "A003");
        row("frame for another address", "A002CR0\r", "00\r", kUnchanged, "A001");
        row("action code", "C00\r", "00\r", kUnchanged);
        row("nothing sent yet", "", "00\r", kUnchanged);
        row("query without cr", "CR0", "00\r", kUnchanged);
        row("unknown read code", "CR2\r", "00\r", kUnchanged);
        row("lower case query", "cr0\r", "00\r", kUnchanged);
    }

    void repliesToTheLastSentQueryGiveTheirTexts()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        QFETCH(QByteArray, prefix);
        QCOMPARE(decodeReply(renderMonitor(reply), frame, prefix).value_or(kUnchanged), status);
    }
};

QTEST_APPLESS_MAIN(DecodingTest)
#include "tst_decoding.moc"
