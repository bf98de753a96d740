#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace tarn::test {

// The projector simulator as a child process, on a pseudo-terminal reached through a link
// that stays the same across restarts or, given "--tcp", on a local TCP port. It reports
// each frame it receives ("< C00\r") and each reply it sends ("> \x06") on a line of its own.
class SimProcess
{
public:
    // program: by default tarn-sim in $TARN_BIN.
    explicit SimProcess(QStringList arguments = {}, const QString &program = {});
    ~SimProcess() { kill(); }

    // Starts it (ending one still running) with extra arguments, and waits for its device.
    bool start(const QStringList &extra = {});
    // Ends it as a service manager would; true if it then exited cleanly.
    bool stop();
    // Ends it at once, as a pulled cable would.
    void kill();

    QString device() const { return m_device; }
    QString link() const { return m_dir.filePath(QStringLiteral("com")); }
    // Where a client reaches it: the link, or the TCP address it printed.
    QString address() const { return m_tcp ? m_device : link(); }

    // The reported lines are kept, or, once a handler is set, handed to it instead.
    const QStringList &lines() const { return m_lines; }
    void onLine(std::function<void(const QString &)> handler) { m_handler = std::move(handler); }
    // Waits a few seconds at most for the line to be reported.
    bool logs(const QString &line) const;

private:
    void read();

    QStringList m_arguments;
    bool m_tcp;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
    QStringList m_lines;
    std::function<void(const QString &)> m_handler;
};

} // namespace tarn::test
