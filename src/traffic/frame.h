#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tarn {

// The frames on the line: an address prefix ("", "AFFF", "A001" to "A004"), a code of
// three characters and a carriage return. A query's reply ends with a carriage return; an
// action is answered by an acknowledgement (ACK).
inline constexpr char kAck = 6;
inline constexpr char kCr = 13;

// The prefix that reaches every projector on the line at once; none of them answers it, as
// answers would collide on the shared line.
inline constexpr QByteArrayView kEveryProjector = "AFFF";

// A query's code starts with "CR"; every other code is an action.
inline bool isQuery(QByteArrayView code)
{
    return code.startsWith("CR");
}

// The frame that carries code to the projectors prefix names.
inline QByteArray frameFor(QByteArrayView prefix, QByteArrayView code)
{
    QByteArray frame;
    frame.reserve(prefix.size() + code.size() + 1);
    frame.append(prefix).append(code).append(kCr);
    return frame;
}

} // namespace tarn
