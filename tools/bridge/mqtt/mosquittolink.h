#pragma once

#include "brokersettings.h"
#include "mqttlink.h"

#include <functional>
#include <memory>
#include <thread>

namespace tarn::mqtt {

// The broker connection over libmosquitto, on one thread of its own that hands every event
// to the event loop as a queued call. The library resolves the broker's name with a call
// that blocks (also in its "asynchronous" connect), and verifies the certificate against
// that name, so resolving it ourselves and connecting to the address would lose the check;
// a thread keeps both, and the event loop never waits for the network.
//
// Once connected it subscribes to every filter given, publishes "online" (retained) to the
// status topic, whose last will is "offline", and puts "online" back whenever another
// message lands there (a will left by an earlier run of the gateway). A lost or refused
// connection is logged with the broker and the reason, and retried after 1 s, 2 s, 4 s, ...
// up to 30 s (the settings may say otherwise). Messages larger than kMaxIncoming are
// dropped and logged.
class MosquittoLink final : public MqttLink
{
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;

    MosquittoLink(BrokerSettings settings, Log log, QObject *parent = nullptr);
    // Publishes "offline", disconnects and ends the thread: at once when connected, else as
    // soon as a name lookup under way returns (it is left to finish on its own after 2 s).
    ~MosquittoLink() override;

    void open() override;
    bool publish(const QString &topic, const QByteArray &payload, bool retain) override;
    void subscribe(const QString &filter) override;
    bool isConnected() const override { return m_connected; }

    static constexpr qsizetype kMaxIncoming = 1024;

private:
    struct Shared;

    std::shared_ptr<Shared> m_shared;
    Log m_log;
    std::thread m_thread;
    bool m_connected = false;
};

} // namespace tarn::mqtt
