// Control: the action rule (ERR3) on a fake line and a virtual clock, the HTTP token, and
// every answer of the command endpoint, through the real HTTP server.
#include "fakelineservice.h"
#include "fakestream.h"
#include "virtualclock.h"

#include "control/actiongate.h"
#include "control/commandendpoint.h"
#include "gateway.h"
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
const QByteArray kPost = "POST /api/v1/projectors/1/commands/power-on HTTP/1.1\r\nHost: gw\r\n";

// The gate over a fake line whose projector 1 answers CR0 with `power` ("" for no answer,
// "-" for none yet) and every action with ACK; the command endpoint and PJLink behind it.
struct Rig
{
    Rig()
    {
        line.respond = [this](const LineRequest &r) -> std::optional<LineResult> {
            if (power == "-")
                return std::nullopt;
            if (power.isEmpty())
                return LineResult{Status::NoReply, {}};
            return LineResult{down ? Status::LineDown : Status::Ok,
                              {r.codes[0].startsWith("CR") ? power : "\x06"}};
        };
        endpoint.addTo(router);
    }
    QStringList sent() const
    {
        QStringList codes;
        for (const LineRequest &request : line.requests)
            codes << request.prefix + ' ' + request.codes.join(' ');
        return codes;
    }
    void observe(const QByteArray &reply, QByteArrayView code = "CR0")
    {
        state.observe("A001", code, reply, {clock.now(), {}});
    }
    QByteArray http(const QByteArray &request, const QString &peer = "192.0.2.7:4000")
    {
        auto *client = new FakeStream(peer); // the server owns it
        server.accept(std::unique_ptr<FakeStream>(client), peer.section(':', 0, 0));
        client->send(request);
        const QByteArray written = client->written;
        client->close();
        return written;
    }

    VirtualClock clock;
    FakeLineService line;
    QByteArray power = "00";
    bool down = false;
    const QList<Profile> profiles{{"1", "A001", "P1", {"11"}}, {"all", "AFFF", "All", {"11"}}};
    LiveState state{profiles};
    ActionGate gate{line, state, [this] {
                        return Moment{clock.now(), {}};
                    }};
    Gateway pjlink{gate, clock, {{}, false, [this] { return clock.now(); }, {}}, [](auto) {
                   }};
    Router router;
    HttpServer server{router, clock, [](const QString &) {
                      }};
    QStringList log;
    CommandEndpoint endpoint{gate, pjlink.throttle(), {kToken, profiles}, [this](auto line) {
                                 log << line;
                             }};
};

} // namespace

class ControlTest : public QObject
{
    Q_OBJECT
private slots:
    // The rule as the issue states it, on PJLink's CR0 replies: 80 standby, 00 on, 40
    // warming, 20 cooling, 04 power save, 24 cooling to power save.
    void anActionIsCheckedAgainstAPowerStateReadWithinASecond_data()
    {
        QTest::addColumn<QByteArray>("codes");
        QTest::addColumn<QByteArray>("kept"); // the record's CR0, "" for none
        QTest::addColumn<int>("age");         // ms; -1: made stale by an action
        QTest::addColumn<QByteArray>("power");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<int>("status");
        const auto row = [](const char *name, QByteArray codes, QByteArray kept, int age,
                            QByteArray power, QStringList sent, Status status) {
            QTest::newRow(name) << codes << kept << age << power << sent << int(status);
        };
        const QStringList cr0{"A001 CR0"};
        row("power on while cooling", "C00", "", 0, "20", cr0, Status::NotNow);
        row("... cooling to power save", "C00", "", 0, "24", cr0, Status::NotNow);
        row("power on while warming", "C00", "", 0, "40", cr0 + QStringList{"A001 C00"},
            Status::Ok);
        row("power off while cooling", "C01", "", 0, "20", {"A001 C01"}, Status::Ok);
        row("an input in standby", "C05", "", 0, "80", cr0, Status::NotNow);
        row("an input in power save", "C08", "", 0, "04", cr0, Status::NotNow);
        row("both mutes while warming", "C0D C0B", "", 0, "40", cr0, Status::NotNow);
        row("a mute while on", "C0E", "", 0, "00", cr0 + QStringList{"A001 C0E"}, Status::Ok);
        row("kept 999 ms ago: trusted", "C06", "80", 999, "00", {}, Status::NotNow);
        row("kept 999 ms ago, on", "C06", "00", 999, "80", {"A001 C06"}, Status::Ok);
        row("kept 1001 ms ago: read again", "C06", "80", 1001, "00", cr0 + QStringList{"A001 C06"},
            Status::Ok);
        row("kept, then an action", "C06", "00", -1, "80", cr0, Status::NotNow);
        row("every projector: exempt", "AFFF C00", "20", 0, "20", {"AFFF C00"}, Status::Ok);
        row("a query", "CR1", "20", 0, "20", {"A001 CR1"}, Status::Ok);
        row("an unreadable state", "C05", "", 0, "zz", cr0 + QStringList{"A001 C05"}, Status::Ok);
        row("no answer to the read", "C05", "", 0, "", cr0, Status::NoReply);
    }

