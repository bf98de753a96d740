// tarn-send's exchange with the projectors, on a fake port and a virtual clock.
#include "fakeport.h"
#include "sender.h"
#include "virtualclock.h"

#include <QTest>

using namespace tarn;
using namespace tarn::send;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

struct Rig
{
    Rig()
    {
        QObject::connect(&sender, &Sender::finished, [this](int code) { finished << code; });
    }

    void start(std::vector<Job> jobs, QByteArray prefix = {}, milliseconds timeout = 500ms)
    {
        sender.start({std::move(prefix), QStringLiteral("19200,N,8,1"), timeout, std::move(jobs)});
    }
    QStringList outLines() const { return out.split(u'\n', Qt::SkipEmptyParts); }

    FakePort port;
    VirtualClock clock;
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    Sender sender{port, clock, outStream, errStream};
    QList<int> finished;
};

} // namespace

class SenderTest : public QObject
{
    Q_OBJECT
private slots:
    void eachReplyIsShownAndDecoded_data();
    void eachReplyIsShownAndDecoded();
    void aQueryWaitsForTheCarriageReturn();
    void theNextCommandGoesOutOnlyAfterTheReply();
    void aMissingReplyIsReportedAndTheRestStillGoesOut();
    void theReplyTimeOutIsTheOneGiven();
    void portFailuresEndTheRunAtOnce_data();
    void portFailuresEndTheRunAtOnce();
    void thePortIsOpenedWithTheSettingsAndClosedAtTheEnd();
};

void SenderTest::eachReplyIsShownAndDecoded_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("reply"); // arrives at once; empty: silence
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("status") << QByteArray("CR0") << QByteArray() << QByteArray("00\r")
                            << QStringList{"TXD  C R 0 CR ", "RXD  0 0 CR ", "STATUS Power ON"}
                            << 0;
    QTest::newRow("action acknowledged") << QByteArray("C00") << QByteArray() << QByteArray("\x06")
                                         << QStringList{"TXD  C 0 0 CR ", "RXD  &"} << 0;
    QTest::newRow("addressed") << QByteArray("CR0") << QByteArray("A003") << QByteArray("80\r")
                               << QStringList{"TXD  A 0 0 3 C R 0 CR ", "RXD  8 0 CR ",
                                              "STATUS Stand by"}
                               << 0;
    QTest::newRow("lamp mode") << QByteArray("CR7") << QByteArray() << QByteArray("1A\r")
                               << QStringList{"TXD  C R 7 CR ", "RXD  1 A CR ",
                                              "STATUS No2,4 ON  : 2 Lamp mode(1,4)"}
                               << 0;
    QTest::newRow("lamp hours") << QByteArray("CR3") << QByteArray() << QByteArray("12345\r")
                                << QStringList{"TXD  C R 3 CR ", "RXD  1 2 3 4 5 CR ",
                                               "STATUS 1 2 3 4 5 CR  Hour Use"}
                                << 0;
    QTest::newRow("noise after the end")
        << QByteArray("CR0") << QByteArray() << QByteArray("00\r\x7f")
        << QStringList{"TXD  C R 0 CR ", "RXD  0 0 CR ? ", "STATUS Power ON"} << 0;
    QTest::newRow("unlisted status") << QByteArray("CR0") << QByteArray() << QByteArray("99\r")
                                     << QStringList{"TXD  C R 0 CR ", "RXD  9 9 CR "} << 0;
    QTest::newRow("silence") << QByteArray("C01") << QByteArray() << QByteArray()
                             << QStringList{"TXD  C 0 1 CR ", "RXD  X X X X"} << 1;
    QTest::newRow("broadcast silence")
        << QByteArray("C01") << QByteArray("AFFF") << QByteArray()
        << QStringList{"TXD  A F F F C 0 1 CR ", "RXD  (sent to all, no reply expected)"} << 0;
    QTest::newRow("half a query reply") << QByteArray("CR0") << QByteArray() << QByteArray("0")
                                        << QStringList{"TXD  C R 0 CR ", "RXD  0 "} << 1;
    QTest::newRow("action answered without acknowledgement")
        << QByteArray("C0B") << QByteArray() << QByteArray("80\r")
        << QStringList{"TXD  C 0 B CR ", "RXD  8 0 CR "} << 1;
    QTest::newRow("broadcast answered by noise")
        << QByteArray("C0B") << QByteArray("AFFF") << QByteArray("\x01")
        << QStringList{"TXD  A F F F C 0 B CR ", "RXD  ? "} << 0;
}

