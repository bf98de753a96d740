// Arbitrary bytes as the reply to each query and to an action: the rendering and the
// decoding must hold their shape whatever arrives.
#include "replies/decoding.h"
#include "traffic/rendering.h"

#include <cstdlib>

using namespace tarn;

#define REQUIRE(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    static const QByteArray kFrames[] = {"CR0\r", "CR1\r", "CR4\r", "CR3\r", "CR6\r",
                                         "CRA\r", "CR9\r", "CR7\r", "C00\r"};
    if (size == 0)
        return 0;
    const QByteArray &frame = kFrames[data[0] % std::size(kFrames)];
    const QByteArrayView reply(data + 1, qsizetype(size - 1));
    const QString source = renderMonitor(reply);
    REQUIRE(source.startsWith(u' ') && source.size() <= 1 + 3 * reply.size());
    for (const QChar c : source)
        REQUIRE(c.unicode() >= u' ' && c.unicode() <= u'z');

    const std::optional<QString> status = decodeReply(source, frame, {});
    if (frame == "C00\r")
        REQUIRE(!status);
    else if (frame == "CR3\r")
        REQUIRE(status == source.left(38) + QStringLiteral(" Hour Use"));
    else if (frame == "CR9\r")
        REQUIRE(status == source);
    else if (frame == "CR6\r")
        REQUIRE(status && status->startsWith(QStringLiteral("  S1=")) && status->endsWith(u'C'));
    else
        REQUIRE(!status || (status->startsWith(u' ') && status->size() < 64));
    REQUIRE(decodeReply(source, "A002" + frame, "A002") == status); // a prefix changes nothing
    return 0;
}