    void anActionIsCheckedAgainstAPowerStateReadWithinASecond()
    {
        QFETCH(QByteArray, codes);
        QFETCH(QByteArray, kept);
        QFETCH(int, age);
        QFETCH(QByteArray, power);
        Rig rig;
        rig.clock.advance(5s);
        if (!kept.isEmpty())
            rig.observe(kept);
        if (age < 0)
            rig.observe("\x06", "C05");
        rig.clock.advance(milliseconds(std::max(age, 0)));
        rig.power = power;
        QList<QByteArray> list = codes.split(' ');
        const QByteArray prefix = list[0] == "AFFF" ? list.takeFirst() : "A001";
        std::optional<LineResult> result;
        rig.gate.submit(this, {prefix, list}, [&](const LineResult &r) { result = r; });
        QTEST(rig.sent(), "sent");
        QVERIFY(result);
        QTEST(int(result->status), "status");
        QCOMPARE(result->why.contains("projector 1"), result->status == Status::NotNow);
    }

    // A client's later requests wait behind its action's read: the line sees them in the
    // order given. Another client's go on meanwhile; a closed client's never go.
    void heldRequestsKeepTheirOrderAndACancelledClientsNeverGo()
    {
        Rig rig;
        rig.power = "-";
        int other = 0;
        const auto submit = [&](const void *owner, QByteArray code) {
            rig.gate.submit(owner, {"A001", {code}}, [](const LineResult &) {});
        };
        submit(this, "C00"), submit(this, "CR1"), submit(&other, "CR1");
        QCOMPARE(rig.sent(), (QStringList{"A001 CR0", "A001 CR1"}));
        rig.line.answer({Status::Ok, {"80"}});
        QCOMPARE(rig.sent().mid(2), (QStringList{"A001 C00", "A001 CR1"}));
        submit(&other, "C05"), submit(&other, "CR1");
        rig.gate.cancel(&other);
        rig.line.waiting.clear();
        QCOMPARE(rig.sent().size(), 5);
    }

    void pjlinkAnswersErr3AndTheAllListenerKeepsItsRule()
    {
        Rig rig;
        rig.power = "20";
        for (const auto &[prefix, answer] :
             {std::pair{"A001", "%1POWR=ERR3\r"}, {"AFFF", "%1POWR=OK\r"}}) {
            auto stream = std::make_unique<FakeStream>();
            FakeStream *client = stream.get();
            rig.pjlink.accept(std::move(stream), {"x", prefix, "N", {"11"}}, "192.0.2.1");
            client->take();
            client->send("%1POWR 1\r");
            QCOMPARE(client->take(), answer);
        }
        QCOMPARE(rig.sent(), (QStringList{"A001 CR0", "AFFF C00"}));
    }

    void theTokenFileAndTheBearerCredential()
    {
        QTemporaryDir dir;
        const QList<std::tuple<QByteArray, int, QString>> files = {
            {kToken + "\n", 0640, kToken},
            {QByteArray(256, 't'), 0600, QString(256, 't')},
            {QByteArray(15, 't'), 0600, "at least 16"},
            {QByteArray(257, 't'), 0600, "at most 256"},
            {kToken + ' ', 0600, "space"},
            {kToken, 0604, "every user"},
        };
        for (const auto &[content, mode, outcome] : files) {
            QFile file(dir.filePath(QString::number(content.size() + mode)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) && file.flush());
            QVERIFY(::chmod(qPrintable(file.fileName()), mode) == 0);
            const auto read = readTokenFile(file.fileName());
            QVERIFY2(std::visit([&](const auto &v) { return QString(v).contains(outcome); }, read),
                     qPrintable(outcome));
        }
        const BearerCheck check(kToken);
        for (const auto &[header, accepted] : {std::pair{"Bearer " + kToken, true},
                                               {"bEARER  " + kToken + ' ', true},
                                               {"Bearer " + kToken + 'x', false},
                                               {"Bearer " + kToken.chopped(1), false},
                                               {"Basic " + kToken, false},
                                               {kToken, false},
                                               {"Bearer", false}})
            QCOMPARE(check.accepts(header), accepted);
    }

