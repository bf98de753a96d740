#include "options.h"

#include "app/commandline.h"
#include "commandnames.h"

namespace tarn::send {
namespace {

constexpr qint64 kMaxTimeoutMs = 60'000;
constexpr qint64 kMinWatchMs = 100;
constexpr qint64 kMaxWatchMs = 86'400'000;
constexpr qint64 kMaxCount = 1'000'000'000;

// Seconds with up to three decimals ("2", "0.5"), as milliseconds within the watch's range.
std::optional<milliseconds> seconds(const QString &value)
{
    const QStringList parts = value.split(u'.');
    const QString fraction = parts.value(1).leftJustified(3, u'0');
    if (parts.size() > 2 || fraction.size() > 3 || (parts.size() == 2 && parts[1].isEmpty()))
        return std::nullopt;
    const auto whole = wholeNumber(parts[0], 0, kMaxWatchMs / 1000);
    const auto thousandths = wholeNumber(fraction, 0, 999);
    if (!whole || !thousandths)
        return std::nullopt;
    const qint64 ms = *whole * 1000 + *thousandths;
    if (ms < kMinWatchMs || ms > kMaxWatchMs)
        return std::nullopt;
    return milliseconds(ms);
}

// Stores the value of one option; a text is the reason it is not usable.
QString store(Options &options, QStringView option, const QString &value)
{
    if (option == u"port") {
        if (value.isEmpty())
            return QStringLiteral("--port needs a device");
        options.port = value;
    } else if (option == u"speed") {
        return readSpeed(value, options.plan.settings);
    } else if (option == u"address") {
        return readAddress(value, options.plan.prefix);
    } else if (option == u"timeout") {
        const auto ms = wholeNumber(value, 1, kMaxTimeoutMs);
        if (!ms)
            return QStringLiteral("bad timeout '%1': use 1 to %2 ms").arg(value).arg(kMaxTimeoutMs);
        options.plan.timeout = milliseconds(*ms);
    } else if (option == u"watch") {
        options.watch = seconds(value);
        if (!options.watch)
            return QStringLiteral("bad interval '%1': use 0.1 to 86400 seconds").arg(value);
    } else if (option == u"count") {
        const auto count = wholeNumber(value, 1, kMaxCount);
        if (!count)
            return QStringLiteral("bad count '%1': use 1 to %2").arg(value).arg(kMaxCount);
        options.count = int(*count);
    }
    return {};
}

// The options that take a value, in the order they are checked; usage() describes them all.
const QStringList kValueOptions = {"port", "speed", "address", "timeout", "watch", "count"};
const QList<QCommandLineOption> kOptions = {
    {"port", {}, "DEVICE"}, {"speed", {}, "BAUD"},    {"address", {}, "WHO"},
    {"timeout", {}, "MS"},  {"watch", {}, "SECONDS"}, {"count", {}, "N"},
    {"json", {}},           {{"h", "help"}, {}},      {"version", {}},
};

} // namespace

std::variant<Options, QString> parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    if (QString problem = readArguments(parser, kOptions, arguments); !problem.isNull())
        return problem;
    Options options;
    options.help = parser.isSet("help");
    options.version = parser.isSet("version");
    options.plan.json = parser.isSet("json");
    for (const QString &name : kValueOptions) {
        for (const QString &value : parser.values(name)) {
            if (QString problem = store(options, name, value); !problem.isNull())
                return problem;
        }
    }
    for (const QString &word : parser.positionalArguments()) {
        const auto code = resolveCommand(word);
        if (!code)
            return QStringLiteral("unknown command '%1'").arg(word);
        options.plan.jobs.push_back({word, *code});
    }
    if (!options.help && !options.version && options.plan.jobs.empty())
        return QStringLiteral("no command given");
    if (options.count && !options.watch)
        return QStringLiteral("--count needs --watch");
    return options;
}

QString usage(const QString &defaultDevice)
{
    QString text =
        QStringLiteral(
            "Usage: tarn-send [OPTION]... COMMAND...\n"
            "Send commands to projectors on the serial line, one after the other. Each command\n"
            "waits for its reply (a query until the reply ends with a carriage return) or for the\n"
            "reply time-out. What goes out and what comes back is printed as the panel's traffic\n"
            "monitor shows it (TXD, RXD; \" X X X X\" for no reply), and the reply to a query as\n"
            "the panel's STATUS line would show it.\n"
            "\n"
            "Options:\n"
            "  --port DEVICE     serial device, or tcp://HOST:PORT for a serial server\n"
            "                    (default: %1, from $TARN_COM1 when set)\n"
            "  --speed BAUD      19200 (default) or 9600; no parity, 8 data bits, 1 stop bit\n"
            "  --address WHO     single (default, no address), all (every projector on the\n"
            "                    line; nothing answers, so silence is not a failure), or 1 to 4\n"
            "  --timeout MS      reply time-out of each command, 1 to 60000 (default 500)\n"
            "  --json            print one JSON object per command, each on its own line\n"
            "                    (JSON Lines; see the manual page for its members)\n"
            "  --watch SECONDS   send the commands again every SECONDS (0.1 to 86400), until\n"
            "                    stopped by SIGINT or SIGTERM (exit status 0); a port that\n"
            "                    fails is reported and tried again in the next round\n"
            "  --count N         with --watch: stop after N rounds\n"
            "  --help            show this help and exit\n"
            "  --version         show the version and exit\n"
            "\n"
            "Commands are the panel's buttons, named after their group and caption:\n")
            .arg(defaultDevice);
    const auto line = [&text](const NamedCommand &c) {
        const QString where = c.group.isEmpty()
                                  ? QStringLiteral("\"%1\"").arg(c.caption)
                                  : QStringLiteral("\"%1\" in \"%2\"").arg(c.caption, c.group);
        text += QStringLiteral("  %1 %2 %3\n").arg(c.name, -20).arg(c.code, -4).arg(where);
    };
    for (const NamedCommand &c : namedCommands())
        if (!c.held)
            line(c);
    text += QStringLiteral("Buttons that repeat while held on the panel are sent once each:\n");
    for (const NamedCommand &c : namedCommands())
        if (c.held)
            line(c);
    text += QStringLiteral("Other names:");
    for (const Alias &a : aliases())
        text += QStringLiteral(" %1 (= %2)").arg(a.alias, a.name);
    text += QStringLiteral(
        "\n"
        "A command can also be a code as it goes on the line: C and two upper-case\n"
        "hexadecimal digits (C00), or CR and one upper-case letter or digit (CR0, a query).\n"
        "\n"
        "Exit status: 0 every command was answered (or broadcast to all), 1 a reply did not\n"
        "come in time or was incomplete, 2 the port failed (reason on standard error),\n"
        "64 unusable arguments. With --count, the worst status of all rounds.\n");
    return text;
}

} // namespace tarn::send
