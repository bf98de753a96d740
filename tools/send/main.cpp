// tarn-send: the panel's buttons from the command line, for scripts and timed jobs.
#include "options.h"
#include "rounds.h"
#include "sender.h"

#include "app/qttimer.h"
#include "app/stopsignals.h"
#include "serialcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

using namespace tarn;

// Sends the plan once, or round after round with --watch, where SIGINT and SIGTERM end
// the run with status 0 between two lines.
int run(const send::Options &options, QTextStream &out, QTextStream &err)
{
    // The sender always talks on port 1; --port says which device that is.
    SerialControl port;
    if (options.port)
        port.setDevice(1, *options.port);
    QtTimerFactory timers;
    QElapsedTimer clock;
    clock.start();
    send::Sender sender(
        port, timers, [&clock] { return milliseconds(clock.elapsed()); }, out, err);
    send::Rounds rounds(sender, timers);
    QObject::connect(&rounds, &send::Rounds::finished, QCoreApplication::instance(),
                     &QCoreApplication::exit, Qt::QueuedConnection);
    StopSignals stop;
    if (options.watch && stop.install())
        QObject::connect(&stop, &StopSignals::received, QCoreApplication::instance(),
                         [] { QCoreApplication::exit(0); });
    rounds.start(options.plan, options.watch.value_or(milliseconds::zero()),
                 options.watch ? options.count : 1);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const auto parsed = send::parseArguments(app.arguments().mid(1));
    if (const auto *problem = std::get_if<QString>(&parsed)) {
        err << "tarn-send: " << *problem << "\nTry 'tarn-send --help'." << Qt::endl;
        return send::kUsageError;
    }
    const send::Options &options = std::get<send::Options>(parsed);
    if (options.help) {
        out << send::usage(deviceForPort(1)) << Qt::flush;
        return 0;
    }
    if (options.version) {
        out << "tarn-send " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    return run(options, out, err);
}
