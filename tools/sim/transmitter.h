#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <chrono>
#include <deque>
#include <optional>

namespace tarn::sim {

using std::chrono::milliseconds;

// The ways the simulator can misbehave on its sending side.
struct Faults
{
    bool silent = false;   // never answers
    milliseconds delay{0}; // each reply goes out this late
    int latePercent = 0;   // this share of replies goes out kLateFrom to kLateTo late instead
    bool split = false;    // each reply goes out one byte at a time, kSplitGap apart
    bool noise = false;    // replies carry stray bytes outside the printable range
};

// Puts replies on the line in order, shaped by the chosen faults. Nothing here waits: the
// caller asks what is due at "now" and when the next piece falls due.
class Transmitter
{
public:
    static constexpr milliseconds kSplitGap{2};
    // A late reply: past the usual reply time-out of 500 ms, before a second.
    static constexpr milliseconds kLateFrom{510};
    static constexpr milliseconds kLateTo{990};

    Transmitter(Faults faults, quint32 seed);

    void send(const QByteArray &reply, milliseconds now);

    struct Output
    {
        QByteArray bytes;          // to be written now, in one write
        QList<QByteArray> replies; // replies whose last byte is among them, as sent
    };
    Output take(milliseconds now);

    // When take() next has something to give, or nothing when the queue is empty.
    std::optional<milliseconds> nextDue() const;
    bool idle() const { return m_pieces.empty(); }
    // Forgets what is still queued (the client that was to receive it has gone).
    void clear() { m_pieces.clear(); }

private:
    struct Piece
    {
        QByteArray bytes;
        milliseconds earliest; // not before this moment
        milliseconds gap;      // nor before this much after the previous piece went out
        std::optional<QByteArray> completes; // set on the last piece of a reply
    };

    QByteArray withNoise(const QByteArray &reply);
    milliseconds nextDelay();
    milliseconds due(const Piece &piece) const;

    Faults m_faults;
    QRandomGenerator m_random;
    std::deque<Piece> m_pieces;
    std::optional<milliseconds> m_lastSent;
};

// A stray byte of the kind a disturbed line delivers: NUL, DEL, a byte above 127 or another
// control byte. Never a carriage return, so the frames around it keep their ends.
char strayByte(QRandomGenerator &random);

// Random bytes at the pace of a line running at a given speed (ten bits per byte).
class Flood
{
public:
    static constexpr milliseconds kChunk{10};

    Flood(int baud, quint32 seed, milliseconds start);

    // The bytes that have fallen due since the previous call.
    QByteArray take(milliseconds now);
    quint64 sent() const { return m_sent; }

private:
    int m_baud;
    QRandomGenerator m_random;
    milliseconds m_start;
    quint64 m_sent = 0;
};

} // namespace tarn::sim
