#pragma once

#include "linesettings.h"
#include "serial/asynccommcontrol.h"

#include <QMap>

namespace tarn {

class Link;

// The device that port number n stands for: $TARN_COMn when set, otherwise the
// platform's own (/dev/ttyS0 and /dev/ttyS1 on Linux, COM1 and COM2 on Windows).
// $TARN_COMn may name any serial device (/dev/ttyUSB0, /dev/serial/by-id/...,
// a pseudo-terminal) or a TCP serial server as tcp://HOST:PORT.
QString deviceForPort(int number);

// The serial control on a real serial device, through QSerialPort, or on a TCP
// connection to a serial server. A port number stands for the device deviceForPort()
// names, unless a program names it itself with setDevice().
class SerialControl final : public AsyncCommControl
{
    Q_OBJECT
public:
    explicit SerialControl(QObject *parent = nullptr);
    ~SerialControl() override;

    // Port `number` stands for this device (a path or tcp://HOST:PORT) from now on.
    void setDevice(int number, const QString &device);

    void setFixedSetup(const FixedSetup &setup) override;
    int commPort() const override;
    Outcome setCommPort(int number) override;
    QString settings() const override;
    Outcome setSettings(const QString &settings) override;
    bool portOpen() const override;
    Outcome setPortOpen(bool open) override;
    void beginOpen() override;
    Outcome output(const QByteArray &data) override;
    QByteArray input() override;
    int commEvent() const override;
    QString deviceName() const override;

private:
    Link &linkFor(const QString &device);
    void onOpenFinished(const Outcome &outcome);
    void onArrived();
    void onLost(const QString &description);

    Link *m_link = nullptr; // a child, made on the first opening of each device
    FixedSetup m_setup;
    QMap<int, QString> m_devices; // those named by setDevice()
    int m_number = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    LineSettings m_line;
    bool m_open = false;
    bool m_opening = false; // between beginOpen() and its end
    quint64 m_session = 0;  // counts openings, so that a late loss report finds its own
    int m_event = 0;
};

} // namespace tarn
