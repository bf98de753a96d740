// tarn-bench: the panel's logic with precise timers and the real serial control, against
// a pseudo-terminal whose far end takes characters at line speed. Prints one table: repeat
// periods, press latency, release-to-quiet, start-up, memory, rendering and decoding
// costs, and the machine it ran on.

#include "kit/countingport.h"
#include "kit/procinfo.h"
#include "kit/ptyline.h"
#include "kit/stats.h"
#include "kit/table.h"
#include "realtime.h"

#include "app/panel.h"
#include "app/qttimer.h"
#include "replies/decoding.h"
#include "serialcontrol.h"
#include "traffic/rendering.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;
using namespace tarn::bench;
using std::chrono::milliseconds;
using std::chrono::seconds;
using tarn::test::runFor;
using tarn::test::waitFor;

struct Settings
{
    seconds hold{3};          // each timing group is held at least this long
    int samples = 20;         // and long enough for this many periods
    int latencySamples = 200; // presses for the press-to-first-byte latency
    seconds quietHold{2};     // hold before each release-to-quiet measurement
    int quietRuns = 3;        // releases per speed and prefix
    seconds overloadHold{40}; // hold of the case that offers more than the line carries
    seconds longHold{20};     // the hold between the two memory readings
    int startups = 5;         // start-ups of the whole program
    bool window = true;       // measure the program with its window (start-up, memory)
};

constexpr int kFastBaud = 19200;
constexpr int kSlowBaud = 9600;
constexpr milliseconds kQuiet{150};       // a line this long without a character is quiet
constexpr milliseconds kDrainLimit{120s}; // the longest a queue may take to drain
constexpr qsizetype kBufferBytes = 32767;

QString ms(double value, int decimals = 2)
{
    return formatted(value, decimals) + QStringLiteral(" ms");
}

// The panel as the program runs it, without its window, on the pseudo-terminal as COM1.
class Rig
{
public:
    class CountingWarnings final : public tarn::WarningBox
    {
    public:
        void showWarning(const QString &text) override { shown << text; }
        QStringList shown;
    };

    QString open()
    {
        if (QString error = line.open(); !error.isEmpty())
            return error;
        qputenv("TARN_COM1", line.slavePath().toLocal8Bit());
        // A fall-back to the second port must never reach a real device.
        qputenv("TARN_COM2", "/nonexistent/tarn-bench-com2");
        panel = std::make_unique<tarn::Panel>(port, timers, warnings);
        panel->start(QSize(1920 * 15, 1080 * 15));
        if (!port.portOpen())
            return QStringLiteral("the serial control did not open %1:%2")
                .arg(line.slavePath(), panel->view().status);
        return {};
    }

    // Waits until nothing has reached the far end for `quiet`.
    bool waitQuiet(milliseconds quiet = kQuiet)
    {
        const TimePoint deadline = Clock::now() + kDrainLimit;
        while (Clock::now() < deadline) {
            runFor(std::max(quiet / 3, 1ms));
            if (!line.midFrame() && Clock::now() - line.lastArrival() >= quiet)
                return true;
        }
        return false;
    }

    void setLine(int baud, QStringView pjOption)
    {
        panel->click(baud == kFastBaud ? u"Option9" : u"Option10");
        line.setBaud(baud);
        panel->click(pjOption);
    }

    // Leaves the arrow pad repeating every 5 ms, the way the operator does it.
    void fastArrows()
    {
        panel->press(u"Command48");
        panel->release(u"Command48");
    }

    PtyLine line{kFastBaud};
    tarn::SerialControl serial;
    CountingPort port{serial};
    tarn::QtTimerFactory timers;
    CountingWarnings warnings;
    std::unique_ptr<tarn::Panel> panel;
};

struct Report
{
    QList<QStringList> rows;
    void add(QStringList row) { rows << std::move(row); }
};

// One timing group: a button held, the way to reach its timing, its design period.
struct Group
{
    QString name;
    QStringView button;
    QByteArray frame;
    milliseconds design;
    std::function<void(Rig &)> prepare;
};

