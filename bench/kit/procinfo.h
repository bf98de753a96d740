#pragma once

#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <optional>

namespace tarn::bench {

// The number on a "Key:   1234 kB" line of a /proc status text (in the unit written there),
// or nothing when the key is absent.
std::optional<qint64> statusField(QByteArrayView status, QByteArrayView key);

// The processor's model name from a /proc/cpuinfo text.
QString cpuModel(QByteArrayView cpuinfo);

// The resident memory of this process in kB (VmRSS), or -1 when it cannot be read.
qint64 residentKb();

// The CPU time (user and system) another process has used so far, from /proc/PID/stat;
// zero when it cannot be read. For this process, tarn::test::processCpuTime() serves.
std::chrono::nanoseconds cpuTimeOf(qint64 pid);

// "0.52 0.40 0.31" from /proc/loadavg.
QString loadAverage();

struct Machine
{
    QString cpu;
    int cores = 0;
    QString kernel;
    QString qt;
};
Machine describeMachine();

} // namespace tarn::bench
