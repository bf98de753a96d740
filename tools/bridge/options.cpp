#include "options.h"

#include "app/commandline.h"
#include "traffic/addressing.h"

#include <algorithm>

namespace tarn::bridge {
namespace {

constexpr qsizetype kMaxName = 64; // PJLink's NAME has at most 64 bytes
constexpr int kInputs = 4;
constexpr QStringView kProduct = u"TARN HV20";

bool printable(QStringView text)
{
    return std::ranges::all_of(text, [](QChar c) { return c >= u' ' && c <= u'~'; });
}

std::optional<Endpoint> parseEndpoint(const QString &text, const QHostAddress &fallback)
{
    QString host;
    QString port = text;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u"]:");
        if (close < 0)
            return std::nullopt;
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
    } else if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
    }
    const auto number = wholeNumber(port, 0, 65535);
    const QHostAddress address = host.isEmpty() ? fallback : QHostAddress(host);
    if (!number || address.isNull() || (!text.startsWith(u'[') && host.contains(u':')))
        return std::nullopt;
    return Endpoint{address, static_cast<quint16>(*number)};
}

std::variant<Listener, QString> parseListener(const QString &text)
{
    const qsizetype equals = text.lastIndexOf(u'=');
    const auto endpoint = parseEndpoint(text.left(equals), QHostAddress(QHostAddress::AnyIPv4));
    const PjSelectOption *select = equals < 0 ? nullptr : addressForWord(text.mid(equals + 1));
    if (!endpoint || !select)
        return QStringLiteral("bad --listen '%1': use [ADDR:]PORT=WHO, WHO being single, 1 to 4 "
                              "or all")
            .arg(text);
    const QString who = addressWord(*select);
    QByteArray name = kProduct.toLatin1();
    if (who != u"single")
        name += ' ' + select->caption.toLatin1();
    return Listener{*endpoint, Profile{who, select->prefix.toByteArray(), name, {}}};
}

std::optional<QList<QByteArray>> parseInputs(const QString &text)
{
    QList<QByteArray> codes;
    for (const QString &code : text.split(u',')) {
        // PJLink's input types 1 (RGB) to 5 (network), each with the numbers 1 to 9.
        if (code.size() != 2 || code[0] < u'1' || code[0] > u'5' || code[1] < u'1' ||
            code[1] > u'9' || codes.contains(code.toLatin1()))
            return std::nullopt;
        codes << code.toLatin1();
    }
    if (codes.size() != kInputs)
        return std::nullopt;
    return codes;
}

// Applies --name WHO=TEXT to the listeners for WHO; a text is the reason it cannot be.
QString applyName(const QString &text, QList<Listener> &listeners)
{
    const qsizetype equals = text.indexOf(u'=');
    const PjSelectOption *select = equals < 0 ? nullptr : addressForWord(text.left(equals));
    const QString name = text.mid(equals + 1);
    if (!select || name.isEmpty() || name.size() > kMaxName || !printable(name))
        return QStringLiteral("bad --name '%1': use WHO=TEXT, TEXT being 1 to %2 printable "
                              "ASCII characters")
            .arg(text)
            .arg(kMaxName);
    const QString who = addressWord(*select);
    bool used = false;
    for (Listener &listener : listeners) {
        if (listener.profile.who == who) {
            listener.profile.name = name.toLatin1();
            used = true;
        }
    }
    return used ? QString() : QStringLiteral("--name %1: no --listen serves %1").arg(who);
}

const QString kDescription = QStringLiteral(
    "Serves the projectors on one serial line to PJLink clients (PJLink class 1) and,\n"
    "optionally, the line itself to one raw client such as tarn-panel or tarn-send.");

QList<QCommandLineOption> options()
{
    return {
        {"port", "Serial device, /dev/serial/by-id/... path or tcp://HOST:PORT (required).",
         "DEVICE"},
        {"speed", "19200 (default) or 9600; no parity, 8 data bits, 1 stop bit.", "BAUD"},
        {"listen",
         "Serve PJLink on PORT for WHO: single (frames without a prefix), 1 to 4 (A001 to "
         "A004) or all (AFFF). ADDR defaults to 0.0.0.0; an IPv6 address goes in brackets. "
         "Repeatable: give each projector an address of its own on PJLink's port 4352, e.g. "
         "192.0.2.11:4352=1 192.0.2.12:4352=2.",
         "[ADDR:]PORT=WHO"},
        {"password-file",
         "The PJLink password: one line of at most 32 printable ASCII characters. The file "
         "must not be readable by every user (0640 or 0600 are fine).",
         "FILE"},
        {"no-auth", "Serve PJLink without authentication (needed without --password-file)."},
        {"name",
         "The PJLink NAME of WHO's listeners, up to 64 printable ASCII characters (default: "
         "TARN HV20 and the address, e.g. TARN HV20 001).",
         "WHO=TEXT"},
        {"inputs",
         "The PJLink input codes of the projector's inputs 1 to 4 (default: 11,12,13,14).",
         "CODES"},
        {"raw",
         "Serve the line itself as a raw TCP stream to one client at a time. It has no "
         "authentication: ADDR defaults to 127.0.0.1.",
         "[ADDR:]PORT"},
        {"verbose", "Log every answer sent to a PJLink client."},
        {"help", "Show this help and exit."},
        {"version", "Show the version and exit."},
    };
}

