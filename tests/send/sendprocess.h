#pragma once

#include <QProcess>

namespace tarn::test {

// One run of tarn-send to its end.
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline Run send(const QStringList &arguments)
{
    QProcess process;
    process.start(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/tarn-send"), arguments);
    if (!process.waitForFinished(30000))
        process.kill(), process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace tarn::test
