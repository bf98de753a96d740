#pragma once

#include "app/timer.h"

#include <QLatin1StringView>
#include <QStringView>
#include <optional>
#include <span>

namespace tarn {

// What "ON" under "MENU", "A-IMAGE" and "CURSOL" leave behind for the arrow pad:
// the repeat interval of the pad, then its timing mode.
struct ArrowPadSetting
{
    milliseconds timer1;
    int arrowMode;
};

// One button that sends one frame per click.
struct OneShotButton
{
    QStringView control;    // designer name, e.g. "Command17"
    QStringView group;      // caption of the label heading its group, or empty
    QStringView caption;    // as on the button
    QLatin1StringView code; // three characters, e.g. "C00" or "CR0"
    std::optional<ArrowPadSetting> arrowPad;
};

// The intervals a press writes into the repeat timer, the reply time-out and the
// display clearing.
struct PressIntervals
{
    milliseconds timer1;
    milliseconds timer2;
    milliseconds timer4;
};

// One button that sends at once and repeats while the mouse button is held.
struct HoldButton
{
    QStringView control;
    QStringView group;
    QStringView caption;
    int repeatCode; // 1..10, 13, 17..24
    QLatin1StringView code;
    // Absent for the four arrows around "SELECT": their timing follows ArrowMode.
    std::optional<PressIntervals> press;
    // D.Zoom's release leaves the arrow pad repeating fast.
    std::optional<ArrowPadSetting> release;

    bool isArrow() const { return !press.has_value(); }
};

// What an arrow press writes into the reply time-out and the display clearing in
// each ArrowMode; mode 0 writes nothing.
struct ArrowTiming
{
    milliseconds timer2;
    milliseconds timer4;
};

std::span<const OneShotButton> oneShotButtons();
std::span<const HoldButton> holdButtons();

const OneShotButton *findOneShot(QStringView control);
const HoldButton *findHold(QStringView control);
const HoldButton *findHoldByRepeatCode(int repeatCode);
std::optional<ArrowTiming> arrowTiming(int arrowMode);

} // namespace tarn