// The options that need checking against each other, once each is valid on its own.
QString checkSecurity(const QCommandLineParser &parser, Options &options)
{
    if (parser.isSet("password-file") && parser.isSet("no-auth"))
        return QStringLiteral("--password-file and --no-auth exclude each other");
    if (parser.isSet("password-file"))
        options.passwordFile = parser.value("password-file");
    else if (!parser.isSet("no-auth"))
        return QStringLiteral("refusing to serve PJLink without authentication: give "
                              "--password-file FILE, or --no-auth to serve without it");
    return {};
}

QString readListeners(const QCommandLineParser &parser, Options &options)
{
    const auto inputs = parseInputs(parser.isSet("inputs") ? parser.value("inputs")
                                                           : QStringLiteral("11,12,13,14"));
    if (!inputs)
        return QStringLiteral("bad --inputs '%1': use four different PJLink input codes, "
                              "e.g. 11,12,31,32")
            .arg(parser.value("inputs"));
    for (const QString &text : parser.values("listen")) {
        auto listener = parseListener(text);
        if (const auto *problem = std::get_if<QString>(&listener))
            return *problem;
        options.listeners << std::get<Listener>(listener);
        options.listeners.last().profile.inputs = *inputs;
    }
    for (const QString &text : parser.values("name")) {
        if (QString problem = applyName(text, options.listeners); !problem.isEmpty())
            return problem;
    }
    if (parser.isSet("raw")) {
        options.raw = parseEndpoint(parser.value("raw"), QHostAddress(QHostAddress::LocalHost));
        if (!options.raw)
            return QStringLiteral("bad --raw '%1': use [ADDR:]PORT").arg(parser.value("raw"));
    }
    if (options.listeners.isEmpty() && !options.raw)
        return QStringLiteral("nothing to serve: give --listen (or --raw)");
    return {};
}

QString readLine(const QCommandLineParser &parser, Options &options)
{
    options.port = parser.value("port");
    if (options.port.isEmpty())
        return QStringLiteral("--port DEVICE is required");
    return readSpeed(parser.isSet("speed") ? parser.value("speed") : QStringLiteral("19200"),
                     options.settings);
}

} // namespace

std::variant<Options, QString> parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    if (QString problem = readArguments(parser, options(), arguments); !problem.isNull())
        return problem;
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]);
    Options options;
    options.help = parser.isSet("help");
    options.version = parser.isSet("version");
    options.verbose = parser.isSet("verbose");
    if (options.help || options.version)
        return options;
    for (const auto &step : {readLine, readListeners, checkSecurity}) {
        if (QString problem = step(parser, options); !problem.isEmpty())
            return problem;
    }
    return options;
}

QString usage()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addOptions(options());
    QString text = parser.helpText();
    text.replace(0, text.indexOf(u'\n'),
                 QStringLiteral("Usage: tarn-bridge --port DEVICE --listen [ADDR:]PORT=WHO... "
                                "[OPTION]..."));
    return text +
           QStringLiteral(
               "\nA PJLink client authenticates within 10 s of its greeting and ends each request\n"
               "line within 5 s of its first byte; a connection with neither a request nor an\n"
               "answer for 30 s is closed. At most 32 PJLink connections; of them at most 8\n"
               "not yet authenticated, 4 of those from one address (IPv6: one /64); without\n"
               "authentication at most 16 from one address. Past a cap a connection is closed at\n"
               "once. An address that fails to authenticate 15 times within a minute is refused\n"
               "until its oldest failure is a minute old. The raw client has a slot of its own.\n"
               "A reply that does not come within 500 ms is ERR4, and the line must then be\n"
               "quiet for 500 ms (a second at most) before the next request's frame.\n"
               "PORT 0 picks a free port; the log names it.\n"
               "\nIt runs until stopped by a signal. Exit status: 1 could not start (reason on\n"
               "standard error), 64 unusable arguments.\n");
}

} // namespace tarn::bridge
