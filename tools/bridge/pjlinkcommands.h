#pragma once

#include "lineservice.h"
#include "profile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace tarn::bridge {

// PJLink's INF1 and INF2 answers: the projector's manufacturer and model.
inline constexpr QByteArrayView kManufacturer = "TARN";
inline constexpr QByteArrayView kModel = "HV20";

// How one PJLink request is answered: at once, or from the line's replies to its frames.
struct Plan
{
    using Reader = QByteArray (*)(const LineResult &result, const Profile &profile);

    QByteArray answer;   // the reply's value when it needs no line
    LineRequest request; // otherwise the frames to send, one transaction
    Reader read = nullptr;
    // FREZ ?: answered from the freeze memory once the client's earlier requests are
    // answered, so that it reflects them
    bool fromFreezeMemory = false;

    bool needsLine() const { return !request.codes.isEmpty(); }
};

// The plan for one command line ("%1POWR 1"), as the listener with this profile serves it.
Plan planFor(QByteArrayView command, const Profile &profile);

// The reply's value once the line has answered the plan's frames: ERR3 for an action the
// projector cannot take now, ERR4 for a transaction that failed or a reply that cannot be
// read.
QByteArray answerFrom(const Plan &plan, const LineResult &result, const Profile &profile);

// The answer to FREZ ? from the freeze memory: ERR3 while the state is unknown.
QByteArray freezeAnswer(std::optional<bool> frozen);

// Whether a line is a PJLink request: "%", a class digit and four command characters.
bool isRequest(QByteArrayView line);

// The whole reply line to a request: its first six characters ("%", the class digit and
// the four command characters), "=", the value and a carriage return.
QByteArray replyLine(QByteArrayView request, QByteArrayView value);

} // namespace tarn::bridge
