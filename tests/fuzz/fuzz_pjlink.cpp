// The gateway's PJLink side fed arbitrary client bytes in arbitrary pieces, with a line
// that answers at once, later or with a failure, and time passing in between. At most
// eight requests wait, each has one or two frames for the listener's projector, and the
// client gets nothing but printable lines, each ended by a carriage return.
#include "fakelineservice.h"
#include "fakestream.h"
#include "gateway.h"
#include "session.h"
#include "virtualclock.h"

#include <cstdint>
#include <cstdlib>

using namespace tarn::bridge;
using namespace tarn::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto require = [](bool condition) {
        condition ? void() : std::abort();
    };
    const QByteArrayList replies = {"\x06", "00", "40", "28", "80", "FF", "2", "01234", "1A"};
    VirtualClock clock;
    FakeLineService line;
    unsigned turn = 0;
    line.respond = [&](const LineRequest &request) -> std::optional<LineResult> {
        require(request.prefix == "A002" && !request.codes.isEmpty() && request.codes.size() <= 2);
        if (++turn % 3 == 0)
            return std::nullopt; // answered later
        LineResult result{turn % 7 ? LineResult::Status::Ok : LineResult::Status::NoReply, {}};
        for (qsizetype i = 0; i < request.codes.size(); ++i)
            result.replies << replies[(turn + i) % replies.size()];
        return result;
    };
    const bool authenticated = size > 0 && data[0] & 1;
    Gateway gateway(line, clock,
                    {authenticated ? std::optional<QByteArray>("JBMIAProjectorLink") : std::nullopt,
                     false, [&] { return clock.now(); },
                     [] {
                         return 0x498e4a67u;
                     }},
                    [](const QString &) {});
    auto stream = std::make_unique<FakeStream>();
    FakeStream *client = stream.get();
    gateway.accept(std::move(stream), {"2", "A002", "Hall", {"11", "12", "31", "32"}}, "");
    for (std::size_t at = 1, n = 0; at < size && !client->isClosed; at += n) {
        n = std::min<std::size_t>(size - at, 1 + data[at] % 64);
        client->send(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
        if (!line.waiting.isEmpty() && (data[at] & 0x80))
            line.answer({LineResult::Status::Ok, {"00"}});
        clock.advance(std::chrono::milliseconds(data[at] * 200));
        require(line.waiting.size() <= Session::kMaxWaiting);
    }
    while (!line.waiting.isEmpty())
        line.answer({LineResult::Status::LineDown, {}});
    for (const char c : client->written)
        require((c >= ' ' && c <= '~') || c == '\r');
    require(client->written.endsWith('\r'));
    return 0;
}
