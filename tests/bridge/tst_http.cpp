// The HTTP server on fake connections and a virtual clock: the request rules of HTTP/1.1
// (RFC 9112) and every bound; then once on loopback, read by Qt's own HTTP client. Then the
// live state kept from the line's transactions, and the read endpoints served from it: the
// metrics as Prometheus's own parser reads them, the API as JSON.
#include "fakestream.h"
#include "parsemetrics.h"
#include "virtualclock.h"

#include "http/httpconnection.h"
#include "http/httplistener.h"
#include "http/httpserver.h"
#include "http/router.h"
#include "state/livestate.h"
#include "state/metrics.h"
#include "state/readendpoints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kGet = "GET /echo HTTP/1.1\r\nHost: gw\r\n\r\n";

// A server whose routes echo what they were given; /later answers when a test says so.
struct Rig
{
    Rig()
    {
        router.add("GET", "/echo", echo);
        router.add("POST", "/echo", echo);
        router.add("POST", "/api/v1/projectors/{who}/commands/{name}", echo);
        router.add("GET", "/later",
                   [this](const HttpCall &, const Respond &respond) { pending << respond; });
    }
    static void echo(const HttpCall &call, const Respond &respond)
    {
        const QByteArray params = call.params.value("who") + call.params.value("name");
        respond({200, "text/plain", call.request.method + ' ' + params + call.request.body, {}});
    }
    FakeStream *connect(const QString &address = QStringLiteral("192.0.2.1"))
    {
        auto *client = new FakeStream; // the server owns it
        server.accept(std::unique_ptr<FakeStream>(client), address);
        return client;
    }

    VirtualClock clock;
    Router router;
    QStringList log;
    HttpServer server{router, clock, [this](const QString &line) {
                          log << line;
                      }};
    QList<Respond> pending;
};

// The status codes of the answers in `bytes`, each checked to carry as many body bytes as
// its Content-Length says.
QList<int> statuses(const QByteArray &bytes, QByteArray *lastBody = nullptr)
{
    QList<int> codes;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype headEnd = bytes.indexOf("\r\n\r\n", at) + 4;
        const QByteArray head = bytes.mid(at, headEnd - at);
        const qsizetype length = head.indexOf("Content-Length: ");
        const qsizetype size =
            head.mid(length + 16, head.indexOf('\r', length) - length - 16).toInt();
        codes << (head.startsWith("HTTP/1.1 ") ? head.mid(9, 3).toInt() : -1);
        if (lastBody)
            *lastBody = bytes.mid(headEnd, size);
        at = headEnd + size;
    }
    return codes;
}

Moment at(std::chrono::milliseconds steady)
{
    return {steady, 1'700'000'000'000ms + steady};
}

QList<Profile> fourProjectors()
{
    QList<Profile> served;
    for (const char *who : {"1", "2", "3", "4"})
        served << Profile{who, QByteArray("A00") + who, QByteArray("Hall ") + who, {}};
    served[1].name = "Say \"hi\" \\ to\nme";
    served << Profile{"all", "AFFF", "every", {}}; // no record
    return served;
}

std::pair<int, QJsonObject> answer(const Router &router, const QByteArray &path)
{
    HttpResponse response;
    HttpRequest request;
    request.method = "GET", request.path = path;
    router.dispatch(request, nullptr, {}, [&](const HttpResponse &r) { response = r; });
    return {response.status, QJsonDocument::fromJson(response.body).object()};
}

} // namespace

