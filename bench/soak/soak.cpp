// tarn-soak: the whole program (window under the offscreen platform) against the projector
// simulator on a pseudo-terminal, for a bounded time:
//   soak    an arrow held at 5 ms, then every one-shot button in turn: memory and latency
//   flood   the simulator sends noise at 19200 baud and nothing is transmitted: memory,
//           the window's answer to a click, the RXD line
//   unplug  the simulator killed and restarted while a repeat runs, COM1 chosen again
//   bridge  tarn-bridge on the simulator, 16 clients polling, the simulator killed and
//           restarted 10 times; two clients asking two projectors while replies come late
//           (30 rounds in each of 8 cases); an attacker beside a client for 60 s
// Prints its findings and a verdict per check; exits 1 when a check fails.

#include "soak/bridgesoak.h"
#include "soak/sharedlinesoak.h"

#include "kit/line.h"
#include "kit/procinfo.h"
#include "kit/reports.h"
#include "kit/stats.h"
#include "kit/table.h"

#include "realtime.h"
#include "simprocess.h"

#include "app/program.h"
#include "commands/catalogue.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTextStream>

#include <cstdio>

namespace {

using namespace std::chrono_literals;
using namespace tarn::bench;
using std::chrono::milliseconds;
using std::chrono::seconds;
using tarn::test::processCpuTime;
using tarn::test::runFor;
using tarn::test::SimProcess;
using tarn::test::waitFor;

struct Settings
{
    seconds hold{600};
    seconds oneShots{600};
    seconds flood{60};
    int unplugs = 50;
    milliseconds unplugged{1000}; // how long each unplug lasts
    int windows = 10;             // reporting windows per soak phase
};

QString ms(double value, int decimals = 2)
{
    return formatted(value, decimals) + QStringLiteral(" ms");
}

// Closes any modal box the program opens, so that a failure cannot stall the run; counts them.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        m_timer.setInterval(100ms);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                ++closed;
                box->close();
            }
        });
        m_timer.start();
    }
    int closed = 0;

private:
    QTimer m_timer;
};

// A precise 100 ms timer that notes how late each of its ticks comes: the delay any event
// of the window's thread meets at that moment.
class LatenessProbe : public QObject
{
public:
    LatenessProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kPeriod);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const TimePoint now = Clock::now();
            m_samples.push_back(std::max(0.0, toMs(now - m_expected)));
            m_expected = now + kPeriod;
        });
        m_expected = Clock::now() + kPeriod;
        m_timer.start();
    }
    std::vector<double> take() { return std::exchange(m_samples, {}); }

private:
    static constexpr milliseconds kPeriod{100};
    QTimer m_timer;
    TimePoint m_expected;
    std::vector<double> m_samples;
};

struct Check
{
    QString name;
    bool passed;
    QString evidence;
};

class Soak
{
public:
    Soak(const Settings &settings, const QString &simProgram)
        : m_settings(settings), m_sim({}, simProgram)
    {
        // Only the frames' count and times are kept, so that the run does not hoard lines.
        m_sim.onLine([this](const QString &line) {
            if (line.startsWith(u"< ")) {
                ++m_frames;
                m_frameTimes.push_back(Clock::now());
            }
        });
    }

    bool begin()
    {
        qputenv("TARN_COM1", QFile::encodeName(m_sim.link()));
        if (!m_sim.start())
            return false;
        m_program = std::make_unique<tarn::PanelProgram>();
        QObject::connect(&m_program->panel, &tarn::Panel::viewChanged,
                         [this](tarn::ViewItem item) { noteView(item); });
        m_program->start();
        runFor(500ms);
        return m_program->port.portOpen();
    }

    void holdPhase();
    void oneShotPhase();
    void floodPhase();
    void unplugPhase();

