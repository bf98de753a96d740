// The PJLink side fed any bytes in any pieces, the line answering at once, later or with a
// failure: at most eight requests wait, each of one or two frames for the listener's
// projector, and the client gets only printable lines ended by a carriage return.
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
        const auto status = turn % 7 ? LineResult::Status::Ok : LineResult::Status::NoReply;
        return LineResult{status, QByteArrayList(request.codes.size(), replies[turn % 9])};
    };
    Gateway gateway(
        line, clock,
        {size > 0 && data[0] & 1 ? std::optional<QByteArray>("JBMIAProjectorLink") : std::nullopt,
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
