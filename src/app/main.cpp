// The panel program: the serial control, the timers, the logic and the window, wired.
#include "app/program.h"

#include <QApplication>
#include <QTimer>

using namespace std::chrono_literals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    tarn::PanelProgram program;
    QObject::connect(&program.panel, &tarn::Panel::quitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    program.start();

    // Headless demonstrations: save a picture of the running window and end.
    if (const QString shot = qEnvironmentVariable("TARN_SCREENSHOT"); !shot.isEmpty()) {
        QTimer::singleShot(1500ms, &program.window, [&program, &app, shot] {
            program.window.grab().save(shot);
            app.quit();
        });
    }
    return app.exec();
}
