#pragma once

#include "sender.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace tarn::send {

// The exit status of tarn-send for arguments it cannot use.
constexpr int kUsageError = 64;

// What the command line asks for.
struct Options
{
    std::optional<QString> port; // a device path or tcp://HOST:PORT; absent: port 1's mapping
    SendPlan plan;
    std::optional<milliseconds> watch; // --watch: the time from one round to the next
    std::optional<int> count;          // --count: rounds of --watch; absent: until stopped
    bool help = false;
    bool version = false;
};

// Reads the arguments that follow the program name. A text is the reason they cannot be used.
std::variant<Options, QString> parseArguments(const QStringList &arguments);

// The help text; defaultDevice is the device used without --port.
QString usage(const QString &defaultDevice);

} // namespace tarn::send
