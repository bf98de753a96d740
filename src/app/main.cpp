// The panel program: the serial control, the timers, the logic and the window, wired.
#include "app/panel.h"
#include "app/qttimer.h"
#include "panelwindow.h"
#include "serialcontrol.h"

#include <QApplication>
#include <QTimer>

using namespace std::chrono_literals;

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

    // Headless demonstrations: save a picture of the running window and end.
    if (const QString shot = qEnvironmentVariable("TARN_SCREENSHOT"); !shot.isEmpty()) {
        QTimer::singleShot(1500ms, &window, [&window, &app, shot] {
            window.grab().save(shot);
            app.quit();
        });
    }
    return app.exec();
}
