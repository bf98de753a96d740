// tarn-bench-bridge: tarn-bridge between the projector simulator on a pseudo-terminal and
// clients on the loopback. Prints one table: what a request adds to its serial
// transaction, 32 clients polling one line, a panel's 5 ms repeat through the raw port
// beside busy PJLink clients, and hostile clients beside well-behaved ones.

#include "bridge/bridgeprocess.h"
#include "bridge/pjlinkclient.h"
#include "soak/simprocess.h"

#include "kit/countingport.h"
#include "kit/eventloop.h"
#include "kit/procinfo.h"
#include "kit/stats.h"
#include "kit/table.h"

#include "app/panel.h"
#include "app/qttimer.h"
#include "serialcontrol.h"
#include "traffic/replyend.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;
using namespace tarn::bench;
using std::chrono::milliseconds;
using std::chrono::seconds;

struct Settings
{
    int samples = 200;   // requests of each kind for the added time
    int clients = 32;    // the connection limit of the bridge
    int each = 100;      // POWR ? per client
    seconds hold{5};     // the panel's repeat through the raw port
    seconds hostile{10}; // well-behaved clients beside hostile ones
    int pollers = 8;     // PJLink clients keeping the line busy beside the panel
};

constexpr int kBaud = 19200;
constexpr int kQueryChars = 11;                         // "A001CR0\r" and "00\r"
const QList<QByteArray> kStates = {"0", "3", "0", "3"}; // A002 and A004 are warming up

QString ms(double value, int decimals = 2)
{
    return formatted(value, decimals) + QStringLiteral(" ms");
}

QString verdict(bool ok)
{
    return ok ? QStringLiteral("ok") : QStringLiteral("MISSED");
}

struct Report
{
    QList<QStringList> rows;
    void add(const QString &what, const Summary &s, const QString &target, bool ok,
             const QString &notes)
    {
        rows << QStringList{what,         QString::number(s.count),
                            ms(s.median), ms(s.p95),
                            ms(s.p99),    ms(s.max),
                            target,       verdict(ok),
                            notes};
    }
};

// A client that asks the commands of a cycle over and over, as a control system polls.
class Poller
{
public:
    Poller(quint16 port, QList<QByteArray> cycle, milliseconds pause = 0ms)
        : m_client(port), m_cycle(std::move(cycle)), m_pause(pause)
    {
        QObject::connect(&m_client, &PjlinkClient::greeted, [this] { next(); });
        QObject::connect(
            &m_client, &PjlinkClient::answered, [this](const QByteArray &answer, Nanos roundTrip) {
                answers << answer;
                roundTrips.push_back(toMs(roundTrip));
                if (answers.size() == limit)
                    stop();
                if (m_running)
                    QTimer::singleShot(m_pause, Qt::PreciseTimer, &m_client, [this] { next(); });
            });
    }
    void stop() { m_running = false; }
    PjlinkClient &client() { return m_client; }

    QList<QByteArray> answers;
    std::vector<double> roundTrips;
    qsizetype limit = -1; // stops after this many answers

private:
    void next()
    {
        if (m_running && m_client.ready())
            m_client.ask(m_cycle[m_step++ % m_cycle.size()]);
    }
    PjlinkClient m_client;
    QList<QByteArray> m_cycle;
    milliseconds m_pause;
    qsizetype m_step = 0;
    bool m_running = true;
};

// What came of holding an arrow: when the panel sent each frame, when an answer came back
// to it, when the simulator reported each of its frames.
struct Hold
{
    std::vector<double> sent, answered, atLine;
    int polled = 0; // frames of the PJLink clients meanwhile
    QStringList warnings;
};

std::vector<double> msSinceEpoch(const std::vector<TimePoint> &times)
{
    std::vector<double> ms;
    for (const TimePoint t : times)
        ms.push_back(toMs(t.time_since_epoch()));
    return ms;
}

class Bench
{
public:
    Bench(const Settings &settings, const QString &bin, const QString &link)
        : m_settings(settings), m_link(link), m_sim(bin + QStringLiteral("/tarn-sim"), link),
          m_bridge(bin + QStringLiteral("/tarn-bridge"))
    {}

