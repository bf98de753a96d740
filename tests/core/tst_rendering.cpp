// How the TXD and RXD lines show bytes.
#include "traffic/rendering.h"

#include <QTest>

using namespace tarn;

class RenderingTest : public QObject
{
    Q_OBJECT
private slots:
    void eachByteBecomesItsToken_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty") << QByteArray() << " ";
        QTest::newRow("broadcast frame") << QByteArray("AFFFC00\r") << " A F F F C 0 0 CR ";
        QTest::newRow("ack alone") << QByteArray("\x06") << " &";
        QTest::newRow("ack then cr") << QByteArray("\x06\r") << " &CR ";
        QTest::newRow("space doubles") << QByteArray("A b\r\n") << " A   b CR LF ";
        QTest::newRow("lowest printable") << QByteArray(" ") << "   ";
        QTest::newRow("below the lowest printable") << QByteArray("\x1f") << " ? ";
        QTest::newRow("z is the last printable") << QByteArray("z") << " z ";
        QTest::newRow("open brace") << QByteArray("{") << " ? ";
        QTest::newRow("tilde") << QByteArray("~") << " ? ";
        QTest::newRow("nul") << QByteArray(1, '\0') << " ? ";
        QTest::newRow("delete") << QByteArray("\x7f") << " ? ";
        QTest::newRow("bytes above 127") << QByteArray("\x80\xff") << " ? ? ";
        QTest::newRow("tab and bell") << QByteArray("\t\a") << " ? ? ";
        QTest::newRow("lf cr order kept") << QByteArray("\n\r") << " LF CR ";
    }

    void eachByteBecomesItsToken()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QCOMPARE(renderMonitor(input), expected);
    }

    void renderingInPiecesEqualsRenderingAtOnce_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("reply split in the middle") << QByteArray("0") << QByteArray("0\r");
        QTest::newRow("ack then reply") << QByteArray("\x06") << QByteArray("80\r");
        QTest::newRow("noise then text") << QByteArray("\0\xff", 2) << QByteArray("AB");
    }

    void renderingInPiecesEqualsRenderingAtOnce()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QString pieces = renderMonitor(first);
        appendMonitorTokens(pieces, second);
        QCOMPARE(pieces, renderMonitor(first + second));
    }
};

QTEST_APPLESS_MAIN(RenderingTest)
#include "tst_rendering.moc"
