#pragma once

#include "app/timer.h"

#include <QObject>
#include <QString>
#include <memory>

namespace tarn {
class AsyncCommControl;
}

namespace tarn::bridge {

// Keeps the serial line open. Opens it without waiting for the far end, and after a failed
// opening, a lost line or a failed write tries again every kRetry. Reports each change
// between up and down once, however many openings fail in between.
class LineKeeper : public QObject
{
    Q_OBJECT
public:
    static constexpr milliseconds kRetry{2000};

    LineKeeper(AsyncCommControl &port, TimerFactory &timers, QObject *parent = nullptr);
    ~LineKeeper() override;

    // Sets port 1 up with these settings ("19200,N,8,1") and opens it.
    void start(const QString &settings);
    bool up() const { return m_state == State::Up; }
    // Down and reported so: requests are refused rather than kept for the line.
    bool down() const { return m_reportedDown; }
    // The line failed under its user (a write that did not go through): closes it.
    void lose(const QString &description);

signals:
    void changed(bool up, const QString &description);

private:
    enum class State
    {
        Closed,
        Opening,
        Up,
    };
    void open();
    void onOpened();
    void onDown(const QString &description);

    AsyncCommControl &m_port;
    std::unique_ptr<Timer> m_retry;
    State m_state = State::Closed;
    bool m_reportedDown = false;
};

} // namespace tarn::bridge
