#include "frameparser.h"

#include "traffic/frame.h"

#include <utility>

namespace tarn::sim {

namespace {

bool isPrintable(char c)
{
    return c > ' ' && c < 127;
}

} // namespace

std::vector<Frame> FrameParser::feed(QByteArrayView bytes)
{
    std::vector<Frame> frames;
    for (const char c : bytes) {
        if (c == kCr) {
            finishRun(frames);
            continue;
        }
        if (m_spoiled)
            continue;
        if (!isPrintable(c) || m_buffer.size() == kMaxBody) {
            // The run can no longer become a frame: stop holding it and wait for its end.
            m_buffer.clear();
            m_spoiled = true;
            continue;
        }
        m_buffer.append(c);
    }
    return frames;
}

void FrameParser::finishRun(std::vector<Frame> &frames)
{
    const QByteArray body = std::exchange(m_buffer, {});
    const bool spoiled = std::exchange(m_spoiled, false);
    if (!spoiled && body.size() == kCodeLength) {
        frames.push_back({{}, body});
        return;
    }
    if (!spoiled && body.size() == kMaxBody && body.startsWith('A')) {
        frames.push_back({body.left(kPrefixLength), body.mid(kPrefixLength)});
        return;
    }
    // An empty run (two carriage returns in a row) is nothing, not garbage.
    if (spoiled || !body.isEmpty())
        ++m_discarded;
}

void FrameParser::reset()
{
    m_buffer.clear();
    m_spoiled = false;
}

QByteArray escaped(QByteArrayView bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out.append("\\\\");
        } else if (c == '\r') {
            out.append("\\r");
        } else if (c == '\n') {
            out.append("\\n");
        } else if (u >= 32 && u < 127) {
            out.append(c);
        } else {
            out.append("\\x");
            out.append(kHex[u >> 4]);
            out.append(kHex[u & 0xf]);
        }
    }
    return out;
}

} // namespace tarn::sim