void measureGroup(Rig &rig, const Group &group, const Settings &settings, Report &report)
{
    if (group.prepare)
        group.prepare(rig);
    rig.waitQuiet();
    rig.line.takeFrames();
    rig.port.resetCounts();
    rig.port.recordTimes = true;

    const milliseconds span =
        std::max<milliseconds>(settings.hold, group.design * settings.samples + group.design / 2);
    rig.panel->press(group.button);
    runFor(span);
    rig.panel->release(group.button);
    rig.port.recordTimes = false;
    rig.waitQuiet();

    std::vector<double> asked;
    asked.reserve(rig.port.outputTimes.size());
    for (const TimePoint t : rig.port.outputTimes)
        asked.push_back(toMs(t.time_since_epoch()));
    const Summary atPanel = summarize(gaps(asked));
    const std::vector<Frame> frames = rig.line.takeFrames();
    std::vector<double> arrivals;
    int foreign = 0;
    for (const Frame &frame : frames) {
        if (frame.bytes != group.frame)
            ++foreign;
        arrivals.push_back(toMs(frame.arrival.time_since_epoch()));
    }
    const Summary s = summarize(gaps(arrivals));
    const double design = static_cast<double>(group.design.count());
    const QString verdict = meetsPeriodTargets(s, group.design) && foreign == 0
                                ? QStringLiteral("ok")
                                : QStringLiteral("MISSED");
    QString notes = QStringLiteral("held %1 s; at the panel: median %2, p99 %3")
                        .arg(formatted(toMs(span) / 1000, 1), ms(atPanel.median), ms(atPanel.p99));
    if (foreign)
        notes += QStringLiteral(", %1 unexpected frames").arg(foreign);
    report.add({QStringLiteral("Repeat period, %1").arg(group.name), QString::number(s.count),
                ms(s.median), ms(s.p95), ms(s.p99), ms(s.max), ms(design, 0),
                formatted(s.median / design, 4), verdict, notes});
}

void measureRepeatPeriods(Rig &rig, const Settings &settings, Report &report)
{
    const auto click = [](QStringView control) {
        return [control](Rig &rig) {
            rig.panel->click(control);
        };
    };
    // The arrow pad first: right after start-up it still has the start-up timing.
    const QList<Group> groups = {
        {QStringLiteral("arrow pad, ArrowMode 0"), u"Command5", "C3C\r", 200ms, {}},
        {QStringLiteral("arrow pad, ArrowMode 1 (MENU ON)"), u"Command5", "C3C\r", 200ms,
         click(u"Command23")},
        {QStringLiteral("arrow pad, ArrowMode 2 (CURSOL)"), u"Command7", "C3D\r", 30ms,
         click(u"Command43")},
        {QStringLiteral("arrow pad, ArrowMode 3 (D.Zoom released)"), u"Command9", "C3B\r", 5ms,
         [](Rig &rig) {
             rig.fastArrows();
         }},
        {QStringLiteral("VOL +"), u"Command1", "C09\r", 250ms, {}},
        {QStringLiteral("Keystone +"), u"Command50", "C8E\r", 250ms, {}},
        {QStringLiteral("D.Zoom +"), u"Command48", "C30\r", 250ms, {}},
        {QStringLiteral("Zoom +"), u"Command15", "C47\r", 50ms, {}},
        {QStringLiteral("Focus +"), u"Command36", "C4B\r", 50ms, {}},
        {QStringLiteral("lens shift up"), u"Command59", "C5D\r", 50ms, {}},
        {QStringLiteral("SELECT"), u"Command6", "C3F\r", 500ms, {}},
    };
    for (const Group &group : groups)
        measureGroup(rig, group, settings, report);
}

void measurePressLatency(Rig &rig, const Settings &settings, Report &report)
{
    std::vector<double> latencies;
    QRandomGenerator random(7);
    for (int i = 0; i < settings.latencySamples; ++i) {
        rig.waitQuiet(5ms);
        runFor(milliseconds(random.bounded(1, 10))); // presses at no fixed phase
        rig.line.takeFrames();
        const quint64 before = rig.line.frameCount();
        const TimePoint pressed = Clock::now();
        rig.panel->press(u"Command1");
        waitFor([&] { return rig.line.frameCount() > before; }, 1s);
        rig.panel->release(u"Command1");
        const std::vector<Frame> frames = rig.line.takeFrames();
        if (!frames.empty())
            latencies.push_back(toMs(frames.front().firstRead - pressed));
    }
    const Summary s = summarize(latencies);
    report.add({QStringLiteral("Press to first byte at the far end (VOL +)"),
                QString::number(s.count),
                ms(s.median, 3),
                ms(s.p95, 3),
                ms(s.p99, 3),
                ms(s.max, 3),
                QStringLiteral("median < 1 ms"),
                {},
                s.median < 1.0 ? QStringLiteral("ok") : QStringLiteral("MISSED"),
                QStringLiteral("first byte read off the line; %1 presses without a frame")
                    .arg(settings.latencySamples - static_cast<int>(s.count))});
}

