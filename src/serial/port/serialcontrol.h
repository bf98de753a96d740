#pragma once

#include "serial/commcontrol.h"

#include <QSerialPort>

namespace tarn {

// The device that port number n stands for: $TARN_COMn when set, otherwise the
// platform's own (/dev/ttyS0 and /dev/ttyS1 on Linux, COM1 and COM2 on Windows).
QString deviceForPort(int number);

// The serial control on a real serial device, through QSerialPort.
class SerialControl final : public CommControl
{
    Q_OBJECT
public:
    explicit SerialControl(QObject *parent = nullptr);
    ~SerialControl() override;

    void setFixedSetup(const FixedSetup &setup) override;
    int commPort() const override;
    Outcome setCommPort(int number) override;
    QString settings() const override;
    Outcome setSettings(const QString &settings) override;
    bool portOpen() const override;
    Outcome setPortOpen(bool open) override;
    Outcome output(const QByteArray &data) override;
    QByteArray input() override;
    int commEvent() const override;
    QString deviceName() const override;

private:
    QSerialPort m_port;
    FixedSetup m_setup;
    int m_number = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_event = 0;
};

} // namespace tarn