void SenderTest::eachReplyIsShownAndDecoded()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, lines);
    QFETCH(int, exitCode);

    Rig rig;
    rig.start({{QStringLiteral("word"), code}}, prefix);
    QCOMPARE(rig.port.frames, QByteArrayList{prefix + code + '\r'});
    if (!reply.isEmpty())
        rig.port.arrive(reply);
    rig.clock.advance(500ms);

    QCOMPARE(rig.outLines(), lines);
    QCOMPARE(rig.finished, QList<int>{exitCode});
    QCOMPARE(rig.err.isEmpty(), exitCode == 0);
}

void SenderTest::aQueryWaitsForTheCarriageReturn()
{
    Rig rig;
    rig.start({{QStringLiteral("status"), "CR0"}});
    rig.port.arrive("0");
    rig.port.arrive("2");
    QVERIFY(rig.sender.isRunning());
    QCOMPARE(rig.outLines().size(), 1);

    rig.port.arrive("\r");
    QCOMPARE(rig.finished, QList<int>{0});
    QCOMPARE(rig.outLines().mid(1), (QStringList{"RXD  0 2 CR ", "STATUS Key input prohibition"}));
}

void SenderTest::theNextCommandGoesOutOnlyAfterTheReply()
{
    Rig rig;
    rig.start({{QStringLiteral("power-on"), "C00"}, {QStringLiteral("status"), "CR0"}}, "A001");
    QCOMPARE(rig.port.frames.size(), 1);
    rig.clock.advance(499ms);
    QCOMPARE(rig.port.frames.size(), 1);

    rig.port.arrive("\x06");
    QCOMPARE(rig.port.frames, (QByteArrayList{"A001C00\r", "A001CR0\r"}));
    rig.port.arrive("40\r");
    QCOMPARE(rig.finished, QList<int>{0});
    QCOMPARE(rig.outLines().last(), "STATUS Count down");
}

void SenderTest::aMissingReplyIsReportedAndTheRestStillGoesOut()
{
    Rig rig;
    rig.start({{QStringLiteral("freeze-on"), "C43"}, {QStringLiteral("mode"), "CR1"}});
    rig.clock.advance(500ms);
    QCOMPARE(rig.err, "tarn-send: freeze-on: no reply within 500 ms\n");
    QCOMPARE(rig.port.frames, (QByteArrayList{"C43\r", "CR1\r"}));

    rig.port.arrive("2\r");
    QCOMPARE(rig.outLines().last(), "STATUS Input mode 2");
    QCOMPARE(rig.finished, QList<int>{1});
}

void SenderTest::theReplyTimeOutIsTheOneGiven()
{
    Rig rig;
    rig.start({{QStringLiteral("status"), "CR0"}}, {}, 2000ms);
    rig.clock.advance(1999ms);
    QVERIFY(rig.sender.isRunning());
    rig.clock.advance(1ms);
    QCOMPARE(rig.finished, QList<int>{1});
    QCOMPARE(rig.err, "tarn-send: status: no reply within 2000 ms\n");
}

void SenderTest::portFailuresEndTheRunAtOnce_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("framesSent");
    QTest::addColumn<QString>("message");

    QTest::newRow("no device") << "missing" << 0
                               << "tarn-send: Cannot open /dev/fake1: No such file or directory\n";
    QTest::newRow("write fails") << "writes" << 0
                                 << "tarn-send: Cannot write to /dev/fake1: the output buffer "
                                    "is full\n";
    QTest::newRow("device gone") << "breakdown" << 1 << "tarn-send: /dev/fake1: unplugged\n";
}

void SenderTest::portFailuresEndTheRunAtOnce()
{
    QFETCH(QString, failure);
    QFETCH(int, framesSent);
    QFETCH(QString, message);

    Rig rig;
    rig.port.setMissing(1, failure == u"missing");
    rig.port.setWritesFail(failure == u"writes");
    rig.start({{QStringLiteral("status"), "CR0"}, {QStringLiteral("mode"), "CR1"}});
    if (failure == u"breakdown")
        rig.port.breakDown(QStringLiteral("unplugged"));
    rig.clock.advance(2000ms);

    QCOMPARE(rig.finished, QList<int>{2});
    QCOMPARE(rig.port.frames.size(), framesSent);
    QCOMPARE(rig.err, message);
    QVERIFY(!rig.port.portOpen());
}

void SenderTest::thePortIsOpenedWithTheSettingsAndClosedAtTheEnd()
{
    Rig rig;
    rig.sender.start({{}, QStringLiteral("9600,N,8,1"), 500ms, {{QStringLiteral("temp"), "CR6"}}});
    rig.port.arrive("ABCDEFGHIJK\r");
    QCOMPARE(rig.port.log,
             (QStringList{"port 1", "settings 9600,N,8,1", "open", "output CR6\r", "close"}));
    QCOMPARE(rig.outLines().last(), "STATUS  S1= A B C D E C  ,   S2=  H I J K C");
}

QTEST_GUILESS_MAIN(SenderTest)
#include "tst_sender.moc"
