#pragma once

#include <QByteArrayView>

namespace tarn {

// A query's code starts with "CR"; every other code is an action.
inline bool isQuery(QByteArrayView code)
{
    return code.startsWith("CR");
}

// Where the reply to `code` ends: at the first carriage return of a query's reply, at the
// first acknowledgement (ACK) of an action's. The index of that byte, or -1 while the reply
// is incomplete. The first one rather than the last: a stray byte on the line after the
// end must not hide that end.
inline qsizetype replyEnd(QByteArrayView code, QByteArrayView reply)
{
    constexpr char kAck = 6;
    return reply.indexOf(isQuery(code) ? '\r' : kAck);
}

inline bool replyComplete(QByteArrayView code, QByteArrayView reply)
{
    return replyEnd(code, reply) >= 0;
}

} // namespace tarn
