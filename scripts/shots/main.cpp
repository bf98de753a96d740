// Takes the pictures of the three views for the documentation: the panel on the port
// that $TARN_COM1 names (the simulator), operated as a person would, saved as PNG files
// into the folder given as the only argument.
#include "app/program.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTest>

#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace std::chrono_literals;

namespace {

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(10);
    return done();
}

// Sends a query once the previous reply time-out has emptied the buffer, and waits until
// the STATUS line shows its decoding.
bool query(tarn::PanelProgram &program, QStringView button)
{
    if (!waitFor([&] { return !program.panel.timer(2).isEnabled(); }, 3s))
        return false;
    program.panel.click(button);
    return waitFor([&] { return !program.panel.view().status.isEmpty(); }, 3s);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarn-shots FOLDER\n");
        return 64;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    tarn::PanelProgram program;
    // A warning box would wait for a person who is not there: give up instead.
    QTimer::singleShot(60s, &app, [&program] {
        std::fprintf(stderr, "tarn-shots: stuck; STATUS reads \"%s\"\n",
                     qPrintable(program.panel.view().status));
        std::_Exit(1);
    });
    program.start();
    QTest::qWait(500);
    bool ok = program.window.saveScreenshot(folder.filePath("view-compact.png"));

    program.panel.keyDown(tarn::Panel::kKeyJ, tarn::Panel::kCtrlMask);
    program.panel.click(u"Command17"); // power on: the simulator counts down
    ok = ok && query(program, u"Command44");
    QTest::qWait(100);
    ok = ok && program.window.saveScreenshot(folder.filePath("view-maintenance.png"));

    program.panel.click(u"Command34"); // to the compact view
    program.panel.click(u"Command34"); // to the data view
    program.panel.click(u"Command57"); // lamps 1 and 4
    ok = ok && query(program, u"Command55");
    QTest::qWait(100);
    ok = ok && program.window.saveScreenshot(folder.filePath("view-data.png"));

    if (!ok) {
        std::fprintf(stderr, "tarn-shots: %s\n", qPrintable(program.panel.view().status));
        return 1;
    }
    return 0;
}
