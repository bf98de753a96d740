// How the TXD and RXD lines show bytes.
#include "traffic/rendering.h"

#include <QTest>

using namespace tarn;

class RenderingTest : public QObject
{
    Q_OBJECT
private slots:
    void eachByteBecomesItsToken_data();
    void eachByteBecomesItsToken();
    void renderingInPiecesEqualsRenderingAtOnce_data();
    void renderingInPiecesEqualsRenderingAtOnce();
    void everyByteValueRendersToOneOfTheFiveTokens();
};

void RenderingTest::eachByteBecomesItsToken_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << " ";
    QTest::newRow("frame without prefix") << QByteArray("C00\r") << " C 0 0 CR ";
    QTest::newRow("broadcast frame") << QByteArray("AFFFC00\r") << " A F F F C 0 0 CR ";
    QTest::newRow("ack alone") << QByteArray("\x06") << " &";
    QTest::newRow("ack then cr") << QByteArray("\x06\r") << " &CR ";
    QTest::newRow("two acks") << QByteArray("\x06\x06") << " &&";
    QTest::newRow("status reply") << QByteArray("00\r") << " 0 0 CR ";
    QTest::newRow("space doubles") << QByteArray("A b\r\n") << " A   b CR LF ";
    QTest::newRow("lowest printable") << QByteArray(" ") << "   ";
    QTest::newRow("z is the last printable") << QByteArray("z") << " z ";
    QTest::newRow("open brace") << QByteArray("{") << " ? ";
    QTest::newRow("vertical bar") << QByteArray("|") << " ? ";
    QTest::newRow("close brace") << QByteArray("}") << " ? ";
    QTest::newRow("tilde") << QByteArray("~") << " ? ";
    QTest::newRow("nul") << QByteArray(1, '\0') << " ? ";
    QTest::newRow("delete") << QByteArray("\x7f") << " ? ";
    QTest::newRow("byte above 127") << QByteArray("\x80\xff") << " ? ? ";
    QTest::newRow("utf-8 bytes are two unknowns") << QByteArray("\xc3\xa9") << " ? ? ";
    QTest::newRow("tab and bell") << QByteArray("\t\a") << " ? ? ";
    QTest::newRow("lf cr order kept") << QByteArray("\n\r") << " LF CR ";
}

void RenderingTest::eachByteBecomesItsToken()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QCOMPARE(renderMonitor(input), expected);
}

void RenderingTest::renderingInPiecesEqualsRenderingAtOnce_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("reply split in the middle") << QByteArray("0") << QByteArray("0\r");
    QTest::newRow("ack then reply") << QByteArray("\x06") << QByteArray("80\r");
    QTest::newRow("noise then text") << QByteArray("\0\xff", 2) << QByteArray("AB");
}

void RenderingTest::renderingInPiecesEqualsRenderingAtOnce()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QString pieces = renderMonitor(first);
    appendMonitorTokens(pieces, second);
    QCOMPARE(pieces, renderMonitor(first + second));
}

void RenderingTest::everyByteValueRendersToOneOfTheFiveTokens()
{
    for (int byte = 0; byte < 256; ++byte) {
        const QString r = renderMonitor(QByteArray(1, char(byte)));
        const QString token = r.mid(1);
        const bool printable = byte >= 32 && byte <= 122;
        QString expected = printable ? QString(QChar(byte)) + u' ' : QStringLiteral("? ");
        if (byte == 6)
            expected = QStringLiteral("&");
        if (byte == 10)
            expected = QStringLiteral("LF ");
        if (byte == 13)
            expected = QStringLiteral("CR ");
        QVERIFY2(token == expected, qPrintable(QStringLiteral("byte %1").arg(byte)));
    }
}

QTEST_APPLESS_MAIN(RenderingTest)
#include "tst_rendering.moc"