// Holds an arrow in ArrowMode 3 (5 ms) and times how long after the release the last byte
// of the hold reaches the far end.
void measureReleaseToQuiet(Rig &rig, const Settings &settings, Report &report)
{
    struct Case
    {
        int baud;
        QStringView pjOption;
        QString prefixName;
        int frameLength;
    };
    const QList<Case> cases = {
        {kFastBaud, u"Option3", QStringLiteral("no prefix"), 4},
        {kFastBaud, u"Option5", QStringLiteral("prefix A001"), 8},
        {kSlowBaud, u"Option3", QStringLiteral("no prefix"), 4},
        {kSlowBaud, u"Option5", QStringLiteral("prefix A001"), 8},
    };
    for (const Case &c : cases) {
        rig.setLine(c.baud, c.pjOption);
        const double frameMs = toMs(characterTime(c.baud) * c.frameLength);
        const double offeredPerSecond = c.frameLength * 1000.0 / 5.0;
        const double carriedPerSecond = c.baud / 10.0;
        const bool overload = offeredPerSecond > carriedPerSecond;
        const int runs = overload ? 1 : settings.quietRuns;
        const seconds hold = overload ? settings.overloadHold : settings.quietHold;

        std::vector<double> quiet;
        int ticks = 0, failed = 0;
        quint64 queued = 0;
        QString failure;
        std::optional<double> firstFailure;
        for (int run = 0; run < runs; ++run) {
            rig.fastArrows();
            rig.waitQuiet();
            rig.line.takeFrames();
            rig.port.resetCounts();
            const TimePoint pressed = Clock::now();
            rig.panel->press(u"Command5");
            runFor(hold);
            const TimePoint released = Clock::now();
            rig.panel->release(u"Command5");
            const quint64 atRelease = rig.line.byteCount();
            ticks += rig.port.outputs;
            failed += rig.port.failures;
            if (!rig.port.lastFailure.isEmpty())
                failure = rig.port.lastFailure;
            if (rig.port.firstFailure)
                firstFailure = toMs(*rig.port.firstFailure - pressed) / 1000.0;
            rig.waitQuiet();
            queued = std::max(queued, rig.line.byteCount() - atRelease);
            const std::vector<Frame> frames = rig.line.takeFrames();
            if (!frames.empty())
                quiet.push_back(std::max(0.0, toMs(frames.back().arrival - released)));
        }
        const Summary s = summarize(quiet);
        QString notes = QStringLiteral("%1 transmissions, %2 failed; up to %3 bytes still "
                                       "queued at the release; offers %4 of %5 bytes/s")
                            .arg(ticks)
                            .arg(failed)
                            .arg(queued)
                            .arg(offeredPerSecond)
                            .arg(carriedPerSecond);
        if (firstFailure)
            notes += QStringLiteral("; first failure %1 s after the press")
                         .arg(formatted(*firstFailure, 1));
        if (!failure.isEmpty())
            notes += QStringLiteral("; failure: \"%1\"").arg(failure);
        report.add({QStringLiteral("Release to quiet, %1 baud, %2, arrow at 5 ms (%3 s hold)")
                        .arg(c.baud)
                        .arg(c.prefixName)
                        .arg(hold.count()),
                    QString::number(s.count),
                    ms(s.median),
                    {},
                    {},
                    ms(s.max),
                    QStringLiteral("frame time %1").arg(ms(frameMs)),
                    {},
                    {},
                    notes});
    }
    rig.setLine(kFastBaud, u"Option3");
}

// A buffer of the longest length the monitor handles, with every kind of character.
QByteArray longBuffer()
{
    QByteArray buffer(kBufferBytes, Qt::Uninitialized);
    QRandomGenerator random(2024);
    for (char &c : buffer)
        c = static_cast<char>(random.bounded(256));
    return buffer;
}

template<typename Work> Summary timeCalls(int calls, Work &&work)
{
    std::vector<double> micros;
    for (int i = 0; i < calls; ++i) {
        const TimePoint start = Clock::now();
        work();
        micros.push_back(toMs(Clock::now() - start) * 1000.0);
    }
    return summarize(micros);
}

