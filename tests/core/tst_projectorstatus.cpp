// Replies to the eight queries read as values, shown in their JSON form: first every state a
// simulated projector goes through, read back as the simulator holds it; then the replies no
// projector of the simulator's sends.
#include "projector.h"
#include "replies/projectorstatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace tarn;
using namespace std::chrono_literals;
using Power = sim::Projector::Power;

// The power states' names by the simulator's Power, resting in standby or in power save.
const char *const kPower[2][4] = {{"standby", "warming", "on", "cooling"},
                                  {"power-save", "warming", "on", "cooling-to-power-save"}};

class ProjectorStatusTest : public QObject
{
    Q_OBJECT
private slots:
    void whatTheSimulatorAnswersReadsAsTheStateItHolds()
    {
        for (const bool powerSave : {false, true}) { // and too hot
            sim::Projector projector(3, {}, {powerSave, powerSave});
            const QJsonValue lamps[] = {QJsonArray{1, 2, 3, 4}, QJsonArray{1, 4}, QJsonArray{2, 3}};
            std::chrono::milliseconds now{0};
            for (const char *step : {"", "C71", "C00", "+3000", "C08", "C0B", "C0D", "C0C", "C72",
                                     "+40000", "C01", "+2999", "C70", "+1"}) {
                step[0] == '+' ? void(now += std::chrono::milliseconds(atoi(step + 1)))
                               : void(projector.handle(step, now));
                const Power power = projector.power(now);
                const bool on = power == Power::On;
                const QJsonObject expected{
                    {"power", kPower[powerSave][int(power)]},
                    {"errors", powerSave ? QJsonArray{"temperature"} : QJsonArray{}},
                    {"keyLock", false},
                    {"input", projector.inputMode()},
                    {"reversal", QJsonObject{{"topBottom", false}, {"leftRight", false}}},
                    {"lampHours", projector.lampHours(now)},
                    {"lampMode", QJsonArray{"4", "1-4", "2-3"}[projector.lampMode()]},
                    {"lampsOn",
                     power == Power::CountDown || on ? lamps[projector.lampMode()] : QJsonArray{}},
                    {"videoMute", on ? QJsonValue(projector.videoMuted()) : QJsonValue()},
                    {"audioMute", on ? QJsonValue(projector.soundMuted()) : QJsonValue()},
                    {"noSignal", on ? QJsonValue(false) : QJsonValue()},
                    {"standby", !on}};
                QJsonObject read;
                for (const char *code : {"CR0", "CR1", "CR4", "CR3", "CR7", "CRA"}) {
                    const QLatin1StringView query(code);
                    const QJsonObject values =
                        toJson(query, readReply(query, *projector.handle(code, now)));
                    for (auto it = values.begin(); it != values.end(); ++it)
                        read.insert(it.key(), it.value());
                }
                QCOMPARE(read, expected);
            }
        }
    }

    void theRepliesNoSimulatedProjectorSendsReadAsTheyShould_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("json");
        const auto row = [](const char *name, const char *code, const QByteArray &reply,
                            const char *json) {
            QTest::newRow(name) << QByteArray(code) << reply << QByteArray(json);
        };
        row("power fault alone", "CR0", "10\r",
            R"({"power":null,"errors":["power"],"keyLock":false})");
        row("key lock, no cr", "CR0", "02", R"({"power":"on","errors":[],"keyLock":true})");
        row("two state bits", "CR0", "C0\r", R"({"power":null,"errors":[],"keyLock":false})");
        row("after an ack", "CR0", "\00680\r", R"({"power":null,"errors":null,"keyLock":null})");
        row("half a reply", "CR0", "8", R"({"power":null,"errors":null,"keyLock":null})");
        row("ack to a query", "CR0", "\x06",
            R"({"acknowledged":true,"power":null,"errors":null,"keyLock":null})");
        row("input 0", "CR1", "0\r", R"({"input":null})");
        row("input 5", "CR1", "5\r", R"({"input":null})");
        row("top/bottom", "CR4", "10\r", R"({"reversal":{"topBottom":true,"leftRight":false}})");
        row("reversal garbled", "CR4", "12\r",
            R"({"reversal":{"topBottom":null,"leftRight":null}})");
        row("hours beyond any counter", "CR3", "99999999999999999999\r", R"({"lampHours":null})");
        row("hours with a stray byte", "CR3", "01\001234\r", R"({"lampHours":null})");
        row("temperatures", "CR6", " -2.5XY 9.5\r", R"({"temperatures":[-2.5,9.5]})");
        row("texts, a stray byte", "CR6", "1.2.3  4\x01.5\r", R"({"temperatures":["1.2.3",null]})");
        row("second reading cut short", "CR6", "035.6  42\r", R"({"temperatures":[35.6,null]})");
        row("no signal", "CRA", "80\r",
            R"({"videoMute":null,"audioMute":null,"noSignal":true,"standby":false})");
        row("lamp mode 3", "CR7", "30\r", R"({"lampMode":null,"lampsOn":null})");
        row("lamp mask lower case", "CR7", "1a\r", R"({"lampMode":null,"lampsOn":null})");
        row("pc type", "CR9", "TSX4L20\r", R"({"pcType":"TSX4L20"})");
        row("pc type empty", "CR9", "\r", R"({"pcType":null})");
    }
    void theRepliesNoSimulatedProjectorSendsReadAsTheyShould()
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
