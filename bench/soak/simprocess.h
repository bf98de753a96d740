#pragma once

#include "kit/line.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <vector>

namespace tarn::bench {

// One line of the simulator's report: a frame it received ("< ") or a reply it sent ("> ").
struct SimLine
{
    enum class Kind
    {
        Frame,
        Reply
    };
    Kind kind;
    QByteArray text; // as printed: a carriage return shows as "\r"
    TimePoint at;    // when the line was read from the simulator
};

// Reads the simulator's standard output: the first line names the device, every later line
// reports a frame or a reply. Lines may arrive in pieces.
class SimOutputParser
{
public:
    std::vector<SimLine> feed(QByteArrayView chunk, TimePoint at);
    const QByteArray &device() const { return m_device; }

private:
    QByteArray m_partial;
    QByteArray m_device;
    bool m_sawDevice = false;
};

// The projector simulator as a child process on a pseudo-terminal reached through a
// symbolic link, so that the panel's COM1 stays the same path across restarts.
class SimProcess : public QObject
{
    Q_OBJECT
public:
    SimProcess(QString program, QString link, QObject *parent = nullptr);
    ~SimProcess() override;

    // Starts it with extra arguments and waits until its device is there.
    bool start(const QStringList &extra);
    // Ends it at once, as a pulled cable would (SIGKILL).
    void kill();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    quint64 frames() const { return m_frames; }
    quint64 replies() const { return m_replies; }
    // The lines kept since the last call; lines are kept only while keepLines is set, so
    // that a long run does not hoard them in the process it measures.
    std::vector<SimLine> take() { return std::exchange(m_lines, {}); }
    void setKeepLines(bool keep) { m_keepLines = keep; }
    // When each frame was reported, since the last call; always kept (8 bytes a frame).
    std::vector<TimePoint> takeFrameTimes() { return std::exchange(m_frameTimes, {}); }

signals:
    void lineSeen();

private:
    void read();

    QString m_program;
    QString m_link;
    QProcess m_process;
    SimOutputParser m_parser;
    std::vector<SimLine> m_lines;
    std::vector<TimePoint> m_frameTimes;
    bool m_keepLines = false;
    quint64 m_frames = 0;
    quint64 m_replies = 0;
};

} // namespace tarn::bench
