#pragma once

#include "app/panel.h"
#include "fakeport.h"
#include "virtualclock.h"

#include <QStringList>

namespace tarn::test {

// Records the warning boxes the panel opens instead of showing them.
class RecordingWarnings final : public WarningBox
{
public:
    void showWarning(const QString &text) override
    {
        shown << text;
        if (whileOpen)
            whileOpen();
    }
    QStringList shown;
    std::function<void()> whileOpen; // runs as if while the box were on screen
};

// A panel on a fake port and a virtual clock, started as the program starts it.
struct PanelRig
{
    explicit PanelRig(bool started = true)
    {
        if (started)
            start();
    }
    void start() { panel.start(kScreen); }

    // The screen used for start-up: 1920 x 1080 pixels.
    static constexpr QSize kScreen{1920 * 15, 1080 * 15};

    VirtualClock clock;
    FakePort port;
    RecordingWarnings warnings;
    Panel panel{port, clock, warnings};

    const ViewState &view() const { return panel.view(); }
    const WindowState &state() const { return panel.state(); }
    void advance(milliseconds span) { clock.advance(span); }
    // The TXD, RXD and STATUS lines.
    QStringList lines() const { return {view().txd, view().rxd, view().status}; }
    // The intervals of the repeat timer, the reply time-out and the display clearing, in ms.
    QList<qint64> intervals() const
    {
        return {panel.timer(1).interval().count(), panel.timer(2).interval().count(),
                panel.timer(4).interval().count()};
    }

    // Runs the steps in order: "Command44" or "Option5" is clicked, "+Command1" pressed,
    // "-Command1" released; ">80\r" makes the bytes arrive, "!1004" raises another line
    // event; "250ms" moves the clock.
    void run(const QStringList &steps)
    {
        for (const QString &step : steps) {
            if (step.startsWith(u'+'))
                panel.press(step.mid(1));
            else if (step.startsWith(u'-'))
                panel.release(step.mid(1));
            else if (step.startsWith(u'>'))
                port.arrive(step.mid(1).toLatin1());
            else if (step.startsWith(u'!'))
                port.raiseEvent(step.mid(1).toInt());
            else if (step.endsWith(u"ms"))
                advance(milliseconds(step.chopped(2).toInt()));
            else
                panel.click(step);
        }
    }
};

} // namespace tarn::test
