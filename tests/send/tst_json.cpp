// tarn-send --json and --watch: the objects, and rounds on a fake port and a virtual clock.
#include "fakeport.h"
#include "record.h"
#include "rounds.h"
#include "virtualclock.h"

#include <QJsonDocument>
#include <QTest>

using namespace tarn::send;
using namespace tarn::test;
using namespace std::chrono_literals;

class JsonTest : public QObject
{
    Q_OBJECT
private slots:
    void aCommandsObjectKeepsEveryByteAndReadsOnlyWholeReplies_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("complete"); // the reply came in time
        QTest::addColumn<QByteArray>("json");

        QTest::newRow("every byte") << QByteArray("CR9") << QByteArray("T\xe9\r\n") << true
                                    << QByteArray(R"({"reply":"T\u00e9\r\n","ok":true,
                   "status":" T ? CR LF ","pcType":null})");
        QTest::newRow("cut short") << QByteArray("CR0") << QByteArray("80") << false
                                   << QByteArray(R"({"reply":"80","ok":false,"status":null,
                   "power":null,"errors":null,"keyLock":null})");
        QTest::newRow("ack to a query") << QByteArray("CR1") << QByteArray("\x06") << false
                                        << QByteArray(R"({"reply":"\u0006","ok":false,
                   "status":null,"input":null,"acknowledged":true})");
    }

    void aCommandsObjectKeepsEveryByteAndReadsOnlyWholeReplies()
    {
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, reply);
        QFETCH(bool, complete);
        QFETCH(QByteArray, json);
        QJsonObject expected = QJsonDocument::fromJson(json).object();
        expected.insert("command", "word");
        expected.insert("frame", QString::fromLatin1(code + '\r'));

        const QString line =
            jsonLine(exchangeRecord({"word", code, code + '\r', reply, complete, complete}));
        QCOMPARE(QJsonDocument::fromJson(line.toUtf8()).object(), expected);
    }

    // A port that goes away ends its round and is opened again at the next; a round that
    // outlasts the interval is followed at once.
    void aWatchOutlivesAFailingPort()
    {
        FakePort port;
        VirtualClock clock;
        QString out;
        QTextStream outStream(&out);
        QString err;
        QTextStream errStream(&err);
        Sender sender(
            port, clock, [&clock] { return clock.now(); }, outStream, errStream);
        Rounds rounds(sender, clock);
        QList<int> finished;
        QObject::connect(&rounds, &Rounds::finished, [&](int code) { finished << code; });

        rounds.start({{}, "19200,N,8,1", 1500ms, {{"status", "CR0"}}, true}, 1000ms, 4);
        port.breakDown(QStringLiteral("unplugged"));
        QCOMPARE(out, jsonLine({{"ok", false}, {"error", "/dev/fake1: unplugged"}}) + u'\n');
        clock.advance(999ms);
        QCOMPARE(port.frames.size(), 1);
        clock.advance(1ms);
        port.arrive("00\r");
        QVERIFY2(out.endsWith(R"("status":" Power ON"})"
                              "\n"),
                 qPrintable(out));
        // The third round meets silence for longer than the interval; the fourth follows as
        // soon as the line has settled.
        clock.advance(2999ms);
        QCOMPARE(port.frames.size(), 3);
        clock.advance(1ms);
        QCOMPARE(port.frames.size(), 4);
        clock.advance(1500ms);
        QCOMPARE(finished, QList{2}); // the worst round's status
    }
};

QTEST_GUILESS_MAIN(JsonTest)
#include "tst_json.moc"
