// Arbitrary bytes as the reply to each of the eight queries and to an action code: the
// rendering and the decoding must hold their shape whatever arrives.
#include "replies/decoding.h"
#include "traffic/rendering.h"

#include <array>
#include <cstdint>
#include <cstdlib>

using namespace tarn;

namespace {
void require(bool condition)
{
    if (!condition)
        std::abort();
}

const std::array<QByteArray, 9> kFrames = {"CR0\r", "CR1\r", "CR4\r", "CR3\r", "CR6\r",
                                           "CRA\r", "CR9\r", "CR7\r", "C00\r"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray &frame = kFrames[data[0] % kFrames.size()];
    const QByteArrayView reply(data + 1, qsizetype(size - 1));

    const QString source = renderMonitor(reply);
    require(source.startsWith(u' '));
    require(source.size() >= 1 + reply.size() && source.size() <= 1 + 3 * reply.size());
    for (const QChar c : source)
        require(c.unicode() >= u' ' && c.unicode() <= u'z');

    const std::optional<QString> status = decodeReply(source, frame, {});
    const QLatin1StringView code(frame.constData(), 3);
    if (code == QLatin1StringView("C00"))
        require(!status);
    else if (code == QLatin1StringView("CR3"))
        require(status && *status == source.left(38) + QStringLiteral(" Hour Use"));
    else if (code == QLatin1StringView("CR9"))
        require(status && *status == source);
    else if (code == QLatin1StringView("CR6"))
        require(status && status->startsWith(QStringLiteral("  S1=")) && status->endsWith(u'C'));
    else
        require(!status || (status->startsWith(u' ') && status->size() < 64));

    // An address prefix never changes what the reply means.
    const QByteArray addressed = "A002" + frame;
    require(decodeReply(source, addressed, "A002") == status);
    return 0;
}
