#pragma once

#include "profile.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <chrono>
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

// "[ADDR:]PORT": an address (not a host name), an IPv6 one in brackets ("[::1]:9100"),
// and a port, 0 asking for any free one. Without ADDR, `fallback`: 127.0.0.1 for the
// ports without authentication, so that nothing outside the machine reaches them unless
// told.
std::optional<Endpoint> readEndpoint(QStringView text,
                                     const QHostAddress &fallback = QHostAddress::LocalHost);

// The line's name by default: the device's name (its path's last part, or HOST:PORT of a
// tcp:// one), each character other than a letter, a digit, '-' or '_' replaced by '_',
// cut to kLineNameLimit characters.
QString lineNameFor(const QString &device);
constexpr qsizetype kLineNameLimit = 32;

struct Listener
{
    Endpoint endpoint;
    Profile profile;
};

// The broker connection (--mqtt and the options after it), each text as given; the MQTT
// side checks them.
struct MqttOptions
{
    QString url;
    QString caFile;
    QString credentialsFile;
    QString prefix = QStringLiteral("tarn");
    QString discoveryPrefix = QStringLiteral("homeassistant"); // empty: no discovery
    QString birthTopic = QStringLiteral("homeassistant/status");
};

// What the command line asks for.
struct Options
{
    QString port;                         // the line's device, or tcp://HOST:PORT
    QString settings;                     // e.g. "19200,N,8,1"
    QList<Listener> listeners;            // PJLink
    std::optional<Endpoint> raw;          // the line itself, unauthenticated
    std::optional<Endpoint> http;         // monitoring
    std::optional<QString> httpTokenFile; // control over HTTP; absent: off
    QString lineName;                     // in metrics and logs
    std::chrono::seconds poll{5};         // the background poll's period; 0: none
    std::optional<QString> passwordFile;  // absent only with --no-auth
    std::optional<MqttOptions> mqtt;      // Home Assistant and other MQTT systems
    QStringList inputNames;               // the inputs' names, 1 to 4
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Reads the arguments that follow the program's name; a text is the reason they cannot
// be used.
std::variant<Options, QString> parseArguments(const QStringList &arguments);

QString usage();

} // namespace tarn::bridge
