#pragma once

#include "pjlinkclient.h"

#include <QList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace tarn::bench {

// A client that asks the commands of a cycle over and over, as a control system polls.
class Poller
{
public:
    Poller(quint16 port, QList<QByteArray> cycle, std::chrono::milliseconds pause = {},
           const Origin &origin = {})
        : m_client(port, origin), m_cycle(std::move(cycle)), m_pause(pause)
    {
        QObject::connect(&m_client, &PjlinkClient::greeted, [this] { next(); });
        QObject::connect(
            &m_client, &PjlinkClient::answered, [this](const QByteArray &answer, Nanos roundTrip) {
                answers << answer;
                roundTrips.push_back(toMs(roundTrip));
                if (answers.size() == limit)
                    stop();
                if (m_running)
                    QTimer::singleShot(m_pause, Qt::PreciseTimer, &m_client, [this] { next(); });
            });
    }
    void stop() { m_running = false; }
    PjlinkClient &client() { return m_client; }

    QList<QByteArray> answers;
    std::vector<double> roundTrips;
    qsizetype limit = -1; // stops after this many answers
    int asked = 0;

private:
    void next()
    {
        if (!m_running || !m_client.ready())
            return;
        ++asked;
        m_client.ask(m_cycle[m_step++ % m_cycle.size()]);
    }
    PjlinkClient m_client;
    QList<QByteArray> m_cycle;
    std::chrono::milliseconds m_pause;
    qsizetype m_step = 0;
    bool m_running = true;
};

// `count` pollers, the i-th on port(i), all asking the same cycle, spread over four client
// addresses.
inline std::vector<std::unique_ptr<Poller>> makePollers(int count,
                                                        const std::function<quint16(int)> &port,
                                                        const QList<QByteArray> &cycle,
                                                        std::chrono::milliseconds pause = {})
{
    std::vector<std::unique_ptr<Poller>> pollers;
    pollers.reserve(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        pollers.push_back(std::make_unique<Poller>(port(i), cycle, pause, spread(i)));
    return pollers;
}

} // namespace tarn::bench
