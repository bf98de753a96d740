#include "shortmemory.h"

namespace tarn::bridge {

ShortMemory::ShortMemory(TimerFactory &timers, milliseconds lifetime, std::size_t capacity)
    : m_timers(timers), m_lifetime(lifetime), m_capacity(capacity)
{}

void ShortMemory::put(const QByteArray &key, const QByteArray &value)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        dropExpired();
        if (m_entries.size() >= m_capacity)
            return;
        it = m_entries.emplace(key, Entry{{}, m_timers.createTimer()}).first;
        Timer &expiry = *it->second.expiry;
        expiry.setInterval(m_lifetime);
        // An expired entry stays until the next put() or forget(): a timer must not
        // destroy itself from inside its own tick.
        expiry.setTickHandler([this, &expiry, key] {
            expiry.setEnabled(false);
            if (m_expired)
                m_expired(key);
        });
    }
    it->second.value = value;
    it->second.expiry->setEnabled(true);
}

std::optional<QByteArray> ShortMemory::get(const QByteArray &key) const
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end() || !it->second.expiry->isEnabled())
        return std::nullopt;
    return it->second.value;
}

void ShortMemory::forget(QByteArrayView keyStart)
{
    std::erase_if(m_entries, [keyStart](const auto &entry) {
        return QByteArrayView(entry.first).startsWith(keyStart);
    });
}

void ShortMemory::dropExpired()
{
    std::erase_if(m_entries, [](const auto &entry) { return !entry.second.expiry->isEnabled(); });
}

} // namespace tarn::bridge
