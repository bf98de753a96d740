#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace tarn::test {

// Debian's Mosquitto as a child process, never a system service: a plain and a TLS
// listener on free loopback ports, one user in a password file, and a CA and a server
// certificate (for 127.0.0.1) made with openssl, all in a private temporary folder.
// Another client is Mosquitto's own mosquitto_sub and mosquitto_pub.
class BrokerProcess
{
public:
    BrokerProcess();
    ~BrokerProcess();

    // Starts it (again, on the same ports) and waits until it accepts connections.
    bool start();
    // Ends it at once, as a crash would.
    void kill();

    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.crt")); }
    // A CA that signed nothing the broker shows.
    QString otherCaFile() const { return m_dir.filePath(QStringLiteral("other.crt")); }

    // mosquitto_sub on `filter`, printing "TOPIC PAYLOAD" lines; it ends with the broker.
    QProcess &subscriber(const QString &filter);
    bool publish(const QString &topic, const QByteArray &payload, bool retain) const;

    static constexpr const char *kUser = "tarn";
    static constexpr const char *kPassword = "pass-word-7";

private:
    QStringList clientArguments() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    std::vector<std::unique_ptr<QProcess>> m_clients;
};

} // namespace tarn::test
