#include "bridgeprocess.h"

#include "kit/procinfo.h"

#include "realtime.h"

#include <QFile>
#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>

namespace tarn::bench {

using namespace std::chrono_literals;

BridgeProcess::BridgeProcess(QString program, QObject *parent)
    : QObject(parent), m_program(std::move(program))
{
    // The bridge ends with this process, however this process ends.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    connect(&m_process, &QProcess::readyReadStandardError, this,
            [this] { m_log += QString::fromLocal8Bit(m_process.readAllStandardError()); });
}

BridgeProcess::~BridgeProcess()
{
    stop();
}

bool BridgeProcess::start(const QStringList &arguments, int listeners)
{
    stop();
    m_log.clear();
    m_process.start(m_program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    return tarn::test::waitFor(
        [&] {
            return count(QStringLiteral("listening on")) >= listeners && m_log.contains(u"line up");
        },
        10s);
}

void BridgeProcess::stop()
{
    if (!running())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill(), m_process.waitForFinished(5000);
}

quint16 BridgeProcess::port(const QString &what) const
{
    const QRegularExpression pattern(
        QStringLiteral(":(\\d+) \\(%1\\)").arg(QRegularExpression::escape(what)));
    return pattern.match(m_log).captured(1).toUShort();
}

QByteArray BridgeProcess::status() const
{
    QFile file(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 BridgeProcess::residentKb() const
{
    return statusField(status(), "VmRSS").value_or(-1);
}

qint64 BridgeProcess::peakKb() const
{
    return statusField(status(), "VmHWM").value_or(-1);
}

std::chrono::nanoseconds BridgeProcess::cpuTime() const
{
    return cpuTimeOf(m_process.processId());
}

} // namespace tarn::bench
