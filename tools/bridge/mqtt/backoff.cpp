#include "backoff.h"

#include <algorithm>

namespace tarn::mqtt {

milliseconds Backoff::next()
{
    const milliseconds wait = m_next.count() > 0 ? m_next : m_first;
    m_next = std::min(wait * 2, m_longest);
    return std::min(wait, m_longest);
}

} // namespace tarn::mqtt