    const QList<Check> &checks() const { return m_checks; }
    int boxesClosed() const { return m_boxes.closed; }
    int directClicks() const { return m_directClicks; }

private:
    tarn::Panel &panel() { return m_program->panel; }
    void noteView(tarn::ViewItem item);
    bool reconnect(const QStringList &simArguments);
    double clickWindow(QStringView control, tarn::ViewItem answer);
    void check(const QString &name, bool passed, const QString &evidence)
    {
        m_checks << Check{name, passed, evidence};
        out(QStringLiteral("  -> %1: %2 (%3)")
                .arg(passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"), name, evidence));
    }

    Settings m_settings;
    SimProcess m_sim;
    qsizetype m_frames = 0;              // frames the simulator reported
    std::vector<TimePoint> m_frameTimes; // when, since they were last taken
    std::unique_ptr<tarn::PanelProgram> m_program;
    BoxCloser m_boxes;
    LatenessProbe m_probe;
    QList<Check> m_checks;

    // What the window was told to show.
    int m_rxdChanges = 0;
    TimePoint m_lastRxd{};
    QStringList m_statusTexts; // non-empty STATUS texts, in order
    QStringList m_statusTrace; // every STATUS change, blanks included
    std::optional<tarn::ViewItem> m_awaited;
    std::optional<TimePoint> m_answeredAt;
    int m_directClicks = 0; // clicks on controls the window does not have
};

void Soak::noteView(tarn::ViewItem item)
{
    const TimePoint now = Clock::now();
    if (item == tarn::ViewItem::Rxd) {
        ++m_rxdChanges;
        m_lastRxd = now;
    }
    if (item == tarn::ViewItem::Status) {
        if (!panel().view().status.isEmpty())
            m_statusTexts << panel().view().status;
        m_statusTrace << panel().view().status; // empty: the line was blanked
    }
    if (m_awaited && item == *m_awaited && !m_answeredAt)
        m_answeredAt = now;
}

// A new simulator on the same link, and COM1 chosen again.
bool Soak::reconnect(const QStringList &simArguments)
{
    if (!m_sim.start(simArguments))
        return false;
    panel().click(u"Option1");
    return m_program->port.portOpen();
}

// Posts a mouse click to a control of the window and times how long until the panel
// announces `answer`. A control the window does not have is clicked on the logic instead.
double Soak::clickWindow(QStringView control, tarn::ViewItem answer)
{
    m_awaited = answer;
    m_answeredAt.reset();
    const TimePoint posted = Clock::now();
    if (QWidget *widget = m_program->window.control(control); widget && widget->isVisible()) {
        const QPointF local = widget->rect().center();
        const QPointF global = widget->mapToGlobal(local);
        QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, local, global,
                                                            Qt::LeftButton, Qt::LeftButton,
                                                            Qt::NoModifier));
        QCoreApplication::postEvent(widget,
                                    new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    } else {
        ++m_directClicks;
        panel().click(control);
    }
    waitFor([this] { return m_answeredAt.has_value(); }, 2s);
    m_awaited.reset();
    return m_answeredAt ? toMs(*m_answeredAt - posted) : -1.0;
}

std::vector<double> framePeriods(const std::vector<TimePoint> &times)
{
    std::vector<double> ms;
    ms.reserve(times.size());
    for (const TimePoint t : times)
        ms.push_back(toMs(t.time_since_epoch()));
    return gaps(ms);
}

void Soak::holdPhase()
{
    out(QStringLiteral("\n## Soak: arrow held at 5 ms for %1 s").arg(m_settings.hold.count()));
    out(QStringLiteral("| window | frames | period median | period p99 | event lateness p99 | "
                       "lateness max | VmRSS |"));
    out(QStringLiteral("|---|---|---|---|---|---|---|"));
    panel().press(u"Command48");
    panel().release(u"Command48");
    runFor(300ms);
    m_frameTimes.clear();
    m_probe.take();
    const qint64 rssStart = residentKb();
    panel().press(u"Command5");
    const milliseconds window = milliseconds(m_settings.hold) / m_settings.windows;
    std::vector<std::vector<double>> lateness; // each window's samples
    qint64 rssEnd = rssStart;
    quint64 frames = 0;
    for (int w = 1; w <= m_settings.windows; ++w) {
        runFor(window);
        const std::vector<TimePoint> times = std::exchange(m_frameTimes, {});
        const Summary periods = summarize(framePeriods(times));
        lateness.push_back(m_probe.take());
        const Summary late = summarize(lateness.back());
        rssEnd = residentKb();
        const auto seen = times.size();
        frames += seen;
        out(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 kB |")
                .arg(w)
                .arg(seen)
                .arg(ms(periods.median), ms(periods.p99), ms(late.p99), ms(late.max))
                .arg(rssEnd));
    }
    panel().release(u"Command5");
    const double expected = toMs(m_settings.hold) / 5.0;
    check(QStringLiteral("hold: frames keep going out"), frames > expected * 0.9,
          QStringLiteral("%1 frames seen by the simulator, %2 expected").arg(frames).arg(expected));
    check(QStringLiteral("hold: memory flat"), rssEnd - rssStart <= 2048,
          QStringLiteral("VmRSS %1 kB → %2 kB").arg(rssStart).arg(rssEnd));
    // Growth is judged on the first and the last quarter of the hold, each with enough
    // samples that one late event does not make its 99th percentile.
    const auto quarter = (lateness.size() + 3) / 4;
    const auto pooled = [](auto first, auto last) {
        std::vector<double> samples;
        for (; first != last; ++first)
            samples.insert(samples.end(), first->begin(), first->end());
        return summarize(samples);
    };
    const Summary early = pooled(lateness.begin(), lateness.begin() + quarter);
    const Summary late = pooled(lateness.end() - quarter, lateness.end());
    check(QStringLiteral("hold: latency not growing"),
          late.p99 <= std::max(2 * early.p99, early.p99 + 2.0),
          QStringLiteral("event lateness p99 %1 in the first quarter (%2 samples), %3 in the "
                         "last (%4)")
              .arg(ms(early.p99))
              .arg(early.count)
              .arg(ms(late.p99))
              .arg(late.count));
}

void Soak::oneShotPhase()
{
    out(QStringLiteral("\n## Soak: every one-shot button in turn for %1 s")
            .arg(m_settings.oneShots.count()));
    out(QStringLiteral("| window | clicks | click→frame median | p99 | click→RXD median | p99 | "
                       "no reply | VmRSS |"));
    out(QStringLiteral("|---|---|---|---|---|---|---|---|"));
    constexpr milliseconds kPace{250};
    const auto buttons = tarn::oneShotButtons();
    std::size_t next = 0;
    const milliseconds window = milliseconds(m_settings.oneShots) / m_settings.windows;
    const qint64 rssStart = residentKb();
    qint64 rssEnd = rssStart;
    QList<Summary> toFrame;
    for (int w = 1; w <= m_settings.windows; ++w) {
        const TimePoint windowEnd = Clock::now() + window;
        std::vector<double> frameLatency, replyLatency;
        int clicks = 0, silent = 0;
        while (Clock::now() < windowEnd) {
            const tarn::OneShotButton &button = buttons[next++ % buttons.size()];
            m_frameTimes.clear();
            const qsizetype framesBefore = m_frames;
            const int rxdBefore = m_rxdChanges;
            const TimePoint clicked = Clock::now();
            panel().click(button.control);
            ++clicks;
            if (waitFor([&] { return m_frames > framesBefore; }, 1s))
                frameLatency.push_back(toMs(m_frameTimes.front() - clicked));
            if (waitFor([&] { return m_rxdChanges > rxdBefore; }, kPace))
                replyLatency.push_back(toMs(m_lastRxd - clicked));
            else
                ++silent;
            runFor(std::max(
                0ms, std::chrono::duration_cast<milliseconds>(clicked + kPace - Clock::now())));
        }
        const Summary f = summarize(frameLatency);
        const Summary r = summarize(replyLatency);
        toFrame << f;
        rssEnd = residentKb();
        out(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 kB |")
                .arg(w)
                .arg(clicks)
                .arg(ms(f.median), ms(f.p99), ms(r.median), ms(r.p99))
                .arg(silent)
                .arg(rssEnd));
    }
    m_frameTimes.clear();
    check(QStringLiteral("one-shots: memory flat"), rssEnd - rssStart <= 2048,
          QStringLiteral("VmRSS %1 kB → %2 kB").arg(rssStart).arg(rssEnd));
    check(QStringLiteral("one-shots: latency not growing"),
          toFrame.last().p99 <= std::max(2 * toFrame.first().p99, toFrame.first().p99 + 2.0),
          QStringLiteral("click→frame p99 %1 in the first window, %2 in the last")
              .arg(ms(toFrame.first().p99), ms(toFrame.last().p99)));
}

void Soak::floodPhase()
{
    out(QStringLiteral("\n## Flood: noise at 19200 baud, nothing transmitted, for %1 s")
            .arg(m_settings.flood.count()));
    if (!reconnect({QStringLiteral("--flood"), QStringLiteral("19200"), QStringLiteral("--seed"),
                    QStringLiteral("1")})) {
        check(QStringLiteral("flood: simulator up"), false, QStringLiteral("could not reconnect"));
        return;
    }
    // The maintenance view shows the RXD line and the PJ Select options clicked below.
    panel().keyDown(tarn::Panel::kKeyJ, tarn::Panel::kCtrlMask);
    runFor(200ms);
    m_probe.take();
    const qint64 rssStart = residentKb();
    qint64 rssMax = rssStart;
    const int rxdStart = m_rxdChanges;
    std::vector<double> answers;
    bool toggle = false;
    const TimePoint end = Clock::now() + m_settings.flood;
    while (Clock::now() < end) {
        runFor(2s);
        rssMax = std::max(rssMax, residentKb());
        // Choosing a PJ Select option transmits nothing: the receive buffer stays full.
        toggle = !toggle;
        answers.push_back(clickWindow(toggle ? u"Option4" : u"Option3", tarn::ViewItem::Options));
    }
    const double seconds = toMs(m_settings.flood) / 1000.0;
    const double rxdRate = (m_rxdChanges - rxdStart) / seconds;
    const double rxdAge = toMs(Clock::now() - m_lastRxd);
    const qsizetype rxdLength = panel().view().rxd.size();
    const Summary late = summarize(m_probe.take());
    const Summary click = summarize(answers);
    const bool unanswered = std::ranges::any_of(answers, [](double a) { return a < 0; });
    const qint64 rssEnd = residentKb();
    out(QStringLiteral("VmRSS %1 kB at the start, %2 kB at most, %3 kB at the end")
            .arg(rssStart)
            .arg(rssMax)
            .arg(rssEnd));
    out(QStringLiteral("RXD line: %1 updates per second, last %2 ago, %3 characters long")
            .arg(formatted(rxdRate, 1), ms(rxdAge, 1))
            .arg(rxdLength));
    out(QStringLiteral("Event lateness: median %1, p99 %2, max %3")
            .arg(ms(late.median), ms(late.p99), ms(late.max)));
    out(QStringLiteral("Click on a PJ Select option until its handler ran: %1 clicks, median %2, "
                       "max %3")
            .arg(click.count)
            .arg(ms(click.median), ms(click.max)));

    // Then transmissions: the query goes out in spite of the noise.
    std::vector<double> sends;
    for (int i = 0; i < 5; ++i) {
        runFor(1200ms); // the display clearing has blanked TXD again
        sends.push_back(clickWindow(u"Command44", tarn::ViewItem::Txd));
    }
    const Summary send = summarize(sends);
    out(QStringLiteral("Click on STATUS until its frame was written: median %1, max %2")
            .arg(ms(send.median), ms(send.max)));

    check(QStringLiteral("flood: memory bounded"), rssMax - rssStart <= 8192,
          QStringLiteral("VmRSS %1 kB → at most %2 kB").arg(rssStart).arg(rssMax));
    check(QStringLiteral("flood: a click is answered within 50 ms"),
          !unanswered && click.max <= 50.0 && send.max <= 50.0 && send.min >= 0,
          QStringLiteral("option click max %1, STATUS click max %2")
              .arg(ms(click.max), ms(send.max)));
    check(QStringLiteral("flood: the RXD line follows"), rxdRate >= 10 && rxdAge < 1000,
          QStringLiteral("%1 updates/s, the last %2 before the end")
              .arg(formatted(rxdRate, 1), ms(rxdAge, 0)));
}

void Soak::unplugPhase()
{
    out(QStringLiteral("\n## Unplug: the simulator killed and restarted %1 times while an arrow "
                       "repeats")
            .arg(m_settings.unplugs));
    if (!reconnect({})) {
        check(QStringLiteral("unplug: simulator up"), false, QStringLiteral("could not reconnect"));
        return;
    }
    panel().press(u"Command48");
    panel().release(u"Command48");
    panel().press(u"Command5");
    int restored = 0, flowingBefore = 0;
    std::vector<double> restoreMs, cpuUnplugged, cpuPlugged, reports;
    QStringList texts;
    int repeated = 0; // unplugs in which a failure was reported more than once

    QStringList firstSequence;
    for (int i = 0; i < m_settings.unplugs; ++i) {
        m_frameTimes.clear(); // only the counts matter here
        // Traffic is flowing: measure the CPU it takes, for comparison.
        const qsizetype before = m_frames;
        auto cpu = processCpuTime();
        TimePoint at = Clock::now();
        runFor(m_settings.unplugged);
        cpuPlugged.push_back(100.0 * toMs(processCpuTime() - cpu) / toMs(Clock::now() - at));
        if (m_frames > before)
            ++flowingBefore;

        m_statusTexts.clear();
        m_statusTrace.clear();
        cpu = processCpuTime();
        at = Clock::now();
        m_sim.kill();
        runFor(m_settings.unplugged);
        cpuUnplugged.push_back(100.0 * toMs(processCpuTime() - cpu) / toMs(Clock::now() - at));
        const FailureReports judged = judgeFailureReports(m_statusTrace);
        reports.push_back(judged.reports);
        for (const QString &text : std::as_const(m_statusTexts)) {
            if (!texts.contains(text))
                texts << text;
        }
        if (!judged.once)
            ++repeated;
        if (i == 0)
            firstSequence = m_statusTrace;

        const TimePoint restart = Clock::now();
        const qsizetype framesBefore = m_frames;
        if (!reconnect({}))
            continue;
        if (waitFor([&] { return m_frames > framesBefore; }, 3s)) {
            ++restored;
            restoreMs.push_back(toMs(Clock::now() - restart));
        }
    }
    panel().release(u"Command5");
    const Summary restore = summarize(restoreMs);
    const Summary idle = summarize(cpuUnplugged);
    const Summary busy = summarize(cpuPlugged);
    const Summary count = summarize(reports);
    out(QStringLiteral("Restored %1 of %2 times; restart to first frame median %3, max %4")
            .arg(restored)
            .arg(m_settings.unplugs)
            .arg(ms(restore.median, 1), ms(restore.max, 1)));
    out(QStringLiteral("CPU while unplugged: median %1 %, max %2 %; while the repeat flows: "
                       "median %3 %")
            .arg(formatted(idle.median, 1), formatted(idle.max, 1), formatted(busy.median, 1)));
    out(QStringLiteral("STATUS failure reports per unplug: min %1, max %2; all texts: %3")
            .arg(count.min)
            .arg(count.max)
            .arg(texts.join(QStringLiteral(" | "))));
    for (QString &text : firstSequence) {
        if (text.isEmpty())
            text = QStringLiteral("(blank)");
    }
    out(QStringLiteral("STATUS in order during the first unplug: %1")
            .arg(firstSequence.join(QStringLiteral(" → "))));
    check(QStringLiteral("unplug: traffic restored every time"),
          restored == m_settings.unplugs && flowingBefore == m_settings.unplugs,
          QStringLiteral("%1 of %2 restored").arg(restored).arg(m_settings.unplugs));
    check(QStringLiteral("unplug: no CPU spin while unplugged"), idle.max < 50.0,
          QStringLiteral("CPU at most %1 % while unplugged").arg(formatted(idle.max, 1)));
    check(QStringLiteral("unplug: each failure reported once, not per failing tick"),
          count.min >= 1 && repeated == 0,
          QStringLiteral("%1 to %2 STATUS failure texts per unplug; a text repeated beyond one "
                         "re-show after the display clearing in %3 unplugs")
              .arg(count.min)
              .arg(count.max)
              .arg(repeated));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soaks the panel against the projector simulator."));
    parser.addHelpOption();
    const QCommandLineOption quick(QStringLiteral("quick"),
                                   QStringLiteral("20 s per phase and 10 unplugs."));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Length of each soak phase (default 600)."),
                                     QStringLiteral("s"));
    const QCommandLineOption flood(QStringLiteral("flood-seconds"),
                                   QStringLiteral("Length of the flood (default 60)."),
                                   QStringLiteral("s"));
    const QCommandLineOption unplugs(QStringLiteral("unplugs"),
                                     QStringLiteral("Unplug count (default 50)."),
                                     QStringLiteral("n"));
    const QCommandLineOption sim(QStringLiteral("sim"),
                                 QStringLiteral("The simulator (default: tarn-sim beside this)."),
                                 QStringLiteral("path"));
    const QCommandLineOption bridgeOnly(QStringLiteral("bridge-only"),
                                        QStringLiteral("Only the tarn-bridge phase."));
    parser.addOptions({quick, seconds, flood, unplugs, sim, bridgeOnly});
    parser.process(app);

