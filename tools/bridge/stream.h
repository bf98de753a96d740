#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tarn::bridge {

// One client connection as the gateway sees it: bytes in, bytes out, and a way to stop
// reading so that TCP's own flow control holds a client back. The program backs it with
// a TCP socket; tests with a fake.
class Stream : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Stream() override = default;

    virtual void write(const QByteArray &bytes) = 0;
    // false: leave further bytes in the kernel's buffer until reading is allowed again.
    virtual void setReading(bool reading) = 0;
    // Closes after what was written has gone out; closed() follows.
    virtual void close() = 0;
    // The client's address, for the log.
    virtual QString peer() const = 0;

signals:
    void received(const QByteArray &bytes);
    // Emitted once, whoever closed it.
    void closed();
};

} // namespace tarn::bridge
