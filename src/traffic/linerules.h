#pragma once

#include "traffic/frame.h"

#include <algorithm>
#include <chrono>

namespace tarn {

// The rules of an exchange on the line, for the programs that wait for each reply before
// the next frame (tarn-send and the gateway); the panel keeps its own timing.

// Where the reply to `code` ends: at the first carriage return of a query's reply, at the
// first acknowledgement (ACK) of an action's. The index of that byte, or -1 while the reply
// is incomplete. The first one rather than the last: a stray byte on the line after the
// end must not hide that end.
inline qsizetype replyEnd(QByteArrayView code, QByteArrayView reply)
{
    return reply.indexOf(isQuery(code) ? kCr : kAck);
}

inline bool replyComplete(QByteArrayView code, QByteArrayView reply)
{
    return replyEnd(code, reply) >= 0;
}

// When the next frame may go after a transaction that ended without its reply's end (a
// time-out, or a reply past its length bound). Replies carry no address, so time is the
// only thing that tells them apart: the rest of that reply may still come, and it must not
// be read as the next frame's.
//
// The line settles once it has been quiet for kQuiet, counted from the moment the reply
// was given up; each byte heard meanwhile starts the quiet time again, so that a late
// reply that comes in pieces is heard to its end. A line that never goes quiet settles
// kLimit after that moment all the same, so that noise cannot hold the next frame for
// ever. A reply later than kQuiet after it was given up cannot be told from the next
// frame's; no rule can place it.
class Settle
{
public:
    using milliseconds = std::chrono::milliseconds;
    static constexpr milliseconds kQuiet{500};
    static constexpr milliseconds kLimit{1000};

    // A reply was given up at `now`.
    void begin(milliseconds now)
    {
        m_since = now;
        m_end = now + kQuiet;
    }
    // Bytes came from the line at `now`.
    void heard(milliseconds now)
    {
        if (now < m_end)
            m_end = std::min(now + kQuiet, m_since + kLimit);
    }
    // The moment the line settles (or settled).
    milliseconds end() const { return m_end; }
    // How long the next frame must still wait: zero on a settled line.
    milliseconds wait(milliseconds now) const { return std::max(m_end - now, milliseconds{0}); }

private:
    milliseconds m_since{0};
    milliseconds m_end{0};
};

} // namespace tarn
