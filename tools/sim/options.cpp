#include "options.h"

#include "app/commandline.h"

#include <functional>
#include <vector>

namespace tarn::sim {

namespace {

constexpr qint64 kMaxMs = 24LL * 3600 * 1000;
constexpr qint64 kMaxBaud = 1'000'000;

struct Option
{
    const char *name;
    const char *value; // nullptr for a switch
    const char *help;
    // Stores a value read and checked in [low, high]; a switch is stored with value 1.
    qint64 low;
    qint64 high;
    std::function<void(Options &, qint64)> store;
};

std::chrono::milliseconds ms(qint64 value)
{
    return std::chrono::milliseconds{value};
}

const std::vector<Option> &table()
{
    static const std::vector<Option> kOptions = {
        {"projectors", "N", "number of addressed projectors on the line, 1 to 4 (default 4)", 1, 4,
         [](Options &o, qint64 v) {
             o.projectors = int(v);
         }},
        {"warmup", "MS", "count-down from standby to on, in ms (default 3000)", 0, kMaxMs,
         [](Options &o, qint64 v) {
             o.timing.warmup = ms(v);
         }},
        {"cooldown", "MS", "cooling down from on to standby, in ms (default 3000)", 0, kMaxMs,
         [](Options &o, qint64 v) {
             o.timing.cooldown = ms(v);
         }},
        {"hour-ms", "MS", "burning time that adds one lamp hour, in ms (default 10000)", 1, kMaxMs,
         [](Options &o, qint64 v) {
             o.timing.hour = ms(v);
         }},
        {"temperature-error", nullptr, "report a temperature abnormality in every status reply", 0,
         0,
         [](Options &o, qint64) {
             o.conditions.temperatureError = true;
         }},
        {"power-save", nullptr, "rest in power save (status 04, cooling 24) instead of standby", 0,
         0,
         [](Options &o, qint64) {
             o.conditions.powerSave = true;
         }},
        {"tcp", "PORT", "serve on 127.0.0.1:PORT instead of a pseudo-terminal (0: any free port)",
         0, 65535,
         [](Options &o, qint64 v) {
             o.tcpPort = quint16(v);
         }},
        {"link", "PATH", "also make a symbolic link to the pseudo-terminal at PATH", 0, 0, {}},
        {"silent", nullptr, "never answer anything", 0, 0,
         [](Options &o, qint64) {
             o.faults.silent = true;
         }},
        {"delay", "MS", "send every reply this many ms late", 0, kMaxMs,
         [](Options &o, qint64 v) {
             o.faults.delay = ms(v);
         }},
        {"late", "PERCENT", "send this share of replies 510 to 990 ms late (see --seed)", 0, 100,
         [](Options &o, qint64 v) {
             o.faults.latePercent = int(v);
         }},
        {"split", nullptr, "send every reply one byte at a time, 2 ms apart", 0, 0,
         [](Options &o, qint64) {
             o.faults.split = true;
         }},
        {"noise", nullptr, "sprinkle stray non-printable bytes into the replies", 0, 0,
         [](Options &o, qint64) {
             o.faults.noise = true;
         }},
        {"flood", "BAUD", "send random bytes all the time at this line speed", 1, kMaxBaud,
         [](Options &o, qint64 v) {
             o.floodBaud = int(v);
         }},
        {"seed", "N", "seed of the random noise, for a repeatable run", 0, 0xFFFFFFFFLL,
         [](Options &o, qint64 v) {
             o.seed = quint32(v);
         }},
        {"help", nullptr, "show this help and exit", 0, 0,
         [](Options &o, qint64) {
             o.help = true;
         }},
    };
    return kOptions;
}

// The table as the parser's options; -h stands for --help, as in every program.
QList<QCommandLineOption> parserOptions()
{
    QList<QCommandLineOption> options;
    for (const Option &option : table()) {
        QStringList names{QLatin1String(option.name)};
        if (names[0] == u"help")
            names << QStringLiteral("h");
        options << QCommandLineOption(names, QLatin1String(option.help),
                                      option.value ? QLatin1String(option.value) : QString());
    }
    return options;
}

// Stores one value of an option that takes one; a text is the reason it is not usable.
QString store(const Option &option, const QString &value, Options &options)
{
    if (!option.store) { // the one text-valued option
        if (value.isEmpty())
            return QStringLiteral("--%1 needs a path").arg(QLatin1String(option.name));
        options.link = value;
        return {};
    }
    const auto number = wholeNumber(value, option.low, option.high);
    if (!number) {
        return QStringLiteral("--%1: '%2' is not a number from %3 to %4")
            .arg(QLatin1String(option.name), value)
            .arg(option.low)
            .arg(option.high);
    }
    option.store(options, *number);
    return {};
}

} // namespace

std::variant<Options, QString> parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    if (QString problem = readArguments(parser, parserOptions(), arguments); !problem.isNull())
        return problem;
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]);
    Options options;
    for (const Option &option : table()) {
        const QString name = QLatin1String(option.name);
        if (!option.value) {
            if (parser.isSet(name))
                option.store(options, 1);
            continue;
        }
        for (const QString &value : parser.values(name)) {
            if (QString problem = store(option, value, options); !problem.isNull())
                return problem;
        }
    }
    if (options.tcpPort && !options.link.isEmpty())
        return QStringLiteral("--link makes no sense with --tcp");
    return options;
}

QString usage()
{
    QString text = QStringLiteral(
        "Usage: tarn-sim [options]\n"
        "Simulates up to four projectors on a pseudo-terminal (or a local TCP port).\n"
        "The first line printed is the device to open (or tcp://127.0.0.1:PORT); then one line\n"
        "per frame received ('< ' and the frame) and per reply sent ('> ' and the reply).\n\n"
        "Options:\n");
    for (const Option &option : table()) {
        QString left = QStringLiteral("  --%1").arg(QLatin1String(option.name));
        if (option.value)
            left += QStringLiteral(" %1").arg(QLatin1String(option.value));
        text += left.leftJustified(22) + QLatin1String(" ") + QLatin1String(option.help) + u'\n';
    }
    return text;
}

} // namespace tarn::sim
