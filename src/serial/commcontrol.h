#pragma once

#include "serial/outcome.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tarn {

// The serial control of the panel: one port, chosen by number, configured by a
// settings text such as "19200,N,8,1", opened and closed by setting a flag. Every
// operation that can fail returns an Outcome whose description names the device and
// the reason. The program backs it with a real serial port; tests with a fake.
class CommControl : public QObject
{
    Q_OBJECT
public:
    // The event codes that commEvent() reports.
    static constexpr int kEventReceive = 2;

    // Set once before the port is first opened and never changed.
    struct FixedSetup
    {
        int receiveThreshold = 1; // notify as soon as one character has arrived
        int inputLen = 0;         // a read takes everything received so far
        int inBufferSize = 1024;
        int outBufferSize = 512;
    };

    using QObject::QObject;
    ~CommControl() override = default;

    virtual void setFixedSetup(const FixedSetup &setup) = 0;

    virtual int commPort() const = 0;
    // Only while the port is closed.
    virtual Outcome setCommPort(int number) = 0;

    virtual QString settings() const = 0;
    // Takes effect at once on an open port.
    virtual Outcome setSettings(const QString &settings) = 0;

    virtual bool portOpen() const = 0;
    // Closing a closed port succeeds.
    virtual Outcome setPortOpen(bool open) = 0;

    // Queues the bytes for the line in one operation. Fails when the port is not open
    // or the bytes do not fit in what is left of the output buffer.
    virtual Outcome output(const QByteArray &data) = 0;

    // Every byte received and not yet read.
    virtual QByteArray input() = 0;

    // The code of the event being reported by onComm().
    virtual int commEvent() const = 0;

    // The device that port number n stands for, for messages.
    virtual QString deviceName() const = 0;

signals:
    // Characters arrived (commEvent() == kEventReceive) or something else happened
    // on the line (other codes, which reception ignores).
    void onComm();
    // The port failed on its own (the device went away, a read error): it is closed
    // now, and the description says which device and why. Reported once.
    void failed(const QString &description);
};

// Sets port `number` up for its opening, the same way in every program: the fixed setup,
// then the number and the settings, stopping at the first step that fails.
inline Outcome prepare(CommControl &port, int number, const QString &settings)
{
    port.setFixedSetup({});
    if (auto r = port.setCommPort(number); !r)
        return r;
    return port.setSettings(settings);
}

// Sets port `number` up and opens it.
inline Outcome openPort(CommControl &port, int number, const QString &settings)
{
    if (auto r = prepare(port, number, settings); !r)
        return r;
    return port.setPortOpen(true);
}

} // namespace tarn
