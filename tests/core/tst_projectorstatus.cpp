// Replies to the eight queries read as values, shown in their JSON form.
#include "replies/projectorstatus.h"

#include <QJsonDocument>
#include <QTest>

using namespace tarn;

static void row(const char *name, const char *code, const QByteArray &reply, const char *json)
{
    QTest::newRow(name) << QByteArray(code) << reply << QByteArray(json);
}

class ProjectorStatusTest : public QObject
{
    Q_OBJECT
private slots:
    void eachReplyGivesItsValues_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("json");

        row("standby", "CR0", "80\r", R"({"power":"standby","errors":[],"keyLock":false})");
        row("count-down", "CR0", "40\r", R"({"power":"warming","errors":[],"keyLock":false})");
        row("cooling", "CR0", "20", R"({"power":"cooling","errors":[],"keyLock":false})");
        row("power save", "CR0", "04\r", R"({"power":"power-save","errors":[],"keyLock":false})");
        row("power fault alone", "CR0", "10\r",
            R"({"power":null,"errors":["power"],"keyLock":false})");
        row("temperature alone", "CR0", "08\r",
            R"({"power":"on","errors":["temperature"],"keyLock":false})");
        row("key lock alone", "CR0", "02\r", R"({"power":"on","errors":[],"keyLock":true})");
        row("cooling to power save", "CR0", "24\r",
            R"({"power":"cooling-to-power-save","errors":[],"keyLock":false})");
        row("standby, too hot", "CR0", "88\r",
            R"({"power":"standby","errors":["temperature"],"keyLock":false})");
        row("two state bits", "CR0", "C0\r", R"({"power":null,"errors":[],"keyLock":false})");
        row("after an ack", "CR0", "\00680\r", R"({"power":null,"errors":null,"keyLock":null})");
        row("half a reply", "CR0", "8", R"({"power":null,"errors":null,"keyLock":null})");
        row("ack to a query", "CR0", "\x06",
            R"({"acknowledged":true,"power":null,"errors":null,"keyLock":null})");

        row("input 1", "CR1", "1\r", R"({"input":1})");
        row("input 4", "CR1", "4\r", R"({"input":4})");
        row("input 0", "CR1", "0\r", R"({"input":null})");
        row("input 5", "CR1", "5\r", R"({"input":null})");

        row("top/bottom", "CR4", "10\r", R"({"reversal":{"topBottom":true,"leftRight":false}})");
        row("reversal garbled", "CR4", "12\r",
            R"({"reversal":{"topBottom":null,"leftRight":null}})");

        row("hours", "CR3", "01234\r", R"({"lampHours":1234})");
        row("hours beyond any counter", "CR3", "99999999999999999999\r", R"({"lampHours":null})");
        row("hours with a stray byte", "CR3", "01\001234\r", R"({"lampHours":null})");

        row("temperatures", "CR6", " -2.5XY 9.5\r", R"({"temperatures":[-2.5,9.5]})");
        row("texts, a stray byte", "CR6", "1.2.3  4\x01.5\r", R"({"temperatures":["1.2.3",null]})");
        row("second reading cut short", "CR6", "035.6  42\r", R"({"temperatures":[35.6,null]})");

        row("video mute", "CRA", "01\r",
            R"({"videoMute":true,"audioMute":false,"noSignal":false,"standby":false})");
        row("audio mute", "CRA", "02\r",
            R"({"videoMute":false,"audioMute":true,"noSignal":false,"standby":false})");
        row("no signal", "CRA", "80\r",
            R"({"videoMute":null,"audioMute":null,"noSignal":true,"standby":false})");
        row("mute standby", "CRA", "FF\r",
            R"({"videoMute":null,"audioMute":null,"noSignal":null,"standby":true})");

        const char *modes[][2] = {{"0", "4"}, {"1", "1-4"}, {"2", "2-3"}};
        const char *masks[][2] = {{"0", "[]"}, {"5", "[1,3]"}, {"F", "[1,2,3,4]"}};
        for (const auto &[mode, modeName] : modes)
            for (const auto &[mask, lamps] : masks)
                QTest::addRow("lamps %s%s", mode, mask)
                    << QByteArray("CR7") << QByteArray(mode) + mask + '\r'
                    << QByteArray("{\"lampMode\":\"") + modeName + "\",\"lampsOn\":" + lamps + "}";
        row("lamp mode 3", "CR7", "30\r", R"({"lampMode":null,"lampsOn":null})");
        row("lamp mask lower case", "CR7", "1a\r", R"({"lampMode":null,"lampsOn":null})");

        row("pc type", "CR9", "TSX4L20\r", R"({"pcType":"TSX4L20"})");
        row("pc type empty", "CR9", "\r", R"({"pcType":null})");
    }

    void eachReplyGivesItsValues()
    {
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, json);
        const QLatin1StringView query(code);
        QCOMPARE(toJson(query, readReply(query, reply)), QJsonDocument::fromJson(json).object());
    }
};

QTEST_GUILESS_MAIN(ProjectorStatusTest)
#include "tst_projectorstatus.moc"
