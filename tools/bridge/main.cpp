// tarn-bridge: the projectors on one serial line as PJLink devices on the network.
#include "freezememory.h"
#include "gateway.h"
#include "linequeue.h"
#include "listeners.h"
#include "options.h"
#include "passwordfile.h"
#include "pjlinkcommands.h"
#include "poll.h"

#include "control/actiongate.h"
#include "control/bearercheck.h"
#include "control/commandendpoint.h"
#include "http/httplistener.h"
#include "http/httpserver.h"
#include "http/router.h"
#include "state/linefeed.h"
#include "state/livestate.h"
#include "state/readendpoints.h"

#include "mqtt/mosquittolink.h"
#include "mqtt/mqttconfig.h"

#include "app/qttimer.h"
#include "app/stopsignals.h"
#include "serialcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

using namespace tarn::bridge;

namespace {

constexpr int kStartFailure = 1;

// Every log line names the line, for a host that runs a gateway per line.
QString g_lineName;

void logLine(const QString &line)
{
    std::fprintf(stderr, "tarn-bridge[%s]: %s\n", qPrintable(g_lineName), qPrintable(line));
}

QList<Profile> served(const Options &options)
{
    QList<Profile> profiles;
    for (const Listener &listener : options.listeners)
        profiles << listener.profile;
    return profiles;
}

// The secret in the file an option names, none without the option; false after logging
// why the file cannot be used.
template<typename Reader>
bool readSecret(const std::optional<QString> &path, Reader read, std::optional<QByteArray> &secret)
{
    if (!path)
        return true;
    auto content = read(*path);
    if (const auto *problem = std::get_if<QString>(&content)) {
        logLine(*problem);
        return false;
    }
    secret = std::get<QByteArray>(std::move(content));
    return true;
}

// Monitoring: the HTTP routes that read the live state, and the gateway's own poll.
// Further routes join the router before the listener listens. HTTP requests go through
// `requests` (the action rule over the line), the poll's questions to the line itself.
struct Monitoring
{
    Monitoring(LineQueue &line, LineService &requests, const LiveState &state,
               const Gateway &gateway, tarn::TimerFactory &timers, const Options &options)
        : http(router, timers, &logLine), listener(http, &logLine)
    {
        const auto figures = [&gateway, this] {
            return GatewayFigures{gateway.pjlinkConnections(), gateway.failedAuthentications(),
                                  http.answers()};
        };
        addReadRoutes(router, state,
                      {options.lineName, kManufacturer.toByteArray(), kModel.toByteArray(), figures,
                       &systemMoment});
        QObject::connect(&http, &HttpServer::clientGone, &line,
                         [&requests](const void *client) { requests.cancel(client); });
        if (options.poll == std::chrono::seconds::zero())
            return;
        QList<QByteArray> prefixes;
        for (const ProjectorRecord &record : state.records())
            prefixes << record.profile.prefix;
        poll = std::make_unique<Poll>(line, timers, prefixes, options.poll);
    }

    Router router;
    HttpServer http;
    HttpListener listener;
    std::unique_ptr<Poll> poll; // none with --poll 0
};

// Listens where the options say; false after logging why it cannot.
bool listen(Listeners &listeners, HttpListener &http, const Options &options)
{
    QString problem;
    for (const Listener &l : options.listeners) {
        if (problem.isEmpty())
            problem = listeners.listen(l.endpoint.address, l.endpoint.port, l.profile);
    }
    if (options.raw && problem.isEmpty())
        problem = listeners.listenRaw(options.raw->address, options.raw->port);
    if (options.http && problem.isEmpty())
        problem = http.listen(*options.http);
    if (!problem.isEmpty())
        logLine(problem);
    return problem.isEmpty();
}

// The options, or why they cannot be used: an MQTT topic or broker address wrong as written
// is as unusable as any other option.
std::variant<Options, QString> readOptions(const QStringList &arguments)
{
    auto parsed = parseArguments(arguments);
    if (const auto *o = std::get_if<Options>(&parsed); o && !o->help && !o->version) {
        if (std::optional<QString> problem = tarn::mqtt::mqttOptionsProblem(*o))
            return *std::move(problem);
    }
    return parsed;
}

// The answer to unusable arguments, --help or --version; none when the gateway is to run.
std::optional<int> answeredAtOnce(const std::variant<Options, QString> &parsed)
{
    if (const auto *problem = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "tarn-bridge: %s\nTry 'tarn-bridge --help'.\n", qPrintable(*problem));
        return kUsageError;
    }
    const Options &options = std::get<Options>(parsed);
    if (!options.help && !options.version)
        return std::nullopt;
    const QString text =
        options.help
            ? usage()
            : QStringLiteral("tarn-bridge %1\n").arg(QCoreApplication::applicationVersion());
    std::fputs(qPrintable(text), stdout);
    return 0;
}

