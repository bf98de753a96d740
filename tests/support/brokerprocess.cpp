#include "brokerprocess.h"

#include "realtime.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

bool run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(20000) && process.exitCode() == 0;
    if (!ok)
        qWarning("%s failed: %s", qPrintable(program), process.readAll().constData());
    return ok;
}

QStringList newKey(const QString &name)
{
    return {"-newkey",    "ec",      "-pkeyopt",    "ec_paramgen_curve:prime256v1",
            "-nodes",     "-keyout", name + ".key", "-subj",
            "/CN=" + name};
}

bool write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Two ports free at this moment, from the kernel.
std::pair<quint16, quint16> freePorts()
{
    QTcpServer a;
    QTcpServer b;
    a.listen(QHostAddress::LocalHost);
    b.listen(QHostAddress::LocalHost);
    return {a.serverPort(), b.serverPort()};
}

} // namespace

BrokerProcess::BrokerProcess()
{
    std::tie(m_port, m_tlsPort) = freePorts();
    const QString dir = m_dir.path();
    const QStringList days = {"-days", "2"};
    const bool made =
        run("openssl", QStringList{"req", "-x509", "-out", "ca.crt"} + newKey("ca") + days, dir) &&
        run("openssl", QStringList{"req", "-x509", "-out", "other.crt"} + newKey("other") + days,
            dir) &&
        run("openssl", QStringList{"req", "-out", "server.csr"} + newKey("127.0.0.1"), dir) &&
        write(m_dir.filePath("san.cnf"), "subjectAltName=IP:127.0.0.1\n") &&
        run("openssl",
            QStringList{"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                        "-CAcreateserial", "-extfile", "san.cnf", "-out", "server.crt"} +
                days,
            dir) &&
        run("mosquitto_passwd", {"-c", "-b", "passwd", kUser, kPassword}, dir);
    // Run as root (as CI does), Mosquitto drops to the user named here: this one, who can
    // read the private folder.
    const passwd *self = ::getpwuid(::getuid());
    const QString config = QStringLiteral("user %1\npersistence false\nallow_anonymous false\n"
                                          "password_file %2/passwd\nlog_dest stderr\n"
                                          "log_type error\nlistener %3 127.0.0.1\n"
                                          "listener %4 127.0.0.1\ncafile %2/ca.crt\n"
                                          "certfile %2/server.crt\nkeyfile %2/127.0.0.1.key\n")
                               .arg(QString::fromLocal8Bit(self ? self->pw_name : "root"), dir)
                               .arg(m_port)
                               .arg(m_tlsPort);
    if (!made || !write(m_dir.filePath("mosquitto.conf"), config.toUtf8()))
        qWarning("the broker's files could not be made in %s", qPrintable(dir));
    m_process.setProgram("/usr/sbin/mosquitto");
    m_process.setArguments({"-c", m_dir.filePath("mosquitto.conf")});
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

bool BrokerProcess::start()
{
    kill();
    m_process.start();
    return m_process.waitForStarted(5000) && waitFor(
                                                 [this] {
                                                     QTcpSocket probe;
                                                     probe.connectToHost("127.0.0.1", m_port);
                                                     return probe.waitForConnected(100);
                                                 },
                                                 10s);
}

void BrokerProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(3000);
}

QStringList BrokerProcess::clientArguments() const
{
    return {"-h", "127.0.0.1", "-p", QString::number(m_port), "-u", kUser, "-P", kPassword};
}

BrokerProcess::~BrokerProcess()
{
    for (const auto &client : m_clients) {
        client->kill();
        client->waitForFinished(3000);
    }
    kill();
}

QProcess &BrokerProcess::subscriber(const QString &filter)
{
    QProcess &process = *m_clients.emplace_back(std::make_unique<QProcess>());
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start("mosquitto_sub", clientArguments() + QStringList{"-v", "-t", filter});
    process.waitForStarted(5000);
    return process;
}

bool BrokerProcess::publish(const QString &topic, const QByteArray &payload, bool retain) const
{
    QStringList arguments = clientArguments() + QStringList{"-q", "1", "-t", topic, "-s"};
    if (retain)
        arguments << "-r";
    QProcess process;
    process.start("mosquitto_pub", arguments);
    process.write(payload);
    process.closeWriteChannel();
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

} // namespace tarn::test
