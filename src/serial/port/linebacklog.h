#pragma once

#include <QtGlobal>
#include <chrono>

namespace tarn {

// What a serial line has not yet sent of the bytes handed to the driver, worked out
// from the line speed: a line sends one character per character time and no faster.
// Used where the driver does not say how much it still holds (a pseudo-terminal has
// no line speed and reports an empty queue while its reader sleeps).
class LineBacklog
{
public:
    using Clock = std::chrono::steady_clock;

    // Changes the speed; what is still waiting goes out at the new speed from now on.
    void setCharacterTime(std::chrono::nanoseconds perCharacter, Clock::time_point now);
    // Bytes handed to the driver at `now`; they follow whatever is still waiting.
    void handOver(qint64 bytes, Clock::time_point now);
    qint64 waiting(Clock::time_point now) const;
    void clear() { m_drainedAt = {}; }

private:
    Clock::duration m_perCharacter = std::chrono::nanoseconds(1'041'666); // 9600 baud, 8N1
    Clock::time_point m_drainedAt; // when the line will be idle
};

} // namespace tarn
