// Arbitrary bytes, cut at arbitrary points, into the simulated line: frames come out only
// when well formed, the parser's buffer stays bounded and replies always end properly.
#include "line.h"

#include <cstdlib>

using namespace tarn::sim;

#define REQUIRE(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    FrameParser parser;
    Line line(4, Timing{});
    std::chrono::milliseconds now{0};
    for (std::size_t at = 0; at < size;) {
        // Each step's first byte says how many bytes follow and how much time passes.
        const std::size_t n = std::min<std::size_t>(data[at] % 16, size - at - 1);
        now += std::chrono::milliseconds(data[at] / 16 * 250);
        const QByteArrayView piece(data + at + 1, qsizetype(n));
        at += n + 1;
        for (const Frame &frame : parser.feed(piece)) {
            REQUIRE(frame.code.size() == 3 && (frame.prefix.isEmpty() || frame.prefix.size() == 4));
            REQUIRE(std::ranges::all_of(frame.text(), [](char c) { return c > ' ' && c < 127; }));
        }
        REQUIRE(parser.pending() <= FrameParser::kMaxBody);
        for (const Line::Exchange &exchange : line.receive(piece, now))
            REQUIRE(!exchange.reply ||
                    (!exchange.frame.isBroadcast() &&
                     (exchange.reply->endsWith('\r') || *exchange.reply == "\x06")));
    }
    return 0;
}
