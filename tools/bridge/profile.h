#pragma once

#include "traffic/frame.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tarn::bridge {

// What one listener presents to its clients: the projector (or every projector) it
// speaks for, and the values its queries answer without the line.
struct Profile
{
    QString who;                    // as on the command line: "single", "1" to "4" or "all"
    QByteArray prefix;              // "", "A001" to "A004", or "AFFF"
    QByteArray name;                // the answer to NAME
    QList<QByteArray> inputs;       // the PJLink input codes of the projector's inputs 1 to 4
    QList<QByteArray> inputNames{}; // their names, in UTF-8, for INNM
    int pjlinkClass = 2;            // the highest PJLink class served: 1 or 2

    bool broadcast() const { return prefix == kEveryProjector; }
};

} // namespace tarn::bridge
