#include "fakeport.h"

namespace tarn::test {

// Logs the operation; fails it with "TEXT" (its %1 the device) where `fails` holds.
Outcome FakePort::step(const QString &operation, bool fails, const QString &text)
{
    log << operation;
    if (refused.contains(operation))
        return Outcome::failure(QStringLiteral("%1 refuses %2").arg(deviceName(), operation));
    return fails ? Outcome::failure(text.arg(deviceName())) : Outcome();
}

Outcome FakePort::setCommPort(int number)
{
    const Outcome r = step(QStringLiteral("port %1").arg(number), m_open,
                           QStringLiteral("Cannot change the port number of %1 while it is open"));
    if (r)
        m_number = number;
    return r;
}

Outcome FakePort::setSettings(const QString &settings)
{
    const Outcome r = step("settings " + settings, false, {});
    if (r)
        m_settings = settings;
    return r;
}

Outcome FakePort::setPortOpen(bool open)
{
    if (!open) {
        const Outcome r = step(QStringLiteral("close"), false, {});
        m_open = m_open && !r;
        return r;
    }
    const Outcome r = step(QStringLiteral("open"), m_open || m_missing.value(m_number),
                           m_open ? QStringLiteral("Cannot open %1: already open")
                                  : QStringLiteral("Cannot open %1: No such file or directory"));
    m_open = m_open || r;
    return r;
}

Outcome FakePort::output(const QByteArray &data)
{
    const Outcome r = step("output " + QString::fromLatin1(data), !m_open || m_writesFail,
                           m_open ? QStringLiteral("Cannot write to %1: the output buffer is full")
                                  : QStringLiteral("Cannot write to %1: the port is not open"));
    if (r)
        frames << data;
    return r;
}

void FakePort::arrive(const QByteArray &bytes)
{
    m_pending += bytes;
    raiseEvent(kEventReceive);
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

} // namespace tarn::test