    QString begin();
    void measureAddedTime();
    void measureManyClients();
    void measureRawRhythm();
    void measureHostileClients();
    Report report;
    QString bridgeLog() const { return m_bridge.log(); }

private:
    std::vector<double> direct(const QByteArray &frame);
    Hold holdArrow();
    quint16 listener(int address) const
    {
        return m_bridge.port(QStringLiteral("PJLink, projector %1").arg(address));
    }

    Settings m_settings;
    QString m_link;
    SimProcess m_sim;
    BridgeProcess m_bridge;
    double m_directQuery = 0; // median of a query's serial transaction
    double m_directAction = 0;
};

// The simulator, the serial transactions without the bridge, then the bridge on the same
// line with a listener for each projector, and the projectors' states set.
QString Bench::begin()
{
    if (!m_sim.start({QStringLiteral("--warmup"), QStringLiteral("3600000")}))
        return QStringLiteral("the simulator did not start");
    const Summary query = summarize(direct("A001CR0\r"));
    const Summary action = summarize(direct("A001C0D\r"));
    if (query.count == 0 || action.count == 0)
        return QStringLiteral("the simulator did not answer on %1").arg(m_link);
    m_directQuery = query.median;
    m_directAction = action.median;
    report.add(QStringLiteral("Serial transaction without the bridge, A001CR0"), query, {}, true,
               QStringLiteral("the pseudo-terminal carries it at once"));
    report.add(QStringLiteral("Serial transaction without the bridge, A001C0D"), action, {}, true,
               {});

    QStringList arguments{QStringLiteral("--port"),    m_link,
                          QStringLiteral("--speed"),   QString::number(kBaud),
                          QStringLiteral("--no-auth"), QStringLiteral("--raw"),
                          QStringLiteral("0")};
    for (int address = 1; address <= 4; ++address)
        arguments << QStringLiteral("--listen") << QStringLiteral("127.0.0.1:0=%1").arg(address);
    if (!m_bridge.start(arguments, 5))
        return QStringLiteral("tarn-bridge did not start:\n") + m_bridge.log();
    for (int address : {2, 4}) {
        Poller power(listener(address), {"POWR 1"});
        runUntil([&] { return !power.answers.isEmpty(); }, 5s, &power.client(),
                 &PjlinkClient::answered);
        power.stop();
    }
    return {};
}

// Round trips of one frame at a time, straight on the serial line.
std::vector<double> Bench::direct(const QByteArray &frame)
{
    qputenv("TARN_COM1", QFile::encodeName(m_link));
    tarn::SerialControl port;
    port.setFixedSetup({});
    if (!port.setSettings(QStringLiteral("19200,N,8,1")) || !port.setPortOpen(true))
        return {};
    QByteArray reply;
    QObject::connect(&port, &tarn::CommControl::onComm, [&] { reply += port.input(); });
    std::vector<double> trips;
    const QByteArray code = frame.mid(4, 3);
    for (int i = 0; i < m_settings.samples; ++i) {
        reply.clear();
        const TimePoint sent = Clock::now();
        if (const tarn::Outcome written = port.output(frame); !written) {
            std::fprintf(stderr, "tarn-bench-bridge: %s\n", qPrintable(written.description()));
            break;
        }
        if (runUntil([&] { return tarn::replyComplete(code, reply); }, 1s, &port,
                     &tarn::CommControl::onComm))
            trips.push_back(toMs(Clock::now() - sent));
        runFor(5ms); // the frame's time on a cable, which the port keeps to on a pseudo-terminal
    }
    (void)port.setPortOpen(false);
    return trips;
}

