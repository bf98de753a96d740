#pragma once

#include "app/timer.h"
#include "serial/commcontrol.h"

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringView>
#include <array>
#include <memory>

namespace tarn {

struct HoldButton;
struct OneShotButton;
struct PjSelectOption;
struct SpeedOption;

// The window's state, from start-up until the program ends; nothing is kept between runs.
struct WindowState
{
    quint8 RepeatCode = 0;   // repeat code of the held button, 0 = none
    quint8 ReplyPending = 0; // 1 from a transmission until characters arrive or time out
    quint8 ArrowMode = 0;    // timing mode of the arrow pad, 0 to 3, never set back to 0
    QByteArray SendFrame;    // the frame most recently built for transmission
    QByteArray RecvBuffer;   // bytes received since the last emptying
    QString PortSettings;    // "19200,N,8,1" or "9600,N,8,1"
    QByteArray PjPrefix;     // "", "AFFF" or "A001" to "A004"
};

// What the window shows that the panel's logic decides. Heights and positions are in
// twips (15 to a pixel at 96 dots per inch); heights are outer heights.
struct ViewState
{
    int outerHeight = 0;
    int left = 0;
    int top = 0;
    QString command34Caption;
    bool command34Visible = false;
    bool frame8Visible = false;
    QString txd;    // Label11
    QString rxd;    // Label12
    QString status; // Label22
    // The selected option of each group, by designer name.
    QString portOption;
    QString speedOption;
    QString pjOption;
};

enum class ViewItem
{
    Geometry,
    Command34,
    Frame8,
    Txd,
    Rxd,
    Status,
    Options
};

// A modal warning with one OK button and the window's caption as title; returns when
// the operator has closed it. Timer ticks and arrivals may run meanwhile.
class WarningBox
{
public:
    virtual ~WarningBox() = default;
    virtual void showWarning(const QString &text) = 0;
};

// The control panel's logic: the window's state and every handler, without a widget.
// The window forwards the operator's clicks, presses, releases and keys by designer
// name; the serial control and the four timers come in through their interfaces.
class Panel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCompactHeight = 5200;
    static constexpr int kDataHeight = 6645;
    static constexpr int kMaintenanceHeight = 7200;
    static constexpr int kDesignHeight = kMaintenanceHeight;
    static constexpr int kViewThreshold = 6000;
    static constexpr int kClientWidth = 9495;
    // The design's caption bar and border: 375 twips high in all, 90 wide.
    static constexpr int kFrameHeight = 375;
    static constexpr int kFrameWidth = 90;
    static constexpr int kOuterWidth = kClientWidth + kFrameWidth;
    // The rendering counts characters in 16 bits: RecvBuffer keeps at most the newest
    // this many bytes, however long the line talks without a transmission.
    static constexpr qsizetype kRecvBufferLimit = 32767;

    static constexpr int kKeyJ = 74;
    static constexpr int kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;

    Panel(CommControl &port, TimerFactory &timers, WarningBox &warnings, QObject *parent = nullptr);
    ~Panel() override;

    // Events, delivered one at a time on the window's thread. Each runs its handler to
    // its end; a failure stops the handler at the failing step and is reported here:
    // its description goes into the STATUS line, and one the operator caused with a
    // click also shows a warning box (after the mouse button is up again).
    void start(QSize screenTwips); // once, before the window is first shown
    void click(QStringView control);
    void press(QStringView control);
    void release(QStringView control);
    void keyDown(int keyCode, int shiftState);

    const WindowState &state() const { return m_state; }
    const ViewState &view() const { return m_view; }
    // Timer1 to Timer4.
    Timer &timer(int number) const;

signals:
    void viewChanged(tarn::ViewItem item);
    // "END" was clicked: the port is closed, the window is to unload.
    void quitRequested();

private:
    enum class Cause
    {
        Operator,
        Press,
        System
    };
    enum class Reopen
    {
        IfWasOpen,
        Always
    };

    template<typename Handler> void dispatch(Cause cause, Handler &&handler);
    void report(Cause cause, const Outcome &outcome);
    void showWarningOnce(const QString &text);

    // Start-up, views and exit.
    void Form_Load(QSize screenTwips);
    void Form_KeyDown(int keyCode, int shiftState);
    void Command34_Click();
    void Command16_Click();

    // Port configuration and reception.
    void Command33_Click();
    void Timer3_Timer();
    void Option1_Click();
    void Option2_Click();
    void portSwitch(int chosen, int fallback, Reopen reopen);
    Outcome chooseSpeed(const SpeedOption &speed);
    Outcome MSComm1_OnComm();

    // Command frames, transmission and the traffic monitor. Hyouji's mode: kTransmit
    // sends data; any other value (the reception handler passes kReceive) shows a reply.
    static constexpr quint8 kTransmit = 1;
    static constexpr quint8 kReceive = 2;
    void choosePjSelect(const PjSelectOption &pj);
    Outcome send(QLatin1StringView code);
    Outcome Hyouji(const QByteArray &data, quint8 mode);
    void Timer2_Timer();
    void Timer4_Timer();

    // Command buttons.
    Outcome oneShotClick(const OneShotButton &button);
    Outcome pressSequence(const HoldButton &button);
    Outcome arrowPress(const HoldButton &button);
    void releaseSequence(const HoldButton &button);
    Outcome Timer1_Timer();

    void setHeight(int twips);
    void setCommand34(const QString &caption, bool visible);
    void setFrame8Visible(bool visible);
    void setLine(ViewItem line, const QString &text);
    void setOption(QString ViewState::*group, const QString &optionName);

    CommControl &m_port;
    WarningBox &m_warnings;
    std::array<std::unique_ptr<Timer>, 4> m_timers;
    Timer &m_timer1;
    Timer &m_timer2;
    Timer &m_timer3;
    Timer &m_timer4;

    WindowState m_state;
    ViewState m_view;

    bool m_warningOpen = false;
    QString m_deferredWarning; // a failed press's warning, shown once the button is up
};

} // namespace tarn
