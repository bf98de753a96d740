// tarn-send: the panel's buttons from the command line, for scripts and timed jobs.
#include "options.h"
#include "sender.h"

#include "app/qttimer.h"
#include "serialcontrol.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const auto parsed = tarn::send::parseArguments(app.arguments().mid(1));
    if (const auto *problem = std::get_if<QString>(&parsed)) {
        err << "tarn-send: " << *problem << "\nTry 'tarn-send --help'." << Qt::endl;
        return tarn::send::kUsageError;
    }
    const tarn::send::Options &options = std::get<tarn::send::Options>(parsed);
    if (options.help) {
        out << tarn::send::usage(tarn::deviceForPort(1)) << Qt::flush;
        return 0;
    }
    if (options.version) {
        out << "tarn-send " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }

    // The sender always talks on port 1; --port says which device that is.
    if (options.port)
        qputenv("TARN_COM1", options.port->toLocal8Bit());

    tarn::SerialControl port;
    tarn::QtTimerFactory timers;
    tarn::send::Sender sender(port, timers, out, err);
    QObject::connect(&sender, &tarn::send::Sender::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    sender.start(options.plan);
    return app.exec();
}