// One client asks a query and an action in turn; the action drops the reused reply, so
// that every query goes to the line. What each adds: its round trip through the bridge
// less the median serial transaction of its kind.
void Bench::measureAddedTime()
{
    Poller poller(listener(1), {"POWR ?", "AVMT 11", "POWR ?", "AVMT 10"});
    const qsizetype wanted = 2 * qsizetype(m_settings.samples);
    runUntil([&] { return poller.answers.size() >= wanted; }, 60s, &poller.client(),
             &PjlinkClient::answered);
    poller.stop();
    std::vector<double> query, action;
    for (qsizetype i = 0; i < poller.answers.size(); ++i) {
        const bool isQuery = poller.answers[i].startsWith("POWR=");
        (isQuery ? query : action)
            .push_back(poller.roundTrips[i] - (isQuery ? m_directQuery : m_directAction));
    }
    const QString wire = QStringLiteral("a cable at %1 baud adds %2 to both").arg(kBaud);
    const double charMs = toMs(characterTime(kBaud));
    report.add(QStringLiteral("Added by the bridge, POWR ? (on the line)"), summarize(query), {},
               true, wire.arg(ms(kQueryChars * charMs)));
    report.add(QStringLiteral("Added by the bridge, AVMT 11 / 10"), summarize(action), {}, true,
               wire.arg(ms(9 * charMs)));
}

// Every client polls POWR ? on one of the four listeners as fast as it is answered. Each
// projector's state differs from its neighbour's, so that an answer meant for a client of
// another listener shows; one meant for another client of the same listener arrives when
// nothing was asked, or leaves its own client waiting.
void Bench::measureManyClients()
{
    runFor(500ms); // the bridge sees the clients before these go
    const qint64 memoryBefore = m_bridge.residentKb();
    std::vector<std::unique_ptr<Poller>> clients;
    for (int i = 0; i < m_settings.clients; ++i)
        clients.push_back(
            std::make_unique<Poller>(listener(i % 4 + 1), QList<QByteArray>{"POWR ?"}));
    const quint64 framesBefore = m_sim.frames();
    const TimePoint start = Clock::now();
    for (auto &client : clients)
        client->limit = m_settings.each;
    const auto done = [&] {
        return std::all_of(clients.begin(), clients.end(),
                           [&](const auto &c) { return c->answers.size() >= m_settings.each; });
    };
    while (!done() && Clock::now() - start < 300s)
        runFor(1ms);
    const double total = toMs(Clock::now() - start);
    const quint64 transactions = m_sim.frames() - framesBefore;

    int answered = 0, wrong = 0, unsolicited = 0;
    std::vector<double> trips;
    for (int i = 0; i < m_settings.clients; ++i) {
        for (const QByteArray &answer : clients[i]->answers)
            wrong += answer != "POWR=" + kStates[i % 4];
        answered += int(clients[i]->answers.size());
        unsolicited += clients[i]->client().unsolicited();
        trips.insert(trips.end(), clients[i]->roundTrips.begin(), clients[i]->roundTrips.end());
    }
    const int asked = m_settings.clients * m_settings.each;
    const double limit = asked * kQueryChars * toMs(characterTime(kBaud));
    const bool ok = answered == asked && wrong == 0 && unsolicited == 0 && total < limit;
    report.add(QStringLiteral("%1 clients × %2 POWR ?, round trip")
                   .arg(m_settings.clients)
                   .arg(m_settings.each),
               summarize(trips), QStringLiteral("all in < %1 s").arg(formatted(limit / 1000, 1)),
               ok,
               QStringLiteral("all answered in %1 s; %2 of %3 answered, %4 wrong, %5 unasked; %6 "
                              "line transactions (the rest reused); the line alone: %7 s for %3")
                   .arg(formatted(total / 1000, 2))
                   .arg(answered)
                   .arg(asked)
                   .arg(wrong)
                   .arg(unsolicited)
                   .arg(transactions)
                   .arg(formatted(limit / 1000, 1)));
    report.rows << QStringList{
        QStringLiteral("Bridge memory, %1 clients").arg(m_settings.clients),
        {},
        QStringLiteral("%1 kB").arg(m_bridge.residentKb()),
        {},
        {},
        QStringLiteral("%1 kB").arg(m_bridge.peakKb()),
        {},
        {},
        QStringLiteral("resident before %1 kB; median: after, max: peak").arg(memoryBefore)};
    clients.clear();
    runFor(500ms); // the bridge sees them go before the next clients come
}