void measureCodec(Report &report)
{
    constexpr int kCalls = 300;
    const QByteArray buffer = longBuffer();
    qsizetype sink = 0;
    // One row of per-call times in microseconds.
    const auto timesRow = [&report](const QString &name, const Summary &times,
                                    const QString &notes) {
        const auto us = [](double value) {
            return formatted(value, 1) + QStringLiteral(" µs");
        };
        report.add({name,
                    QString::number(times.count),
                    us(times.median),
                    us(times.p95),
                    us(times.p99),
                    us(times.max),
                    {},
                    {},
                    {},
                    notes});
    };

    const Summary render = timeCalls(kCalls, [&] { sink += tarn::renderMonitor(buffer).size(); });
    timesRow(QStringLiteral("renderMonitor, 32,767 random bytes per call"), render, {});

    // A reply of full length to each query: the slowest of them is the figure.
    const QString source = tarn::renderMonitor(buffer);
    const QString printable = tarn::renderMonitor(QByteArray(kBufferBytes, '0'));
    Summary worst;
    QString worstCase;
    for (const char *code : {"CR0", "CR1", "CR3", "CR4", "CR6", "CR7", "CR9", "CRA"}) {
        const QByteArray frame = QByteArray(code) + '\r';
        for (const QString *text : {&source, &printable}) {
            const Summary s = timeCalls(kCalls / 3, [&] {
                sink += tarn::decodeReply(*text, frame, {}).value_or(QString()).size();
            });
            if (s.median > worst.median) {
                worst = s;
                worstCase = QStringLiteral("%1, %2").arg(
                    QLatin1StringView(code),
                    text == &source ? QStringLiteral("random bytes") : QStringLiteral("all \"0\""));
            }
        }
    }
    timesRow(QStringLiteral("decodeReply, rendering of 32,767 bytes per call (slowest query)"),
             worst, QStringLiteral("slowest: %1").arg(worstCase));
    if (sink < 0)
        std::puts(""); // keeps the work from being optimised away
}

// Runs the program with its window and returns its "key=value" lines.
QMap<QString, QString> runWindowProgram(const QStringList &arguments, const QString &platform,
                                        TimePoint *started, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    *started = Clock::now();
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarn-bench-window"),
                  arguments);
    QMap<QString, QString> values;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return values;
    }
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromLatin1(line.first(equals)),
                          QString::fromLatin1(line.sliced(equals + 1)));
    }
    return values;
}

void measureStartup(const Settings &settings, Report &report)
{
    QStringList platforms = {QStringLiteral("offscreen")};
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms << QStringLiteral("xcb");
    for (const QString &platform : platforms) {
        std::vector<double> fromExec, fromMain;
        qint64 rss = -1;
        for (int i = 0; i < settings.startups; ++i) {
            TimePoint started;
            const auto values =
                runWindowProgram({QStringLiteral("--startup")}, platform, &started, 60000);
            if (!values.contains(QStringLiteral("paint_ns")))
                continue;
            const TimePoint paint{Nanos{values[QStringLiteral("paint_ns")].toLongLong()}};
            const TimePoint main{Nanos{values[QStringLiteral("main_ns")].toLongLong()}};
            fromExec.push_back(toMs(paint - started));
            fromMain.push_back(toMs(paint - main));
            rss = values.value(QStringLiteral("rss_kb"), QStringLiteral("-1")).toLongLong();
        }
        const Summary exec = summarize(fromExec);
        const Summary main = summarize(fromMain);
        report.add(
            {QStringLiteral("Start-up to first paint of the window (%1), from exec").arg(platform),
             QString::number(exec.count),
             ms(exec.median, 1),
             {},
             {},
             ms(exec.max, 1),
             {},
             {},
             {},
             QStringLiteral("from main(): median %1, max %2")
                 .arg(ms(main.median, 1), ms(main.max, 1))});
        report.add({QStringLiteral("Resident memory after start-up (%1)").arg(platform),
                    QStringLiteral("1"),
                    QStringLiteral("%1 kB").arg(rss),
                    {},
                    {},
                    {},
                    {},
                    {},
                    {},
                    QStringLiteral("VmRSS at the first paint")});
    }
}

