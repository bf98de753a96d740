#include "app/commandline.h"

#include "app/findrow.h"
#include "serial/speeds.h"
#include "traffic/addressing.h"

#include <QSet>
#include <algorithm>

namespace tarn {
namespace {

// Why the parser refused the arguments, worked out from them: the parser says it in words
// of its own and without the dashes the operator wrote.
QString refusal(const QList<QCommandLineOption> &options, const QStringList &arguments)
{
    for (qsizetype i = 0; i < arguments.size() && arguments[i] != u"--"; ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(u'-') || argument == u"-")
            continue; // not an option
        const QString written = argument.section(u'=', 0, 0);
        const QString name = written.mid(written.startsWith(u"--") ? 2 : 1);
        const auto option = std::ranges::find_if(
            options, [&name](const QCommandLineOption &o) { return o.names().contains(name); });
        if (option == options.end())
            return QStringLiteral("unknown option '%1'").arg(written);
        const bool assigned = argument.contains(u'=');
        if (option->valueName().isEmpty() && assigned)
            return QStringLiteral("--%1 takes no value").arg(name);
        if (!option->valueName().isEmpty() && !assigned && ++i == arguments.size())
            return QStringLiteral("--%1 needs a value %2").arg(name, option->valueName());
    }
    return {};
}

} // namespace

QString readArguments(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
                      const QStringList &arguments)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    if (parser.parse(QStringList{QString()} + arguments))
        return {};
    const QString problem = refusal(options, arguments);
    return problem.isNull() ? parser.errorText() : problem;
}

std::optional<qint64> wholeNumber(QStringView text, qint64 low, qint64 high)
{
    const bool digitsOnly = !text.isEmpty() && std::ranges::all_of(text, [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!digitsOnly || !ok || number < low || number > high)
        return std::nullopt;
    return number;
}

QString readSpeed(QStringView text, QString &settings)
{
    const SpeedOption *speed = findRow(kSpeedOptions, &SpeedOption::caption, text);
    if (!speed)
        return QStringLiteral("bad speed '%1': use 19200 or 9600").arg(text);
    settings = speed->settings.toString();
    return {};
}

QString readAddress(QStringView text, QByteArray &prefix)
{
    const PjSelectOption *address = addressForWord(text);
    if (!address)
        return QStringLiteral("bad address '%1': use single, all or 1 to 4").arg(text);
    prefix = address->prefix.toByteArray();
    return {};
}

std::variant<QStringList, QString> parseInputNames(const QString &text)
{
    QStringList names = text.split(u',');
    for (QString &name : names)
        name = name.trimmed();
    const bool printable = std::ranges::all_of(names, [](const QString &name) {
        return !name.isEmpty() && name.size() <= kMaxInputName &&
               name.toUtf8().size() <= kMaxInputNameBytes &&
               std::ranges::none_of(name,
                                    [](QChar c) { return c.category() == QChar::Other_Control; });
    });
    if (names.size() != 4 || !printable || QSet<QString>(names.begin(), names.end()).size() != 4)
        return QStringLiteral("--input-names takes four different names, separated by commas, "
                              "each of 1 to %1 characters and at most %2 bytes in UTF-8 (\"%3\")")
            .arg(kMaxInputName)
            .arg(kMaxInputNameBytes)
            .arg(text.left(4 * kMaxInputName + 3));
    return names;
}

} // namespace tarn
