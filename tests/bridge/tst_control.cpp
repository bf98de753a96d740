// Control: the action rule (ERR3) on a fake line and a virtual clock, the HTTP token, and
// every answer of the command endpoint through the real HTTP server.
#include "fakelineservice.h"
#include "fakestream.h"
#include "virtualclock.h"

#include "auththrottle.h"
#include "control/actiongate.h"
#include "control/commandendpoint.h"
#include "http/httpserver.h"
#include "http/router.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;
using Status = LineResult::Status;

namespace {

const QByteArray kToken = "0123456789abcdef";

// The gate over a fake line whose projector answers a query with `reply` ("" none, "-" not
// yet) and an action with ACK; the command endpoint behind it.
struct Rig
{
    Rig()
        : gate(line, state,
               [this] {
                   return Moment{clock.now(), {}};
               }),
          server(router, clock, [](const QString &) {}),
          endpoint(gate, throttle, {kToken, profiles}, [this](const QString &l) { log << l; })
    {
        line.respond = [this](const LineRequest &r) -> std::optional<LineResult> {
            if (reply == "-")
                return std::nullopt;
            return LineResult{reply.isEmpty() ? Status::NoReply
                              : down          ? Status::LineDown
                                              : Status::Ok,
                              {r.codes[0].startsWith("CR") ? reply : "\x06"}};
        };
        endpoint.addTo(router);
    }
    QByteArray sent() const
    {
        QByteArrayList codes;
        for (const LineRequest &request : line.requests)
            codes << request.codes;
        return codes.join(' ');
    }
    QByteArray http(const QByteArray &request, const QString &address = "192.0.2.7")
    {
        auto *client = new FakeStream(address + ":4000"); // the server owns it
        server.accept(std::unique_ptr<FakeStream>(client), address);
        client->send(request);
        client->close();
        return client->written;
    }

    VirtualClock clock;
    FakeLineService line;
    QByteArray reply = "00";
    bool down = false;
    const QList<Profile> profiles{{"1", "A001", "P1", {"11"}}, {"all", "AFFF", "All", {"11"}}};
    LiveState state{profiles};
    AuthThrottle throttle{std::bind(&VirtualClock::now, &clock)};
    ActionGate gate;
    Router router;
    HttpServer server;
    QStringList log;
    CommandEndpoint endpoint;
};

QByteArray post(const QByteArray &tail, const QByteArray &headers)
{
    return "POST /api/v1/projectors/" + tail + " HTTP/1.1\r\nHost: gw\r\n" + headers + "\r\n";
}

} // namespace