void measureLongHold(const Settings &settings, Report &report)
{
    TimePoint started;
    const int timeoutMs = static_cast<int>((settings.longHold + 60s).count() * 1000);
    const auto values = runWindowProgram(
        {QStringLiteral("--hold-seconds"), QString::number(settings.longHold.count())},
        QStringLiteral("offscreen"), &started, timeoutMs);
    const QString before = values.value(QStringLiteral("rss_start_kb"), QStringLiteral("-1"));
    const QString after = values.value(QStringLiteral("rss_end_kb"), QStringLiteral("-1"));
    report.add({QStringLiteral("Resident memory before and after a %1 s hold at 5 ms (offscreen)")
                    .arg(settings.longHold.count()),
                QStringLiteral("2"),
                QStringLiteral("%1 kB → %2 kB").arg(before, after),
                {},
                {},
                {},
                QStringLiteral("flat"),
                {},
                {},
                QStringLiteral("%1 frames reached the far end during the hold")
                    .arg(values.value(QStringLiteral("frames"), QStringLiteral("?")))});
}

Settings parseSettings(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Measures the panel's timing on a pseudo-terminal paced like a serial cable."));
    parser.addHelpOption();
    const QCommandLineOption full(QStringLiteral("full"),
                                  QStringLiteral("Long holds and many samples (about 20 min)."));
    const QCommandLineOption hold(QStringLiteral("hold-seconds"),
                                  QStringLiteral("Hold each timing group at least this long."),
                                  QStringLiteral("s"));
    const QCommandLineOption longHold(
        QStringLiteral("long-hold-seconds"),
        QStringLiteral("Hold between the two memory readings (default 20, 600 with --full)."),
        QStringLiteral("s"));
    const QCommandLineOption noWindow(QStringLiteral("no-window"),
                                      QStringLiteral("Skip the start-up and memory runs."));
    parser.addOptions({full, hold, longHold, noWindow});
    parser.process(app);

    Settings settings;
    if (parser.isSet(full)) {
        settings.hold = 10s;
        settings.samples = 100;
        settings.latencySamples = 1000;
        settings.quietHold = 5s;
        settings.quietRuns = 10;
        settings.overloadHold = 60s;
        settings.longHold = 600s;
        settings.startups = 10;
    }
    if (parser.isSet(hold))
        settings.hold = seconds(parser.value(hold).toInt());
    if (parser.isSet(longHold))
        settings.longHold = seconds(parser.value(longHold).toInt());
    settings.window = !parser.isSet(noWindow);
    return settings;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Settings settings = parseSettings(app);
    const QString loadBefore = loadAverage();

    Report report;
    bool realtimePeer = false;
    {
        Rig rig;
        if (const QString error = rig.open(); !error.isEmpty()) {
            std::fprintf(stderr, "tarn-bench: %s\n", qPrintable(error));
            return 1;
        }
        realtimePeer = rig.line.realtime();
        measureRepeatPeriods(rig, settings, report);
        measurePressLatency(rig, settings, report);
        measureReleaseToQuiet(rig, settings, report);
    }
    measureCodec(report);
    if (settings.window) {
        measureStartup(settings, report);
        measureLongHold(settings, report);
    }

    const Machine machine = describeMachine();
    const QStringList header = {QStringLiteral("Measurement"),
                                QStringLiteral("n"),
                                QStringLiteral("median"),
                                QStringLiteral("p95"),
                                QStringLiteral("p99"),
                                QStringLiteral("max"),
                                QStringLiteral("design / target"),
                                QStringLiteral("median / design"),
                                QStringLiteral("verdict"),
                                QStringLiteral("notes")};
    const auto info = [&](const QString &what, const QString &value) {
        report.add({what, {}, value});
    };
    info(QStringLiteral("Machine: CPU"), machine.cpu);
    info(QStringLiteral("Machine: cores"), QString::number(machine.cores));
    info(QStringLiteral("Machine: kernel"), machine.kernel);
    info(QStringLiteral("Machine: Qt"), machine.qt);
    info(QStringLiteral("Load average before / after"),
         QStringLiteral("%1 / %2").arg(loadBefore, loadAverage()));
    info(QStringLiteral("Settings"),
         QStringLiteral("groups held ≥ %1 s and ≥ %2 periods; %3 presses; long hold %4 s; "
                        "far end %5")
             .arg(settings.hold.count())
             .arg(settings.samples)
             .arg(settings.latencySamples)
             .arg(settings.longHold.count())
             .arg(realtimePeer ? QStringLiteral("at real-time priority")
                               : QStringLiteral("at normal priority")));
    std::fputs(qPrintable(markdownTable(header, report.rows)), stdout);
    return 0;
}
