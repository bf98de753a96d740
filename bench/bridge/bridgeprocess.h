#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>

namespace tarn::bench {

// tarn-bridge as a child process: started with its arguments, its log kept, its listening
// ports read from that log, its memory and CPU time read from /proc.
class BridgeProcess : public QObject
{
    Q_OBJECT
public:
    explicit BridgeProcess(QString program, QObject *parent = nullptr);
    ~BridgeProcess() override;

    // Starts it and waits until `listeners` listeners are up and the line is open.
    bool start(const QStringList &arguments, int listeners);
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    // The port of the listener logged as "(what)": "PJLink, 1" or "raw".
    quint16 port(const QString &what) const;
    const QString &log() const { return m_log; }
    // Log lines that contain `text`.
    int count(const QString &text) const { return int(m_log.count(text)); }

    // From /proc: resident memory now and at its peak, in kB; CPU time used so far.
    qint64 residentKb() const;
    qint64 peakKb() const;
    std::chrono::nanoseconds cpuTime() const;

private:
    QByteArray status() const;

    QString m_program;
    QProcess m_process;
    QString m_log;
};

} // namespace tarn::bench
