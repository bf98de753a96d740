#pragma once

#include "sender.h"

#include <optional>

namespace tarn::send {

// Sends a plan once, or round after round for --watch: each round begins one interval
// after the one before began, or as soon as that one has ended if it took longer. Every
// round opens the port afresh, so a port that failed in one round (reported by the sender)
// is tried again in the next.
class Rounds : public QObject
{
    Q_OBJECT
public:
    Rounds(Sender &sender, TimerFactory &timers, QObject *parent = nullptr);
    ~Rounds() override;

    // count: how many rounds, or nothing for rounds until the program is stopped.
    void start(SendPlan plan, milliseconds interval, std::optional<int> count);

signals:
    // After the last round, with the highest exit code of all rounds.
    void finished(int exitCode);

private:
    void begin();
    void roundFinished(int exitCode);
    void due();

    Sender &m_sender;
    std::unique_ptr<Timer> m_next;
    SendPlan m_plan;
    std::optional<int> m_left;
    bool m_due = false;
    int m_worst = Sender::kAllAnswered;
};

} // namespace tarn::send
