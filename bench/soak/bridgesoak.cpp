#include "bridgesoak.h"

#include "bridge/bridgeprocess.h"
#include "bridge/poller.h"

#include "kit/stats.h"
#include "kit/table.h"

#include "realtime.h"
#include "simprocess.h"

#include <QRegularExpression>

#include <cstdio>
#include <memory>

namespace tarn::bench {

void out(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

namespace {

using namespace std::chrono_literals;
using tarn::test::runFor;
using tarn::test::SimProcess;
using tarn::test::waitFor;

// The bridge's share of one CPU over a span of event-loop time, in percent.
double cpuPercent(const BridgeProcess &bridge, std::chrono::milliseconds span)
{
    const auto before = bridge.cpuTime();
    const TimePoint start = Clock::now();
    runFor(span);
    return 100.0 * toMs(bridge.cpuTime() - before) / toMs(Clock::now() - start);
}

struct Answers
{
    int asked = 0, answered = 0, errors = 0, malformed = 0, unasked = 0;
};

// Stops the clients, lets the answers still due come, and counts them.
Answers collect(std::vector<std::unique_ptr<Poller>> &clients)
{
    for (auto &c : clients)
        c->stop();
    const auto settled = [&] {
        return std::none_of(clients.begin(), clients.end(),
                            [](const auto &c) { return c->client().busy(); });
    };
    waitFor(settled, 2s);
    static const QRegularExpression form(QStringLiteral("^[A-Z0-9]{4}=(OK|ERR[1-4]|[ -~]+)$"));
    Answers a;
    for (const auto &c : clients) {
        a.asked += c->asked;
        a.answered += int(c->answers.size());
        a.unasked += c->client().unsolicited();
        for (const QByteArray &answer : c->answers) {
            a.malformed += !form.match(QString::fromLatin1(answer)).hasMatch();
            a.errors += answer.contains("=ERR");
        }
    }
    return a;
}

struct Figures
{
    std::vector<double> memory;  // resident kB after each time up
    std::vector<double> cpuDown; // percent of a CPU while the line is down
    std::vector<double> cpuUp;   // and while it is up
    std::vector<double> reopen;  // ms from the simulator's start to the line up again
};

QList<BridgeSoakCheck> judge(const BridgeSoakSettings &settings, const BridgeProcess &bridge,
                             const Answers &a, const Figures &f)
{
    const Summary idle = summarize(f.cpuDown);
    const Summary busy = summarize(f.cpuUp);
    const Summary back = summarize(f.reopen);
    const int downs = bridge.count(QStringLiteral("line down"));
    const int ups = bridge.count(QStringLiteral("line up"));
    // From the end of the second time up, once every buffer has had its first use.
    const double growth =
        f.memory.back() - f.memory.at(std::min<std::size_t>(1, f.memory.size() - 1));
    out(QStringLiteral("Answers: %1 asked, %2 answered, %3 of them ERRn; reopened after a "
                       "median %4, at most %5 from the simulator's start")
            .arg(a.asked)
            .arg(a.answered)
            .arg(a.errors)
            .arg(formatted(back.median, 0) + QStringLiteral(" ms"),
                 formatted(back.max, 0) + QStringLiteral(" ms")));
    out(QStringLiteral("Bridge CPU while down: median %1 %, max %2 %; while up: median %3 %")
            .arg(formatted(idle.median, 1), formatted(idle.max, 1), formatted(busy.median, 1)));
    if (downs != settings.restarts) // say why the line went down each time
        for (const QString &line : bridge.log().split(u'\n').filter(u"line down"))
            out(line);
    QStringList kb;
    for (const double m : f.memory)
        kb << QString::number(qint64(m));
    out(QStringLiteral("Bridge resident memory after each time up (kB): %1").arg(kb.join(u' ')));
    return {
        {QStringLiteral("bridge: every request answered (OK or ERRn)"),
         a.answered == a.asked && a.malformed == 0 && a.unasked == 0 && a.errors > 0,
         QStringLiteral("%1 of %2 answered, %3 with ERRn; %4 malformed, %5 unasked")
             .arg(a.answered)
             .arg(a.asked)
             .arg(a.errors)
             .arg(a.malformed)
             .arg(a.unasked)},
        {QStringLiteral("bridge: memory flat"), growth < 512,
         QStringLiteral("resident grew %1 kB from the second time up to the last")
             .arg(qint64(growth))},
        {QStringLiteral("bridge: no CPU spin while the line is down"), idle.max < 10.0,
         QStringLiteral("at most %1 % of a CPU while down").arg(formatted(idle.max, 1))},
        {QStringLiteral("bridge: the line reopened each time, each change logged once"),
         int(f.reopen.size()) == settings.restarts && downs == settings.restarts &&
             ups == settings.restarts + 1,
         QStringLiteral("reopened %1 of %2 times; %3 \"line down\", %4 \"line up\" in its log")
             .arg(f.reopen.size())
             .arg(settings.restarts)
             .arg(downs)
             .arg(ups)},
    };
}

} // namespace

QList<BridgeSoakCheck> soakBridge(const BridgeSoakSettings &settings)
{
    out(QStringLiteral("\n## Bridge: %1 clients polling while the simulator is killed and "
                       "started again %2 times")
            .arg(settings.clients)
            .arg(settings.restarts));
    SimProcess sim({}, settings.bin + QStringLiteral("/tarn-sim"));
    BridgeProcess bridge(settings.bin + QStringLiteral("/tarn-bridge"));
    QStringList arguments{QStringLiteral("--port"), sim.link(), QStringLiteral("--no-auth")};
    for (int address = 1; address <= 4; ++address)
        arguments << QStringLiteral("--listen") << QStringLiteral("127.0.0.1:0=%1").arg(address);
    if (!sim.start() || !bridge.start(arguments, 4))
        return {{QStringLiteral("bridge: started"), false, bridge.log()}};

    auto clients = makePollers(
        settings.clients,
        [&](int i) { return bridge.port(QStringLiteral("PJLink, projector %1").arg(i % 4 + 1)); },
        {"POWR ?", "INPT ?", "LAMP ?", "ERST ?"}, 100ms);
    Figures f;
    for (int i = 0; i < settings.restarts; ++i) {
        f.cpuUp.push_back(cpuPercent(bridge, settings.up));
        f.memory.push_back(double(bridge.residentKb()));
        sim.kill();
        f.cpuDown.push_back(cpuPercent(bridge, settings.down));
        const int ups = bridge.count(QStringLiteral("line up"));
        const TimePoint restart = Clock::now();
        if (!sim.start())
            break;
        if (waitFor([&] { return bridge.count(QStringLiteral("line up")) > ups; }, 5s))
            f.reopen.push_back(toMs(Clock::now() - restart));
    }
    f.cpuUp.push_back(cpuPercent(bridge, settings.up));
    f.memory.push_back(double(bridge.residentKb()));
    return judge(settings, bridge, collect(clients), f);
}

} // namespace tarn::bench