class HttpTest : public QObject
{
    Q_OBJECT
private slots:
    void eachRequestIsServedOrRefusedAsHttp11Says_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QByteArray>("body"); // of a 200: the method, the path's names, the body
        const auto row = [](const char *name, QByteArray request, int status, bool closes,
                            QByteArray body = {}) {
            QTest::newRow(name) << request << status << closes << body;
        };
        const QByteArray get = "GET /echo HTTP/1.1\r\nHost: gw\r\n";
        const QByteArray post = "POST /echo HTTP/1.1\r\nHost: gw\r\nContent-Length: ";
        const QByteArray chunked = "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray head = get + "X: " + QByteArray(8192 - get.size() - 7, 'x');
        row("HTTP/1.0 closes, and needs no Host", "GET /echo HTTP/1.0\r\n\r\n", 200, true, "GET ");
        row("Connection: close", get + "Connection: Close\r\n\r\n", 200, true, "GET ");
        row("bare LF, empty lines first", "\r\n\nGET /echo?x HTTP/1.1\nHost: gw\n\n", 200, false,
            "GET ");
        row("a body of 4 KiB", post + "4096\r\n\r\n" + QByteArray(4096, 'x'), 200, false,
            "POST " + QByteArray(4096, 'x'));
        row("a body past 4 KiB", post + "4097\r\n\r\n", 413, true);
        row("a length past 64 bits", post + "99999999999999999999999\r\n\r\n", 413, true);
        row("a chunked body", get + chunked, 411, true);
        row("a length and a transfer coding", post + "1\r\n" + chunked, 400, true);
        row("two lengths", post + "1\r\nContent-Length: 2\r\n\r\n", 400, true);
        row("HTTP/1.1 without Host", "GET /echo HTTP/1.1\r\n\r\n", 400, true);
        row("a folded field", get + " x\r\n\r\n", 400, true);
        row("space before the colon", get + "X : y\r\n\r\n", 400, true);
        row("a NUL in a value", get + QByteArray("X: \0\r\n\r\n", 8), 400, true);
        row("absolute form", "GET http://gw/echo HTTP/1.1\r\nHost: gw\r\n\r\n", 400, true);
        row("HTTP/2.0", "GET /echo HTTP/2.0\r\nHost: gw\r\n\r\n", 505, true);
        row("a head of 8 KiB", head + "\r\n\r\n", 200, false, "GET ");
        row("a head past 8 KiB", head + "x\r\n\r\n", 431, true);
        row("an unknown path", "GET /nothing HTTP/1.1\r\nHost: gw\r\n\r\n", 404, false);
        row("a wrong method", "DELETE /echo HTTP/1.1\r\nHost: gw\r\n\r\n", 405, false);
        row("HEAD: the length without the body", "HEAD /echo HTTP/1.1\r\nHost: gw\r\n\r\n", 200,
            false, "");
        row("the command path",
            "POST /api/v1/projectors/3/commands/power-on HTTP/1.1\r\nHost: gw\r\n\r\n", 200, false,
            "POST 3power-on");
    }

    void eachRequestIsServedOrRefusedAsHttp11Says()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(bool, closes);
        QFETCH(QByteArray, body);
        for (const qsizetype piece : {request.size(), qsizetype(1)}) { // whole, then bytewise
            Rig rig;
            FakeStream *client = rig.connect();
            for (qsizetype at = 0; at < request.size() && !client->isClosed; at += piece)
                client->send(request.mid(at, piece));
            QByteArray answered;
            QCOMPARE(statuses(client->written, &answered), QList<int>{status});
            QCOMPARE(client->isClosed, closes);
            QCOMPARE(client->written.contains("Connection: close\r\n"), closes);
            if (status == 200)
                QCOMPARE(answered, body);
            if (status >= 400)
                QVERIFY(answered.startsWith("{\"error\":\""));
            if (status == 405)
                QVERIFY(client->written.contains("\r\nAllow: GET, HEAD, POST\r\n"));
            QCOMPARE(rig.server.answers().at(status), 1u);
        }
    }

    void answersWaitInOrderAndTheNextRequestIsNotReadMeanwhile()
    {
        Rig rig;
        FakeStream *client = rig.connect();
        client->send("GET /later HTTP/1.1\r\nHost: gw\r\n\r\n" + kGet);
        QVERIFY(!client->reading && client->written.isEmpty());
        rig.clock.advance(60s); // an answer that waits is not a slow client
        rig.pending.takeFirst()({200, "text/plain", "late", {}});
        QCOMPARE(statuses(client->take()), (QList<int>{200, 200}));
        QVERIFY(client->reading);
        // An answer that comes after its connection closed goes nowhere.
        client->send("GET /later HTTP/1.1\r\nHost: gw\r\n\r\n");
        client->close();
        rig.pending.takeFirst()({200, "text/plain", "gone", {}});
        QCOMPARE(client->take(), "");
        // A stream that goes on delivering while told to stop is cut off past the bound.
        FakeStream *pushy = rig.connect();
        pushy->send("GET /later HTTP/1.1\r\nHost: gw\r\n\r\n");
        pushy->push(QByteArray(HttpConnection::kMaxUnread, 'x'));
        QVERIFY(!pushy->isClosed);
        pushy->push("x");
        QVERIFY(pushy->isClosed);
    }

    void aRequestMustComeWithin10sAndAnIdleConnectionCloses()
    {
        Rig rig;
        FakeStream *slow = rig.connect();
        FakeStream *idle = rig.connect();
        rig.clock.advance(14s);
        slow->send("G"); // the 10 s run from here, whatever comes after
        idle->send(kGet);
        rig.clock.advance(9999ms);
        slow->send("ET /echo HTTP/1.1\r\n");
        QVERIFY(!slow->isClosed && !idle->isClosed);
        rig.clock.advance(1ms);
        QCOMPARE(statuses(slow->written), QList<int>{408});
        QVERIFY(slow->isClosed);
        rig.clock.advance(HttpConnection::kIdleTime - 10s - 1ms);
        QVERIFY(!idle->isClosed);
        rig.clock.advance(1ms);
        QVERIFY(idle->isClosed);
        // Empty lines are bytes of a request too.
        FakeStream *blank = rig.connect();
        for (int i = 0; i < 10; ++i, rig.clock.advance(1s))
            blank->send("\r\n");
        QVERIFY(blank->isClosed && blank->written.startsWith("HTTP/1.1 408"));
    }

    // The 33rd connection, or the 9th from one address (an IPv6 one by its /64), is closed
    // at once; a closing connection makes room again.
    void aConnectionPastACapIsClosedAtOnce()
    {
        Rig rig;
        QList<const void *> gone;
        QObject::connect(&rig.server, &HttpServer::clientGone, [&](const void *c) { gone << c; });
        const auto fill = [&](int count, const QString &address) {
            for (int i = 0; i < count; ++i)
                QVERIFY(!rig.connect(address.arg(i))->isClosed);
        };
        fill(HttpServer::kMaxPerClient, "2001:db8::%1");
        QVERIFY(rig.connect("2001:db8::ffff:1")->isClosed);
        FakeStream *first = rig.connect("192.0.2.200");
        fill(HttpServer::kMaxConnections - HttpServer::kMaxPerClient - 1, "198.51.100.%1");
        FakeStream *extra = rig.connect("203.0.113.1");
        QVERIFY(extra->isClosed && extra->written.isEmpty());
        QCOMPARE(rig.server.connections(), HttpServer::kMaxConnections);
        first->close();
        QCOMPARE(gone.size(), 1);
        QVERIFY(!rig.connect("203.0.113.1")->isClosed);
        QCOMPARE(rig.log.filter("refusing").size(), 2);
    }

    void qtsOwnClientReadsTheAnswersOnOneKeptConnection()
    {
        Rig rig;
        HttpListener listener(rig.server, [](const QString &) {});
        QVERIFY(listener.listen({QHostAddress::LocalHost, 0}).isEmpty());
        QNetworkAccessManager client;
        const QUrl base(QStringLiteral("http://127.0.0.1:%1").arg(listener.port()));
        for (const QString &path : {u"/echo"_s, u"/nothing"_s, u"/echo"_s}) {
            std::unique_ptr<QNetworkReply> reply(
                client.get(QNetworkRequest(base.resolved(QUrl(path)))));
            QVERIFY(QTest::qWaitFor([&] { return reply->isFinished(); }, 5000));
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            QCOMPARE(status, path == u"/echo" ? 200 : 404);
            QCOMPARE(reply->readAll(),
                     path == u"/echo" ? "GET " : "{\"error\":\"nothing is served at /nothing\"}\n");
        }
        QCOMPARE(rig.server.connections(), 1);
    }

    void actionsMakeReadingsStaleUntilReadAgainAndOnlyChangesAreSignalled()
    {
        LiveState state(fourProjectors());
        QSignalSpy changes(&state, &LiveState::changed);
        state.observe("A001", "CR0", "00", at(0ms));
        state.observe("A001", "CR3", "01234", at(0ms));
        state.observe("A003", "CR0", "00", at(0ms));
        QVERIFY(state.recent("A001", QLatin1StringView("CR0"), 1s, at(1000ms)));
        QVERIFY(!state.recent("A001", QLatin1StringView("CR0"), 1s, at(1001ms)));
        state.observe("A001", "C0D", "\x06", at(200ms)); // video mute on
        QVERIFY(!state.recent("A001", QLatin1StringView("CR0"), 1s, at(300ms)));
        QCOMPARE(state.byPrefix("A001")->staleKeys(), QStringList({"errors", "keyLock", "power"}));
        state.observe("AFFF", "C01", {}, at(300ms));
        QCOMPARE(state.byPrefix("A003")->staleKeys().size(), 3);
        QCOMPARE(changes.size(), 5);
        state.observe("A001", "CR0", "00", at(400ms)); // the same value, no longer stale
        QVERIFY(state.recent("A001", QLatin1StringView("CR0"), 1s, at(500ms)));
        state.observe("A001", "CR0", "00", at(500ms)); // nothing new
        state.observe("A001", "CR0", "zz", at(600ms)); // reads as nothing: the last stays
        QCOMPARE(state.byPrefix("A001")->values()["power"], "on");
        QCOMPARE(state.byPrefix("A001")->ages(at(700ms))["power"], 0.2);
        QCOMPARE(changes.size(), 6);
        state.observeTimeout("A001");
        state.observeTimeout("A001");
        state.setSilenced("A001", true);
        QCOMPARE(state.byPrefix("A001")->consecutiveTimeouts, 2);
        state.observe("A001", "CR1", "1", at(800ms));
        QCOMPARE(state.byPrefix("A001")->consecutiveTimeouts, 0);
        QCOMPARE(changes.size(), 9);
        QCOMPARE(state.byPrefix("A001")->version, 7u);
    }

    void theMetricsAreReadByPrometheusOwnParser()
    {
        LiveState state(fourProjectors());
        state.setLineUp(true);
        state.counters().transactions = 7;
        const QList<std::array<const char *, 3>> replies = {
            {"A001", "CR0", "00"}, {"A001", "CR3", "01234"}, {"A001", "CR6", "038.5  41.5"},
            {"A002", "CR0", "40"}, {"A003", "CR0", "88"},    {"A003", "CR7", "25"}};
        for (const auto &[prefix, code, reply] : replies)
            state.observe(prefix, code, reply, at(2500ms));
        const MonitorInputs inputs{"hall_line", "TARN", "HV20", {}, {}}; // no clock: no ages
        const QByteArray text = renderMetrics(state, inputs, {3, 2, {{200, 5}, {404, 2}}});
        QString problem;
        const QMap<QString, double> samples = tarn::test::parsedMetrics(text, problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        for (const QString &sample : samples.keys())
            QVERIFY(sample.contains(R"(line="hall_line")"));
        const QList<std::pair<QString, double>> expected = {
            {R"(pjlink_power_status{line="hall_line",projector="1"})", 1},
            {R"(pjlink_power_status{line="hall_line",projector="2"})", 3},
            {R"(pjlink_error_status{component="temperature",line="hall_line",projector="3"})", 2},
            {R"(pjlink_error_status{component="other",line="hall_line",projector="3"})", 0},
            {R"(pjlink_lamp_hours{lamp="4",line="hall_line",projector="1"})", 1234},
            {"pjlink_device_info{line=\"hall_line\",manufacturer=\"TARN\",model=\"HV20\","
             "name=\"Say \\\"hi\\\" \\\\ to\\nme\",projector=\"2\"}",
             1}, // moc misreads a raw string with a backslash in it
            {R"(tarn_lamp_lit{lamp="3",line="hall_line",projector="3"})", 1},
            {R"(tarn_lamp_lit{lamp="2",line="hall_line",projector="3"})", 0},
            {R"(tarn_temperature_celsius{line="hall_line",projector="1",sensor="1"})", 38.5},
            {R"(tarn_reading_timestamp_seconds{line="hall_line",projector="1",reading="lamp_hours"})",
             1700000002.5},
            {R"(tarn_line_up{line="hall_line"})", 1},
            {R"(tarn_line_transactions_total{line="hall_line"})", 7},
            {R"(tarn_pjlink_failed_authentications_total{line="hall_line"})", 2},
            {R"(tarn_http_requests_total{code="404",line="hall_line"})", 2},
        };
        for (const auto &[sample, value] : expected)
            QVERIFY2(samples.value(sample, -1) == value, qPrintable(sample));
        QVERIFY(!samples.contains(R"(pjlink_power_status{line="hall_line",projector="4"})"));
    }

    // Each query's reply, read 100 ms after the one before, lands under its keys with its age.
    void theReadEndpointsAnswerFromTheRecord()
    {
        LiveState state(fourProjectors());
        Router router;
        addReadRoutes(router, state, {"hall_line", "TARN", "HV20", {}, [] {
                                          return at(3s);
                                      }});
        std::chrono::milliseconds readAt = 0ms;
        for (const QByteArray row :
             {"CR0 88", "CR1 3", "CRA 01", "CR3 01234", "CR7 1A", "CR6 038.5  41.5", "CR9 TSX4L20"})
            state.observe("A003", row.left(3), row.mid(4), at(readAt += 100ms));
        QCOMPARE(answer(router, "/healthz").first, 503);
        state.setLineUp(true);
        QCOMPARE(answer(router, "/healthz").second["line"], "up");
        const QJsonDocument expected = QJsonDocument::fromJson(R"({
            "projector": "3", "name": "Hall 3", "power": "standby", "errors": ["temperature"],
            "keyLock": false, "input": 3, "videoMute": true, "audioMute": false,
            "noSignal": false, "standby": false, "lampHours": 1234, "lampMode": "1-4",
            "lampsOn": [2, 4], "temperatures": [38.5, 41.5], "pcType": "TSX4L20",
            "stale": [], "ages": {"power": 2.9, "errors": 2.9, "keyLock": 2.9,
            "input": 2.8, "videoMute": 2.7, "audioMute": 2.7, "noSignal": 2.7, "standby": 2.7,
            "lampHours": 2.6, "lampMode": 2.5, "lampsOn": 2.5, "temperatures": 2.4,
            "pcType": 2.3}, "health": {"secondsSinceAnswer": 2.3,
            "consecutiveTimeouts": 0, "silenced": false}})");
        QCOMPARE(answer(router, "/api/v1/projectors/3").second, expected.object());
        QCOMPARE(answer(router, "/api/v1/projectors/1").second["power"], QJsonValue());
        QCOMPARE(answer(router, "/api/v1/projectors").second["projectors"].toArray().size(), 4);
        QCOMPARE(answer(router, "/api/v1/projectors/single").first, 404);
    }
};

QTEST_GUILESS_MAIN(HttpTest)
#include "tst_http.moc"
