// One-shot buttons, hold-to-repeat buttons and the arrow pad.
#include "app/panel.h"

#include "commands/catalogue.h"

namespace tarn {
namespace {
using namespace std::chrono_literals;
constexpr milliseconds kReplyTimeout = 500ms;
constexpr milliseconds kDisplayClearing = 1000ms;
} // namespace

Outcome Panel::oneShotClick(const OneShotButton &button)
{
    if (auto r = send(button.code); !r)
        return r; // the arrow-pad setting is skipped after a failed send
    if (button.arrowPad) {
        m_timer1.setInterval(button.arrowPad->timer1);
        m_state.ArrowMode = quint8(button.arrowPad->arrowMode);
    }
    return {};
}

Outcome Panel::pressSequence(const HoldButton &button)
{
    m_state.RepeatCode = quint8(button.repeatCode);
    if (auto r = send(button.code); !r)
        return r; // no repeat starts
    m_timer1.setInterval(button.press->timer1);
    m_timer2.setInterval(button.press->timer2);
    m_timer4.setInterval(button.press->timer4);
    m_timer1.setEnabled(true);
    return {};
}

// The arrows never write the repeat interval: they repeat at whatever the last arrow-pad
// setting or hold-to-repeat press left in Timer1.
Outcome Panel::arrowPress(const HoldButton &button)
{
    if (const auto timing = arrowTiming(m_state.ArrowMode)) {
        m_timer2.setInterval(timing->timer2);
        m_timer4.setInterval(timing->timer4);
    }
    m_state.RepeatCode = quint8(button.repeatCode);
    if (auto r = send(button.code); !r)
        return r;
    m_timer1.setEnabled(true);
    return {};
}

// Any release ends whatever repeat runs and tidies the traffic monitor; it sends nothing.
void Panel::releaseSequence(const HoldButton &button)
{
    m_state.RepeatCode = 0;
    m_timer1.setEnabled(false);
    m_timer2.setEnabled(false);
    m_timer4.setEnabled(true);
    setLine(ViewItem::Txd, QString());
    setLine(ViewItem::Rxd, QString());
    m_timer2.setInterval(kReplyTimeout);
    m_timer4.setInterval(kDisplayClearing);
    m_state.RecvBuffer.clear();
    if (button.release) {
        m_timer1.setInterval(button.release->timer1);
        m_state.ArrowMode = quint8(button.release->arrowMode);
    }
}

Outcome Panel::Timer1_Timer()
{
    if (m_state.RepeatCode == 0)
        return {};
    const HoldButton *button = findHoldByRepeatCode(m_state.RepeatCode);
    if (!button)
        return {};
    // Timer1 stays enabled: it is running, and enabling it again would only push the
    // next tick back by the time this tick took. A failed send leaves it running too,
    // so the next tick tries again.
    return send(button->code);
}

} // namespace tarn
