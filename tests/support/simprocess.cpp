#include "simprocess.h"

#include "realtime.h"

#include <QFileInfo>
#include <csignal>
#include <sys/prctl.h>

namespace tarn::test {

using namespace std::chrono_literals;

SimProcess::SimProcess(QStringList arguments, const QString &program)
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

bool SimProcess::start(const QStringList &extra)
{
    kill();
    m_device.clear();
    const QStringList linked =
        m_tcp ? QStringList() : QStringList{QStringLiteral("--link"), link()};
    m_process.setArguments(linked + m_arguments + extra);
    m_process.start();
    return m_process.waitForStarted(5000) &&
           waitFor([&] { return !m_device.isEmpty() && (m_tcp || QFileInfo::exists(link())); }, 5s);
}

bool SimProcess::stop()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        kill();
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

void SimProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(3000);
}

bool SimProcess::logs(const QString &line) const
{
    return waitFor([&] { return m_lines.contains(line); }, 5s);
}

void SimProcess::read()
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

} // namespace tarn::test
