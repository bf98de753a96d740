#pragma once

#include "projector.h"
#include "transmitter.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace tarn::sim {

// Everything the command line can set.
struct Options
{
    int projectors = 4;
    Timing timing;
    Conditions conditions;
    Faults faults;
    std::optional<int> floodBaud;
    std::optional<quint16> tcpPort;
    QString link;
    std::optional<quint32> seed;
    bool help = false;
};

// Exit status for a command line that cannot be used.
constexpr int kUsageError = 64;

// Reads the arguments (without the program name). Returns the options, or a message that
// says what is wrong with them.
std::variant<Options, QString> parseOptions(const QStringList &arguments);

QString usage();

} // namespace tarn::sim
