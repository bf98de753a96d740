#pragma once

#include "realtime.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <sys/prctl.h>

namespace tarn::test {

// The projector simulator as a child process, on a pseudo-terminal reached through a link
// that stays the same across restarts or, given "--tcp", on a local TCP port. It reports
// each frame it receives ("< C00\r") and each reply it sends ("> \x06") on a line of its own.
class SimProcess
{
public:
    // program: by default tarn-sim in $TARN_BIN.
    explicit SimProcess(QStringList arguments = {}, const QString &program = {})
        : m_arguments(std::move(arguments)), m_tcp(m_arguments.contains(QStringLiteral("--tcp")))
    {
        m_process.setProgram(program.isEmpty() ? qEnvironmentVariable("TARN_BIN") + "/tarn-sim"
                                               : program);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The simulator ends with this process, however this process ends.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { read(); });
    }
    ~SimProcess() { kill(); }

    // Starts it (ending one still running) with extra arguments, and waits for its device.
    bool start(const QStringList &extra = {})
    {
        kill();
        m_device.clear();
        const QStringList linked =
            m_tcp ? QStringList() : QStringList{QStringLiteral("--link"), link()};
        m_process.setArguments(linked + m_arguments + extra);
        m_process.start();
        const auto ready = [&] {
            return !m_device.isEmpty() && (m_tcp || QFileInfo::exists(link()));
        };
        return m_process.waitForStarted(5000) && waitFor(ready, std::chrono::seconds(5));
    }
    // Ends it as a service manager would; true if it then exited cleanly.
    bool stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            kill();
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    // Ends it at once, as a pulled cable would.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(3000);
    }

    QString device() const { return m_device; }
    QString link() const { return m_dir.filePath(QStringLiteral("com")); }
    // Where a client reaches it: the link, or the TCP address it printed.
    QString address() const { return m_tcp ? m_device : link(); }

    // The reported lines are kept, or, once a handler is set, handed to it instead.
    const QStringList &lines() const { return m_lines; }
    void onLine(std::function<void(const QString &)> handler) { m_handler = std::move(handler); }
    // Waits a few seconds at most for the line to be reported.
    bool logs(const QString &line) const
    {
        return waitFor([&] { return m_lines.contains(line); }, std::chrono::seconds(5));
    }

private:
    void read()
    {
        while (m_process.canReadLine()) {
            const QString line = QString::fromLatin1(m_process.readLine()).trimmed();
            if (m_device.isEmpty())
                m_device = line;
            else if (m_handler)
                m_handler(line);
            else
                m_lines << line;
        }
    }

    QStringList m_arguments;
    bool m_tcp;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
    QStringList m_lines;
    std::function<void(const QString &)> m_handler;
};

} // namespace tarn::test
