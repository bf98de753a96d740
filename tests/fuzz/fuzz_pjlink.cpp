// The gateway's PJLink side fed arbitrary client bytes in arbitrary pieces, with a line
// that answers some requests at once, some later and some with a failure, and time
// passing in between. Whatever happens, at most eight requests of the client wait, every
// request has one or two frames for the listener's projector, and the client gets
// nothing but printable lines, each ended by a carriage return.
#include "fakelineservice.h"
#include "fakestream.h"
#include "gateway.h"
#include "session.h"
#include "virtualclock.h"

#include <cstdint>
#include <cstdlib>

using namespace tarn::bridge;
using namespace tarn::test;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

const QByteArrayList kReplies = {"\x06", "00", "40",    "28", "80",      "03",
                                 "FF",   "2",  "01234", "1A", "TSX4L20", "?"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    VirtualClock clock;
    FakeLineService line;
    unsigned turn = data[1];
    line.respond = [&](const LineRequest &request) -> std::optional<LineResult> {
        require(request.prefix == "A002" && !request.codes.isEmpty() && request.codes.size() <= 2);
        if (++turn % 3 == 0)
            return std::nullopt; // answered later
        LineResult result{turn % 7 ? LineResult::Status::Ok : LineResult::Status::NoReply, {}};
        for (qsizetype i = 0; i < request.codes.size(); ++i)
            result.replies << kReplies[(turn + i) % kReplies.size()];
        return result;
    };
    const auto password =
        data[0] & 1 ? std::optional<QByteArray>("JBMIAProjectorLink") : std::nullopt;
    Gateway gateway(line, clock,
                    {password, false, [&] { return clock.now(); },
                     [] {
                         return 0x498e4a67u;
                     }},
                    [](const QString &) {});
    auto stream = std::make_unique<FakeStream>();
    FakeStream *client = stream.get();
    gateway.accept(std::move(stream), Profile{"2", "A002", "Hall", {"11", "12", "31", "32"}},
                   "192.0.2.1");
    for (std::size_t at = 2; at < size && !client->isClosed;) {
        const std::size_t n = std::min<std::size_t>(size - at, 1 + data[at] % 64);
        client->send(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
        at += n;
        if (!line.waiting.isEmpty() && (data[at - 1] & 0x80))
            line.answer({LineResult::Status::Ok, {"00"}});
        clock.advance(std::chrono::milliseconds(data[at - 1] * 200));
        require(line.waiting.size() <= Session::kMaxWaiting);
    }
    while (!line.waiting.isEmpty())
        line.answer({LineResult::Status::LineDown, {}});
    for (const char c : client->written)
        require((c >= ' ' && c <= '~') || c == '\r');
    require(client->written.isEmpty() || client->written.endsWith('\r'));
    return 0;
}
