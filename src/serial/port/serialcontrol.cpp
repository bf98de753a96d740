// Placeholder until the port layer lands: every operation fails plainly.
#include "serialcontrol.h"

namespace tarn {

QString deviceForPort(int number)
{
    const QByteArray mapped = qgetenv(QByteArray("TARN_COM") + QByteArray::number(number));
    if (!mapped.isEmpty())
        return QString::fromLocal8Bit(mapped);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

SerialControl::SerialControl(QObject *parent) : CommControl(parent) {}
SerialControl::~SerialControl() = default;
void SerialControl::setFixedSetup(const FixedSetup &setup)
{
    m_setup = setup;
}
int SerialControl::commPort() const
{
    return m_number;
}
Outcome SerialControl::setCommPort(int number)
{
    m_number = number;
    return {};
}
QString SerialControl::settings() const
{
    return m_settings;
}
Outcome SerialControl::setSettings(const QString &settings)
{
    m_settings = settings;
    return {};
}
bool SerialControl::portOpen() const
{
    return false;
}
Outcome SerialControl::setPortOpen(bool)
{
    return Outcome::failure(QStringLiteral("not built yet"));
}
Outcome SerialControl::output(const QByteArray &)
{
    return Outcome::failure(QStringLiteral("not built yet"));
}
QByteArray SerialControl::input()
{
    return {};
}
int SerialControl::commEvent() const
{
    return m_event;
}
QString SerialControl::deviceName() const
{
    return deviceForPort(m_number);
}

} // namespace tarn
