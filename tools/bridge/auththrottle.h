#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>

namespace tarn::bridge {

using std::chrono::milliseconds;

// Slows password guessing without locking anyone out: an address with kFailures failed
// authentications within kWindow waits kDelay for its next greeting. At most
// kMaxAddresses addresses are remembered; when more fail, the one whose last failure is
// the oldest is forgotten.
class AuthThrottle
{
public:
    static constexpr int kFailures = 3;
    static constexpr milliseconds kWindow{60000};
    static constexpr milliseconds kDelay{5000};
    static constexpr qsizetype kMaxAddresses = 1024;

    using Clock = std::function<milliseconds()>;
    explicit AuthThrottle(Clock now) : m_now(std::move(now)) {}

    void recordFailure(const QString &address);
    milliseconds greetingDelay(const QString &address) const;
    qsizetype addresses() const { return m_failures.size(); }

private:
    void makeRoom();

    Clock m_now;
    QHash<QString, QList<milliseconds>> m_failures; // the last kFailures times, oldest first
};

} // namespace tarn::bridge
