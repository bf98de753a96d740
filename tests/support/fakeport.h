#pragma once

#include "serial/asynccommcontrol.h"

#include <QByteArrayList>
#include <QMap>

namespace tarn::test {

// A serial control with no device behind it: it records what is written, delivers
// what a test makes arrive, and fails where a test tells it to.
class FakePort final : public AsyncCommControl
{
    Q_OBJECT
public:
    using AsyncCommControl::AsyncCommControl;

    void setFixedSetup(const FixedSetup &) override {}
    int commPort() const override { return m_number; }
    Outcome setCommPort(int number) override;
    QString settings() const override { return m_settings; }
    Outcome setSettings(const QString &settings) override;
    bool portOpen() const override { return m_open; }
    Outcome setPortOpen(bool open) override;
    Outcome output(const QByteArray &data) override;
    QByteArray input() override { return std::exchange(m_pending, {}); }
    int commEvent() const override { return m_event; }
    QString deviceName() const override { return QStringLiteral("/dev/fake%1").arg(m_number); }

    // What the far end sends: raises a receive event with these bytes waiting.
    void arrive(const QByteArray &bytes);
    // Bytes that have come but whose receive event has not been raised yet.
    void hold(const QByteArray &bytes) { m_pending += bytes; }
    // Raises an event that is not a receive event.
    void raiseEvent(int code);
    // The port fails on its own, as when the device goes away.
    void breakDown(const QString &reason);

    // Makes opening port `number` fail with this reason until cleared.
    void setMissing(int number, bool missing = true) { m_missing[number] = missing; }
    // Makes every write fail, as a full output buffer or a write error would.
    void setWritesFail(bool fail) { m_writesFail = fail; }

    QByteArrayList frames; // every successful output, in order
    QStringList log;       // every operation, for checking the order of steps
    QStringList refused;   // operations, as logged, that the device refuses ("close")

private:
    Outcome step(const QString &operation, bool fails, const QString &text);

    int m_number = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    bool m_writesFail = false;
    QByteArray m_pending;
    int m_event = 0;
    QMap<int, bool> m_missing;
};

} // namespace tarn::test
