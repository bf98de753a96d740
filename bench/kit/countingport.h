#pragma once

#include "serial/commcontrol.h"

#include <chrono>
#include <optional>
#include <vector>

namespace tarn::bench {

// Passes every call on to the real serial control and counts the transmissions, and those
// that failed (a frame that did not fit in the output buffer, a closed port).
class CountingPort final : public CommControl
{
public:
    explicit CountingPort(CommControl &inner) : m_inner(inner)
    {
        connect(&m_inner, &CommControl::onComm, this, &CommControl::onComm);
        connect(&m_inner, &CommControl::failed, this, &CommControl::failed);
    }

    void setFixedSetup(const FixedSetup &setup) override { m_inner.setFixedSetup(setup); }
    int commPort() const override { return m_inner.commPort(); }
    Outcome setCommPort(int number) override { return m_inner.setCommPort(number); }
    QString settings() const override { return m_inner.settings(); }
    Outcome setSettings(const QString &settings) override { return m_inner.setSettings(settings); }
    bool portOpen() const override { return m_inner.portOpen(); }
    Outcome setPortOpen(bool open) override { return m_inner.setPortOpen(open); }
    Outcome output(const QByteArray &data) override
    {
        ++outputs;
        if (recordTimes)
            outputTimes.push_back(std::chrono::steady_clock::now());
        Outcome outcome = m_inner.output(data);
        if (!outcome) {
            if (!firstFailure)
                firstFailure = std::chrono::steady_clock::now();
            ++failures;
            lastFailure = outcome.description();
        }
        return outcome;
    }
    QByteArray input() override { return m_inner.input(); }
    int commEvent() const override { return m_inner.commEvent(); }
    QString deviceName() const override { return m_inner.deviceName(); }

    void resetCounts()
    {
        outputs = 0;
        failures = 0;
        lastFailure.clear();
        firstFailure.reset();
        outputTimes.clear();
    }

    int outputs = 0;
    int failures = 0;
    QString lastFailure;
    std::optional<std::chrono::steady_clock::time_point> firstFailure;
    bool recordTimes = false; // note when each transmission was asked for
    std::vector<std::chrono::steady_clock::time_point> outputTimes;

private:
    CommControl &m_inner;
};

} // namespace tarn::bench
