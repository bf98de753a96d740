#pragma once

#include "mqttlink.h"

#include <QList>
#include <QStringList>

namespace tarn::test {

// A broker connection with no broker: keeps what is published while "connected", and
// delivers what a test sends.
class FakeMqttLink final : public mqtt::MqttLink
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained;
    };

    void open() override {}
    bool publish(const QString &topic, const QByteArray &payload, bool retain) override
    {
        if (up)
            published.append({topic, payload, retain});
        return up;
    }
    void subscribe(const QString &filter) override { filters << filter; }
    bool isConnected() const override { return up; }

    void bringUp()
    {
        up = true;
        emit connected();
    }
    void deliver(const QString &topic, const QByteArray &payload, bool retained = false)
    {
        emit received(topic, payload, retained);
    }

    QList<Message> published;
    QStringList filters;
    bool up = false;
};

} // namespace tarn::test
