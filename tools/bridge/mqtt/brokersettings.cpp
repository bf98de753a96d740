#include "brokersettings.h"

#include "passwordfile.h"

#include <QFileInfo>
#include <QUrl>
#include <algorithm>

namespace tarn::mqtt {
namespace {

constexpr quint16 kPlainPort = 1883;
constexpr quint16 kTlsPort = 8883;

bool usable(const QByteArray &credential)
{
    return !credential.isEmpty() && credential.size() <= kMaxCredential &&
           std::ranges::none_of(credential,
                                [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7f; }) &&
           QString::fromUtf8(credential).toUtf8() == credential;
}

} // namespace

QString BrokerAddress::text() const
{
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("%1://%2:%3").arg(tls ? u"mqtts" : u"mqtt", shown).arg(port);
}

std::variant<BrokerAddress, QString> parseBrokerAddress(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || url.host().isEmpty())
        return QStringLiteral("%1 is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]").arg(text);
    if (!url.userInfo().isEmpty())
        return QStringLiteral("the broker's address holds a user name or password; put them "
                              "in the file of --mqtt-credentials-file");
    if ((!url.path().isEmpty() && url.path() != u"/") || url.hasQuery() || url.hasFragment())
        return QStringLiteral("%1 has more than a host and a port").arg(text);
    const bool tls = scheme == u"mqtts";
    const int port = url.port(tls ? kTlsPort : kPlainPort);
    if (port == 0)
        return QStringLiteral("%1: port 0 cannot be connected to").arg(text);
    return BrokerAddress{url.host(), quint16(port), tls};
}

std::variant<Credentials, QString> readCredentialsFile(const QString &path)
{
    const QString refused = QStringLiteral("MQTT credentials file %1: ").arg(path);
    // Two lines of the longest kind with CR LF each, and one byte to tell a longer file.
    auto read = bridge::readPrivateFile(path, QStringLiteral("MQTT credentials file"),
                                        2 * (kMaxCredential + 2) + 1);
    if (const auto *problem = std::get_if<QString>(&read))
        return *problem;
    QByteArray content = std::get<QByteArray>(std::move(read));
    content.replace("\r\n", "\n");
    if (content.endsWith('\n'))
        content.chop(1);
    const QList<QByteArray> lines = content.split('\n');
    if (lines.size() != 2 || !usable(lines[0]) || !usable(lines[1]))
        return refused + QStringLiteral("expected a user name on the first line and a password "
                                        "on the second, each of 1 to %1 bytes of text")
                             .arg(kMaxCredential);
    return Credentials{lines[0], lines[1]};
}

std::variant<BrokerSettings, QString> brokerSettings(const QString &url, const QString &caFile,
                                                     const QString &credentialsFile,
                                                     const QString &line,
                                                     const QString &statusTopic)
{
    auto address = parseBrokerAddress(url);
    if (const auto *problem = std::get_if<QString>(&address))
        return *problem;
    BrokerSettings s{.address = std::get<BrokerAddress>(address),
                     .caFile = caFile,
                     .credentials = std::nullopt,
                     .clientId = QStringLiteral("tarn-bridge-") + line,
                     .statusTopic = statusTopic};
    if (!caFile.isEmpty() && !QFileInfo(caFile).isReadable())
        return QStringLiteral("MQTT CA file %1: cannot be read").arg(caFile);
    if (!credentialsFile.isEmpty()) {
        auto read = readCredentialsFile(credentialsFile);
        if (const auto *problem = std::get_if<QString>(&read))
            return *problem;
        s.credentials = std::get<Credentials>(std::move(read));
    }
    return s;
}

} // namespace tarn::mqtt
