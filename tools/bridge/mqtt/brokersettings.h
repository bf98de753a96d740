#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>
#include <variant>

namespace tarn::mqtt {

using std::chrono::milliseconds;

// Where the broker is: mqtt://HOST[:PORT] (1883 by default) or mqtts://HOST[:PORT] (TLS,
// 8883 by default). HOST is a name, an IPv4 address or a bracketed IPv6 address.
struct BrokerAddress
{
    QString host;
    quint16 port = 0;
    bool tls = false;

    // As the log names it, e.g. "mqtts://broker.lan:8883".
    QString text() const;
};

// The address, or the reason the text is not one. A user name or password in the address
// is refused: they belong in the credentials file, out of the process list and the log.
std::variant<BrokerAddress, QString> parseBrokerAddress(const QString &text);

struct Credentials
{
    QByteArray user;
    QByteArray password;
};

// The user name on the first line and the password on the second, each 1 to
// kMaxCredential bytes of UTF-8 without control characters. A file that every user may
// read is refused, as the PJLink password file is. The reason never quotes the file.
std::variant<Credentials, QString> readCredentialsFile(const QString &path);

constexpr qsizetype kMaxCredential = 256;

// What the connection needs; main fills it from the options.
struct BrokerSettings
{
    BrokerAddress address;
    QString caFile; // mqtts: the CA that signed the broker's certificate; empty: the system's
    std::optional<Credentials> credentials;
    QString clientId;
    // Retained "online" once connected and "offline" as the last will, for whoever watches.
    QString statusTopic;
    milliseconds firstRetry{1000};
    milliseconds longestRetry{30000};
    // An attempt that has no answer from the broker by then is given up and retried.
    milliseconds connectTimeout{10000};
    int keepAliveSeconds = 30;
};

// The settings from --mqtt URL, --mqtt-ca-file and --mqtt-credentials-file (either empty
// when not given), for the line of that name whose status topic is `statusTopic`; or the
// reason they cannot be used.
std::variant<BrokerSettings, QString> brokerSettings(const QString &url, const QString &caFile,
                                                     const QString &credentialsFile,
                                                     const QString &line,
                                                     const QString &statusTopic);

inline const QByteArray kOnline = QByteArrayLiteral("online");
inline const QByteArray kOffline = QByteArrayLiteral("offline");

} // namespace tarn::mqtt
