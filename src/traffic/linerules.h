#pragma once

#include "traffic/frame.h"

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

} // namespace tarn
