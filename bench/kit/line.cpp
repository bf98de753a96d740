#include "line.h"

#include <utility>

namespace tarn::bench {

std::optional<Frame> FrameAssembler::add(char c, TimePoint read, TimePoint arrived)
{
    if (m_current.bytes.isEmpty()) {
        m_current.firstRead = read;
        m_current.firstArrival = arrived;
    }
    m_current.bytes.append(c);
    m_current.arrival = arrived;
    if (c != '\r')
        return std::nullopt;
    return std::exchange(m_current, Frame{});
}

} // namespace tarn::bench
