#include "procinfo.h"

#include <QFile>
#include <QList>
#include <QThread>
#include <sys/utsname.h>
#include <unistd.h>

namespace tarn::bench {
namespace {

QByteArray readProcFile(const char *path)
{
    // /proc files report a size of 0: read until the end instead of by size.
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

std::optional<qint64> statusField(QByteArrayView status, QByteArrayView key)
{
    for (const QByteArrayView line : QByteArray(status.toByteArray()).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.first(colon).trimmed() != key)
            continue;
        QByteArrayView value = line.sliced(colon + 1).trimmed();
        const qsizetype space = value.indexOf(' ');
        if (space >= 0)
            value = value.first(space);
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (ok)
            return number;
        return std::nullopt;
    }
    return std::nullopt;
}

QString cpuModel(QByteArrayView cpuinfo)
{
    for (const QByteArrayView line : QByteArray(cpuinfo.toByteArray()).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArrayView key = line.first(colon).trimmed();
        // x86 calls it "model name"; some other processors only name a "Model" or "cpu".
        if (key == "model name" || key == "Model" || key == "cpu")
            return QString::fromUtf8(line.sliced(colon + 1).trimmed());
    }
    return QStringLiteral("unknown");
}

qint64 residentKb()
{
    return statusField(readProcFile("/proc/self/status"), "VmRSS").value_or(-1);
}

// Fields 14 and 15 of /proc/PID/stat, user and system time in clock ticks. The command
// name (field 2) is in parentheses and may hold spaces: counting starts after it.
std::chrono::nanoseconds cpuTimeOf(qint64 pid)
{
    const QByteArray stat = readProcFile(qPrintable(QStringLiteral("/proc/%1/stat").arg(pid)));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (stat.isEmpty() || fields.size() < 13)
        return {};
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return std::chrono::nanoseconds(qint64(ticks * 1e9 / double(::sysconf(_SC_CLK_TCK))));
}

QString loadAverage()
{
    const QList<QByteArray> fields = readProcFile("/proc/loadavg").split(' ');
    if (fields.size() < 3)
        return QStringLiteral("unknown");
    return QString::fromLatin1(fields[0] + ' ' + fields[1] + ' ' + fields[2]);
}

Machine describeMachine()
{
    Machine machine;
    machine.cpu = cpuModel(readProcFile("/proc/cpuinfo"));
    machine.cores = QThread::idealThreadCount();
    utsname names{};
    if (::uname(&names) == 0)
        machine.kernel = QStringLiteral("%1 %2").arg(QString::fromLatin1(names.sysname),
                                                     QString::fromLatin1(names.release));
    machine.qt = QString::fromLatin1(qVersion());
    return machine;
}

} // namespace tarn::bench
