#pragma once

#include <chrono>

namespace tarn::mqtt {

using std::chrono::milliseconds;

// The waits between connection attempts: the first, then each twice the one before, up to
// the longest; reset() starts again from the first after a connection that worked.
class Backoff
{
public:
    Backoff(milliseconds first, milliseconds longest) : m_first(first), m_longest(longest) {}

    milliseconds next();
    void reset() { m_next = {}; }

private:
    milliseconds m_first;
    milliseconds m_longest;
    milliseconds m_next{};
};

} // namespace tarn::mqtt
