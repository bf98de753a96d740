// Reception, the traffic monitor's lines and its two timers, and decoding as replies
// arrive.
#include "panelrig.h"

#include <QTest>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

class TrafficTest : public QObject
{
    Q_OBJECT
private slots:
    void aReplyInPiecesIsShownAndDecodedAfterEachPiece_data();
    void aReplyInPiecesIsShownAndDecodedAfterEachPiece();
    void aMissingReplyIsMarkedAndTheLinesClearAfterASecond();
    void aLateReplyReplacesTheMarkerOnItsOwn();
    void theTimeOutAfterAReplyKeepsTheLineButEmptiesTheBuffer();
    void aLeftOverAckSpoilsTheNextQuerysKey();
    void aPjSelectChangeBeforeTheReplyStopsTheDecoding();
    void aReplyToAnActionCodeIsNeverDecoded();
    void anEmptyReadStillEndsTheReplyWait();
    void eventsOtherThanReceptionAreIgnored();
    void twoRepliesWithoutEmptyingAreOneText();
    void aTransmissionRearmsBothTimersFromItsOwnMoment();
    void aFloodKeepsOnlyTheNewestBytes();
    void everyByteValueIsJustData();
};

void TrafficTest::aReplyInPiecesIsShownAndDecodedAfterEachPiece_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QStringList>("rxd");
    QTest::addColumn<QStringList>("status");

    QTest::newRow("status in two pieces")
        << "Command44" << QByteArrayList{"0", "0\r"} << QStringList{" 0 ", " 0 0 CR "}
        << QStringList{"", " Power ON"};
    QTest::newRow("status byte by byte")
        << "Command44" << QByteArrayList{"8", "0", "\r"} << QStringList{" 8 ", " 8 0 ", " 8 0 CR "}
        << QStringList{"", " Stand by", " Stand by"};
    QTest::newRow("lamp hours rewritten on every piece")
        << "Command46" << QByteArrayList{"12", "345\r"} << QStringList{" 1 2 ", " 1 2 3 4 5 CR "}
        << QStringList{" 1 2  Hour Use", " 1 2 3 4 5 CR  Hour Use"};
    QTest::newRow("input mode after the first byte")
        << "Command45" << QByteArrayList{"2", "\r"} << QStringList{" 2 ", " 2 CR "}
        << QStringList{" Input mode 2", " Input mode 2"};
}

void TrafficTest::aReplyInPiecesIsShownAndDecodedAfterEachPiece()
{
    QFETCH(QString, query);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QStringList, rxd);
    QFETCH(QStringList, status);
    PanelRig rig;
    rig.panel.click(query);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        rig.advance(10ms);
        rig.port.arrive(pieces[i]);
        QCOMPARE(rig.view().rxd, rxd[i]);
        QCOMPARE(rig.view().status, status[i]);
        QCOMPARE(rig.state().ReplyPending, 0);
    }
}

void TrafficTest::aMissingReplyIsMarkedAndTheLinesClearAfterASecond()
{
    PanelRig rig;
    rig.panel.click(u"Command44");
    rig.advance(499ms);
    QCOMPARE(rig.view().rxd, QString());
    rig.advance(1ms);
    QCOMPARE(rig.view().rxd, " X X X X");
    QCOMPARE(rig.state().ReplyPending, 0);
    QVERIFY(!rig.panel.timer(2).isEnabled());
    QCOMPARE(rig.view().txd, " C R 0 CR ");
    rig.advance(500ms);
    QCOMPARE(rig.view().txd, QString());
    QCOMPARE(rig.view().rxd, QString());
    QCOMPARE(rig.view().status, QString());
    QVERIFY(!rig.panel.timer(4).isEnabled());
}

void TrafficTest::aLateReplyReplacesTheMarkerOnItsOwn()
{
    PanelRig rig;
    rig.panel.click(u"Command44");
    rig.advance(600ms);
    QCOMPARE(rig.view().rxd, " X X X X");
    rig.port.arrive("00\r");
    QCOMPARE(rig.view().rxd, " 0 0 CR ");
    QCOMPARE(rig.state().RecvBuffer, QByteArray("00\r"));
    QCOMPARE(rig.view().status, " Power ON");
}

void TrafficTest::theTimeOutAfterAReplyKeepsTheLineButEmptiesTheBuffer()
{
    PanelRig rig;
    rig.panel.click(u"Command44");
    rig.advance(100ms);
    rig.port.arrive("80\r");
    rig.advance(400ms);
    QCOMPARE(rig.view().rxd, " 8 0 CR ");
    QCOMPARE(rig.state().RecvBuffer, QByteArray());
    QCOMPARE(rig.view().status, " Stand by");
}

