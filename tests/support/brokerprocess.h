#pragma once

#include <QProcess>
#include <QTemporaryDir>

namespace tarn::test {

// Debian's Mosquitto as a child process, never a system service: a plain and a TLS
// listener on free loopback ports, one user in a password file, and a CA and a server
// certificate (for 127.0.0.1) made with openssl, all in a private temporary folder.
class BrokerProcess
{
public:
    BrokerProcess();
    ~BrokerProcess() { kill(); }

    // Starts it (again, on the same ports) and waits until it accepts connections.
    bool start();
    // Ends it at once, as a crash would.
    void kill();

    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    QString file(const char *name) const { return m_dir.filePath(name); } // "ca.crt", "other.crt"

    static constexpr const char *kUser = "tarn";
    static constexpr const char *kPassword = "pass-word-7";

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
};

} // namespace tarn::test
