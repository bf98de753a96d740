#pragma once

#include "linesettings.h"
#include "serial/commcontrol.h"
#include "serial/outcome.h"

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>

namespace tarn {

// One way of reaching the projector behind the serial control: a serial device or a
// TCP connection. The control decides when to open, write and read; a link does the
// transfer and says when bytes arrive or the line is lost. Failures name the link
// (the device path or the tcp:// address) and the reason.
class Link : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The device path or tcp:// address, as given.
    virtual QString name() const = 0;

    virtual Outcome open(const LineSettings &line, const CommControl::FixedSetup &setup) = 0;
    // Opens without waiting for the far end; openFinished() follows, possibly before this
    // returns. A device opens at once.
    virtual void beginOpen(const LineSettings &line, const CommControl::FixedSetup &setup)
    {
        emit openFinished(open(line, setup));
    }
    // Closing a closed link does nothing.
    virtual void close() = 0;
    virtual Outcome apply(const LineSettings &line) = 0;

    // Bytes written and not yet on the line.
    virtual qint64 waiting() = 0;
    virtual Outcome write(const QByteArray &data) = 0;

    virtual qint64 bytesAvailable() const = 0;
    // At most maxSize bytes of what has arrived; everything when maxSize is 0.
    virtual QByteArray read(qint64 maxSize) = 0;

protected:
    Outcome cannotOpen(const QString &reason) const
    {
        return Outcome::failure(QStringLiteral("Cannot open %1: %2").arg(name(), reason));
    }
    Outcome cannotWrite(const QString &reason) const
    {
        return Outcome::failure(QStringLiteral("Cannot write to %1: %2").arg(name(), reason));
    }
    // The transfer itself, the same on every kind of device.
    Outcome writeTo(QIODevice &device, const QByteArray &data) const
    {
        if (device.write(data) != data.size())
            return cannotWrite(device.errorString());
        return {};
    }
    static QByteArray readFrom(QIODevice &device, qint64 maxSize)
    {
        return maxSize > 0 ? device.read(maxSize) : device.readAll();
    }
    // Reports a lost line: the description the operator sees.
    void reportLost(const QString &reason)
    {
        emit lost(QStringLiteral("Lost %1: %2 (the port is now closed)").arg(name(), reason));
    }

signals:
    // The end of beginOpen(); not emitted when close() comes first.
    void openFinished(const tarn::Outcome &outcome);
    // Bytes have arrived.
    void arrived();
    // The line failed on its own; the link must be closed. May be emitted more than
    // once for one failure, from inside the transfer's own notifications.
    void lost(const QString &description);
};

} // namespace tarn
