#include "auththrottle.h"

#include <QHostAddress>

namespace tarn::bridge {

QString AuthThrottle::clientOf(const QString &address)
{
    const QHostAddress host(address);
    bool isV4 = false;
    const quint32 v4 = host.toIPv4Address(&isV4); // an IPv4-mapped IPv6 address too
    if (isV4)
        return QHostAddress(v4).toString();
    if (host.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    Q_IPV6ADDR bytes = host.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8{0});
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

void AuthThrottle::recordFailure(const QString &client)
{
    if (!m_failures.contains(client) && m_failures.size() >= kMaxAddresses)
        makeRoom();
    QList<milliseconds> &times = m_failures[client];
    times.append(m_now());
    if (times.size() > kTries)
        times.removeFirst();
}

milliseconds AuthThrottle::wait(const QString &client) const
{
    const QList<milliseconds> times = m_failures.value(client);
    if (times.size() < kTries)
        return milliseconds::zero();
    return std::max(times.first() + kWindow - m_now(), milliseconds::zero());
}

// Forgets every client whose last failure is out of the window, or else the one whose
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