    void everyAnswerOfTheCommandEndpoint_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("power");
        QTest::addColumn<QByteArray>("answer"); // the status line's code and the body's start
        QTest::addColumn<int>("frames");
        const QByteArray token = "Authorization: Bearer " + kToken + "\r\n";
        const auto row = [](const char *name, QByteArray request, QByteArray answer, int frames = 0,
                            QByteArray power = "80") {
            QTest::newRow(name) << request << power << answer << frames;
        };
        row("done", kPost + token + "\r\n",
            "200 {\"command\":\"power-on\",\"frame\":\"A001C00\\r\","
            "\"ok\":true,\"reply\":\"\\u0006\"}",
            2);
        row("a query", QByteArray(kPost).replace("power-on", "lamp-time") + token + "\r\n",
            "200 {\"command\":\"lamp-time\",\"frame\":\"A001CR3\\r\",\"lampHours\":1234", 1,
            "01234");
        row("no token", kPost + "\r\n", "401 {\"error\":\"control needs");
        row("a wrong token", kPost + token.chopped(3) + "\r\n\r\n", "401 {\"error\":\"the token");
        row("cooling", kPost + token + "\r\n", "409 {\"error\":\"projector 1: it is cooling", 1,
            "20");
        row("no answer", kPost + token + "\r\n", "504 {\"command\"", 1, "");
        row("every projector", QByteArray(kPost).replace("/1/", "/all/") + token + "\r\n",
            "200 {\"command\":\"power-on\",\"frame\":\"AFFFC00\\r\"", 1);
        row("an unknown projector", QByteArray(kPost).replace("/1/", "/2/") + token + "\r\n",
            "404 {\"error\":\"no projector 2");
        row("an unknown command", QByteArray(kPost).replace("power-on", "fly") + token + "\r\n",
            "404 {\"error\":\"no command fly");
        row("a GET", QByteArray(kPost).replace("POST", "GET") + token + "\r\n", "405 {");
        row("two lengths", kPost + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", "400 {");
        row("a body past 4 KiB", kPost + token + "Content-Length: 4097\r\n\r\n", "413 {");
    }

    void everyAnswerOfTheCommandEndpoint()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        Rig rig;
        QFETCH(QByteArray, power);
        rig.power = power;
        const QByteArray written = rig.http(request);
        QCOMPARE(written.mid(9, 4) +
                     written.mid(written.indexOf("\r\n\r\n") + 4, answer.size() - 4),
                 answer);
        QTEST(int(rig.line.requests.size()), "frames");
        QVERIFY(!rig.log.join(' ').contains(kToken));
    }

    // Without a token nothing is allowed; a line that is down is 503; wrong tokens count
    // toward the PJLink guessing limit of their address, and past it even the right one waits.
    void forbiddenDownAndThrottled()
    {
        Rig rig;
        CommandEndpoint none(rig.gate, rig.pjlink.throttle(), {{}, rig.profiles}, [](auto) {});
        Router router;
        none.addTo(router);
        HttpServer server(router, rig.clock, [](const QString &) {});
        auto *client = new FakeStream;
        server.accept(std::unique_ptr<FakeStream>(client), "192.0.2.7");
        client->send(kPost + "Authorization: Bearer " + kToken + "\r\n\r\n");
        QVERIFY(client->written.startsWith("HTTP/1.1 403"));
        rig.down = true;
        QVERIFY(rig.http(kPost + "Authorization: Bearer " + kToken + "\r\n\r\n")
                    .startsWith("HTTP/1.1 503"));
        for (int i = 0; i < AuthThrottle::kTries; ++i)
            QVERIFY(rig.http(kPost + "Authorization: Bearer x\r\n\r\n").startsWith("HTTP/1.1 401"));
        const QByteArray right = kPost + "Authorization: Bearer " + kToken + "\r\n\r\n";
        QVERIFY(rig.http(right).startsWith("HTTP/1.1 429"));
        QVERIFY(rig.http(right, "192.0.2.8:4000").startsWith("HTTP/1.1 503"));
        QCOMPARE(rig.log.size(), AuthThrottle::kTries);
    }
};

QTEST_GUILESS_MAIN(ControlTest)
#include "tst_control.moc"
