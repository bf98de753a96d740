#pragma once

#include "app/timer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace tarn::bridge {

// Values that are forgotten a fixed time after they were stored: the answers the line gave
// a moment ago, the addresses that went silent. Each entry runs its own timer, so that an
// idle gateway has nothing ticking. Holds at most `capacity` entries; a full memory stores
// nothing new until some expire.
class ShortMemory
{
public:
    ShortMemory(TimerFactory &timers, milliseconds lifetime, std::size_t capacity);

    // Stores the value, or replaces it and counts its lifetime from now.
    void put(const QByteArray &key, const QByteArray &value = {});
    std::optional<QByteArray> get(const QByteArray &key) const;
    bool contains(const QByteArray &key) const { return get(key).has_value(); }
    // Forgets every entry whose key starts with `keyStart` (all of them for "").
    void forget(QByteArrayView keyStart);
    // Called with an entry's key when its lifetime ends (not when it is forgotten).
    void onExpired(std::function<void(const QByteArray &key)> expired)
    {
        m_expired = std::move(expired);
    }

private:
    struct Entry
    {
        QByteArray value;
        std::unique_ptr<Timer> expiry; // stopped once the entry has expired
    };
    void dropExpired();

    TimerFactory &m_timers;
    milliseconds m_lifetime;
    std::size_t m_capacity;
    std::map<QByteArray, Entry> m_entries;
    std::function<void(const QByteArray &)> m_expired;
};

} // namespace tarn::bridge
