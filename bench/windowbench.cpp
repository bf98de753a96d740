// tarn-bench-window: the whole program, window included, for the start-up time and the
// resident memory over a long hold. Prints "key=value" lines for tarn-bench.
//   --startup           report the first paint of the window and end
//   --hold-seconds S    after start-up, hold an arrow at 5 ms for S seconds, then report

#include "kit/procinfo.h"
#include "kit/ptyline.h"
#include "realtime.h"

#include "app/program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>

#include <cstdio>
#include <optional>

namespace {

using namespace std::chrono_literals;
using namespace tarn::bench;
using tarn::test::runFor;

// Notes the first paint of any widget of the window.
class FirstPaint final : public QObject
{
public:
    explicit FirstPaint(QWidget &window) : m_window(window) {}
    std::optional<TimePoint> at;
    qint64 residentKb = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!at && event->type() == QEvent::Paint) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->window() == &m_window) {
                at = Clock::now();
                residentKb = tarn::bench::residentKb();
            }
        }
        return false;
    }

private:
    QWidget &m_window;
};

void print(const char *key, qint64 value)
{
    std::printf("%s=%lld\n", key, static_cast<long long>(value));
}

} // namespace

int main(int argc, char *argv[])
{
    const TimePoint mainEntered = Clock::now();
    QApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption startup(QStringLiteral("startup"));
    const QCommandLineOption hold(QStringLiteral("hold-seconds"), {}, QStringLiteral("s"));
    parser.addOptions({startup, hold});
    parser.process(app);

    PtyLine line(19200);
    if (const QString error = line.open(); !error.isEmpty()) {
        std::fprintf(stderr, "tarn-bench-window: %s\n", qPrintable(error));
        return 1;
    }
    qputenv("TARN_COM1", line.slavePath().toLocal8Bit());
    qputenv("TARN_COM2", "/nonexistent/tarn-bench-com2");

    tarn::PanelProgram program;
    FirstPaint firstPaint(program.window);
    app.installEventFilter(&firstPaint);
    program.start();
    // The paint itself is timed in the filter; this loop only waits for it to happen.
    for (int i = 0; i < 3000 && !firstPaint.at; ++i)
        runFor(10ms);
    app.removeEventFilter(&firstPaint);
    if (!firstPaint.at) {
        std::fprintf(stderr, "tarn-bench-window: the window was never painted\n");
        return 1;
    }
    print("main_ns", mainEntered.time_since_epoch().count());
    print("paint_ns", firstPaint.at->time_since_epoch().count());
    print("rss_kb", firstPaint.residentKb);
    if (parser.isSet(startup))
        return 0;

    const auto seconds = std::chrono::seconds(parser.value(hold).toInt());
    runFor(1s); // settled
    print("rss_start_kb", residentKb());
    tarn::Panel &panel = program.panel;
    panel.press(u"Command48");
    panel.release(u"Command48"); // the arrow pad now repeats every 5 ms
    const quint64 before = line.frameCount();
    panel.press(u"Command5");
    // The far end's frames are dropped as they come, so that only the program grows.
    const TimePoint end = Clock::now() + seconds;
    while (Clock::now() < end) {
        runFor(std::min<std::chrono::milliseconds>(
            1s, std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now())));
        line.takeFrames();
    }
    panel.release(u"Command5");
    runFor(1s);
    print("rss_end_kb", residentKb());
    print("frames", static_cast<qint64>(line.frameCount() - before));
    return 0;
}
