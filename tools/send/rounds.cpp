#include "rounds.h"

#include <algorithm>

namespace tarn::send {

Rounds::Rounds(Sender &sender, TimerFactory &timers, QObject *parent)
    : QObject(parent), m_sender(sender), m_next(timers.createTimer())
{
    m_next->setTickHandler([this] { due(); });
    connect(&m_sender, &Sender::finished, this, &Rounds::roundFinished);
}

Rounds::~Rounds() = default;

void Rounds::start(SendPlan plan, milliseconds interval, std::optional<int> count)
{
    m_plan = std::move(plan);
    m_left = count;
    m_worst = Sender::kAllAnswered;
    m_next->setInterval(interval);
    begin();
}

void Rounds::begin()
{
    m_due = false;
    m_next->setEnabled(m_next->interval() > milliseconds::zero());
    m_sender.start(m_plan); // may finish before it returns
}

void Rounds::roundFinished(int exitCode)
{
    m_worst = std::max(m_worst, exitCode);
    if (m_left && --*m_left <= 0) {
        m_next->setEnabled(false);
        emit finished(m_worst);
    } else if (m_due) {
        begin();
    }
}

void Rounds::due()
{
    m_next->setEnabled(false);
    m_due = true;
    if (!m_sender.isRunning())
        begin();
}

} // namespace tarn::send
