#include "traffic/rendering.h"

#include "traffic/frame.h"

#include <array>
#include <string_view>

namespace tarn {
namespace {

constexpr char kLf = 10;

// One token per byte value, worked out once: the first rule that applies wins.
struct TokenTable
{
    std::array<std::array<char, 3>, 256> text{};
    std::array<quint8, 256> length{};

    constexpr TokenTable()
    {
        for (int byte = 0; byte < 256; ++byte) {
            auto &t = text[byte];
            auto &n = length[byte];
            if (byte == kAck) {
                t = {'&'}, n = 1;
            } else if (byte == kCr) {
                t = {'C', 'R', ' '}, n = 3;
            } else if (byte == kLf) {
                t = {'L', 'F', ' '}, n = 3;
            } else if (byte >= ' ' && byte <= 'z') {
                t = {char(byte), ' '}, n = 2;
            } else {
                t = {'?', ' '}, n = 2;
            }
        }
    }
};

constexpr TokenTable kTokens;

// Appends the tokens of data to a rendering.
void appendTokens(QString &rendering, QByteArrayView data)
{
    // Every token is ASCII, so build Latin-1 bytes and widen them once.
    QByteArray tokens;
    tokens.reserve(data.size() * 3);
    for (const char c : data) {
        const auto byte = static_cast<quint8>(c);
        tokens.append(kTokens.text[byte].data(), kTokens.length[byte]);
    }
    rendering.append(QLatin1StringView(tokens));
}

} // namespace

QString renderMonitor(QByteArrayView data)
{
    QString rendering;
    rendering.reserve(1 + data.size() * 3);
    rendering.append(QLatin1Char(' '));
    appendTokens(rendering, data);
    return rendering;
}

} // namespace tarn