void TrafficTest::aLeftOverAckSpoilsTheNextQuerysKey()
{
    PanelRig rig;
    rig.panel.click(u"Command17");
    rig.port.arrive("\x06");
    rig.panel.click(u"Command44");
    rig.port.arrive("00\r");
    QCOMPARE(rig.view().rxd, " &0 0 CR ");
    QCOMPARE(rig.view().status, QString());
}

void TrafficTest::aPjSelectChangeBeforeTheReplyStopsTheDecoding()
{
    PanelRig rig;
    rig.panel.click(u"Command44");
    rig.panel.click(u"Option6");
    rig.port.arrive("00\r");
    QCOMPARE(rig.view().rxd, " 0 0 CR ");
    QCOMPARE(rig.view().status, QString());
}

void TrafficTest::aReplyToAnActionCodeIsNeverDecoded()
{
    PanelRig rig;
    rig.panel.click(u"Command17");
    rig.port.arrive("00\r");
    QCOMPARE(rig.view().rxd, " 0 0 CR ");
    QCOMPARE(rig.view().status, QString());
}

void TrafficTest::anEmptyReadStillEndsTheReplyWait()
{
    PanelRig rig;
    rig.panel.click(u"Command38");
    rig.port.arrive({});
    QCOMPARE(rig.state().ReplyPending, 0);
    QCOMPARE(rig.view().rxd, " ");
    QCOMPARE(rig.view().status, " ");
    rig.advance(500ms);
    QCOMPARE(rig.view().rxd, " ");
}

void TrafficTest::eventsOtherThanReceptionAreIgnored()
{
    PanelRig rig;
    rig.panel.click(u"Command44");
    rig.port.raiseEvent(1004); // a framing error
    QCOMPARE(rig.state().ReplyPending, 1);
    QCOMPARE(rig.view().rxd, QString());
}

void TrafficTest::twoRepliesWithoutEmptyingAreOneText()
{
    PanelRig rig;
    rig.panel.click(u"Command38");
    rig.port.arrive("AB\r");
    rig.port.arrive("CD\r");
    QCOMPARE(rig.view().rxd, " A B CR C D CR ");
    QCOMPARE(rig.view().status, " A B CR C D CR ");
}

void TrafficTest::aTransmissionRearmsBothTimersFromItsOwnMoment()
{
    PanelRig rig;
    rig.panel.click(u"Command17");
    rig.advance(400ms);
    rig.panel.click(u"Command44");
    rig.advance(499ms); // 899 ms after the first frame, 499 ms after the query
    QCOMPARE(rig.view().rxd, QString());
    QCOMPARE(rig.view().txd, " C R 0 CR ");
    rig.advance(1ms);
    QCOMPARE(rig.view().rxd, " X X X X");
    rig.advance(499ms);
    QCOMPARE(rig.view().txd, " C R 0 CR ");
    rig.advance(1ms);
    QCOMPARE(rig.view().txd, QString());
}

void TrafficTest::aFloodKeepsOnlyTheNewestBytes()
{
    PanelRig rig;
    QByteArray sent;
    for (int i = 0; i < 100; ++i) {
        const QByteArray chunk(1000, char('a' + i % 26));
        sent += chunk;
        rig.port.arrive(chunk);
        rig.advance(5ms); // no transmission, so no time-out ever empties the buffer
    }
    QCOMPARE(rig.state().RecvBuffer.size(), Panel::kRecvBufferLimit);
    QCOMPARE(rig.state().RecvBuffer, sent.right(Panel::kRecvBufferLimit));
    QCOMPARE(rig.view().rxd.size(), 1 + 2 * Panel::kRecvBufferLimit);
    QVERIFY(rig.view().rxd.startsWith(u' ' + QString(QChar(sent.right(32767).front())) + u' '));
}

void TrafficTest::everyByteValueIsJustData()
{
    PanelRig rig;
    rig.panel.click(u"Command38");
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    rig.port.arrive(all);
    QCOMPARE(rig.state().RecvBuffer, all);
    QCOMPARE(rig.view().status, rig.view().rxd);
    QCOMPARE(rig.port.frames.size(), 1);
    QCOMPARE(rig.view().outerHeight, 5200);
}

QTEST_GUILESS_MAIN(TrafficTest)
#include "tst_traffic.moc"
