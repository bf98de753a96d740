#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

namespace tarn::test {

// A pseudo-terminal whose slave stands in for a serial device; the test holds the
// far (master) end.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    // The slave's path, for TARN_COMn.
    QString device() const { return m_device; }

    void send(const QByteArray &bytes);
    // Everything the device side has written so far, without waiting.
    QByteArray receive();
    // The speed the device side set on the line, in baud.
    int lineSpeed() const;
    // The far end goes away.
    void close();

private:
    int m_master = -1;
    QString m_device;
};

// CPU time this process has used so far.
std::chrono::nanoseconds processCpuTime();

} // namespace tarn::test
