// How the TXD and RXD lines show bytes, and the STATUS texts read from that rendering.
#include "replies/decoding.h"
#include "traffic/rendering.h"

#include <QTest>

using namespace tarn;

namespace {
const QString kUnchanged = QStringLiteral("<unchanged>");

QString status(const QByteArray &frame, const QByteArray &reply)
{
    return decodeReply(renderMonitor(reply), frame, {}).value_or(kUnchanged);
}
} // namespace

class MonitorTest : public QObject
{
    Q_OBJECT
private slots:
    void eachByteBecomesItsToken_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << QByteArray() << " ";
        QTest::newRow("addressed frame") << QByteArray("AFFFC00\r") << " A F F F C 0 0 CR ";
        QTest::newRow("ack alone") << QByteArray("\x06") << " &";
        QTest::newRow("ack, cr, lf") << QByteArray("\x06\r\n") << " &CR LF ";
        QTest::newRow("space doubles") << QByteArray("A b") << " A   b ";
        QTest::newRow("edges of the printable") << QByteArray("\x1f z{") << " ?   z ? ";
        QTest::newRow("other bytes") << QByteArray("\0\t~\x7f\x80\xff", 6) << " ? ? ? ? ? ? ";
    }

    void eachByteBecomesItsToken()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QCOMPARE(renderMonitor(input), expected);
    }

    void repliesToTheLastSentQueryGiveTheirTexts_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const char *frame, const QByteArray &reply,
                            const QString &text) {
            QTest::newRow(name) << QByteArray(frame) << reply << text;
        };

        row("power on", "CR0\r", "00\r", " Power ON");
        row("cooling", "CR0\r", "20\r", " Cooling down");
        row("cooling for save", "CR0\r", "24\r", " Cooling down for power save");
        row("one text, three keys: 08", "CR0\r", "08\r", " Temperature abnormality");
        row("one text, three keys: 28", "CR0\r", "28\r", " Temperature abnormality");
        row("one text, three keys: 88", "CR0\r", "88\r", " Temperature abnormality");
        row("no cr needed", "CR0\r", "80", " Stand by");
        row("half a reply", "CR0\r", "0", kUnchanged);
        row("input mode: first char only", "CR1\r", "31\r", " Input mode 3");
        row("input mode 5", "CR1\r", "5\r", kUnchanged);
        row("top/bottom reversed", "CR4\r", "10\r", " Top/Bottom reversal");
        row("both reversed", "CR4\r", "00\r", " Top/Bottom , Left/Right reversal");
        row("mute: standby", "CRA\r", "FF\r", " Stand by");
        row("mute: lower case", "CRA\r", "ff\r", kUnchanged);
        row("mute: video", "CRA\r", "01\r", " Video mute ON");
        row("mute: both", "CRA\r", "03\r", " Video & Audio mute ON");
        row("no lamp", "CR7\r", "00\r", " All OFF : 4 Lamp mode");
        row("lamps 1 and 3", "CR7\r", "05\r", " No1,3 ON  : 4 Lamp mode");
        row("all lamps", "CR7\r", "0F\r", " All ON  : 4 Lamp mode");
        row("lamps in mode 1", "CR7\r", "1A\r", " No2,4 ON  : 2 Lamp mode(1,4)");
        row("lamps in mode 2", "CR7\r", "2E\r", " No2,3,4 ON  : 2 Lamp mode(2,3)");
        row("lamps: lower case", "CR7\r", "1a\r", kUnchanged);
        row("lamps: mode 3", "CR7\r", "3F\r", kUnchanged);
        row("lamps: one char", "CR7\r", "1", kUnchanged);
        row("hours: an ack is text", "CR3\r", "\x06", " & Hour Use");
        row("hours: 19 chars", "CR3\r", "ABCDEFGHIJKLMNOPQRSTU\r",
            " A B C D E F G H I J K L M N O P Q R S Hour Use");
        row("temperatures", "CR6\r", "ABCDEFGHIJK\r", "  S1= A B C D E C  ,   S2=  H I J K C");
        row("temperatures, 8 chars", "CR6\r", "12345678", "  S1= 1 2 3 4 5 C  ,   S2=  8  C");
        row("action code", "C00\r", "00\r", kUnchanged);
        row("query without cr", "CR0", "00\r", kUnchanged);
        row("lower-case query", "cr0\r", "00\r", kUnchanged);
    }

    void repliesToTheLastSentQueryGiveTheirTexts()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(QString, text);
        QCOMPARE(status(frame, reply), text);
    }
};

QTEST_APPLESS_MAIN(MonitorTest)
#include "tst_monitor.moc"
