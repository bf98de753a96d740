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
    QByteArray lastFrame() const
    {
        return port.frames.isEmpty() ? QByteArray() : port.frames.last();
    }
    void advance(milliseconds span) { clock.advance(span); }
};

} // namespace tarn::test
