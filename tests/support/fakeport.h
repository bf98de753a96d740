#pragma once

#include "serial/asynccommcontrol.h"

#include <QByteArrayList>
#include <QMap>

namespace tarn::test {

// A serial control with no device behind it: it records what is written, delivers
// what a test makes arrive, and fails where a test tells it to.
class FakePort final : public AsyncCommControl
{
public:
    using AsyncCommControl::AsyncCommControl;

    void setFixedSetup(const FixedSetup &) override {}
    int commPort() const override { return m_number; }
    Outcome setCommPort(int number) override
    {
        const Outcome r =
            step(QStringLiteral("port %1").arg(number), m_open,
                 QStringLiteral("Cannot change the port number of %1 while it is open"));
        m_number = r ? number : m_number;
        return r;
    }
    QString settings() const override { return m_settings; }
    Outcome setSettings(const QString &settings) override
    {
        const Outcome r = step("settings " + settings, false, {});
        m_settings = r ? settings : m_settings;
        return r;
    }
    bool portOpen() const override { return m_open; }
    Outcome setPortOpen(bool open) override
    {
        if (!open) {
            const Outcome r = step(QStringLiteral("close"), false, {});
            m_open = m_open && !r;
            return r;
        }
        const Outcome r =
            step(QStringLiteral("open"), m_open || m_missing.value(m_number),
                 m_open ? QStringLiteral("Cannot open %1: already open")
                        : QStringLiteral("Cannot open %1: No such file or directory"));
        m_open = m_open || r;
        return r;
    }
    Outcome output(const QByteArray &data) override
    {
        const Outcome r =
            step("output " + QString::fromLatin1(data), !m_open || m_writesFail,
                 m_open ? QStringLiteral("Cannot write to %1: the output buffer is full")
                        : QStringLiteral("Cannot write to %1: the port is not open"));
        if (r)
            frames << data;
        return r;
    }
    QByteArray input() override { return std::exchange(m_pending, {}); }
    int commEvent() const override { return m_event; }
    QString deviceName() const override { return QStringLiteral("/dev/fake%1").arg(m_number); }

    // What the far end sends: raises a receive event with these bytes waiting.
    void arrive(const QByteArray &bytes)
    {
        m_pending += bytes;
        raiseEvent(kEventReceive);
    }
    // Bytes that have come but whose receive event has not been raised yet.
    void hold(const QByteArray &bytes) { m_pending += bytes; }
    // Raises an event that is not a receive event.
    void raiseEvent(int code)
    {
        m_event = code;
        emit onComm();
    }
    // The port fails on its own, as when the device goes away.
    void breakDown(const QString &reason)
    {
        m_open = false;
        emit failed(QStringLiteral("%1: %2").arg(deviceName(), reason));
    }

    // Makes opening port `number` fail with this reason until cleared.
    void setMissing(int number, bool missing = true) { m_missing[number] = missing; }
    // Makes every write fail, as a full output buffer or a write error would.
    void setWritesFail(bool fail) { m_writesFail = fail; }

    QByteArrayList frames; // every successful output, in order
    QStringList log;       // every operation, for checking the order of steps
    QStringList refused;   // operations, as logged, that the device refuses ("close")

private:
    // Logs the operation; fails it with "TEXT" (its %1 the device) where `fails` holds.
    Outcome step(const QString &operation, bool fails, const QString &text)
    {
        log << operation;
        if (refused.contains(operation))
            return Outcome::failure(QStringLiteral("%1 refuses %2").arg(deviceName(), operation));
        return fails ? Outcome::failure(text.arg(deviceName())) : Outcome();
    }

    int m_number = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    bool m_writesFail = false;
    QByteArray m_pending;
    int m_event = 0;
    QMap<int, bool> m_missing;
};

} // namespace tarn::test
