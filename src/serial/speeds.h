#pragma once

#include <QStringView>
#include <array>

namespace tarn {

// The speed group of the "COM" frame: always no parity, 8 data bits, 1 stop bit.
struct SpeedOption
{
    QStringView option;   // designer name of the option button
    QStringView caption;  // as on the button
    QStringView settings; // the settings text handed to the serial control
};

inline constexpr std::array kSpeedOptions = {
    SpeedOption{u"Option9", u"19200", u"19200,N,8,1"},
    SpeedOption{u"Option10", u"9600", u"9600,N,8,1"},
};

} // namespace tarn
