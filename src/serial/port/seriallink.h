#pragma once

#include "linebacklog.h"
#include "link.h"

#include <QSerialPort>

namespace tarn {

// A link over a serial device (a COM port, a USB adapter, a pseudo-terminal).
class SerialLink final : public Link
{
    Q_OBJECT
public:
    SerialLink(QString device, QObject *parent);

    QString name() const override { return m_device; }
    Outcome open(const LineSettings &line, const CommControl::FixedSetup &setup) override;
    void close() override;
    Outcome apply(const LineSettings &line) override;
    qint64 waiting() override;
    Outcome write(const QByteArray &data) override;
    qint64 bytesAvailable() const override { return m_port.bytesAvailable(); }
    QByteArray read(qint64 maxSize) override;

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    QString whyOpenFailed() const;
    QString whyLost(const QString &systemReason) const;
    bool deviceRemoved() const;
    bool hungUp() const;

    QString m_device;
    QSerialPort m_port;
    LineBacklog m_backlog;
    bool m_pseudoTerminal = false;
    int m_emptyNotifications = 0;
};

} // namespace tarn
