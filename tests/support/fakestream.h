#pragma once

#include "stream.h"

namespace tarn::test {

// A client connection with no socket: keeps what the gateway writes, and delivers what a
// test sends, holding it back while the gateway does not read, as the kernel would.
class FakeStream final : public bridge::Stream
{
public:
    using Stream::Stream;

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
    QString peer() const override { return QStringLiteral("127.0.0.1:40000"); }

    void send(const QByteArray &bytes)
    {
        if (reading)
            emit received(bytes);
        else
            m_held += bytes;
    }

    QByteArray written;
    bool reading = true;
    bool isClosed = false;

private:
    QByteArray m_held;
};

} // namespace tarn::test