    Settings settings;
    if (parser.isSet(quick)) {
        settings.hold = settings.oneShots = settings.flood = 20s;
        settings.unplugs = 10;
    }
    if (parser.isSet(seconds))
        settings.hold = settings.oneShots = std::chrono::seconds(parser.value(seconds).toInt());
    if (parser.isSet(flood))
        settings.flood = std::chrono::seconds(parser.value(flood).toInt());
    if (parser.isSet(unplugs))
        settings.unplugs = parser.value(unplugs).toInt();
    const QString simProgram =
        parser.isSet(sim) ? parser.value(sim)
                          : QCoreApplication::applicationDirPath() + QStringLiteral("/tarn-sim");

    qputenv("TARN_COM2", "/nonexistent/tarn-soak-com2");

    const Machine machine = describeMachine();
    out(QStringLiteral("# Soak run: %1, %2 cores, %3, Qt %4; load %5")
            .arg(machine.cpu)
            .arg(machine.cores)
            .arg(machine.kernel, machine.qt, loadAverage()));

    Soak soak(settings, simProgram);
    if (!parser.isSet(bridgeOnly)) {
        if (!soak.begin()) {
            out(QStringLiteral("The panel could not open the simulator's line; nothing was "
                               "soaked."));
            return 1;
        }
        soak.holdPhase();
        soak.oneShotPhase();
        soak.floodPhase();
        soak.unplugPhase();
    }
    const QString bin = QCoreApplication::applicationDirPath();
    QList<tarn::bench::BridgeSoakCheck> bridgeChecks = tarn::bench::soakBridge({bin});
    bridgeChecks += tarn::bench::soakAttribution(bin, parser.isSet(quick) ? 5 : 30);
    bridgeChecks += tarn::bench::soakLockOut(bin, parser.isSet(quick) ? 20s : 60s);

    QList<QStringList> rows;
    bool allPassed = true;
    for (const Check &c : soak.checks()) {
        rows << QStringList{c.name, c.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
                            c.evidence};
        allPassed = allPassed && c.passed;
    }
    for (const auto &c : bridgeChecks) {
        rows << QStringList{c.name, c.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
                            c.evidence};
        allPassed = allPassed && c.passed;
    }
    out(QStringLiteral("\n## Verdicts (load %1; %2 warning boxes closed; %3 clicks went to the "
                       "logic because the window lacks the control)")
            .arg(loadAverage())
            .arg(soak.boxesClosed())
            .arg(soak.directClicks()));
    std::fputs(
        qPrintable(markdownTable(
            {QStringLiteral("check"), QStringLiteral("result"), QStringLiteral("evidence")}, rows)),
        stdout);
    return allPassed ? 0 : 1;
}
