#include "linebacklog.h"

#include <algorithm>

namespace tarn {

void LineBacklog::setCharacterTime(std::chrono::nanoseconds perCharacter, Clock::time_point now)
{
    const qint64 left = waiting(now);
    m_perCharacter = std::max(Clock::duration(perCharacter), Clock::duration(1));
    m_drainedAt = left > 0 ? now + Clock::rep(left) * m_perCharacter : Clock::time_point{};
}

void LineBacklog::handOver(qint64 bytes, Clock::time_point now)
{
    m_drainedAt = std::max(m_drainedAt, now) + Clock::rep(bytes) * m_perCharacter;
}

qint64 LineBacklog::waiting(Clock::time_point now) const
{
    const auto left = m_drainedAt - now;
    if (left <= Clock::duration::zero())
        return 0;
    // A character that has started is still waiting until its last bit is out.
    return (left + m_perCharacter - Clock::duration(1)) / m_perCharacter;
}

} // namespace tarn
