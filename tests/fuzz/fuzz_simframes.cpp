// Arbitrary bytes, cut at arbitrary points, into the simulated line: frames come out only
// when well formed, the parser's buffer stays bounded and replies always end properly.
#include "frameparser.h"
#include "line.h"

#include <cstdint>
#include <cstdlib>

using namespace tarn::sim;
using namespace std::chrono_literals;

namespace {
void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool printable(char c)
{
    return c >= 0x20 && c < 0x7f;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FrameParser parser;
    Line line(4, Timing{});
    std::chrono::milliseconds now{0};
    std::size_t at = 0;
    while (at < size) {
        // The first byte of each step says how many bytes follow and how much time passes.
        const std::size_t n = std::min<std::size_t>(data[at] % 16, size - at - 1);
        const QByteArrayView piece(data + at + 1, qsizetype(n));
        at += n + 1;
        now += std::chrono::milliseconds(data[at - n - 1] / 16 * 250);

        for (const Frame &frame : parser.feed(piece)) {
            require(frame.code.size() == FrameParser::kCodeLength);
            require(frame.prefix.isEmpty() || frame.prefix.size() == FrameParser::kPrefixLength);
            require(frame.prefix.isEmpty() || frame.prefix.front() == 'A');
            require(std::all_of(frame.code.begin(), frame.code.end(), printable));
        }
        require(parser.pending() <= FrameParser::kMaxBody);

        for (const Line::Exchange &exchange : line.receive(piece, now)) {
            if (exchange.frame.isBroadcast())
                require(!exchange.reply);
            if (exchange.reply)
                require(!exchange.reply->isEmpty() &&
                        (exchange.reply->back() == '\r' || *exchange.reply == "\x06"));
        }
    }
    return 0;
}
