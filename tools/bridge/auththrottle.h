#pragma once

#include "clock.h"

#include <QHash>
#include <QList>
#include <QString>

namespace tarn::bridge {

// Bounds password guessing by client address: at most kTries failed tries within any
// kWindow, however many connections the address opens. An address at the bound tries
// again once its oldest failure in the window has left it; no other address is slowed.
// Any secret's failures count alike (a PJLink digest today). At most kMaxAddresses
// addresses are remembered; when more fail, the one whose last failure is the oldest is
// forgotten.
class AuthThrottle
{
public:
    static constexpr int kTries = 15;
    static constexpr milliseconds kWindow{60000};
    static constexpr qsizetype kMaxAddresses = 1024;

    explicit AuthThrottle(Clock now) : m_now(std::move(now)) {}

    // What counts as one client: an IPv4 address, or an IPv6 address's /64 network (one
    // host commonly holds all of it).
    static QString clientOf(const QString &address);

    void recordFailure(const QString &client);
    // How long before `client` may try again; zero when it may try now.
    milliseconds wait(const QString &client) const;
    qsizetype clients() const { return m_failures.size(); }

private:
    void makeRoom();

    Clock m_now;
    QHash<QString, QList<milliseconds>> m_failures; // the last kTries times, oldest first
};

} // namespace tarn::bridge