class ControlTest : public QObject
{
    Q_OBJECT
private slots:
    // The rule as the issue states it, on PJLink's CR0 replies: 80 standby, 00 on, 40
    // warming, 20 cooling, 04 power save, 24 cooling to power save.
    void anActionIsCheckedAgainstAPowerStateReadWithinASecond()
    {
        // The codes ("AFFF" first: to every projector), the record's CR0 ("" none) and its
        // age in ms (-1: an action since), the line's reply to CR0, what went on the line.
        const QList<std::tuple<QByteArray, QByteArray, int, QByteArray, QByteArray, Status>> rows =
            {
                {"C00", "", 0, "20", "CR0", Status::NotNow},
                {"C00", "", 0, "24", "CR0", Status::NotNow},
                {"C00", "", 0, "40", "CR0 C00", Status::Ok},
                {"C01", "", 0, "20", "C01", Status::Ok},
                {"C05", "", 0, "80", "CR0", Status::NotNow},
                {"C08", "", 0, "04", "CR0", Status::NotNow},
                {"C0D C0B", "", 0, "40", "CR0", Status::NotNow},
                {"C0E", "", 0, "00", "CR0 C0E", Status::Ok},
                {"C06", "80", 999, "00", "", Status::NotNow},
                {"C06", "00", 999, "80", "C06", Status::Ok},
                {"C06", "80", 1001, "00", "CR0 C06", Status::Ok},
                {"C06", "00", -1, "80", "CR0", Status::NotNow},
                {"AFFF C00", "20", 0, "20", "C00", Status::Ok},
                {"CR1", "20", 0, "20", "CR1", Status::Ok},
                {"C05", "", 0, "zz", "CR0 C05", Status::Ok}, // an unreadable state: no check
                {"C05", "", 0, "", "CR0", Status::NoReply},
            };
        for (const auto &[codes, kept, age, reply, sent, status] : rows) {
            Rig rig;
            if (!kept.isEmpty())
                rig.state.observe("A001", "CR0", kept, {rig.clock.now(), {}});
            if (age < 0)
                rig.state.observe("A001", "C05", "\x06", {rig.clock.now(), {}});
            rig.clock.advance(milliseconds(std::max(age, 0)));
            rig.reply = reply;
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
        Rig rig;
        rig.reply = "-";
        const int other = 0;
        const auto submit = [&](const void *owner, QByteArray code) {
            rig.gate.submit(owner, {"A001", {code}}, [](const LineResult &) {});
        };
        submit(this, "C00"), submit(this, "CR1"), submit(&other, "CR9");
        rig.line.answer({Status::Ok, {"80"}});
        submit(&other, "C05"), submit(&other, "CR1");
        rig.gate.cancel(&other);
        rig.line.waiting.clear();
        submit(&other, "CR3"); // a new client where the closed one was
        QCOMPARE(rig.sent(), "CR0 CR9 C00 CR1 CR0 CR3");
    }

    void theTokenFileAndTheBearerCredential()
    {
        QTemporaryDir dir;
        const QList<std::pair<QByteArray, QString>> files = {
            {kToken + "\n", kToken},
            {QByteArray(256, 't'), QString(256, 't')},
            {kToken.chopped(1), "at least"},
            {QByteArray(257, 't'), "at most 256"},
            {kToken + ' ', "space"}};
        for (const auto &[content, outcome] : files) {
            QFile file(dir.filePath(QString::number(content.size())));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) && file.flush());
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
            const auto read = readTokenFile(file.fileName());
            QVERIFY(std::visit([&](const auto &v) { return QString(v).contains(outcome); }, read));
        }
        const QList<std::pair<QByteArray, bool>> headers = {
            {"Bearer " + kToken, true},        {"bEARER  " + kToken + ' ', true},
            {"Bearer " + kToken + 'x', false}, {"Bearer " + kToken.chopped(1), false},
            {"Basic " + kToken, false},        {kToken, false}};
        for (const auto &[header, accepted] : headers)
            QCOMPARE(BearerCheck(kToken).accepts(header), accepted);
    }

    // The statuses of its own; the HTTP server's (400, 405, 413) are tst_http's.
    void everyAnswerOfTheCommandEndpoint()
    {
        const QByteArray token = "Authorization: Bearer " + kToken + "\r\n";
        // The request, the projector's reply, the answer's status and start, the frames sent.
        const QList<std::tuple<QByteArray, QByteArray, QByteArray, int>> rows = {
            {"1/commands/power-on", "80",
             "200 {\"command\":\"power-on\",\"frame\":\"A001C00\\r\",\"ok\":true", 2},
            {"1/commands/lamp-time", "01234",
             "200 {\"command\":\"lamp-time\",\"frame\":\"A001CR3\\r\",\"lampHours\":1234", 1},
            {"1/commands/power-on", "20", "409 {\"error\":\"projector 1: it is cooling", 1},
            {"1/commands/power-on", "", "504 {\"command\":\"power-on\"", 1},
            {"all/commands/power-on", "20", "200 {\"command\":\"power-on\",\"frame\":\"AFFFC00", 1},
            {"2/commands/power-on", "", "404 {\"error\":\"no projector 2", 0},
            {"1/commands/fly", "", "404 {\"error\":\"no command fly", 0},
            {"1/commands/power-on", "", "401 {\"error\":\"control needs", 0},
            {"1/commands/power-on", "", "401 {\"error\":\"the token is wrong", 0},
        };
        for (const auto &[path, reply, answer, frames] : rows) {
            Rig rig;
            rig.reply = reply;
            const QByteArray auth = answer.contains("needs")   ? ""
                                    : answer.contains("wrong") ? token.chopped(3) + "\r\n"
                                                               : token;
            const QByteArray written = rig.http(post(path, auth));
            const QByteArray body = written.mid(written.indexOf("\r\n\r\n") + 4);
            QCOMPARE((written.mid(9, 4) + body).left(answer.size()), answer);
            QCOMPARE(rig.line.requests.size(), frames);
            QVERIFY(!rig.log.join(' ').contains(kToken));
        }
    }

    // Without a token nothing is allowed; a line that is down is 503; wrong tokens count
    // toward the PJLink guessing limit of their address: past it even the right one waits.
    void forbiddenDownAndThrottled()
    {
        Rig rig;
        CommandEndpoint off(rig.gate, rig.throttle, {{}, rig.profiles}, [](auto) {});
        Router router;
        off.addTo(router);
        HttpServer server(router, rig.clock, [](const QString &) {});
        auto *client = new FakeStream;
        server.accept(std::unique_ptr<FakeStream>(client), "192.0.2.7");
        const QByteArray right =
            post("1/commands/power-on", "Authorization: Bearer " + kToken + "\r\n");
        client->send(right);
        QVERIFY(client->written.startsWith("HTTP/1.1 403"));
        rig.down = true;
        for (int i = 0; i < AuthThrottle::kTries; ++i)
            QVERIFY(
                rig.http(post("1/commands/x", "Authorization: Bearer x\r\n")).contains(" 401 "));
        QVERIFY(rig.http(right).startsWith("HTTP/1.1 429"));
        QVERIFY(rig.http(right, "192.0.2.8").startsWith("HTTP/1.1 503"));
        QCOMPARE(rig.log.size(), AuthThrottle::kTries);
    }
};

QTEST_GUILESS_MAIN(ControlTest)
#include "tst_control.moc"
