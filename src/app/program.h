#pragma once

#include "app/panel.h"
#include "app/qttimer.h"
#include "panelwindow.h"
#include "serialcontrol.h"

namespace tarn {

// The whole panel as the program runs it: the serial control on a real device, precise
// timers, the logic and its window.
struct PanelProgram
{
    PanelProgram() { warnings.setWindow(&window); }

    void start()
    {
        panel.start(window.screenSizeTwips());
        window.show();
    }

    SerialControl port;
    QtTimerFactory timers;
    WarningDialog warnings;
    Panel panel{port, timers, warnings};
    PanelWindow window{panel};
};

} // namespace tarn
