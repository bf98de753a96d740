#pragma once

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace tarn {

// The command lines of the programs beside the panel, read the same way by each: options by
// name (--name VALUE or --name=VALUE; one dash does as well), anywhere among the other
// arguments, and "--" before arguments that begin with a dash.
//
// Adds the options to parser and reads the arguments that follow the program's name.
// Returns why they cannot be used, in the same words in every program ("unknown option
// '--baud'", "--timeout needs a value MS", "--split takes no value"), or a null text.
QString readArguments(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
                      const QStringList &arguments);

// A number written in decimal digits alone (no sign, no space) within [low, high].
std::optional<qint64> wholeNumber(QStringView text, qint64 low, qint64 high);

// The values that more than one program takes. Each stores what the text names and
// returns a null text, or returns why the text names nothing.
//  --speed: 19200 or 9600, stored as the serial control's settings text ("19200,N,8,1");
QString readSpeed(QStringView text, QString &settings);
//  an address word (addressForWord()), stored as its prefix ("", "AFFF", "A001" to "A004").
QString readAddress(QStringView text, QByteArray &prefix);

// --input-names, the names of the projector's inputs 1 to 4 as MQTT and PJLink's INNM give
// them: four different names separated by commas, surrounding spaces dropped, each of 1 to
// kMaxInputName characters without control characters and of at most kMaxInputNameBytes in
// UTF-8 (PJLink's limit for an input terminal name). Or the reason not.
std::variant<QStringList, QString> parseInputNames(const QString &text);

constexpr qsizetype kMaxInputName = 32;
constexpr qsizetype kMaxInputNameBytes = 64;
inline const QString kDefaultInputNames = QStringLiteral("Input 1,Input 2,Input 3,Input 4");

} // namespace tarn