// The panel (its logic, with precise timers and the real serial control) on the raw port,
// the arrow pad at 5 ms, projector 1 chosen.
Hold Bench::holdArrow()
{
    class Warnings final : public tarn::WarningBox
    {
    public:
        void showWarning(const QString &text) override { shown << text; }
        QStringList shown;
    };
    const quint16 raw = m_bridge.port(QStringLiteral("raw"));
    qputenv("TARN_COM1", QStringLiteral("tcp://127.0.0.1:%1").arg(raw).toLatin1());
    qputenv("TARN_COM2", "/nonexistent/tarn-bench-com2");
    tarn::SerialControl serial;
    CountingPort port{serial};
    tarn::QtTimerFactory timers;
    Warnings box;
    tarn::Panel panel(port, timers, box);
    std::vector<TimePoint> answers;
    QObject::connect(&serial, &tarn::CommControl::onComm, [&] {
        if (port.recordTimes)
            answers.push_back(Clock::now());
    });
    panel.start(QSize(1920 * 15, 1080 * 15));
    panel.click(u"Option5"); // PJ Select 001
    panel.press(u"Command48");
    panel.release(u"Command48");
    runFor(300ms);
    m_sim.setKeepLines(true);
    m_sim.take();
    port.recordTimes = true;
    panel.press(u"Command9");
    runFor(m_settings.hold);
    panel.release(u"Command9");
    runFor(300ms);
    port.recordTimes = false;
    m_sim.setKeepLines(false);
    Hold hold{msSinceEpoch(port.outputTimes), msSinceEpoch(answers), {}, 0, box.shown};
    for (const SimLine &line : m_sim.take()) {
        if (line.kind == SimLine::Kind::Frame && line.text.startsWith("A001C3B"))
            hold.atLine.push_back(toMs(line.at.time_since_epoch()));
        hold.polled += line.kind == SimLine::Kind::Frame && line.text.startsWith("A002");
    }
    return hold;
}

// The panel's 5 ms repeat through the raw port, alone and while PJLink clients keep the line
// busy with projector 2 (an action in every cycle drops the reused replies, so that every
// query takes the line). Its rhythm is that of the answers it gets back: one per frame.
void Bench::measureRawRhythm()
{
    for (const int pollers : {0, m_settings.pollers}) {
        std::vector<std::unique_ptr<Poller>> busy;
        for (int i = 0; i < pollers; ++i)
            busy.push_back(std::make_unique<Poller>(
                listener(2), QList<QByteArray>{"POWR ?", "INPT ?", "AVMT 10"}));
        const Hold hold = holdArrow();
        const Summary answers = summarize(gaps(hold.answered));
        const Summary sent = summarize(gaps(hold.sent));
        const Summary atLine = summarize(gaps(hold.atLine));
        const bool ok = meetsPeriodTargets(answers, 5ms) && hold.warnings.isEmpty() &&
                        hold.atLine.size() == hold.sent.size();
        report.add(
            QStringLiteral("Raw port: a panel's 5 ms repeat, its answers, %1 PJLink "
                           "clients beside")
                .arg(pollers),
            answers, QStringLiteral("median within 2 % of 5 ms"), ok,
            QStringLiteral("held %1 s; sent: median %2, p99 %3; at the line (as the "
                           "simulator reports them, late when its output is batched): "
                           "median %4, p99 %5; %6 of %7 frames reached the line; %8 "
                           "PJLink frames meanwhile; warnings: %9")
                .arg(m_settings.hold.count())
                .arg(ms(sent.median), ms(sent.p99), ms(atLine.median), ms(atLine.p99))
                .arg(hold.atLine.size())
                .arg(hold.sent.size())
                .arg(hold.polled)
                .arg(hold.warnings.isEmpty() ? QStringLiteral("none") : hold.warnings.join(u"; ")));
        for (auto &p : busy)
            p->stop();
        runFor(200ms);
    }
}

