// The HTTP server on fake connections and a virtual clock: the request rules of HTTP/1.1
// (RFC 9112) and every bound; then once on loopback, read by Qt's own HTTP client.
#include "fakestream.h"
#include "virtualclock.h"

#include "http/httpconnection.h"
#include "http/httplistener.h"
#include "http/httpserver.h"
#include "http/router.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
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
        row("a GET stays open", kGet, 200, false, "GET ");
        row("HTTP/1.0 closes, and needs no Host", "GET /echo HTTP/1.0\r\n\r\n", 200, true, "GET ");
        row("Connection: close", get + "Connection: Close\r\n\r\n", 200, true, "GET ");
        row("bare LF, empty lines first", "\r\n\nGET /echo?x HTTP/1.1\nHost: gw\n\n", 200, false,
            "GET ");
        row("a body", post + "5\r\n\r\nhello", 200, false, "POST hello");
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
};

QTEST_GUILESS_MAIN(HttpTest)
#include "tst_http.moc"
