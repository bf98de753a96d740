// The panel program: the serial control, the timers, the logic and the window, wired.
#include "app/panel.h"
#include "app/qttimer.h"
#include "panelwindow.h"
#include "serialcontrol.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    tarn::SerialControl port;
    tarn::QtTimerFactory timers;
    tarn::WarningDialog warnings;
    tarn::Panel panel(port, timers, warnings);
    tarn::PanelWindow window(panel);
    warnings.setWindow(&window);
    QObject::connect(&panel, &tarn::Panel::quitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    panel.start(window.screenSizeTwips());
    window.show();
    return app.exec();
}
