#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tarn::mqtt {

// One connection to an MQTT broker as the gateway sees it. The program backs it with
// libmosquitto; the tests with a fake. It connects by itself and reconnects after a loss,
// renews its subscriptions on every connection, and reports each change as a signal on the
// thread that made it.
class MqttLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~MqttLink() override = default;

    // Starts connecting; never waits for the broker.
    virtual void open() = 0;
    // Sends at QoS 1. Only while connected: false (and nothing kept for later) otherwise,
    // since whatever matters is published again on the next connection.
    virtual bool publish(const QString &topic, const QByteArray &payload, bool retain) = 0;
    // A topic filter to follow on this connection and every later one.
    virtual void subscribe(const QString &filter) = 0;
    virtual bool isConnected() const = 0;

signals:
    void connected();
    void disconnected();
    // `retained`: the broker kept it from before rather than passing it on as it came.
    void received(const QString &topic, const QByteArray &payload, bool retained);
};

} // namespace tarn::mqtt
