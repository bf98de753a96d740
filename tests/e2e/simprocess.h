#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace tarn::test {

// Lets the event loop run until done() holds or the time is up; real time, so only for
// end-to-end tests, and always with generous bounds.
inline bool waitFor(const std::function<bool()> &done, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(10);
    return done();
}

// The projector simulator as a child process on a pseudo-terminal, with the lines it
// logs ("< frame" for every frame it receives, "> reply" for every reply it sends).
class SimProcess
{
public:
    explicit SimProcess(QStringList arguments = {}) : m_arguments(std::move(arguments)) {}
    ~SimProcess() { stop(); }

    // Starts it and waits for the device line; the link stays valid across restarts.
    bool start()
    {
        m_lines.clear();
        m_process.setProgram(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/tarn-sim"));
        m_process.setArguments(QStringList{QStringLiteral("--link"), link()} + m_arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] {
            while (m_process.canReadLine())
                m_lines << QString::fromLatin1(m_process.readLine()).trimmed();
        });
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        return waitFor([this] { return !m_lines.isEmpty() && QFileInfo::exists(link()); }, 5000);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill(), m_process.waitForFinished(3000);
        QObject::disconnect(&m_process, nullptr, nullptr, nullptr);
    }

    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
        QObject::disconnect(&m_process, nullptr, nullptr, nullptr);
    }

    QString device() const { return m_lines.value(0); }
    QString link() const { return m_dir.filePath(QStringLiteral("com")); }
    const QStringList &lines() const { return m_lines; }
    qsizetype count(const QString &line) const { return m_lines.count(line); }

private:
    QStringList m_arguments;
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_lines;
};

} // namespace tarn::test
