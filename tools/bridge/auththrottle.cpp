#include "auththrottle.h"

namespace tarn::bridge {

void AuthThrottle::recordFailure(const QString &address)
{
    if (!m_failures.contains(address) && m_failures.size() >= kMaxAddresses)
        makeRoom();
    QList<milliseconds> &times = m_failures[address];
    times.append(m_now());
    if (times.size() > kFailures)
        times.removeFirst();
}

milliseconds AuthThrottle::greetingDelay(const QString &address) const
{
    const QList<milliseconds> times = m_failures.value(address);
    const bool throttled = times.size() >= kFailures && m_now() - times.first() < kWindow;
    return throttled ? kDelay : milliseconds::zero();
}

// Forgets every address whose last failure is out of the window, or else the one whose
// last failure is the oldest.
void AuthThrottle::makeRoom()
{
    const milliseconds now = m_now();
    m_failures.removeIf([&](const auto &entry) { return now - entry.value().last() >= kWindow; });
    if (m_failures.size() < kMaxAddresses)
        return;
    auto oldest = m_failures.begin();
    for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
        if (it.value().last() < oldest.value().last())
            oldest = it;
    }
    m_failures.erase(oldest);
}

} // namespace tarn::bridge
