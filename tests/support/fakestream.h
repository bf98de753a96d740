#pragma once

#include "stream.h"

#include <utility>

namespace tarn::test {

// A client connection with no socket: it records what the gateway writes and delivers
// what a test sends, whether or not reading is allowed.
class FakeStream final : public bridge::Stream
{
    Q_OBJECT
public:
    explicit FakeStream(QString peer = QStringLiteral("192.0.2.7:40000")) : m_peer(std::move(peer))
    {}

    void write(const QByteArray &bytes) override { written += bytes; }
    void setReading(bool on) override { reading = on; }
    void close() override;
    QString peer() const override { return m_peer; }

    void send(const QByteArray &bytes) { emit received(bytes); }
    // What was written since the last call.
    QByteArray take() { return std::exchange(written, {}); }

    QByteArray written;
    bool reading = true;
    bool open = true;

private:
    QString m_peer;
};

} // namespace tarn::test
