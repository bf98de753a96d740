#pragma once

#include "traffic/frame.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>

namespace tarn {

// The "PJ Select" group: which projectors a frame is for, by the prefix put before its
// code. "SINGLE" talks to the one projector on the line, "ALL" to every projector, the
// numbers to one of four addressed ones.
struct PjSelectOption
{
    QStringView option;  // designer name of the option button
    QStringView caption; // as on the button
    QByteArrayView prefix;
};

inline constexpr std::array kPjSelectOptions = {
    PjSelectOption{u"Option3", u"SINGLE", ""},  PjSelectOption{u"Option4", u"ALL", kEveryProjector},
    PjSelectOption{u"Option5", u"001", "A001"}, PjSelectOption{u"Option6", u"002", "A002"},
    PjSelectOption{u"Option7", u"003", "A003"}, PjSelectOption{u"Option8", u"004", "A004"},
};

// The address an operator's word names, as every program's options take it: "single",
// "all", or a projector's number 1 to 4 (or, as on the button, 001 to 004), in any case.
// Null for any other word.
const PjSelectOption *addressForWord(QStringView word);

// The word for an address, as messages and logs name it: "single", "all", "1" to "4".
QString addressWord(const PjSelectOption &address);

} // namespace tarn
