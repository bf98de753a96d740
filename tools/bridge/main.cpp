// tarn-bridge: the projectors on one serial line as PJLink devices on the network.
#include "gateway.h"
#include "linequeue.h"
#include "listeners.h"
#include "options.h"
#include "passwordfile.h"

#include "app/qttimer.h"
#include "app/stopsignals.h"
#include "serialcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

using namespace tarn::bridge;

namespace {

constexpr int kStartFailure = 1;

void logLine(const QString &line)
{
    std::fprintf(stderr, "tarn-bridge: %s\n", qPrintable(line));
}

// Listens where the options say; false after logging why it cannot.
bool listen(Listeners &listeners, const Options &options)
{
    QString problem;
    for (const Listener &l : options.listeners) {
        if (problem.isEmpty())
            problem = listeners.listen(l.endpoint.address, l.endpoint.port, l.profile);
    }
    if (options.raw && problem.isEmpty())
        problem = listeners.listenRaw(options.raw->address, options.raw->port);
    if (!problem.isEmpty())
        logLine(problem);
    return problem.isEmpty();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    tarn::StopSignals stop; // a service manager's stop closes the line and the listeners
    if (stop.install())
        QObject::connect(&stop, &tarn::StopSignals::received, &app, &QCoreApplication::quit);
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    const auto parsed = parseArguments(app.arguments().mid(1));
    if (const auto *problem = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "tarn-bridge: %s\nTry 'tarn-bridge --help'.\n", qPrintable(*problem));
        return kUsageError;
    }
    const Options &options = std::get<Options>(parsed);
    if (options.help || options.version) {
        const QString text =
            options.help
                ? usage()
                : QStringLiteral("tarn-bridge %1\n").arg(QCoreApplication::applicationVersion());
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    std::optional<QByteArray> password;
    if (options.passwordFile) {
        auto read = readPasswordFile(*options.passwordFile);
        if (const auto *problem = std::get_if<QString>(&read)) {
            logLine(*problem);
            return kStartFailure;
        }
        password = std::get<QByteArray>(std::move(read));
    }

    // The line is port 1 of the serial control; --port says which device that is.
    tarn::SerialControl port;
    port.setDevice(1, options.port);
    tarn::QtTimerFactory timers;
    QElapsedTimer clock;
    clock.start();
    const Clock now = [&clock] {
        return std::chrono::milliseconds(clock.elapsed());
    };
    LineQueue line(port, timers, now);
    QObject::connect(&line, &LineQueue::lineStateChanged, [](bool up, const QString &why) {
        logLine(QStringLiteral("line %1: %2").arg(up ? u"up" : u"down", why));
    });
    QObject::connect(&line, &LineQueue::rawClientRefused, &logLine);

    Gateway gateway(line, timers, {password, options.verbose, now, {}}, &logLine);
    Listeners listeners(gateway, &logLine);
    if (!listen(listeners, options))
        return kStartFailure;
    line.start(options.settings);
    return app.exec();
}