// Home Assistant and other MQTT systems: the state published, commands taken through the
// action rule. Nothing without --mqtt.
struct MqttSide
{
    // False after logging why the MQTT options cannot be used.
    bool configure(const Options &options, LineService &requests, const LiveState &state,
                   tarn::TimerFactory &timers)
    {
        auto config = tarn::mqtt::mqttConfig(options, QCoreApplication::applicationVersion());
        if (const auto *problem = std::get_if<QString>(&config)) {
            logLine(*problem);
            return false;
        }
        auto &[brokerSettings, serviceSettings] = std::get<tarn::mqtt::MqttConfig>(config);
        broker = std::make_unique<tarn::mqtt::MosquittoLink>(std::move(brokerSettings), &logLine);
        service = std::make_unique<tarn::mqtt::MqttService>(*broker, requests, state, timers,
                                                            std::move(serviceSettings), &logLine);
        return true;
    }

    std::unique_ptr<tarn::mqtt::MosquittoLink> broker;
    std::unique_ptr<tarn::mqtt::MqttService> service;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    tarn::StopSignals stop; // a service manager's stop closes the line and the listeners
    if (stop.install())
        QObject::connect(&stop, &tarn::StopSignals::received, &app, &QCoreApplication::quit);
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    const auto parsed = readOptions(app.arguments().mid(1));
    if (const std::optional<int> status = answeredAtOnce(parsed))
        return *status;
    const Options &options = std::get<Options>(parsed);
    g_lineName = options.lineName;
    std::optional<QByteArray> password, token;
    if (!readSecret(options.passwordFile, readPasswordFile, password) ||
        !readSecret(options.httpTokenFile, readTokenFile, token))
        return kStartFailure;

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

    // The live state, kept from every transaction on the line: the action rule reads it,
    // monitoring serves it. Every client's request passes the rule.
    LiveState state(served(options));
    feedLiveState(line, state, &systemMoment);
    ActionGate gate(line, state, &systemMoment);
    // FREZ ? answers what was last sent to each projector, as every transaction shows it.
    FreezeMemory freeze;
    QObject::connect(&line, &LineQueue::exchanged, &line,
                     [&freeze](const QByteArray &prefix, const QByteArray &code,
                               const QByteArray &reply) { freeze.observe(prefix, code, reply); });

    Gateway gateway(gate, timers, {password, options.verbose, now, {}, &freeze}, &logLine);
    Listeners listeners(gateway, &logLine);

    Monitoring monitoring(line, gate, state, gateway, timers, options);
    CommandEndpoint control(gate, gateway.throttle(), {token, served(options)}, &logLine);
    control.addTo(monitoring.router);

    MqttSide mqtt;
    if (options.mqtt && !mqtt.configure(options, gate, state, timers))
        return kStartFailure;

    if (!listen(listeners, monitoring.listener, options))
        return kStartFailure;
    line.start(options.settings);
    if (monitoring.poll)
        monitoring.poll->start();
    if (mqtt.broker)
        mqtt.broker->open();
    return app.exec();
}
