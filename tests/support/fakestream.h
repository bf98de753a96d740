#pragma once

#include "stream.h"

#include <utility>

namespace tarn::test {

// A client connection with no socket: keeps what the gateway writes, and delivers what a
// test sends, holding it back while the gateway does not read, as the kernel would.
class FakeStream final : public bridge::Stream
{
public:
    explicit FakeStream(QString peer = QStringLiteral("127.0.0.1:40000")) : m_peer(std::move(peer))
    {}

    void write(const QByteArray &bytes) override { written += bytes; }
    void setReading(bool on) override
    {
        reading = on;
        if (on && !m_held.isEmpty())
            emit received(std::exchange(m_held, {}));
    }
    void close() override
    {
        if (!isClosed)
            isClosed = true, emit closed();
    }
    QString peer() const override { return m_peer; }

    void send(const QByteArray &bytes)
    {
        if (reading)
            emit received(bytes);
        else
            m_held += bytes;
    }
    // Delivers at once, as a stream that does not hold back when told would.
    void push(const QByteArray &bytes) { emit received(bytes); }
    // What was written since the last call.
    QByteArray take() { return std::exchange(written, {}); }

    QByteArray written;
    bool reading = true;
    bool isClosed = false;

private:
    QByteArray m_held;
    QString m_peer;
};

} // namespace tarn::test
