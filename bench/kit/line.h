#pragma once

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <optional>

namespace tarn::bench {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Nanos = std::chrono::nanoseconds;

// The time one character takes on an asynchronous line with 8 data bits and 1 stop bit:
// ten bit times (start, eight data, stop).
constexpr Nanos characterTime(int baud)
{
    return Nanos{10'000'000'000LL / baud};
}

// Milliseconds as a double, for reports.
inline double toMs(Nanos span)
{
    return std::chrono::duration<double, std::milli>(span).count();
}

// The pace of a line at its speed: a character occupies one character time. A character
// handed over to an idle line starts at once; one that was already queued while the line
// was busy starts the moment the character before it has finished, whenever it is noticed.
class LinePace
{
public:
    explicit LinePace(Nanos characterTime) : m_characterTime(characterTime) {}

    void setCharacterTime(Nanos characterTime) { m_characterTime = characterTime; }
    Nanos characterTime() const { return m_characterTime; }

    // The moment the character noticed at `noticed` has fully arrived at the far end.
    TimePoint arrival(TimePoint noticed, bool queued)
    {
        const bool busy = queued && m_free != TimePoint{};
        m_free = (busy ? m_free : std::max(noticed, m_free)) + m_characterTime;
        return m_free;
    }

private:
    Nanos m_characterTime;
    TimePoint m_free{};
};

// One frame as the far end of the line saw it.
struct Frame
{
    QByteArray bytes;       // up to and including the carriage return
    TimePoint firstRead;    // its first character was taken off the line's queue
    TimePoint firstArrival; // its first character had fully arrived
    TimePoint arrival;      // its carriage return had fully arrived
};

// Cuts the characters arriving at the far end into frames that end with a carriage return.
class FrameAssembler
{
public:
    // One character, taken off the queue at `read` and fully arrived at `arrived`. Returns
    // the frame that this character completes.
    std::optional<Frame> add(char c, TimePoint read, TimePoint arrived);
    // Characters of an unfinished frame are waiting for their carriage return.
    bool pending() const { return !m_current.bytes.isEmpty(); }

private:
    Frame m_current;
};

} // namespace tarn::bench
