#include "fakeport.h"

namespace tarn::test {

Outcome FakePort::setCommPort(int number)
{
    log << QStringLiteral("port %1").arg(number);
    if (m_open)
        return Outcome::failure(
            QStringLiteral("Cannot change the port number of %1 while it is open")
                .arg(deviceName()));
    m_number = number;
    return {};
}

Outcome FakePort::setSettings(const QString &settings)
{
    log << QStringLiteral("settings %1").arg(settings);
    if (refused.contains(log.last()))
        return Outcome::failure(QStringLiteral("%1 refuses %2").arg(deviceName(), settings));
    m_settings = settings;
    return {};
}

Outcome FakePort::setPortOpen(bool open)
{
    log << (open ? QStringLiteral("open") : QStringLiteral("close"));
    if (refused.contains(log.last()))
        return Outcome::failure(QStringLiteral("%1 refuses to %2").arg(deviceName(), log.last()));
    if (!open) {
        m_open = false;
        return {};
    }
    if (m_open)
        return Outcome::failure(QStringLiteral("Cannot open %1: already open").arg(deviceName()));
    if (m_missing.value(m_number))
        return Outcome::failure(
            QStringLiteral("Cannot open %1: No such file or directory").arg(deviceName()));
    m_open = true;
    return {};
}

Outcome FakePort::output(const QByteArray &data)
{
    log << QStringLiteral("output %1").arg(QString::fromLatin1(data));
    if (!m_open)
        return Outcome::failure(
            QStringLiteral("Cannot write to %1: the port is not open").arg(deviceName()));
    if (m_writesFail)
        return Outcome::failure(
            QStringLiteral("Cannot write to %1: the output buffer is full").arg(deviceName()));
    frames << data;
    return {};
}

void FakePort::arrive(const QByteArray &bytes)
{
    m_pending += bytes;
    m_event = kEventReceive;
    emit onComm();
}

void FakePort::raiseEvent(int code)
{
    m_event = code;
    emit onComm();
}

void FakePort::breakDown(const QString &reason)
{
    m_open = false;
    emit failed(QStringLiteral("%1: %2").arg(deviceName(), reason));
}

void FakePort::setMissing(int number, bool missing)
{
    m_missing[number] = missing;
}

} // namespace tarn::test
