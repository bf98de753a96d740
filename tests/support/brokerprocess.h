#pragma once

#include "realtime.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>
#include <sys/prctl.h>

namespace tarn::test {

// Debian's Mosquitto as a child process, never a system service: a plain and a TLS
// listener on free loopback ports, one user in a password file, and a CA and a server
// certificate (for 127.0.0.1) made with openssl, all in a private temporary folder.
class BrokerProcess
{
public:
    static constexpr const char *kUser = "tarn";
    static constexpr const char *kPassword = "pass-word-7";

    BrokerProcess()
    {
        QTcpServer a; // two ports free at this moment
        QTcpServer b;
        a.listen(QHostAddress::LocalHost);
        b.listen(QHostAddress::LocalHost);
        m_port = a.serverPort();
        m_tlsPort = b.serverPort();
        QProcess make;
        make.setWorkingDirectory(m_dir.path());
        make.setProcessChannelMode(QProcess::MergedChannels);
        make.start("sh", {"-c", kMakeFiles, "sh", kUser, kPassword, QString::number(m_port),
                          QString::number(m_tlsPort)});
        if (!make.waitForFinished(30000) || make.exitCode() != 0)
            qWarning("the broker's files could not be made: %s", make.readAll().constData());
        m_process.setProgram("/usr/sbin/mosquitto");
        m_process.setArguments({"-c", file("mosquitto.conf")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~BrokerProcess() { kill(); }

    // Starts it (again, on the same ports) and waits until it accepts connections.
    bool start()
    {
        kill();
        m_process.start();
        const auto accepts = [this] {
            QTcpSocket probe;
            probe.connectToHost("127.0.0.1", m_port);
            return probe.waitForConnected(100);
        };
        return m_process.waitForStarted(5000) && waitFor(accepts, std::chrono::seconds(10));
    }
    // Ends it at once, as a crash would.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    QString file(const char *name) const { return m_dir.filePath(name); } // "ca.crt", "other.crt"

private:
    // Arguments: the user, the password, the two ports. Run as root (as CI does), Mosquitto
    // drops to the user its configuration names: the one running this, who can read the folder.
    static constexpr const char *kMakeFiles = R"sh(set -e
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -days 2 -keyout ca.key -out ca.crt -subj /CN=ca
openssl req -x509 $key -days 2 -keyout other.key -out other.crt -subj /CN=other
openssl req $key -keyout server.key -out server.csr -subj /CN=127.0.0.1
echo subjectAltName=IP:127.0.0.1 > san.cnf
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile san.cnf -out server.crt
mosquitto_passwd -c -b passwd "$1" "$2"
printf 'user %s\npersistence false\nallow_anonymous false\npassword_file %s/passwd
log_dest stderr\nlog_type error\nlistener %s 127.0.0.1\nlistener %s 127.0.0.1
cafile %s/ca.crt\ncertfile %s/server.crt\nkeyfile %s/server.key\n' "$(id -un)" "$PWD" \
    "$3" "$4" "$PWD" "$PWD" "$PWD" > mosquitto.conf
)sh";

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
};

} // namespace tarn::test
