#pragma once

#include "lineservice.h"
#include "profile.h"

#include <QByteArray>
#include <QByteArrayView>

namespace tarn::bridge {

// How one PJLink request is answered: at once, or from the line's replies to its frames.
struct Plan
{
    using Reader = QByteArray (*)(const LineResult &result, const Profile &profile);

    QByteArray answer;   // the reply's value when it needs no line
    LineRequest request; // otherwise the frames to send, one transaction
    Reader read = nullptr;

    bool needsLine() const { return !request.codes.isEmpty(); }
};

// The plan for one command line ("%1POWR 1"), as the listener with this profile serves it.
Plan planFor(QByteArrayView command, const Profile &profile);

// The reply's value once the line has answered the plan's frames: ERR4 for a transaction
// that failed or a reply that cannot be read.
QByteArray answerFrom(const Plan &plan, const LineResult &result, const Profile &profile);

// Whether a line is a PJLink request: "%", a class digit and four command characters.
bool isRequest(QByteArrayView line);

// The whole reply line to a request: its first six characters ("%", the class digit and
// the four command characters), "=", the value and a carriage return.
QByteArray replyLine(QByteArrayView request, QByteArrayView value);

} // namespace tarn::bridge
