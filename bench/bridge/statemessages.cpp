#include "statemessages.h"

#include "bridgeprocess.h"
#include "pjlinkclient.h"

#include "brokerprocess.h"
#include "realtime.h"
#include "simprocess.h"

#include "mosquittolink.h"

#include <QFile>

namespace tarn::bench {

using namespace std::chrono_literals;
using test::BrokerProcess;
using test::runFor;
using test::waitFor;

namespace {

// The gateway on a simulator, with a state topic for projector 1 and no poll, so that only
// the client's own reads change it. Its projector is powered on, so that it takes mutes.
QString startRig(BrokerProcess &broker, test::SimProcess &sim, BridgeProcess &bridge,
                 const QString &credentials)
{
    QFile file(credentials);
    if (!broker.start() || !sim.start() || !file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return QStringLiteral("the broker or the simulator did not start");
    file.write(QByteArray(BrokerProcess::kUser) + '\n' + BrokerProcess::kPassword);
    file.close();
    const QStringList arguments{"--port",
                                sim.link(),
                                "--no-auth",
                                "--listen",
                                "127.0.0.1:0=1",
                                "--poll",
                                "0",
                                "--line-name",
                                "bench",
                                "--mqtt",
                                QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()),
                                "--mqtt-credentials-file",
                                credentials};
    return bridge.start(arguments, 1) ? QString() : bridge.log();
}

} // namespace

StateMessageTimes stateMessageTimes(const QString &bin, int samples, QString &problem)
{
    BrokerProcess broker;
    test::SimProcess sim({"--warmup", "500"}, bin + QStringLiteral("/tarn-sim"));
    BridgeProcess bridge(bin + QStringLiteral("/tarn-bridge"));
    if (problem = startRig(broker, sim, bridge, broker.file("bench-credentials"));
        !problem.isEmpty())
        return {};
    auto settings = std::get<mqtt::BrokerSettings>(
        mqtt::brokerSettings(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), {}, {},
                             "bench-subscriber", "tarn/bench-subscriber/status"));
    settings.credentials = mqtt::Credentials{BrokerProcess::kUser, BrokerProcess::kPassword};
    mqtt::MosquittoLink subscriber(settings, [](const QString &) {});
    subscriber.subscribe("tarn/bench/1/state");
    subscriber.open();
    PjlinkClient client(bridge.port(QStringLiteral("PJLink, projector 1")));
    TimePoint asked{};
    bool waiting = false;
    QByteArray answer, expected;
    StateMessageTimes times;
    QObject::connect(&subscriber, &mqtt::MqttLink::received,
                     [&](const QString &, const QByteArray &state, bool) {
                         if (waiting && state.contains(expected)) {
                             waiting = false;
                             times.toMessage.push_back(toMs(Clock::now() - asked));
                         }
                     });
    QObject::connect(&client, &PjlinkClient::answered, [&](const QByteArray &a, Nanos trip) {
        answer = a;
        if (a.startsWith("AVMT=3"))
            times.toAnswer.push_back(toMs(trip));
    });
    const auto ask = [&](const QByteArray &command) {
        answer.clear();
        client.ask(command);
        return waitFor([&] { return !answer.isEmpty(); }, 5s) ? answer : QByteArray();
    };
    if (!waitFor([&] { return client.ready() && subscriber.isConnected(); }, 10s) ||
        ask("POWR 1") != "POWR=OK" ||
        !waitFor([&] { return client.ready() && ask("POWR ?") == "POWR=1"; }, 20s)) {
        problem = QStringLiteral("the projector did not come on:\n") + bridge.log();
        return {};
    }
    runFor(2100ms); // the power state's last message, which may wait a gap, out of the way
    for (int i = 0; i < samples; ++i) {
        expected = i % 2 == 0 ? "\"videoMute\":true" : "\"videoMute\":false";
        ask(i % 2 == 0 ? "AVMT 11" : "AVMT 10");
        waiting = true;
        asked = Clock::now();
        ask("AVMT ?");
        waitFor([&] { return !waiting; }, 2s);
        waiting = false;
        runFor(1100ms); // past the state's pace of one message a second
    }
    return times;
}

} // namespace tarn::bench
