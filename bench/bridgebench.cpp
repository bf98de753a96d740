// tarn-bench-bridge: tarn-bridge between the projector simulator on a pseudo-terminal and
// clients on the loopback. Prints one table: what a request adds to its serial
// transaction, 32 clients polling one line, one client's wait beside 31 busy ones, a
// panel's 5 ms repeat through the raw port beside PJLink clients, and hostile clients
// beside well-behaved ones.

#include "bridge/bridgeprocess.h"
#include "bridge/pjlinkclient.h"
#include "bridge/poller.h"

#include "kit/countingport.h"
#include "kit/procinfo.h"
#include "kit/stats.h"
#include "kit/table.h"

#include "realtime.h"
#include "simprocess.h"

#include "app/panel.h"
#include "app/qttimer.h"
#include "serialcontrol.h"
#include "traffic/linerules.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>

namespace {

using namespace std::chrono_literals;
using namespace tarn::bench;
using std::chrono::milliseconds;
using std::chrono::seconds;
using tarn::test::runFor;
using tarn::test::SimProcess;
using tarn::test::waitFor;

struct Settings
{
    int samples = 200;   // requests of each kind for the added time
    int clients = 32;    // the connection limit of the bridge
    int each = 100;      // POWR ? per client
    seconds hold{5};     // the panel's repeat through the raw port
    seconds hostile{10}; // well-behaved clients beside hostile ones
    int pollers = 8;     // PJLink clients polling every second beside the panel
    int waits = 50;      // one client's single requests beside 31 busy ones
    bool log = false;    // print the bridge's log at the end
};

constexpr int kBaud = 19200;
constexpr int kQueryChars = 11;                         // "A001CR0\r" and "00\r"
constexpr int kActionChars = 9;                         // "A001C0D\r" and the ACK
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
    ms.reserve(times.size());
    for (const TimePoint t : times)
        ms.push_back(toMs(t.time_since_epoch()));
    return ms;
}

// What came back to a set of clients.
struct Tally
{
    int answered = 0, wrong = 0, unasked = 0;
    std::vector<double> trips;
};

// A client that keeps kDepth two-frame actions queued at the bridge: AVMT 31 and AVMT 30
// in turn, a new one as each is answered.
class Flooder : public QObject
{
public:
    static constexpr int kDepth = 8;

    Flooder(quint16 port, const Origin &origin)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, this, &Flooder::read);
        m_socket.bind(origin.from);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    int answered = 0;

private:
    void read()
    {
        m_buffer += m_socket.readAll();
        for (qsizetype end; (end = m_buffer.indexOf('\r')) >= 0; m_buffer.remove(0, end + 1)) {
            const bool greeting = m_buffer.startsWith("PJLINK");
            answered += !greeting;
            for (int i = greeting ? kDepth : 1; i > 0; --i)
                m_socket.write(m_sent++ % 2 ? "%1AVMT 30\r" : "%1AVMT 31\r");
        }
    }
    QTcpSocket m_socket;
    QByteArray m_buffer;
    int m_sent = 0;
};

class Bench
{
public:
    Bench(const Settings &settings, const QString &bin)
        : m_settings(settings), m_sim({}, bin + QStringLiteral("/tarn-sim")), m_link(m_sim.link()),
          m_bridge(bin + QStringLiteral("/tarn-bridge"))
    {
        // Only counts are kept, and during a hold the times of its frames, so that the
        // run does not hoard lines.
        m_sim.onLine([this](const QString &line) { simFrame(line); });
    }

    QString begin();
    void measureAddedTime();
    void measureManyClients();
    void measureFairness();
    void measureRawRhythm();
    void measureHostileClients();
    Report report;
    QString bridgeLog() const { return m_bridge.log(); }

private:
    std::vector<double> direct(const QByteArray &frame);
    void simFrame(const QString &line);
    Hold holdArrow();
    Tally crowd(const QList<QByteArray> &cycle, double &seconds);
    quint16 listener(int address) const
    {
        return m_bridge.port(QStringLiteral("PJLink, projector %1").arg(address));
    }