// Four clients poll while one client never sends, one sends a megabyte without a carriage
// return, and 500 connections open at once: the four must go on being answered.
void Bench::measureHostileClients()
{
    std::vector<std::unique_ptr<Poller>> polite;
    for (int i = 0; i < 4; ++i)
        polite.push_back(
            std::make_unique<Poller>(listener(i + 1), QList<QByteArray>{"POWR ?"}, 20ms));
    runFor(500ms);
    for (auto &p : polite)
        p->answers.clear(), p->roundTrips.clear();
    const qint64 memoryBefore = m_bridge.residentKb();
    const auto cpuBefore = m_bridge.cpuTime();

    QTcpSocket silent, flood;
    silent.connectToHost(QHostAddress::LocalHost, listener(1));
    flood.connectToHost(QHostAddress::LocalHost, listener(2));
    QObject::connect(&flood, &QTcpSocket::connected,
                     [&] { flood.write(QByteArray(1 << 20, 'x')); });
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < 500; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QHostAddress::LocalHost, listener(i % 4 + 1));
    }
    const TimePoint start = Clock::now();
    runFor(m_settings.hostile);
    const double cpu = 100.0 * toMs(m_bridge.cpuTime() - cpuBefore) / toMs(Clock::now() - start);

    std::vector<double> trips;
    int starved = 0;
    for (auto &p : polite) {
        p->stop();
        trips.insert(trips.end(), p->roundTrips.begin(), p->roundTrips.end());
        starved += p->answers.size() < 10;
    }
    const int held = int(std::count_if(crowd.begin(), crowd.end(), [](const auto &s) {
        return s->state() == QAbstractSocket::ConnectedState;
    }));
    const Summary s = summarize(trips);
    const bool ok = starved == 0 && m_bridge.running() && s.max < 1000 &&
                    flood.state() != QAbstractSocket::ConnectedState;
    report.add(QStringLiteral("Hostile clients: four polite ones polling every 20 ms"), s,
               QStringLiteral("each answered, max < 1 s"), ok,
               QStringLiteral("%1 s beside a silent client, a megabyte without CR (%2) and 500 "
                              "connections at once (%3 still open); bridge CPU %4 %, resident "
                              "%5 → %6 kB, peak %7 kB")
                   .arg(m_settings.hostile.count())
                   .arg(flood.state() == QAbstractSocket::ConnectedState
                            ? QStringLiteral("still open")
                            : QStringLiteral("closed"))
                   .arg(held)
                   .arg(formatted(cpu, 1))
                   .arg(memoryBefore)
                   .arg(m_bridge.residentKb())
                   .arg(m_bridge.peakKb()));
}

Settings parseSettings(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures tarn-bridge against the projector simulator."));
    parser.addHelpOption();
    const QCommandLineOption full(QStringLiteral("full"),
                                  QStringLiteral("More samples and longer holds (about 3 min)."));
    parser.addOption(full);
    parser.process(app);
    Settings settings;
    if (parser.isSet(full)) {
        settings.samples = 1000;
        settings.hold = 30s;
        settings.hostile = 40s;
    }
    return settings;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Settings settings = parseSettings(app);
    const QString loadBefore = loadAverage();
    QTemporaryDir scratch;
    Bench bench(settings, QCoreApplication::applicationDirPath(), scratch.filePath("com1"));
    if (const QString error = bench.begin(); !error.isEmpty()) {
        std::fprintf(stderr, "tarn-bench-bridge: %s\n", qPrintable(error));
        return 1;
    }
    bench.measureAddedTime();
    bench.measureManyClients();
    bench.measureRawRhythm();
    bench.measureHostileClients();
    if (qEnvironmentVariableIsSet("TARN_BENCH_LOG"))
        std::fputs(qPrintable(bench.bridgeLog()), stderr);

    const Machine machine = describeMachine();
    bench.report.rows << QStringList{QStringLiteral("Machine"),
                                     {},
                                     QStringLiteral("%1, %2 cores, %3, Qt %4")
                                         .arg(machine.cpu)
                                         .arg(machine.cores)
                                         .arg(machine.kernel, machine.qt)}
                      << QStringList{QStringLiteral("Load average before / after"),
                                     {},
                                     QStringLiteral("%1 / %2").arg(loadBefore, loadAverage())};
    const QStringList header = {
        QStringLiteral("tarn-bridge"), QStringLiteral("n"),       QStringLiteral("median"),
        QStringLiteral("p95"),         QStringLiteral("p99"),     QStringLiteral("max"),
        QStringLiteral("target"),      QStringLiteral("verdict"), QStringLiteral("notes")};
    std::fputs(qPrintable(markdownTable(header, bench.report.rows)), stdout);
    return 0;
}
