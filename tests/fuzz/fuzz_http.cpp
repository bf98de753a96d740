// The HTTP server fed any bytes in any pieces, on a virtual clock, with one route that
// answers at once and one that answers later: the client gets only whole answers, each
// with a status line and as many body bytes as its Content-Length says (none to HEAD),
// and no request the reader passes on breaks a bound.
#include "fakestream.h"
#include "virtualclock.h"

#include "http/httpserver.h"
#include "http/router.h"

#include <cstdint>
#include <cstdlib>

using namespace tarn::bridge;
using namespace tarn::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto require = [](bool holds) {
        holds ? void() : std::abort();
    };
    VirtualClock clock;
    Router router;
    QList<Respond> later;
    const Handler check = [&](const HttpCall &call, const Respond &respond) {
        require(call.request.body.size() <= RequestReader::kMaxBody &&
                call.request.path.startsWith('/') && !call.request.method.isEmpty());
        if (call.params.isEmpty())
            respond({200, "text/plain", call.request.body, {}});
        else
            later << respond;
    };
    router.add("GET", "/a", check);
    router.add("POST", "/a/{x}", check);
    HttpServer server(router, clock, [](const QString &) {});
    FakeStream *client = new FakeStream; // the server owns it
    server.accept(std::unique_ptr<FakeStream>(client), QStringLiteral("192.0.2.1"));
    for (std::size_t at = 0, n = 0; at < size && !client->isClosed; at += n) {
        n = std::min<std::size_t>(size - at, 1 + data[at] % 128);
        client->send(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
        if (!later.isEmpty() && (data[at] & 0x80))
            later.takeFirst()({200, "text/plain", "later", {}});
        clock.advance(std::chrono::milliseconds(data[at] * 50));
    }
    const QByteArray &out = client->written;
    for (qsizetype pos = 0; pos < out.size();) {
        const qsizetype end = out.indexOf("\r\n\r\n", pos);
        const qsizetype length = out.indexOf("\r\nContent-Length: ", pos);
        require(out.mid(pos, 9) == "HTTP/1.1 " && end > 0 && length > 0 && length < end);
        // An answer to HEAD says the length of the body it leaves out.
        const qsizetype full =
            end + 4 + out.mid(length + 18, end - length - 18).split('\r').first().toInt();
        const bool whole = full == out.size() || out.mid(full, 9) == "HTTP/1.1 ";
        pos = whole ? full : end + 4;
    }
    return 0;
}
