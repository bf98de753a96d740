#include "commands/catalogue.h"

#include <algorithm>
#include <array>

namespace tarn {
namespace {

using namespace std::chrono_literals;
using L = QLatin1StringView;

constexpr ArrowPadSetting kMenuOrAImage{200ms, 1};
constexpr ArrowPadSetting kCursol{30ms, 2};
constexpr ArrowPadSetting kDZoomRelease{5ms, 3};

const std::array kOneShot = {
    OneShotButton{u"Command17", u"POWER", u"ON", L("C00"), {}},
    OneShotButton{u"Command18", u"POWER", u"OFF", L("C01"), {}},
    OneShotButton{u"Command27", u"INPUT MODE SET", u"1", L("C05"), {}},
    OneShotButton{u"Command28", u"INPUT MODE SET", u"2", L("C06"), {}},
    OneShotButton{u"Command29", u"INPUT MODE SET", u"3", L("C07"), {}},
    OneShotButton{u"Command53", u"INPUT MODE SET", u"4", L("C08"), {}},
    OneShotButton{u"Command19", u"SOUND MUTE", u"ON", L("C0B"), {}},
    OneShotButton{u"Command20", u"SOUND MUTE", u"OFF", L("C0C"), {}},
    OneShotButton{u"Command21", u"NO SHOW", u"ON", L("C0D"), {}},
    OneShotButton{u"Command22", u"NO SHOW", u"OFF", L("C0E"), {}},
    OneShotButton{u"Command25", u"FREEZE", u"ON", L("C43"), {}},
    OneShotButton{u"Command26", u"FREEZE", u"OFF", L("C44"), {}},
    OneShotButton{u"Command31", u"AV Size", u"Regular", L("C0F"), {}},
    OneShotButton{u"Command32", u"AV Size", u"Wide", L("C10"), {}},
    OneShotButton{u"Command23", u"MENU", u"ON", L("C1C"), kMenuOrAImage},
    OneShotButton{u"Command24", u"MENU", u"OFF", L("C1D"), {}},
    OneShotButton{u"Command13", u"", u"A-IMAGE", L("C89"), kMenuOrAImage},
    OneShotButton{u"Command30", u"", u"IMAGE", L("C27"), {}},
    OneShotButton{u"Command43", u"", u"CURSOL", L("C4F"), kCursol},
    OneShotButton{u"Command14", u"", u"P-TIMER", L("C8A"), {}},
    OneShotButton{u"Command3", u"", u"DISPLAY CLEAR", L("C1E"), {}},
    OneShotButton{u"Command56", u"LAMP SELECT", u"4 LAMP", L("C70"), {}},
    OneShotButton{u"Command57", u"LAMP SELECT", u"1-4", L("C71"), {}},
    OneShotButton{u"Command58", u"LAMP SELECT", u"2-3", L("C72"), {}},
    OneShotButton{u"Command44", u"", u"STATUS", L("CR0"), {}},
    OneShotButton{u"Command45", u"", u"MODE", L("CR1"), {}},
    OneShotButton{u"Command46", u"", u"L-TIME", L("CR3"), {}},
    OneShotButton{u"Command47", u"", u"SETTING", L("CR4"), {}},
    OneShotButton{u"Command54", u"", u"TEMP", L("CR6"), {}},
    OneShotButton{u"Command55", u"", u"L-MODE", L("CR7"), {}},
    OneShotButton{u"Command38", u"", u"PC type", L("CR9"), {}},
    OneShotButton{u"Command12", u"", u"SETTING 2", L("CRA"), {}},
};

constexpr PressIntervals kSlow{250ms, 200ms, 245ms};   // VOL, D.Zoom, Keystone
constexpr PressIntervals kFast{50ms, 25ms, 25ms};      // Zoom, Focus, lens shift
constexpr PressIntervals kSelect{500ms, 200ms, 245ms}; // SELECT

const std::array kHold = {
    HoldButton{u"Command1", u"VOL", u"+", 1, L("C09"), kSlow, {}},
    HoldButton{u"Command2", u"VOL", u"-", 2, L("C0A"), kSlow, {}},
    HoldButton{u"Command5", u"", u"↑", 3, L("C3C"), {}, {}},
    HoldButton{u"Command7", u"", u"↓", 4, L("C3D"), {}, {}},
    HoldButton{u"Command9", u"", u"←", 5, L("C3B"), {}, {}},
    HoldButton{u"Command8", u"", u"→", 6, L("C3A"), {}, {}},
    HoldButton{u"Command15", u"Zoom", u"+", 7, L("C47"), kFast, {}},
    HoldButton{u"Command35", u"Zoom", u"-", 8, L("C46"), kFast, {}},
    HoldButton{u"Command36", u"Focus", u"+", 9, L("C4B"), kFast, {}},
    HoldButton{u"Command37", u"Focus", u"-", 10, L("C4A"), kFast, {}},
    HoldButton{u"Command6", u"", u"SELECT", 13, L("C3F"), kSelect, {}},
    HoldButton{u"Command48", u"D.Zoom", u"+", 17, L("C30"), kSlow, kDZoomRelease},
    HoldButton{u"Command49", u"D.Zoom", u"-", 18, L("C31"), kSlow, kDZoomRelease},
    HoldButton{u"Command50", u"Keystone", u"+", 19, L("C8E"), kSlow, {}},
    HoldButton{u"Command51", u"Keystone", u"-", 20, L("C8F"), kSlow, {}},
    HoldButton{u"Command59", u"LENS SHIFT", u"↑", 21, L("C5D"), kFast, {}},
    HoldButton{u"Command62", u"LENS SHIFT", u"↓", 22, L("C5E"), kFast, {}},
    HoldButton{u"Command60", u"LENS SHIFT", u"←", 23, L("C5F"), kFast, {}},
    HoldButton{u"Command61", u"LENS SHIFT", u"→", 24, L("C60"), kFast, {}},
};

// Indexed by ArrowMode.
constexpr std::array<std::optional<ArrowTiming>, 4> kArrowTiming = {{
    std::nullopt,
    ArrowTiming{150ms, 190ms},
    ArrowTiming{50ms, 75ms},
    ArrowTiming{5ms, 5ms},
}};

template<typename Row> const Row *findByControl(std::span<const Row> rows, QStringView control)
{
    const auto it = std::ranges::find_if(rows, [&](const Row &r) { return r.control == control; });
    return it == rows.end() ? nullptr : &*it;
}

} // namespace

std::span<const OneShotButton> oneShotButtons()
{
    return kOneShot;
}
std::span<const HoldButton> holdButtons()
{
    return kHold;
}

const OneShotButton *findOneShot(QStringView control)
{
    return findByControl(oneShotButtons(), control);
}

const HoldButton *findHold(QStringView control)
{
    return findByControl(holdButtons(), control);
}

const HoldButton *findHoldByRepeatCode(int repeatCode)
{
    const auto it = std::ranges::find(kHold, repeatCode, &HoldButton::repeatCode);
    return it == kHold.end() ? nullptr : &*it;
}

std::optional<ArrowTiming> arrowTiming(int arrowMode)
{
    if (arrowMode < 0 || arrowMode >= int(kArrowTiming.size()))
        return std::nullopt;
    return kArrowTiming[arrowMode];
}

} // namespace tarn