    Settings m_settings;
    SimProcess m_sim;
    QString m_link;
    BridgeProcess m_bridge;
    quint64 m_frames = 0;     // frames the simulator reported
    Hold *m_hold = nullptr;   // the hold under way, if any
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
        waitFor([&] { return !power.answers.isEmpty(); }, 5s);
        power.stop();
    }
    return {};
}

// A line the simulator reported: a frame counts, and during a hold the arrow's frames are
// timed and projector 2's counted.
void Bench::simFrame(const QString &line)
{
    if (!line.startsWith(u"< "))
        return;
    ++m_frames;
    if (m_hold == nullptr)
        return;
    if (line.startsWith(u"< A001C3B"))
        m_hold->atLine.push_back(toMs(Clock::now().time_since_epoch()));
    m_hold->polled += line.startsWith(u"< A002");
}

// Round trips of one frame at a time, straight on the serial line.
std::vector<double> Bench::direct(const QByteArray &frame)
{
    tarn::SerialControl port;
    port.setDevice(1, m_link);
    port.setFixedSetup({});
    if (!port.setSettings(QStringLiteral("19200,N,8,1")) || !port.setPortOpen(true))
        return {};
    const QByteArray code = frame.mid(4, 3);
    QByteArray reply;
    TimePoint answered{}; // timed as the reply completes, not when the wait next looks
    QObject::connect(&port, &tarn::CommControl::onComm, [&] {
        reply += port.input();
        if (answered == TimePoint{} && tarn::replyComplete(code, reply))
            answered = Clock::now();
    });
    std::vector<double> trips;
    for (int i = 0; i < m_settings.samples; ++i) {
        reply.clear();
        answered = {};
        const TimePoint sent = Clock::now();
        if (const tarn::Outcome written = port.output(frame); !written) {
            std::fprintf(stderr, "tarn-bench-bridge: %s\n", qPrintable(written.description()));
            break;
        }
        if (waitFor([&] { return answered != TimePoint{}; }, 1s))
            trips.push_back(toMs(answered - sent));
        runFor(5ms); // the frame's time on a cable, which the port keeps to on a pseudo-terminal
    }
    (void)port.setPortOpen(false);
    return trips;
}

