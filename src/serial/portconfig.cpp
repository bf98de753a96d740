// The "COM" frame: port number and speed.
#include "app/panel.h"

#include "serial/speeds.h"

namespace tarn {

void Panel::Command33_Click()
{
    setFrame8Visible(true);
    // Enabling restarts the countdown, so showing the frame again while it is still
    // shown gives it a fresh five seconds.
    m_timer3.setEnabled(true);
}

void Panel::Timer3_Timer()
{
    setFrame8Visible(false);
    m_timer3.setEnabled(false);
}

void Panel::Option1_Click()
{
    setOption(&ViewState::portOption, QStringLiteral("Option1"));
    portSwitch(1, 2, Reopen::Always);
}

void Panel::Option2_Click()
{
    setOption(&ViewState::portOption, QStringLiteral("Option2"));
    portSwitch(2, 1, Reopen::Always);
}

// Close, renumber, reopen. A failing step does not end the switch: the later steps
// still run, except that nothing is reopened after a failure; the last failure is
// shown in a warning box and the port number falls back. The port is reopened when it
// was open, and also when the operator chose it while it was closed, so that a port
// lost to a failure (a missing device, an unplugged adapter) comes back by choosing a
// port that works.
void Panel::portSwitch(int chosen, int fallback, Reopen reopen)
{
    Outcome failure;
    const auto step = [&failure](Outcome outcome) {
        if (!outcome)
            failure = std::move(outcome);
    };

    const bool wasOpen = m_port.portOpen();
    if (wasOpen)
        step(m_port.setPortOpen(false));
    step(m_port.setCommPort(chosen));
    if (failure.ok() && (wasOpen || reopen == Reopen::Always))
        step(m_port.setPortOpen(true));

    if (failure.ok()) {
        setFrame8Visible(false);
        return;
    }
    setLine(ViewItem::Status, u' ' + failure.description());
    showWarningOnce(failure.description());
    (void)m_port.setCommPort(fallback); // a failure here is of no further interest
}

Outcome Panel::chooseSpeed(const SpeedOption &speed)
{
    setOption(&ViewState::speedOption, speed.option.toString());
    m_state.PortSettings = speed.settings.toString();
    if (auto r = m_port.setSettings(m_state.PortSettings); !r)
        return r;
    setFrame8Visible(false);
    return {};
}

} // namespace tarn
