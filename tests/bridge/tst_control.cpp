// Control: the action rule (ERR3) and the command endpoint, on a fake line and clock.
#include "fakelineservice.h"
#include "virtualclock.h"

#include "auththrottle.h"
#include "control/actiongate.h"
#include "control/commandendpoint.h"
#include "http/router.h"

#include <QTest>

using namespace tarn::bridge;
using namespace tarn::test;
using Status = LineResult::Status;

namespace {

const QByteArray kToken = "0123456789abcdef";

// The gate and the endpoint over a fake line that answers a query `reply` ("" nothing, "-"
// not yet, "!" line down) and an action ACK. post() gives the status and the body.
struct Rig
{
    explicit Rig(QByteArray answer = "00", std::optional<QByteArray> token = kToken)
        : reply(std::move(answer)), gate(line, state, std::bind(&Rig::now, this)),
          endpoint(gate, throttle, {token, profiles}, [this](const QString &l) { log << l; })
    {
        line.respond = [this](const LineRequest &r) -> std::optional<LineResult> {
            if (reply == "-")
                return std::nullopt;
            const QHash<QByteArray, Status> failed{{"", Status::NoReply}, {"!", Status::LineDown}};
            return LineResult{failed.value(reply), {r.codes[0][1] == 'R' ? reply : "\x06"}};
        };
        endpoint.addTo(router);
    }
    Moment now() const { return {clock.now(), {}}; }
    QByteArray sent() const
    {
        QByteArrayList codes;
        for (const LineRequest &request : line.requests)
            codes << request.codes;
        return codes.join(' ');
    }
    QByteArray post(const QByteArray &path, const QByteArray &authorization, const QString &from)
    {
        const QByteArray target =
            "/api/v1/projectors/" + QByteArray(path).replace('/', "/commands/");
        const HttpRequest request{"POST", target, {}, 1, {{"authorization", authorization}},
                                  {},     true};
        QByteArray answer;
        router.dispatch(request, this, from + ":4000", [&](const HttpResponse &r) {
            answer = QByteArray::number(r.status) + ' ' + r.body;
        });
        return answer;
    }

    VirtualClock clock;
    FakeLineService line;
    QByteArray reply;
    const QList<Profile> profiles{{"1", "A001", "P1", {"11"}}, {"all", "AFFF", "All", {"11"}}};
    LiveState state{profiles};
    AuthThrottle throttle{std::bind(&VirtualClock::now, &clock)};
    ActionGate gate;
    Router router;
    QStringList log;
    CommandEndpoint endpoint;
};

} // namespace

class ControlTest : public QObject
{
    Q_OBJECT
private slots:
    // The rule as the issue states it, on PJLink's CR0 replies: 80 standby, 00 on, 40
    // warming, 20 cooling, 04 power save, 24 cooling to power save.
    void anActionIsCheckedAgainstAPowerStateReadWithinASecond()
    {
        // Codes ("AFFF" first: a broadcast), the record's CR0 ("" none) and its age in ms (-1:
        // an action since), the line's reply to CR0, what went on the line, the outcome.
        using Row = std::tuple<QByteArray, QByteArray, int, QByteArray, QByteArray, Status>;
        const QList<Row> rows = {
            {"C00", "", 0, "20", "CR0", Status::NotNow},
            {"C00", "", 0, "24", "CR0", Status::NotNow},
            {"C00", "", 0, "40", "CR0 C00", Status::Ok},
            {"C01", "", 0, "20", "C01", Status::Ok},
            {"C0D C0B", "", 0, "40", "CR0", Status::NotNow},
            {"C06", "80", 999, "00", "", Status::NotNow},
            {"C06", "80", 1001, "00", "CR0 C06", Status::Ok},
            {"C06", "00", -1, "80", "CR0", Status::NotNow},
            {"AFFF C00", "20", 0, "20", "C00", Status::Ok},
            {"C05", "", 0, "zz", "CR0 C05", Status::Ok}, // an unreadable state: no check
            {"C05", "", 0, "", "CR0", Status::NoReply},
        };
        for (const auto &[codes, kept, age, reply, sent, status] : rows) {
            Rig rig(reply);
            if (!kept.isEmpty())
                rig.state.observe("A001", "CR0", kept, {});
            if (age < 0)
                rig.state.observe("A001", "C05", "\x06", {});
            rig.clock.advance(milliseconds(std::max(age, 0)));
            QByteArrayList list = codes.split(' ');
            const QByteArray prefix = list[0] == "AFFF" ? list.takeFirst() : "A001";
            LineResult result{Status::LineDown, {}};
            rig.gate.submit(this, {prefix, list}, [&](const LineResult &r) { result = r; });
            QCOMPARE(rig.sent(), sent);
            QCOMPARE(result.status, status);
            QCOMPARE(result.why.startsWith("projector 1: it is "), status == Status::NotNow);
        }
    }

