// tarn-sim: simulated projectors on a pseudo-terminal or a local TCP port.

#include "app/stopsignals.h"
#include "devicelink.h"
#include "options.h"
#include "simulator.h"
#include "tcpline.h"
#include "terminalline.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

using namespace tarn::sim;

namespace {

constexpr int kFailure = 1;

int fail(const QString &message)
{
    std::fprintf(stderr, "tarn-sim: %s\n", qPrintable(message));
    return kFailure;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ::signal(SIGPIPE, SIG_IGN);

    const auto parsed = parseOptions(app.arguments().mid(1));
    if (const auto *message = std::get_if<QString>(&parsed)) {
        fail(*message);
        std::fprintf(stderr, "Try 'tarn-sim --help'.\n");
        return kUsageError;
    }
    const Options &options = std::get<Options>(parsed);
    if (options.help) {
        std::fputs(qPrintable(usage()), stdout);
        return 0;
    }

    tarn::StopSignals stop;
    if (!stop.install())
        return fail(QStringLiteral("cannot watch for signals"));
    QObject::connect(&stop, &tarn::StopSignals::received, &app, &QCoreApplication::quit);

    TerminalLine terminal;
    TcpLine tcp;
    DeviceLink link;
    QString address;
    if (options.tcpPort) {
        address = tcp.listen(*options.tcpPort);
        if (address.isEmpty())
            return fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(*options.tcpPort));
    } else {
        if (const QString error = terminal.open(); !error.isEmpty())
            return fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(error));
        address = terminal.device();
        if (!options.link.isEmpty()) {
            if (const QString error = link.create(options.link, address); !error.isEmpty())
                return fail(error);
        }
    }

    Simulator simulator(options, [&](const QByteArray &bytes) {
        if (bytes.isEmpty())
            return;
        if (options.tcpPort)
            tcp.write(bytes);
        else
            terminal.write(bytes);
    });
    if (options.tcpPort)
        tcp.attach(simulator);
    else
        terminal.attach(simulator);

    printLine(address.toLocal8Bit());
    return app.exec();
}
