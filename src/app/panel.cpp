#include "app/panel.h"

#include "app/findrow.h"
#include "commands/catalogue.h"
#include "serial/speeds.h"
#include "traffic/addressing.h"

#include <QScopedValueRollback>

namespace tarn {
namespace {

using namespace std::chrono_literals;

const QString kShowData = QStringLiteral("データを表示する");
const QString kHideData = QStringLiteral("データを表示しない");
const QString kClose = QStringLiteral("CLOSE");

} // namespace

Panel::Panel(CommControl &port, TimerFactory &timers, WarningBox &warnings, QObject *parent)
    : QObject(parent), m_port(port),
      m_warnings(warnings), m_timers{timers.createTimer(), timers.createTimer(),
                                     timers.createTimer(), timers.createTimer()},
      m_timer1(*m_timers[0]), m_timer2(*m_timers[1]), m_timer3(*m_timers[2]), m_timer4(*m_timers[3])
{
    // Design values, in force before start-up runs.
    m_timer1.setInterval(200ms);
    m_timer2.setInterval(500ms);
    m_timer3.setInterval(5000ms);
    m_timer4.setInterval(1000ms);
    for (auto &timer : m_timers)
        timer->setEnabled(false);

    m_timer1.setTickHandler([this] { dispatch(Cause::System, [this] { return Timer1_Timer(); }); });
    m_timer2.setTickHandler([this] { Timer2_Timer(); });
    m_timer3.setTickHandler([this] { Timer3_Timer(); });
    m_timer4.setTickHandler([this] { Timer4_Timer(); });

    connect(&m_port, &CommControl::onComm, this,
            [this] { dispatch(Cause::System, [this] { return MSComm1_OnComm(); }); });
    connect(&m_port, &CommControl::failed, this, [this](const QString &description) {
        report(Cause::System, Outcome::failure(description));
    });

    m_view.outerHeight = kDesignHeight;
    m_view.command34Caption = kShowData;
    m_view.speedOption = QStringLiteral("Option9");
    m_view.pjOption = QStringLiteral("Option3");
}

Panel::~Panel() = default;

Timer &Panel::timer(int number) const
{
    Q_ASSERT(number >= 1 && number <= 4);
    return *m_timers[number - 1];
}

// Runs one handler and reports the failure it stopped at, if any.
template<typename Handler> void Panel::dispatch(Cause cause, Handler &&handler)
{
    if constexpr (std::is_void_v<std::invoke_result_t<Handler>>) {
        handler();
    } else {
        report(cause, handler());
    }
}

void Panel::report(Cause cause, const Outcome &outcome)
{
    if (outcome.ok())
        return;
    setLine(ViewItem::Status, u' ' + outcome.description());
    switch (cause) {
    case Cause::Operator:
        showWarningOnce(outcome.description());
        break;
    case Cause::Press:
        // A modal box now would swallow the release and leave the repeat's intervals
        // in force; the box waits until the mouse button is up.
        m_deferredWarning = outcome.description();
        break;
    case Cause::System:
        break; // timer ticks and the line never open a box
    }
}

void Panel::showWarningOnce(const QString &text)
{
    if (m_warningOpen)
        return; // one box at a time; the STATUS line has the text
    QScopedValueRollback open(m_warningOpen, true);
    m_warnings.showWarning(text);
}

void Panel::start(QSize screenTwips)
{
    Form_Load(screenTwips);
}

void Panel::click(QStringView control)
{
    if (const OneShotButton *button = findOneShot(control)) {
        dispatch(Cause::Operator, [&] { return oneShotClick(*button); });
        return;
    }

    // The controls with a click behaviour of their own.
    struct Special
    {
        QStringView control;
        void (Panel::*run)();
    };
    static constexpr std::array kSpecial = {
        Special{u"Command34", &Panel::Command34_Click},
        Special{u"Command16", &Panel::Command16_Click},
        Special{u"Command33", &Panel::Command33_Click},
        Special{u"Option1", &Panel::Option1_Click},
        Special{u"Option2", &Panel::Option2_Click},
    };
    if (const auto it = std::ranges::find(kSpecial, control, &Special::control);
        it != kSpecial.end()) {
        (this->*it->run)();
    } else if (const SpeedOption *speed = findRow(kSpeedOptions, &SpeedOption::option, control)) {
        dispatch(Cause::Operator, [&] { return chooseSpeed(*speed); });
    } else if (const PjSelectOption *pj =
                   findRow(kPjSelectOptions, &PjSelectOption::option, control)) {
        choosePjSelect(*pj);
    }
}

void Panel::press(QStringView control)
{
    const HoldButton *button = findHold(control);
    if (!button)
        return;
    dispatch(Cause::Press,
             [&] { return button->isArrow() ? arrowPress(*button) : pressSequence(*button); });
}

void Panel::release(QStringView control)
{
    const HoldButton *button = findHold(control);
    if (!button)
        return;
    releaseSequence(*button);
    if (!m_deferredWarning.isNull())
        showWarningOnce(std::exchange(m_deferredWarning, QString()));
}

void Panel::keyDown(int keyCode, int shiftState)
{
    Form_KeyDown(keyCode, shiftState);
}

void Panel::Form_Load(QSize screenTwips)
{
    m_state.PortSettings = QStringLiteral("19200,N,8,1");
    m_state.PjPrefix.clear();

    // Centred at the design size, then shortened: the compact window sits higher.
    m_view.left = (screenTwips.width() - kOuterWidth) / 2;
    m_view.top = (screenTwips.height() - kDesignHeight) / 2;
    setHeight(kCompactHeight);

    m_state.RepeatCode = 0;
    m_state.ReplyPending = 0;
    m_state.RecvBuffer.clear();

    // A failure to open COM1 does not keep the window from opening: it is reported in
    // the STATUS line and the operator can choose a port in the "COM" frame.
    report(Cause::System, openPort(m_port, 1, m_state.PortSettings));

    // Selecting "COM1" from code runs its click: the port ends open on COM1. It reopens
    // only what start-up opened; a port that failed to open stays closed until chosen.
    setOption(&ViewState::portOption, QStringLiteral("Option1"));
    portSwitch(1, 2, Reopen::IfWasOpen);
}

void Panel::Form_KeyDown(int keyCode, int shiftState)
{
    if ((shiftState & (kShiftMask | kCtrlMask | kAltMask)) != kCtrlMask || keyCode != kKeyJ)
        return;
    setHeight(kMaintenanceHeight);
    setCommand34(kClose, true);
}

void Panel::Command34_Click()
{
    m_timer3.setEnabled(false);
    if (m_view.outerHeight >= kViewThreshold) {
        setHeight(kCompactHeight);
        setCommand34(kShowData, m_view.command34Visible);
    } else {
        setHeight(kDataHeight);
        setCommand34(kHideData, m_view.command34Visible);
    }
    m_timer3.setEnabled(true);
}

void Panel::Command16_Click()
{
    // "END" ends the program whatever the port says; a failure to close is still
    // reported before the window goes.
    report(Cause::Operator, m_port.setPortOpen(false));
    emit quitRequested();
}

void Panel::setHeight(int twips)
{
    if (m_view.outerHeight == twips)
        return;
    m_view.outerHeight = twips;
    emit viewChanged(ViewItem::Geometry);
}

void Panel::setCommand34(const QString &caption, bool visible)
{
    if (m_view.command34Caption == caption && m_view.command34Visible == visible)
        return;
    m_view.command34Caption = caption;
    m_view.command34Visible = visible;
    emit viewChanged(ViewItem::Command34);
}

void Panel::setFrame8Visible(bool visible)
{
    if (m_view.frame8Visible == visible)
        return;
    m_view.frame8Visible = visible;
    emit viewChanged(ViewItem::Frame8);
}

void Panel::setLine(ViewItem line, const QString &text)
{
    QString *target = line == ViewItem::Txd   ? &m_view.txd
                      : line == ViewItem::Rxd ? &m_view.rxd
                                              : &m_view.status;
    if (*target == text)
        return;
    *target = text;
    emit viewChanged(line);
}

void Panel::setOption(QString ViewState::*group, const QString &optionName)
{
    if (m_view.*group == optionName)
        return;
    m_view.*group = optionName;
    emit viewChanged(ViewItem::Options);
}

} // namespace tarn