// One client asks a query and an action in turn, 10 ms apart so that each frame has left a
// cable at 19200 baud before the next (the port keeps to that on a pseudo-terminal too);
// the action drops the reused reply, so that every query goes to the line. What each adds: its
// round trip through the bridge less the median serial transaction of its kind.
void Bench::measureAddedTime()
{
    Poller poller(listener(1), {"POWR ?", "AVMT 11", "POWR ?", "AVMT 10"}, 10ms);
    const qsizetype wanted = 2 * qsizetype(m_settings.samples);
    waitFor([&] { return poller.answers.size() >= wanted; }, 60s);
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

// Every client asks its cycle on one of the four listeners, each time it is answered, until
// it has `each` answers. Each projector's power state differs from its neighbour's, so that
// an answer meant for a client of another listener shows; one meant for another client of
// the same listener arrives when nothing was asked, or leaves its own client waiting.
Tally Bench::crowd(const QList<QByteArray> &cycle, double &seconds)
{
    auto clients = makePollers(
        m_settings.clients, [this](int i) { return listener(i % 4 + 1); }, cycle);
    for (auto &client : clients)
        client->limit = m_settings.each;
    const TimePoint start = Clock::now();
    const auto done = [&] {
        return std::all_of(clients.begin(), clients.end(),
                           [&](const auto &c) { return c->answers.size() >= m_settings.each; });
    };
    waitFor(done, 300s);
    seconds = toMs(Clock::now() - start) / 1000;
    Tally tally;
    for (int i = 0; i < m_settings.clients; ++i) {
        for (const QByteArray &answer : clients[i]->answers)
            tally.wrong += answer != "POWR=" + kStates[i % 4] && answer != "AVMT=OK";
        tally.answered += int(clients[i]->answers.size());
        tally.unasked += clients[i]->client().unsolicited();
        tally.trips.insert(tally.trips.end(), clients[i]->roundTrips.begin(),
                           clients[i]->roundTrips.end());
    }
    clients.clear();
    runFor(500ms); // the bridge sees them go before the next clients come
    return tally;
}

// POWR ? alone, mostly answered with a reused reply, then each POWR ? after an action to
// the same projector, so that the line is used for nearly every request. The line's own
// limit: every request a transaction at 19200 baud.
void Bench::measureManyClients()
{
    runFor(500ms); // the bridge sees the clients before these come
    const qint64 memoryBefore = m_bridge.residentKb();
    const QList<QList<QByteArray>> cycles = {{"POWR ?"}, {"AVMT 11", "POWR ?"}};
    for (const QList<QByteArray> &cycle : cycles) {
        const quint64 framesBefore = m_frames;
        double seconds = 0;
        const Tally tally = crowd(cycle, seconds);
        const int asked = m_settings.clients * m_settings.each;
        const double chars = cycle.size() == 1 ? kQueryChars : (kQueryChars + 9) / 2.0;
        const double limit = asked * chars * toMs(characterTime(kBaud)) / 1000;
        const bool ok =
            tally.answered == asked && tally.wrong == 0 && tally.unasked == 0 && seconds < limit;
        report.add(QStringLiteral("%1 clients × %2 × %3, round trip")
                       .arg(m_settings.clients)
                       .arg(m_settings.each)
                       .arg(QString::fromLatin1(cycle.join(" / "))),
                   summarize(tally.trips), QStringLiteral("all in < %1 s").arg(formatted(limit, 1)),
                   ok,
                   QStringLiteral("all answered in %1 s; %2 of %3 answered, %4 wrong, %5 "
                                  "unasked; %6 line transactions (the rest reused replies)")
                       .arg(formatted(seconds, 2))
                       .arg(tally.answered)
                       .arg(asked)
                       .arg(tally.wrong)
                       .arg(tally.unasked)
                       .arg(m_frames - framesBefore));
    }
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
}

// One client's single action (INPT 11) while the 31 other connections the bridge allows
// each keep 8 two-frame actions queued. Its wait in ms, and in transactions: the busy
// clients' answers that came meanwhile, one per transaction. On a cable at 19200 baud
// those transactions and its own would take their characters' time.
void Bench::measureFairness()
{
    std::vector<std::unique_ptr<Flooder>> busy;
    for (int i = 1; i < m_settings.clients; ++i)
        busy.push_back(std::make_unique<Flooder>(listener(i % 4 + 1), spread(i)));
    PjlinkClient probe(listener(1), spread(0));
    QByteArray answer;
    QObject::connect(&probe, &PjlinkClient::answered,
                     [&](const QByteArray &a, Nanos) { answer = a; });
    runFor(1s); // every busy client has its actions queued
    const auto busyAnswers = [&] {
        return std::accumulate(busy.begin(), busy.end(), 0,
                               [](int sum, const auto &b) { return sum + b->answered; });
    };
    std::vector<double> waits, transactions, cable;
    int wrong = 0;
    for (int i = 0; i < m_settings.waits && probe.ready(); ++i, runFor(20ms)) {
        const int before = busyAnswers();
        const TimePoint asked = Clock::now();
        answer.clear();
        probe.ask("INPT 11");
        if (!waitFor([&] { return !answer.isEmpty(); }, 10s))
            break;
        waits.push_back(toMs(Clock::now() - asked));
        transactions.push_back(busyAnswers() - before);
        cable.push_back((transactions.back() * 2 + 1) * kActionChars * toMs(characterTime(kBaud)));
        wrong += answer != "INPT=OK";
    }
    const Summary s = summarize(waits);
    const Summary t = summarize(transactions);
    const Summary c = summarize(cable);
    const bool ok = s.count == std::size_t(m_settings.waits) && wrong == 0 && s.p99 <= 2000;
    report.add(QStringLiteral("One client's INPT 11 beside %1 clients with %2 AVMT 31 / 30 queued")
                   .arg(busy.size())
                   .arg(Flooder::kDepth),
               s, QStringLiteral("p99 ≤ 2 s"), ok,
               QStringLiteral("its wait in transactions: median %1, p99 %2, max %3; on a cable "
                              "at %4 baud those take median %5, p99 %6; %7 wrong answers")
                   .arg(t.median)
                   .arg(t.p99)
                   .arg(t.max)
                   .arg(kBaud)
                   .arg(ms(c.median, 0), ms(c.p99, 0))
                   .arg(wrong));
    busy.clear();
    runFor(1s); // the bridge answers what was queued and sees them go
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
    Hold hold;
    m_hold = &hold;
    port.recordTimes = true;
    panel.press(u"Command9");
    runFor(m_settings.hold);
    panel.release(u"Command9");
    runFor(300ms);
    port.recordTimes = false;
    m_hold = nullptr;
    hold.sent = msSinceEpoch(port.outputTimes);
    hold.answered = msSinceEpoch(answers);
    hold.warnings = box.shown;
    return hold;
}

// The panel's 5 ms repeat through the raw port, alone and while PJLink clients poll
// projector 2 every second (an action in every cycle drops the reused replies, so that
// every query takes the line). Its rhythm is that of the answers it gets back: one per frame.
void Bench::measureRawRhythm()
{
    for (const int pollers : {0, m_settings.pollers}) {
        const auto busy = makePollers(
            pollers, [this](int) { return listener(2); }, {"POWR ?", "INPT ?", "AVMT 10"}, 1s);
        const Hold hold = holdArrow();
        const Summary answers = summarize(gaps(hold.answered));
        const Summary sent = summarize(gaps(hold.sent));
        const Summary atLine = summarize(gaps(hold.atLine));
        const bool ok = std::abs(answers.median - 5.0) <= 0.05 && hold.warnings.isEmpty() &&
                        hold.atLine.size() == hold.sent.size();
        double slowest = 0; // a PJLink round trip, the raw client's turn included
        for (const auto &p : busy)
            for (const double trip : p->roundTrips)
                slowest = std::max(slowest, trip);
        report.add(
            QStringLiteral("Raw port: a panel's 5 ms repeat, its answers, %1 PJLink "
                           "clients polling each second beside")
                .arg(pollers),
            answers, QStringLiteral("median within 1 % of 5 ms"), ok,
            QStringLiteral("held %1 s; sent: median %2, p99 %3; at the line (as the "
                           "simulator reports them, late when its output is batched): "
                           "median %4, p99 %5; %6 of %7 frames reached the line; %8 "
                           "PJLink frames meanwhile, their round trips at most %9; "
                           "warnings: %10")
                .arg(m_settings.hold.count())
                .arg(ms(sent.median), ms(sent.p99), ms(atLine.median), ms(atLine.p99))
                .arg(hold.atLine.size())
                .arg(hold.sent.size())
                .arg(hold.polled)
                .arg(ms(slowest))
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
    auto polite = makePollers(
        4, [this](int i) { return listener(i + 1); }, {"POWR ?"}, 20ms);
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
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print the bridge's log on the error stream."));
    parser.addOptions({full, log});
    parser.process(app);
    Settings settings;
    settings.log = parser.isSet(log);
    if (parser.isSet(full)) {
        settings.samples = 1000;
        settings.waits = 200;
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
    Bench bench(settings, QCoreApplication::applicationDirPath());
    if (const QString error = bench.begin(); !error.isEmpty()) {
        std::fprintf(stderr, "tarn-bench-bridge: %s\n", qPrintable(error));
        return 1;
    }
    bench.measureAddedTime();
    bench.measureManyClients();
    bench.measureFairness();
    bench.measureRawRhythm();
    bench.measureHostileClients();
    if (settings.log)
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
