#include "bridgeprocess.h"

#include "kit/eventloop.h"
#include "kit/procinfo.h"

#include <QFile>
#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

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
    return runUntil(
        [&] {
            return count(QStringLiteral("listening on")) >= listeners && m_log.contains(u"line up");
        },
        10s, &m_process, &QProcess::readyReadStandardError);
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

// Fields 14 and 15 of /proc/PID/stat, user and system time in clock ticks. The command
// name (field 2) is in parentheses and may hold spaces: counting starts after it.
std::chrono::nanoseconds BridgeProcess::cpuTime() const
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return {};
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return std::chrono::nanoseconds(qint64(ticks * 1e9 / double(::sysconf(_SC_CLK_TCK))));
}

} // namespace tarn::bench
