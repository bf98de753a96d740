#pragma once

#include "line.h"
#include "pseudoterminal.h"

#include <QString>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace tarn::bench {

// A pseudo-terminal whose far end behaves like a serial cable at a chosen speed: a reader
// thread takes one character off the master side per character time, so that what the
// program writes queues up as it would in front of a real line, and timestamps every
// frame as it completes. The program under test opens slavePath() as its device.
class PtyLine
{
public:
    explicit PtyLine(int baud);
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // Opens the pseudo-terminal and starts the far end. Returns an error text or nothing.
    QString open();
    QString slavePath() const { return m_terminal.slavePath(); }

    void setBaud(int baud);
    int baud() const { return m_baud.load(); }

    // The frames completed since the last call. They are kept until taken: a long run
    // takes them now and then, or the measuring itself grows the process.
    std::vector<Frame> takeFrames();
    // Counters since open().
    quint64 frameCount() const { return m_frames.load(); }
    quint64 byteCount() const { return m_bytes.load(); }
    // When the most recent character arrived (the epoch when none has).
    TimePoint lastArrival() const { return TimePoint{Nanos{m_lastArrival.load()}}; }
    // Characters taken off the line before the carriage return of a frame.
    bool midFrame() const { return m_midFrame.load(); }
    // The far end got a real-time priority (it does when run as root or with CAP_SYS_NICE).
    bool realtime() const { return m_realtime.load(); }

private:
    void run();

    PseudoTerminal m_terminal; // holds its slave, so the master never reads a hang-up
    std::atomic<int> m_baud;
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_frames{0};
    std::atomic<quint64> m_bytes{0};
    std::atomic<Nanos::rep> m_lastArrival{0};
    std::atomic<bool> m_midFrame{false};
    std::atomic<bool> m_realtime{false};
    std::mutex m_mutex;
    std::vector<Frame> m_completed;
    std::thread m_thread;
};

} // namespace tarn::bench
