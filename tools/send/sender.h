#pragma once

#include "app/timer.h"
#include "serial/commcontrol.h"
#include "traffic/frame.h"
#include "traffic/linerules.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <functional>
#include <memory>
#include <vector>

namespace tarn::send {

// One command to send: the word it was given as (for messages) and its code.
struct Job
{
    QString word;
    QByteArray code;
};

// What to send, to whom and how long to wait for each reply.
struct SendPlan
{
    QByteArray prefix; // "", "AFFF" (every projector) or "A001" to "A004"
    QString settings = QStringLiteral("19200,N,8,1");
    milliseconds timeout{500};
    std::vector<Job> jobs;
    bool json = false; // one JSON object per command instead of the monitor lines

    bool broadcast() const { return prefix == kEveryProjector; }
};

// Sends the commands of a plan one at a time on port 1 of a serial control: builds each
// frame, writes it, and waits for the reply until it is complete or the reply time-out
// fires. A query's reply is complete once a carriage return has come, an action's once its
// acknowledgement has come. Prints every frame and reply in the monitor rendering, and the
// STATUS text of a query's reply; or, for a JSON plan, one object per command (record.h).
//
// A command that meets silence or an incomplete reply by the time-out is reported on the
// error stream, and the next one is sent all the same, once the line has settled: the
// late reply is not taken for the next command's (traffic/linerules.h). Frames to every
// projector ("AFFF")
// get no answer on a shared line, so their silence is no failure; they wait the time-out
// to let the projectors act before the next frame. A port that cannot be opened, a failed
// write or a port that fails on its own ends the run at once.
class Sender : public QObject
{
    Q_OBJECT
public:
    enum ExitCode
    {
        kAllAnswered = 0,
        kReplyMissing = 1,
        kPortFailed = 2,
    };

    // `now` reads a steady clock.
    Sender(CommControl &port, TimerFactory &timers, std::function<milliseconds()> now,
           QTextStream &out, QTextStream &err, QObject *parent = nullptr);
    ~Sender() override;

    // Opens the port and sends the first command. finished() follows when the last one is
    // done or the port has failed, possibly before start() returns.
    void start(SendPlan plan);

    bool isRunning() const { return m_running; }
    int exitCode() const { return m_exitCode; }

signals:
    void finished(int exitCode);

private:
    void sendNext();
    void received();
    void timedOut();
    bool replyComplete() const;
    void printReply(bool complete);
    void printRecord(bool ok, bool complete);
    void portFailed(const QString &description);
    void finish(int exitCode);

    CommControl &m_port;
    std::function<milliseconds()> m_now;
    QTextStream &m_out;
    QTextStream &m_err;
    std::unique_ptr<Timer> m_timeout;
    SendPlan m_plan;
    std::size_t m_next = 0;
    const Job *m_current = nullptr; // the command awaiting its reply
    QByteArray m_frame;             // its frame
    QByteArray m_reply;
    Settle m_settle; // kept from round to round
    bool m_running = false;
    int m_exitCode = kAllAnswered;
};

} // namespace tarn::send
