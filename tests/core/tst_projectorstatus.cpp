// Replies to the eight queries read as values, shown in their JSON form.
#include "replies/decoding.h"
#include "replies/projectorstatus.h"
#include "traffic/rendering.h"

#include <QJsonDocument>
#include <QTest>

using namespace tarn;

namespace {
void row(const char *name, const char *code, const QByteArray &reply, const char *json)
{
    QTest::newRow(name) << QString::fromLatin1(code) << reply << QByteArray(json);
}

const QJsonObject kNoReversal{{"topBottom", QJsonValue()}, {"leftRight", QJsonValue()}};
} // namespace

class ProjectorStatusTest : public QObject
{
    Q_OBJECT
private slots:
    void eachReplyGivesItsValues_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("json");

        row("standby", "CR0", "80\r", R"({"power":"standby","errors":[],"keyLock":false})");
        row("count-down", "CR0", "40\r", R"({"power":"warming","errors":[],"keyLock":false})");
        row("cooling", "CR0", "20", R"({"power":"cooling","errors":[],"keyLock":false})");
        row("power save", "CR0", "04\r", R"({"power":"power-save","errors":[],"keyLock":false})");
        row("no bit", "CR0", "00\r", R"({"power":"on","errors":[],"keyLock":false})");
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
        row("lower case", "CR0", "8a\r", R"({"power":null,"errors":null,"keyLock":null})");
        row("half a reply", "CR0", "8", R"({"power":null,"errors":null,"keyLock":null})");
        row("ack to a query", "CR0", "\x06",
            R"({"acknowledged":true,"power":null,"errors":null,"keyLock":null})");

        row("input 1", "CR1", "1\r", R"({"input":1})");
        row("input 4", "CR1", "4\r", R"({"input":4})");
        row("input 5", "CR1", "5\r", R"({"input":null})");

        row("top/bottom", "CR4", "10\r", R"({"reversal":{"topBottom":true,"leftRight":false}})");
        row("left/right", "CR4", "01\r", R"({"reversal":{"topBottom":false,"leftRight":true}})");
        row("reversal garbled", "CR4", "12\r",
            R"({"reversal":{"topBottom":null,"leftRight":null}})");

        row("hours", "CR3", "01234\r", R"({"lampHours":1234})");
        row("hours with a stray byte", "CR3",
            "01\x01"
            "234\r",
            R"({"lampHours":null})");

        row("temperatures", "CR6", "035.6  -2.5\r", R"({"temperatures":[35.6,-2.5]})");
        row("temperature texts", "CR6", "ABCDEFGHIJK\r", R"({"temperatures":["ABCDE","HIJK"]})");
        row("second reading cut short", "CR6", "035.6  42\r", R"({"temperatures":[35.6,null]})");

        row("no mute", "CRA", "00\r",
            R"({"videoMute":false,"audioMute":false,"noSignal":false,"standby":false})");
        row("both mutes", "CRA", "03\r",
            R"({"videoMute":true,"audioMute":true,"noSignal":false,"standby":false})");
        row("no signal", "CRA", "80\r",
            R"({"videoMute":null,"audioMute":null,"noSignal":true,"standby":false})");
        row("mute standby", "CRA", "FF\r",
            R"({"videoMute":null,"audioMute":null,"noSignal":null,"standby":true})");
        row("mute unlisted", "CRA", "04\r",
            R"({"videoMute":null,"audioMute":null,"noSignal":null,"standby":null})");

        const char *modes[][2] = {{"0", "4"}, {"1", "1-4"}, {"2", "2-3"}};
        const char *masks[][2] = {{"0", "[]"}, {"5", "[1,3]"}, {"F", "[1,2,3,4]"}};
        for (const auto &[mode, modeName] : modes) {
            for (const auto &[mask, lamps] : masks) {
                QTest::addRow("lamps %s%s", mode, mask)
                    << "CR7" << QByteArray(mode) + mask + '\r'
                    << QByteArray("{\"lampMode\":\"") + modeName + "\",\"lampsOn\":" + lamps + "}";
            }
        }
        row("lamp mode 3", "CR7", "30\r", R"({"lampMode":null,"lampsOn":null})");
        row("lamp mask lower case", "CR7", "1a\r", R"({"lampMode":null,"lampsOn":null})");

        row("pc type", "CR9", "TSX4L20\r", R"({"pcType":"TSX4L20"})");
        row("pc type empty", "CR9", "\r", R"({"pcType":null})");
        row("unknown query", "CR5", "00\r", "{}");
    }

    void eachReplyGivesItsValues()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, json);
        const QByteArray readCode = code.toLatin1();
        const QLatin1StringView query(readCode);

        const QJsonObject values = toJson(query, readReply(query, reply));
        QCOMPARE(values, QJsonDocument::fromJson(json).object());

        // Where the panel reads a reply through a table, a value is known exactly when
        // the panel shows a STATUS text for it.
        if (QByteArrayList{"CR1", "CR4", "CRA", "CR7"}.contains(readCode)) {
            const bool known = std::ranges::any_of(
                values, [](const QJsonValueConstRef v) { return !v.isNull() && v != kNoReversal; });
            QCOMPARE(decodeQueryReply(query, renderMonitor(reply)).has_value(), known);
        }
    }
};

QTEST_GUILESS_MAIN(ProjectorStatusTest)
#include "tst_projectorstatus.moc"
