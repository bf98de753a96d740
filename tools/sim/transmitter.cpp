#include "transmitter.h"

#include <algorithm>

namespace tarn::sim {

namespace {

constexpr int kMaxStrayBytes = 3;

} // namespace

char strayByte(QRandomGenerator &random)
{
    // Control bytes without the carriage return, DEL, and the whole upper half.
    static constexpr int kLow = 31;   // 0..30, then mapped past the carriage return
    static constexpr int kHigh = 128; // 128..255
    const int pick = static_cast<int>(random.bounded(kLow + 1 + kHigh));
    int value;
    if (pick < kLow)
        value = pick < '\r' ? pick : pick + 1;
    else if (pick == kLow)
        value = 127;
    else
        value = 128 + (pick - kLow - 1);
    return static_cast<char>(value);
}

Transmitter::Transmitter(Faults faults, quint32 seed) : m_faults(faults), m_random(seed) {}

void Transmitter::send(const QByteArray &reply, milliseconds now)
{
    if (m_faults.silent || reply.isEmpty())
        return;
    const QByteArray bytes = m_faults.noise ? withNoise(reply) : reply;
    const milliseconds earliest = now + nextDelay();
    if (!m_faults.split) {
        m_pieces.push_back({bytes, earliest, milliseconds{0}, bytes});
        return;
    }
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        m_pieces.push_back({bytes.mid(i, 1), earliest, kSplitGap,
                            last ? std::optional<QByteArray>(bytes) : std::nullopt});
    }
}

Transmitter::Output Transmitter::take(milliseconds now)
{
    Output out;
    while (!m_pieces.empty() && due(m_pieces.front()) <= now) {
        Piece piece = std::move(m_pieces.front());
        m_pieces.pop_front();
        out.bytes += piece.bytes;
        if (piece.completes)
            out.replies.append(*piece.completes);
        m_lastSent = now;
    }
    return out;
}

std::optional<milliseconds> Transmitter::nextDue() const
{
    if (m_pieces.empty())
        return std::nullopt;
    return due(m_pieces.front());
}

milliseconds Transmitter::due(const Piece &piece) const
{
    if (!m_lastSent || piece.gap == milliseconds{0})
        return piece.earliest;
    return std::max(piece.earliest, *m_lastSent + piece.gap);
}

// How late the next reply goes: a late one, as often as asked for, or else the set delay.
milliseconds Transmitter::nextDelay()
{
    if (m_faults.latePercent == 0 || int(m_random.bounded(100)) >= m_faults.latePercent)
        return m_faults.delay;
    return kLateFrom + milliseconds(m_random.bounded(int((kLateTo - kLateFrom).count()) + 1));
}

// One to three stray bytes at random places before the closing carriage return.
QByteArray Transmitter::withNoise(const QByteArray &reply)
{
    QByteArray noisy = reply;
    const int count = 1 + static_cast<int>(m_random.bounded(kMaxStrayBytes));
    for (int i = 0; i < count; ++i) {
        const auto limit = noisy.endsWith('\r') ? noisy.size() - 1 : noisy.size();
        const auto at = static_cast<qsizetype>(m_random.bounded(static_cast<int>(limit) + 1));
        noisy.insert(at, strayByte(m_random));
    }
    return noisy;
}

Flood::Flood(int baud, quint32 seed, milliseconds start)
    : m_baud(baud), m_random(seed), m_start(start)
{}

QByteArray Flood::take(milliseconds now)
{
    if (now <= m_start)
        return {};
    const auto due = static_cast<quint64>((now - m_start).count()) * m_baud / 10 / 1000;
    if (due <= m_sent)
        return {};
    QByteArray bytes(static_cast<qsizetype>(due - m_sent), Qt::Uninitialized);
    for (char &c : bytes)
        c = static_cast<char>(m_random.bounded(256));
    m_sent = due;
    return bytes;
}

} // namespace tarn::sim