    // A client's later requests wait behind its action's read: the line sees them in the
    // order given. Another client's go on meanwhile; a closed client's never go.
    void heldRequestsKeepTheirOrderAndACancelledClientsNeverGo()
    {
        Rig rig("-");
        const Rig *other = &rig;
        const auto submit = [&](const void *owner, QByteArray code) {
            rig.gate.submit(owner, {"A001", {code}}, [](const LineResult &) {});
        };
        submit(this, "C00"), submit(this, "CR1"), submit(other, "CR9");
        rig.line.answer({Status::Ok, {"80"}});
        submit(other, "C05"), submit(other, "CR1");
        rig.gate.cancel(other);
        rig.line.waiting.clear();
        submit(other, "CR3"); // a new client where the closed one was
        QCOMPARE(rig.sent(), "CR0 CR9 C00 CR1 CR0 CR3");
    }

    // The statuses of its own; the HTTP server's (400, 405, 413) are tst_http's.
    void eachAnswerOfTheCommandEndpoint()
    {
        const QByteArray bearer = "Bearer " + kToken;
        // Who/command, Authorization ("-": no token set), reply, answer, frames sent.
        const QList<std::tuple<QByteArray, QByteArray, QByteArray, QByteArray, int>> rows = {
            {"1/power-on", bearer, "80", "200 {\"command\":\"power-on\",\"frame\":\"A001C00\\r\"",
             2},
            {"1/l-time", bearer, "01234",
             "200 {\"command\":\"l-time\",\"frame\":\"A001CR3\\r\",\"lampHours\":1234", 1},
            {"1/power-on", bearer, "20", "409 {\"error\":\"projector 1: it is cooling", 1},
            {"1/power-on", bearer, "", "504 {\"command\":\"power-on\"", 1},
            {"1/power-on", bearer, "!", "503 {\"error\":\"the serial line is down", 1},
            {"all/power-on", bearer, "20", "200 {\"command\":\"power-on\",\"frame\":\"AFFF", 1},
            {"2/power-on", bearer, "", "404 {\"error\":\"no projector 2", 0},
            {"1/fly", bearer, "", "404 {\"error\":\"no command fly", 0},
            {"1/power-on", "", "", "401 {\"error\":\"control needs", 0},
            {"1/power-on", "Bearer " + kToken.chopped(1), "", "401 {\"error\":\"the token", 0},
            {"1/power-on", "Basic " + kToken, "", "401", 0},
            {"1/power-on", "bEARER  " + kToken + ' ', "80", "200", 2},
            {"1/power-on", "-", "", "403 {\"error\":\"control is off", 0},
        };
        for (const auto &[path, token, reply, answer, frames] : rows) {
            Rig rig(reply, token == "-" ? std::nullopt : std::optional(kToken));
            QCOMPARE(rig.post(path, token, "192.0.2.7").left(answer.size()), answer);
            QCOMPARE(rig.line.requests.size(), frames);
            // A wrong credential is logged, without it, and counts as a guess.
            QCOMPARE(rig.throttle.clients(), rig.log.size());
            QCOMPARE(rig.log.size(), int(answer.startsWith("401") && !token.isEmpty()));
            QVERIFY(!rig.log.join(' ').contains(kToken));
        }
    }

    void pastThePjlinkGuessingLimitOfItsAddressEvenTheRightTokenWaits()
    {
        Rig rig;
        for (int i = 0; i < AuthThrottle::kTries; ++i)
            rig.throttle.recordFailure("192.0.2.7");
        QVERIFY(rig.post("1/power-off", "Bearer " + kToken, "192.0.2.7").startsWith("429"));
        QVERIFY(rig.post("1/power-off", "Bearer " + kToken, "192.0.2.8").startsWith("200"));
    }
};

QTEST_GUILESS_MAIN(ControlTest)
#include "tst_control.moc"
