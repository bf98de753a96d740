#pragma once

#include "profile.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

namespace tarn::bridge {

// The exit status for arguments that cannot be used.
constexpr int kUsageError = 64;

struct Endpoint
{
    QHostAddress address;
    quint16 port = 0; // 0: any free port, which the log then names
};

struct Listener
{
    Endpoint endpoint;
    Profile profile;
};

// What the command line asks for.
struct Options
{
    QString port;                        // the line's device, or tcp://HOST:PORT
    QString settings;                    // e.g. "19200,N,8,1"
    QList<Listener> listeners;           // PJLink
    std::optional<Endpoint> raw;         // the line itself, unauthenticated
    std::optional<QString> passwordFile; // absent only with --no-auth
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Reads the arguments that follow the program's name; a text is the reason they cannot
// be used.
std::variant<Options, QString> parseArguments(const QStringList &arguments);

QString usage();

} // namespace tarn::bridge
