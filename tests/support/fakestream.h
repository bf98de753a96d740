#pragma once

#include "stream.h"

namespace tarn::test {

// A client connection with no socket: keeps what the gateway writes, and delivers what a
// test sends, holding it back while the gateway does not read, as the kernel would.
class FakeStream final : public bridge::Stream
{
public:
    void write(const QByteArray &bytes) override { written += bytes; }
    void setReading(bool on) override
    {
        if ((reading = on) && !m_held.isEmpty())
            emit received(std::exchange(m_held, {}));
    }
    void close() override
    {
        if (!std::exchange(isClosed, true))
            emit closed();
    }
    QString peer() const override { return QStringLiteral("127.0.0.1:40000"); }
    void send(const QByteArray &bytes) { reading ? emit received(bytes) : void(m_held += bytes); }

    QByteArray written;
    bool reading = true;
    bool isClosed = false;

private:
    QByteArray m_held;
};

} // namespace tarn::test
